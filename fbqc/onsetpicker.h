#ifndef FBQC_ONSETPICKER_H
#define FBQC_ONSETPICKER_H

#include <QVector>

#include <cmath>
#include <limits>

namespace FbTrace {
struct ShotGather;
}

// Reading first breaks from the waveforms: where a trace's first arrival
// starts, a click's time snapped to the arrival, and the picks of a shot
// judged against their traces. Pure computation on samples in memory; no
// file, no widget, no thread of its own (callers run traces in parallel:
// each call reads only its arguments).
//
// Method. A modified energy ratio (the energy of half a period after each
// time against half a period before) gives the coarse onset: the first rise
// that comes near the window's largest ratio, not the largest itself, since
// later arrivals are often stronger than the first break. The noise level
// comes from a robust spread of the samples before it. The first motion is
// the first lobe that clears the noise by a margin that follows the
// arrival's own strength and whose length fits the wavelet's period
// (shorter lobes are an air wave or a spike, and are passed over). The
// onset of an impulsive arrival (its first lobe the strongest) is where a
// parabola fitted to that lobe's rising flank leaves zero; an arrival whose
// energy builds over its first cycle starts too gently for its flank to
// show the start through the noise, and its onset is read half a period
// (given, or measured over the next lobes: the swings that clear the noise,
// not its wiggles across a crossing) before the first lobe's end.
// Confidence is the first lobe's peak over the noise's rms, or over the
// samples just before the onset when they are louder, so an emergent
// arrival, whose first cycles hide in the noise, is not judged confidently.
//
//   FbQc::TraceSamples trace{gather.trace(i), gather.samplesPerTrace,
//                              gather.firstSampleMs, gather.sampleIntervalMs};
//   FbQc::OnsetPick pick = FbQc::pickOnsetNear(trace, predictedMs, settings);
//   if (pick.found && pick.confidence >= settings.minimumConfidence) ...
namespace FbQc {

// Which point of the arrival a pick stands on.
enum class PickPhase {
    Onset,        // where the first motion leaves zero
    FirstPeak,    // the first positive maximum at or after the onset
    FirstTrough,  // the first negative minimum at or after the onset
    ZeroCrossing, // where the first lobe ends
};

// One trace's samples and its time base (sample i at firstSampleMs + i *
// sampleIntervalMs). Does not own the samples.
struct TraceSamples
{
    const float *samples = nullptr;
    int count = 0;
    double firstSampleMs = 0;
    double sampleIntervalMs = 0;

    double timeOf(double i) const { return firstSampleMs + i * sampleIntervalMs; }
    double indexOf(double ms) const { return (ms - firstSampleMs) / sampleIntervalMs; }
};
TraceSamples traceOf(const FbTrace::ShotGather &gather, int i);

struct OnsetPickerSettings
{
    // Half width of the search window around a predicted time, ms.
    double windowMs = 30;
    // The wavelet's dominant period, ms; 0: measured on the trace from the
    // lobes after the onset. Giving it (the gather's) lets an air wave's
    // short lobes be told from the first break on a trace that has one.
    double periodMs = 0;
    PickPhase phase = PickPhase::Onset;
    // Picks whose first peak stands less than this many noise rms above
    // the noise are doubtful.
    double minimumConfidence = 6;
    // A click snaps to an onset at least this confident: less than judging
    // a pick needs, more than noise alone reaches in all but about one
    // window in a hundred.
    double snapMinimumConfidence = 4.5;
};

struct OnsetPick
{
    bool found = false;                                         // an arrival stands out of the noise in the window
    double timeMs = std::numeric_limits<double>::quiet_NaN();   // on the settings' phase
    double onsetMs = std::numeric_limits<double>::quiet_NaN();  // always the onset
    double confidence = 0;                                      // first peak / noise rms, or vouched (pickGather)
    double periodMs = std::numeric_limits<double>::quiet_NaN(); // measured from the first lobes
    // One whole cycle between the first and the third lobes' ends: unlike
    // periodMs it does not move with the onset, so it stays true where the
    // onset is read late; NaN when the third lobe is not there.
    double cycleMs = std::numeric_limits<double>::quiet_NaN();
    int polarity = 0; // +1 / -1: direction of the first motion
};

// The onset of the arrival that starts between fromMs and toMs (the samples
// around the window are looked at too, for the noise before and the lobes
// after). Not found when the trace is empty, the window lies outside it,
// nothing in it rises out of the noise, or the first arrival out of the
// noise starts after toMs (a later one, not the window's).
OnsetPick pickOnset(const TraceSamples &trace, double fromMs, double toMs, const OnsetPickerSettings &settings);
// The same within predictedMs +/- settings.windowMs.
OnsetPick pickOnsetNear(const TraceSamples &trace, double predictedMs, const OnsetPickerSettings &settings);

// How a trace rings where its own first cycle is lost in the noise: the lag
// of the first peak (once it has turned negative) of its autocorrelation
// over five of periodMs (the shot's period) from fromMs, among lags of half
// to two and a half of it. The arrival there outweighs the noise, which, in
// the arrival's band but broad, correlates little a cycle on. NaN where
// that peak stays below 0.35 (noise alone) or the trace ends first.
double ringingPeriod(const TraceSamples &trace, double fromMs, double periodMs);
// Whether two cycles (ms, both numbers) are one wavelet's: the longer within
// 1.4 times the shorter. Field records mix wavelets, emergent onsets ringing
// at a lower pitch among sharp ones: the picker stacks a trace, and the
// checks judge it, with the neighbours ringing like it.
bool ringsAlike(double cycleMs, double otherMs);

// One pick per trace of a gather, none of them given: each trace's onset
// searched around predictedMs[i] when that is a number (a fitted curve's
// time), else over the whole trace first and then again around the time its
// neighbours' confident onsets give (a robust line through up to three on
// each side, in the gather's order against the headers' offsets, or
// against the trace's position when the offsets are all alike) when the
// first search was not confident or strays from that time by more than half
// the window; on a shot with hardly a confident pick (and offsets in the
// headers), doubtful picks that lie on a line with several of their nearest
// neighbours' count as confident neighbours too. Without settings.periodMs,
// the shot's period (the median of the confident picks of every fourth
// trace) is measured first and every trace picked knowing it; when too
// few of those are confident, traces whose pick rings much shorter than the
// median period of all confident picks (an air wave near the source) or much
// longer (noise swinging past its rms now and then) are searched again with
// that period; fewer than three confident picks give it only where the
// median period of all the shot's picks is within a ratio of 1.25, else that
// median is taken (a lone confident pick may be a burst or a later arrival).
// With offsets in the headers, each side is then followed outward from the
// source (from its first confident picks, as above, or its doubtful ones
// on a side with hardly one of a shot whose other side has them): a
// trace without a prediction whose pick lies far after the line through
// the nearer traces' picks (a later, stronger arrival) or, when doubtful,
// far before it is searched again near that line (a doubtful pick on a side
// with trusted picks stays where that search reads only a weaker onset, and
// the line is not drawn through it). The trace nearest the
// source on each side (the first break in its first samples) is judged
// against that line drawn back to it, searched from time zero on.
// The gather stage then takes the period from all the shot's confident
// picks when there are at least three, since its onset reading moves with it.
// Then each trace is lined up by correlation on the stack of up to eight
// neighbours on each side (up to the source), within half a period of the
// robust line through their onsets (where a faster refractor overtakes and
// the first breaks bend, the sooner of the lines through each side's alone,
// as that through both cuts the corner), and its onset is read on the stack of
// itself and those neighbours, lined up: where that stack's onset stands out
// more than the trace's own (carried to a trace doubtful alone from the line
// through its neighbours' alignments, as far as its lag's noise, known from
// its confidence, outweighs the statics its neighbours show), or is confident, within an eighth of a period
// of the trace's alignment and between an eighth and half a period after
// its own pick (a noise swing that ran into the first lobe started it
// early), the pick moves there but keeps the trace's own confidence (what
// the trace alone shows); never before the trace's first
// sample, the trace at the source of a split spread only sooner, and the
// nearest trace on each side of it, where its own pick is at least half as
// confident as a confident one, no more than half a period later. A
// shot's first break is so read well below the noise of one trace. On a
// shot where most traces are not confident alone, this is done twice: the
// first time from the robust line through predictedMs where they are given
// (a fitted curve), the second time from the line through the first time's
// picks, and with the period the first time's stacks measured; the second
// time moves a pick the first moved by more than an eighth of a period only
// on a stack a fifth more confident. On a stack the first motion is what
// clears four of the stack's own noise rms; a doubtful reading further than
// an eighth of a period from that of a stack three times as wide (another
// lobe) gives way to the wide stack's; and a confident reading on the
// trace's alignment moves an own pick lying more than half a period after
// it (a later lobe), however confident that pick.
// After the step below, the trace nearest the source on each side, where
// the source's own noise runs on into the first break, is held to the time
// over distance of the shot's confident picks at least as far out on either
// side, less 5 ms for statics: a pick sooner than that is read again on the
// trace across the source at much the same distance, lined up by
// correlation over its first cycle, or else stays doubtful. A trace nearer
// the source than sound travels in half a period, where the air wave leaves
// with the first break, takes the first confident motion within half a
// period of the shot, short lobes and all, when that comes a quarter period
// sooner than its pick; its first break read at or before the shot (on a
// record that starts no later) is taken, doubtful, at the first sample after.
// A pick on the 340 m/s line of sound through the source (as late or early
// as the shot, which the picks on it show), whose same-side neighbour's is
// on it too, is read again before that line and takes a confident onset
// there (on ground faster than sound the first break comes first), or else
// stays, doubtful: the air wave is no first break. Offsets are taken as
// metres near the source.
// Last, a doubtful pick within a couple of ms (an eighth of a period on
// shorter wavelets) of the line through its neighbours' picks, most of
// which lie as close to theirs, whose trace shows an onset of half the
// confident level there, is raised to the confident level: a noisy shot's
// first break is sure where the traces agree on it, though few onsets
// clear the noise by much. predictedMs may be empty. Doubtful picks
// are kept with their confidence; traces with nothing in them are not found,
// nor are onsets on or before the trace's first sample (an arrival already
// under way when the record started looks the same), and onsets within the
// next sample are doubtful.
QVector<OnsetPick> pickGather(const FbTrace::ShotGather &gather, const QVector<double> &predictedMs,
                              const OnsetPickerSettings &settings = OnsetPickerSettings());

// A clicked time moved onto the arrival within +/- withinMs: for Onset, the
// onset of the arrival starting in that window (snapMinimumConfidence); for the others, the nearest
// such point of the waveform to timeMs (a positive maximum or a negative
// minimum at least half the strongest in the window, a change of sign).
// NaN when there is none in the window.
double snapTime(const TraceSamples &trace, double timeMs, double withinMs, PickPhase phase,
                const OnsetPickerSettings &settings = OnsetPickerSettings());

// What the waveform says of one pick.
enum class WaveformVerdict : quint8 {
    NotJudged, // no pick, or no trace
    Good,      // within tolerance of its trace's onset
    TooWeak,   // the first break does not stand out enough to judge the pick
    OffOnset,  // further than the tolerance from a confident onset
    CycleSkip, // one of a run about a period off, where the neighbours' waveforms continue
};

struct WaveformCheckSettings
{
    OnsetPickerSettings picker;
    // Further than this from the onset is off the onset; 0: the larger of
    // two samples and a fifth of the gather's period.
    double offOnsetToleranceMs = 0;
    // A pick within this share of a period of one period from its onset is
    // a cycle-skip candidate.
    double periodTolerance = 0.3;
    // The waveforms of neighbouring traces must prefer the onsets' alignment
    // over the picks' by this much normalised correlation.
    double correlationMargin = 0.1;
};

struct WaveformJudgement
{
    WaveformVerdict verdict = WaveformVerdict::NotJudged;
    double onsetMs = std::numeric_limits<double>::quiet_NaN();
    double confidence = 0;
    double displacementMs = std::numeric_limits<double>::quiet_NaN(); // pick - onset
    // The period the pick was judged with: the gather's, or for a trace
    // ringing unlike it, its like neighbours'.
    double periodMs = std::numeric_limits<double>::quiet_NaN();
};

struct WaveformCheck
{
    double periodMs = std::numeric_limits<double>::quiet_NaN(); // the gather's, median of confident traces
    QVector<WaveformJudgement> traces;                          // one per trace of the gather
    int cycleSkipRuns = 0;
};

// Judges each trace's pick (picksMs[i] for trace i; NaN or <= the first
// sample's time: no pick) against its own onset, searched around the pick,
// and names runs of picks about one period off their onsets as cycle skips
// when the neighbouring traces' waveforms, correlated across the run's ends,
// line up with the onsets rather than with the picks. A trace too weak to
// judge alone is judged against the stack of its picked neighbours'
// waveforms, lined up at their picks: when its own lines up with that stack
// a period away from its pick, clearly better than at it, and a neighbour is
// off the same way, its pick is a cycle skip (in a shot with no confident
// onset, and so no period, weak traces stay unjudged). Traces are neighbours
// in the gather's order. picksMs must have one entry per trace.
WaveformCheck checkWaveforms(const FbTrace::ShotGather &gather, const QVector<double> &picksMs,
                             const WaveformCheckSettings &settings = WaveformCheckSettings());

} // namespace FbQc

#endif // FBQC_ONSETPICKER_H
