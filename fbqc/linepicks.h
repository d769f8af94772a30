#ifndef FBQC_LINEPICKS_H
#define FBQC_LINEPICKS_H

#include <fbqc/onsetpicker.h>

#include <QVector>

#include <functional>

// A weak shot picked again with the help of the shots beside it. Shots a
// few stations apart see nearly the same ground: at the same offset on the
// same side their first breaks differ by the lateral change and statics,
// plus each shot's own constant shift (source delay, a mis-trigger). Where
// most of a shot's traces show no confident onset alone, the confident
// picks of the shots nearest it by source position give the curve its
// first breaks follow; the shot's own shift against that curve is found
// from its own traces alone (the energy step at the curve, stacked over
// every trace, so it stands out of noise no single trace clears), never
// taken from the neighbours, so a mis-triggered shot stays as late or as
// early as it is. The shot is then picked along curve and shift, and
// those picks stand where more of its traces are confident than alone.
// Shots strong alone cost nothing. Neighbours are found by source
// position, so a 3-D patch works alike (offsets all of one sign are one
// side).
//
// Pure computation on what the caller holds: each shot's first picks (a
// few bytes a trace) and, for a weak shot, its gather read again. Each
// round depends on the round before only, not on the order or thread the
// weak shots are picked in.
//
//   QVector<FbQc::LineShot> line(shots);        // one per shot, in order
//   line[s] = FbQc::lineShotOf(gather, FbQc::pickGather(gather, {}, settings), settings);
//   if (!FbQc::pickWeakShots(&line, readShot, storePicks, threads, settings)) ...
namespace FbQc {

// What the line keeps of one shot's first picking: a few bytes a trace.
struct LineShot
{
    double sourceX = 0, sourceY = 0;
    QVector<float> offsets; // one a trace, as the headers give them (signed on a split spread)
    QVector<float> times;   // onset ms of the confident picks, NaN elsewhere
    int confident = 0;
};

LineShot lineShotOf(const FbTrace::ShotGather &gather, const QVector<OnsetPick> &picks,
                    const OnsetPickerSettings &settings);

// The shots of the line with confident picks on fewer than half their
// traces, in line order.
QVector<int> weakShots(const QVector<LineShot> &line);

// For each trace of shot, the time the shots nearest it by source position
// give at its offset: their confident picks, each shot's own shift against
// the others taken out, fitted on each side of the source; NaN beyond
// their reach or at the source. Empty when the neighbours have too few
// confident picks for a curve. Shots at the same distance (sources at one
// place, headers without coordinates) are taken nearest in the line first.
QVector<double> neighboursCurve(const QVector<LineShot> &line, int shot);

// The shot's own constant shift against curveMs, ms, from its traces: the
// lag within +/- maxShiftMs where the energy after the curve's time most
// exceeds the energy before it, averaged over the traces. NaN when that
// does not stand out of the other lags.
double shotShift(const FbTrace::ShotGather &gather, const QVector<double> &curveMs, double maxShiftMs);

// The shot picked along curveMs moved by its own shift (shotShift); empty
// when no shift stands out (the caller keeps its first picks).
QVector<OnsetPick> pickAlongCurve(const FbTrace::ShotGather &gather, const QVector<double> &curveMs,
                                  const OnsetPickerSettings &settings = OnsetPickerSettings());

// Reads a shot's gather again; false when it cannot.
using ShotReader = std::function<bool(int shot, FbTrace::ShotGather *gather)>;
// Takes a shot's new picks, one per trace of its gather; called from
// several threads at once, for each shot at most once a round, and the
// later round's picks replace the earlier's.
using PickedAgain = std::function<void(int shot, const QVector<OnsetPick> &picks)>;

// The weak shots of the line picked along their neighbours' curves, in
// rounds, each from the confident picks the round before left (line is
// updated with them); weak shots are read again with read, on up to
// threads threads, and their new picks handed to picked. False when a
// shot cannot be read.
bool pickWeakShots(QVector<LineShot> *line, const ShotReader &read, const PickedAgain &picked, int threads,
                   const OnsetPickerSettings &settings = OnsetPickerSettings());

} // namespace FbQc

#endif // FBQC_LINEPICKS_H
