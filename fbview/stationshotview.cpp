#include <fbview/stationshotview.h>

#include <qwt_color_map.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_item.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_panner.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>
#include <qwt_text.h>

#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace FbFile;
using namespace FbQc;

namespace FbView {

namespace {

const QColor EmptyColour(228, 228, 228);
constexpr int Steps = 128; // colours either side of 0

QLocale groupedLocale()
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale;
}

// Shots numbered from 1, in plain digits; no label between two rows.
class ShotScaleDraw : public QwtScaleDraw
{
public:
    QwtText label(double value) const override
    {
        return std::abs(value - std::round(value)) < 1e-6 ? groupedLocale().toString(qRound64(value)) : QString();
    }
};

// The pixels [first, last] whose centres lie in the span a..b of canvas
// coordinates (in either order), or the one holding its middle when it is
// narrower than a pixel; clipped to 0..size - 1 (first > last when out).
std::pair<int, int> pixelSpan(double a, double b, int size)
{
    const double lo = qMin(a, b), hi = qMax(a, b);
    if (!(lo > -1e9 && hi < 1e9))
        return {1, 0};
    int first = int(std::ceil(lo - 0.5)), last = int(std::ceil(hi - 0.5)) - 1;
    if (last < first)
        first = last = int(std::floor((lo + hi) / 2));
    return {qMax(first, 0), qMin(last, size - 1)};
}

} // namespace

// Draws the cells in view, keeping per pixel the value farthest from 0.
class StationShotItem : public QwtPlotItem
{
public:
    StationShotItem() { setZ(10); }

    int rtti() const override { return QwtPlotItem::Rtti_PlotUserItem; }

    // The two cells of each pair with one in rows first..last: at the row of
    // one shot and the other's source, valued the row shot's time there
    // minus the other's at the row shot's source, as the pair check judged
    // it and as picked. visit(shot, partner, judged, asPicked).
    template<typename Visit>
    void forEachDifference(int first, int last, Visit visit) const
    {
        // Pairs run by shotA, and B is never more than m_maxGap after A.
        const auto from = std::lower_bound(m_pairs.cbegin(), m_pairs.cend(), qint64(first) - m_maxGap,
                                           [](const FbQc::ReciprocalPair &p, qint64 shot) { return p.shotA < shot; });
        for (auto p = from; p != m_pairs.cend() && p->shotA <= last; ++p) {
            if (p->shotA < 0 || p->shotB >= m_axis.shotCount())
                continue;
            const float d = m_judged.at(int(p - m_pairs.cbegin())), raw = p->difference();
            if (p->shotA >= first)
                visit(p->shotA, p->shotB, d, raw);
            if (p->shotB >= first && p->shotB <= last)
                visit(p->shotB, p->shotA, -d, -raw);
        }
    }

    // Calls visit(cell) for each cell of the kind shown in rows first..last.
    template<typename Visit>
    void forEachCell(int first, int last, Visit visit) const
    {
        if (m_kind == StationShotView::Differences) {
            forEachDifference(first, last, [&](int shot, int partner, float value, float asPicked) {
                visit(StationShotView::Cell{shot, m_axis.sourceAt(partner), value, -1, partner, asPicked});
            });
            return;
        }
        const StationShotCells &cells = *m_cells;
        for (int shot = qMax(first, cells.firstShot); shot <= qMin(last, cells.lastShot); ++shot) {
            for (const StationShotCells::Cell *c = cells.begin(shot); c != cells.end(shot); ++c)
                visit(StationShotView::Cell{shot, c->coordinate, c->value, c->record, -1});
        }
    }

    // The rows any part of which lies within the y span of canvasRect.
    std::pair<int, int> rowsIn(const QwtScaleMap &yMap, double top, double bottom) const
    {
        const double a = yMap.invTransform(top), b = yMap.invTransform(bottom);
        return {qMax(0, int(std::floor(qMin(a, b) - 0.5))), qMin(m_rows - 1, int(std::ceil(qMax(a, b) - 0.5)) - 1)};
    }

    // The pixel spans of a cell within area (relative to its corner).
    std::pair<std::pair<int, int>, std::pair<int, int>> spansOf(const StationShotView::Cell &c, const QwtScaleMap &xMap,
                                                                const QwtScaleMap &yMap, const QRect &area) const
    {
        // A difference fills the column of its source, as wide as sources lie apart.
        const double half = (m_kind == StationShotView::Differences ? m_axis.sourceSpacing() : m_axis.cellWidth()) / 2;
        return {pixelSpan(xMap.transform(c.coordinate - half) - area.left(),
                          xMap.transform(c.coordinate + half) - area.left(), area.width()),
                pixelSpan(yMap.transform(c.shot + 0.5) - area.top(), yMap.transform(c.shot + 1.5) - area.top(),
                          area.height())};
    }

    void draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
              const QRectF &canvasRect) const override
    {
        const QRect area = canvasRect.toAlignedRect();
        if (area.width() <= 0 || area.height() <= 0)
            return;
        if (!ViewPlot::onScreen(painter)) {
            painter->drawImage(area.topLeft(), image(xMap, yMap, area));
        } else {
            const ViewPlot::CanvasKey key(xMap, yMap, area);
            painter->drawImage(area.topLeft(), m_cache.image(key, [&] { return image(xMap, yMap, area); }));
        }
        // The current shot's row, outlined across the view.
        if (m_current >= 0 && m_current < m_rows) {
            const double top = yMap.transform(m_current + 0.5), bottom = yMap.transform(m_current + 1.5);
            painter->setPen(QPen(Qt::black, 1));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(QRectF(area.left(), qMin(top, bottom) - 1, area.width() - 1, std::abs(bottom - top) + 1));
        }
    }

    // The cells in view as pixels: each row's span and each source's column
    // are placed once, so that millions of pairs cost a few lookups each.
    QImage image(const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRect &area) const
    {
        const int width = area.width(), height = area.height();
        QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        const std::pair<int, int> rows = rowsIn(yMap, area.top(), area.bottom() + 1);
        if (rows.first > rows.second)
            return image;
        std::vector<float> best(size_t(width) * size_t(height), qQNaN());
        const auto put = [&](const std::pair<int, int> &ys, const std::pair<int, int> &xs, float value) {
            for (int y = ys.first; y <= ys.second; ++y) {
                float *row = best.data() + size_t(y) * size_t(width);
                for (int x = xs.first; x <= xs.second; ++x) {
                    if (!(std::abs(row[x]) >= std::abs(value)))
                        row[x] = value;
                }
            }
        };
        const auto columns = [&](double coordinate, double half) {
            return pixelSpan(xMap.transform(coordinate - half) - area.left(),
                             xMap.transform(coordinate + half) - area.left(), width);
        };
        std::vector<std::pair<int, int>> rowSpans;
        for (int shot = rows.first; shot <= rows.second; ++shot)
            rowSpans.push_back(
                pixelSpan(yMap.transform(shot + 0.5) - area.top(), yMap.transform(shot + 1.5) - area.top(), height));
        const auto rowSpan = [&](int shot) { return rowSpans[size_t(shot - rows.first)]; };
        if (m_kind == StationShotView::Differences) {
            // Each source's column is placed once: partners lie at most
            // m_maxGap shots from the rows in view.
            const int from = int(qMax<qint64>(0, rows.first - m_maxGap));
            const int to = int(qMin<qint64>(m_axis.shotCount() - 1, rows.second + m_maxGap));
            std::vector<std::pair<int, int>> sourceSpans;
            for (int shot = from; shot <= to; ++shot)
                sourceSpans.push_back(columns(m_axis.sourceAt(shot), m_axis.sourceSpacing() / 2));
            forEachDifference(rows.first, rows.second, [&](int shot, int partner, float value, float) {
                put(rowSpan(shot), sourceSpans[size_t(partner - from)], value);
            });
        } else {
            const double half = m_axis.cellWidth() / 2;
            forEachCell(rows.first, rows.second, [&](const StationShotView::Cell &c) {
                put(rowSpan(c.shot), columns(c.coordinate, half), c.value);
            });
        }
        const double scale = Steps / m_reach;
        for (int y = 0; y < height; ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            const float *row = best.data() + size_t(y) * size_t(width);
            for (int x = 0; x < width; ++x) {
                if (!std::isnan(row[x]))
                    line[x] = m_colours[size_t(qBound(0.0, Steps + std::round(row[x] * scale), 2.0 * Steps))];
            }
        }
        return image;
    }

    void setReach(double reach)
    {
        m_reach = reach > 0 ? reach : 1.0;
        m_colours.resize(2 * Steps + 1);
        for (int k = 0; k <= 2 * Steps; ++k)
            m_colours[size_t(k)] = StationViews::diverging(double(k - Steps) / Steps, 1.0).rgb();
        invalidate();
    }
    void invalidate() { m_cache.clear(); }

    mutable ViewPlot::CanvasCache m_cache;

    StationAxis m_axis;
    int m_rows = 0;
    StationShotView::Kind m_kind = StationShotView::Differences;
    QVector<FbQc::ReciprocalPair> m_pairs;
    QVector<float> m_judged; // each pair's difference on the sources' footing, as the pair check sees it
    qint64 m_maxGap = 0;     // the most shots between a pair's two
    std::shared_ptr<const StationShotCells> m_cells;
    double m_reach = 1.0;
    std::vector<QRgb> m_colours;
    int m_current = -1;
};

StationShotView::StationShotView(QWidget *parent)
    : ViewPlot(parent), m_cells(std::make_shared<const StationShotCells>()), m_item(new StationShotItem),
      m_viewMoved(new QTimer(this))
{
    setCanvasBackground(EmptyColour);
    m_item->m_cells = m_cells;
    m_item->setReach(m_toleranceMs);
    m_item->attach(this);
    setAxisTitle(yLeft, tr("Shot"));
    setAxisScaleDraw(yLeft, new ShotScaleDraw);
    enableAxis(yRight);
    axisWidget(yRight)->setColorBarEnabled(true);
    axisWidget(yRight)->setColorBarWidth(14);

    QwtPlotPanner *panner = panWithMiddleButton(yRight);
    connect(panner, &QwtPlotPanner::panned, m_viewMoved, QOverload<>::of(&QTimer::start));
    trackWith([this](const QPoint &pos) {
        const Cell cell = cellAt(pos);
        return cell.shot < 0 ? QString() : cellText(cell);
    });
    canvas()->installEventFilter(this);
    // A pan or a few notches of the wheel ask once, when they pause.
    m_viewMoved->setSingleShot(true);
    m_viewMoved->setInterval(60);
    connect(m_viewMoved, &QTimer::timeout, this, &StationShotView::requestResiduals);
    connect(&m_builder, &StationShotBuilder::ready, this, &StationShotView::onResiduals);
    setSurvey(StationAxis(), {});
}

StationShotView::~StationShotView() = default;

void StationShotView::setSurvey(const StationAxis &axis, const QVector<ShotIndexEntry> &index)
{
    m_axis = axis;
    m_index = index;
    m_current = -1;
    m_readable = false;
    m_item->m_axis = axis;
    m_item->m_rows = index.size();
    m_item->m_current = -1;
    m_item->m_pairs.clear();
    m_item->m_judged.clear();
    m_item->m_maxGap = 0;
    m_cells = std::make_shared<const StationShotCells>();
    m_item->m_cells = m_cells;
    m_requestedFirst = 0;
    m_requestedLast = -1;
    m_builder.setSource(QString(), {}, axis, FbQc::Settings());
    setAxisTitle(xBottom, axis.title());
    setAxisScaleDraw(xBottom, axis.scaleDraw());
    setAxisScaleEngine(xBottom, axis.scaleEngine());
    qDeleteAll(m_lineStarts);
    m_lineStarts = StationViews::markLines(this, axis);
    m_item->invalidate();
    updateBar();
    resetView();
}

void StationShotView::setDifferences(const FbQc::Report &report)
{
    const QVector<FbQc::ReciprocalPair> &pairs = report.pairs();
    m_item->m_pairs = pairs;
    m_item->m_judged.resize(pairs.size());
    m_item->m_maxGap = 0;
    for (int k = 0; k < pairs.size(); ++k) {
        const FbQc::ReciprocalPair &p = pairs.at(k);
        m_item->m_judged[k] = report.depthCorrected(p);
        m_item->m_maxGap = qMax(m_item->m_maxGap, qint64(p.shotB) - p.shotA);
    }
    m_toleranceMs = report.settings.reciprocityMs;
    m_item->invalidate();
    updateBar();
    replot();
}

void StationShotView::setResidualSource(const QString &fileName, const FbQc::Settings &settings)
{
    m_builder.setSource(fileName, m_index, m_axis, settings);
    m_outlierMs = settings.outlierMs;
    m_readable = true;
    m_requestedFirst = 0;
    m_requestedLast = -1;
    updateBar();
    requestResiduals();
}

void StationShotView::setResidualCells(const StationShotCells &cells)
{
    m_readable = false;
    m_builder.setSource(QString(), {}, m_axis, FbQc::Settings());
    m_requestedFirst = cells.firstShot;
    m_requestedLast = cells.lastShot;
    onResiduals(std::make_shared<const StationShotCells>(cells));
}

void StationShotView::setKind(Kind kind)
{
    m_kind = kind;
    m_item->m_kind = kind;
    m_item->invalidate();
    updateBar();
    // The residuals are built for a window of shots: the view shows no more.
    const QwtInterval rows = axisInterval(yLeft).normalized();
    if (kind == Residuals && rows.width() > ResidualShots) {
        const int centre = m_current >= 0 ? m_current : int((rows.minValue() + rows.maxValue()) / 2) - 1;
        const int first = qMax(0, centre - ResidualShots / 2);
        setAxisScale(yLeft, rowOf(first) + ResidualShots - 0.5, rowOf(first) - 0.5);
    }
    replot();
    requestResiduals();
}

void StationShotView::setCurrentShot(int shot)
{
    m_current = shot >= 0 && shot < m_index.size() ? shot : -1;
    m_item->m_current = m_current;
    if (m_current >= 0) {
        // The current row stays in view: the view moves to it, as large as it was.
        const QwtInterval rows = axisInterval(yLeft).normalized();
        if (rowOf(m_current) < rows.minValue() || rowOf(m_current) > rows.maxValue()) {
            const double half = rows.width() / 2;
            setAxisScale(yLeft, rowOf(m_current) + half, rowOf(m_current) - half);
        }
    }
    replot();
    requestResiduals();
}

void StationShotView::resetView()
{
    const double margin = m_axis.cellWidth();
    const bool any = !m_axis.isEmpty();
    setAxisScale(xBottom, any ? m_axis.minimum() - margin : 0.0, any ? m_axis.maximum() + margin : 1.0);
    // Shot 1 at the top.
    setAxisScale(yLeft, qMax(1, m_index.size()) + 0.5, 0.5);
    // A view not yet shown (fbtool's) has its canvas placed here.
    updateLayout();
    replot();
}

void StationShotView::updateBar()
{
    const double reach = m_kind == Differences ? m_toleranceMs : m_outlierMs;
    m_item->setReach(reach);
    auto *bar = new QwtLinearColorMap(StationViews::early(), StationViews::late());
    bar->addColorStop(0.5, Qt::white);
    axisWidget(yRight)->setColorMap(QwtInterval(-reach, reach), bar);
    setAxisScale(yRight, -reach, reach);
    setBarTitle(yRight, m_kind == Differences ? tr("Difference (ms)") : tr("Residual (ms)"));
    updateFooter();
}

void StationShotView::updateFooter()
{
    QString text;
    if (m_kind == Differences) {
        text = tr("Each cell: the row's shot minus the shot from the column's source");
    } else if (m_builder.isBusy()) {
        text = tr("Reading and fitting shots %1 to %2...").arg(m_requestedFirst + 1).arg(m_requestedLast + 1);
    } else if (!m_cells->isEmpty()) {
        text = tr("Residuals of shots %1 to %2").arg(m_cells->firstShot + 1).arg(m_cells->lastShot + 1);
    }
    QwtText footer(text);
    // A narrow panel wraps the caption rather than cutting off both ends.
    footer.setRenderFlags(Qt::AlignCenter | Qt::TextWordWrap);
    QFont font = footer.font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    footer.setFont(font);
    setFooter(footer);
}

void StationShotView::requestResiduals()
{
    // Nothing is read for a view nobody sees (a tab in the background).
    if (m_kind != Residuals || !m_readable || m_index.isEmpty() || !isVisible())
        return;
    const QwtInterval shown = axisInterval(yLeft).normalized();
    // The rows any part of which is in view (row k + 1 spans k + 0.5..k + 1.5).
    int first = qMax(0, int(std::floor(shown.minValue() - 0.5)));
    int last = qMin(m_index.size() - 1, int(std::ceil(shown.maxValue() - 0.5)) - 1);
    if (last - first + 1 > ResidualShots) {
        const int centre = m_current >= first && m_current <= last ? m_current : (first + last) / 2;
        first = qMax(0, centre - ResidualShots / 2);
        last = first + ResidualShots - 1;
    }
    if (first >= m_requestedFirst && last <= m_requestedLast)
        return;
    // A window about what is in view, so that small moves need nothing new.
    const int spare = ResidualShots - (last - first + 1);
    m_requestedLast = qMin(m_index.size() - 1, qMax(0, first - spare / 2) + ResidualShots - 1);
    m_requestedFirst = qMax(0, m_requestedLast - ResidualShots + 1);
    m_builder.request(m_requestedFirst, m_requestedLast);
    updateFooter();
    replot();
}

void StationShotView::onResiduals(std::shared_ptr<const StationShotCells> cells)
{
    m_cells = std::move(cells);
    m_item->m_cells = m_cells;
    m_item->invalidate();
    updateFooter();
    replot();
    emit residualsShown();
}

StationShotView::Cell StationShotView::cellAt(const QPoint &canvasPos) const
{
    // What is drawn at the pixel, or failing that the nearest cell of its
    // rows within a few pixels.
    const QRect area = canvas()->contentsRect();
    const QwtScaleMap xMap = canvasMap(xBottom), yMap = canvasMap(yLeft);
    const QPoint at = canvasPos - area.topLeft();
    const std::pair<int, int> rows = m_item->rowsIn(yMap, canvasPos.y(), canvasPos.y() + 1);
    Cell found;
    int bestDistance = 4;
    m_item->forEachCell(rows.first, rows.second, [&](const Cell &c) {
        const auto spans = m_item->spansOf(c, xMap, yMap, area);
        if (at.y() < spans.second.first || at.y() > spans.second.second)
            return;
        const int distance = at.x() < spans.first.first    ? spans.first.first - at.x()
                             : at.x() > spans.first.second ? at.x() - spans.first.second
                                                           : 0;
        if (distance < bestDistance ||
            (distance == bestDistance && found.shot >= 0 && std::abs(c.value) > std::abs(found.value))) {
            bestDistance = distance;
            found = c;
        }
    });
    return found;
}

QPoint StationShotView::canvasPosOf(int shot, double coordinate) const
{
    return QPoint(int(std::floor(canvasMap(xBottom).transform(coordinate))),
                  int(std::floor(canvasMap(yLeft).transform(rowOf(shot)))));
}

QString StationShotView::cellText(const Cell &cell) const
{
    if (cell.shot < 0 || cell.shot >= m_index.size())
        return QString();
    const QLocale locale;
    const QString value = locale.toString(double(cell.value), 'f', 2);
    QString text = tr("Shot %1 > ffid %2").arg(cell.shot + 1).arg(m_index.at(cell.shot).ffid) + QLatin1Char('\n');
    if (cell.partner >= 0 && cell.partner < m_index.size()) {
        // Where the sources' depths moved it, what was picked as well.
        const QString difference = std::isnan(cell.asPicked) || qRound(cell.asPicked * 100) == qRound(cell.value * 100)
                                       ? tr("Reciprocal difference: %1 ms").arg(value)
                                       : tr("Reciprocal difference: %1 ms for the sources' depths (%2 ms as picked)")
                                             .arg(value, locale.toString(double(cell.asPicked), 'f', 2));
        return text +
               tr("%1, the source of shot %2 > ffid %3")
                   .arg(m_axis.describe(cell.coordinate))
                   .arg(cell.partner + 1)
                   .arg(m_index.at(cell.partner).ffid) +
               QLatin1Char('\n') + difference;
    }
    return text + m_axis.describe(cell.coordinate) + QLatin1Char('\n') +
           tr("Residual: %1 ms (record %L2)").arg(value).arg(cell.record + 1);
}

void StationShotView::showEvent(QShowEvent *event)
{
    QwtPlot::showEvent(event);
    requestResiduals();
}

bool StationShotView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == canvas() && event->type() == QEvent::Wheel) {
        // Up (away from the user) zooms in, a fifth per notch, about the pointer.
        const auto *wheel = static_cast<QWheelEvent *>(event);
        const int delta = wheel->angleDelta().y();
        if (delta != 0) {
            const QPoint at = wheel->position().toPoint();
            StationViews::zoomAxis(this, xBottom, at.x(), std::pow(0.8, delta / 120.0));
            StationViews::zoomAxis(this, yLeft, at.y(), std::pow(0.8, delta / 120.0));
            replot();
            m_viewMoved->start();
        }
        return true;
    }
    QPoint at;
    if (endsClick(watched, event, &at)) {
        const Cell cell = cellAt(at);
        if (cell.shot >= 0)
            emit cellClicked(cell.shot, cell.coordinate, cell.record);
    }
    return QwtPlot::eventFilter(watched, event);
}

void StationShotView::updateLayout()
{
    ViewPlot::updateLayout();
    if (StationViews::fitLabelBudget(this, m_axis))
        replot();
}

} // namespace FbView
