#ifndef SHOTLOADER_H
#define SHOTLOADER_H

#include "pickedit.h"
#include <fbqc/pickqc.h>
#include <fbfile/shotindex.h>
#include "shottablemodel.h"
#include <fbview/shotplot.h>

#include <QObject>
#include <QPointF>
#include <QString>
#include <QVector>

#include <memory>

namespace FbQc {
class LatestJob;
}

// One shot of the QC window as it is shown: its records prepared for the
// table, its fit for the plot and its receivers for the map.
struct LoadedShot
{
    enum State {
        Judged,    // read and fitted, as the pass fitted it
        NotJudged, // more picks than the pass judges (reported too large): read, not fitted
        NotRead    // more picks than the window can hold: neither read nor fitted
    };
    int shot = -1;
    qint32 ffid = 0;
    qint64 picks = 0; // records the index gives the shot
    State state = Judged;
    FbQc::Settings settings; // what it was fitted with
    ShotTableModel::Shot table;
    QVector<QPointF> receivers; // for the map, at most ShotLoader::MapReceivers
    // The plot's points and labels of a judged shot in the view asked for;
    // null when none was asked for or the shot is not judged.
    std::shared_ptr<const FbView::ShotPlot::Drawn> plot;
};

// Reads and fits the QC window's current shot, and the picks of a
// reciprocal partner to compare it with, as the user's edits leave them, on
// workers: a shot of millions of picks takes seconds to read and fit, and
// its plot's point lists a good part of a second to build (request() builds
// them for the plot's view), and the window keeps responding meanwhile. The latest request wins (LatestJob::Serial): moving on
// before a shot arrives drops it, and a giant shot's read is never queued
// behind another.
//
// A shot is read only when it fits the window's budget: BytesPerPick for
// every pick (the record, its verdict, the plot's points, the map's
// receivers) against a quarter of the machine's physical memory, at least
// 512 MiB; and it is fitted only when it has at most the picks the pass
// judges (Settings::maxJudgedPicks), since the pass reported a larger one
// as too large to judge and left it unfitted.
//
//   connect(&loader, &ShotLoader::shotLoaded, this, &Window::showLoaded);
//   loader.request(fileName, report.index().at(shot), shot, report.settings);
class ShotLoader : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 BytesPerPick = 200;
    // A shot's receivers that the map highlights, evenly through the shot.
    static constexpr int MapReceivers = 10000;

    explicit ShotLoader(QObject *parent = nullptr);
    ~ShotLoader() override;

    void request(const QString &fileName, const FbFile::ShotIndexEntry &entry, int shot, const FbQc::Settings &settings,
                 const PickEdits &edits = {}, const FbView::ShotPlot::View &plotView = {});
    // The picks of shot `partner` with its own fit's height delays, as
    // ShotPlot::partner() gives them for ShotPlot::setPartnerPicks.
    void requestPartner(const QString &fileName, const FbFile::ShotIndexEntry &entry, int partner,
                        const FbQc::Settings &settings, const PickEdits &edits = {});
    void cancel();
    bool isLoading() const;

    static qint64 physicalMemory();
    static qint64 budgetBytes(qint64 physical = physicalMemory());
    // Does the work of request() on the calling thread.
    static LoadedShot load(const QString &fileName, const FbFile::ShotIndexEntry &entry, int shot,
                           const FbQc::Settings &settings, const PickEdits &edits = {}, qint64 budget = budgetBytes());

signals:
    void shotLoaded(std::shared_ptr<const LoadedShot> shot);
    void partnerLoaded(int partner, const FbView::ShotPlot::Partner &picks);

private:
    FbQc::LatestJob *m_shots;
    FbQc::LatestJob *m_partners;
};

#endif // SHOTLOADER_H
