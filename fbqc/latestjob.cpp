#include <fbqc/latestjob.h>

#include <QThreadPool>

#include <condition_variable>
#include <mutex>

using namespace FbFile;

namespace FbQc {

namespace {

// The workers of every job. A static pool waits for its threads when it is
// destroyed, at the process's end or when the library is unloaded. It never
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

// Work crosses to a worker through the pool's queue, whose lock a thread
// checker cannot see inside Qt; this release and acquire make the hand-over
// of everything the work was given visible to it.
std::atomic_uint handedOver{0};

class HandedOver : public QRunnable
{
public:
    explicit HandedOver(std::function<void()> work) : m_work(std::move(work)) { setAutoDelete(true); }
    void run() override
    {
        handedOver.load(std::memory_order_acquire);
        m_work();
        // What the work holds goes with it, here rather than on another thread.
        m_work = nullptr;
    }

private:
    std::function<void()> m_work;
};

void startOnWorker(std::function<void()> work)
{
    auto *runnable = new HandedOver(std::move(work));
    handedOver.fetch_add(1, std::memory_order_release);
    workers()->start(runnable);
}

} // namespace

// Shared by the owner and its workers; the owner lets go of it as it ends.
struct LatestJob::Queue
{
    std::mutex mutex;
    std::condition_variable idle;             // running fell to 0
    LatestJob *owner = nullptr;               // null once the owner is gone
    std::shared_ptr<Ticket::Request> waiting; // Serial: the next request to run
    bool working = false;                     // Serial: a worker drains the queue
    int running = 0;                          // requests whose work runs now
};

struct LatestJob::Ticket::Request
{
    std::atomic_bool cancelled{false};
    std::shared_ptr<Queue> queue;
    std::function<void(const Ticket &)> task;
};

LatestJob::Ticket::Ticket(std::shared_ptr<Request> request) : m_request(std::move(request)) { }

bool LatestJob::Ticket::cancelled() const
{
    return m_request->cancelled;
}

Progress LatestJob::Ticket::progress() const
{
    const Ticket ticket = *this;
    return Progress(
        [ticket](int percent) {
            ticket.deliver(
                [ticket, percent] {
                    if (LatestJob *owner = ticket.m_request->queue->owner)
                        emit owner->progressChanged(percent);
                },
                false);
        },
        &m_request->cancelled);
}

void LatestJob::Ticket::post(std::function<void()> f) const
{
    deliver(std::move(f), false);
}

void LatestJob::Ticket::finish(std::function<void()> f) const
{
    deliver(std::move(f), true);
}

void LatestJob::Ticket::deliver(std::function<void()> f, bool last) const
{
    const std::shared_ptr<Request> request = m_request;
    // Held while posting, so that the owner cannot be destroyed meanwhile;
    // an event posted to it is discarded with it.
    const std::lock_guard<std::mutex> lock(request->queue->mutex);
    LatestJob *owner = request->queue->owner;
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

LatestJob::LatestJob(Mode mode, QObject *parent, Ending ending)
    : QObject(parent), m_mode(mode), m_ending(ending), m_queue(std::make_shared<Queue>())
{
    m_queue->owner = this;
}

LatestJob::~LatestJob()
{
    cancel();
    std::unique_lock<std::mutex> lock(m_queue->mutex);
    m_queue->owner = nullptr;
    m_queue->waiting.reset();
    if (m_ending == Wait)
        m_queue->idle.wait(lock, [this] { return m_queue->running == 0; });
}

void LatestJob::cancel()
{
    if (!m_current)
        return;
    m_current->cancelled = true;
    m_current.reset();
}

void LatestJob::start(std::function<void(const Ticket &)> task)
{
    cancel();
    auto request = std::make_shared<Ticket::Request>();
    request->queue = m_queue;
    request->task = std::move(task);
    m_current = request;
    if (m_mode == Concurrent) {
        startOnWorker([request] { execute(request); });
        return;
    }
    const std::lock_guard<std::mutex> lock(m_queue->mutex);
    if (m_queue->working) {
        // What waited before is superseded and never runs.
        m_queue->waiting = std::move(request);
        return;
    }
    m_queue->working = true;
    startOnWorker([queue = m_queue, request]() mutable { drain(queue, std::move(request)); });
}

// Runs one request's work unless it was dropped before it began, counted
// as running meanwhile for an owner that waits.
void LatestJob::execute(const std::shared_ptr<Ticket::Request> &request)
{
    Queue &queue = *request->queue;
    {
        const std::lock_guard<std::mutex> lock(queue.mutex);
        if (request->cancelled || !queue.owner) {
            request->task = nullptr;
            return;
        }
        ++queue.running;
    }
    request->task(Ticket(request));
    // What the task holds goes with it, here rather than on the UI thread.
    request->task = nullptr;
    const std::lock_guard<std::mutex> lock(queue.mutex);
    if (--queue.running == 0)
        queue.idle.notify_all();
}

// Runs a serial job's requests one after another on one worker: the one it
// was started with, then each latest waiting one, until none waits.
void LatestJob::drain(const std::shared_ptr<Queue> &queue, std::shared_ptr<Ticket::Request> request)
{
    for (;;) {
        execute(request);
        const std::lock_guard<std::mutex> lock(queue->mutex);
        request = std::move(queue->waiting);
        if (!request) {
            queue->working = false;
            return;
        }
    }
}

} // namespace FbQc
