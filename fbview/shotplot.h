#ifndef SHOTPLOT_H
#define SHOTPLOT_H

#include "fblayout.h"
#include "pickqc.h"

#include <qwt_plot.h>

#include <QColor>
#include <QVector>

class QwtPlotCurve;
class QwtPlotMarker;
class QwtPlotPanner;
class QwtPlotZoomer;

// One shot's picks against signed offset: each pick in its status colour,
// the fitted first-break curve of each side, outliers ringed, the selected
// pick marked. Time may be reduced by a velocity (t - |x| / V). Left drag
// zooms, right click steps the zoom back, middle drag pans; a click on a
// point reports its row.
//
// A pick's signed offset is its offset with the sign of its side, so that a
// file storing only offsets >= 0 still shows the two sides apart.
class ShotPlot : public QwtPlot
{
    Q_OBJECT

public:
    explicit ShotPlot(QWidget *parent = nullptr);

    void setShot(const QVector<FbRecord> &records, const PickQc::ShotFit &fit, const QString &title);
    // Velocity in offset unit per second; 0 or less plots plain time.
    void setReductionVelocity(double velocity);
    double reductionVelocity() const { return m_velocity; }
    // Marks the pick of row, or nothing for -1.
    void setSelectedRow(int row);
    int selectedRow() const { return m_selected; }
    void resetZoom();

    // Plot position of a row's pick (signed offset, possibly reduced time).
    QPointF pickPoint(int row) const;
    // The row whose pick lies nearest to a canvas pixel, within a few pixels;
    // -1 when none does.
    int rowAt(const QPoint &canvasPos) const;

signals:
    void rowClicked(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuild();
    void updateSelection();
    double reduced(double absOffset, double time) const;

    QVector<FbRecord> m_records;
    PickQc::ShotFit m_fit;
    double m_velocity = 0.0;
    int m_selected = -1;
    // Above this many picks a shot is drawn as plain dots.
    static constexpr int DenseShot = 5000;
    // The viewer's status colours, opaque so that the dots read on white.
    const QColor m_colors[3] = {QColor(0, 200, 0), QColor(255, 0, 255), QColor(255, 0, 0)};
    bool m_dense = false;
    QVector<QPointF> m_points;        // per row; NaN time for a non-finite pick
    QwtPlotCurve *m_status[3] = {};
    QwtPlotCurve *m_rings = nullptr;
    QwtPlotCurve *m_model[2] = {};
    QwtPlotMarker *m_selection = nullptr;
    QwtPlotZoomer *m_zoomer = nullptr;
    QwtPlotPanner *m_panner = nullptr;
    QPoint m_pressPos;
};

#endif // SHOTPLOT_H
