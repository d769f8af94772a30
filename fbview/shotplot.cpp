#include "shotplot.h"

#include "fbcolumns.h"

#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_panner.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_map.h>
#include <qwt_symbol.h>

#include <QMouseEvent>
#include <QtMath>

#include <cmath>

namespace {

QwtSymbol *dotSymbol(const QColor &fill)
{
    auto *symbol = new QwtSymbol(QwtSymbol::Ellipse, QBrush(fill), QPen(fill.darker(150), 1), QSize(6, 6));
    // Thousands of identical symbols: paint one and copy it.
    symbol->setCachePolicy(QwtSymbol::Cache);
    return symbol;
}

QwtPlotCurve *scatter(QwtPlot *plot, const QString &title, QwtSymbol *symbol)
{
    auto *curve = new QwtPlotCurve(title);
    curve->setStyle(QwtPlotCurve::NoCurve);
    curve->setSymbol(symbol);
    curve->setPaintAttribute(QwtPlotCurve::ClipPolygons, true);
    curve->attach(plot);
    return curve;
}

} // namespace

ShotPlot::ShotPlot(QWidget *parent)
    : QwtPlot(parent)
{
    setCanvasBackground(Qt::white);
    auto *grid = new QwtPlotGrid;
    grid->setMajorPen(QColor(225, 225, 225), 0, Qt::DotLine);
    grid->attach(this);

    m_status[0] = scatter(this, tr("Status 0"), dotSymbol(m_colors[0]));
    m_status[1] = scatter(this, tr("Status 1"), dotSymbol(m_colors[1]));
    m_status[2] = scatter(this, tr("Other status"), dotSymbol(m_colors[2]));
    auto *ring = new QwtSymbol(QwtSymbol::Ellipse, Qt::NoBrush, QPen(Qt::black, 1.5), QSize(13, 13));
    m_rings = scatter(this, tr("Outliers"), ring);
    for (QwtPlotCurve *&model : m_model) {
        model = new QwtPlotCurve(tr("Model"));
        model->setPen(QColor(30, 80, 200), 2);
        model->setRenderHint(QwtPlotItem::RenderAntialiased, true);
        model->attach(this);
    }
    m_selection = new QwtPlotMarker;
    m_selection->setSymbol(new QwtSymbol(QwtSymbol::Rect, Qt::NoBrush, QPen(QColor(0, 0, 160), 2), QSize(15, 15)));
    m_selection->setZ(100);
    m_selection->attach(this);
    m_selection->setVisible(false);

    setAxisTitle(xBottom, tr("Signed offset"));
    setAxisTitle(yLeft, tr("First-break time (ms)"));

    m_zoomer = new QwtPlotZoomer(canvas());
    m_zoomer->setRubberBandPen(QPen(Qt::darkBlue));
    m_zoomer->setMousePattern(QwtEventPattern::MouseSelect2, Qt::RightButton);
    m_zoomer->setMousePattern(QwtEventPattern::MouseSelect3, Qt::NoButton);
    m_panner = new QwtPlotPanner(canvas());
    m_panner->setMouseButton(Qt::MiddleButton);
    canvas()->installEventFilter(this);
}

double ShotPlot::reduced(double absOffset, double time) const
{
    return m_velocity > 0.0 ? time - absOffset / m_velocity * 1000.0 : time;
}

void ShotPlot::setShot(const QVector<FbRecord> &records, const PickQc::ShotFit &fit, const QString &title)
{
    m_records = records;
    m_fit = fit;
    m_selected = -1;
    setTitle(title);
    rebuild();
    resetZoom();
}

void ShotPlot::setReductionVelocity(double velocity)
{
    m_velocity = velocity > 0.0 ? velocity : 0.0;
    setAxisTitle(yLeft, m_velocity > 0.0 ? tr("Reduced time t - |x| / %1 (ms)").arg(m_velocity)
                                         : tr("First-break time (ms)"));
    rebuild();
    resetZoom();
}

void ShotPlot::rebuild()
{
    QVector<QPointF> byClass[3];
    for (QVector<QPointF> &points : byClass)
        points.reserve(m_records.size());
    QVector<QPointF> rings;
    m_points.resize(m_records.size());
    for (int i = 0; i < m_records.size(); ++i) {
        const FbRecord &r = m_records.at(i);
        const bool negative = i < m_fit.picks.size() ? m_fit.picks.at(i).side == PickQc::Negative : r.offset < 0;
        const double absOffset = std::abs(double(r.offset));
        const QPointF p(negative ? -absOffset : absOffset, reduced(absOffset, r.fb_time));
        m_points[i] = p;
        if (!qIsFinite(p.y()))
            continue;
        byClass[int(FbColumns::pickClass(r.fb_status))].append(p);
        if (i < m_fit.picks.size() && m_fit.picks.at(i).outlier)
            rings.append(p);
    }
    // Tens of thousands of outlined symbols take longer to paint than a
    // move to the shot may; such a shot gets plain square dots instead.
    const bool dense = m_records.size() > DenseShot;
    for (int c = 0; c < 3; ++c) {
        if (dense != m_dense) {
            m_status[c]->setStyle(dense ? QwtPlotCurve::Dots : QwtPlotCurve::NoCurve);
            m_status[c]->setPen(QPen(m_colors[c], dense ? 4.0 : 0.0, Qt::SolidLine, Qt::SquareCap));
            m_status[c]->setSymbol(dense ? nullptr : dotSymbol(m_colors[c]));
        }
        m_status[c]->setSamples(byClass[c]);
    }
    m_dense = dense;
    m_rings->setSamples(rings);
    for (int side = 0; side < 2; ++side) {
        const PickQc::SideModel &model = m_fit.sides[side];
        QVector<QPointF> line;
        if (model.judged) {
            for (int k = 0; k <= model.segments && k < 4; ++k) {
                const double x = model.knotOffset[k];
                line.append(QPointF(side == PickQc::Negative ? -x : x, reduced(x, model.knotTime[k])));
            }
        }
        m_model[side]->setSamples(line);
    }
    updateSelection();
}

void ShotPlot::resetZoom()
{
    setAxisAutoScale(xBottom);
    setAxisAutoScale(yLeft);
    replot();
    m_zoomer->setZoomBase(false);
}

void ShotPlot::setSelectedRow(int row)
{
    m_selected = row >= 0 && row < m_points.size() ? row : -1;
    updateSelection();
    replot();
}

void ShotPlot::updateSelection()
{
    const bool visible = m_selected >= 0 && qIsFinite(m_points.at(m_selected).y());
    if (visible)
        m_selection->setValue(m_points.at(m_selected));
    m_selection->setVisible(visible);
}

QPointF ShotPlot::pickPoint(int row) const
{
    return row >= 0 && row < m_points.size() ? m_points.at(row) : QPointF();
}

int ShotPlot::rowAt(const QPoint &canvasPos) const
{
    const QwtScaleMap xMap = canvasMap(xBottom);
    const QwtScaleMap yMap = canvasMap(yLeft);
    constexpr double reach = 6.0; // pixels
    double best = reach * reach;
    int row = -1;
    for (int i = 0; i < m_points.size(); ++i) {
        const QPointF &p = m_points.at(i);
        if (!qIsFinite(p.y()))
            continue;
        const double dx = xMap.transform(p.x()) - canvasPos.x();
        const double dy = yMap.transform(p.y()) - canvasPos.y();
        const double d = dx * dx + dy * dy;
        if (d <= best) {
            best = d;
            row = i;
        }
    }
    return row;
}

bool ShotPlot::eventFilter(QObject *watched, QEvent *event)
{
    // A click (press and release in place) picks a point; a drag is the
    // zoomer's.
    if (watched == canvas() && event->type() == QEvent::MouseButtonPress) {
        m_pressPos = static_cast<QMouseEvent *>(event)->pos();
    } else if (watched == canvas() && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && (mouse->pos() - m_pressPos).manhattanLength() < 4) {
            const int row = rowAt(mouse->pos());
            if (row >= 0) {
                setSelectedRow(row);
                emit rowClicked(row);
            }
        }
    }
    return QwtPlot::eventFilter(watched, event);
}
