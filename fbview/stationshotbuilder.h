#ifndef FBVIEW_STATIONSHOTBUILDER_H
#define FBVIEW_STATIONSHOTBUILDER_H

#include <fbqc/latestjob.h>
#include <fbqc/qcsettings.h>
#include <fbfile/shotindex.h>
#include <fbview/stationaxis.h>

#include <QObject>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>

namespace FbView {

// Every judged pick's residual (time - fitted curve) of a run of shots, at
// its shot and its receiver's place on a StationAxis: the cells of the
// station-versus-shot image of residuals. Rows hold their picks in record
// order; a pick whose receiver cannot be placed, or that is not judged
// (rejected, not picked, a side too thin to fit), has no cell.
struct StationShotCells
{
    struct Cell
    {
        double coordinate = 0.0; // on the axis
        float value = 0.0f;      // ms
        qint32 record = 0;       // the pick's file record
    };
    int firstShot = 0;
    int lastShot = -1;        // firstShot - 1 when empty
    QVector<qint32> rowStart; // per shot firstShot..lastShot, then one more
    QVector<Cell> cells;

    bool isEmpty() const { return lastShot < firstShot; }
    bool holds(int shot) const { return shot >= firstShot && shot <= lastShot; }
    // The cells of one shot within the run, as [begin, end).
    const Cell *begin(int shot) const { return cells.constData() + rowStart.at(shot - firstShot); }
    const Cell *end(int shot) const { return cells.constData() + rowStart.at(shot - firstShot + 1); }
};
} // namespace FbView

Q_DECLARE_TYPEINFO(FbView::StationShotCells::Cell, Q_PRIMITIVE_TYPE);

namespace FbView {

// Reads and fits runs of shots for the residual image off the UI thread (a
// serial LatestJob), so that the window never waits for it: only the latest
// request is built and delivered, and one superseded while it is built
// stops within one shot's fit. The same run always gives the same cells, on any thread
// (build() is what the worker calls; fbtool calls it directly).
//
// Promises: ready() arrives on the builder's thread, once per request that
// was not superseded (a newer request or setSource()), never for an older
// one. The destructor stops the worker and waits for it.
//
//   StationShotBuilder builder;
//   builder.setSource(fileName, report.index(), axis, settings);
//   connect(&builder, &StationShotBuilder::ready, view, ...);
//   builder.request(1000, 2999);
class StationShotBuilder : public QObject
{
    Q_OBJECT

public:
    // The most shots one request builds.
    static constexpr int MaxShots = 5000;

    explicit StationShotBuilder(QObject *parent = nullptr);
    ~StationShotBuilder() override;

    // Shots first..last (clipped to the index) of fileName, judged with
    // settings. Reads the shots a block of many at a time; a shot the file
    // no longer holds whole reads as zeros, and one too large to read has
    // no cells. Holds 16 bytes a judged pick. Reports the shots done before
    // each shot; empty when cancelled.
    static StationShotCells build(const QString &fileName, const QVector<FbFile::ShotIndexEntry> &index,
                                  const StationAxis &axis, const FbQc::Settings &settings, int first, int last,
                                  const FbFile::Progress &progress = FbFile::Progress());

    // What later requests read; supersedes any request under way.
    void setSource(const QString &fileName, const QVector<FbFile::ShotIndexEntry> &index, const StationAxis &axis,
                   const FbQc::Settings &settings);
    // Builds shots first..last (at most MaxShots from first); supersedes
    // any request under way.
    void request(int first, int last);
    // A request is under way or waits.
    bool isBusy() const { return m_job.isRunning(); }

signals:
    void ready(std::shared_ptr<const StationShotCells> cells);

private:
    // What requests read.
    struct Source
    {
        QString fileName;
        QVector<FbFile::ShotIndexEntry> index;
        StationAxis axis;
        FbQc::Settings settings;
    };
    Source m_source;
    FbQc::LatestJob m_job;
};

} // namespace FbView

#endif // FBVIEW_STATIONSHOTBUILDER_H
