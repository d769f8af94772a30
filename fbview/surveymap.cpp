#include "surveymap.h"

#include <qwt_color_map.h>
#include <qwt_picker_machine.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_item.h>
#include <qwt_plot_magnifier.h>
#include <qwt_plot_panner.h>
#include <qwt_plot_picker.h>
#include <qwt_plot_rescaler.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>
#include <qwt_text.h>

#include <QMouseEvent>
#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

QwtLinearColorMap *makeColorMap()
{
    auto *map = new QwtLinearColorMap(QColor(40, 60, 200), QColor(220, 30, 30));
    map->addColorStop(0.33, QColor(0, 190, 220));
    map->addColorStop(0.66, QColor(240, 200, 0));
    return map;
}

constexpr int ColorBins = 32;

} // namespace

// Draws the whole survey in one item, thinning points to one per pixel.
class SurveyItem : public QwtPlotItem
{
public:
    SurveyItem() { setZ(10); }

    int rtti() const override { return QwtPlotItem::Rtti_PlotUserItem; }
    QRectF boundingRect() const override { return m_bounds; }

    void draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
              const QRectF &canvasRect) const override
    {
        const QRect area = canvasRect.toAlignedRect();
        if (area.width() <= 0 || area.height() <= 0)
            return;
        // On screen the survey is kept as an image until the view or the
        // colours change, so that moving to another shot redraws only the
        // highlight. Vector output (SVG, PDF) gets the points themselves.
        const int device = painter->device()->devType();
        if (device != QInternal::Pixmap && device != QInternal::Image && device != QInternal::Widget) {
            drawSurvey(painter, xMap, yMap, area);
        } else {
            const CacheKey key{xMap.s1(), xMap.s2(), yMap.s1(), yMap.s2(), area};
            if (m_cache.isNull() || !(key == m_cacheKey)) {
                m_cache = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
                m_cache.fill(Qt::transparent);
                QPainter cachePainter(&m_cache);
                cachePainter.translate(-area.topLeft());
                drawSurvey(&cachePainter, xMap, yMap, area);
                m_cacheKey = key;
            }
            painter->drawImage(area.topLeft(), m_cache);
        }
        drawCurrent(painter, xMap, yMap);
    }

    void invalidate() { m_cache = QImage(); }

    void drawSurvey(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRect &area) const
    {
        const int w = area.width(), h = area.height();
        // Per pixel: 0 empty, else 1 + the highest colour bin drawn there.
        std::vector<quint8> mask(size_t(w) * size_t(h), 0);
        auto pixel = [&](const QPointF &p, int *index) {
            const int x = int(xMap.transform(p.x())) - area.left();
            const int y = int(yMap.transform(p.y())) - area.top();
            if (x < 0 || y < 0 || x >= w || y >= h)
                return false;
            *index = y * w + x;
            return true;
        };

        QVector<QPointF> points;
        points.reserve(qMin(m_receivers.size(), w * h));
        for (const QPointF &p : m_receivers) {
            int i = 0;
            if (pixel(p, &i) && !mask[size_t(i)]) {
                mask[size_t(i)] = 1;
                points.append(QPointF(area.left() + i % w + 0.5, area.top() + i / w + 0.5));
            }
        }
        painter->setPen(QPen(QColor(150, 150, 150), 2));
        painter->drawPoints(points.constData(), points.size());

        std::fill(mask.begin(), mask.end(), 0);
        QVector<int> used;
        used.reserve(qMin(m_sources.size(), w * h));
        for (int s = 0; s < m_sources.size(); ++s) {
            int i = 0;
            if (!pixel(m_sources.at(s), &i))
                continue;
            const quint8 bin = quint8(1 + m_bins.at(s));
            if (!mask[size_t(i)])
                used.append(i);
            mask[size_t(i)] = qMax(mask[size_t(i)], bin);
        }
        QVector<QPointF> byBin[ColorBins];
        for (const int i : qAsConst(used))
            byBin[mask[size_t(i)] - 1].append(QPointF(area.left() + i % w + 0.5, area.top() + i / w + 0.5));
        for (int b = 0; b < ColorBins; ++b) {
            if (byBin[b].isEmpty())
                continue;
            painter->setPen(QPen(m_binColors[b], 4, Qt::SolidLine, Qt::SquareCap));
            painter->drawPoints(byBin[b].constData(), byBin[b].size());
        }
    }

    void drawCurrent(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap) const
    {
        QVector<QPointF> current;
        current.reserve(m_currentReceivers.size());
        for (const QPointF &p : m_currentReceivers)
            current.append(QPointF(xMap.transform(p.x()), yMap.transform(p.y())));
        painter->setPen(QPen(QColor(255, 140, 0), 3, Qt::SolidLine, Qt::SquareCap));
        painter->drawPoints(current.constData(), current.size());
        if (m_currentShot >= 0 && m_currentShot < m_sources.size()) {
            const QPointF c(xMap.transform(m_sources.at(m_currentShot).x()),
                            yMap.transform(m_sources.at(m_currentShot).y()));
            painter->setRenderHint(QPainter::Antialiasing, true);
            painter->setBrush(Qt::NoBrush);
            painter->setPen(QPen(Qt::black, 2));
            painter->drawEllipse(c, 7, 7);
            painter->setRenderHint(QPainter::Antialiasing, false);
        }
    }

    struct CacheKey
    {
        double x1, x2, y1, y2;
        QRect area;
        bool operator==(const CacheKey &o) const
        {
            return x1 == o.x1 && x2 == o.x2 && y1 == o.y1 && y2 == o.y2 && area == o.area;
        }
    };
    mutable QImage m_cache;
    mutable CacheKey m_cacheKey{};

    QRectF m_bounds;
    QVector<QPointF> m_receivers;
    QVector<QPointF> m_sources;      // per shot; NaN where the position is not finite
    QVector<quint8> m_bins;          // per shot: its colour bin
    QColor m_binColors[ColorBins];
    QVector<QPointF> m_currentReceivers;
    int m_currentShot = -1;
};

namespace {

// Names the shot under the mouse.
class SurveyPicker : public QwtPlotPicker
{
public:
    explicit SurveyPicker(SurveyMap *map)
        : QwtPlotPicker(map->canvas())
        , m_map(map)
    {
        setTrackerMode(QwtPicker::AlwaysOn);
    }

protected:
    QwtText trackerText(const QPoint &pos) const override
    {
        const int shot = m_map->shotAt(pos);
        if (shot < 0)
            return QwtText();
        QwtText text(SurveyMap::tr("Shot %1").arg(shot + 1));
        text.setBackgroundBrush(QColor(255, 255, 255, 200));
        return text;
    }

private:
    SurveyMap *m_map;
};

} // namespace

SurveyMap::SurveyMap(QWidget *parent)
    : QwtPlot(parent)
    , m_item(new SurveyItem)
{
    setCanvasBackground(Qt::white);
    m_item->attach(this);
    setAxisTitle(xBottom, tr("Easting"));
    setAxisTitle(yLeft, tr("Northing"));
    enableAxis(yRight);
    axisWidget(yRight)->setColorBarEnabled(true);
    axisWidget(yRight)->setColorBarWidth(14);

    m_rescaler = new QwtPlotRescaler(canvas(), xBottom, QwtPlotRescaler::Fitting);
    m_rescaler->setAspectRatio(yLeft, 1.0);
    m_rescaler->setAspectRatio(yRight, 0.0);
    m_rescaler->setAspectRatio(xTop, 0.0);
    auto *magnifier = new QwtPlotMagnifier(canvas());
    magnifier->setAxisEnabled(yRight, false);
    auto *panner = new QwtPlotPanner(canvas());
    panner->setMouseButton(Qt::MiddleButton);
    panner->setAxisEnabled(yRight, false);
    new SurveyPicker(this);
    canvas()->installEventFilter(this);
    setColorBy(Outliers);
}

SurveyMap::~SurveyMap() = default;

void SurveyMap::setSurvey(const PickQc::ShotSummaries &shots, const QVector<QPointF> &receivers)
{
    m_shots = shots;
    m_item->m_receivers = receivers;
    m_item->m_sources.resize(shots.size());
    m_item->m_currentShot = -1;
    m_item->m_currentReceivers.clear();
    double minX = qInf(), minY = qInf(), maxX = -qInf(), maxY = -qInf();
    auto include = [&](const QPointF &p) {
        minX = qMin(minX, p.x());
        maxX = qMax(maxX, p.x());
        minY = qMin(minY, p.y());
        maxY = qMax(maxY, p.y());
    };
    for (int s = 0; s < shots.size(); ++s) {
        const QPointF p(shots.source(s).x, shots.source(s).y);
        const bool finite = qIsFinite(p.x()) && qIsFinite(p.y());
        m_item->m_sources[s] = finite ? p : QPointF(qQNaN(), qQNaN());
        if (finite)
            include(p);
    }
    for (const QPointF &p : receivers)
        include(p);
    m_bounds = minX <= maxX ? QRectF(QPointF(minX, minY), QPointF(maxX, maxY)) : QRectF(0, 0, 1, 1);
    m_item->m_bounds = m_bounds;

    // About one cell per 1/1024 of the survey's extent; a click reaches a
    // few dozen cells at most at full view.
    m_cellSize = qMax(qMax(m_bounds.width(), m_bounds.height()) / 1024.0, 1e-6);
    QVector<QPair<quint64, int>> keyed;
    keyed.reserve(shots.size());
    for (int s = 0; s < shots.size(); ++s) {
        const QPointF p = m_item->m_sources.at(s);
        if (!qIsFinite(p.x()))
            continue;
        const qint64 ix = qint64(std::floor((p.x() - m_bounds.left()) / m_cellSize));
        const qint64 iy = qint64(std::floor((p.y() - m_bounds.top()) / m_cellSize));
        keyed.append({cellKey(ix, iy), s});
    }
    std::sort(keyed.begin(), keyed.end());
    m_cellSources.resize(keyed.size());
    m_cells.clear();
    for (int i = 0; i < keyed.size(); ++i) {
        m_cellSources[i] = keyed.at(i).second;
        auto it = m_cells.find(keyed.at(i).first);
        if (it == m_cells.end())
            m_cells.insert(keyed.at(i).first, qMakePair(i, 1));
        else
            ++it->second;
    }
    updateColors();
    fitSurvey();
}

void SurveyMap::fitSurvey()
{
    // Equal scale on both axes, the survey fitted with a small margin.
    const double margin = qMax(qMax(m_bounds.width(), m_bounds.height()) * 0.03, 1.0);
    const QRectF view = m_bounds.adjusted(-margin, -margin, margin, margin);
    m_rescaler->setIntervalHint(xBottom, QwtInterval(view.left(), view.right()));
    m_rescaler->setIntervalHint(yLeft, QwtInterval(view.top(), view.bottom()));
    setAxisScale(xBottom, view.left(), view.right());
    setAxisScale(yLeft, view.top(), view.bottom());
    m_rescaler->rescale();
    replot();
}

void SurveyMap::setColorBy(ColorBy colorBy)
{
    m_colorBy = colorBy;
    updateColors();
    replot();
}

void SurveyMap::updateColors()
{
    auto valueOf = [this](const PickQc::ShotSummary &s) -> double {
        switch (m_colorBy) {
        case Outliers: return s.outliers;
        case RmsResidual: return qIsFinite(s.rmsResidual) ? double(s.rmsResidual) : 0.0;
        case Picks: return s.picks;
        }
        return 0.0;
    };
    double top = 0.0;
    for (int s = 0; s < m_shots.size(); ++s)
        top = qMax(top, valueOf(m_shots.at(s)));
    if (top <= 0.0)
        top = 1.0;
    const QwtInterval interval(0.0, top);
    QScopedPointer<QwtLinearColorMap> colors(makeColorMap());
    for (int b = 0; b < ColorBins; ++b)
        m_item->m_binColors[b] = colors->color(interval, top * (b + 0.5) / ColorBins);
    m_item->m_bins.resize(m_shots.size());
    for (int s = 0; s < m_shots.size(); ++s)
        m_item->m_bins[s] = quint8(qBound(0, int(valueOf(m_shots.at(s)) / top * ColorBins), ColorBins - 1));
    m_item->invalidate();

    axisWidget(yRight)->setColorMap(interval, makeColorMap());
    setAxisScale(yRight, 0.0, top);
    const QString titles[] = {tr("Outliers"), tr("RMS residual (ms)"), tr("Picks")};
    setAxisTitle(yRight, titles[m_colorBy]);
}

void SurveyMap::setCurrentShot(int shot, const QVector<QPointF> &shotReceivers)
{
    m_item->m_currentShot = shot;
    m_item->m_currentReceivers = shotReceivers;
    replot();
}

int SurveyMap::shotAt(const QPoint &canvasPos) const
{
    if (m_cells.isEmpty())
        return -1;
    const QwtScaleMap xMap = canvasMap(xBottom);
    const QwtScaleMap yMap = canvasMap(yLeft);
    constexpr double reach = 6.0; // pixels
    const double x0 = xMap.invTransform(canvasPos.x() - reach), x1 = xMap.invTransform(canvasPos.x() + reach);
    const double y0 = yMap.invTransform(canvasPos.y() + reach), y1 = yMap.invTransform(canvasPos.y() - reach);
    const qint64 ix0 = qint64(std::floor((qMin(x0, x1) - m_bounds.left()) / m_cellSize));
    const qint64 ix1 = qint64(std::floor((qMax(x0, x1) - m_bounds.left()) / m_cellSize));
    const qint64 iy0 = qint64(std::floor((qMin(y0, y1) - m_bounds.top()) / m_cellSize));
    const qint64 iy1 = qint64(std::floor((qMax(y0, y1) - m_bounds.top()) / m_cellSize));
    // Zoomed far out the reach covers many cells; the survey then has only
    // a few, so clamp to the cells that exist.
    const qint64 cellsAcross = qint64(std::ceil(qMax(m_bounds.width(), m_bounds.height()) / m_cellSize)) + 1;
    double best = reach * reach;
    int shot = -1;
    for (qint64 ix = qMax<qint64>(ix0, 0); ix <= qMin(ix1, cellsAcross); ++ix) {
        for (qint64 iy = qMax<qint64>(iy0, 0); iy <= qMin(iy1, cellsAcross); ++iy) {
            const auto it = m_cells.constFind(cellKey(ix, iy));
            if (it == m_cells.constEnd())
                continue;
            for (int k = it->first; k < it->first + it->second; ++k) {
                const int s = m_cellSources.at(k);
                const QPointF &p = m_item->m_sources.at(s);
                const double dx = xMap.transform(p.x()) - canvasPos.x();
                const double dy = yMap.transform(p.y()) - canvasPos.y();
                const double d = dx * dx + dy * dy;
                if (d < best || (d == best && s < shot)) {
                    best = d;
                    shot = s;
                }
            }
        }
    }
    return shot;
}

QPoint SurveyMap::canvasPosOf(int shot) const
{
    if (shot < 0 || shot >= m_item->m_sources.size())
        return QPoint(-1, -1);
    const QPointF &p = m_item->m_sources.at(shot);
    return QPoint(qRound(canvasMap(xBottom).transform(p.x())), qRound(canvasMap(yLeft).transform(p.y())));
}

bool SurveyMap::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == canvas() && event->type() == QEvent::MouseButtonPress) {
        m_pressPos = static_cast<QMouseEvent *>(event)->pos();
    } else if (watched == canvas() && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && (mouse->pos() - m_pressPos).manhattanLength() < 4) {
            const int shot = shotAt(mouse->pos());
            if (shot >= 0)
                emit shotClicked(shot);
        }
    }
    return QwtPlot::eventFilter(watched, event);
}
