#include "progress.h"

#include <algorithm>

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
        const int percent = m_from + int(f * (m_to - m_from));
        int last = m_shared->last.load(std::memory_order_relaxed);
        // Only the thread that moves the value on reports it, so a percent
        // is never reported twice or out of order.
        while (percent > last) {
            if (m_shared->last.compare_exchange_weak(last, percent)) {
                m_shared->observer(percent);
                break;
            }
        }
    }
    return !cancelled();
}

bool Progress::reportPercent(int percent) const
{
    return report(std::clamp(percent, 0, 100), 100);
}

Progress Progress::part(int fromPercent, int toPercent) const
{
    Progress p = *this;
    const int span = m_to - m_from;
    p.m_from = m_from + span * std::clamp(fromPercent, 0, 100) / 100;
    p.m_to = m_from + span * std::clamp(toPercent, 0, 100) / 100;
    return p;
}
