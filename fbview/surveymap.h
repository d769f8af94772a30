#ifndef SURVEYMAP_H
#define SURVEYMAP_H

#include "pickqc.h"

#include <qwt_interval.h>
#include <qwt_plot.h>

#include <QHash>
#include <QPointF>
#include <QVector>

class QwtPlotRescaler;
class SurveyItem;

// Sources and receivers of a survey in map view at equal axis scale. Each
// source is coloured by a per-shot value, shown on a colour bar; the current
// shot's source and receivers stand out. A click on a source reports its
// shot, and the tracker names the shot under the mouse.
//
// Drawing is one pass over the points that keeps one point per pixel (the
// highest value wins, so shots with findings stay visible), so a survey of
// tens of thousands of sources redraws in milliseconds. Sources are found
// under the mouse through a grid of cells, not by a scan of all of them.
class SurveyMap : public QwtPlot
{
    Q_OBJECT

public:
    enum ColorBy { Outliers, RmsResidual, Picks };

    explicit SurveyMap(QWidget *parent = nullptr);
    ~SurveyMap() override;

    // shots: one summary per shot, in file order; receivers: distinct
    // positions. Both are copied.
    void setSurvey(const PickQc::ShotSummaries &shots, const QVector<QPointF> &receivers);
    void setColorBy(ColorBy colorBy);
    ColorBy colorBy() const { return m_colorBy; }
    void setCurrentShot(int shot, const QVector<QPointF> &shotReceivers);

    // The shot whose source lies nearest a canvas pixel, within a few
    // pixels; -1 when none does.
    int shotAt(const QPoint &canvasPos) const;
    // The canvas pixel of a shot's source.
    QPoint canvasPosOf(int shot) const;

signals:
    void shotClicked(int shot);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateColors();
    void fitSurvey();
    quint64 cellKey(qint64 ix, qint64 iy) const { return (quint64(quint32(ix)) << 32) | quint32(iy); }

    SurveyItem *m_item = nullptr;
    QwtPlotRescaler *m_rescaler = nullptr;   // keeps both axes at one scale
    PickQc::ShotSummaries m_shots;
    ColorBy m_colorBy = Outliers;
    // Grid of source positions: sources sorted by cell, and each cell's run.
    QRectF m_bounds;
    double m_cellSize = 1.0;
    QVector<int> m_cellSources;
    QHash<quint64, QPair<int, int>> m_cells;
    QPoint m_pressPos;
};

#endif // SURVEYMAP_H
