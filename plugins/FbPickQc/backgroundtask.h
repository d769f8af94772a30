#ifndef BACKGROUNDTASK_H
#define BACKGROUNDTASK_H

#include <QList>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

// One piece of long work at a time on a worker thread, for the QC window's
// editing (judging edited shots, writing a corrected copy, exporting and
// importing picks): the work reports 0..100 and checks a cancel flag, and
// what it hands back runs on the task's own thread once it is done.
//
// Promises: progressChanged() moves while the work runs; when the work
// ends and was not cancelled, the function it returned runs on the task's
// thread, then finished() is emitted, in that order, once per start().
// cancel() takes effect at once for the caller: nothing of that run
// arrives afterwards, and the work stops at its next look at the flag (a
// work that never looks runs to its end unseen). start() while a run is
// under way cancels it first without waiting for it. The destructor
// cancels and waits for every worker still running.
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
    bool isRunning() const { return m_running; }

signals:
    void progressChanged(int percent);
    void finished();

private:
    struct Run;
    std::shared_ptr<Run> m_run;
    QList<QPointer<QThread>> m_threads;   // workers not yet finished and deleted
    bool m_running = false;
};

#endif // BACKGROUNDTASK_H
