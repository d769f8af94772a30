#include <fbqc/workerpool.h>

#include <system_error>

namespace FbQc {

bool WorkerPool::Task::runOne()
{
    const size_t part = m_next.fetch_add(1, std::memory_order_relaxed);
    if (part >= m_parts)
        return false;
    m_run(part);
    m_done.fetch_add(1, std::memory_order_acq_rel);
    return true;
}

WorkerPool::WorkerPool(int threads)
{
    for (int k = 1; k < threads; ++k) {
        try {
            m_workers.emplace_back(&WorkerPool::work, this);
        } catch (const std::system_error &) {
            // Fewer threads than asked: the others share the work.
            break;
        }
    }
}

WorkerPool::~WorkerPool()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_posted.notify_all();
    for (std::thread &t : m_workers)
        t.join();
}

void WorkerPool::post(Task *task)
{
    if (m_workers.empty() || task->m_parts == 0)
        return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_tasks.push_back(task);
    }
    m_posted.notify_all();
}

void WorkerPool::wait(Task *task)
{
    while (task->runOne()) { }
    std::unique_lock<std::mutex> lock(m_mutex);
    // Done, and no pool thread still holds it: then it may go.
    m_finished.wait(
        lock, [task] { return task->m_done.load(std::memory_order_acquire) == task->m_parts && task->m_users == 0; });
    for (auto it = m_tasks.begin(); it != m_tasks.end(); ++it) {
        if (*it == task) {
            m_tasks.erase(it);
            break;
        }
    }
}

void WorkerPool::work()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_posted.wait(lock, [this] { return m_stop || !m_tasks.empty(); });
        if (m_stop)
            return;
        Task *task = m_tasks.front();
        if (task->m_next.load(std::memory_order_relaxed) >= task->m_parts) {
            // Every part taken: the task leaves the queue; its waiter
            // finishes it.
            m_tasks.pop_front();
            continue;
        }
        ++task->m_users;
        lock.unlock();
        while (task->runOne()) { }
        lock.lock();
        --task->m_users;
        m_finished.notify_all();
    }
}

} // namespace FbQc
