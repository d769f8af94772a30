#include <fbqc/findinglist.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryFile>

#include <algorithm>

namespace FbQc {

namespace {

// About 24 MiB of findings per kind in memory: a few kinds at once then
// stay well inside what a pass may take.
constexpr qint64 DefaultBudget = qint64(1) << 19;

} // namespace

struct FindingList::Spill
{
    std::unique_ptr<QTemporaryFile> file;
    std::mutex mutex; // the file's position
};

FindingList::FindingList() : m_budget(DefaultBudget), m_starts(1, 0) { }

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
    m_inMemory = other.m_inMemory;
    m_pieces = std::move(other.m_pieces);
    m_starts = std::move(other.m_starts);
    m_spill = std::move(other.m_spill);
    m_error = std::move(other.m_error);
    m_cached = nullptr;
    other.m_size = other.m_inMemory = 0;
    other.m_pieces.clear();
    other.m_starts.assign(1, 0);
    other.m_spill.reset();
    return *this;
}

FindingList::FindingList(const FindingList &other)
    : m_budget(other.m_budget), m_size(other.m_size), m_inMemory(other.m_inMemory), m_pieces(other.m_pieces),
      m_starts(other.m_starts), m_spill(other.m_spill), m_error(other.m_error)
{ }

FindingList &FindingList::operator=(const FindingList &other)
{
    if (this == &other)
        return *this;
    m_budget = other.m_budget;
    m_size = other.m_size;
    m_inMemory = other.m_inMemory;
    m_pieces = other.m_pieces;
    m_starts = other.m_starts;
    m_spill = other.m_spill;
    m_error = other.m_error;
    m_cached = nullptr;
    return *this;
}

void FindingList::setMemoryBudget(qint64 findings)
{
    m_budget = qMax<qint64>(PieceFindings, findings);
}

void FindingList::reserve(qint64 findings)
{
    Q_UNUSED(findings);
}

bool FindingList::spill(Piece *piece)
{
    if (!m_spill)
        m_spill = std::make_shared<Spill>();
    const std::lock_guard<std::mutex> lock(m_spill->mutex);
    const auto fail = [&] {
        m_error = QCoreApplication::translate("FbQc::Analyzer", "cannot keep the findings in a temporary file: %1")
                      .arg(m_spill->file->errorString());
        return false;
    };
    if (!m_spill->file) {
        m_spill->file = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("fbqc-findings-XXXXXX")));
        if (!m_spill->file->open())
            return fail();
    }
    const qint64 offset = m_spill->file->size();
    const qint64 bytes = piece->count * qint64(sizeof(Finding));
    if (!m_spill->file->seek(offset) ||
        m_spill->file->write(reinterpret_cast<const char *>(piece->findings.data()), bytes) != bytes ||
        !m_spill->file->flush())
        return fail();
    piece->offset = offset;
    std::vector<Finding>().swap(piece->findings);
    m_inMemory -= piece->count;
    return true;
}

// Appends to the last of pieces, or a new one when it is full or shared;
// a piece filled past the memory budget goes to disk.
bool FindingList::add(std::vector<std::shared_ptr<Piece>> *pieces, const Finding &finding)
{
    Piece *last = pieces->empty() ? nullptr : pieces->back().get();
    if (!last || last->offset >= 0 || last->count >= PieceFindings) {
        pieces->push_back(std::make_shared<Piece>());
        last = pieces->back().get();
        last->firstShot = finding.shot;
    } else if (pieces->back().use_count() > 1) {
        // Shared with a copy: this list takes the piece's findings as its
        // own, so the copy stays as it was.
        pieces->back() = std::make_shared<Piece>(*last);
        last = pieces->back().get();
    }
    last->findings.push_back(finding);
    last->lastShot = finding.shot;
    ++last->count;
    ++m_inMemory;
    if (last->count >= PieceFindings && m_inMemory > m_budget)
        return spill(last);
    return true;
}

void FindingList::recount()
{
    m_starts.resize(m_pieces.size() + 1);
    m_starts[0] = 0;
    for (size_t k = 0; k < m_pieces.size(); ++k)
        m_starts[k + 1] = m_starts[k] + m_pieces[k]->count;
    m_size = m_starts.back();
    m_cached = nullptr;
}

bool FindingList::append(const Finding &finding)
{
    if (!m_error.isEmpty())
        return false;
    const size_t pieces = m_pieces.size();
    if (!add(&m_pieces, finding)) {
        // The findings of the piece that could not be kept are lost.
        m_inMemory -= m_pieces.back()->count;
        m_pieces.pop_back();
        recount();
        return false;
    }
    if (m_pieces.size() != pieces)
        m_starts.push_back(m_starts.back());
    ++m_starts.back();
    ++m_size;
    return true;
}

bool FindingList::readPiece(const Piece &piece, std::vector<Finding> *page) const
{
    if (piece.offset < 0) {
        *page = piece.findings;
        return true;
    }
    page->resize(size_t(piece.count));
    const qint64 bytes = piece.count * qint64(sizeof(Finding));
    const std::lock_guard<std::mutex> lock(m_spill->mutex);
    if (!m_spill->file->seek(piece.offset) ||
        m_spill->file->read(reinterpret_cast<char *>(page->data()), bytes) != bytes) {
        page->clear();
        return false;
    }
    return true;
}

Finding FindingList::at(qint64 k) const
{
    if (k < 0 || k >= m_size)
        return Finding();
    const size_t p = size_t(std::upper_bound(m_starts.begin(), m_starts.end(), k) - m_starts.begin()) - 1;
    const Piece &piece = *m_pieces[p];
    const qint64 i = k - m_starts[p];
    if (piece.offset < 0)
        return piece.findings[size_t(i)];
    const std::lock_guard<std::mutex> lock(m_cacheMutex);
    if (m_cached != &piece) {
        m_cached = nullptr;
        if (!readPiece(piece, &m_cache))
            return Finding();
        m_cached = &piece;
    }
    return m_cache[size_t(i)];
}

std::pair<size_t, size_t> FindingList::piecesOf(qint32 shot) const
{
    // Its findings go before the first finding of a later shot.
    const auto from = std::partition_point(m_pieces.begin(), m_pieces.end(),
                                           [shot](const std::shared_ptr<Piece> &p) { return p->lastShot < shot; });
    const auto to = std::partition_point(from, m_pieces.end(),
                                         [shot](const std::shared_ptr<Piece> &p) { return p->firstShot <= shot; });
    return {size_t(from - m_pieces.begin()), size_t(to - m_pieces.begin())};
}

qint64 FindingList::countOfShot(qint32 shot) const
{
    const std::pair<size_t, size_t> range = piecesOf(shot);
    qint64 count = 0;
    std::vector<Finding> page;
    for (size_t p = range.first; p < range.second; ++p) {
        const Piece &piece = *m_pieces[p];
        if (piece.firstShot == shot && piece.lastShot == shot) {
            count += piece.count;
            continue;
        }
        if (readPiece(piece, &page))
            count += std::count_if(page.begin(), page.end(), [shot](const Finding &f) { return f.shot == shot; });
    }
    return count;
}

bool FindingList::replaceShot(qint32 shot, const std::vector<Finding> &replacement)
{
    if (!m_error.isEmpty())
        return false;
    const std::pair<size_t, size_t> range = piecesOf(shot);
    const auto from = m_pieces.begin() + std::ptrdiff_t(range.first);
    const auto to = m_pieces.begin() + std::ptrdiff_t(range.second);
    if (from == to && replacement.empty())
        return true;
    std::vector<Finding> kept, page;
    for (auto it = from; it != to; ++it) {
        if (!readPiece(**it, &page)) {
            m_error = QCoreApplication::translate("FbQc::Analyzer", "cannot keep the findings in a temporary file: %1")
                          .arg(m_spill->file->errorString());
            return false;
        }
        kept.insert(kept.end(), page.begin(), page.end());
    }
    const auto at = std::find_if(kept.begin(), kept.end(), [shot](const Finding &f) { return f.shot >= shot; });
    const auto place = at - kept.begin();
    kept.erase(at, std::find_if(at, kept.end(), [shot](const Finding &f) { return f.shot != shot; }));
    kept.insert(kept.begin() + place, replacement.begin(), replacement.end());

    for (auto it = from; it != to; ++it)
        m_inMemory -= (*it)->offset < 0 ? (*it)->count : 0;
    std::vector<std::shared_ptr<Piece>> pieces;
    bool ok = true;
    for (const Finding &f : kept)
        ok = ok && add(&pieces, f);
    const auto where = m_pieces.erase(from, to);
    m_pieces.insert(where, pieces.begin(), pieces.end());
    recount();
    return ok;
}

FindingList::Reader::Reader(const FindingList &list) : m_list(list) { }

const Finding *FindingList::Reader::next()
{
    while (m_piece < m_list.m_pieces.size()) {
        const Piece &piece = *m_list.m_pieces[m_piece];
        if (m_at == 0) {
            if (piece.offset < 0) {
                m_current = piece.findings.data();
            } else {
                if (!m_list.readPiece(piece, &m_page))
                    return nullptr;
                m_current = m_page.data();
            }
        }
        if (m_at < piece.count)
            return &m_current[m_at++];
        ++m_piece;
        m_at = 0;
    }
    return nullptr;
}

} // namespace FbQc
