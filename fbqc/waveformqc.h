#ifndef FBQC_WAVEFORMQC_H
#define FBQC_WAVEFORMQC_H

#include <fbqc/onsetpicker.h>
#include <fbqc/pickqc.h>
#include <fbfile/progress.h>
#include <fbfile/shotindex.h>
#include <fbtrace/tracematch.h>

#include <QString>
#include <QVector>

#include <limits>

namespace FbTrace {
class TraceDataSet;
}

// The picks of an FB file judged against the traces they were read from:
// each shot's records matched to its traces as settings.match says (the
// data-set shot TraceShotPairing gives: by keys the n-th FB shot of an ffid
// takes the n-th such shot of the data set, by position the n-th FB shot
// from a source position the n-th shot fired there), the
// matched picks checked by FbQc::checkWaveforms(), and the
// findings appended to a report as off-onset picks, cycle-skip runs and
// first breaks too weak to judge. Beside the findings it measures whether
// the traces sit shifted against the picks by a constant (a first sample
// whose time is not what the format says): that is said, never applied.
//
// One shot's records and traces are held per thread; the shots are judged
// on up to `threads` threads and their findings appended in shot order, so
// the report is the same for every number of threads. Fails (false,
// errorString()) when a shot's traces cannot be read, a position match
// has no positive tolerance, or on Cancel; the
// report then holds no waveform finding.
//
//   FbQc::WaveformJudge judge(settings);
//   if (!judge.run(&report, data, FbQc::recordsFromFile(fbFile), progress)) ... judge.errorString();
//   judge.summary().shift.shifted ...
namespace FbQc {

struct WaveformQcSettings
{
    WaveformCheckSettings check;
    FbTrace::TraceMatchSettings match;
    // 0: one per core.
    int threads = 0;
    // A shift is said when the median pick - onset is beyond this many
    // samples and this share of the shots' median period, and at least
    // agreementShare of the confident traces lie within agreementSamples
    // of it.
    double shiftSamples = 1.0;
    double shiftPeriods = 0.1;
    double agreementShare = 0.6;
    double agreementSamples = 2.0;
};

// The traces against the picks as a whole: pick - onset over the matched
// traces whose onset is confident and whose pick is on it or off it by
// less than the check's window (cycle skips left out).
struct TimeShift
{
    qint64 traces = 0;
    double medianMs = std::numeric_limits<double>::quiet_NaN();
    double agreeing = 0; // share of traces within the agreement of the median
    bool shifted = false;
};

struct WaveformSummary
{
    qint64 picks = 0;   // records in the shots judged
    qint64 matched = 0; // picks that found a trace
    qint64 judged = 0;  // matched picks with a time, judged against their trace
    qint32 shotsWithoutTraces = 0;
    TimeShift shift;
};

// A shot's records read from an FB file (readShotRecords), for run().
RecordsOf recordsFromFile(const QString &fbFile, const QVector<FbFile::ShotIndexEntry> &index);

class WaveformJudge
{
public:
    explicit WaveformJudge(const WaveformQcSettings &settings = WaveformQcSettings());

    // Judges the shots of index (records(k) gives shot k's records; it is
    // called from several threads at once) and, when report is given,
    // replaces its waveform findings with these. data must be open.
    bool run(const QVector<FbFile::ShotIndexEntry> &index, const RecordsOf &records, const FbTrace::TraceDataSet &data,
             Report *report, const FbFile::Progress &progress = FbFile::Progress());
    // The same over a judged report's shots.
    bool run(Report *report, const RecordsOf &records, const FbTrace::TraceDataSet &data,
             const FbFile::Progress &progress = FbFile::Progress())
    {
        return run(report->index(), records, data, report, progress);
    }

    const WaveformSummary &summary() const { return m_summary; }
    QString errorString() const { return m_error; }

private:
    WaveformQcSettings m_settings;
    WaveformSummary m_summary;
    QString m_error;
};

// "The traces look shifted against the picks by +4.0 ms: is the first
// sample's time right?" or empty when they do not.
QString describeShift(const TimeShift &shift);

} // namespace FbQc

#endif // FBQC_WAVEFORMQC_H
