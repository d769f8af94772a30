#ifndef FBVIEW_STATIONAXIS_H
#define FBVIEW_STATIONAXIS_H

#include <fbfile/fblayout.h>
#include <fbqc/pickqc.h>
#include <fbqc/pointgrid.h>
#include <fbqc/receiverlines.h>
#include <fbfile/progress.h>
#include <fbfile/shotindex.h>

#include <QColor>
#include <QCoreApplication>
#include <QHash>
#include <QString>
#include <QVector>

class QwtPlot;
class QwtPlotMarker;
class QwtScaleDraw;
class QwtScaleEngine;

namespace FbView {

// The axis the survey-wide views share: where each receiver, each pick's
// receiver and each shot's source lies along the receiver stations, so that
// a receiver's mean residual, a reciprocal difference and a pick's residual
// of any shot land in the same column.
//
// - Stations: the coordinate of a receiver is its station number (g_stat).
//   One receiver line keeps its numbers as they are; several lines are laid
//   side by side in line order, each shifted so that it starts a gap after
//   the one before (the labels still read each line's own stations).
// - Distance: when the file leaves stations unset (every receiver carries
//   one and the same station number), the coordinate is the distance along
//   the survey's main direction (the receivers' principal axis), from the
//   first receiver, in the file's coordinate unit. Receiver lines standing
//   apart (a patch, told apart by FbQc::ReceiverLines) are laid side by
//   side as numbered lines are, each by the distance along the lines.
//
// A shot's source lies at the station its (s_line, s_stat) names when that
// is a receiver line and the station lies within its stations (or a station
// past either end), else at the receiver nearest its position (a source
// between stations, or on a source line of its own); with Distance, at its
// position's distance on one line, at the receiver nearest it on several.
// NaN where a source or a pick cannot be placed
// (coordinates that are not finite, a line no receiver carries).
//
// Built on any thread (the QC window builds it on its loading thread);
// copies share the data. Costs a float per shot and a double per receiver
// (the report's receivers are shared when they are in the axis's order);
// a few tenths of a second for ten million shots.
//
//   StationAxis axis = StationAxis::build(report);            // any thread
//   double column = axis.sourceAt(shot);                       // NaN: nowhere
//   QString text = axis.describe(axis.pickAt(record));         // "station 57"
class StationAxis
{
    Q_DECLARE_TR_FUNCTIONS(StationAxis)

public:
    enum Kind { Stations, Distance };

    // The receivers of a report (Report::stations, which Settings::
    // collectReceivers fills) and its shots' sources. Cancel is looked at
    // every million shots; once asked, the build stops and leaves the axis
    // empty.
    static StationAxis build(const FbQc::Report &report, const FbFile::Progress &progress = FbFile::Progress());

    Kind kind() const { return m_kind; }
    bool isEmpty() const { return m_receivers.isEmpty(); }
    // One column's width: 1 station, or the median receiver spacing.
    double cellWidth() const { return m_cellWidth; }
    // The usual gap between neighbouring sources' columns (their median
    // over the first 100,000 shots), at least cellWidth(): the width of a
    // column of sources.
    double sourceSpacing() const { return m_sourceSpacing; }
    // The span of every receiver's and source's coordinate; 0..1 when none.
    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }

    // The receivers, ordered by coordinate (then line and station).
    const QVector<FbQc::StationResidual> &receivers() const { return m_receivers; }
    double receiverAt(int receiver) const { return m_receiverCoordinates.at(receiver); }
    // The first receiver whose coordinate is at least `coordinate`.
    int lowerBound(double coordinate) const;

    int shotCount() const { return m_sources.size(); }
    double sourceAt(int shot) const { return m_origin + double(m_sources.at(shot)); }
    // Where a pick's receiver lies; NaN when it cannot be placed.
    double pickAt(const FbFile::FbRecord &record) const;

    // The axis's title: "Receiver station" or "Distance along the line",
    // the distance naming the coordinates' unit when one is set.
    QString title() const;
    void setLengthUnit(const QString &unit) { m_lengthUnit = unit; }
    // A tick's text: the station (of its own line when lines lie side by
    // side; empty in the gap between two) or the distance.
    QString label(double coordinate) const;
    // A coordinate in words: "station 57", "line 2, station 57", "1,250.0
    // along the line" or "line 2, 1,250.0 along the line".
    QString describe(double coordinate) const;
    // Where each receiver line starts and its number, when several lie side
    // by side; empty otherwise.
    QVector<QPair<double, qint32>> lineStarts() const;
    // A scale draw whose ticks read label(); owned by the plot it is given to.
    QwtScaleDraw *scaleDraw() const;
    // A scale engine whose ticks, where lines lie side by side, stand at
    // round stations of each line (1000, 1050 on every line) rather than
    // at round coordinates, which read as odd stations shifted by each
    // line's place; owned by the plot it is given to.
    QwtScaleEngine *scaleEngine() const;
    // The ticks between lower and upper (coordinates) at multiples of step:
    // with lines side by side, each line's stations that are multiples of
    // step (step at least 1), at their coordinates; else coordinates.
    QList<double> ticks(double lower, double upper, double step) const;

    // Up to `count` shots whose sources lie nearest `coordinate`, nearest
    // first (the lower shot of equals): the shots most likely to have
    // recorded a receiver there. One pass over the shots.
    QVector<int> shotsNearest(double coordinate, int count) const;
    // A shot that recorded receiver (of receivers()) and the file record of
    // its pick there: `preferred` when it did, else one of the shots nearest
    // it, found by reading them (at most `tries`). False when none of those
    // holds it.
    bool findRecording(const QString &fileName, const QVector<FbFile::ShotIndexEntry> &index, int receiver, int *shot,
                       qint32 *record, int preferred = -1, int tries = 32) const;

private:
    struct Line
    {
        qint32 line = 0;
        double first = 0.0; // station, or distance along the lines
        double last = 0.0;
        double base = 0.0; // coordinate = base + station (or distance)
    };
    // Each receiver's coordinate, as Stations and Distance lay them out.
    QVector<double> layLines(const QVector<FbQc::StationResidual> &receivers);
    QVector<double> layDistances(const QVector<FbQc::StationResidual> &receivers);
    QVector<double> fitLine(const QVector<FbQc::StationResidual> &receivers);
    // Sets each line's base, a gap after the one before, and its index.
    void placeLines();
    // Each shot's source, the span and the sources' spacing; false when
    // Cancel was asked.
    bool placeSources(const FbQc::ShotSummaries &shots, const FbFile::Progress &progress);
    const Line *lineOf(double coordinate) const;
    double along(float x, float y) const;
    double nearestReceiver(float x, float y);

    Kind m_kind = Stations;
    QString m_lengthUnit;
    QVector<FbQc::StationResidual> m_receivers;
    QVector<double> m_receiverCoordinates;
    QVector<float> m_sources; // per shot, less m_origin; NaN where none
    double m_origin = 0.0;
    double m_minimum = 0.0;
    double m_maximum = 1.0;
    double m_cellWidth = 1.0;
    double m_sourceSpacing = 1.0;
    // The lines side by side, by number, and where each is in m_lines.
    QVector<Line> m_lines;
    QHash<qint32, int> m_lineIndex;
    // Distance: the main direction through a point, and on several lines,
    // each line's place (line k of m_positionLines is m_lines[k]).
    double m_pointX = 0.0, m_pointY = 0.0, m_dirX = 1.0, m_dirY = 0.0;
    FbQc::ReceiverLines m_positionLines;
    // The receivers' positions binned, for the nearest to a source while
    // sources are placed (made when first asked).
    QVector<QPointF> m_positions;
    FbQc::PointGrid m_grid;
    bool m_gridBuilt = false;
};

// What the survey-wide views share besides the axis.
namespace StationViews {

// A signed time that is late (positive) or early: the ends of the views'
// diverging colours, 0 white between them.
QColor late();
QColor early();
// The colour of value on a diverging scale of -reach..reach.
QColor diverging(double value, double reach);
// Scales one axis of a plot about a canvas pixel; below 1 zooms in.
void zoomAxis(QwtPlot *plot, int axis, int canvasPixel, double factor);
// Sets how many labels the plot's station axis (its bottom axis) holds side
// by side, from the canvas's width and the axis's font; true when that
// changed, and the plot is to be drawn again. Called as the plot resizes.
bool fitLabelBudget(QwtPlot *plot, const StationAxis &axis);
// Where each receiver line starts, when several lie side by side: a dotted
// line attached to plot, and captionLines() names the lines.
QList<QwtPlotMarker *> markLines(QwtPlot *plot, const StationAxis &axis);
// Names each receiver line in view ("Line 101") on the plot's top axis, over
// the middle of its part in view; no top axis with a single line.
void captionLines(QwtPlot *plot, const StationAxis &axis);

} // namespace StationViews

} // namespace FbView

#endif // FBVIEW_STATIONAXIS_H
