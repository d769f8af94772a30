#include <fbview/gatherview.h>

#include <fbfile/fbcolumns.h>
#include <fbfile/fbpicks.h>
#include <fbview/statuscolors.h>

#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_item.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_panner.h>
#include <qwt_scale_div.h>
#include <qwt_scale_map.h>
#include <qwt_symbol.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QWheelEvent>
#include <QtMath>

#include <algorithm>
#include <cmath>

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;

namespace FbView {

using GatherRenderer::GatherDisplay;

namespace {

// Drawing order, lowest first: the traces, the selected trace's line, the
// fitted curve, the picks, their rings and the selected pick on top.
constexpr double TracesZ = 0, TraceMarkZ = 10, ModelZ = 20, PicksZ = 30, RingsZ = 31, SuggestedZ = 32, PickMarkZ = 100,
                 StrokeZ = 110;
const QColor ModelColor(30, 80, 200);
const QColor SelectionColor(0, 0, 160);

// The time window opened around the picks: this much before the earliest
// and after the latest, plus a share of their spread, so the onsets and a
// few cycles after them show.
constexpr double PickLeadMs = 40, PickTailMs = 160, SpreadShareBefore = 0.25, SpreadShareAfter = 0.5;
// A wheel step zooms by this factor; zooming in stops at a few samples.
constexpr double WheelZoom = 0.8;
constexpr double MinimumSamplesShown = 4;
// An exported image is drawn at most this many pixels a side.
constexpr int MaxImageSide = 8000;

} // namespace

// The traces as an image under the picks: drawn again only when the scales,
// the canvas, the traces or how they are shown change.
class GatherItem : public QwtPlotItem
{
public:
    GatherItem() { setZ(TracesZ); }

    void show(std::shared_ptr<const GatherDisplay> shown, const QString &message, GatherRenderer::Display display,
              double velocity)
    {
        m_shown = std::move(shown);
        m_message = message;
        m_display = display;
        m_velocity = velocity;
        m_cache.clear();
    }

    void draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
              const QRectF &canvasRect) const override
    {
        if (!m_message.isEmpty()) {
            painter->setPen(QColor(80, 80, 80));
            painter->drawText(canvasRect, Qt::AlignCenter | Qt::TextWordWrap, m_message);
            return;
        }
        if (!m_shown || m_shown->isEmpty())
            return;
        const QRect area = canvasRect.toAlignedRect();
        const auto render = [&] {
            GatherRenderer::Viewport viewport;
            viewport.x1 = xMap.invTransform(canvasRect.left());
            viewport.x2 = xMap.invTransform(canvasRect.right());
            viewport.t1 = yMap.invTransform(canvasRect.top());
            viewport.t2 = yMap.invTransform(canvasRect.bottom());
            viewport.velocity = m_velocity;
            viewport.display = m_display;
            // An export gets the image at its own pixels, not the screen's.
            const QSize device = painter->transform().mapRect(canvasRect).toAlignedRect().size();
            viewport.pixels = device.boundedTo(QSize(MaxImageSide, MaxImageSide)).expandedTo(QSize(1, 1));
            return GatherRenderer::draw(*m_shown, viewport);
        };
        if (!ViewPlot::onScreen(painter))
            painter->drawImage(canvasRect, render());
        else
            painter->drawImage(canvasRect, m_cache.image(ViewPlot::CanvasKey(xMap, yMap, area), render));
    }

private:
    std::shared_ptr<const GatherDisplay> m_shown;
    QString m_message;
    GatherRenderer::Display m_display = GatherRenderer::Display::Wiggle;
    double m_velocity = 0;
    mutable ViewPlot::CanvasCache m_cache;
};

namespace {

QwtPlotCurve *scatter(QwtPlot *plot, QwtSymbol *symbol, double z)
{
    auto *curve = new QwtPlotCurve;
    curve->setStyle(QwtPlotCurve::NoCurve);
    symbol->setCachePolicy(QwtSymbol::Cache);
    curve->setSymbol(symbol);
    curve->setZ(z);
    curve->attach(plot);
    return curve;
}

} // namespace

GatherView::GatherView(QWidget *parent) : ViewPlot(parent)
{
    setObjectName(QStringLiteral("traceView"));
    // A layout may shrink the view to its minimum on a small screen; a
    // plot would otherwise insist on its preferred size.
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setCanvasBackground(Qt::white);
    m_item = new GatherItem;
    m_item->attach(this);
    for (int c = 0; c < 3; ++c) {
        const QColor color = StatusColors::mark(FbColumns::PickClass(c));
        m_status[c] = scatter(
            this, new QwtSymbol(QwtSymbol::Ellipse, QBrush(color), QPen(color.darker(150), 1), QSize(7, 7)), PicksZ);
    }
    m_rings =
        scatter(this, new QwtSymbol(QwtSymbol::Ellipse, Qt::NoBrush, QPen(Qt::black, 1.5), QSize(15, 15)), RingsZ);
    for (QwtPlotCurve *&model : m_model) {
        model = new QwtPlotCurve;
        model->setPen(ModelColor, 2);
        model->setRenderHint(QwtPlotItem::RenderAntialiased, true);
        model->setZ(ModelZ);
        model->attach(this);
    }
    m_traceMark = new QwtPlotMarker;
    m_traceMark->setLineStyle(QwtPlotMarker::VLine);
    m_traceMark->setLinePen(QColor(SelectionColor.red(), SelectionColor.green(), SelectionColor.blue(), 90), 3);
    m_traceMark->setZ(TraceMarkZ);
    m_traceMark->attach(this);
    m_pickMark = new QwtPlotMarker;
    m_pickMark->setSymbol(new QwtSymbol(QwtSymbol::Rect, Qt::NoBrush, QPen(SelectionColor, 2), QSize(15, 15)));
    m_pickMark->setZ(PickMarkZ);
    m_pickMark->attach(this);

    const QColor suggested = StatusColors::suggestion();
    m_suggested = scatter(
        this, new QwtSymbol(QwtSymbol::Diamond, QBrush(suggested), QPen(suggested.darker(150), 1), QSize(11, 11)),
        SuggestedZ);
    m_stroke = new QwtPlotCurve;
    m_stroke->setPen(SelectionColor, 1.5, Qt::DashLine);
    m_stroke->setZ(StrokeZ);
    m_stroke->attach(this);

    m_panner = new QwtPlotPanner(canvas());
    m_panner->setMouseButton(Qt::LeftButton);
    panWithMiddleButton();
    canvas()->installEventFilter(this);
    // Keys nudge, reject and restore the selected pick.
    canvas()->setFocusPolicy(Qt::StrongFocus);
    trackWith([this](const QPoint &pos) { return readoutAt(pos); });
    clear();
}

GatherView::~GatherView()
{
    if (m_worker.joinable())
        m_worker.join();
}

QVector<int> GatherView::matchByChannel(const ShotGather &gather, const QVector<FbRecord> &records)
{
    QHash<qint32, int> traceOfChannel;
    for (int t = gather.traceCount() - 1; t >= 0; --t)
        traceOfChannel.insert(gather.headers.at(t).channel, t);
    QVector<int> rowTrace(records.size(), -1);
    for (int row = 0; row < records.size(); ++row)
        rowTrace[row] = traceOfChannel.value(records.at(row).channel, -1);
    return rowTrace;
}

void GatherView::setShot(const ShotGather &gather, const QVector<FbRecord> &records, const FbQc::ShotFit &fit,
                         const QVector<int> &rowTrace, int position)
{
    m_position = position;
    // The same traces again (their picks edited): keep the zoom, the
    // selection and the scaled traces, so that picking goes on in place.
    const bool sameTraces = m_hasShot && gather.ffid == m_gather.ffid &&
                            gather.samplesPerTrace == m_gather.samplesPerTrace &&
                            gather.headers.size() == m_gather.headers.size() && gather.samples == m_gather.samples;
    const QVector<double> oldOffsets = m_pickOffset;
    m_gather = gather;
    m_records = records;
    m_fit = fit;
    m_rowTrace = rowTrace.size() == records.size() ? rowTrace : matchByChannel(gather, records);
    const int traces = gather.traceCount();
    m_traceRow.fill(-1, traces);
    m_pickOffset.fill(qQNaN(), traces);
    for (int row = 0; row < records.size(); ++row) {
        int &trace = m_rowTrace[row];
        if (trace < 0 || trace >= traces || m_traceRow.at(trace) >= 0) {
            trace = -1;
            continue;
        }
        m_traceRow[trace] = row;
        // Where the shot plot puts the pick: |offset| with its side's sign.
        const FbRecord &r = records.at(row);
        const int side =
            row < fit.picks.size() ? int(fit.picks.at(row).side) : int(r.offset < 0 ? FbQc::Negative : FbQc::Positive);
        const double absOffset = std::abs(double(r.offset));
        m_pickOffset[trace] = side == FbQc::Negative ? -absOffset : absOffset;
    }
    m_hasShot = true;
    m_message = traces == 0 ? tr("Shot ffid %1 has no traces in the data set.").arg(gather.ffid) : QString();
    const auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    if (sameTraces && m_shown &&
        std::equal(oldOffsets.cbegin(), oldOffsets.cend(), m_pickOffset.cbegin(), m_pickOffset.cend(), same)) {
        rebuildMarks();
        updateTitles();
        replot();
        return;
    }
    m_suggestions.clear();
    m_selectedTrace = -1;
    // The last shot's traces must not show under this one's picks.
    m_shown.reset();
    m_item->show(m_shown, m_message, m_display, m_velocity);
    rebuildMarks();
    updateTitles();
    startScaling();
    // Drawn once, when the traces are scaled: until then the last shot stays.
    placeWholeShot();
}

void GatherView::clear(const QString &message)
{
    m_gather = ShotGather();
    m_records.clear();
    m_fit = FbQc::ShotFit();
    m_rowTrace.clear();
    m_traceRow.clear();
    m_pickOffset.clear();
    m_hasShot = false;
    m_suggestions.clear();
    m_message = message.isEmpty() ? tr("No traces are open.") : message;
    m_selectedTrace = -1;
    ++m_wanted; // a scaling under way is not shown
    m_shown.reset();
    m_item->show(m_shown, m_message, m_display, m_velocity);
    setTitle(QString());
    updateTitles();
    rebuildMarks();
    resetView();
}

QString GatherView::message() const
{
    return m_message;
}

void GatherView::setDisplay(GatherRenderer::Display display)
{
    m_display = display;
    m_item->show(m_shown, m_message, m_display, m_velocity);
    replot();
}

void GatherView::setScaling(const GatherRenderer::Scaling &scaling)
{
    const bool reorder = scaling.order != m_scaling.order;
    m_scaling = scaling;
    updateTitles();
    if (reorder) {
        // The old order's traces would stand under the wrong picks.
        m_shown.reset();
        m_item->show(m_shown, m_message, m_display, m_velocity);
        rebuildMarks();
    }
    if (m_hasShot)
        startScaling();
    if (reorder)
        resetView();
}

void GatherView::setReductionVelocity(double velocity)
{
    m_velocity = velocity > 0.0 ? velocity : 0.0;
    m_item->show(m_shown, m_message, m_display, m_velocity);
    updateTitles();
    rebuildMarks();
    resetView();
}

void GatherView::setOffsetUnit(const QString &unit)
{
    m_unit = unit;
    updateTitles();
    replot();
}

void GatherView::updateTitles()
{
    if (m_hasShot) {
        // The picks drawn: on a trace, and picked (an unpicked time is none).
        const auto picked =
            std::count_if(m_points.cbegin(), m_points.cend(), [](const QPointF &p) { return std::isfinite(p.y()); });
        if (m_position >= 0)
            setTitle(tr("Shot %1 > ffid %2: %L3 traces, %L4 picked")
                         .arg(m_position + 1)
                         .arg(m_gather.ffid)
                         .arg(m_gather.traceCount())
                         .arg(qint64(picked)));
        else
            setTitle(tr("ffid %1: %L2 traces, %L3 picked")
                         .arg(m_gather.ffid)
                         .arg(m_gather.traceCount())
                         .arg(qint64(picked)));
    }
    setAxisTitle(xBottom, m_scaling.order == GatherRenderer::Order::ByChannel ? tr("Channel")
                                                                              : tr("Signed offset (%1)").arg(m_unit));
    if (m_velocity > 0.0)
        setAxisTitle(yLeft, tr("Reduced time t - |x| / %1 %2/s (ms)").arg(m_velocity).arg(m_unit));
    else
        setAxisTitle(yLeft, tr("Time (ms)"));
}

void GatherView::startScaling()
{
    ++m_wanted;
    if (m_running == 0)
        launchScaling(); // else scalingDone() starts the latest
}

void GatherView::launchScaling()
{
    m_running = m_wanted;
    m_finished = false;
    // The worker gets its own copies and writes only m_result, which the UI
    // thread reads after joining it.
    m_worker = std::thread([this, gather = m_gather, scaling = m_scaling, offsets = m_pickOffset] {
        m_result = GatherRenderer::prepare(gather, scaling, offsets);
        m_finished = true;
        QMetaObject::invokeMethod(this, &GatherView::scalingDone, Qt::QueuedConnection);
    });
}

void GatherView::scalingDone()
{
    // waitUntilReady() may have taken this result already, and another
    // scaling may be under way.
    if (m_running != 0 && m_finished)
        finishScaling();
}

void GatherView::finishScaling()
{
    m_worker.join();
    const quint64 generation = m_running;
    m_running = 0;
    GatherDisplay result = std::move(m_result);
    m_result = GatherDisplay();
    if (generation != m_wanted) {
        if (m_hasShot)
            launchScaling();
        return;
    }
    m_shown = std::make_shared<const GatherDisplay>(std::move(result));
    m_item->show(m_shown, m_message, m_display, m_velocity);
    replot();
    emit ready();
}

bool GatherView::isReady() const
{
    return m_running == 0 && (!m_hasShot || m_shown);
}

void GatherView::waitUntilReady()
{
    while (m_running != 0)
        finishScaling();
}

double GatherView::traceOffset(int trace) const
{
    // The renderer's rule: the pick's offset, else the header's, else 0.
    const double pick = m_pickOffset.value(trace, qQNaN());
    const double header = m_gather.headers.at(trace).offset;
    return std::isfinite(pick) ? pick : std::isfinite(header) ? header : 0.0;
}

double GatherView::traceX(int trace) const
{
    return m_scaling.order == GatherRenderer::Order::ByChannel ? double(m_gather.headers.at(trace).channel)
                                                               : traceOffset(trace);
}

double GatherView::shownTime(int trace, double timeMs) const
{
    return GatherRenderer::reducedTime(timeMs, traceOffset(trace), m_velocity);
}

double GatherView::recordedTime(int trace, double shownMs) const
{
    // The reduction is a shift per trace.
    return shownMs + (shownMs - shownTime(trace, shownMs));
}

QPoint GatherView::canvasPoint(int trace, double timeMs) const
{
    if (trace < 0 || trace >= m_gather.traceCount())
        return QPoint(-1, -1);
    return QPoint(qRound(canvasMap(xBottom).transform(traceX(trace))),
                  qRound(canvasMap(yLeft).transform(shownTime(trace, timeMs))));
}

void GatherView::rebuildMarks()
{
    QVector<QPointF> byClass[3];
    QVector<QPointF> rings;
    m_points.fill(QPointF(0, qQNaN()), m_records.size());
    for (int row = 0; row < m_records.size(); ++row) {
        const int trace = m_rowTrace.at(row);
        const FbRecord &r = m_records.at(row);
        const FbQc::PickVerdict verdict = row < m_fit.picks.size() ? m_fit.picks.at(row) : FbQc::PickVerdict();
        if (trace < 0 || !FbPicks::hasPick(r))
            continue;
        const QPointF p(traceX(trace), shownTime(trace, r.fb_time));
        m_points[row] = p;
        byClass[int(FbColumns::pickClass(r.fb_status))].append(p);
        if (verdict.outlier)
            rings.append(p);
    }
    for (int c = 0; c < 3; ++c)
        m_status[c]->setSamples(byClass[c]);
    m_rings->setSamples(rings);

    // Each judged side's curve at every trace of that side.
    for (int side = 0; side < 2; ++side) {
        const FbQc::SideModel &model = m_fit.sides[side];
        QVector<QPointF> line;
        for (int trace = 0; model.judged && trace < m_gather.traceCount(); ++trace) {
            const double offset = traceOffset(trace);
            if ((offset < 0) != (side == FbQc::Negative))
                continue;
            line.append(QPointF(traceX(trace), shownTime(trace, model.timeAt(std::abs(offset)))));
        }
        std::sort(line.begin(), line.end(), [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
        m_model[side]->setSamples(line);
    }
    rebuildSuggestions();
    updateSelection();
}

void GatherView::rebuildSuggestions()
{
    QVector<QPointF> points;
    for (const FbQc::Suggestion &s : qAsConst(m_suggestions)) {
        const int trace = traceOfRow(s.row);
        if (trace >= 0 && trace < m_gather.traceCount())
            points.append(QPointF(traceX(trace), shownTime(trace, s.newMs)));
    }
    m_suggested->setSamples(points);
}

void GatherView::setSuggestions(const QVector<FbQc::Suggestion> &suggestions)
{
    m_suggestions = suggestions;
    rebuildSuggestions();
    replot();
}

void GatherView::setPickMode(bool on)
{
    m_pickMode = on;
    m_stroking = false;
    m_stroke->setSamples(QVector<QPointF>());
    // The left button picks instead of panning; the middle one still pans.
    m_panner->setEnabled(!on);
    canvas()->setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
    replot();
}

void GatherView::updateSelection()
{
    const bool trace = m_selectedTrace >= 0 && m_selectedTrace < m_gather.traceCount();
    if (trace) {
        m_traceMark->setXValue(m_scaling.order == GatherRenderer::Order::ByChannel
                                   ? double(m_gather.headers.at(m_selectedTrace).channel)
                                   : traceOffset(m_selectedTrace));
    }
    m_traceMark->setVisible(trace);
    const int row = selectedRow();
    const bool pick = row >= 0 && std::isfinite(m_points.at(row).y());
    if (pick)
        m_pickMark->setValue(m_points.at(row));
    m_pickMark->setVisible(pick);
}

void GatherView::resetView()
{
    placeWholeShot();
    replot();
}

void GatherView::placeWholeShot()
{
    const bool byChannel = m_scaling.order == GatherRenderer::Order::ByChannel;
    double x0 = qInf(), x1 = -qInf(), top = qInf(), bottom = -qInf();
    const int traces = m_gather.traceCount();
    for (int t = 0; t < traces; ++t) {
        const double x = byChannel ? double(m_gather.headers.at(t).channel) : traceOffset(t);
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        top = std::min(top, shownTime(t, m_gather.timeOfSample(0)));
        bottom = std::max(bottom, shownTime(t, m_gather.timeOfSample(std::max(0, m_gather.samplesPerTrace - 1))));
    }
    if (traces == 0) {
        // Nothing to measure: the axes keep their titles and room, without
        // numbers that would read as a shot's.
        setAxisScaleDiv(xBottom, QwtScaleDiv(0.0, 1.0));
        setAxisScaleDiv(yLeft, QwtScaleDiv(1000.0, 0.0));
        return;
    }
    const double margin = traces > 1 && x1 > x0 ? (x1 - x0) / (traces - 1) : 1.0;
    setAxisScale(xBottom, x0 - margin, x1 + margin);

    double first = qInf(), last = -qInf();
    for (const QPointF &p : qAsConst(m_points)) {
        if (std::isfinite(p.y())) {
            first = std::min(first, p.y());
            last = std::max(last, p.y());
        }
    }
    if (std::isfinite(first)) {
        const double spread = last - first;
        top = std::max(top, first - PickLeadMs - SpreadShareBefore * spread);
        bottom = std::min(bottom, last + PickTailMs + SpreadShareAfter * spread);
    }
    placeTime(top, bottom > top ? bottom : top + 1);
}

void GatherView::setTimeWindow(double t0, double t1)
{
    placeTime(t0, t1);
    replot();
}

void GatherView::placeTime(double t0, double t1)
{
    // Time runs down: the later time at the bottom of the axis.
    setAxisScale(yLeft, std::max(t0, t1), std::min(t0, t1));
}

void GatherView::zoomAxis(int axis, double at, double factor)
{
    const QwtScaleDiv &div = axisScaleDiv(axis);
    const double lower = at + (div.lowerBound() - at) * factor;
    const double upper = at + (div.upperBound() - at) * factor;
    if (m_gather.traceCount() == 0)
        return; // no scale to zoom
    const double least =
        axis == yLeft ? MinimumSamplesShown * m_gather.sampleIntervalMs : (m_shown ? m_shown->spacing : 1.0);
    if (factor < 1 && std::abs(upper - lower) < least)
        return;
    setAxisScale(axis, lower, upper);
    replot();
}

int GatherView::traceAt(const QPoint &canvasPos) const
{
    if (!m_shown || m_shown->isEmpty())
        return -1;
    const int p = m_shown->positionNear(canvasMap(xBottom).invTransform(canvasPos.x()));
    return p >= 0 ? m_shown->trace.at(p) : -1;
}

QString GatherView::readoutAt(const QPoint &canvasPos) const
{
    const int trace = traceAt(canvasPos);
    if (trace < 0)
        return QString();
    const double shown = canvasMap(yLeft).invTransform(canvasPos.y());
    const double time = shown + (shown - shownTime(trace, shown)); // undo the reduction
    const double s = m_gather.sampleAt(time);
    const int samples = m_gather.samplesPerTrace;
    if (!(s >= -0.5 && s <= samples - 0.5))
        return QString();
    const int k = std::clamp(qRound(s), 0, samples - 1);
    const QLocale locale;
    const TraceHeader &h = m_gather.headers.at(trace);
    return tr("Channel %1, offset %2 %3\n%4 ms, amplitude %5")
        .arg(h.channel)
        .arg(locale.toString(traceOffset(trace), 'f', 1), m_unit)
        .arg(locale.toString(time, 'f', 1), locale.toString(double(m_gather.trace(trace)[k]), 'g', 4));
}

QPointF GatherView::pickPoint(int row) const
{
    return row >= 0 && row < m_points.size() ? m_points.at(row) : QPointF(0, qQNaN());
}

int GatherView::traceOfRow(int row) const
{
    return m_rowTrace.value(row, -1);
}

int GatherView::rowOfTrace(int trace) const
{
    return m_traceRow.value(trace, -1);
}

int GatherView::selectedRow() const
{
    return rowOfTrace(m_selectedTrace);
}

void GatherView::selectTrace(int trace)
{
    m_selectedTrace = trace >= 0 && trace < m_gather.traceCount() ? trace : -1;
    updateSelection();
    // Bring the selected trace into view, keeping the zoom.
    if (m_selectedTrace >= 0) {
        const double x = m_traceMark->xValue();
        const QwtScaleDiv div = axisScaleDiv(xBottom);
        if (!div.contains(x)) {
            const double half = (div.upperBound() - div.lowerBound()) / 2;
            setAxisScale(xBottom, x - half, x + half);
        }
        const QPointF pick = pickPoint(selectedRow());
        const QwtScaleDiv time = axisScaleDiv(yLeft);
        if (std::isfinite(pick.y()) && !time.contains(pick.y())) {
            const double half = (time.upperBound() - time.lowerBound()) / 2;
            setAxisScale(yLeft, pick.y() - half, pick.y() + half);
        }
    }
    replot();
}

void GatherView::setSelectedRow(int row)
{
    selectTrace(traceOfRow(row));
}

bool GatherView::pickEvent(QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonRelease)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: // picks again rather than showing the whole shot
        if (mouse->button() != Qt::LeftButton)
            return false;
        m_stroking = true;
        m_strokeStart = mouse->pos();
        canvas()->setFocus(Qt::MouseFocusReason);
        return true;
    case QEvent::MouseMove:
        if (!m_stroking)
            return false;
        m_stroke->setSamples(QVector<QPointF>{invTransformed(m_strokeStart), invTransformed(mouse->pos())});
        replot();
        return true;
    case QEvent::MouseButtonRelease:
        if (mouse->button() != Qt::LeftButton || !m_stroking)
            return false;
        m_stroking = false;
        m_stroke->setSamples(QVector<QPointF>());
        finishStroke(mouse->pos());
        replot();
        return true;
    default:
        return false;
    }
}

QPointF GatherView::invTransformed(const QPoint &canvasPos) const
{
    return QPointF(canvasMap(xBottom).invTransform(canvasPos.x()), canvasMap(yLeft).invTransform(canvasPos.y()));
}

void GatherView::finishStroke(const QPoint &pos)
{
    if (!m_shown || m_gather.traceCount() == 0)
        return;
    QVector<int> rows;
    QVector<double> times;
    const auto add = [&](int trace, double shownMs) {
        const int row = rowOfTrace(trace);
        if (row < 0)
            return;
        rows.append(row);
        times.append(FbQc::snapDrawn(FbQc::traceOf(m_gather, trace), recordedTime(trace, shownMs), m_snap));
    };
    if ((pos - m_strokeStart).manhattanLength() < QApplication::startDragDistance()) {
        const int trace = traceAt(pos);
        if (trace < 0)
            return;
        // Read before selecting: selecting may scroll the pick into view.
        add(trace, canvasMap(yLeft).invTransform(pos.y()));
        showPicked(rows, times);
        selectTrace(trace);
        emit traceClicked(trace);
        const int row = rowOfTrace(trace);
        if (row >= 0)
            emit rowClicked(row);
        if (!rows.isEmpty())
            emit timesPicked(rows, times, Gesture::Click);
        return;
    }
    // Every trace between the stroke's ends, at the line's time there.
    const QPointF a = invTransformed(m_strokeStart), b = invTransformed(pos);
    const double low = std::min(a.x(), b.x()), high = std::max(a.x(), b.x());
    for (int trace = 0; trace < m_gather.traceCount(); ++trace) {
        const double x = traceX(trace);
        if (x < low || x > high)
            continue;
        add(trace, b.x() == a.x() ? a.y() : a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x()));
    }
    if (rows.isEmpty())
        return;
    showPicked(rows, times);
    emit timesPicked(rows, times, Gesture::Drag);
}

void GatherView::showPicked(const QVector<int> &rows, const QVector<double> &timesMs)
{
    // Shown at once, before the edited records come back: the picks stand
    // where they were drawn, and a held key steps on from there.
    for (int i = 0; i < rows.size(); ++i)
        m_records[rows.at(i)].fb_time = float(timesMs.at(i));
    rebuildMarks();
    replot();
}

bool GatherView::keyEvent(QKeyEvent *event)
{
    const int row = selectedRow();
    if (row < 0 || event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return false;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
        // Time runs down: Up is a sample earlier.
        const double time = m_records.at(row).fb_time;
        const double step = m_gather.sampleIntervalMs;
        if (!std::isfinite(time) || !(step > 0))
            return false;
        const double moved = time + (event->key() == Qt::Key_Up ? -step : step);
        emit timesPicked({row}, {moved}, Gesture::Nudge);
        showPicked({row}, {moved});
        return true;
    }
    case Qt::Key_Delete:
        emit rejectRequested(row);
        return true;
    case Qt::Key_Insert:
        emit restoreRequested(row);
        return true;
    default:
        return false;
    }
}

bool GatherView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == canvas() && event->type() == QEvent::ShortcutOverride) {
        // The view's keys act on its pick before the window's shortcuts.
        auto *key = static_cast<QKeyEvent *>(event);
        const int k = key->key();
        if (selectedRow() >= 0 && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
            (k == Qt::Key_Up || k == Qt::Key_Down || k == Qt::Key_Delete || k == Qt::Key_Insert)) {
            key->accept();
            return true;
        }
    }
    if (watched == canvas() && event->type() == QEvent::KeyPress && keyEvent(static_cast<QKeyEvent *>(event)))
        return true;
    if (watched == canvas() && m_pickMode && pickEvent(event))
        return true;
    if (watched == canvas() && event->type() == QEvent::Wheel) {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        const double steps = wheel->angleDelta().y() / 120.0;
        if (steps != 0) {
            const double factor = std::pow(WheelZoom, steps);
            const QPointF at = wheel->position();
            if (wheel->modifiers() & Qt::ControlModifier)
                zoomAxis(xBottom, canvasMap(xBottom).invTransform(at.x()), factor);
            else
                zoomAxis(yLeft, canvasMap(yLeft).invTransform(at.y()), factor);
        }
        return true;
    }
    if (watched == canvas() && event->type() == QEvent::MouseButtonDblClick) {
        resetView();
        return true;
    }
    QPoint at;
    if (endsClick(watched, event, &at)) {
        const int trace = traceAt(at);
        if (trace >= 0) {
            selectTrace(trace);
            emit traceClicked(trace);
            const int row = rowOfTrace(trace);
            if (row >= 0)
                emit rowClicked(row);
        }
    }
    return QwtPlot::eventFilter(watched, event);
}

} // namespace FbView
