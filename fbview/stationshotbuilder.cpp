#include "stationshotbuilder.h"

#include "pickqc.h"
#include "shotfit.h"
#include "shotrecords.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace {

// Records read at once: a few MB, so that a run of short shots costs a few
// reads rather than one per shot.
constexpr qint64 BlockRecords = 1 << 16;

qint64 recordsOf(const ShotIndexEntry &entry)
{
    return qint64(entry.lastRecord) - entry.firstRecord + 1;
}

} // namespace

struct StationShotBuilder::Worker
{
    struct Request
    {
        quint64 generation = 0;
        QString fileName;
        QVector<ShotIndexEntry> index;
        StationAxis axis;
        PickQc::Settings settings;
        int first = 0;
        int last = -1;
    };

    std::mutex mutex;
    std::condition_variable wake;
    std::optional<Request> pending;     // guarded by mutex
    std::atomic<quint64> latest{0};     // the generation wanted now
    std::atomic_bool stop{false};
    std::thread thread;
    // What requests read; touched on the builder's thread only.
    Request source;

    void run(StationShotBuilder *owner)
    {
        for (;;) {
            Request request;
            {
                std::unique_lock<std::mutex> lock(mutex);
                wake.wait(lock, [this] { return stop || pending; });
                if (stop)
                    return;
                request = std::move(*pending);
                pending.reset();
            }
            const quint64 generation = request.generation;
            auto cells = std::make_shared<const StationShotCells>(
                build(request.fileName, request.index, request.axis, request.settings, request.first, request.last,
                      [this, generation] { return !stop && latest == generation; }));
            if (stop || latest != generation)
                continue;
            // The owner outlives this thread (its destructor joins it).
            QMetaObject::invokeMethod(owner, [owner, generation, cells] {
                if (owner->m_generation != generation)
                    return;
                owner->m_busy = false;
                emit owner->ready(cells);
            }, Qt::QueuedConnection);
        }
    }
};

StationShotBuilder::StationShotBuilder(QObject *parent)
    : QObject(parent)
    , m_worker(std::make_shared<Worker>())
{
    m_worker->thread = std::thread([worker = m_worker.get(), this] { worker->run(this); });
}

StationShotBuilder::~StationShotBuilder()
{
    {
        std::lock_guard<std::mutex> lock(m_worker->mutex);
        m_worker->stop = true;
    }
    m_worker->wake.notify_one();
    m_worker->thread.join();
}

void StationShotBuilder::setSource(const QString &fileName, const QVector<ShotIndexEntry> &index,
                                   const StationAxis &axis, const PickQc::Settings &settings)
{
    Worker::Request &source = m_worker->source;
    source.fileName = fileName;
    source.index = index;
    source.axis = axis;
    source.settings = settings;
    // Whatever was asked of the old source is no longer wanted.
    m_worker->latest = ++m_generation;
    m_busy = false;
}

void StationShotBuilder::request(int first, int last)
{
    Worker::Request request = m_worker->source;
    request.generation = ++m_generation;
    request.first = first;
    request.last = qMin(last, first + MaxShots - 1);
    m_busy = true;
    {
        std::lock_guard<std::mutex> lock(m_worker->mutex);
        m_worker->latest = request.generation;
        m_worker->pending = std::move(request);
    }
    m_worker->wake.notify_one();
}

StationShotCells StationShotBuilder::build(const QString &fileName, const QVector<ShotIndexEntry> &index,
                                           const StationAxis &axis, const PickQc::Settings &settings, int first,
                                           int last, const std::function<bool()> &keepGoing)
{
    StationShotCells cells;
    first = qMax(0, first);
    last = qMin(last, index.size() - 1);
    cells.firstShot = first;
    cells.lastShot = first - 1;
    cells.rowStart.append(0);
    for (int s = first; s <= last;) {
        // A block of shots that follow one another in the file.
        int e = s;
        qint64 total = recordsOf(index.at(s));
        while (e < last && index.at(e + 1).firstRecord == index.at(e).lastRecord + 1
               && total + recordsOf(index.at(e + 1)) <= BlockRecords)
            total += recordsOf(index.at(++e));
        const QVector<FbRecord> block = readShotRecords(fileName, index.at(s).firstRecord, index.at(e).lastRecord);
        int offset = 0;
        for (int shot = s; shot <= e; ++shot) {
            if (keepGoing && !keepGoing())
                return StationShotCells();
            const int n = int(qMin<qint64>(recordsOf(index.at(shot)), block.size() - offset));
            if (n > 0) {
                const QVector<FbRecord> records = s == e ? block : block.mid(offset, n);
                const PickQc::ShotFit fit = PickQc::fitShot(records, settings);
                for (int i = 0; i < records.size(); ++i) {
                    const PickQc::PickVerdict &verdict = fit.picks.at(i);
                    const double coordinate = verdict.judged ? axis.pickAt(records.at(i)) : qQNaN();
                    if (qIsFinite(coordinate))
                        cells.cells.append({coordinate, verdict.residual, index.at(shot).firstRecord + i});
                }
                offset += n;
            }
            cells.rowStart.append(cells.cells.size());
            cells.lastShot = shot;
        }
        s = e + 1;
    }
    return cells;
}
