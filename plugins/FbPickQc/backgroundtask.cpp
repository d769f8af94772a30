#include "backgroundtask.h"

#include <QThread>

struct BackgroundTask::Run
{
    std::atomic_bool cancel{false};
};

BackgroundTask::BackgroundTask(QObject *parent)
    : QObject(parent)
{
}

BackgroundTask::~BackgroundTask()
{
    cancel();
    for (const QPointer<QThread> &thread : qAsConst(m_threads)) {
        if (thread) {
            thread->wait();
            delete thread.data();
        }
    }
}

void BackgroundTask::start(Work work)
{
    cancel();
    m_threads.removeAll(QPointer<QThread>());
    m_run = std::make_shared<Run>();
    m_running = true;
    const std::shared_ptr<Run> run = m_run;
    // Results travel back as queued calls that check the run is still the
    // current one, so a cancelled run is silent; the task outlives its
    // workers (its destructor waits), so the calls never reach a dead object.
    QThread *thread = QThread::create([this, run, work] {
        int lastPercent = -1;
        const Progress progress = [this, run, &lastPercent](int percent) {
            if (percent == lastPercent)
                return;
            lastPercent = percent;
            QMetaObject::invokeMethod(this, [this, run, percent] {
                if (m_run == run)
                    emit progressChanged(percent);
            }, Qt::QueuedConnection);
        };
        const Done done = work(progress, &run->cancel);
        QMetaObject::invokeMethod(this, [this, run, done] {
            if (m_run != run)
                return;
            m_run.reset();
            m_running = false;
            if (done)
                done();
            emit finished();
        }, Qt::QueuedConnection);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_threads.append(thread);
    thread->start();
}

void BackgroundTask::cancel()
{
    if (m_run)
        m_run->cancel = true;
    m_run.reset();
    m_running = false;
}
