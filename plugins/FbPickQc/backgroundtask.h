#ifndef BACKGROUNDTASK_H
#define BACKGROUNDTASK_H

#include "latestjob.h"

#include <QObject>

#include <atomic>
#include <functional>

// One piece of long work at a time off the UI thread, for the QC window's
// editing (judging edited shots, writing a corrected copy, exporting and
// importing picks): a LatestJob that waits for its workers on destruction,
// with the work's progress and end as signals.
//
// Promises: progressChanged() moves while the work runs; when the work
// ends and was not cancelled, the function it returned runs on the task's
// thread, then finished() is emitted, in that order, once per start().
// cancel() takes effect at once for the caller: nothing of that run
// arrives afterwards, and the work stops at its next look at the flag.
// start() while a run is under way cancels it first without waiting for
// it. The destructor cancels and waits for every worker still running.
//
// Usage:
//   task.start([name](const BackgroundTask::Progress &progress, const std::atomic_bool *cancel) {
//       const bool ok = doWork(name, progress, cancel);   // on the worker
//       return BackgroundTask::Done([ok] { show(ok); });  // back on the task's thread
//   });
class BackgroundTask : public QObject
{
    Q_OBJECT

public:
    using Progress = std::function<void(int percent)>;
    using Done = std::function<void()>;
    using Work = std::function<Done(const Progress &progress, const std::atomic_bool *cancel)>;

    explicit BackgroundTask(QObject *parent = nullptr);
    ~BackgroundTask() override;

    void start(Work work);
    void cancel();
    bool isRunning() const { return m_job.isRunning(); }

signals:
    void progressChanged(int percent);
    void finished();

private:
    LatestJob m_job;
};

#endif // BACKGROUNDTASK_H
