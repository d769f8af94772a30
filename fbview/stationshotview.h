#ifndef FBVIEW_STATIONSHOTVIEW_H
#define FBVIEW_STATIONSHOTVIEW_H

#include <fbqc/pickqc.h>
#include <fbview/stationaxis.h>
#include <fbview/stationshotbuilder.h>

#include <fbview/viewplot.h>

#include <QPoint>
#include <QString>
#include <QVector>

#include <memory>

class QTimer;
class QwtPlotMarker;

namespace FbView {

class StationShotItem;

// An image of the survey, receiver stations across and shots down, each cell
// coloured by a signed time on a diverging bar (0 white, late red, early
// blue), empty cells grey. Two kinds of value:
// - Differences: every compared reciprocal pair (A, B) of the QC report
//   gives two cells: at A's row and B's source station, A's time there
//   minus B's time at A's source; at B's row and A's source station, the
//   same the other way round. Each is the difference the pair check
//   judged (with buried sources' depths taken into account), so a pair it
//   calls clean is never coloured as late. A shot whose picks are late is
//   a red row and a blue column at its source station; a late partner
//   shows as the opposite. Made from the report alone, without reading
//   the file.
// - Residuals: each judged pick's residual at its shot and its receiver's
//   station, for the shots in view (at most ResidualShots of them around
//   the current shot, or the middle of the view when the current shot is
//   out of it). They are read and fitted on the builder's worker thread
//   whenever the view, while shown, moves past the shots built; the image
//   shows what was built last until the newest run arrives.
// The bar spans the threshold of the kind (the reciprocity tolerance, the
// outlier threshold); values beyond it are full colour.
//
// The mouse wheel zooms about the pointer (up zooms in), the middle button
// pans, hovering over a cell shows its shot, station and value, and a click
// on one reports the shot, its place on the axis and the pick's record
// when the cell is a pick's. The current shot's row is outlined.
//
// Drawing is one pass over the cells in view that keeps, per pixel, the
// value farthest from 0, so that a late shot of thousands stays visible.
//
//   view->setSurvey(axis, report.index());                 // any number of shots
//   view->setDifferences(report);
//   view->setResidualSource(fileName, settings);          // what Residuals reads
//   view->setKind(StationShotView::Residuals);
//   view->setCurrentShot(shot);
class StationShotView : public ViewPlot
{
    Q_OBJECT

public:
    enum Kind { Differences, Residuals };
    // Shots the residual image holds at once.
    static constexpr int ResidualShots = 2000;

    explicit StationShotView(QWidget *parent = nullptr);
    ~StationShotView() override;
    // Also sets as many station labels as the width holds.
    void updateLayout() override;

    // The stations and the shots (rows, numbered from 1 as the viewer
    // numbers them); clears the values.
    void setSurvey(const StationAxis &axis, const QVector<FbFile::ShotIndexEntry> &index);
    // The compared pairs of the report as its pair check judged them, and
    // its reciprocity tolerance (ms).
    void setDifferences(const FbQc::Report &report);
    // The file the residuals are read from and how its picks are judged.
    void setResidualSource(const QString &fileName, const FbQc::Settings &settings);
    // Residual cells built elsewhere (fbtool builds them at once), shown as
    // they are; nothing is read for this view afterwards.
    void setResidualCells(const StationShotCells &cells);
    void setKind(Kind kind);
    Kind kind() const { return m_kind; }
    void setCurrentShot(int shot);
    int currentShot() const { return m_current; }
    // Every shot and station in view.
    void resetView();

    // The residual cells shown, and whether newer ones are being built.
    const StationShotCells &residualCells() const { return *m_cells; }
    bool isBuilding() const { return m_builder.isBusy(); }

    // A cell of the kind shown.
    struct Cell
    {
        int shot = -1; // -1: no cell
        double coordinate = qQNaN();
        float value = 0.0f;       // ms
        qint32 record = -1;       // the pick's, for a residual
        int partner = -1;         // the other shot, for a difference
        float asPicked = qQNaN(); // a difference before the sources' depths are taken into account
    };
    // The cell under a canvas pixel (the nearest in its row within a few
    // pixels); shot -1 when there is none.
    Cell cellAt(const QPoint &canvasPos) const;
    // The canvas pixel of a shot's row at a place on the axis.
    QPoint canvasPosOf(int shot, double coordinate) const;
    // A cell's tool tip: shot and ffid, station, value (and partner).
    QString cellText(const Cell &cell) const;

signals:
    void cellClicked(int shot, double coordinate, qint32 record);
    // New residual cells are shown.
    void residualsShown();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void onResiduals(std::shared_ptr<const StationShotCells> cells);
    // Asks for the residuals of the shots in view when they are not built.
    void requestResiduals();
    void updateBar();
    void updateFooter();
    double rowOf(int shot) const { return shot + 1; }

    StationAxis m_axis;
    QVector<FbFile::ShotIndexEntry> m_index;
    Kind m_kind = Differences;
    int m_current = -1;
    double m_toleranceMs = 5.0;
    double m_outlierMs = 8.0;
    bool m_readable = false; // a residual source is set
    std::shared_ptr<const StationShotCells> m_cells;
    int m_requestedFirst = 0, m_requestedLast = -1;
    StationShotBuilder m_builder;
    StationShotItem *m_item = nullptr;
    QList<QwtPlotMarker *> m_lineStarts;
    QTimer *m_viewMoved = nullptr;
};

} // namespace FbView

#endif // FBVIEW_STATIONSHOTVIEW_H
