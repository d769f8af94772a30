#ifndef FBFILE_PROGRESS_H
#define FBFILE_PROGRESS_H

#include <QtGlobal>

#include <atomic>
#include <functional>
#include <memory>

namespace FbFile {

// The one progress-and-cancel contract of long work, from the block reader
// up to the views: the work says how far it got, the caller says whether to
// go on.
//
//   std::atomic_bool cancel{false};
//   Progress progress([](int percent) { ... }, &cancel);
//   for (...) { if (!progress.report(done, total)) return false; }  // cancelled
//
// - report(done, total) hands the observer the percent (0 to 100) when it
//   moves, never twice the same value, and returns false once Cancel was
//   asked; work that gets false stops and says so (its errorString()).
// - cancelled() is cheap and safe from any thread: pool workers ask it.
// - part(from, to) maps 0..100 of a step onto from..to of the whole job,
//   sharing the observer and the cancel flag, so a job of several steps
//   reports one rising percent.
// - A default Progress reports nowhere and is never cancelled.
// Copies share their state. The observer runs on the reporting thread (a
// window forwards it with a queued signal); when several threads report
// through one Progress, each percent still reaches it at most once.
class Progress
{
public:
    using Observer = std::function<void(int percent)>;

    Progress() = default;
    explicit Progress(Observer observer, const std::atomic_bool *cancel = nullptr);
    // Cancel only, for work whose caller shows no progress.
    static Progress cancelOnly(const std::atomic_bool *cancel);

    bool cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }
    // Reports done/total (total <= 0 reports nothing) and returns !cancelled().
    bool report(qint64 done, qint64 total) const;
    // The same with a percent already worked out (clamped to 0..100).
    bool reportPercent(int percent) const;

    Progress part(int fromPercent, int toPercent) const;
    // The same cancel with no percent reported, for a step whose caller
    // shows none (quick work inside a job that otherwise reports).
    Progress silent() const { return cancelOnly(m_cancel); }

private:
    // Hands percent to the observer when it is past the last one.
    void deliver(int percent) const;
    struct Shared
    {
        Observer observer;
        std::atomic_int last{-1};
    };
    std::shared_ptr<Shared> m_shared;
    const std::atomic_bool *m_cancel = nullptr;
    int m_from = 0;
    int m_to = 100;
};

} // namespace FbFile

#endif // FBFILE_PROGRESS_H
