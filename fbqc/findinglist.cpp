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

FindingList::FindingList() : m_budget(DefaultBudget), m_data(std::make_shared<Storage>()) { }

FindingList::~FindingList() = default;

FindingList::FindingList(FindingList &&other) noexcept : m_budget(DefaultBudget)
{
    *this = std::move(other);
}

FindingList &FindingList::operator=(FindingList &&other) noexcept
{
    if (this == &other)
        return *this;
    m_budget = other.m_budget;
    m_size = other.m_size;
    m_data = std::move(other.m_data);
    m_error = std::move(other.m_error);
    m_cache.clear();
    m_cacheStart = -1;
    other.m_size = 0;
    other.m_data = std::make_shared<Storage>();
    return *this;
}

FindingList::FindingList(const FindingList &other)
    : m_budget(other.m_budget), m_size(other.m_size), m_data(other.m_data), m_error(other.m_error)
{ }

FindingList &FindingList::operator=(const FindingList &other)
{
    if (this == &other)
        return *this;
    m_budget = other.m_budget;
    m_size = other.m_size;
    m_data = other.m_data;
    m_error = other.m_error;
    m_cache.clear();
    m_cacheStart = -1;
    return *this;
}

FindingList::Storage &FindingList::own()
{
    if (m_data.use_count() > 1) {
        // Shared with a copy: this list takes findings of its own, read
        // from the shared ones, so the copy stays as it was.
        FindingList mine;
        mine.m_budget = m_budget;
        mine.m_data->head.reserve(size_t(std::min(m_size, m_budget)));
        Reader reader(*this);
        while (const Finding *f = reader.next()) {
            if (!mine.append(*f))
                break;
        }
        m_data = std::move(mine.m_data);
        m_size = mine.m_size;
        if (m_error.isEmpty())
            m_error = mine.m_error;
        m_cache.clear();
        m_cacheStart = -1;
    }
    return *m_data;
}

void FindingList::setMemoryBudget(qint64 findings)
{
    m_budget = qMax<qint64>(PageFindings, findings);
}

void FindingList::reserve(qint64 findings)
{
    own().head.reserve(size_t(std::min(findings, m_budget)));
}

bool FindingList::append(const Finding &finding)
{
    if (!m_error.isEmpty())
        return false;
    Storage &d = own();
    if (!m_error.isEmpty())
        return false;
    if (qint64(d.head.size()) < m_budget) {
        d.head.push_back(finding);
        ++m_size;
        return true;
    }
    d.tail.push_back(finding);
    ++m_size;
    // What waits for the disk is a page, or at most what a finished pass
    // leaves behind before its list is first read.
    if (qint64(d.tail.size()) >= PageFindings * 16)
        return spill();
    return true;
}

bool FindingList::spill()
{
    Storage &d = *m_data; // owned: only append() spills
    if (d.tail.empty())
        return true;
    const std::lock_guard<std::mutex> lock(d.readMutex);
    if (!d.spill) {
        d.spill = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("fbqc-findings-XXXXXX")));
        if (!d.spill->open()) {
            m_error =
                QCoreApplication::translate("PickQc::Analyzer", "cannot keep the findings in a temporary file: %1")
                    .arg(d.spill->errorString());
            m_size -= qint64(d.tail.size());
            d.tail.clear();
            return false;
        }
    }
    const qint64 bytes = qint64(d.tail.size() * sizeof(Finding));
    d.spill->seek(d.spill->size());
    if (d.spill->write(reinterpret_cast<const char *>(d.tail.data()), bytes) != bytes || !d.spill->flush()) {
        m_error = QCoreApplication::translate("PickQc::Analyzer", "cannot keep the findings in a temporary file: %1")
                      .arg(d.spill->errorString());
        m_size -= qint64(d.tail.size());
        d.tail.clear();
        return false;
    }
    d.tail.clear();
    return true;
}

bool FindingList::readPage(qint64 first, std::vector<Finding> *page) const
{
    // Findings past the head: on disk first, then those not yet spilled.
    const Storage &d = *m_data;
    const qint64 head = qint64(d.head.size());
    const qint64 onDisk = m_size - head - qint64(d.tail.size());
    const qint64 count = qMin(PageFindings, m_size - first);
    page->resize(size_t(qMax<qint64>(0, count)));
    qint64 k = 0;
    const qint64 fromDisk = qBound<qint64>(0, head + onDisk - first, count);
    if (fromDisk > 0) {
        const qint64 bytes = fromDisk * qint64(sizeof(Finding));
        if (!d.spill || !d.spill->seek((first - head) * qint64(sizeof(Finding))) ||
            d.spill->read(reinterpret_cast<char *>(page->data()), bytes) != bytes) {
            page->clear();
            return false;
        }
        k = fromDisk;
    }
    for (; k < count; ++k)
        (*page)[size_t(k)] = d.tail[size_t(first + k - head - onDisk)];
    return true;
}

Finding FindingList::at(qint64 k) const
{
    if (k < 0 || k >= m_size)
        return Finding();
    if (k < qint64(m_data->head.size()))
        return m_data->head[size_t(k)];
    const std::lock_guard<std::mutex> lock(m_data->readMutex);
    if (m_cacheStart < 0 || k < m_cacheStart || k >= m_cacheStart + qint64(m_cache.size())) {
        const qint64 head = qint64(m_data->head.size());
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

FindingList::Reader::Reader(const FindingList &list) : m_list(list) { }

const Finding *FindingList::Reader::next()
{
    if (m_next >= m_list.m_size)
        return nullptr;
    const qint64 head = qint64(m_list.m_data->head.size());
    if (m_next < head)
        return &m_list.m_data->head[size_t(m_next++)];
    if (m_page.empty() || m_next >= m_pageStart + qint64(m_page.size())) {
        bool ok;
        {
            const std::lock_guard<std::mutex> lock(m_list.m_data->readMutex);
            ok = m_list.readPage(m_next, &m_page);
        }
        if (!ok || m_page.empty())
            return nullptr;
        m_pageStart = m_next;
    }
    return &m_page[size_t(m_next++ - m_pageStart)];
}

} // namespace PickQc
