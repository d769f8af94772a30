#include <fbqc/waveformqc.h>

#include <fbfile/fbpicks.h>
#include <fbfile/shotrecords.h>
#include <fbtrace/tracedataset.h>
#include <fbqc/workerpool.h>

#include <QCoreApplication>
#include <QHash>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace FbFile;
using namespace FbTrace;

namespace FbQc {

namespace {

// Shots handed to the threads at a time: a few each, so that a slow shot
// does not leave the others idle, while only that many are held.
constexpr int ShotsPerThread = 2;

// pick - onset is tallied in bins this wide, out to +/- the half range:
// the median and the agreement come from the bins in bounded memory.
constexpr double ShiftBinMs = 0.05;
constexpr double ShiftRangeMs = 200;

constexpr Kind WaveformKinds[] = {Kind::OffOnset, Kind::CycleSkip, Kind::WeakOnset};

// What one shot gives.
struct ShotResult
{
    qint64 picks = 0;
    qint64 matched = 0;
    qint64 judged = 0;
    bool withoutTraces = false;
    bool failed = false;
    QString error;
    std::vector<Finding> findings[3]; // in WaveformKinds' order
    std::vector<float> displacements; // confident traces' pick - onset
    double periodMs = std::numeric_limits<double>::quiet_NaN();
};

Finding findingOf(Kind kind, qint32 shot, const ShotIndexEntry &entry, const QVector<FbRecord> &records, int i)
{
    const FbRecord &r = records.at(i);
    Finding f;
    f.kind = kind;
    f.shot = shot;
    f.record = entry.firstRecord + i;
    f.fbNo = r.fb_no;
    f.channel = r.channel;
    f.offset = r.offset;
    return f;
}

// dataShot is the data-set shot paired with this one, or -1.
void judgeShot(qint32 shot, const ShotIndexEntry &entry, const QVector<FbRecord> &records, int dataShot,
               const TraceDataSet &data, const WaveformQcSettings &settings, ShotResult *out)
{
    out->picks = records.size();
    if (dataShot < 0) {
        out->withoutTraces = true;
        return;
    }
    ShotGather gather;
    if (!data.readShot(dataShot, &gather, &out->error)) {
        out->failed = true;
        return;
    }
    const QVector<int> traceOf = matchRecordsToGather(records, gather, settings.match);
    const int n = gather.traceCount();
    QVector<double> picksMs(n, std::numeric_limits<double>::quiet_NaN());
    QVector<int> recordOf(n, -1);
    for (int i = 0; i < records.size(); ++i) {
        const int t = traceOf.value(i, -1);
        if (t < 0)
            continue;
        ++out->matched;
        // Only picks in use are judged: a rejected or unpicked record says
        // nothing of where the picker stood.
        if (!FbPicks::isLive(records.at(i)) || !(records.at(i).fb_time > 0))
            continue;
        picksMs[t] = records.at(i).fb_time;
        recordOf[t] = i;
    }
    const WaveformCheck check = checkWaveforms(gather, picksMs, settings.check);
    out->periodMs = check.periodMs;
    const double minimumConfidence = settings.check.picker.minimumConfidence;
    for (int t = 0; t < n; ++t) {
        const int i = recordOf.at(t);
        if (i < 0)
            continue;
        const WaveformJudgement &j = check.traces.at(t);
        // A first break within a period of the first sample has no quiet
        // trace before it to stand out of: that says nothing of the pick.
        const double judgeableFromMs = gather.firstSampleMs + (std::isfinite(j.periodMs) ? j.periodMs : 0.0);
        if (j.verdict == WaveformVerdict::NotJudged ||
            (j.verdict == WaveformVerdict::TooWeak && picksMs.at(t) < judgeableFromMs))
            continue;
        ++out->judged;
        if (j.verdict == WaveformVerdict::TooWeak) {
            Finding f = findingOf(Kind::WeakOnset, shot, entry, records, i);
            f.value = float(j.confidence);
            f.a = records.at(i).fb_time;
            out->findings[2].push_back(f);
        } else if (j.verdict == WaveformVerdict::OffOnset) {
            Finding f = findingOf(Kind::OffOnset, shot, entry, records, i);
            f.value = float(j.displacementMs);
            f.a = records.at(i).fb_time;
            f.b = float(j.onsetMs);
            out->findings[0].push_back(f);
        }
        if ((j.verdict == WaveformVerdict::Good || j.verdict == WaveformVerdict::OffOnset) &&
            j.confidence >= minimumConfidence && std::isfinite(j.displacementMs))
            out->displacements.push_back(float(j.displacementMs));
    }

    // A run: cycle-skipped picks in the gather's order, traces without a
    // judged pick between them not breaking it.
    for (int t = 0; t < n;) {
        if (recordOf.at(t) < 0 || check.traces.at(t).verdict != WaveformVerdict::CycleSkip) {
            ++t;
            continue;
        }
        std::vector<double> off;
        int last = t;
        int u = t;
        for (; u < n; ++u) {
            const WaveformVerdict v = check.traces.at(u).verdict;
            if (recordOf.at(u) < 0 || v == WaveformVerdict::NotJudged || v == WaveformVerdict::TooWeak)
                continue;
            if (v != WaveformVerdict::CycleSkip ||
                (check.traces.at(u).displacementMs > 0) != (check.traces.at(t).displacementMs > 0))
                break;
            off.push_back(check.traces.at(u).displacementMs);
            last = u;
        }
        std::nth_element(off.begin(), off.begin() + off.size() / 2, off.end());
        Finding f = findingOf(Kind::CycleSkip, shot, entry, records, recordOf.at(t));
        f.count = qint64(off.size());
        f.value = float(off[off.size() / 2]);
        f.a = float(records.at(recordOf.at(last)).channel);
        f.b = float(std::isfinite(check.traces.at(t).periodMs) ? check.traces.at(t).periodMs : check.periodMs);
        out->findings[1].push_back(f);
        t = u;
    }
}

// The median of the tallied displacements and the share within `agreement`
// of it.
TimeShift shiftOf(const std::vector<qint64> &bins, qint64 total, double intervalMs, double periodMs,
                  const WaveformQcSettings &s)
{
    TimeShift shift;
    shift.traces = total;
    if (total == 0)
        return shift;
    qint64 seen = 0;
    size_t middle = 0;
    for (; middle < bins.size(); ++middle) {
        seen += bins[middle];
        if (2 * seen >= total)
            break;
    }
    shift.medianMs = (double(middle) + 0.5) * ShiftBinMs - ShiftRangeMs;
    const double agreement = std::max(s.agreementSamples * intervalMs, ShiftBinMs);
    const int reach = int(std::ceil(agreement / ShiftBinMs));
    qint64 near = 0;
    for (int b = std::max(0, int(middle) - reach); b <= std::min(int(bins.size()) - 1, int(middle) + reach); ++b)
        near += bins[size_t(b)];
    shift.agreeing = double(near) / double(total);
    // An onset read off a waveform sits a little after the true first
    // motion, by a share of the period: less than that is no shift.
    const double beyond =
        std::max(s.shiftSamples * intervalMs, std::isfinite(periodMs) ? s.shiftPeriods * periodMs : 0.0);
    shift.shifted = std::fabs(shift.medianMs) > beyond && shift.agreeing >= s.agreementShare;
    return shift;
}

} // namespace

RecordsOf recordsFromFile(const QString &fbFile, const QVector<ShotIndexEntry> &index)
{
    return [fbFile, index](qint32 shot) {
        const ShotIndexEntry &e = index.at(shot);
        return readShotRecords(fbFile, e.firstRecord, e.lastRecord);
    };
}

WaveformJudge::WaveformJudge(const WaveformQcSettings &settings) : m_settings(settings) { }

bool WaveformJudge::run(const QVector<ShotIndexEntry> &index, const RecordsOf &records, const TraceDataSet &data,
                        Report *report, const Progress &progress)
{
    m_summary = WaveformSummary();
    m_error.clear();
    const auto clearFindings = [report] {
        if (!report)
            return;
        report->tracesJudged = false;
        for (Kind k : WaveformKinds)
            report->clearFindings(k);
    };
    clearFindings();

    if (m_settings.match.by == TraceMatchSettings::By::Position && !(m_settings.match.toleranceM > 0)) {
        m_error = QCoreApplication::translate("FbQc::WaveformJudge", "The position tolerance must be positive.");
        return false;
    }
    TraceShotPairing pairing(data, m_settings.match);
    const bool byPosition = m_settings.match.by == TraceMatchSettings::By::Position;

    const int threads = m_settings.threads > 0 ? m_settings.threads : std::max(1, QThread::idealThreadCount());
    WorkerPool pool(threads);
    const int batch = threads * ShotsPerThread;
    std::vector<qint64> bins(size_t(2 * ShiftRangeMs / ShiftBinMs), 0);
    qint64 tallied = 0;
    QVector<double> periods; // one a shot
    for (int first = 0; first < index.size(); first += batch) {
        const int count = std::min(batch, int(index.size()) - first);
        std::vector<ShotResult> results(static_cast<size_t>(count));
        std::vector<QVector<FbRecord>> held(static_cast<size_t>(count));
        WorkerPool::Task read(size_t(count), [&](size_t k) {
            if (!progress.cancelled())
                held[k] = records(first + int(k));
        });
        pool.post(&read);
        pool.wait(&read);
        // Paired in file order, where the shots before are known: a shot
        // repeated at a position or an ffid takes the next data-set shot.
        std::vector<int> dataShotOf(static_cast<size_t>(count), -1);
        for (int k = 0; k < count; ++k) {
            FbRecord firstRecord = held[size_t(k)].isEmpty() ? FbRecord() : held[size_t(k)].first();
            firstRecord.ffid = index.at(first + k).ffid;
            if (!byPosition || !held[size_t(k)].isEmpty())
                dataShotOf[size_t(k)] = pairing.next(firstRecord);
        }
        WorkerPool::Task task(size_t(count), [&](size_t k) {
            const qint32 shot = first + int(k);
            if (progress.cancelled())
                return;
            judgeShot(shot, index.at(shot), held[k], dataShotOf[k], data, m_settings, &results[k]);
            held[k] = QVector<FbRecord>();
        });
        pool.post(&task);
        pool.wait(&task);
        if (!progress.report(first + count, index.size())) {
            m_error = QCoreApplication::translate("FbQc::WaveformJudge", "Cancelled.");
            clearFindings();
            return false;
        }
        // In shot order, whichever thread judged which shot.
        for (int k = 0; k < count; ++k) {
            ShotResult &r = results[size_t(k)];
            if (r.failed) {
                m_error = QCoreApplication::translate("FbQc::WaveformJudge", "ffid %1: %2")
                              .arg(index.at(first + k).ffid)
                              .arg(r.error);
                clearFindings();
                return false;
            }
            m_summary.picks += r.picks;
            m_summary.matched += r.matched;
            m_summary.judged += r.judged;
            m_summary.shotsWithoutTraces += r.withoutTraces ? 1 : 0;
            if (std::isfinite(r.periodMs))
                periods.append(r.periodMs);
            for (float d : r.displacements) {
                const double b = std::floor((double(d) + ShiftRangeMs) / ShiftBinMs);
                if (b >= 0 && b < double(bins.size())) {
                    ++bins[size_t(b)];
                    ++tallied;
                }
            }
            if (!report)
                continue;
            for (int j = 0; j < 3; ++j)
                for (const Finding &f : r.findings[j])
                    if (!report->addFinding(f)) {
                        m_error = report->findings(WaveformKinds[j]).errorString();
                        clearFindings();
                        return false;
                    }
        }
    }
    double period = std::numeric_limits<double>::quiet_NaN();
    if (!periods.isEmpty()) {
        std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
        period = periods.at(periods.size() / 2);
    }
    if (report)
        report->tracesJudged = true;
    m_summary.shift = shiftOf(bins, tallied, data.sampleIntervalMs(), period, m_settings);
    return true;
}

QString describeShift(const TimeShift &shift)
{
    if (!shift.shifted)
        return QString();
    return QCoreApplication::translate("FbQc::WaveformJudge",
                                       "The traces look shifted against the picks by %1 ms (%2% of %3 confident "
                                       "traces agree): is the first sample's time right?")
        .arg((shift.medianMs > 0 ? QStringLiteral("+") : QString()) + QString::number(shift.medianMs, 'f', 1))
        .arg(qRound(100 * shift.agreeing))
        .arg(shift.traces);
}

} // namespace FbQc
