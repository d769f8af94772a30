#include "backgroundjob.h"

#include <QThreadPool>

#include <mutex>

namespace {

// The workers of every job. A static pool waits for its threads when it is
// destroyed, at the process's end or when the plug-in is unloaded. It never
// makes a request wait for a free thread: a cancelled pass or a giant shot's
// fit may still hold one for a second or two.
QThreadPool *workers()
{
    static QThreadPool pool;
    static const bool configured = [] {
        pool.setMaxThreadCount(64);
        pool.setExpiryTimeout(10000);
        return true;
    }();
    Q_UNUSED(configured);
    return &pool;
}

} // namespace

// Shared by the owner and its workers; the owner lets go of it as it ends.
struct BackgroundJob::Queue
{
    std::mutex mutex;
    BackgroundJob *owner = nullptr;                  // null once the owner is gone
    std::shared_ptr<Ticket::Request> waiting;        // Serial: the next request to run
    bool working = false;                            // Serial: a worker drains the queue
};

struct BackgroundJob::Ticket::Request
{
    std::atomic_bool cancelled{false};
    std::shared_ptr<Queue> queue;
    std::function<void(const Ticket &)> task;
};

BackgroundJob::Ticket::Ticket(std::shared_ptr<Request> request)
    : m_request(std::move(request))
{
}

bool BackgroundJob::Ticket::cancelled() const
{
    return m_request->cancelled;
}

const std::atomic_bool *BackgroundJob::Ticket::cancelFlag() const
{
    return &m_request->cancelled;
}

void BackgroundJob::Ticket::post(std::function<void()> f) const
{
    deliver(std::move(f), false);
}

void BackgroundJob::Ticket::finish(std::function<void()> f) const
{
    deliver(std::move(f), true);
}

void BackgroundJob::Ticket::deliver(std::function<void()> f, bool last) const
{
    const std::shared_ptr<Request> request = m_request;
    // Held while posting, so that the owner cannot be destroyed meanwhile;
    // an event posted to it is discarded with it.
    const std::lock_guard<std::mutex> lock(request->queue->mutex);
    BackgroundJob *owner = request->queue->owner;
    if (!owner || request->cancelled)
        return;
    QMetaObject::invokeMethod(
        owner,
        [owner, request, last, f = std::move(f)] {
            if (owner->m_current != request)
                return;
            if (last)
                owner->m_current.reset();
            f();
        },
        Qt::QueuedConnection);
}

BackgroundJob::BackgroundJob(Mode mode, QObject *parent)
    : QObject(parent)
    , m_mode(mode)
    , m_queue(std::make_shared<Queue>())
{
    m_queue->owner = this;
}

BackgroundJob::~BackgroundJob()
{
    cancel();
    const std::lock_guard<std::mutex> lock(m_queue->mutex);
    m_queue->owner = nullptr;
    m_queue->waiting.reset();
}

void BackgroundJob::cancel()
{
    if (!m_current)
        return;
    m_current->cancelled = true;
    m_current.reset();
}

void BackgroundJob::start(std::function<void(const Ticket &)> task)
{
    cancel();
    auto request = std::make_shared<Ticket::Request>();
    request->queue = m_queue;
    request->task = std::move(task);
    m_current = request;
    if (m_mode == Concurrent) {
        workers()->start([request] {
            if (!request->cancelled)
                request->task(Ticket(request));
            request->task = nullptr;
        });
        return;
    }
    const std::lock_guard<std::mutex> lock(m_queue->mutex);
    if (m_queue->working) {
        // What waited before is superseded and never runs.
        m_queue->waiting = std::move(request);
        return;
    }
    m_queue->working = true;
    workers()->start([queue = m_queue, request]() mutable { drain(queue, std::move(request)); });
}

// Runs a serial job's requests one after another on one worker: the one it
// was started with, then each latest waiting one, until none waits.
void BackgroundJob::drain(const std::shared_ptr<Queue> &queue, std::shared_ptr<Ticket::Request> request)
{
    for (;;) {
        if (!request->cancelled)
            request->task(Ticket(request));
        // What the task holds goes with it, here rather than on the UI thread.
        request->task = nullptr;
        const std::lock_guard<std::mutex> lock(queue->mutex);
        request = std::move(queue->waiting);
        if (!request) {
            queue->working = false;
            return;
        }
    }
}
