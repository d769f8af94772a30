#ifndef FBVIEW_STEADYLEGEND_H
#define FBVIEW_STEADYLEGEND_H

#include <qwt_legend.h>

#include <QList>

class QwtPlot;
class QwtPlotItem;

namespace FbView {

// A plot legend that keeps room for every entry its plot may list, shown
// or not, so that an entry gained or lost (a shot's outliers, a threshold
// line on or off the scale) does not resize the canvas beside it. The plot
// names the entries to keep room for with reserve(), again whenever one of
// their titles or icons changes; the legend is then as wide and as high
// as the larger of those entries and the ones it shows need. Entries flow
// in rows like words, each taking only its own width.
//
//   auto *legend = new FbView::SteadyLegend;
//   plot->insertLegend(legend, QwtPlot::BottomLegend);
//   legend->reserve(plot, {statusCurve, outlierRings, fittedCurve});
class SteadyLegend : public QwtLegend
{
public:
    explicit SteadyLegend(QWidget *parent = nullptr);

    // Keeps room for the entries the items would show, whatever their
    // Legend attribute, and no longer for items reserved before and not
    // named now.
    void reserve(const QwtPlot *plot, const QList<const QwtPlotItem *> &items);

    QSize sizeHint() const override;
    int heightForWidth(int width) const override;
    void renderLegend(QPainter *painter, const QRectF &rect, bool fillBackground) const override;

protected:
    QWidget *createWidget(const QwtLegendData &data) const override;

private:
    QwtLegend *m_room; // never shown; lays the reserved entries out
    QList<QVariant> m_reserved;
};

} // namespace FbView

#endif // FBVIEW_STEADYLEGEND_H
