#ifndef QCLOADER_H
#define QCLOADER_H

#include <fbfile/fbblockreader.h>
#include <fbqc/pickqc.h>
#include "problemmodel.h"
#include <fbfile/progress.h>
#include <fbview/stationaxis.h>
#include <fbview/surveymapdata.h>

#include <QObject>
#include <QString>

#include <memory>

namespace FbQc {
class LatestJob;
}

// What the QC window holds of a file once it is judged: the report (index,
// per-shot summaries, findings, the distinct receiver positions), the
// findings as the problem list shows them, and the survey map's data built
// from them. Never a pick per record of the whole file.
struct QcData
{
    QString fileName;
    // The file's state the report judged: edits are written only from it.
    FbFile::FbFileIdentity identity;
    FbQc::Report report;
    std::shared_ptr<const ProblemList> problems;
    FbView::SurveyMapData map;
    FbView::StationAxis stations; // of the survey-wide views
    int shotTextLength = 0;       // characters of the shot list's longest text

    // fb_count agrees with the records the file holds.
    bool complete() const { return qint64(report.header.fb_count) == report.recordCount; }
};

// Judges a file for the QC window on a worker thread, so that the window
// keeps responding: the QC pass (one read of the file, receivers collected
// as it goes), the problem list, the survey map's data and the station axis
// of the survey-wide views; or judges a
// loaded file again with other thresholds, without reading it, on a copy
// of its report (the window keeps showing the original meanwhile).
//
// Promises: progressChanged() moves 0..100 while a file is read; exactly one
// of loaded(), failed() ends a run that was not cancelled. cancel() takes
// effect at once for the caller: no signal of that run arrives afterwards.
// Nothing waits for the worker: a cancelled pass notices within
// milliseconds, or once the giant shot it is fitting is done, and ends on
// its own. start() or rejudge() while a run is under way cancels that run
// first; the destructor cancels and returns at once.
//
// Usage:
//   QcLoader loader;
//   connect(&loader, &QcLoader::loaded, ...);
//   loader.start(fileName, settings);
//   if (!loader.rejudge(data, 6.0, 4.0)) loader.start(fileName, newSettings);
class QcLoader : public QObject
{
    Q_OBJECT

public:
    explicit QcLoader(QObject *parent = nullptr);
    ~QcLoader() override;

    void start(const QString &fileName, const FbQc::Settings &settings);
    // Judges data again with new thresholds from what its pass kept
    // (FbQc::rejudge); false, starting nothing, when the outlier threshold
    // is below the report's candidate floor: the file must be read again.
    bool rejudge(const std::shared_ptr<const QcData> &data, double outlierMs, double reciprocityMs);
    void cancel();
    bool isRunning() const;

    // The copy rejudge() judges: every list and count of report but the
    // findings that judging with these thresholds makes anew. False, with
    // the reason, when a copy's spill to disk fails (or progress is cancelled).
    static bool copyForRejudging(const FbQc::Report &report, double outlierMs, double reciprocityMs, FbQc::Report *copy,
                                 QString *error, const FbFile::Progress &progress = FbFile::Progress());

signals:
    void progressChanged(int percent);
    void loaded(std::shared_ptr<const QcData> data);
    void failed(const QString &message);

private:
    FbQc::LatestJob *m_job;
};

#endif // QCLOADER_H
