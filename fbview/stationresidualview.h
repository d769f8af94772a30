#ifndef FBVIEW_STATIONRESIDUALVIEW_H
#define FBVIEW_STATIONRESIDUALVIEW_H

#include <fbview/stationaxis.h>

#include <fbview/viewplot.h>

#include <QPoint>
#include <QString>

class QwtPlotCurve;
class QwtPlotMarker;

namespace FbView {

class ReceiverItem;

// Each receiver's mean residual across every shot that recorded it, against
// its station (or its distance along the line when stations are unset): a
// bad receiver or a receiver static is off the zero line in every shot and
// stands out here, where one wrong pick does not. The rms residual of the
// same picks is a grey band about zero, so a receiver whose mean reaches the
// band's edge is off by a constant, and one with a wide band about a small
// mean is noisy. Receivers whose mean is beyond the caller's threshold (the
// QC window gives half the outlier threshold) are drawn larger and on top,
// red when late, blue when early; means beyond the view sit at its edge.
//
// The mouse wheel zooms the station axis about the pointer (up zooms in),
// the middle button pans along it, hovering over a receiver shows its line,
// station, position, mean and rms residual and picks, and a click on one
// reports it, so that the caller can go to a shot that recorded it.
//
// Drawing is one pass over the receivers in view that keeps one point per
// pixel (and the widest band per pixel column), so millions of receivers
// redraw in tens of milliseconds; on screen the result is kept until the
// view changes.
//
//   view->setAxis(StationAxis::build(report));
//   view->setThreshold(settings.outlierMs / 2);
//   connect(view, &StationResidualView::receiverClicked, ...);
class StationResidualView : public ViewPlot
{
    Q_OBJECT

public:
    // Pixels across a receiver beyond the threshold, and any other.
    static constexpr int ProblemSize = 8;
    static constexpr int PointSize = 3;

    explicit StationResidualView(QWidget *parent = nullptr);
    ~StationResidualView() override;
    // Also sets as many station labels as the width holds.
    void updateLayout() override;

    // Shows every receiver of the axis, the whole line in view.
    void setAxis(const StationAxis &axis);
    const StationAxis &stationAxis() const { return m_axis; }
    // |mean residual| above ms stands out (ms >= 0).
    void setThreshold(double ms);
    double threshold() const { return m_threshold; }
    // Whether a receiver's mean is beyond the threshold.
    bool standsOut(int receiver) const;
    // The whole line again.
    void resetView();

    // The receiver (of stationAxis().receivers()) drawn nearest a canvas
    // pixel, within a few pixels; -1 when none is.
    int receiverAt(const QPoint &canvasPos) const;
    // The canvas pixel of a receiver's mean.
    QPoint canvasPosOf(int receiver) const;
    // Its tool tip: line and station, position, mean and rms, picks.
    QString receiverText(int receiver) const;

signals:
    void receiverClicked(int receiver, qint32 line, qint32 station);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateThresholdItems();
    // The mean's pixel row, kept within the canvas.
    int rowOf(double mean) const;

    StationAxis m_axis;
    double m_threshold = 4.0;
    double m_reach = 1.0; // of the data: |mean| or rms, nearly all
    ReceiverItem *m_item = nullptr;
    QwtPlotMarker *m_lines[3] = {};   // zero, -threshold, +threshold
    QwtPlotCurve *m_beyond = nullptr; // its legend entry
    QList<QwtPlotMarker *> m_lineStarts;
};

} // namespace FbView

#endif // FBVIEW_STATIONRESIDUALVIEW_H
