#include "reciprocity.h"

#include "memoryadvice.h"

#include <algorithm>
#include <cmath>

namespace PickQc {

namespace {

// Two consecutive receivers bracket a source only this close together,
// in median receiver spacings.
constexpr double MaxGapSpacings = 1.5;
// How far off the segment between them the source may sit, in spacings.
constexpr double LateralSpacings = 0.5;
// Grid cells for finding sources near a spread, in receiver spacings: a
// spread then touches a handful of cells.
constexpr double CellSpacings = 64.0;
// A box over more cells than this is searched by looking at every source.
constexpr qint64 MaxCells = 4096;

// Plain Euclidean length: coordinates are far from overflow, and hypot's
// care costs more than the rest of a spread's set-up.
double distance(double dx, double dy)
{
    return std::sqrt(dx * dx + dy * dy);
}

bool finite(double x, double y)
{
    return std::isfinite(x) && std::isfinite(y);
}

qint64 cellOf(double coordinate, double cell)
{
    // Far-off garbage coordinates share the outermost cells.
    constexpr double limit = 1e12;
    return static_cast<qint64>(std::floor(qBound(-limit, coordinate / cell, limit)));
}

quint64 cellKey(qint64 cx, qint64 cy)
{
    return (static_cast<quint64>(static_cast<quint32>(cx)) << 32) | static_cast<quint32>(cy);
}

} // namespace

void SpreadView::build(const FbRecord *records, int n)
{
    m_records = records;

    // Receivers by station; a spread usually arrives in station order.
    m_byStation.resize(n);
    for (int i = 0; i < n; ++i)
        m_byStation[i] = i;
    auto stationLess = [records](int a, int b) {
        const FbRecord &ra = records[a], &rb = records[b];
        return ra.g_line != rb.g_line ? ra.g_line < rb.g_line : ra.g_stat < rb.g_stat;
    };
    if (!std::is_sorted(m_byStation.begin(), m_byStation.end(), stationLess))
        std::stable_sort(m_byStation.begin(), m_byStation.end(), stationLess);
    m_lines.clear();
    bool repeated = false;
    for (int k = 0; k < n; ++k) {
        const FbRecord &r = records[m_byStation[k]];
        if (m_lines.empty() || m_lines.back().line != r.g_line) {
            m_lines.push_back(LineRange{r.g_line, r.g_stat, r.g_stat});
        } else {
            repeated = repeated || m_lines.back().maxStat == r.g_stat;
            m_lines.back().maxStat = r.g_stat;
        }
    }
    // One line of receivers on consecutive stations, each once: a
    // station's receiver is found by its number alone.
    m_consecutive = m_lines.size() == 1 && !repeated
                 && qint64(m_lines[0].maxStat) - m_lines[0].minStat + 1 == n;

    // Receivers along the spread's main direction.
    m_along.clear();
    double mx = 0.0, my = 0.0;
    for (int i = 0; i < n; ++i) {
        if (!finite(records[i].group_x, records[i].group_y))
            continue;
        m_along.push_back(i);
        mx += records[i].group_x;
        my += records[i].group_y;
    }
    m_spacing = 0.0;
    m_spacingKnown = true;
    m_spacingBound = 0.0;
    m_gaps.clear();
    const int m = static_cast<int>(m_along.size());
    if (m < 2)
        return;
    mx /= m;
    my /= m;
    double sxx = 0.0, sxy = 0.0, syy = 0.0;
    m_minX = m_maxX = records[m_along[0]].group_x;
    m_minY = m_maxY = records[m_along[0]].group_y;
    for (int i : m_along) {
        const double x = records[i].group_x, y = records[i].group_y;
        sxx += (x - mx) * (x - mx);
        sxy += (x - mx) * (y - my);
        syy += (y - my) * (y - my);
        m_minX = std::min(m_minX, x);
        m_maxX = std::max(m_maxX, x);
        m_minY = std::min(m_minY, y);
        m_maxY = std::max(m_maxY, y);
    }
    const double angle = 0.5 * std::atan2(2.0 * sxy, sxx - syy);
    m_dirX = std::cos(angle);
    m_dirY = std::sin(angle);
    m_originX = mx;
    m_originY = my;
    auto along = [this, records](int i) {
        return (records[i].group_x - m_originX) * m_dirX + (records[i].group_y - m_originY) * m_dirY;
    };
    m_position.resize(m);
    bool ascending = true;
    for (int k = 0; k < m; ++k) {
        m_position[k] = along(m_along[k]);
        ascending = ascending && (k == 0 || m_position[k - 1] <= m_position[k]);
    }
    if (!ascending) {
        std::stable_sort(m_along.begin(), m_along.end(), [&along](int a, int b) { return along(a) < along(b); });
        for (int k = 0; k < m; ++k)
            m_position[k] = along(m_along[k]);
    }

    double sum = 0.0, longest = 0.0;
    for (int k = 1; k < m; ++k) {
        const FbRecord &a = records[m_along[k - 1]], &b = records[m_along[k]];
        const double gap = distance(double(b.group_x) - a.group_x, double(b.group_y) - a.group_y);
        if (gap > 0.0) {
            m_gaps.push_back(gap);
            sum += gap;
            longest = std::max(longest, gap);
        }
    }
    if (m_gaps.empty())
        return;
    // Half the gaps are at least the median, so it is at most twice their
    // mean (a hair more for rounding), and never above the longest gap.
    m_spacingBound = std::min(longest, 2.000001 * sum / double(m_gaps.size()));
    m_spacingKnown = false;
}

double SpreadView::spacing() const
{
    if (m_spacingKnown)
        return m_spacing;
    m_spacingKnown = true;
    // Receivers mostly sit at one spacing: then that is the median, and
    // selecting it costs more than the rest of the spread.
    const auto [shortest, longest] = std::minmax_element(m_gaps.begin(), m_gaps.end());
    if (*shortest == *longest) {
        m_spacing = *shortest;
        return m_spacing;
    }
    const size_t mid = m_gaps.size() / 2;
    std::nth_element(m_gaps.begin(), m_gaps.begin() + mid, m_gaps.end());
    m_spacing = m_gaps[mid];
    return m_spacing;
}

bool SpreadView::box(double *minX, double *maxX, double *minY, double *maxY) const
{
    if (!(m_spacingBound > 0.0))
        return false;
    const double tolerance = LateralSpacings * m_spacingBound;
    *minX = m_minX - tolerance;
    *maxX = m_maxX + tolerance;
    *minY = m_minY - tolerance;
    *maxY = m_maxY + tolerance;
    return true;
}

double SpreadView::timeAt(qint32 line, qint32 stat, double x, double y) const
{
    const FbRecord *records = m_records;
    if (m_consecutive) {
        const LineRange &range = m_lines[0];
        if (line == range.line && stat >= range.minStat && stat <= range.maxStat) {
            const double t = records[m_byStation[size_t(qint64(stat) - range.minStat)]].fb_time;
            return std::isfinite(t) ? t : NaN;
        }
    }
    const auto hit = std::lower_bound(m_byStation.begin(), m_byStation.end(), std::make_pair(line, stat),
                                      [records](int i, const std::pair<qint32, qint32> &key) {
                                          const FbRecord &r = records[i];
                                          return r.g_line != key.first ? r.g_line < key.first
                                                                       : r.g_stat < key.second;
                                      });
    if (hit != m_byStation.end() && records[*hit].g_line == line && records[*hit].g_stat == stat) {
        const double t = records[*hit].fb_time;
        return std::isfinite(t) ? t : NaN;
    }

    const double spacing = this->spacing();
    if (!(spacing > 0.0) || !finite(x, y))
        return NaN;
    const double p = (x - m_originX) * m_dirX + (y - m_originY) * m_dirY;
    const int m = static_cast<int>(m_position.size());
    int k = static_cast<int>(std::upper_bound(m_position.begin(), m_position.end(), p) - m_position.begin()) - 1;
    if (k == m - 1 && p == m_position[k])
        --k;
    if (k < 0 || k >= m - 1)
        return NaN;
    const FbRecord &a = records[m_along[k]], &b = records[m_along[k + 1]];
    const double ex = double(b.group_x) - a.group_x, ey = double(b.group_y) - a.group_y;
    const double gap = distance(ex, ey);
    if (gap > MaxGapSpacings * spacing)
        return NaN;
    double lambda = 0.0;
    if (gap > 0.0)
        lambda = qBound(0.0, ((x - a.group_x) * ex + (y - a.group_y) * ey) / (gap * gap), 1.0);
    const double lateral = distance(x - (a.group_x + lambda * ex), y - (a.group_y + lambda * ey));
    if (lateral > LateralSpacings * spacing)
        return NaN;
    const double t = a.fb_time + lambda * (double(b.fb_time) - a.fb_time);
    return std::isfinite(t) ? t : NaN;
}

void Reciprocity::reset(const ShotSummaries *shots)
{
    m_shots = shots;
    m_indexed = 0;
    m_lines.clear();
    std::vector<qint32>().swap(m_firstLineRoom);
    m_lastSources = nullptr;
    m_cell = 0.0;
    m_gridded = 0;
    m_grid.clear();
    m_pending.clear();
    m_waiting.clear();
}

std::pair<const void *, size_t> Reciprocity::reserve(size_t shots)
{
    if (m_lines.empty()) {
        m_firstLineRoom.reserve(shots);
        adviseLargePages(m_firstLineRoom.data(), shots * sizeof(qint32));
    }
    return {m_firstLineRoom.data(), sizeof(qint32)};
}

bool Reciprocity::stationOrder(qint32 a, qint32 b) const
{
    const qint32 sa = m_shots->source(a).stat, sb = m_shots->source(b).stat;
    return sa != sb ? sa < sb : a < b;
}

void Reciprocity::indexSources(qint32 upTo)
{
    for (; m_indexed < upTo; ++m_indexed) {
        const ShotSource &s = m_shots->source(m_indexed);
        if (!m_lastSources || m_lastLine != s.line) {
            auto it = m_lines.find(s.line);
            if (it == m_lines.end()) {
                it = m_lines.emplace(s.line, LineSources()).first;
                it->second.minStat = it->second.maxStat = s.stat;
                // Most files shoot one line: room for all of its sources
                // spares copying a list of millions as it grows. Room
                // never written costs address space only.
                if (m_lines.size() == 1) {
                    it->second.sorted.swap(m_firstLineRoom);
                    it->second.sorted.reserve(size_t(std::max(m_shots->capacity(), m_shots->size())));
                }
            }
            m_lastLine = s.line;
            m_lastSources = &it->second;
        }
        LineSources &sources = *m_lastSources;
        sources.minStat = std::min(sources.minStat, s.stat);
        sources.maxStat = std::max(sources.maxStat, s.stat);
        // Sources usually come in station order: then the list stays
        // sorted as it grows.
        if (sources.tail.empty() && (sources.sorted.empty() || !stationOrder(m_indexed, sources.sorted.back())))
            sources.sorted.push_back(m_indexed);
        else
            sources.tail.push_back(m_indexed);
    }
}

void Reciprocity::gridSources(qint32 upTo, double spacingHint)
{
    if (m_cell <= 0.0)
        m_cell = CellSpacings * spacingHint;
    for (; m_gridded < upTo; ++m_gridded) {
        const ShotSource &s = m_shots->source(m_gridded);
        if (!finite(s.x, s.y))
            continue;
        const qint64 cx = cellOf(s.x, m_cell);
        const qint64 cy = cellOf(s.y, m_cell);
        m_grid[cellKey(cx, cy)].push_back(m_gridded);
    }
}

void Reciprocity::candidates(const SpreadView &view, qint32 shot)
{
    m_found.clear();
    indexSources(shot);
    for (const SpreadView::LineRange &range : view.lines()) {
        // Mostly the line of the latest source, found without hashing.
        LineSources *found = m_lastSources && m_lastLine == range.line ? m_lastSources : nullptr;
        if (!found) {
            const auto it = m_lines.find(range.line);
            if (it == m_lines.end())
                continue;
            found = &it->second;
        }
        LineSources &sources = *found;
        if (sources.maxStat < range.minStat || sources.minStat > range.maxStat)
            continue;
        const auto order = [this](qint32 a, qint32 b) { return stationOrder(a, b); };
        if (!sources.tail.empty()) {
            std::sort(sources.tail.begin(), sources.tail.end(), order);
            const size_t middle = sources.sorted.size();
            sources.sorted.insert(sources.sorted.end(), sources.tail.begin(), sources.tail.end());
            std::inplace_merge(sources.sorted.begin(), sources.sorted.begin() + middle, sources.sorted.end(), order);
            sources.tail.clear();
        }
        auto from = std::lower_bound(sources.sorted.begin(), sources.sorted.end(), range.minStat,
                                     [this](qint32 shot, qint32 stat) { return m_shots->source(shot).stat < stat; });
        for (; from != sources.sorted.end() && m_shots->source(*from).stat <= range.maxStat; ++from)
            m_found.push_back(*from);
    }

    double minX, maxX, minY, maxY;
    if (view.box(&minX, &maxX, &minY, &maxY)) {
        gridSources(shot, view.spacingBound());
        const qint64 cx0 = cellOf(minX, m_cell);
        const qint64 cx1 = cellOf(maxX, m_cell);
        const qint64 cy0 = cellOf(minY, m_cell);
        const qint64 cy1 = cellOf(maxY, m_cell);
        auto inBox = [&](qint32 b) {
            const ShotSource &s = m_shots->source(b);
            return s.x >= minX && s.x <= maxX && s.y >= minY && s.y <= maxY;
        };
        if ((cx1 - cx0 + 1) * (cy1 - cy0 + 1) > MaxCells) {
            for (qint32 b = 0; b < shot; ++b)
                if (inBox(b))
                    m_found.push_back(b);
        } else {
            for (qint64 cx = cx0; cx <= cx1; ++cx) {
                for (qint64 cy = cy0; cy <= cy1; ++cy) {
                    const auto it = m_grid.find(cellKey(cx, cy));
                    if (it == m_grid.end())
                        continue;
                    for (qint32 b : it->second)
                        if (inBox(b))
                            m_found.push_back(b);
                }
            }
        }
    }
    std::sort(m_found.begin(), m_found.end());
    m_found.erase(std::unique(m_found.begin(), m_found.end()), m_found.end());
}

void Reciprocity::addShot(qint32 shot, const SpreadView &view, const HeldSpread &held)
{
    if (view.size() <= 0)
        return;
    candidates(view, shot);
    const ShotSource &own = m_shots->source(shot);
    for (qint32 a : m_found) {
        const ShotSource &s = m_shots->source(a);
        const double timeBA = view.timeAt(s.line, s.stat, s.x, s.y);
        if (!std::isfinite(timeBA))
            continue;
        double timeAB = NaN;
        if (const SpreadView *earlier = held ? held(a) : nullptr) {
            timeAB = earlier->timeAt(own.line, own.stat, own.x, own.y);
            if (!std::isfinite(timeAB))
                continue;
        }
        if (m_pending.size() == m_pending.capacity()) {
            // Millions of pairs: each doubling lands in fresh memory, which
            // large pages fault in a hundred times faster.
            std::vector<Pending> room;
            room.reserve(std::max<size_t>(4096, 2 * m_pending.capacity()));
            adviseLargePages(room.data(), room.capacity() * sizeof(Pending));
            room.assign(m_pending.cbegin(), m_pending.cend());
            m_pending.swap(room);
        }
        m_pending.push_back(Pending{a, shot, static_cast<float>(timeBA), static_cast<float>(timeAB)});
    }
}

std::vector<qint32> Reciprocity::secondPassShots()
{
    // The entries that wait for A's records, by A and then as they came.
    m_waiting.clear();
    for (size_t k = 0; k < m_pending.size(); ++k) {
        if (std::isnan(m_pending[k].timeAB))
            m_waiting.push_back(qint32(k));
    }
    std::stable_sort(m_waiting.begin(), m_waiting.end(),
                     [this](qint32 x, qint32 y) { return m_pending[size_t(x)].a < m_pending[size_t(y)].a; });
    std::vector<qint32> wanted;
    for (qint32 k : m_waiting) {
        const qint32 shot = m_pending[size_t(k)].a;
        if (wanted.empty() || wanted.back() != shot)
            wanted.push_back(shot);
    }
    return wanted;
}

void Reciprocity::complete(qint32 shot, const FbRecord *records, int n, SpreadView *view)
{
    const auto first = std::lower_bound(m_waiting.begin(), m_waiting.end(), shot, [this](qint32 k, qint32 a) {
        return m_pending[size_t(k)].a < a;
    });
    const auto last = std::upper_bound(first, m_waiting.end(), shot, [this](qint32 a, qint32 k) {
        return a < m_pending[size_t(k)].a;
    });
    if (first == last)
        return;
    view->build(records, n);
    for (auto it = first; it != last; ++it) {
        Pending &p = m_pending[size_t(*it)];
        const ShotSource &s = m_shots->source(p.b);
        p.timeAB = static_cast<float>(view->timeAt(s.line, s.stat, s.x, s.y));
    }
}

void Reciprocity::finish(double toleranceMs, QVector<ReciprocalPair> *pairs)
{
    // The compared pairs by earlier shot, the later ones ascending within
    // each as they came (a counting sort straight into the list).
    pairs->clear();
    if (!m_pending.empty()) {
        std::vector<qint32> next(size_t(m_shots->size()) + 1, 0);
        for (const Pending &p : m_pending)
            next[size_t(p.a) + 1] += std::isfinite(p.timeAB) ? 1 : 0;
        for (size_t s = 1; s < next.size(); ++s)
            next[s] += next[s - 1];
        // Millions of pairs: large pages spare a fault per page.
        pairs->reserve(next.back());
        adviseLargePages(pairs->constData(), size_t(next.back()) * sizeof(ReciprocalPair));
        pairs->resize(next.back());
        ReciprocalPair *out = pairs->data();
        for (const Pending &p : m_pending) {
            if (!std::isfinite(p.timeAB))
                continue;
            ReciprocalPair &pair = out[next[size_t(p.a)]++];
            pair.shotA = p.a;
            pair.shotB = p.b;
            pair.timeAB = p.timeAB;
            pair.timeBA = p.timeBA;
            pair.difference = std::abs(pair.timeAB - pair.timeBA);
            pair.flagged = pair.difference > toleranceMs;
        }
    }
    std::vector<Pending>().swap(m_pending);
    std::vector<qint32>().swap(m_waiting);
    m_grid.clear();
    m_lines.clear();
    std::vector<qint32>().swap(m_firstLineRoom);
    m_lastSources = nullptr;
}

} // namespace PickQc
