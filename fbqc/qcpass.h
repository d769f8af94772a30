#ifndef FBQC_QCPASS_H
#define FBQC_QCPASS_H

#include <fbqc/checks/checks.h>
#include <fbfile/fbblockreader.h>
#include <fbqc/firstbreakfit.h>
#include <fbqc/memoryadvice.h>
#include <fbqc/pickqc.h>
#include <fbqc/reciprocity.h>
#include <fbqc/shotjudgement.h>
#include <fbqc/receiverset.h>
#include <fbqc/receiverstatics.h>
#include <fbqc/stationresiduals.h>
#include <fbqc/workerpool.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

// The QC pass behind FbQc::Analyzer::run(): one sequential read of the
// records in blocks that builds the index, runs the shot checks on each
// shot as its last record arrives, gathers the file statistics, the
// receivers and the reciprocal times of each shot at the sources before
// it; then, only for the shots that sit in a later shot's spread, a second
// read for their times at those sources; then the file checks.
//
// The blocks are read on the calling thread; the shots of each batch are
// checked (and fitted) on a pool of threads while the next batch is read,
// and finished in file order on the calling thread while the pool works on
// the next: so the findings, and their order, are the same whatever the
// pool's size. Holds a few batches of records at a time, never a pick per
// record of the whole file.
namespace FbQc {

class QcPass
{
public:
    QcPass(const QString &fileName, const Settings &settings, const FbFile::Progress &progress);
    // False when the file cannot be read, changed while it was read, or
    // the pass was cancelled (cancelled() then answers true); errorString()
    // says why.
    bool run(Report *report);
    QString errorString() const { return m_error; }
    bool cancelled() const { return m_wasCancelled; }

private:
    // Whole shots read together, or parts of a shot too large to judge.
    struct BatchShot
    {
        qint32 shot;        // index entry
        qint32 firstRecord; // of these records
        size_t offset;      // in the batch's records
        size_t records;
        bool part = false; // a part of a shot too large to judge
        bool last = true;  // the shot's last part (always, for a whole shot)
    };
    // What the pool makes of one shot of a batch.
    struct ShotWork : ShotJudgement
    {
        SpreadView view;
        bool viewBuilt = false;
        // What its picks give the receivers' statics, collected while
        // they are at hand.
        std::vector<ReceiverStatic> statics;
    };
    // Records in room that only grows: a block is decoded into it without
    // the room being cleared first, which would cost as much as the copy.
    class Records
    {
    public:
        size_t size() const { return m_size; }
        bool empty() const { return m_size == 0; }
        size_t capacity() const { return m_room.size(); }
        FbFile::FbRecord *data() { return m_room.data(); }
        const FbFile::FbRecord *data() const { return m_room.data(); }
        FbFile::FbRecord &operator[](size_t k) { return m_room[k]; }
        void clear() { m_size = 0; }
        // Records beyond the old size hold whatever they held.
        void resize(size_t n)
        {
            if (n > m_room.size())
                m_room.resize(std::max(n, m_room.size() + m_room.size() / 2));
            m_size = n;
        }
        void assign(const FbFile::FbRecord *from, size_t n)
        {
            resize(n);
            std::copy(from, from + n, m_room.data());
        }
        void dropFront(size_t n)
        {
            if (n == 0)
                return;
            std::copy(m_room.data() + n, m_room.data() + m_size, m_room.data());
            m_size -= n;
        }
        void swap(Records &other)
        {
            m_room.swap(other.m_room);
            std::swap(m_size, other.m_size);
        }

    private:
        std::vector<FbFile::FbRecord> m_room;
        size_t m_size = 0;
    };
    struct Batch
    {
        Records records;
        std::vector<BatchShot> shots; // in file order
        // One per shot; they only grow, so that their lists keep their room.
        std::vector<ShotWork> work;
        // The shots are checked in chunks of `claim`, each chunk's findings
        // in its own list, so that they join the report in file order.
        size_t claim = 1;
        std::vector<Findings> findings;
        std::vector<Findings> candidates; // outlier candidates, the same way
        std::unique_ptr<WorkerPool::Task> task;
        std::unique_ptr<WorkerPool::Task> receiverTask;
        std::unique_ptr<WorkerPool::Task> stationTask;
        std::unique_ptr<WorkerPool::Task> staticsTask;
    };

    bool open();
    bool cancelRequested() const;
    void setProgress(int percent);
    bool firstPass();
    bool secondPass();
    bool fill(Batch *batch, Batch *spill, bool *ended);
    void cutShot(Batch *batch, size_t start, size_t end, qint32 firstRecord);
    void reserveFor(size_t shots, qint64 records, qint64 total);
    void startBatch(Batch *batch);
    void gatherStations(Batch *batch);
    void checkChunk(Batch *batch, size_t chunk);
    void checkShot(Batch *batch, size_t i, ShotFitter *fitter, Findings *out, Findings *candidates);
    bool finishBatch(Batch *batch);
    void finishShot(const Batch &batch, size_t i);
    void finishPart(const Batch &batch, size_t i);
    void addFinding(const Finding &f);
    void flushZeroRun();

    Batch *spareBatch();
    void hold(Batch *batch);
    static size_t footprint(const Batch &batch);
    const SpreadView *heldSpread(qint32 shot) const;

    Settings m_settings;
    FbFile::Progress m_progress;
    QString m_error;
    bool m_wasCancelled = false;
    Report *m_report = nullptr;
    int m_percent = -1;

    FbFile::FbBlockReader m_reader;
    std::unique_ptr<WorkerPool> m_pool;
    // Fitters keep their buffers from shot to shot: one per chunk in
    // flight, taken from and given back to this list.
    ShotFitter *takeFitter();
    void giveBack(ShotFitter *fitter);
    std::vector<std::unique_ptr<ShotFitter>> m_fitters;
    std::vector<ShotFitter *> m_freeFitters;
    std::mutex m_fitterMutex;

    std::vector<std::unique_ptr<Batch>> m_owned;
    std::vector<Batch *> m_spare;
    std::deque<Batch *> m_held; // finished, oldest first
    size_t m_heldBytes = 0;
    Reciprocity::HeldSpread m_heldSpread;

    // Filling: where the shot still arriving starts, and its number.
    qint32 m_shotFirst = 0;
    qint32 m_nextShot = 0;
    bool m_giant = false; // the shot arriving is too large to judge
    // Finishing a shot too large to judge, part by part.
    ShotWork m_giantWork;
    qint64 m_giantRecords = 0;
    SourceTally m_giantSource;
    Findings m_deferred; // a giant shot's findings, after its chunk's
    Finding m_zeroRun;   // a run of zero records that may go on

    Reciprocity m_reciprocity;
    ReceiverSet m_receivers;
    WorkerPool::Task *m_receiving = nullptr; // the receiver set's batch under way
    StationResiduals m_stations;
    ReceiverStatics m_statics;
    RoomFaulter m_faulter;
};

} // namespace FbQc

#endif // FBQC_QCPASS_H
