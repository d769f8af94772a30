#ifndef FBQC_REPICK_H
#define FBQC_REPICK_H

#include <fbfile/fblayout.h>
#include <fbqc/onsetpicker.h>
#include <fbqc/shotfit.h>

#include <QCoreApplication>
#include <QVector>

// Picks set again from the traces: a time a user drew on a trace moved onto
// the waveform (snapping), and new times proposed for the picks of a shot
// that the fit flags or the waveforms disown (suggestions). Pure
// computation on one gather in memory, like the onset picker it uses; the
// caller turns the times into edits.
//
//   FbQc::SnapSettings snap{FbQc::SnapMode::Onset, 10};
//   double ms = FbQc::snapDrawn(FbQc::traceOf(gather, trace), drawnMs, snap);
//   QVector<FbQc::Suggestion> s = FbQc::suggestRepicks(gather, records, rowTrace, fit, snap);
namespace FbQc {

// Where a drawn time lands: a point of the arrival (the phases of the
// picker), or just where it was drawn.
enum class SnapMode { Onset, FirstPeak, FirstTrough, ZeroCrossing, None };
constexpr int SnapModeCount = 5;

struct SnapSettings
{
    SnapMode mode = SnapMode::Onset;
    // A drawn time moves at most this far, ms.
    double withinMs = DefaultWithinMs;
    static constexpr double DefaultWithinMs = 10;
};

// The picker's phase of a snap mode; Onset for None.
PickPhase phaseOf(SnapMode mode);
// The mode's name in the menus ("Onset", "First peak", ...).
QString snapModeName(SnapMode mode);

// drawnMs on trace moved onto its arrival within +/- withinMs; drawnMs
// itself when the mode is None or nothing in the window stands out of the
// noise (a user who draws there means it).
double snapDrawn(const TraceSamples &trace, double drawnMs, const SnapSettings &snap);

// A new time proposed for a record of the shot.
struct Suggestion
{
    int row = -1; // the record's position in the shot
    double oldMs = 0;
    double newMs = 0;
};

// New times for the live picks on a trace (rowTrace: each record's trace in
// gather, -1 none) that the fit flags (an outlier, a run displaced by a
// near-constant step) or the waveform checks name (off the onset, a cycle
// skip). The trace's onset is searched around where the evidence says the
// arrival is: the trace's own confident onset for a pick the waveforms
// disown, else the fitted curve's time (the old pick's without a curve);
// the new time stands on the snap mode's phase. A flagged pick that sits on
// its own confident onset gets none: its waveform vouches for it. So do
// picks whose search finds no confident arrival, and those it would move by
// less than a sample. In row order.
QVector<Suggestion> suggestRepicks(const FbTrace::ShotGather &gather, const QVector<FbFile::FbRecord> &records,
                                   const QVector<int> &rowTrace, const ShotFit &fit, const SnapSettings &snap,
                                   const WaveformCheckSettings &check = WaveformCheckSettings());

} // namespace FbQc

#endif // FBQC_REPICK_H
