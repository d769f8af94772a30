#ifndef QCLOADER_H
#define QCLOADER_H

#include "pickqc.h"
#include "problemmodel.h"
#include "stationaxis.h"
#include "surveymapdata.h"

#include <QObject>
#include <QPointF>
#include <QString>
#include <QVector>

#include <atomic>
#include <memory>

class QThread;

// What the QC window holds of a file once it is judged: the report (index,
// per-shot summaries, findings, the distinct receiver positions), the
// findings as the problem list shows them, and the survey map's data and
// the survey-wide views' station axis built from them. Never a pick per
// record of the whole file.
struct QcData
{
    QString fileName;
    PickQc::Report report;
    ProblemList problems;
    SurveyMapData map;
    StationAxis stations;

    // fb_count agrees with the records the file holds.
    bool complete() const { return qint64(report.header.fb_count) == report.recordCount; }
};

// Runs the QC pass (one read of the file, receivers collected as it goes),
// the problem list, the survey map's data and the station axis of one file
// on a worker thread, so that the window keeps responding.
//
// Promises: progressChanged() moves 0..100 while it runs; exactly one of
// loaded(), failed() ends a run that was not cancelled. cancel() takes effect
// at once for the caller: no signal of that run arrives afterwards, and the
// worker stops within a few milliseconds on its own. start() while a run is
// under way cancels that run first. The destructor cancels and waits.
//
// Usage:
//   QcLoader loader;
//   connect(&loader, &QcLoader::loaded, ...);
//   loader.start(fileName, settings);
class QcLoader : public QObject
{
    Q_OBJECT

public:
    explicit QcLoader(QObject *parent = nullptr);
    ~QcLoader() override;

    void start(const QString &fileName, const PickQc::Settings &settings);
    void cancel();
    bool isRunning() const { return m_running; }

signals:
    void progressChanged(int percent);
    void loaded(std::shared_ptr<const QcData> data);
    void failed(const QString &message);

private:
    struct Run;
    void finishThread();
    static void work(const std::shared_ptr<Run> &run, QcLoader *loader);

    std::shared_ptr<Run> m_run;
    QThread *m_thread = nullptr;
    bool m_running = false;
};

#endif // QCLOADER_H
