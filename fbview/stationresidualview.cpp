#include <fbview/stationresidualview.h>

#include <qwt_legend.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_item.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_map.h>
#include <qwt_symbol.h>

#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace FbFile;
using namespace FbQc;

namespace FbView {

namespace {

const QColor PointColour(55, 70, 100);
const QColor BandColour(200, 207, 222);
const QColor RimColour(40, 40, 40);

} // namespace

// Draws every receiver in view in one item: the rms band per pixel column,
// then the means, one per pixel, those beyond the threshold last.
class ReceiverItem : public QwtPlotItem
{
public:
    ReceiverItem() { setZ(10); }

    int rtti() const override { return QwtPlotItem::Rtti_PlotUserItem; }

    void draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
              const QRectF &canvasRect) const override
    {
        const QRect area = canvasRect.toAlignedRect();
        if (area.width() <= 0 || area.height() <= 0)
            return;
        // On screen the receivers are set into an image of the canvas's
        // pixels, kept until the view changes; an export gets them as
        // points, at its own scale.
        if (!ViewPlot::onScreen(painter)) {
            paint(painter, collect(xMap, yMap, area), yMap, area);
            return;
        }
        const ViewPlot::CanvasKey key(xMap, yMap, area);
        painter->drawImage(area.topLeft(),
                           m_cache.image(key, [&] { return image(collect(xMap, yMap, area), yMap, area); }));
    }

    void invalidate() { m_cache.clear(); }

    // A receiver's pixel column in area (may lie outside it), and its
    // mean's row, kept within area.
    static int columnOf(const QwtScaleMap &xMap, double coordinate, const QRect &area)
    {
        const double x = xMap.transform(coordinate) - area.left();
        return x >= -1e6 && x <= 1e6 ? int(std::floor(x)) : -1;
    }
    static int rowOf(const QwtScaleMap &yMap, double mean, const QRect &area)
    {
        const double y = yMap.transform(mean) - area.top();
        return int(qBound(0.0, std::floor(y), double(area.height() - 1)));
    }

    // What is drawn, in pixels of area from its corner.
    struct Layout
    {
        std::vector<float> band;  // per column: the widest rms, -1 for none
        QVector<QPoint> ordinary; // means within the threshold, one per pixel
        QVector<QPoint> beyond;   // the others, one per pixel, largest |mean| last
        QVector<bool> late;       // per beyond: above zero
    };

    Layout collect(const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRect &area) const
    {
        const int width = area.width(), height = area.height();
        const QVector<FbQc::StationResidual> &receivers = m_axis.receivers();
        const int from = m_axis.lowerBound(qMin(xMap.s1(), xMap.s2()));
        const int to = m_axis.lowerBound(std::nextafter(qMax(xMap.s1(), xMap.s2()), qInf()));
        Layout layout;
        layout.band.assign(size_t(width), -1.0f);
        // Per pixel: 0 empty, 1 an ordinary mean, 2 + k receiver k beyond the threshold.
        std::vector<qint32> pixel(size_t(width) * size_t(height), 0);
        QVector<int> beyond;
        for (int k = from; k < to; ++k) {
            const FbQc::StationResidual &r = receivers.at(k);
            const int x = columnOf(xMap, m_axis.receiverAt(k), area);
            if (x < 0 || x >= width || !std::isfinite(r.meanResidual))
                continue;
            if (std::isfinite(r.rmsResidual))
                layout.band[size_t(x)] = qMax(layout.band[size_t(x)], r.rmsResidual);
            const int y = rowOf(yMap, r.meanResidual, area);
            qint32 &p = pixel[size_t(y) * size_t(width) + size_t(x)];
            if (std::abs(r.meanResidual) > m_threshold) {
                if (p < 2)
                    beyond.append(k);
                if (p < 2 || std::abs(r.meanResidual) > std::abs(receivers.at(p - 2).meanResidual))
                    p = 2 + k;
            } else if (p == 0) {
                p = 1;
                layout.ordinary.append(QPoint(x, y));
            }
        }
        // Only the receiver kept at each pixel, the largest |mean| last.
        beyond.erase(std::remove_if(beyond.begin(), beyond.end(),
                                    [&](int k) {
                                        const int x = columnOf(xMap, m_axis.receiverAt(k), area);
                                        const int y = rowOf(yMap, receivers.at(k).meanResidual, area);
                                        return pixel[size_t(y) * size_t(width) + size_t(x)] != 2 + k;
                                    }),
                     beyond.end());
        std::sort(beyond.begin(), beyond.end(), [&](int a, int b) {
            return std::abs(receivers.at(a).meanResidual) < std::abs(receivers.at(b).meanResidual);
        });
        for (const int k : qAsConst(beyond)) {
            const float mean = receivers.at(k).meanResidual;
            layout.beyond.append(QPoint(columnOf(xMap, m_axis.receiverAt(k), area), rowOf(yMap, mean, area)));
            layout.late.append(mean > 0);
        }
        return layout;
    }

    // The band's pixel rows in a column, from its corner.
    static std::pair<int, int> bandRows(float rms, const QwtScaleMap &yMap, const QRect &area)
    {
        return {rowOf(yMap, rms, area), rowOf(yMap, -rms, area)};
    }

    static void paintBeyond(QPainter *painter, const Layout &layout, const QPoint &corner)
    {
        painter->setRenderHint(QPainter::Antialiasing, true);
        for (int k = 0; k < layout.beyond.size(); ++k) {
            const QPointF c = corner + layout.beyond.at(k) + QPointF(0.5, 0.5);
            painter->setPen(QPen(RimColour, StationResidualView::ProblemSize + 2, Qt::SolidLine, Qt::RoundCap));
            painter->drawPoint(c);
            painter->setPen(QPen(layout.late.at(k) ? StationViews::late() : StationViews::early(),
                                 StationResidualView::ProblemSize, Qt::SolidLine, Qt::RoundCap));
            painter->drawPoint(c);
        }
        painter->setRenderHint(QPainter::Antialiasing, false);
    }

    // As points and lines, for an export.
    static void paint(QPainter *painter, const Layout &layout, const QwtScaleMap &yMap, const QRect &area)
    {
        QVector<QLineF> bands;
        for (int x = 0; x < int(layout.band.size()); ++x) {
            if (layout.band[size_t(x)] >= 0) {
                const auto rows = bandRows(layout.band[size_t(x)], yMap, area);
                const double cx = area.left() + x + 0.5;
                bands.append(QLineF(cx, area.top() + rows.first + 0.5, cx, area.top() + rows.second + 0.5));
            }
        }
        painter->setPen(QPen(BandColour, 1));
        painter->drawLines(bands);
        QVector<QPointF> points;
        points.reserve(layout.ordinary.size());
        for (const QPoint &p : layout.ordinary)
            points.append(area.topLeft() + p + QPointF(0.5, 0.5));
        painter->setPen(QPen(PointColour, StationResidualView::PointSize, Qt::SolidLine, Qt::SquareCap));
        painter->drawPoints(points.constData(), points.size());
        paintBeyond(painter, layout, area.topLeft());
    }

    // As pixels set one by one: a wide pen's points cost far more.
    static QImage image(const Layout &layout, const QwtScaleMap &yMap, const QRect &area)
    {
        const int width = area.width(), height = area.height();
        QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        auto *bits = reinterpret_cast<QRgb *>(image.bits());
        const qsizetype stride = image.bytesPerLine() / qsizetype(sizeof(QRgb));
        const QRgb band = BandColour.rgb(), point = PointColour.rgb();
        for (int x = 0; x < width; ++x) {
            if (layout.band[size_t(x)] < 0)
                continue;
            const auto rows = bandRows(layout.band[size_t(x)], yMap, area);
            for (int y = rows.first; y <= rows.second; ++y)
                bits[y * stride + x] = band;
        }
        constexpr int half = StationResidualView::PointSize / 2;
        for (const QPoint &p : layout.ordinary) {
            for (int y = qMax(0, p.y() - half); y <= qMin(height - 1, p.y() + half); ++y) {
                for (int x = qMax(0, p.x() - half); x <= qMin(width - 1, p.x() + half); ++x)
                    bits[y * stride + x] = point;
            }
        }
        QPainter painter(&image);
        paintBeyond(&painter, layout, QPoint());
        return image;
    }

    mutable ViewPlot::CanvasCache m_cache;

    StationAxis m_axis;
    double m_threshold = 4.0;
};

namespace {

// A legend entry: a curve with no points.
QwtPlotCurve *legendEntry(QwtPlot *plot, const QString &title, QwtSymbol *symbol, const QPen &pen)
{
    auto *curve = new QwtPlotCurve(title);
    curve->setStyle(symbol ? QwtPlotCurve::NoCurve : QwtPlotCurve::Lines);
    curve->setPen(pen);
    curve->setSymbol(symbol);
    curve->setLegendAttribute(symbol ? QwtPlotCurve::LegendShowSymbol : QwtPlotCurve::LegendShowLine);
    curve->setLegendIconSize(QSize(16, 10));
    curve->attach(plot);
    return curve;
}

} // namespace

StationResidualView::StationResidualView(QWidget *parent) : ViewPlot(parent), m_item(new ReceiverItem)
{
    setCanvasBackground(Qt::white);
    m_item->attach(this);
    setAxisTitle(yLeft, tr("Mean residual (ms)"));
    for (QwtPlotMarker *&line : m_lines) {
        line = new QwtPlotMarker;
        line->setLineStyle(QwtPlotMarker::HLine);
        line->setZ(5);
        line->attach(this);
    }
    m_lines[0]->setLinePen(QColor(150, 150, 150), 1);
    m_lines[1]->setLinePen(QColor(200, 60, 60), 1, Qt::DashLine);
    m_lines[2]->setLinePen(QColor(200, 60, 60), 1, Qt::DashLine);

    legendEntry(this, tr("Mean residual"),
                new QwtSymbol(QwtSymbol::Rect, QBrush(PointColour), QPen(PointColour), QSize(PointSize, PointSize)),
                QPen());
    legendEntry(this, tr("RMS residual (±)"), nullptr, QPen(BandColour, 6));
    m_beyond = legendEntry(this, QString(),
                           new QwtSymbol(QwtSymbol::Ellipse, QBrush(StationViews::late()), QPen(RimColour, 1),
                                         QSize(ProblemSize, ProblemSize)),
                           QPen());
    insertLegend(new QwtLegend, QwtPlot::BottomLegend);

    panWithMiddleButton(yLeft);
    trackWith([this](const QPoint &pos) {
        const int receiver = receiverAt(pos);
        return receiver < 0 ? QString() : receiverText(receiver);
    });
    canvas()->installEventFilter(this);
    setAxis(StationAxis());
}

StationResidualView::~StationResidualView() = default;

void StationResidualView::setAxis(const StationAxis &axis)
{
    m_axis = axis;
    m_item->m_axis = axis;
    setAxisTitle(xBottom, axis.title());
    setAxisScaleDraw(xBottom, axis.scaleDraw());
    setAxisScaleEngine(xBottom, axis.scaleEngine());
    // Nearly all receivers' |mean| and rms, so that one wild receiver does
    // not flatten the rest (it sits at the edge).
    std::vector<float> sizes;
    sizes.reserve(size_t(axis.receivers().size()));
    for (const FbQc::StationResidual &r : axis.receivers()) {
        const float size = qMax(std::abs(r.meanResidual), r.rmsResidual);
        if (std::isfinite(size))
            sizes.push_back(size);
    }
    m_reach = 1.0;
    if (!sizes.empty()) {
        const size_t at = std::min(sizes.size() - 1, size_t(double(sizes.size()) * 0.999));
        std::nth_element(sizes.begin(), sizes.begin() + std::ptrdiff_t(at), sizes.end());
        m_reach = qMax(1.0, double(sizes[at]));
    }
    qDeleteAll(m_lineStarts);
    m_lineStarts = StationViews::markLines(this, axis);
    m_item->invalidate();
    resetView();
}

void StationResidualView::setThreshold(double ms)
{
    m_threshold = qMax(0.0, ms);
    m_item->m_threshold = m_threshold;
    m_item->invalidate();
    resetView();
}

bool StationResidualView::standsOut(int receiver) const
{
    return receiver >= 0 && receiver < m_axis.receivers().size() &&
           std::abs(m_axis.receivers().at(receiver).meanResidual) > m_threshold;
}

void StationResidualView::updateThresholdItems()
{
    m_lines[1]->setYValue(-m_threshold);
    m_lines[2]->setYValue(m_threshold);
    m_beyond->setTitle(tr("Mean beyond ±%1 ms").arg(QLocale().toString(m_threshold)));
}

void StationResidualView::resetView()
{
    updateThresholdItems();
    const double margin = m_axis.cellWidth();
    const bool any = !m_axis.isEmpty();
    setAxisScale(xBottom, any ? m_axis.minimum() - margin : 0.0, any ? m_axis.maximum() + margin : 1.0);
    const double reach = qMax(1.5 * m_threshold, 1.1 * m_reach);
    setAxisScale(yLeft, -reach, reach);
    // A view not yet shown (fbtool's) has its canvas placed here.
    updateLayout();
    replot();
}

int StationResidualView::rowOf(double mean) const
{
    return ReceiverItem::rowOf(canvasMap(yLeft), mean, canvas()->contentsRect()) + canvas()->contentsRect().top();
}

int StationResidualView::receiverAt(const QPoint &canvasPos) const
{
    const QwtScaleMap xMap = canvasMap(xBottom);
    constexpr int reach = 6; // pixels
    const double a = xMap.invTransform(canvasPos.x() - reach), b = xMap.invTransform(canvasPos.x() + reach);
    const int from = m_axis.lowerBound(qMin(a, b));
    const int to = m_axis.lowerBound(std::nextafter(qMax(a, b), qInf()));
    double best = reach * reach;
    int found = -1;
    for (int k = from; k < to; ++k) {
        const double dx = xMap.transform(m_axis.receiverAt(k)) - canvasPos.x();
        const double dy = rowOf(m_axis.receivers().at(k).meanResidual) + 0.5 - canvasPos.y();
        const double d = dx * dx + dy * dy;
        if (d < best) {
            best = d;
            found = k;
        }
    }
    return found;
}

QPoint StationResidualView::canvasPosOf(int receiver) const
{
    if (receiver < 0 || receiver >= m_axis.receivers().size())
        return QPoint(-1, -1);
    return QPoint(int(std::floor(canvasMap(xBottom).transform(m_axis.receiverAt(receiver)))),
                  rowOf(m_axis.receivers().at(receiver).meanResidual));
}

QString StationResidualView::receiverText(int receiver) const
{
    if (receiver < 0 || receiver >= m_axis.receivers().size())
        return QString();
    const FbQc::StationResidual &r = m_axis.receivers().at(receiver);
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    // Without stations the file's numbers are all alike: the place the
    // axis gives it is what tells one receiver from another.
    const QString where = m_axis.kind() == StationAxis::Distance
                              ? tr("Receiver: %1").arg(m_axis.describe(m_axis.receiverAt(receiver)))
                              : tr("Receiver line %1, station %2").arg(r.line).arg(r.stat);
    return where + QLatin1Char('\n') +
           tr("x %1, y %2").arg(locale.toString(r.x, 'f', 2), locale.toString(r.y, 'f', 2)) + QLatin1Char('\n') +
           tr("Mean residual: %1 ms").arg(locale.toString(r.meanResidual, 'f', 2)) + QLatin1Char('\n') +
           tr("RMS residual: %1 ms").arg(locale.toString(r.rmsResidual, 'f', 2)) + QLatin1Char('\n') +
           tr("Picks: %L1").arg(r.picks);
}

bool StationResidualView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == canvas() && event->type() == QEvent::Wheel) {
        // Up (away from the user) zooms in along the stations, a fifth per notch.
        const auto *wheel = static_cast<QWheelEvent *>(event);
        const int delta = wheel->angleDelta().y();
        if (delta != 0) {
            StationViews::zoomAxis(this, xBottom, wheel->position().toPoint().x(), std::pow(0.8, delta / 120.0));
            replot();
        }
        return true;
    }
    QPoint at;
    if (endsClick(watched, event, &at)) {
        const int receiver = receiverAt(at);
        if (receiver >= 0) {
            const FbQc::StationResidual &r = m_axis.receivers().at(receiver);
            emit receiverClicked(receiver, r.line, r.stat);
        }
    }
    return QwtPlot::eventFilter(watched, event);
}

void StationResidualView::updateLayout()
{
    ViewPlot::updateLayout();
    if (StationViews::fitLabelBudget(this, m_axis))
        replot();
}

} // namespace FbView
