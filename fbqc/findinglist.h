#ifndef FINDINGLIST_H
#define FINDINGLIST_H

#include "finding.h"

#include <QString>

#include <memory>
#include <mutex>
#include <vector>

class QTemporaryFile;

namespace PickQc {

// The findings of one kind, in the order they were appended, bounded in
// memory: past a budget they go to a temporary file, from which they are
// read back a page at a time. A damaged file or a threshold of 0 can give
// tens of millions of findings; counts stay exact and nothing is dropped.
//
// Appending is for one thread; at() may then be called from any number of
// threads at once (a view on the UI thread, a sort on a worker).
//
// A copy shares the findings, spilled pages included, until one of the two
// changes (appends, or is replaced shot by shot): copying a report to judge
// it again on a worker costs nothing, whatever its lists hold. Copies may
// be read and changed on different threads.
//
//   FindingList list;
//   list.append(finding);
//   for (qint64 k = 0; k < list.size(); ++k) use(list.at(k));
//   FindingList::Reader r(list);          // sequential, cheaper than at()
//   while (const Finding *f = r.next()) use(*f);
class FindingList
{
public:
    FindingList();
    ~FindingList();
    FindingList(FindingList &&other) noexcept;
    FindingList &operator=(FindingList &&other) noexcept;
    FindingList(const FindingList &other);
    FindingList &operator=(const FindingList &other);

    // Findings kept in memory before the rest spills; tests set it small.
    void setMemoryBudget(qint64 findings);
    qint64 memoryBudget() const { return m_budget; }

    qint64 size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    // Room for findings appended next, up to the memory budget, so that a
    // list built to a known size is not copied as it grows.
    void reserve(qint64 findings);
    // False once a spill to disk failed (a full disk): the findings past
    // that point are lost, and errorString() says why.
    bool append(const Finding &finding);
    bool ok() const { return m_error.isEmpty(); }
    QString errorString() const { return m_error; }

    // Finding k (0 <= k < size()); a default Finding when it cannot be
    // read back.
    Finding at(qint64 k) const;

    // In a list ordered by shot: the findings of shot replaced by
    // replacement (ordered as they should stand), the rest kept in order.
    // Rewrites the list, so costs what reading it does. False when a spill
    // fails (errorString()).
    bool replaceShot(qint32 shot, const std::vector<Finding> &replacement);

    class Reader
    {
    public:
        explicit Reader(const FindingList &list);
        // The next finding, or nullptr at the end; valid until the next call.
        const Finding *next();

    private:
        const FindingList &m_list;
        qint64 m_next = 0;
        std::vector<Finding> m_page;
        qint64 m_pageStart = 0;
    };

private:
    static constexpr qint64 PageFindings = 4096;
    // The findings, shared by copies of a list until one changes.
    struct Storage
    {
        std::vector<Finding> head; // the first findings, up to the budget
        std::vector<Finding> tail; // appended past the budget, not yet spilled
        std::unique_ptr<QTemporaryFile> spill;
        // The spill file's position, and the page caches of the lists
        // sharing it.
        std::mutex readMutex;
    };
    // The storage, this list's own (copied when shared) so it may change.
    Storage &own();
    bool spill();
    bool readPage(qint64 first, std::vector<Finding> *page) const;

    qint64 m_budget;
    qint64 m_size = 0;
    std::shared_ptr<Storage> m_data;
    QString m_error;
    // Pages read back, for at(); one per list is enough for a view that
    // scrolls and a sort that reads in order.
    mutable std::vector<Finding> m_cache;
    mutable qint64 m_cacheStart = -1;
};

} // namespace PickQc

#endif // FINDINGLIST_H
