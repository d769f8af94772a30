#include "backgroundtask.h"

BackgroundTask::BackgroundTask(QObject *parent)
    : QObject(parent)
    , m_job(LatestJob::Concurrent, nullptr, LatestJob::Wait)
{
    connect(&m_job, &LatestJob::progressChanged, this, &BackgroundTask::progressChanged);
}

// m_job, a member, waits for the workers as it is destroyed, before the
// members their work uses.
BackgroundTask::~BackgroundTask() = default;

void BackgroundTask::start(Work work)
{
    m_job.run<Done>(
        [work = std::move(work)](const LatestJob::Ticket &ticket) {
            const ::Progress progress = ticket.progress();
            return work([progress](int percent) { progress.reportPercent(percent); }, ticket.cancelFlag());
        },
        [this](const Done &done) {
            if (done)
                done();
            emit finished();
        });
}

void BackgroundTask::cancel()
{
    m_job.cancel();
}
