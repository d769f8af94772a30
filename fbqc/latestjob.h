#ifndef FBQC_LATESTJOB_H
#define FBQC_LATESTJOB_H

#include <fbfile/progress.h>

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

namespace FbQc {

// The one way work leaves the UI thread for a while (judging a file,
// reading and fitting a shot, sorting a list, building an image, writing a
// copy): the latest request wins, and its result is delivered to the
// owner's thread.
//
// - run() supersedes the request before, whose result is dropped; cancel()
//   drops the current one. Work sees both through its ticket (cancelled(),
//   or the Progress it reports through) and should stop when asked.
// - done(result) runs on the owner's thread, only for the latest request
//   and only while the owner lives; once done or cancel() ran, nothing of
//   that request arrives. Progress reported through ticket.progress()
//   arrives as progressChanged() under the same rule.
// - Serial jobs run one request at a time: one made while another runs
//   waits, and only the latest waiting one runs (holding Page Down over
//   giant shots never piles up reads). Concurrent jobs start each request
//   at once (a cancelled pass stops within milliseconds anyway).
// - On destruction the current request is cancelled, then, by the policy
//   given: DontWait returns at once and the work ends on its own; Wait
//   blocks until no request of this job runs, for work that uses what the
//   owner's owner is about to free. Work must never wait for the owner's
//   thread, or Wait deadlocks.
// The workers are a pool shared by every job, which the process (or the
// unloading of the library that holds it) waits for as it ends, so that no
// worker outlives the code it runs. Results never depend on which worker
// runs a request.
//
//   LatestJob job(LatestJob::Serial, this);
//   job.run<Shot>([file](const LatestJob::Ticket &t) { return read(file, t.progress()); },
//                 [this](Shot shot) { show(std::move(shot)); });
class LatestJob : public QObject
{
    Q_OBJECT

public:
    enum Mode { Serial, Concurrent };
    enum Ending { DontWait, Wait };

    // What a job's work sees of its request.
    class Ticket
    {
    public:
        // The request was superseded or cancelled: its result is not wanted.
        bool cancelled() const;
        // Reports to the owner's progressChanged() while the request is the
        // latest, and says when to stop.
        FbFile::Progress progress() const;
        // Runs f on the owner's thread while the request is still the latest.
        void post(std::function<void()> f) const;

    private:
        friend class LatestJob;
        struct Request;
        explicit Ticket(std::shared_ptr<Request> request);
        // Posts f as the request's end: the request stops being the current one.
        void finish(std::function<void()> f) const;
        void deliver(std::function<void()> f, bool last) const;
        std::shared_ptr<Request> m_request;
    };

    explicit LatestJob(Mode mode, QObject *parent = nullptr, Ending ending = DontWait);
    ~LatestJob() override;

    // Starts work(ticket) on a worker and, when it returns, done(result) on
    // this object's thread, unless superseded or cancelled meanwhile.
    template<typename Result, typename Work, typename Done>
    void run(Work work, Done done)
    {
        start([work = std::move(work), done = std::move(done)](const Ticket &ticket) mutable {
            auto result = std::make_shared<Result>(work(ticket));
            // Handed over whole: only the owner's thread touches the result
            // from here on, moves it and frees it.
            if (!ticket.cancelled())
                ticket.finish([done, result = std::move(result)] { done(std::move(*result)); });
        });
    }
    void cancel();
    // A request whose result is still awaited.
    bool isRunning() const { return bool(m_current); }

signals:
    void progressChanged(int percent);

private:
    struct Queue;
    void start(std::function<void(const Ticket &)> task);
    static void execute(const std::shared_ptr<Ticket::Request> &request);
    static void drain(const std::shared_ptr<Queue> &queue, std::shared_ptr<Ticket::Request> request);

    const Mode m_mode;
    const Ending m_ending;
    std::shared_ptr<Queue> m_queue;
    std::shared_ptr<Ticket::Request> m_current;
};

} // namespace FbQc

#endif // FBQC_LATESTJOB_H
