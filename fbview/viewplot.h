#ifndef FBVIEW_VIEWPLOT_H
#define FBVIEW_VIEWPLOT_H

#include <qwt_plot.h>

#include <QImage>
#include <QRect>

#include <functional>

class QEvent;
class QPainter;
class QwtPlotPanner;
class QwtScaleMap;

namespace FbView {

// The base of every plot of the view library: a QwtPlot whose size hints
// come from its font rather than from laying out each axis's tick labels.
// Qwt answers a plot's size hints by measuring every label of every axis,
// some thousand allocations a call, and layouts ask again on each resize;
// a window of four plots spent most of its opening in them. The hints only
// ask for room for the axes and a readable canvas; a plot given more space
// uses it as any QwtPlot does.
//
// It also holds what the survey-wide views share: a text beside the mouse
// describing what is under it, and the key of a canvas image drawn once and
// reused until the scales or the canvas change.
//
//   class SurveyMap : public ViewPlot { ... };
//   trackWith([this](const QPoint &pos) { return shotText(shotAt(pos)); });
class ViewPlot : public QwtPlot
{
    Q_OBJECT

public:
    explicit ViewPlot(QWidget *parent = nullptr);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

    // Lays the plot out with every axis title on one line, in a smaller
    // font where the axis is shorter than the title at its own size, so
    // that a title never wraps and loses its unit.
    void updateLayout() override;

    // Titles a colour bar's axis: in Chinese (or another script written in
    // columns) the characters stand upright down the bar, else the title
    // turns with the bar as any axis title.
    void setBarTitle(int axis, const QString &text);

    // Whether painter draws on screen at the canvas's own pixels, where an
    // item may set pixels into an image it keeps; false for an export (a
    // vector file, a printer, an image at another scale), which gets the
    // points themselves.
    static bool onScreen(const QPainter *painter);

    // What a cached canvas image was drawn for: both scales' ranges and the
    // canvas area. An item redraws its image when the key differs.
    struct CanvasKey
    {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        QRect area;

        CanvasKey() = default;
        CanvasKey(const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRect &canvasArea);
        bool operator==(const CanvasKey &o) const;
        bool operator!=(const CanvasKey &o) const { return !(*this == o); }
    };

    // The image an item keeps of the canvas between paints on screen: drawn
    // again when the key differs or after clear() (the item's content
    // changed), else the one kept.
    //
    //   painter->drawImage(area.topLeft(), m_cache.image(key, [&] { return render(); }));
    class CanvasCache
    {
    public:
        const QImage &image(const CanvasKey &key, const std::function<QImage()> &draw);
        void clear() { m_image = QImage(); }

    private:
        QImage m_image;
        CanvasKey m_key;
    };

protected:
    // A panner on the middle mouse button; fixedAxis (an axis id, or -1 for
    // none) stays where it is.
    QwtPlotPanner *panWithMiddleButton(int fixedAxis = -1);
    // For a subclass's event filter on the canvas: true when event ends a
    // left click (released within a few pixels of its press, so a drag is
    // never a click), with where in *at.
    bool endsClick(QObject *watched, QEvent *event, QPoint *at);

    // Shows beside the mouse, over the canvas, what text says of the point
    // under it; nothing where it returns an empty string.
    void trackWith(std::function<QString(const QPoint &)> text);

private:
    // Sets each axis title on one line in the largest size up to its own
    // that fits its axis; true when one changed.
    bool fitAxisTitles();

    // Each axis title's own point size, before any fitting; 0 until seen.
    qreal m_titlePoints[QwtPlot::axisCnt] = {};
    QPoint m_pressPos;
};

} // namespace FbView

#endif // FBVIEW_VIEWPLOT_H
