#include "findinglist.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryFile>

#include <algorithm>

namespace PickQc {

namespace {

// About 24 MiB of findings per kind in memory: a few kinds at once then
// stay well inside what a pass may take.
constexpr qint64 DefaultBudget = qint64(1) << 19;

} // namespace

FindingList::FindingList()
    : m_budget(DefaultBudget)
{
}

FindingList::~FindingList() = default;

FindingList::FindingList(FindingList &&other) noexcept
{
    *this = std::move(other);
}

FindingList &FindingList::operator=(FindingList &&other) noexcept
{
    if (this == &other)
        return *this;
    m_budget = other.m_budget;
    m_size = other.m_size;
    m_head = std::move(other.m_head);
    m_tail = std::move(other.m_tail);
    m_spill = std::move(other.m_spill);
    m_error = std::move(other.m_error);
    m_cache.clear();
    m_cacheStart = -1;
    other.m_size = 0;
    other.m_head.clear();
    other.m_tail.clear();
    return *this;
}

void FindingList::setMemoryBudget(qint64 findings)
{
    m_budget = qMax<qint64>(PageFindings, findings);
}

void FindingList::reserve(qint64 findings)
{
    m_head.reserve(size_t(std::min(findings, m_budget)));
}

bool FindingList::append(const Finding &finding)
{
    if (!m_error.isEmpty())
        return false;
    if (qint64(m_head.size()) < m_budget) {
        m_head.push_back(finding);
        ++m_size;
        return true;
    }
    m_tail.push_back(finding);
    ++m_size;
    // What waits for the disk is a page, or at most what a finished pass
    // leaves behind before its list is first read.
    if (qint64(m_tail.size()) >= PageFindings * 16)
        return spill();
    return true;
}

bool FindingList::spill()
{
    if (m_tail.empty())
        return true;
    if (!m_spill) {
        m_spill = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("fbqc-findings-XXXXXX")));
        if (!m_spill->open()) {
            m_error = QCoreApplication::translate("PickQc::Analyzer",
                                                  "cannot keep the findings in a temporary file: %1")
                          .arg(m_spill->errorString());
            m_size -= qint64(m_tail.size());
            m_tail.clear();
            return false;
        }
    }
    const qint64 bytes = qint64(m_tail.size() * sizeof(Finding));
    m_spill->seek(m_spill->size());
    if (m_spill->write(reinterpret_cast<const char *>(m_tail.data()), bytes) != bytes || !m_spill->flush()) {
        m_error = QCoreApplication::translate("PickQc::Analyzer", "cannot keep the findings in a temporary file: %1")
                      .arg(m_spill->errorString());
        m_size -= qint64(m_tail.size());
        m_tail.clear();
        return false;
    }
    m_tail.clear();
    return true;
}

bool FindingList::readPage(qint64 first, std::vector<Finding> *page) const
{
    // Findings past the head: on disk first, then those not yet spilled.
    const qint64 head = qint64(m_head.size());
    const qint64 onDisk = m_size - head - qint64(m_tail.size());
    const qint64 count = qMin(PageFindings, m_size - first);
    page->resize(size_t(qMax<qint64>(0, count)));
    qint64 k = 0;
    const qint64 fromDisk = qBound<qint64>(0, head + onDisk - first, count);
    if (fromDisk > 0) {
        const qint64 bytes = fromDisk * qint64(sizeof(Finding));
        if (!m_spill || !m_spill->seek((first - head) * qint64(sizeof(Finding)))
            || m_spill->read(reinterpret_cast<char *>(page->data()), bytes) != bytes) {
            page->clear();
            return false;
        }
        k = fromDisk;
    }
    for (; k < count; ++k)
        (*page)[size_t(k)] = m_tail[size_t(first + k - head - onDisk)];
    return true;
}

Finding FindingList::at(qint64 k) const
{
    if (k < 0 || k >= m_size)
        return Finding();
    if (k < qint64(m_head.size()))
        return m_head[size_t(k)];
    const std::lock_guard<std::mutex> lock(m_readMutex);
    if (m_cacheStart < 0 || k < m_cacheStart || k >= m_cacheStart + qint64(m_cache.size())) {
        const qint64 head = qint64(m_head.size());
        const qint64 first = head + (k - head) / PageFindings * PageFindings;
        if (!readPage(first, &m_cache)) {
            m_cacheStart = -1;
            return Finding();
        }
        m_cacheStart = first;
    }
    return m_cache[size_t(k - m_cacheStart)];
}

bool FindingList::replaceShot(qint32 shot, const std::vector<Finding> &replacement)
{
    FindingList rebuilt;
    rebuilt.setMemoryBudget(m_budget);
    rebuilt.reserve(m_size + qint64(replacement.size()));
    bool placed = false;
    {
        Reader reader(*this);
        while (const Finding *f = reader.next()) {
            if (!placed && f->shot >= shot) {
                for (const Finding &r : replacement)
                    rebuilt.append(r);
                placed = true;
            }
            if (f->shot != shot)
                rebuilt.append(*f);
        }
    }
    if (!placed) {
        for (const Finding &r : replacement)
            rebuilt.append(r);
    }
    if (!rebuilt.ok()) {
        m_error = rebuilt.errorString();
        return false;
    }
    *this = std::move(rebuilt);
    return true;
}

FindingList::Reader::Reader(const FindingList &list)
    : m_list(list)
{
}

const Finding *FindingList::Reader::next()
{
    if (m_next >= m_list.m_size)
        return nullptr;
    const qint64 head = qint64(m_list.m_head.size());
    if (m_next < head)
        return &m_list.m_head[size_t(m_next++)];
    if (m_page.empty() || m_next >= m_pageStart + qint64(m_page.size())) {
        bool ok;
        {
            const std::lock_guard<std::mutex> lock(m_list.m_readMutex);
            ok = m_list.readPage(m_next, &m_page);
        }
        if (!ok || m_page.empty())
            return nullptr;
        m_pageStart = m_next;
    }
    return &m_page[size_t(m_next++ - m_pageStart)];
}

} // namespace PickQc
