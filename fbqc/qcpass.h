#ifndef QCPASS_H
#define QCPASS_H

#include "fbblockreader.h"
#include "firstbreakfit.h"
#include "memoryadvice.h"
#include "pickqc.h"
#include "reciprocity.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

// The QC pass behind PickQc::Analyzer::run(): one sequential read of the
// records in blocks that builds the index, judges each shot as its last
// record arrives, gathers the file statistics and the reciprocal times of
// each shot at the sources before it; then, only for the shots that sit in
// a later shot's spread, a second read for their times at those sources.
// Holds one shot's records at a time.
namespace PickQc {

class QcPass
{
public:
    enum Outcome { Done, Failed, Cancelled };

    QcPass(const QString &fileName, const Settings &settings, const Analyzer::Progress &progress,
           const std::atomic_bool *cancel);
    Outcome run(Report *report);
    QString errorString() const { return m_error; }

private:
    bool open();
    bool cancelled() const;
    void setProgress(int percent);
    Outcome firstPass();
    Outcome secondPass();
    void reserveFor(size_t shots, qint64 records, qint64 total);
    void finishShot(const FbRecord *records, int n, qint32 firstRecord, const ShotFit &fit,
                    const SpreadView &view);
    void judgeSource(const FbRecord *records, int n, qint32 shot);
    void judgeValues(const FbRecord *records, int n, qint32 shot, qint32 firstRecord, ShotSummary *summary);
    void judgeFit(const FbRecord *records, int n, qint32 shot, qint32 firstRecord, const ShotFit &fit,
                  ShotSummary *summary);
    void findRepeatedFfids();

    Settings m_settings;
    Analyzer::Progress m_progress;
    const std::atomic_bool *m_cancel = nullptr;
    QString m_error;
    Report *m_report = nullptr;
    int m_percent = -1;

    FbBlockReader m_reader;

    // Whole shots read together: a block's worth of records, so that two
    // threads can share their fits.
    struct BatchShot
    {
        qint32 firstRecord;
        size_t offset;
        size_t records;
        qint32 shot = 0;    // index entry; set in the second pass
    };
    // Records in room that only grows: a block is decoded into it without
    // the room being cleared first, which would cost as much as the copy.
    class Records
    {
    public:
        size_t size() const { return m_size; }
        bool empty() const { return m_size == 0; }
        size_t capacity() const { return m_room.size(); }
        FbRecord *data() { return m_room.data(); }
        const FbRecord *data() const { return m_room.data(); }
        FbRecord &operator[](size_t k) { return m_room[k]; }
        void clear() { m_size = 0; }
        // Records beyond the old size hold whatever they held.
        void resize(size_t n)
        {
            if (n > m_room.size())
                m_room.resize(std::max(n, m_room.size() + m_room.size() / 2));
            m_size = n;
        }
        void assign(const FbRecord *from, size_t n)
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
        std::vector<FbRecord> m_room;
        size_t m_size = 0;
    };
    struct Batch
    {
        Records records;
        std::vector<BatchShot> shots;      // complete shots, in file order
        // One per shot; they only grow, so that their lists keep their room.
        std::vector<ShotFit> fits;
        std::vector<SpreadView> views;
        std::atomic<size_t> next{0};       // the first shot no thread has taken yet
        size_t claim = 1;                  // shots a thread takes at once
        qint32 firstShot = 0;              // index entry of the first shot, once finished

        Batch() = default;
        Batch &operator=(Batch &&other) noexcept
        {
            records.swap(other.records);
            shots.swap(other.shots);
            fits.swap(other.fits);
            views.swap(other.views);
            return *this;
        }
    };
    Outcome fill(Batch *batch, Batch *spill, bool *ended);
    void prepareFits(Batch *batch);
    void fitShared(Batch *batch, ShotFitter *fitter);
    void finishBatch(Batch *batch);
    void completeBatch(Batch *batch);

    Batch *spareBatch();
    void hold(Batch *batch);
    static size_t footprint(const Batch &batch);
    const SpreadView *heldSpread(qint32 shot) const;

    std::vector<std::unique_ptr<Batch>> m_owned;
    std::vector<Batch *> m_spare;
    std::deque<Batch *> m_held;          // finished, oldest first
    size_t m_heldBytes = 0;
    const Batch *m_finishing = nullptr;
    Reciprocity::HeldSpread m_heldSpread;
    qint32 m_shotFirst = 0;   // first record of the shot still arriving
    ShotFitter m_fitter;
    ShotFitter m_workerFitter;
    Reciprocity m_reciprocity;
    // The second pass's spreads, one per thread.
    SpreadView m_view;
    SpreadView m_workerView;
    std::vector<int> m_valueOrder;
    RoomFaulter m_faulter;
};

} // namespace PickQc

#endif // QCPASS_H
