#ifndef FBVIEW_SURVEYMAP_H
#define FBVIEW_SURVEYMAP_H

#include <fbview/surveymapdata.h>

#include <fbview/viewplot.h>

#include <QPointF>
#include <QString>
#include <QVector>

#include <functional>

class QwtPlotRescaler;

namespace FbView {

class SurveyItem;

// Sources and receivers of a survey in map view at equal axis scale, axis
// labels in plain digits with thousands grouping. Each source is coloured
// by a per-shot value on a colour bar whose look follows the value's kind:
// steps with whole-number ticks for a count, a smooth bar for a measure, a
// bar diverging from 0 for a signed measure. Shots whose value is above 0
// (non-zero for a signed value) are drawn larger and on top, the highest
// last, so that they stay visible on a line of thousands of sources. The
// current shot's source is ringed and its receivers stand out.
//
// The mouse wheel zooms about the pointer (up zooms in), the middle button
// pans, a click on a source reports its shot, and hovering over one shows
// its number, position and what the caller's describer says of it. The map
// knows nothing of what the values mean.
//
// Drawing is one pass over the points that keeps one point per pixel, so a
// survey of millions of sources redraws in tens of milliseconds; on screen
// the result is kept until the view or the colours change. Sources are found
// under the mouse through the grid of SurveyMapData.
//
//   map->setSurvey(SurveyMapData::build(sources, receivers));
//   map->setValues({SurveyValues::Count, tr("Outliers per shot"), outliers});
//   map->setShotDescriber([](int shot) { return QStringLiteral("ffid %1").arg(ffids.at(shot)); });
class SurveyMap : public ViewPlot
{
    Q_OBJECT

public:
    // Pixels across a source whose value stands out, and any other source.
    static constexpr int ProblemSize = 8;
    static constexpr int SourceSize = 4;

    explicit SurveyMap(QWidget *parent = nullptr);
    ~SurveyMap() override;

    // The unit of the coordinates, named in the axis titles (m unless set).
    void setCoordinateUnit(const QString &unit);
    // Shows a survey whole; its sources have no value until setValues().
    void setSurvey(const SurveyMapData &data);
    const SurveyMapData &survey() const { return m_data; }
    // One value per shot of the survey (missing ones count as none).
    void setValues(const SurveyValues &values);
    // On screen, a survey of millions of points is drawn on a worker and
    // shown when ready, instead of holding up the UI thread (off unless set).
    void setDrawnOffThread(bool on);
    // Extra lines of a shot's tool tip (its ffid, its values).
    void setShotDescriber(std::function<QString(int shot)> describe);
    void setCurrentShot(int shot, const QVector<QPointF> &shotReceivers);

    // The shot whose source lies nearest a canvas pixel, within a few
    // pixels (the lowest shot of equals); -1 when none does.
    int shotAt(const QPoint &canvasPos) const;
    // The canvas pixel of a shot's source.
    QPoint canvasPosOf(int shot) const;
    // The tool tip of a shot: "Shot N", its position, then the describer's lines.
    QString shotText(int shot) const;

    // Both also set how many easting labels the canvas's width holds.
    void updateLayout() override;
    void replot() override;

signals:
    void shotClicked(int shot);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitSurvey();
    // Sets the easting label budget; true when it changed.
    bool fitEastingLabels();
    // Scales both axes about a canvas pixel; below 1 zooms in.
    void zoomAt(const QPoint &canvasPos, double factor);

    SurveyItem *m_item = nullptr;
    QwtPlotRescaler *m_rescaler = nullptr; // keeps both axes at one scale
    SurveyMapData m_data;
    std::function<QString(int)> m_describe;
};

} // namespace FbView

#endif // FBVIEW_SURVEYMAP_H
