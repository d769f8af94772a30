#ifndef FBQC_WORKERPOOL_H
#define FBQC_WORKERPOOL_H

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace FbQc {

// The threads of one QC pass: started once, given the parts of one task
// after another, stopped when the pass ends. The thread that waits for a
// task runs its parts too, so a pool of one thread starts none and does
// everything on the caller's thread, in order.
//
// Parts may run in any order on any thread; what a task computes must not
// depend on which, so that results are the same for every pool size.
//
//   WorkerPool pool(QThread::idealThreadCount());
//   WorkerPool::Task fits(shots.size(), [&](size_t k) { fit(shots[k]); });
//   pool.post(&fits);        // the other threads start on it
//   ... read the next block meanwhile ...
//   pool.wait(&fits);        // helps, then returns when every part is done
class WorkerPool
{
public:
    class Task
    {
    public:
        Task(size_t parts, std::function<void(size_t part)> run) : m_parts(parts), m_run(std::move(run)) { }
        size_t parts() const { return m_parts; }

    private:
        friend class WorkerPool;
        // Runs one part if any is left; false when none is.
        bool runOne();
        size_t m_parts;
        std::function<void(size_t)> m_run;
        std::atomic<size_t> m_next{0};
        std::atomic<size_t> m_done{0};
        int m_users = 0; // pool threads inside it; under the pool's mutex
    };

    // threads: all threads of the pool, the caller's included (at least 1).
    explicit WorkerPool(int threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    int threads() const { return int(m_workers.size()) + 1; }

    // Offers the task's parts to the pool's threads. The task must live
    // until wait() returns for it.
    void post(Task *task);
    // Runs parts of task on this thread until none is left, then waits for
    // those other threads run.
    void wait(Task *task);

private:
    void work();

    std::vector<std::thread> m_workers;
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::condition_variable m_finished;
    std::deque<Task *> m_tasks;
    bool m_stop = false;
};

} // namespace FbQc

#endif // FBQC_WORKERPOOL_H
