#include "pickcommands.h"

#include "commandline.h"
#include "seiscommands.h"

#include <fbfile/fblayout.h>
#include <fbfile/fbpicks.h>
#include <fbfile/fbspooledwriter.h>
#include <fbqc/linepicks.h>
#include <fbqc/offsettally.h>
#include <fbqc/onsetpicker.h>
#include <fbfile/shotindex.h>
#include <fbfile/shotrecords.h>
#include <fbtrace/tracedataset.h>
#include <fbtrace/tracematch.h>

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QThread>

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;

namespace FbTool {

namespace {

// Shots held at once, a few a thread: being read and picked, or picked and
// waiting for the shots before them to be written.
constexpr int ShotsPerThread = 3;
// Progress is shown every this many shots.
constexpr int ProgressShots = 8;
// The most records an FB file holds: its count and record numbers are
// 32-bit words.
constexpr qint64 MaxRecords = std::numeric_limits<qint32>::max();

// Picking a shot takes and gives back the same large work buffers (the
// gather's windows and stacks, a few hundred KB each) shot after shot. The
// allocator would hand them back to the system each time and fault them in
// again, zero-filled, for the next shot (a tenth of the picking's time):
// blocks up to MaxHeldBlock come from the process's own heap, and up to
// MaxIdleHeap of it freed is kept.
constexpr int MaxHeldBlock = 32 * 1024 * 1024;
constexpr int MaxIdleHeap = 256 * 1024 * 1024;

void keepFreedMemory()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, MaxHeldBlock);
    mallopt(M_TRIM_THRESHOLD, MaxIdleHeap);
#endif
}

quint64 keyOf(qint32 ffid, qint32 channel)
{
    return (quint64(quint32(ffid)) << 32) | quint32(channel);
}

// The records of an FB file by ffid and channel: where --geometry takes
// positions, stations and offsets from. The first record of a key wins.
// *metresPerOffset: the unit of its offsets, found from its coordinates
// (taken as metres).
bool readGeometry(const QString &fileName, QHash<quint64, FbRecord> *geometry, double *metresPerOffset, QString *error)
{
    ShotIndexScanner scanner(fileName);
    if (!scanner.open()) {
        *error = scanner.errorString();
        return false;
    }
    // Read in runs of whole records of about a block each, not shot by shot.
    const qint64 count = scanner.recordCount();
    FbQc::OffsetTally tally;
    for (qint64 first = 0; first < count; first += FbLayout::BlockRecords) {
        const qint64 last = std::min(count, first + FbLayout::BlockRecords) - 1;
        const QVector<FbRecord> records = readShotRecords(fileName, qint32(first), qint32(last));
        if (records.size() != last - first + 1) {
            *error = QStringLiteral("cannot read records %1 to %2").arg(first + 1).arg(last + 1);
            return false;
        }
        for (const FbRecord &r : records) {
            tally.add(r);
            if (!geometry->contains(keyOf(r.ffid, r.channel)))
                geometry->insert(keyOf(r.ffid, r.channel), r);
        }
    }
    *metresPerOffset = 1.0 / (tally.found() ? tally.factor() : 1);
    return true;
}

FbRecord recordFromHeader(const TraceHeader &h)
{
    FbRecord r;
    r.ffid = h.ffid;
    r.channel = h.channel;
    r.offset = qint32(std::lround(h.offset));
    r.source_x = float(h.sourceX);
    r.source_y = float(h.sourceY);
    r.group_x = float(h.receiverX);
    r.group_y = float(h.receiverY);
    r.s_elev = qint32(std::lround(h.sourceZ));
    r.g_elev = qint32(std::lround(h.receiverZ));
    return r;
}

// Shots read and picked on several threads, handed out in the data set's
// order. Each shot is read and picked by one thread on its own, so the
// picks do not depend on how many there are: the picker finds the shot's
// samples still in its own core's cache, reading scales with the threads,
// and no thread waits for a whole batch to be read or written. With one
// thread of picking, the next shots are read on a thread of their own
// meanwhile: reading is then off the picker's path. `place` gives each
// shot read the geometry the picker is to see.
struct PickedShot
{
    ShotGather gather;
    QVector<FbQc::OnsetPick> picks;
};

class ShotPipeline
{
public:
    using Place = std::function<void(ShotGather *)>;
    ShotPipeline(const TraceDataSet &data, const Place &place, const FbQc::OnsetPickerSettings &settings, int threads)
        : m_data(data), m_place(place), m_settings(settings), m_shots(data.shotCount()),
          m_slots(static_cast<size_t>(std::max(1, std::min(m_shots, threads * ShotsPerThread))))
    {
        if (m_shots == 0)
            return;
        if (threads == 1) {
            m_threads.emplace_back([this] { work(false); });
            m_threads.emplace_back([this] { pickInOrder(); });
            return;
        }
        for (int t = 0; t < std::min(threads, m_shots); ++t)
            m_threads.emplace_back([this] { work(true); });
    }
    ~ShotPipeline()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        for (std::thread &t : m_threads)
            t.join();
    }

    // The next shot in order, read and picked; nullptr when it cannot be
    // read (errorString()). Valid until the following call.
    const PickedShot *next()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_handed > 0) {
            m_slots[slotOf(m_handed - 1)].picked = false;
            ++m_released;
            m_changed.notify_all();
        }
        const int shot = m_handed;
        m_changed.wait(lock, [&] { return m_slots[slotOf(shot)].picked || (m_failedAt >= 0 && m_failedAt <= shot); });
        if (!m_slots[slotOf(shot)].picked)
            return nullptr;
        ++m_handed;
        return &m_slots[slotOf(shot)].shot;
    }
    QString errorString() const { return m_error; }

private:
    struct Slot
    {
        PickedShot shot;
        bool read = false; // waiting for the picking thread
        bool picked = false;
    };
    size_t slotOf(int shot) const { return size_t(shot) % m_slots.size(); }

    // Claims shots and reads them; picks them too, or leaves them to
    // pickInOrder().
    void work(bool pick)
    {
        for (;;) {
            int shot = 0;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                // A slot is free once the shot it held was handed on.
                m_changed.wait(lock, [&] {
                    return m_stop || m_failedAt >= 0 || m_claimed >= m_shots ||
                           m_claimed - m_released < int(m_slots.size());
                });
                if (m_stop || m_failedAt >= 0 || m_claimed >= m_shots)
                    return;
                shot = m_claimed++;
            }
            PickedShot &s = m_slots[slotOf(shot)].shot;
            QString error;
            const bool read = m_data.readShot(shot, &s.gather, &error);
            if (read)
                m_place(&s.gather);
            if (read && pick)
                s.picks = FbQc::pickGather(s.gather, {}, m_settings);
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                if (read) {
                    (pick ? m_slots[slotOf(shot)].picked : m_slots[slotOf(shot)].read) = true;
                } else if (m_failedAt < 0 || shot < m_failedAt) {
                    // The first shot that cannot be read is the one named.
                    m_error = error;
                    m_failedAt = shot;
                }
            }
            m_changed.notify_all();
        }
    }

    // Picks the shots work(false) reads, in order, until one cannot be read.
    void pickInOrder()
    {
        for (int shot = 0; shot < m_shots; ++shot) {
            Slot &slot = m_slots[slotOf(shot)];
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [&] { return m_stop || slot.read || (m_failedAt >= 0 && m_failedAt <= shot); });
                if (m_stop || !slot.read)
                    return;
            }
            slot.shot.picks = FbQc::pickGather(slot.shot.gather, {}, m_settings);
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                slot.read = false;
                slot.picked = true;
            }
            m_changed.notify_all();
        }
    }

    const TraceDataSet &m_data;
    const Place m_place;
    const FbQc::OnsetPickerSettings m_settings;
    const int m_shots;
    std::vector<Slot> m_slots;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stop = false;
    int m_claimed = 0;   // shots taken by a thread
    int m_handed = 0;    // shots handed out by next()
    int m_released = 0;  // shots whose slot may be read into again
    int m_failedAt = -1; // the first shot that could not be read
    QString m_error;
};

} // namespace

int runPick(const QStringList &args)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Picks the first break of every trace of a seismic data set and writes one FB record a trace, in the data "
        "set's shot order: status 0 for a confident pick, 1 for a doubtful one, time 0 where nothing rises out of "
        "the noise (at offset 0, where a time of 0 would read as a pick, with status 2 as well). A shot whose traces "
        "are mostly doubtful alone is picked again along the curve of the nearest shots' confident picks, at its "
        "own shift. Positions, stations "
        "and offsets come from the trace headers, or with --geometry from the "
        "records of an FB file with the same ffid and channel (their times and statuses are not used; the picker "
        "reads their offsets).\n"
        "Exit code 0, 2 when a file cannot be read or written or an option is wrong."));
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = p.addHelpOption();
    p.addPositionalArgument(QStringLiteral("pick"), QStringLiteral("The command."), QStringLiteral("pick"));
    const QCommandLineOption seismic(QStringLiteral("seismic"),
                                     QStringLiteral("The data set: a SEG-Y file or a folder of SEG-2 files."),
                                     QStringLiteral("DATA"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The FB file to write."), QStringLiteral("OUT"));
    const QCommandLineOption geometry(QStringLiteral("geometry"),
                                      QStringLiteral("Take positions, stations and offsets from this FB file's "
                                                     "records, matched by ffid and channel."),
                                      QStringLiteral("FB"));
    const QCommandLineOption firstSample(QStringLiteral("first-sample"),
                                         QStringLiteral("The time of every trace's first sample in ms, in place of "
                                                        "the format's delay."),
                                         QStringLiteral("MS"));
    const QCommandLineOption threads(
        QStringLiteral("threads"),
        QStringLiteral("Threads that read and pick shots (default 0: one per core); with 1, "
                       "the next shots are read on a second thread meanwhile."),
        QStringLiteral("N"), QStringLiteral("0"));
    p.addOptions({seismic, output, geometry, firstSample, threads});
    if (!p.parse(args))
        return usageError(p);
    if (p.isSet(help))
        p.showHelp(0);
    if (p.positionalArguments().size() != 1)
        return fail(QStringLiteral("too many arguments"));
    if (!p.isSet(seismic))
        return fail(QStringLiteral("missing --seismic DATA"));
    if (!p.isSet(output))
        return fail(QStringLiteral("missing -o OUT"));
    qint64 threadCount = 0;
    if (!toInt(p.value(threads), 0, 1024, &threadCount))
        return fail(QStringLiteral("--threads: '%1' is not a number of threads").arg(p.value(threads)));
    if (threadCount == 0)
        threadCount = std::max(1, QThread::idealThreadCount());
    double firstSampleMs = 0;
    if (p.isSet(firstSample) && !toDouble(p.value(firstSample), &firstSampleMs))
        return fail(QStringLiteral("--first-sample: '%1' is not a number").arg(p.value(firstSample)));

    QHash<quint64, FbRecord> known;
    double metresPerOffset = 1.0;
    QString error;
    if (p.isSet(geometry) && !readGeometry(p.value(geometry), &known, &metresPerOffset, &error))
        return fail(QStringLiteral("%1: %2").arg(p.value(geometry), error));
    // With --geometry the picker sees the records' offsets, not the headers'.
    const ShotPipeline::Place place = [&known, metresPerOffset](ShotGather *gather) {
        if (known.isEmpty())
            return;
        for (TraceHeader &h : gather->headers) {
            const auto found = known.constFind(keyOf(h.ffid, h.channel));
            if (found != known.constEnd())
                takeRecordOffset(&h, *found, metresPerOffset);
        }
    };

    const bool terminal = isatty(STDERR_FILENO);
    QTextStream err(stderr);
    TraceDataSet data;
    TraceDataSet::Options options;
    options.threads = int(threadCount);
    data.setOptions(options);
    const Progress indexing(
        terminal ? Progress::Observer([&err](int percent) { err << "\rindexing " << percent << "%" << Qt::flush; })
                 : Progress::Observer());
    if (!data.open(p.value(seismic), indexing))
        return fail(data.errorString());
    if (p.isSet(firstSample))
        data.setFirstSampleMs(firstSampleMs);

    // An FB file numbers its records and declares their count in 32 bits.
    if (data.traceCount() > MaxRecords)
        return fail(QStringLiteral("%1: %2 traces are more than one FB file holds (%3)")
                        .arg(p.value(seismic))
                        .arg(data.traceCount())
                        .arg(MaxRecords));

    QStringList protect = seismicInputs(p.value(seismic));
    if (p.isSet(geometry))
        protect << p.value(geometry);
    // The header's count and offset range are known only after the last
    // trace: the records are spooled beside the output as they are made.
    FbSpooledWriter file(p.value(output), QStringLiteral(".fbtool-pick-"));
    if (!file.open(protect))
        return fail(file.errorString());

    keepFreedMemory();
    const FbQc::OnsetPickerSettings settings;
    const int shots = data.shotCount();
    qint64 confident = 0, doubtful = 0, none = 0, fromGeometry = 0, record = 0;
    QElapsedTimer clock;
    clock.start();
    // A pick's record: its time and status, or none; counted in the
    // shot's confident, doubtful and unpicked traces.
    QVector<std::array<qint64, 3>> tally(shots, {0, 0, 0});
    auto setPick = [&](FbRecord *r, const FbQc::OnsetPick &pick, std::array<qint64, 3> *count) {
        if (!pick.found || !std::isfinite(pick.onsetMs) || pick.onsetMs <= 0) {
            r->fb_status = 1;
            FbPicks::markUnpicked(r);
            ++(*count)[2];
        } else {
            r->fb_time = float(pick.onsetMs);
            r->fb_status = pick.confidence >= settings.minimumConfidence ? 0 : 1;
            ++(*count)[r->fb_status == 0 ? 0 : 1];
        }
    };
    // The records are written as the shots come; a weak shot picked again
    // from the shots beside it (some after it) has its records changed in
    // the spool. What the line needs of each shot is a few bytes a trace.
    QVector<FbQc::LineShot> line(shots);
    QVector<qint64> firstRecord(shots);
    {
        ShotPipeline pipeline(data, place, settings, int(threadCount));
        for (int shot = 0; shot < shots; ++shot) {
            const PickedShot *picked = pipeline.next();
            if (!picked)
                return fail(pipeline.errorString());
            const ShotGather &g = picked->gather;
            firstRecord[shot] = record;
            // The line places the shots by the records' geometry: with
            // --geometry the headers may hold none.
            FbQc::LineShot &placed = line[shot];
            placed = FbQc::lineShotOf(g, picked->picks, settings);
            for (int i = 0; i < g.traceCount(); ++i) {
                const TraceHeader &h = g.headers[i];
                const auto found = known.constFind(keyOf(h.ffid, h.channel));
                FbRecord r = found != known.constEnd() ? *found : recordFromHeader(h);
                fromGeometry += found != known.constEnd() ? 1 : 0;
                setPick(&r, picked->picks[i], &tally[shot]);
                r.fb_no = qint32(++record);
                if (!file.append(r))
                    return fail(file.errorString());
                placed.offsets[i] = float(r.offset);
                if (i == 0) {
                    placed.sourceX = double(r.source_x);
                    placed.sourceY = double(r.source_y);
                }
            }
            if (terminal && (shot + 1 == shots || (shot + 1) % ProgressShots == 0))
                err << "\rpicking " << (shot + 1) * 100 / shots << "%" << Qt::flush;
        }
    }
    QString againError;
    std::mutex againMutex;
    const auto readAgain = [&](int shot, ShotGather *gather) {
        QString error;
        if (data.readShot(shot, gather, &error)) {
            place(gather);
            return true;
        }
        const std::lock_guard<std::mutex> lock(againMutex);
        againError = error;
        return false;
    };
    bool written = true;
    const auto writeAgain = [&](int shot, const QVector<FbQc::OnsetPick> &picks) {
        const std::lock_guard<std::mutex> lock(againMutex);
        tally[shot] = {0, 0, 0};
        for (int i = 0; i < picks.size() && written; ++i)
            written = file.update(firstRecord[shot] + i, [&](FbRecord *r) { setPick(r, picks[i], &tally[shot]); });
    };
    if (!FbQc::pickWeakShots(&line, readAgain, writeAgain, int(threadCount), settings))
        return fail(againError);
    if (!written)
        return fail(file.errorString());
    for (const std::array<qint64, 3> &c : tally) {
        confident += c[0];
        doubtful += c[1];
        none += c[2];
    }
    if (terminal)
        err << "\r             \r" << Qt::flush;
    if (!file.commit())
        return fail(file.errorString());

    QTextStream &o = out();
    o << "Data: " << p.value(seismic) << " (" << data.formatName() << ", " << shots << " shots, " << record
      << " traces)\n";
    o << "Picked: " << confident << " confident (status 0), " << doubtful << " doubtful (status 1), " << none
      << " without a first break (time 0; status 2 at offset 0)\n";
    if (p.isSet(geometry))
        o << "Geometry: " << fromGeometry << " traces from " << p.value(geometry) << ", " << record - fromGeometry
          << " from the trace headers\n";
    o << "Written: " << p.value(output) << " in " << QString::number(clock.elapsed() / 1000.0, 'f', 2) << " s on "
      << threadCount << (threadCount == 1 ? " thread" : " threads") << '\n';
    return Ok;
}

} // namespace FbTool
