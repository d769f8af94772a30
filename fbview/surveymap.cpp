#include <fbview/surveymap.h>

#include <fbqc/latestjob.h>

#include <qwt_color_map.h>
#include <qwt_picker_machine.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_item.h>
#include <qwt_plot_rescaler.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_engine.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>
#include <qwt_text.h>

#include <QFontMetricsF>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QtMath>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

using namespace FbFile;
using namespace FbQc;

namespace FbView {

namespace {

// A source's look, one 16-bit code per shot: the colour's index in the low
// byte, above it 1 + its rank (the higher, the later it is drawn), and the
// top bit for a value that stands out. Per pixel the highest code wins.
constexpr quint16 StandsOut = 0x8000;
constexpr int NoValue = 255;   // colour index of a shot without a value
constexpr int MaxBands = 10;   // steps of a count's bar, at most
constexpr int SmoothBins = 64; // colours of a measure
constexpr int SignedBins = 65; // colours of a signed measure, 0 in the middle
constexpr int ReceiverDot = 3; // pixels across a receiver

quint16 code(int colour, int rank, bool standsOut)
{
    return quint16((standsOut ? StandsOut : 0) | ((rank + 1) << 8) | colour);
}

// A value's code under the scale of the values shown: the colour of its
// band or bin, its rank, whether it stands out.
struct ValueCoder
{
    SurveyValues::Kind kind = SurveyValues::Count;
    double low = 0.0;   // a count's first band, a measure's bottom
    double step = 1.0;  // a count's band width, a measure's range
    int bins = 1;       // a count's bands, a measure's colours; a signed one's middle
    double reach = 1.0; // a signed measure's largest size

    quint16 operator()(float value) const
    {
        if (!qIsFinite(value))
            return NoValue;
        const double v = value;
        switch (kind) {
        case SurveyValues::Count: {
            const int band = qBound(0, int(std::floor((v - low) / step)), bins - 1);
            return code(band, band, v > 0);
        }
        case SurveyValues::Continuous: {
            const int bin = qBound(0, int((v - low) / step * bins), bins - 1);
            return code(bin, bin, v > 0);
        }
        case SurveyValues::Signed: {
            const int bin = qBound(0, bins + qRound(v / reach * bins), 2 * bins);
            return code(bin, std::abs(bin - bins), v != 0);
        }
        }
        return NoValue;
    }
};

QwtLinearColorMap *sequentialColors()
{
    auto *map = new QwtLinearColorMap(QColor(40, 60, 200), QColor(220, 30, 30));
    map->addColorStop(0.33, QColor(0, 190, 220));
    map->addColorStop(0.66, QColor(240, 200, 0));
    return map;
}

QwtLinearColorMap *divergingColors()
{
    auto *map = new QwtLinearColorMap(QColor(40, 60, 200), QColor(220, 30, 30));
    map->addColorStop(0.5, QColor(205, 205, 205));
    return map;
}

// The smallest of 1, 2, 5, 10, 20, 50, ... that is at least `at least`.
qint64 niceStep(double atLeast)
{
    for (qint64 decade = 1;; decade *= 10) {
        for (const qint64 m : {1, 2, 5}) {
            if (double(m * decade) >= atLeast)
                return m * decade;
        }
    }
}

// Plain digits with thousands grouping in the user's language, with as many
// decimals as the ticks' step needs (UTM northings read 4,123,000, never
// 4.123e+06).
class GroupedScaleDraw : public QwtScaleDraw
{
public:
    QwtText label(double value) const override
    {
        const QList<double> ticks = scaleDiv().ticks(QwtScaleDiv::MajorTick);
        return text(value, ticks.size() > 1 ? std::abs(ticks.at(1) - ticks.at(0)) : 1.0);
    }

    // A value's label between ticks step apart.
    static QString text(double value, double step)
    {
        int decimals = 0;
        if (step > 0 && step < 1)
            decimals = qMin(6, int(std::ceil(-std::log10(step) - 1e-9)));
        QLocale locale;
        locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
        // No "-0" for a tick at zero.
        return locale.toString(std::abs(value) < 1e-9 ? 0.0 : value, 'f', decimals);
    }
};

} // namespace

// Draws the whole survey in one item, thinning points to one per pixel.
class SurveyItem : public QwtPlotItem
{
public:
    SurveyItem() { setZ(10); }

    int rtti() const override { return QwtPlotItem::Rtti_PlotUserItem; }
    QRectF boundingRect() const override { return m_data.bounds(); }

    void draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
              const QRectF &canvasRect) const override
    {
        const QRect area = canvasRect.toAlignedRect();
        if (area.width() <= 0 || area.height() <= 0)
            return;
        // On screen the receivers and the sources are each kept as an image
        // until the view (or, for the sources, the colours) change, so that
        // moving to another shot redraws only the highlight and other
        // colours redraw only the sources. An export gets the points
        // themselves, at its own scale.
        if (!ViewPlot::onScreen(painter)) {
            const Scene scene = this->scene();
            drawReceivers(painter, scene, xMap, yMap, area);
            drawSources(painter, scene, xMap, yMap, area);
        } else {
            const ViewPlot::CanvasKey key(xMap, yMap, area);
            // A survey of millions of points is drawn into its images on a
            // worker; until they arrive the canvas shows what it had at this
            // scale, or nothing.
            const bool offThread =
                m_offThread && qint64(m_data.sources().size()) + m_data.receivers().size() > OffThreadPoints;
            const auto cached = [&](Layer &layer, DrawLayer drawLayer, quint64 current) {
                if (layer.key != key || layer.generation != current) {
                    if (!offThread) {
                        layer.image = layerImage(scene(), drawLayer, xMap, yMap, area);
                        layer.key = key;
                        layer.generation = current;
                    } else if (layer.wantedKey != key || layer.wanted != current) {
                        layer.wantedKey = key;
                        layer.wanted = current;
                        if (!layer.job)
                            layer.job = std::make_unique<LatestJob>(LatestJob::Serial);
                        layer.job->run<QImage>(
                            [scene = scene(), drawLayer, xMap, yMap, area](const LatestJob::Ticket &) {
                                return layerImage(scene, drawLayer, xMap, yMap, area);
                            },
                            [this, &layer, key, generation = current](QImage image) {
                                layer.image = std::move(image);
                                layer.key = key;
                                layer.generation = generation;
                                if (plot())
                                    plot()->replot();
                            });
                    }
                }
                if (!layer.image.isNull() && layer.key == key)
                    painter->drawImage(area.topLeft(), layer.image);
            };
            cached(m_receiverLayer, &SurveyItem::drawReceivers, m_surveyGeneration);
            cached(m_sourceLayer, &SurveyItem::drawSources, m_surveyGeneration + m_colourGeneration);
        }
        drawCurrent(painter, xMap, yMap);
    }

    // What a layer is drawn from, copied for a worker (the lists are shared).
    struct Scene
    {
        SurveyMapData data;
        QVector<float> values;
        ValueCoder coder;
        std::array<QColor, 256> colours;
    };
    using DrawLayer = void (*)(QPainter *, const Scene &, const QwtScaleMap &, const QwtScaleMap &, const QRect &);

    Scene scene() const
    {
        Scene s{m_data, m_values, m_coder, {}};
        std::copy(m_colours, m_colours + 256, s.colours.begin());
        return s;
    }
    static QImage layerImage(const Scene &scene, DrawLayer drawLayer, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                             const QRect &area)
    {
        QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.translate(-area.topLeft());
        drawLayer(&painter, scene, xMap, yMap, area);
        return image;
    }

    void invalidate() { ++m_surveyGeneration; }
    void invalidateColours() { ++m_colourGeneration; }
    void setOffThread(bool on) { m_offThread = on; }

    // Map positions to pixels of area, as indexes into a row-major buffer of
    // its pixels (-1 outside): the axes' linear maps taken apart once, since
    // a survey may have millions of points.
    struct PixelMap
    {
        PixelMap(const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRect &area)
            : ax(xMap.transform(1.0) - xMap.transform(0.0)), bx(xMap.transform(0.0) - area.left()),
              ay(yMap.transform(1.0) - yMap.transform(0.0)), by(yMap.transform(0.0) - area.top()), width(area.width()),
              height(area.height())
        { }
        int operator()(const SurveyPoint &p) const
        {
            const double x = ax * double(p.x) + bx;
            const double y = ay * double(p.y) + by;
            // NaN fails both tests.
            if (!(x >= 0 && y >= 0 && x < width && y < height))
                return -1;
            return int(y) * width + int(x);
        }
        double ax, bx, ay, by;
        int width, height;
    };
    static QPointF centre(int i, const QRect &area)
    {
        return QPointF(area.left() + i % area.width() + 0.5, area.top() + i / area.width() + 0.5);
    }

    static void drawReceivers(QPainter *painter, const Scene &scene, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                              const QRect &area)
    {
        std::vector<bool> taken(size_t(area.width()) * size_t(area.height()), false);
        QVector<QPointF> points;
        const PixelMap pixelOf(xMap, yMap, area);
        for (const SurveyPoint &p : scene.data.receivers()) {
            const int i = pixelOf(p);
            if (i >= 0 && !taken[size_t(i)]) {
                taken[size_t(i)] = true;
                points.append(centre(i, area));
            }
        }
        // Round dots of a few pixels: a 2-D line's receivers must read as a
        // line at every zoom, still lighter than any shot drawn over them.
        painter->setPen(QPen(QColor(150, 150, 150), ReceiverDot, Qt::SolidLine, Qt::RoundCap));
        painter->drawPoints(points.constData(), points.size());
    }

    static void drawSources(QPainter *painter, const Scene &scene, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                            const QRect &area)
    {
        // Per pixel: 0 empty, else the highest code drawn there.
        std::vector<quint16> best(size_t(area.width()) * size_t(area.height()), 0);
        QVector<int> used;
        const QVector<SurveyPoint> &sources = scene.data.sources();
        const SurveyPoint *positions = sources.constData();
        const float *values = scene.values.constData();
        const int valued = qMin(sources.size(), scene.values.size());
        const PixelMap pixelOf(xMap, yMap, area);
        // Most shots have the value of the one before (no outlier, the
        // same number of picks): its code is made once.
        float last = qQNaN();
        quint16 lastCode = NoValue;
        for (int s = 0; s < sources.size(); ++s) {
            const int i = pixelOf(positions[s]);
            if (i < 0)
                continue;
            const float v = s < valued ? values[s] : qQNaN();
            if (!(v == last)) {
                last = v;
                lastCode = scene.coder(v);
            }
            quint16 &b = best[size_t(i)];
            if (!b)
                used.append(i);
            b = qMax(b, lastCode);
        }
        // The ordinary sources by colour, then those that stand out, lowest
        // rank first so that the highest end on top.
        QVector<QPointF> byColour[256];
        QVector<QPair<quint16, int>> outstanding;
        for (const int i : qAsConst(used)) {
            const quint16 c = best[size_t(i)];
            if (c & StandsOut)
                outstanding.append({c, i});
            else
                byColour[c & 0xff].append(centre(i, area));
        }
        for (int k = 0; k < 256; ++k) {
            if (byColour[k].isEmpty())
                continue;
            painter->setPen(QPen(scene.colours[size_t(k)],
                                 k == NoValue ? SurveyMap::SourceSize - 1 : SurveyMap::SourceSize, Qt::SolidLine,
                                 Qt::SquareCap));
            painter->drawPoints(byColour[k].constData(), byColour[k].size());
        }
        if (outstanding.isEmpty())
            return;
        std::sort(outstanding.begin(), outstanding.end());
        QVector<QPointF> points;
        points.reserve(outstanding.size());
        for (const auto &o : qAsConst(outstanding))
            points.append(centre(o.second, area));
        // A dark rim under each, then the colours in order.
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setPen(QPen(QColor(40, 40, 40), SurveyMap::ProblemSize + 2, Qt::SolidLine, Qt::RoundCap));
        painter->drawPoints(points.constData(), points.size());
        for (int start = 0; start < outstanding.size();) {
            const int colour = outstanding.at(start).first & 0xff;
            int end = start + 1;
            while (end < outstanding.size() && (outstanding.at(end).first & 0xff) == colour)
                ++end;
            painter->setPen(QPen(scene.colours[size_t(colour)], SurveyMap::ProblemSize, Qt::SolidLine, Qt::RoundCap));
            painter->drawPoints(points.constData() + start, end - start);
            start = end;
        }
        painter->setRenderHint(QPainter::Antialiasing, false);
    }

    void drawCurrent(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap) const
    {
        QVector<QPointF> current;
        current.reserve(m_currentReceivers.size());
        for (const QPointF &p : m_currentReceivers)
            current.append(QPointF(xMap.transform(p.x()), yMap.transform(p.y())));
        painter->setPen(QPen(QColor(255, 140, 0), 3, Qt::SolidLine, Qt::SquareCap));
        painter->drawPoints(current.constData(), current.size());
        if (m_currentShot >= 0 && m_currentShot < m_data.shotCount()) {
            const QPointF p = m_data.source(m_currentShot);
            const QPointF c(xMap.transform(p.x()), yMap.transform(p.y()));
            painter->setRenderHint(QPainter::Antialiasing, true);
            painter->setBrush(Qt::NoBrush);
            painter->setPen(QPen(Qt::black, 2));
            painter->drawEllipse(c, 7, 7);
            painter->setRenderHint(QPainter::Antialiasing, false);
        }
    }

    struct Layer
    {
        QImage image;
        ViewPlot::CanvasKey key;
        quint64 generation = 0;
        // What the worker draws now, if anything.
        ViewPlot::CanvasKey wantedKey;
        quint64 wanted = 0;
        std::unique_ptr<LatestJob> job;
    };
    // Points of a survey above which its layers are drawn on a worker.
    static constexpr qint64 OffThreadPoints = 500000;
    mutable Layer m_receiverLayer;
    mutable Layer m_sourceLayer;

    SurveyMapData m_data;
    QVector<float> m_values; // per shot
    ValueCoder m_coder;
    QColor m_colours[256];
    QVector<QPointF> m_currentReceivers;
    int m_currentShot = -1;
    // Bumped when what the layers show changes: the points, the sources' colours.
    quint64 m_surveyGeneration = 1;
    quint64 m_colourGeneration = 0;
    bool m_offThread = false;
};

SurveyMap::SurveyMap(QWidget *parent) : ViewPlot(parent), m_item(new SurveyItem)
{
    setCanvasBackground(Qt::white);
    m_item->attach(this);
    setCoordinateUnit(QStringLiteral("m"));
    for (const int axis : {xBottom, yLeft, yRight})
        setAxisScaleDraw(axis, new GroupedScaleDraw);
    enableAxis(yRight);
    axisWidget(yRight)->setColorBarEnabled(true);
    axisWidget(yRight)->setColorBarWidth(14);

    m_rescaler = new QwtPlotRescaler(canvas(), xBottom, QwtPlotRescaler::Fitting);
    m_rescaler->setAspectRatio(yLeft, 1.0);
    m_rescaler->setAspectRatio(yRight, 0.0);
    m_rescaler->setAspectRatio(xTop, 0.0);
    // The room equal scale adds to the narrower span goes to both sides, so
    // that a line running east-west sits in the middle of the canvas.
    m_rescaler->setExpandingDirection(QwtPlotRescaler::ExpandBoth);
    panWithMiddleButton(yRight);
    trackWith([this](const QPoint &pos) {
        const int shot = shotAt(pos);
        return shot < 0 ? QString() : shotText(shot);
    });
    canvas()->installEventFilter(this);
    setValues(SurveyValues());
}

void SurveyMap::setCoordinateUnit(const QString &unit)
{
    setAxisTitle(xBottom, tr("Easting (%1)").arg(unit));
    setAxisTitle(yLeft, tr("Northing (%1)").arg(unit));
}

SurveyMap::~SurveyMap() = default;

void SurveyMap::setSurvey(const SurveyMapData &data)
{
    m_data = data;
    m_item->m_data = data;
    m_item->m_currentShot = -1;
    m_item->m_currentReceivers.clear();
    m_item->m_values.clear();
    m_item->invalidate();
    fitSurvey();
}

void SurveyMap::fitSurvey()
{
    // Equal scale on both axes, the survey fitted with a small margin.
    const QRectF bounds = m_data.bounds();
    const double margin = qMax(qMax(bounds.width(), bounds.height()) * 0.03, 1.0);
    const QRectF view = bounds.adjusted(-margin, -margin, margin, margin);
    m_rescaler->setIntervalHint(xBottom, QwtInterval(view.left(), view.right()));
    m_rescaler->setIntervalHint(yLeft, QwtInterval(view.top(), view.bottom()));
    setAxisScale(xBottom, view.left(), view.right());
    setAxisScale(yLeft, view.top(), view.bottom());
    // A map that has not been shown (fbtool's) has its canvas placed here.
    updateLayout();
    m_rescaler->rescale();
    replot();
}

void SurveyMap::updateLayout()
{
    ViewPlot::updateLayout();
    if (fitEastingLabels())
        replot();
}

void SurveyMap::replot()
{
    ViewPlot::replot();
    // A zoom changes the labels' widths as well as their values.
    if (fitEastingLabels())
        ViewPlot::replot();
}

bool SurveyMap::fitEastingLabels()
{
    // As many easting labels as the canvas holds side by side in the axis's
    // font, two digits apart, up to the plot's usual eight: a wider script or
    // a narrower window gets fewer. Each count is judged by the labels its
    // own step writes, as a finer step may need decimals.
    const QFontMetricsF metrics(axisWidget(xBottom)->font());
    const QwtInterval shown = axisInterval(xBottom).normalized();
    const double length = canvas()->contentsRect().width();
    const double gap = metrics.horizontalAdvance(QStringLiteral("00"));
    int budget = 8;
    for (; budget > 2; --budget) {
        const double step = QwtScaleArithmetic::divideInterval(shown.width(), budget, 10);
        double widest = metrics.horizontalAdvance(QStringLiteral("0000"));
        for (const double at : {shown.minValue(), shown.maxValue()})
            widest = qMax(widest, metrics.horizontalAdvance(GroupedScaleDraw::text(at, step)));
        if (length / budget >= widest + gap)
            break;
    }
    if (budget == axisMaxMajor(xBottom))
        return false;
    setAxisMaxMajor(xBottom, budget);
    return true;
}

void SurveyMap::setValues(const SurveyValues &values)
{
    SurveyValues ranged;
    if (!values.hasRange()) {
        ranged.values = values.values;
        ranged.findRange();
    }
    const float lo = values.hasRange() ? values.low : ranged.low;
    const float hi = values.hasRange() ? values.high : ranged.high;

    QColor *colours = m_item->m_colours;
    colours[NoValue] = QColor(120, 120, 120);
    ValueCoder &coder = m_item->m_coder;
    coder.kind = values.kind;
    const QwtInterval unit(0.0, 1.0);
    QwtLinearColorMap *bar = nullptr;
    QwtInterval interval;
    switch (values.kind) {
    case SurveyValues::Count: {
        // Whole-number steps, at most MaxBands of them, from the lowest
        // count (or the step below it) to the highest.
        // One count everywhere (no outliers at all) still gets the band
        // above it, so that the bar reads as a scale, not one block.
        const qint64 low = qint64(std::floor(lo)), high = std::max(qint64(std::floor(hi)), low + 1);
        const qint64 step = niceStep(double(high - low + 1) / MaxBands);
        const qint64 first = qint64(std::floor(double(low) / double(step))) * step;
        const int bands = int((high - first) / step) + 1;
        QScopedPointer<QwtLinearColorMap> smooth(sequentialColors());
        for (int k = 0; k < bands; ++k)
            colours[k] = smooth->color(unit, bands == 1 ? 0.0 : double(k) / (bands - 1));
        bar = new QwtLinearColorMap(colours[0], colours[bands - 1]);
        bar->setMode(QwtLinearColorMap::FixedColors);
        for (int k = 1; k < bands; ++k)
            bar->addColorStop(double(k) / bands, colours[k]);
        // A band of one count has its tick in its middle; a wider band is
        // bounded by ticks at its lowest count and the next band's.
        const double bottom = step == 1 ? double(first) - 0.5 : double(first);
        interval = QwtInterval(bottom, bottom + double(bands * step));
        QList<double> ticks;
        for (int k = 0; k <= bands - (step == 1 ? 1 : 0); ++k)
            ticks.append(double(first + k * step));
        axisWidget(yRight)->setColorMap(interval, bar);
        setAxisScaleDiv(yRight,
                        QwtScaleDiv(interval.minValue(), interval.maxValue(), QList<double>(), QList<double>(), ticks));
        coder.low = double(first);
        coder.step = double(step);
        coder.bins = bands;
        break;
    }
    case SurveyValues::Continuous: {
        const double bottom = qMin(double(lo), 0.0);
        const double top = hi > bottom ? double(hi) : bottom + 1.0;
        bar = sequentialColors();
        for (int k = 0; k < SmoothBins; ++k)
            colours[k] = bar->color(unit, (k + 0.5) / SmoothBins);
        interval = QwtInterval(bottom, top);
        axisWidget(yRight)->setColorMap(interval, bar);
        setAxisScale(yRight, bottom, top);
        coder.low = bottom;
        coder.step = top - bottom;
        coder.bins = SmoothBins;
        break;
    }
    case SurveyValues::Signed: {
        const double reach = qMax(std::abs(double(lo)), std::abs(double(hi))) > 0
                                 ? qMax(std::abs(double(lo)), std::abs(double(hi)))
                                 : 1.0;
        const int middle = SignedBins / 2;
        bar = divergingColors();
        for (int k = 0; k < SignedBins; ++k)
            colours[k] = bar->color(unit, double(k) / (SignedBins - 1));
        interval = QwtInterval(-reach, reach);
        axisWidget(yRight)->setColorMap(interval, bar);
        setAxisScale(yRight, -reach, reach);
        coder.bins = middle;
        coder.reach = reach;
        break;
    }
    }
    // Shared with the caller's list; each shot is coded as it is drawn.
    m_item->m_values = values.values;
    m_item->invalidateColours();
    setBarTitle(yRight, values.title);
    replot();
}

void SurveyMap::setDrawnOffThread(bool on)
{
    m_item->setOffThread(on);
}

void SurveyMap::setShotDescriber(std::function<QString(int)> describe)
{
    m_describe = std::move(describe);
}

void SurveyMap::setCurrentShot(int shot, const QVector<QPointF> &shotReceivers)
{
    m_item->m_currentShot = shot;
    m_item->m_currentReceivers = shotReceivers;
    replot();
}

int SurveyMap::shotAt(const QPoint &canvasPos) const
{
    const QwtScaleMap xMap = canvasMap(xBottom);
    const QwtScaleMap yMap = canvasMap(yLeft);
    constexpr double reach = 6.0; // pixels
    const QRectF area =
        QRectF(QPointF(xMap.invTransform(canvasPos.x() - reach), yMap.invTransform(canvasPos.y() + reach)),
               QPointF(xMap.invTransform(canvasPos.x() + reach), yMap.invTransform(canvasPos.y() - reach)))
            .normalized();
    // Of shots at one place, the one drawn on top (the highest code: a
    // problem over the ordinary), then the first.
    const QVector<float> &values = m_item->m_values;
    const auto codeOf = [&](int s) { return m_item->m_coder(s < values.size() ? values.at(s) : qQNaN()); };
    double best = reach * reach;
    int shot = -1;
    quint16 top = 0;
    m_data.forEachSourceNear(area, [&](int s) {
        const QPointF p = m_data.source(s);
        const double dx = xMap.transform(p.x()) - canvasPos.x();
        const double dy = yMap.transform(p.y()) - canvasPos.y();
        const double d = dx * dx + dy * dy;
        const quint16 c = codeOf(s);
        if (d < best || (shot >= 0 && d == best && (c > top || (c == top && s < shot)))) {
            best = d;
            shot = s;
            top = c;
        }
    });
    return shot;
}

QPoint SurveyMap::canvasPosOf(int shot) const
{
    if (shot < 0 || shot >= m_data.shotCount())
        return QPoint(-1, -1);
    const QPointF p = m_data.source(shot);
    return QPoint(qRound(canvasMap(xBottom).transform(p.x())), qRound(canvasMap(yLeft).transform(p.y())));
}

QString SurveyMap::shotText(int shot) const
{
    if (shot < 0 || shot >= m_data.shotCount())
        return QString();
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    const QPointF p = m_data.source(shot);
    QString text = tr("Shot %1").arg(shot + 1) + QLatin1Char('\n') +
                   tr("x %1, y %2").arg(locale.toString(p.x(), 'f', 2), locale.toString(p.y(), 'f', 2));
    const QString more = m_describe ? m_describe(shot) : QString();
    if (!more.isEmpty())
        text += QLatin1Char('\n') + more;
    return text;
}

void SurveyMap::zoomAt(const QPoint &canvasPos, double factor)
{
    for (const int axis : {xBottom, yLeft}) {
        const QwtScaleMap map = canvasMap(axis);
        const double at = map.invTransform(axis == xBottom ? canvasPos.x() : canvasPos.y());
        const QwtInterval shown = axisInterval(axis);
        setAxisScale(axis, at + (shown.minValue() - at) * factor, at + (shown.maxValue() - at) * factor);
    }
    replot();
}

bool SurveyMap::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == canvas() && event->type() == QEvent::Wheel) {
        // Up (away from the user) zooms in, a fifth per notch, about the pointer.
        const auto *wheel = static_cast<QWheelEvent *>(event);
        const int delta = wheel->angleDelta().y();
        if (delta != 0)
            zoomAt(wheel->position().toPoint(), std::pow(0.8, delta / 120.0));
        return true;
    }
    QPoint at;
    if (endsClick(watched, event, &at)) {
        const int shot = shotAt(at);
        if (shot >= 0)
            emit shotClicked(shot);
    }
    return QwtPlot::eventFilter(watched, event);
}

} // namespace FbView
