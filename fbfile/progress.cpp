#include <fbfile/progress.h>

#include <algorithm>

namespace FbFile {

Progress::Progress(Observer observer, const std::atomic_bool *cancel) : m_cancel(cancel)
{
    if (observer) {
        m_shared = std::make_shared<Shared>();
        m_shared->observer = std::move(observer);
    }
}

Progress Progress::cancelOnly(const std::atomic_bool *cancel)
{
    Progress p;
    p.m_cancel = cancel;
    return p;
}

bool Progress::report(qint64 done, qint64 total) const
{
    if (total > 0 && m_shared) {
        const double f = std::clamp(double(done) / double(total), 0.0, 1.0);
        deliver(m_from + int(f * (m_to - m_from)));
    }
    return !cancelled();
}

bool Progress::reportPercent(int percent) const
{
    // In whole numbers: a percent the work worked out itself reaches the
    // observer as it is, never one less through a rounded fraction.
    if (m_shared)
        deliver(m_from + std::clamp(percent, 0, 100) * (m_to - m_from) / 100);
    return !cancelled();
}

void Progress::deliver(int percent) const
{
    int last = m_shared->last.load(std::memory_order_relaxed);
    // Only the thread that moves the value on reports it, so a percent is
    // never reported twice or out of order.
    while (percent > last) {
        if (m_shared->last.compare_exchange_weak(last, percent)) {
            m_shared->observer(percent);
            break;
        }
    }
}

Progress Progress::part(int fromPercent, int toPercent) const
{
    Progress p = *this;
    const int span = m_to - m_from;
    p.m_from = m_from + span * std::clamp(fromPercent, 0, 100) / 100;
    p.m_to = m_from + span * std::clamp(toPercent, 0, 100) / 100;
    return p;
}

} // namespace FbFile
