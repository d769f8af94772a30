#ifndef FBVIEW_GATHERRENDERER_H
#define FBVIEW_GATHERRENDERER_H

#include <fbtrace/shotgather.h>

#include <QImage>
#include <QRgb>
#include <QSize>
#include <QVector>

#include <atomic>

namespace FbView {

// How a shot's traces become a picture, without widgets: the traces'
// scaling (AGC, normalisation, gain, clip) and their order across the
// picture, then the picture of any part of them as an image. prepare() is
// the slow part and runs off the UI thread; draw() sets pixels directly and
// is fast enough for every repaint, zoom and pan. Both are pure functions of
// their arguments: the same gather and settings give the same values and
// pixels on every machine and thread.
//
//   GatherDisplay shown = GatherRenderer::prepare(gather, scaling);    // a worker thread
//   QImage image = GatherRenderer::draw(shown, viewport);              // any thread
//
// Units: x is the trace's place across the picture (signed offset in the
// offset unit, or channel number); time in ms as the gather's time base;
// a scaled amplitude of 1 is one trace spacing of a wiggle's swing, and the
// full colour range of variable density at the clip.
namespace GatherRenderer {

enum class Display { Wiggle, VariableArea, DensityGrey, DensityRedBlue };
enum class Order { ByOffset, ByChannel };

struct Scaling
{
    double agcWindowMs = 0; // > 0: automatic gain control over this window
    bool perTrace = true;   // each trace to its own peak; else all to the shot's peak
    double gain = 1;        // after normalising: 1 swings the peak one trace spacing
    double clip = 1;        // amplitudes beyond +/- clip are cut (> 0)
    Order order = Order::ByOffset;
};

// The traces ready to draw, in the order they stand across the picture
// (increasing x). Empty when the gather has no traces or was cancelled.
struct GatherDisplay
{
    FbTrace::ShotGather gather; // as read: the readout's amplitudes, the time base
    Scaling scaling;
    QVector<int> trace;     // display position -> trace of the gather
    QVector<int> position;  // trace of the gather -> display position
    QVector<double> x;      // per display position, increasing
    QVector<double> offset; // per display position: signed offset, for reduced time
    QVector<float> scaled;  // per display position, samplesPerTrace each, within +/- clip
    double spacing = 1;     // x between neighbouring traces (the median gap)

    bool isEmpty() const { return trace.isEmpty(); }
    int count() const { return trace.size(); }
    const float *scaledTrace(int position) const
    {
        return scaled.constData() + qint64(position) * gather.samplesPerTrace;
    }
    // The display position whose x is nearest to x, when within half a
    // spacing of it; -1 otherwise.
    int positionNear(double x) const;
};

// offsets: a signed offset per trace of the gather to show instead of the
// header's (so the traces stand where the shot plot puts their picks), NaN
// for a trace that keeps its own; empty to keep all. A non-finite sample
// counts as 0. cancel, when given and set, makes it return an empty display.
GatherDisplay prepare(const FbTrace::ShotGather &gather, const Scaling &scaling, const QVector<double> &offsets = {},
                      const std::atomic<bool> *cancel = nullptr);

// The part of the picture to draw: x from x1 (left edge) to x2 (right edge),
// time from t1 (top) to t2 (bottom), in reduced time when velocity > 0.
struct Viewport
{
    double x1 = 0, x2 = 1, t1 = 0, t2 = 1;
    double velocity = 0; // offset unit per second; <= 0: plain time
    Display display = Display::Wiggle;
    QSize pixels;
};

// t - |offset| / velocity (velocity in offset unit per second, times in
// ms); t itself when velocity <= 0. The shot plot reduces by the same rule.
double reducedTime(double timeMs, double offset, double velocity);

// The display's traces within the viewport as an image of viewport.pixels:
// wiggles and variable area in black on a transparent ground, variable
// density opaque where a trace is, transparent elsewhere.
QImage draw(const GatherDisplay &display, const Viewport &viewport);

// The colour of variable density for a scaled amplitude over the clip,
// -1..1 (beyond it: the end colour).
QRgb densityColor(Display display, double amplitudeOverClip);

} // namespace GatherRenderer

} // namespace FbView

#endif // FBVIEW_GATHERRENDERER_H
