#ifndef FBVIEW_PLOTLABELS_H
#define FBVIEW_PLOTLABELS_H

#include <qwt_plot_item.h>
#include <qwt_text.h>

#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QVector>

namespace FbView {

// Text labels of a plot, each beside an anchor point (a segment's middle,
// the intercept), placed when drawn so that they stay whole inside the
// canvas, do not cover one another and keep off the given points (the
// picks) and lines (the fitted curve) where they can.
//
// A label of a line (a segment's velocity) tries first the place facing
// its anchor across the line, on its preferred side, so that it sits beside
// the segment whichever way and however steeply it runs. Each label then
// tries its preferred side of the anchor, then the seven other sides, then
// the same places farther out, twice; it takes the first place that is
// free, or else the one with the least in its way (a place farther out
// counting its distance, so that a label keeps near its segment), and is
// finally moved inside the canvas. A label that prefers the left or the
// right of its anchor (one side of the spread's) stays on that side unless
// it would cover another label there, so it keeps its side at every image
// size. Labels are placed in the order given.
//
//   labels->setLabels({{QPointF(x, t), text, Qt::AlignBottom | Qt::AlignRight}});
//   labels->setObstacles(pickPoints);   // plot coordinates; NaN ones are skipped
//   labels->setObstacleLines({negativeCurve, positiveCurve});
//
// The places are kept until the labels, the obstacles, the scales, the
// canvas or the font change: a plot of a million picks repaints (a
// selection, a partner, a hover) without placing its labels again.
class PlotLabels : public QwtPlotItem
{
public:
    struct Label
    {
        QPointF anchor; // plot coordinates
        QwtText text;
        Qt::Alignment preferred; // the side of the anchor it would rather sit on
        // The line the anchor lies on, as a step along it in plot
        // coordinates; none for a point. A label of a line sits first across
        // it from its middle, on the preferred side, whatever its slope.
        QPointF along;
    };

    PlotLabels();

    void setLabels(const QVector<Label> &labels);
    const QVector<Label> &labels() const { return m_labels; }
    // Where the last drawing put each label, in canvas pixels; empty until drawn.
    const QVector<QRectF> &placed() const { return m_placed.rects; }
    void setObstacles(const QVector<QPointF> &points);
    // Points drawn ringed (outliers), kept off as far as their rings reach.
    void setRings(const QVector<QPointF> &points);
    // Polylines in plot coordinates, kept off as the points are.
    void setObstacleLines(const QVector<QVector<QPointF>> &lines);

    int rtti() const override { return QwtPlotItem::Rtti_PlotUserItem + 1; }
    void draw(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
              const QRectF &canvasRect) const override;

    // The placing itself, in pixels: a rectangle of `sizes[k]` for each
    // anchor, inside area, given the obstacle pixels: points drawn as dots
    // and the pixels lines pass through. spacing is the gap between an
    // anchor and its label. alongs: each anchor's line as a step along it
    // in pixels, null for a point.
    static QVector<QRectF> place(const QVector<QSizeF> &sizes, const QVector<QPointF> &anchors,
                                 const QVector<Qt::Alignment> &preferred, const QVector<QPointF> &obstacles,
                                 const QRectF &area, double spacing, const QVector<QPointF> &linePixels = {},
                                 const QVector<QPointF> &alongs = {});

private:
    // The canvas pixels of the obstacles, one per cell the placing looks up.
    QVector<QPointF> obstaclePixels(const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRectF &canvasRect) const;
    // The canvas pixels the lines pass through, one per cell.
    QVector<QPointF> linePixels(const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRectF &canvasRect) const;

    // What the last placing was made for, and its result.
    struct Placed
    {
        double maps[8] = {};
        QRectF canvas;
        QFont font;
        QVector<QRectF> rects;
    };

    QVector<Label> m_labels;
    QVector<QPointF> m_obstacles;
    QVector<QPointF> m_rings;
    QVector<QVector<QPointF>> m_lines;
    mutable Placed m_placed; // rects empty: none placed yet
};

} // namespace FbView

#endif // FBVIEW_PLOTLABELS_H
