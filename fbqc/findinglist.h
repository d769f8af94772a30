#ifndef FBQC_FINDINGLIST_H
#define FBQC_FINDINGLIST_H

#include <fbqc/finding.h>

#include <QString>

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class QTemporaryFile;

namespace FbQc {

// The findings of one kind, in the order they were appended, bounded in
// memory: past a budget they go to a temporary file, from which they are
// read back a piece at a time. A damaged file or a threshold of 0 can give
// tens of millions of findings; counts stay exact and nothing is dropped.
//
// Held in pieces of at most a few hundred findings, so that replacing one
// shot's findings in a list ordered by shot rewrites only the pieces that
// hold that shot, whatever the list's length: an edited pick is judged
// again without rewriting the file's million outlier candidates.
//
// Appending is for one thread; at() may then be called from any number of
// threads at once (a view on the UI thread, a sort on a worker).
//
// A copy shares the findings, spilled pieces included, until one of the two
// changes (appends, or is replaced shot by shot), and then shares all the
// pieces the change did not touch: copying a report to judge it again on a
// worker costs nothing, whatever its lists hold. Copies may be read and
// changed on different threads.
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
    // Kept for callers that know the size ahead; pieces grow without
    // copying what they hold, so it changes nothing but the hint.
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
    // Rewrites only the pieces that hold shot or border on it. False when
    // a spill fails (errorString()).
    bool replaceShot(qint32 shot, const std::vector<Finding> &replacement);

    // In a list ordered by shot: how many findings shot has. Reads only
    // the pieces that hold it.
    qint64 countOfShot(qint32 shot) const;

    class Reader
    {
    public:
        explicit Reader(const FindingList &list);
        // The next finding, or nullptr at the end; valid until the next call.
        const Finding *next();

    private:
        const FindingList &m_list;
        size_t m_piece = 0;
        qint64 m_at = 0; // within the piece
        std::vector<Finding> m_page;
        const Finding *m_current = nullptr; // the piece's findings, in memory or m_page
    };

private:
    static constexpr qint64 PieceFindings = 512;
    struct Spill;
    // A run of findings, never changed once a copy shares it.
    struct Piece
    {
        std::vector<Finding> findings; // empty once spilled
        qint64 count = 0;
        qint64 offset = -1; // in the spill file, when spilled
        qint32 firstShot = 0;
        qint32 lastShot = 0;
    };
    bool add(std::vector<std::shared_ptr<Piece>> *pieces, const Finding &finding);
    bool spill(Piece *piece);
    // The pieces that hold shot, in a list ordered by shot; where its
    // findings go when it has none.
    std::pair<size_t, size_t> piecesOf(qint32 shot) const;
    bool readPiece(const Piece &piece, std::vector<Finding> *page) const;
    void recount();

    qint64 m_budget;
    qint64 m_size = 0;
    qint64 m_inMemory = 0;
    std::vector<std::shared_ptr<Piece>> m_pieces;
    std::vector<qint64> m_starts; // each piece's first index
    // The file spilled pieces live in, shared by copies; only ever grows.
    std::shared_ptr<Spill> m_spill;
    QString m_error;
    // The piece read back last, for at(); one per list is enough for a
    // view that scrolls and a sort that reads in order.
    mutable std::mutex m_cacheMutex;
    mutable std::vector<Finding> m_cache;
    mutable const Piece *m_cached = nullptr;
};

} // namespace FbQc

#endif // FBQC_FINDINGLIST_H
