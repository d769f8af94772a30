#include <fbview/gatherrenderer.h>

#include <QtMath>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

using namespace FbTrace;

namespace FbView {

namespace GatherRenderer {

namespace {

// Ink of wiggles and filled lobes.
constexpr QRgb Ink = 0xff000000;
// Variable density's ends: positive amplitudes red or black, negative blue
// or white, zero white.
constexpr QRgb PositiveRed = 0xffd01010, NegativeBlue = 0xff1030d0;
// Odd, so that one level is exactly zero.
constexpr int DensityLevels = 255;

double finiteOr0(float v)
{
    return std::isfinite(v) ? double(v) : 0.0;
}

// Divides each sample by the mean absolute amplitude of the window centred
// on it (cut at the trace's ends), so that weak and strong parts of a trace
// show alike. Where the window holds nothing but zeros the trace stays 0.
// sum is scratch space of samples + 1 values, kept from trace to trace.
void automaticGain(float *trace, int samples, int window, std::vector<double> *sum)
{
    sum->resize(size_t(samples) + 1);
    double *s = sum->data();
    s[0] = 0;
    for (int k = 0; k < samples; ++k)
        s[k + 1] = s[k] + std::abs(double(trace[k]));
    // The sums are taken first, so each sample may be replaced in place.
    const int half = window / 2;
    for (int k = 0; k < samples; ++k) {
        const int from = std::max(0, k - half);
        const int to = std::min(samples, k + half + 1);
        const double mean = (s[to] - s[from]) / (to - from);
        trace[k] = mean > 0 ? float(trace[k] / mean) : 0.0f;
    }
}

double medianGap(const QVector<double> &x)
{
    QVector<double> gaps;
    for (int p = 1; p < x.size(); ++p) {
        if (x.at(p) > x.at(p - 1))
            gaps.append(x.at(p) - x.at(p - 1));
    }
    if (gaps.isEmpty())
        return 1.0;
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    return gaps.at(gaps.size() / 2);
}

// Linear between samples, s within 0..samples - 1.
double valueAt(const float *trace, int samples, double s)
{
    const int k = std::min(int(s), samples - 1);
    const double f = s - k;
    return k + 1 < samples ? trace[k] * (1 - f) + trace[k + 1] * f : trace[k];
}

// The place in x (increasing) nearest to at, when within reach of it; -1
// otherwise.
int nearestWithin(const QVector<double> &x, double at, double reach)
{
    if (x.isEmpty() || !std::isfinite(at))
        return -1;
    const int right = int(std::lower_bound(x.cbegin(), x.cend(), at) - x.cbegin());
    int best = -1;
    for (int p : {right - 1, right}) {
        if (p >= 0 && p < x.size() && (best < 0 || std::abs(x.at(p) - at) < std::abs(x.at(best) - at)))
            best = p;
    }
    return std::abs(x.at(best) - at) <= reach ? best : -1;
}

// A pixel column for x, kept well inside int whatever the zoom.
double clampPixel(double px, int width)
{
    return std::clamp(px, -2.0, double(width) + 1.0);
}

// What a trace adds to a reduced time to give its own time.
double reductionShift(double offset, double velocity)
{
    return velocity > 0 ? std::abs(offset) / velocity * 1000.0 : 0.0;
}

void drawDensity(const GatherDisplay &d, const Viewport &v, QImage *image)
{
    const int width = image->width(), height = image->height();
    const ShotGather &g = d.gather;
    const int samples = g.samplesPerTrace;
    const double xPerPixel = (v.x2 - v.x1) / width;
    const double tPerRow = (v.t2 - v.t1) / height;
    QRgb lut[DensityLevels];
    for (int k = 0; k < DensityLevels; ++k)
        lut[k] = densityColor(v.display, 2.0 * k / (DensityLevels - 1) - 1.0);

    // Each column shows the trace nearest to it; columns of one trace share
    // one column of colours.
    QVector<int> columnTrace(width, -1);
    QVector<QVector<QRgb>> columns(d.count());
    const double reach = d.spacing / 2 + std::abs(xPerPixel) / 2;
    const double clip = d.scaling.clip > 0 ? d.scaling.clip : 1.0;
    for (int c = 0; c < width; ++c) {
        const double x = v.x1 + (c + 0.5) * xPerPixel;
        // A pixel wider than half a spacing still belongs to its nearest trace.
        const int nearest = nearestWithin(d.x, x, reach);
        if (nearest < 0)
            continue;
        columnTrace[c] = nearest;
        QVector<QRgb> &column = columns[nearest];
        if (!column.isEmpty())
            continue;
        column.resize(height);
        const float *a = d.scaledTrace(nearest);
        const double shift = reductionShift(d.offset.at(nearest), v.velocity);
        for (int r = 0; r < height; ++r) {
            const double s = (v.t1 + (r + 0.5) * tPerRow + shift - g.firstSampleMs) / g.sampleIntervalMs;
            if (!(s >= -0.5 && s <= samples - 0.5)) {
                column[r] = 0;
                continue;
            }
            const double level = (valueAt(a, samples, std::clamp(s, 0.0, samples - 1.0)) / clip + 1) / 2;
            column[r] = lut[std::clamp(qRound(level * (DensityLevels - 1)), 0, DensityLevels - 1)];
        }
    }
    uchar *const bits = image->bits();
    for (int r = 0; r < height; ++r) {
        auto *line = reinterpret_cast<QRgb *>(bits + r * image->bytesPerLine());
        for (int c = 0; c < width; ++c) {
            if (columnTrace.at(c) >= 0)
                line[c] = columns.at(columnTrace.at(c)).at(r);
        }
    }
}

void fillSpan(QRgb *line, int width, double from, double to)
{
    const int a = std::max(int(std::floor(clampPixel(std::min(from, to), width))), 0);
    const int b = std::min(int(std::floor(clampPixel(std::max(from, to), width))), width - 1);
    for (int c = a; c <= b; ++c)
        line[c] = Ink;
}

void drawWiggles(const GatherDisplay &d, const Viewport &v, QImage *image)
{
    const int width = image->width(), height = image->height();
    const ShotGather &g = d.gather;
    const int samples = g.samplesPerTrace;
    const double xPerPixel = (v.x2 - v.x1) / width;
    const double tPerRow = (v.t2 - v.t1) / height;
    // A scaled amplitude of 1 swings one trace spacing, to the right for a
    // positive one whichever way x runs.
    const double swing = d.spacing / std::abs(xPerPixel);
    const double reach = (d.scaling.clip > 0 ? d.scaling.clip : 1.0) * swing + 1;
    const bool fill = v.display == Display::VariableArea;
    // One detach, not one a row.
    uchar *const bits = image->bits();
    const qsizetype stride = image->bytesPerLine();
    for (int p = 0; p < d.count(); ++p) {
        const double centre = (d.x.at(p) - v.x1) / xPerPixel;
        if (centre + reach < 0 || centre - reach > width)
            continue;
        const float *a = d.scaledTrace(p);
        const double shift = reductionShift(d.offset.at(p), v.velocity);
        const auto sampleAtRow = [&](int r) {
            return (v.t1 + r * tPerRow + shift - g.firstSampleMs) / g.sampleIntervalMs;
        };
        // Each row spans the samples between its top and bottom edges: the
        // wiggle covers their least to greatest value, so no peak is lost
        // however many samples share a row, and rows meet at their edges.
        double edge = sampleAtRow(0);
        for (int r = 0; r < height; ++r) {
            const double next = sampleAtRow(r + 1);
            const double from = std::min(edge, next), to = std::max(edge, next);
            edge = next;
            if (!(to >= 0 && from <= samples - 1))
                continue; // off the trace, or no time at all
            const double s0 = std::max(from, 0.0), s1 = std::min(to, samples - 1.0);
            const double v0 = valueAt(a, samples, s0), v1 = valueAt(a, samples, s1);
            double lo = std::min(v0, v1), hi = std::max(v0, v1);
            for (int k = int(std::ceil(s0)); k <= int(s1); ++k) {
                lo = std::min(lo, double(a[k]));
                hi = std::max(hi, double(a[k]));
            }
            auto *line = reinterpret_cast<QRgb *>(bits + r * stride);
            if (fill && hi > 0)
                fillSpan(line, width, std::min(centre, centre + lo * swing), centre + hi * swing);
            else
                fillSpan(line, width, centre + lo * swing, centre + hi * swing);
        }
    }
}

} // namespace

int GatherDisplay::positionNear(double at) const
{
    return nearestWithin(x, at, spacing / 2 * (1 + 1e-9));
}

double reducedTime(double timeMs, double offset, double velocity)
{
    return timeMs - reductionShift(offset, velocity);
}

QRgb densityColor(Display display, double amplitude)
{
    const double a = std::clamp(std::isfinite(amplitude) ? amplitude : 0.0, -1.0, 1.0);
    if (display != Display::DensityRedBlue) {
        const int level = qRound((1 - a) / 2 * 255);
        return qRgb(level, level, level);
    }
    // From white at 0 towards the end colour of the amplitude's sign.
    const QRgb end = a >= 0 ? PositiveRed : NegativeBlue;
    const double t = std::abs(a);
    const auto mix = [t](int endLevel) { return qRound(255 + (endLevel - 255) * t); };
    return qRgb(mix(qRed(end)), mix(qGreen(end)), mix(qBlue(end)));
}

GatherDisplay prepare(const ShotGather &gather, const Scaling &scaling, const QVector<double> &offsets,
                      const std::atomic<bool> *cancel)
{
    GatherDisplay d;
    d.gather = gather;
    d.scaling = scaling;
    if (!(d.scaling.clip > 0) || !std::isfinite(d.scaling.clip))
        d.scaling.clip = 1;
    if (!std::isfinite(d.scaling.gain) || d.scaling.gain < 0)
        d.scaling.gain = 1;
    const int traces = gather.traceCount();
    const int samples = gather.samplesPerTrace;
    if (traces == 0 || samples <= 0 || gather.samples.size() < qint64(traces) * samples ||
        !(gather.sampleIntervalMs > 0) || !std::isfinite(gather.sampleIntervalMs) ||
        !std::isfinite(gather.firstSampleMs))
        return d;

    QVector<double> offsetOf(traces), key(traces);
    for (int i = 0; i < traces; ++i) {
        const double given = i < offsets.size() ? offsets.at(i) : qQNaN();
        // A trace without a usable offset stands at the source.
        const double header = gather.headers.at(i).offset;
        offsetOf[i] = std::isfinite(given) ? given : std::isfinite(header) ? header : 0.0;
        key[i] = scaling.order == Order::ByChannel ? double(gather.headers.at(i).channel) : offsetOf.at(i);
    }
    d.trace.resize(traces);
    std::iota(d.trace.begin(), d.trace.end(), 0);
    // Ties (two traces at one offset) stand in channel order, then as read.
    std::stable_sort(d.trace.begin(), d.trace.end(), [&](int a, int b) {
        if (key.at(a) != key.at(b))
            return key.at(a) < key.at(b);
        return gather.headers.at(a).channel < gather.headers.at(b).channel;
    });
    d.position.resize(traces);
    d.x.resize(traces);
    d.offset.resize(traces);
    for (int p = 0; p < traces; ++p) {
        const int i = d.trace.at(p);
        d.position[i] = p;
        d.x[p] = key.at(i);
        d.offset[p] = offsetOf.at(i);
    }
    d.spacing = medianGap(d.x);

    d.scaled.resize(qint64(traces) * samples);
    // A window longer than the trace is the whole trace, whatever was asked.
    const int window =
        d.scaling.agcWindowMs > 0
            ? int(std::clamp(std::round(d.scaling.agcWindowMs / gather.sampleIntervalMs), 1.0, 2.0 * samples + 1))
            : 0;
    QVector<double> peak(traces, 0.0);
    std::vector<double> sums;
    for (int p = 0; p < traces; ++p) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return GatherDisplay();
        const float *from = gather.trace(d.trace.at(p));
        float *to = d.scaled.data() + qint64(p) * samples;
        for (int k = 0; k < samples; ++k)
            to[k] = float(finiteOr0(from[k]));
        if (window > 0)
            automaticGain(to, samples, window, &sums);
        for (int k = 0; k < samples; ++k)
            peak[p] = std::max(peak.at(p), std::abs(double(to[k])));
    }
    const double shotPeak = *std::max_element(peak.cbegin(), peak.cend());
    const double clip = d.scaling.clip;
    for (int p = 0; p < traces; ++p) {
        const double norm = d.scaling.perTrace ? peak.at(p) : shotPeak;
        const double factor = norm > 0 ? d.scaling.gain / norm : 0.0;
        float *to = d.scaled.data() + qint64(p) * samples;
        for (int k = 0; k < samples; ++k)
            to[k] = float(std::clamp(to[k] * factor, -clip, clip));
    }
    return d;
}

QImage draw(const GatherDisplay &display, const Viewport &viewport)
{
    QImage image(viewport.pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(Qt::transparent);
    const bool usable = std::isfinite(viewport.x1) && std::isfinite(viewport.x2) && std::isfinite(viewport.t1) &&
                        std::isfinite(viewport.t2) && viewport.x1 != viewport.x2 && viewport.t1 != viewport.t2;
    if (display.isEmpty() || !usable)
        return image;
    if (viewport.display == Display::DensityGrey || viewport.display == Display::DensityRedBlue)
        drawDensity(display, viewport, &image);
    else
        drawWiggles(display, viewport, &image);
    return image;
}

} // namespace GatherRenderer

} // namespace FbView
