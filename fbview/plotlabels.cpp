#include <fbview/plotlabels.h>

#include <qwt_scale_map.h>

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

namespace FbView {

namespace {

// Pixels between an anchor and its label.
constexpr double Spacing = 6.0;
// Obstacles are looked up in cells of this many pixels.
constexpr int Cell = 4;
// What it costs a label that names one side of the spread (it prefers the
// left or the right of its anchor) to sit across its anchor: more than any
// picks under it, less than covering another label, so that at any image
// size it stays on its side unless that side has no room.
constexpr double WrongSideCost = 5000.0;
// What covering any part of another label costs, above its area: more than
// anything else, so that labels touch only where there is no other place.
constexpr double CoverCost = 1e6;
// A pick is drawn as a dot about this many pixels from its centre.
constexpr double PickRadius = 4.0;
// A ring around an outlier reaches about this much farther than a dot.
constexpr double RingReach = 4.0;
// A line (the fitted curve, 2 pixels wide) with a pixel to spare.
constexpr double LineRadius = 2.0;
// What a cell of a pick or of a line under a label costs: a line struck
// through the text reads worse than a dot beside it, and is worth moving
// the label a few cells off its place.
constexpr double PickCellCost = 10.0, LineCellCost = 40.0;
// What each pixel farther out than the nearest places costs: a label a
// few dots' width from its segment reads as its own, one far off may not,
// so a dot or two at its edge is worth staying near.
constexpr double DistanceCost = 2.0;

// Whether rect lies across anchor from the horizontal side `side` names.
bool acrossAnchor(const QRectF &rect, const QPointF &anchor, Qt::Alignment side)
{
    if (side & Qt::AlignLeft)
        return rect.right() > anchor.x() + 0.5;
    if (side & Qt::AlignRight)
        return rect.left() < anchor.x() - 0.5;
    return false;
}

// Which cells of the area hold an obstacle.
class ObstacleGrid
{
public:
    ObstacleGrid(const QRectF &area, const QVector<QPointF> &points)
        : m_origin(area.topLeft()), m_columns(std::max(1, int(std::ceil(area.width() / Cell)))),
          m_rows(std::max(1, int(std::ceil(area.height() / Cell)))), m_cells(size_t(m_columns) * size_t(m_rows), 0)
    {
        for (const QPointF &p : points) {
            const int c = int(std::floor((p.x() - m_origin.x()) / Cell));
            const int r = int(std::floor((p.y() - m_origin.y()) / Cell));
            if (c >= 0 && c < m_columns && r >= 0 && r < m_rows)
                m_cells[size_t(r) * size_t(m_columns) + size_t(c)] = 1;
        }
    }
    // Cells of rect that hold an obstacle.
    int count(const QRectF &rect) const
    {
        const int c0 = std::max(0, int(std::floor((rect.left() - m_origin.x()) / Cell)));
        const int c1 = std::min(m_columns - 1, int(std::floor((rect.right() - m_origin.x()) / Cell)));
        const int r0 = std::max(0, int(std::floor((rect.top() - m_origin.y()) / Cell)));
        const int r1 = std::min(m_rows - 1, int(std::floor((rect.bottom() - m_origin.y()) / Cell)));
        int n = 0;
        for (int r = r0; r <= r1; ++r) {
            for (int c = c0; c <= c1; ++c)
                n += m_cells[size_t(r) * size_t(m_columns) + size_t(c)];
        }
        return n;
    }

private:
    QPointF m_origin;
    int m_columns, m_rows;
    std::vector<char> m_cells;
};

// The rectangle of size beside anchor on the side alignment names, gap away.
QRectF beside(const QPointF &anchor, const QSizeF &size, Qt::Alignment alignment, double gap)
{
    double x = anchor.x() - size.width() / 2, y = anchor.y() - size.height() / 2;
    if (alignment & Qt::AlignLeft)
        x = anchor.x() - gap - size.width();
    else if (alignment & Qt::AlignRight)
        x = anchor.x() + gap;
    if (alignment & Qt::AlignTop)
        y = anchor.y() - gap - size.height();
    else if (alignment & Qt::AlignBottom)
        y = anchor.y() + gap;
    return QRectF(QPointF(x, y), size);
}

// The rectangle of size across the line through anchor (along it: step)
// from the anchor, on the side alignment names, its nearest corner gap away
// from the line: the label faces its segment's middle at any slope.
QRectF across(const QPointF &anchor, const QSizeF &size, const QPointF &step, Qt::Alignment alignment, double gap)
{
    const double length = std::hypot(step.x(), step.y());
    QPointF normal(-step.y() / length, step.x() / length);
    const QPointF toward((alignment & Qt::AlignLeft)    ? -1
                         : (alignment & Qt::AlignRight) ? 1
                                                        : 0,
                         (alignment & Qt::AlignTop)      ? -1
                         : (alignment & Qt::AlignBottom) ? 1
                                                         : 0);
    if (QPointF::dotProduct(normal, toward) < 0)
        normal = -normal;
    const double reach = gap + std::abs(normal.x()) * size.width() / 2 + std::abs(normal.y()) * size.height() / 2;
    const QPointF centre = anchor + normal * reach;
    return QRectF(centre.x() - size.width() / 2, centre.y() - size.height() / 2, size.width(), size.height());
}

// rect moved the least distance that brings it inside area (its top left
// corner inside, when it is larger).
QRectF inside(QRectF rect, const QRectF &area)
{
    rect.moveLeft(std::max(area.left(), std::min(rect.left(), area.right() - rect.width())));
    rect.moveTop(std::max(area.top(), std::min(rect.top(), area.bottom() - rect.height())));
    return rect;
}

double overlap(const QRectF &a, const QRectF &b)
{
    const QRectF common = a.intersected(b);
    return common.isEmpty() ? 0.0 : common.width() * common.height();
}

// One point per cell of the label grid over the canvas: the placing asks only
// whether a cell holds something, so a million points come down to the cells
// of the canvas.
class CellPoints
{
public:
    CellPoints(const QRectF &canvasRect, double cell)
        : m_canvas(canvasRect), m_cell(cell), m_columns(std::max(1, int(std::ceil(canvasRect.width() / cell)))),
          m_rows(std::max(1, int(std::ceil(canvasRect.height() / cell)))),
          m_taken(size_t(m_columns) * size_t(m_rows), 0)
    { }
    // Keeps pixel if it is on the canvas and the first in its cell.
    void add(const QPointF &pixel)
    {
        const double c = (pixel.x() - m_canvas.left()) / m_cell, r = (pixel.y() - m_canvas.top()) / m_cell;
        // Also false for a NaN (a pick not drawn).
        if (!(c >= 0 && c < m_columns && r >= 0 && r < m_rows))
            return;
        char &cell = m_taken[size_t(r) * size_t(m_columns) + size_t(c)];
        if (!cell)
            m_points.append(pixel);
        cell = 1;
    }
    QVector<QPointF> points() const { return m_points; }

private:
    QRectF m_canvas;
    double m_cell;
    int m_columns;
    int m_rows;
    std::vector<char> m_taken;
    QVector<QPointF> m_points;
};

} // namespace

PlotLabels::PlotLabels()
{
    setItemAttribute(QwtPlotItem::Legend, false);
    setItemAttribute(QwtPlotItem::AutoScale, false);
}

void PlotLabels::setLabels(const QVector<Label> &labels)
{
    m_labels = labels;
    m_placed.rects.clear();
    itemChanged();
}

void PlotLabels::setObstacles(const QVector<QPointF> &points)
{
    m_obstacles = points;
    m_placed.rects.clear();
    itemChanged();
}

void PlotLabels::setRings(const QVector<QPointF> &points)
{
    m_rings = points;
    m_placed.rects.clear();
    itemChanged();
}

void PlotLabels::setObstacleLines(const QVector<QVector<QPointF>> &lines)
{
    m_lines = lines;
    m_placed.rects.clear();
    itemChanged();
}

QVector<QRectF> PlotLabels::place(const QVector<QSizeF> &sizes, const QVector<QPointF> &anchors,
                                  const QVector<Qt::Alignment> &preferred, const QVector<QPointF> &obstacles,
                                  const QRectF &area, double spacing, const QVector<QPointF> &linePixels,
                                  const QVector<QPointF> &alongs)
{
    const ObstacleGrid grid(area, obstacles), lineGrid(area, linePixels);
    const Qt::Alignment sides[] = {Qt::AlignBottom | Qt::AlignRight,  Qt::AlignBottom | Qt::AlignLeft,
                                   Qt::AlignTop | Qt::AlignRight,     Qt::AlignTop | Qt::AlignLeft,
                                   Qt::AlignRight | Qt::AlignVCenter, Qt::AlignLeft | Qt::AlignVCenter,
                                   Qt::AlignTop | Qt::AlignHCenter,   Qt::AlignBottom | Qt::AlignHCenter};
    QVector<QRectF> placed;
    for (int k = 0; k < sizes.size(); ++k) {
        const QPointF step = alongs.value(k);
        const bool onLine = std::isfinite(step.x()) && std::isfinite(step.y()) && !step.isNull();
        // Zero stands for the place across the line, tried first.
        QVector<Qt::Alignment> order;
        if (onLine)
            order.append(Qt::Alignment());
        order.append(preferred.value(k));
        for (Qt::Alignment side : sides) {
            if (side != preferred.value(k))
                order.append(side);
        }
        QRectF best;
        double bestCost = -1.0;
        for (double gap : {spacing, 3 * spacing, 6 * spacing}) {
            for (Qt::Alignment side : qAsConst(order)) {
                // Across the line, the gap is kept from every cell the line
                // is looked up in, not only from its pixels.
                const QRectF wanted =
                    side ? beside(anchors.at(k), sizes.at(k), side, gap)
                         : across(anchors.at(k), sizes.at(k), step, preferred.value(k), gap + LineRadius + Cell / 2.0);
                const QRectF rect = inside(wanted, area);
                // Another label weighs most, then the picks under it, then
                // how far the canvas's edge pushed it off its anchor.
                double cost = 0.0;
                for (const QRectF &other : qAsConst(placed)) {
                    const double covered = overlap(rect, other);
                    cost += covered > 0.0 ? CoverCost + 100.0 * covered : 0.0;
                }
                cost += PickCellCost * grid.count(rect.adjusted(-PickRadius, -PickRadius, PickRadius, PickRadius));
                cost += LineCellCost * lineGrid.count(rect.adjusted(-LineRadius, -LineRadius, LineRadius, LineRadius));
                cost += (rect.topLeft() - wanted.topLeft()).manhattanLength();
                cost += DistanceCost * (gap - spacing);
                // Across its line it is on its side by construction, though it
                // may reach past the anchor's offset under the line.
                if (side && acrossAnchor(rect, anchors.at(k), preferred.value(k)))
                    cost += WrongSideCost;
                if (bestCost < 0 || cost < bestCost) {
                    best = rect;
                    bestCost = cost;
                }
                if (cost == 0.0)
                    break;
            }
            if (bestCost == 0.0)
                break;
        }
        placed.append(best);
    }
    return placed;
}

QVector<QPointF> PlotLabels::obstaclePixels(const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                                            const QRectF &canvasRect) const
{
    CellPoints cells(canvasRect, Cell);
    for (const QPointF &p : m_obstacles)
        cells.add(QPointF(xMap.transform(p.x()), yMap.transform(p.y())));
    // A ring as dots around its pick: the text would cut through it.
    for (const QPointF &p : m_rings) {
        const QPointF centre(xMap.transform(p.x()), yMap.transform(p.y()));
        for (const QPointF &step : {QPointF(-1, -1), QPointF(-1, 1), QPointF(1, -1), QPointF(1, 1)})
            cells.add(centre + step * RingReach);
    }
    return cells.points();
}

QVector<QPointF> PlotLabels::linePixels(const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                                        const QRectF &canvasRect) const
{
    // A point every half cell along each segment marks every cell it crosses.
    CellPoints cells(canvasRect, Cell);
    for (const QVector<QPointF> &line : m_lines) {
        for (int k = 1; k < line.size(); ++k) {
            const QPointF a(xMap.transform(line.at(k - 1).x()), yMap.transform(line.at(k - 1).y()));
            const QPointF b(xMap.transform(line.at(k).x()), yMap.transform(line.at(k).y()));
            const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
            if (!std::isfinite(length))
                continue;
            // Steps bounded, for a segment zoomed far beyond the canvas.
            const int steps = int(std::min(std::ceil(2.0 * length / Cell), 100000.0));
            for (int s = 0; s <= steps; ++s)
                cells.add(steps > 0 ? a + (b - a) * (double(s) / steps) : a);
        }
    }
    return cells.points();
}

void PlotLabels::draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                      const QRectF &canvasRect) const
{
    if (m_labels.isEmpty())
        return;
    const double maps[8] = {xMap.s1(), xMap.s2(), xMap.p1(), xMap.p2(), yMap.s1(), yMap.s2(), yMap.p1(), yMap.p2()};
    const bool placed = !m_placed.rects.isEmpty() && std::equal(std::begin(maps), std::end(maps), m_placed.maps) &&
                        m_placed.canvas == canvasRect && m_placed.font == painter->font();
    if (!placed) {
        QVector<QSizeF> sizes;
        QVector<QPointF> anchors;
        QVector<Qt::Alignment> preferred;
        QVector<QPointF> alongs;
        for (const Label &label : m_labels) {
            alongs.append(label.along.isNull()
                              ? QPointF()
                              : QPointF(xMap.transform(label.anchor.x() + label.along.x()),
                                        yMap.transform(label.anchor.y() + label.along.y())) -
                                    QPointF(xMap.transform(label.anchor.x()), yMap.transform(label.anchor.y())));
            sizes.append(label.text.textSize(painter->font()));
            anchors.append(QPointF(xMap.transform(label.anchor.x()), yMap.transform(label.anchor.y())));
            preferred.append(label.preferred);
        }
        std::copy(std::begin(maps), std::end(maps), m_placed.maps);
        m_placed.canvas = canvasRect;
        m_placed.font = painter->font();
        m_placed.rects = place(sizes, anchors, preferred, obstaclePixels(xMap, yMap, canvasRect), canvasRect, Spacing,
                               linePixels(xMap, yMap, canvasRect), alongs);
    }
    for (int k = 0; k < m_labels.size(); ++k)
        m_labels.at(k).text.draw(painter, m_placed.rects.at(k));
}

} // namespace FbView
