#ifndef BACKGROUNDJOB_H
#define BACKGROUNDJOB_H

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

// Work of one kind that the QC window hands off the UI thread: judging a
// file or judging it again, reading and fitting a shot, sorting the problem
// list. The latest request wins: a new one supersedes the one before, whose
// result is dropped, and cancel() drops the current one. Nothing here ever
// waits for a worker on the UI thread: a superseded or cancelled job runs
// until it next looks at its ticket (or to its end, for work that cannot
// look) and ends on its own, even after its owner is gone.
//
// Serial jobs (a shot's records) run one at a time: a request made while
// one runs waits, and only the latest waiting one runs, so that holding
// Page Down over giant shots never piles up reads. Concurrent jobs (a
// file's pass, whose cancelled predecessor stops within milliseconds)
// start at once.
//
// Promises: done runs on the owner's thread, only for the latest request
// and only while the owner lives; once done or cancel() ran, no post of
// that request arrives. The workers are a pool of this library's own,
// which the process (or the plug-in's unloading) waits for as it ends, so
// that no worker outlives the code it runs.
//
//   BackgroundJob job(BackgroundJob::Serial);
//   job.run<Shot>([file](const BackgroundJob::Ticket &t) { return read(file, t); },
//                 [this](Shot shot) { show(std::move(shot)); });
class BackgroundJob : public QObject
{
public:
    enum Mode { Serial, Concurrent };

    // What a job's work sees of its request.
    class Ticket
    {
    public:
        // The request was superseded or cancelled: its result is not wanted.
        bool cancelled() const;
        // The same, as the flag the QC pass polls.
        const std::atomic_bool *cancelFlag() const;
        // Runs f on the owner's thread while the request is still the latest
        // (progress, for instance).
        void post(std::function<void()> f) const;

    private:
        friend class BackgroundJob;
        struct Request;
        explicit Ticket(std::shared_ptr<Request> request);
        // Posts f as the request's end: the request stops being the current one.
        void finish(std::function<void()> f) const;
        void deliver(std::function<void()> f, bool last) const;
        std::shared_ptr<Request> m_request;
    };

    explicit BackgroundJob(Mode mode, QObject *parent = nullptr);
    // Cancels the current request; never waits.
    ~BackgroundJob() override;

    // Starts work(ticket) on a worker and, when it returns, done(result) on
    // this object's thread, unless superseded or cancelled meanwhile.
    template <typename Result, typename Work, typename Done>
    void run(Work work, Done done)
    {
        start([work = std::move(work), done = std::move(done)](const Ticket &ticket) mutable {
            auto result = std::make_shared<Result>(work(ticket));
            if (!ticket.cancelled())
                ticket.finish([done, result] { done(std::move(*result)); });
        });
    }
    void cancel();
    // A request whose result is still awaited.
    bool isRunning() const { return bool(m_current); }

private:
    struct Queue;
    void start(std::function<void(const Ticket &)> task);
    static void drain(const std::shared_ptr<Queue> &queue, std::shared_ptr<Ticket::Request> request);

    const Mode m_mode;
    std::shared_ptr<Queue> m_queue;
    std::shared_ptr<Ticket::Request> m_current;
};

#endif // BACKGROUNDJOB_H
