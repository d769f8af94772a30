#include <fbqc/reciprocity.h>
#include <fbqc/receiverlines.h>
#include <fbqc/robuststats.h>

#include <fbqc/memoryadvice.h>
#include <fbfile/fbpicks.h>

#include <algorithm>
#include <cmath>

using namespace FbFile;

namespace FbQc {

namespace {

// Two consecutive receivers bracket a source only this close together,
// in median receiver spacings: a line with one missing station still
// brackets it (a hair more for rounding).
constexpr double MaxGapSpacings = 2.05;
// A source this close to a receiver, in spacings, sits on it.
constexpr double OnReceiverSpacings = 0.05;
// Where sources are sought around a spread, and how close two sources are
// one position (a repeat), in spacings.
constexpr double LateralSpacings = 0.5;
// How far off the segment between two receivers a source may sit and still
// stand where the spread recorded, in spacings: a source farther off the
// line (on a road beside the spread) shares no receiver's place, and its
// time there would differ by the detour.
constexpr double OffLineSpacings = 0.25;
// A side's curve that meets offset 0 farther than this, in ms, from the
// shot's time at the source bent across the corner near the source (one
// direct pick before a gap): its shape there is not the ground's.
constexpr double CornerCutMs = 3.0;
// Grid cells for finding sources near a spread, in receiver spacings: a
// spread then touches a handful of cells.
constexpr double CellSpacings = 64.0;
// A box over more cells than this is searched around each receiver
// instead.
constexpr double MaxCells = 4096;
// Sources compared with one shot, per receiver, and sources looked at for
// them: the work of a shot stays bounded by its picks whatever its
// stations and coordinates say.
constexpr size_t MaxPartnersPerPick = 2;
constexpr size_t MaxLookedAtPerPartner = 8;
// Receivers at which a repeat is compared.
constexpr int RepeatProbes = 8;
// A time read at one receiver is set against the residuals of up to this
// many receivers each way along the spread, within this many spacings of
// it, and needs this many of them: on an emergent onset single picks
// scatter by a cycle, and one of them would decide a pair.
constexpr int SteadyReceivers = 4;
constexpr double SteadySpacings = 4.5;
constexpr int MinSteadyReceivers = 4;
// A pick further off its neighbours than an outlier lies off its curve is
// read where they say; nearer it stands, since its station's static is
// also under the source there and cancels across the pair.
constexpr double SteadyMs = 8.0;

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

void SpreadView::build(const FbRecord *records, int n, ShotLines *lines)
{
    m_records = records;
    m_fit = nullptr;

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
    // Several receivers on one station: the stations were not set, and
    // only positions can say where a receiver is.
    m_stations = !repeated;
    if (!m_stations)
        m_lines.clear();
    // One line of receivers on consecutive stations, each once: a
    // station's receiver is found by its number alone.
    m_consecutive = m_stations && m_lines.size() == 1 && qint64(m_lines[0].maxStat) - m_lines[0].minStat + 1 == n;

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

    // The spacing is the gap between neighbouring receivers of one line.
    // On several receiver lines (a 3-D patch) the receivers next to each
    // other along the main direction lie on different lines, so there the
    // neighbours are those on consecutive stations of each line; without
    // stations, those next to each other along each line the positions
    // tell apart.
    bool byLine = m_stations && m_lines.size() > 1;
    const std::vector<int> *order = byLine ? &m_byStation : &m_along;
    std::vector<int> byPlace;
    std::vector<int> lineOf;
    if (!m_stations && m >= 3) {
        ShotLines own(records, n);
        const ReceiverLines &found = (lines ? lines : &own)->lines();
        if (found.count() > 1) {
            lineOf.assign(size_t(n), -1);
            std::vector<double> place(size_t(n), 0.0);
            for (int i : m_along) {
                lineOf[size_t(i)] = found.lineAt(records[i].group_x, records[i].group_y);
                place[size_t(i)] = found.along(records[i].group_x, records[i].group_y);
            }
            byPlace = m_along;
            std::stable_sort(byPlace.begin(), byPlace.end(), [&](int a, int b) {
                return lineOf[size_t(a)] != lineOf[size_t(b)] ? lineOf[size_t(a)] < lineOf[size_t(b)]
                                                              : place[size_t(a)] < place[size_t(b)];
            });
            order = &byPlace;
            byLine = true;
        }
    }
    double sum = 0.0, longest = 0.0;
    for (size_t k = 1; k < order->size(); ++k) {
        const int ia = (*order)[k - 1], ib = (*order)[k];
        const FbRecord &a = records[ia], &b = records[ib];
        const bool sameLine = lineOf.empty() ? a.g_line == b.g_line : lineOf[size_t(ia)] == lineOf[size_t(ib)];
        if (byLine && (!sameLine || !finite(a.group_x, a.group_y) || !finite(b.group_x, b.group_y)))
            continue;
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

double SpreadView::stationTime(qint32 line, qint32 stat, bool *found) const
{
    *found = false;
    const FbRecord *records = m_records;
    int at = -1;
    if (m_consecutive) {
        const LineRange &range = m_lines[0];
        if (line == range.line && stat >= range.minStat && stat <= range.maxStat)
            at = m_byStation[size_t(qint64(stat) - range.minStat)];
    } else {
        const auto hit =
            std::lower_bound(m_byStation.begin(), m_byStation.end(), std::make_pair(line, stat),
                             [records](int i, const std::pair<qint32, qint32> &key) {
                                 const FbRecord &r = records[i];
                                 return r.g_line != key.first ? r.g_line < key.first : r.g_stat < key.second;
                             });
        if (hit != m_byStation.end() && records[*hit].g_line == line && records[*hit].g_stat == stat)
            at = *hit;
    }
    if (at < 0)
        return NaN;
    *found = true;
    return FbPicks::pickTime(records[at]);
}

double SpreadView::timeAt(qint32 line, qint32 stat, double x, double y) const
{
    const FbRecord *records = m_records;
    const int m = static_cast<int>(m_position.size());
    const double spacing = m_spacingBound > 0.0 ? this->spacing() : 0.0;
    // Coordinates decide where they are known: a station number says
    // nothing of a source set off the line. Stations serve where the
    // positions are missing.
    const bool byPosition = m >= 2 && spacing > 0.0 && finite(x, y);
    if (m_stations && !byPosition) {
        bool found = false;
        const double t = stationTime(line, stat, &found);
        if (found)
            return t;
    }
    if (m < 1 || !finite(x, y))
        return NaN;
    const double p = (x - m_originX) * m_dirX + (y - m_originY) * m_dirY;
    int k = static_cast<int>(std::upper_bound(m_position.begin(), m_position.end(), p) - m_position.begin()) - 1;
    // A receiver on the point, found by position.
    for (int j : {k, k + 1}) {
        if (j < 0 || j >= m)
            continue;
        const FbRecord &r = records[m_along[size_t(j)]];
        const double d = distance(x - r.group_x, y - r.group_y);
        if (d == 0.0 || d <= OnReceiverSpacings * spacing)
            return steadyTime(j, spacing);
    }
    if (!(spacing > 0.0))
        return NaN;
    if (k == m - 1 && p == m_position[size_t(k)])
        --k;
    if (k < 0 || k >= m - 1)
        return NaN;
    const FbRecord &a = records[m_along[size_t(k)]], &b = records[m_along[size_t(k) + 1]];
    const double ex = double(b.group_x) - a.group_x, ey = double(b.group_y) - a.group_y;
    const double gap = distance(ex, ey);
    if (gap > MaxGapSpacings * spacing)
        return NaN;
    double lambda = 0.0;
    if (gap > 0.0)
        lambda = qBound(0.0, ((x - a.group_x) * ex + (y - a.group_y) * ey) / (gap * gap), 1.0);
    const double lateral = distance(x - (a.group_x + lambda * ex), y - (a.group_y + lambda * ey));
    if (lateral > OffLineSpacings * spacing)
        return NaN;
    const int ia = m_along[size_t(k)], ib = m_along[size_t(k) + 1];
    const double ta = FbPicks::pickTime(a), tb = FbPicks::pickTime(b);
    double t = ta + lambda * (tb - ta);
    // Across a missing receiver at a crossover a straight line cuts the
    // corner: follow the fitted curve's shape from each end instead. A short
    // end of the spread, with too few picks for a curve of its own or a
    // curve that cut the corner at the source, takes the other side's: near
    // the source the ground bends both ways alike.
    if (m_fit && m_fit->picks.size() > std::max(ia, ib) && m_fit->picks[ia].side == m_fit->picks[ib].side) {
        const int own = m_fit->picks[ia].side;
        const auto meetsSource = [this](const SideModel &m) {
            return m.judged && !(std::abs(m.timeAt(0.0) - m_fit->sourceDelay) > CornerCutMs);
        };
        const bool borrow =
            !m_fit->sides[own].judged || (!meetsSource(m_fit->sides[own]) && meetsSource(m_fit->sides[1 - own]));
        const SideModel &side = m_fit->sides[borrow ? 1 - own : own];
        const double oa = std::abs(double(a.offset)), ob = std::abs(double(b.offset));
        const double ma = side.timeAt(oa), mb = side.timeAt(ob), mp = side.timeAt(oa + lambda * (ob - oa));
        const double shaped = (1.0 - lambda) * (ta + mp - ma) + lambda * (tb + mp - mb);
        if (std::isfinite(shaped))
            t = shaped;
    }
    return std::isfinite(t) ? t : NaN;
}

double SpreadView::steadyTime(int k, double spacing) const
{
    const int i = m_along[size_t(k)];
    const FbRecord &own = m_records[i];
    const double t = FbPicks::pickTime(own);
    // Set against the neighbours' residuals about the shot's fitted curve,
    // which follows the bends at the source and at each crossover and the
    // heights the picks follow, as a line through the picks would not.
    if (!std::isfinite(t) || !m_fit || m_fit->picks.size() <= i || !m_fit->picks[i].judged)
        return t;
    const int m = static_cast<int>(m_along.size());
    const double reach = SteadySpacings * spacing;
    double residuals[2 * SteadyReceivers];
    int n = 0;
    for (int step : {-1, 1}) {
        int found = 0;
        for (int j = k + step; j >= 0 && j < m && found < SteadyReceivers; j += step) {
            if (std::abs(m_position[size_t(j)] - m_position[size_t(k)]) > reach)
                break;
            const int r = m_along[size_t(j)];
            const PickVerdict &v = m_fit->picks[r];
            if (!v.judged || !std::isfinite(v.residual) ||
                distance(double(m_records[r].group_x) - own.group_x, double(m_records[r].group_y) - own.group_y) >
                    reach)
                continue;
            residuals[n++] = v.residual;
            ++found;
        }
    }
    if (n < MinSteadyReceivers)
        return t;
    // A handful of values: sorted in place by insertion.
    for (int a = 1; a < n; ++a) {
        const double v = residuals[a];
        int b = a;
        for (; b > 0 && residuals[b - 1] > v; --b)
            residuals[b] = residuals[b - 1];
        residuals[b] = v;
    }
    const double typical = medianOfSorted(residuals, size_t(n));
    const double off = double(m_fit->picks[i].residual) - typical;
    return std::abs(off) > SteadyMs ? t - off : t;
}

void SpreadView::probes(double x, double y, int count, std::vector<int> *out) const
{
    out->clear();
    const int m = static_cast<int>(m_along.size());
    if (m == 0 || count <= 0)
        return;
    // Receivers closer to the source than a spacing see its near field,
    // where a repeat tells little.
    const double near = qMax(spacing(), 0.0);
    std::vector<int> away;
    away.reserve(size_t(m));
    for (int k = 0; k < m; ++k) {
        const FbRecord &r = m_records[m_along[size_t(k)]];
        if (std::isfinite(FbPicks::pickTime(r)) && !(distance(x - r.group_x, y - r.group_y) < near))
            away.push_back(m_along[size_t(k)]);
    }
    const int a = static_cast<int>(away.size());
    for (int j = 0; j < count && j < a; ++j) {
        const int pick = count >= a ? j : int(qint64(j) * (a - 1) / qMax(1, count - 1));
        if (out->empty() || out->back() != away[size_t(pick)])
            out->push_back(away[size_t(pick)]);
    }
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
    const size_t wanted = MaxPartnersPerPick * size_t(view.size()) + 16;
    const size_t lookAt = MaxLookedAtPerPartner * wanted;
    size_t looked = 0;
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
            std::inplace_merge(sources.sorted.begin(), sources.sorted.begin() + qint64(middle), sources.sorted.end(),
                               order);
            sources.tail.clear();
        }
        auto from = std::lower_bound(sources.sorted.begin(), sources.sorted.end(), range.minStat,
                                     [this](qint32 shot, qint32 stat) { return m_shots->source(shot).stat < stat; });
        // Many sources on one station (stations not set, or re-shot
        // again and again): the latest are the ones compared.
        auto to = std::upper_bound(from, sources.sorted.end(), range.maxStat,
                                   [this](qint32 stat, qint32 shot) { return stat < m_shots->source(shot).stat; });
        if (size_t(to - from) > lookAt)
            from = to - qint64(lookAt);
        m_found.insert(m_found.end(), from, to);
        looked += size_t(to - from);
    }

    double minX, maxX, minY, maxY;
    if (looked < lookAt && view.box(&minX, &maxX, &minY, &maxY)) {
        gridSources(shot, view.spacingBound());
        auto visit = [&](qint64 cx, qint64 cy) {
            const auto it = m_grid.find(cellKey(cx, cy));
            if (it == m_grid.end())
                return;
            const std::vector<qint32> &cell = it->second;
            // The latest sources of the cell first: they are the partners
            // kept when a cell holds too many.
            for (auto b = cell.rbegin(); b != cell.rend() && looked < lookAt; ++b, ++looked) {
                const ShotSource &s = m_shots->source(*b);
                if (s.x >= minX && s.x <= maxX && s.y >= minY && s.y <= maxY)
                    m_found.push_back(*b);
            }
        };
        const qint64 cx0 = cellOf(minX, m_cell), cx1 = cellOf(maxX, m_cell);
        const qint64 cy0 = cellOf(minY, m_cell), cy1 = cellOf(maxY, m_cell);
        // In floating point: far-apart garbage coordinates would overflow
        // the product of the cell counts.
        const double cells = (double(cx1) - double(cx0) + 1.0) * (double(cy1) - double(cy0) + 1.0);
        if (cells <= MaxCells && cells <= 9.0 * view.size() + 9.0) {
            for (qint64 cx = cx0; cx <= cx1 && looked < lookAt; ++cx)
                for (qint64 cy = cy0; cy <= cy1 && looked < lookAt; ++cy)
                    visit(cx, cy);
        } else {
            // A box over many cells: the cells around each receiver, so
            // that the search costs what the spread's picks do.
            m_cells.clear();
            for (int i = 0; i < view.size(); ++i) {
                const FbRecord &r = view.record(i);
                if (!finite(r.group_x, r.group_y))
                    continue;
                const qint64 cx = cellOf(r.group_x, m_cell), cy = cellOf(r.group_y, m_cell);
                for (qint64 dx = -1; dx <= 1; ++dx)
                    for (qint64 dy = -1; dy <= 1; ++dy)
                        m_cells.push_back(cellKey(cx + dx, cy + dy));
            }
            std::sort(m_cells.begin(), m_cells.end());
            m_cells.erase(std::unique(m_cells.begin(), m_cells.end()), m_cells.end());
            for (size_t k = 0; k < m_cells.size() && looked < lookAt; ++k)
                visit(qint64(qint32(m_cells[k] >> 32)), qint64(qint32(m_cells[k] & 0xffffffffu)));
        }
    }
    std::sort(m_found.begin(), m_found.end());
    m_found.erase(std::unique(m_found.begin(), m_found.end()), m_found.end());
    if (m_found.size() > wanted)
        m_found.erase(m_found.begin(), m_found.end() - qint64(wanted));
}

void Reciprocity::addPending(const Pending &p)
{
    if (m_pending.size() == m_pending.capacity()) {
        // Millions of pairs: each doubling lands in fresh memory, which
        // large pages fault in a hundred times faster.
        std::vector<Pending> room;
        room.reserve(std::max<size_t>(4096, 2 * m_pending.capacity()));
        adviseLargePages(room.data(), room.capacity() * sizeof(Pending));
        room.assign(m_pending.cbegin(), m_pending.cend());
        m_pending.swap(room);
    }
    m_pending.push_back(p);
}

void Reciprocity::compareRepeat(qint32 a, qint32 shot, const SpreadView &view, const SpreadView *earlier)
{
    const ShotSource &own = m_shots->source(shot);
    view.probes(own.x, own.y, RepeatProbes, &m_probeRows);
    for (int row : m_probeRows) {
        const FbRecord &r = view.record(row);
        const Probe probe{r.g_line, r.g_stat, r.group_x, r.group_y};
        double timeA = NaN;
        if (earlier) {
            timeA = earlier->timeAt(probe.line, probe.stat, probe.x, probe.y);
            if (!std::isfinite(timeA))
                continue;
        }
        m_probes.push_back(probe);
        addPending(Pending{a, shot, r.fb_time, float(timeA), qint32(m_probes.size() - 1)});
    }
}

void Reciprocity::addShot(qint32 shot, const SpreadView &view, const HeldSpread &held)
{
    if (view.size() <= 0)
        return;
    candidates(view, shot);
    const ShotSource &own = m_shots->source(shot);
    const double spacing = view.spacingBound() > 0.0 ? view.spacing() : 0.0;
    for (qint32 a : m_found) {
        const ShotSource &s = m_shots->source(a);
        const SpreadView *earlier = held ? held(a) : nullptr;
        // One source position twice: a re-shot, compared as a repeat. By
        // position where the spread gives a scale, else by station.
        const bool repeat = spacing > 0.0 && finite(s.x, s.y) && finite(own.x, own.y)
                                ? distance(double(s.x) - own.x, double(s.y) - own.y) <= LateralSpacings * spacing
                                : s.line == own.line && s.stat == own.stat;
        if (repeat) {
            compareRepeat(a, shot, view, earlier);
            continue;
        }
        const double timeBA = view.timeAt(s.line, s.stat, s.x, s.y);
        if (!std::isfinite(timeBA))
            continue;
        double timeAB = NaN;
        if (earlier) {
            timeAB = earlier->timeAt(own.line, own.stat, own.x, own.y);
            if (!std::isfinite(timeAB))
                continue;
        }
        addPending(Pending{a, shot, static_cast<float>(timeBA), static_cast<float>(timeAB), -1});
    }
}

std::vector<qint32> Reciprocity::secondPassShots()
{
    // The entries that wait for A's records, by A and then as they came.
    m_waiting.clear();
    for (size_t k = 0; k < m_pending.size(); ++k) {
        if (std::isnan(m_pending[k].timeA))
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

void Reciprocity::point(const Pending &p, qint32 *line, qint32 *stat, double *x, double *y) const
{
    if (p.probe >= 0) {
        const Probe &probe = m_probes[size_t(p.probe)];
        *line = probe.line, *stat = probe.stat, *x = probe.x, *y = probe.y;
        return;
    }
    const ShotSource &s = m_shots->source(p.b);
    *line = s.line, *stat = s.stat, *x = s.x, *y = s.y;
}

void Reciprocity::complete(qint32 shot, const FbRecord *records, int n, SpreadView *view, const ShotFit *fit,
                           ShotLines *lines)
{
    const auto first = std::lower_bound(m_waiting.begin(), m_waiting.end(), shot,
                                        [this](qint32 k, qint32 a) { return m_pending[size_t(k)].a < a; });
    const auto last = std::upper_bound(first, m_waiting.end(), shot,
                                       [this](qint32 a, qint32 k) { return a < m_pending[size_t(k)].a; });
    if (first == last)
        return;
    view->build(records, n, lines);
    view->setFit(fit);
    for (auto it = first; it != last; ++it) {
        Pending &p = m_pending[size_t(*it)];
        qint32 line, stat;
        double x, y;
        point(p, &line, &stat, &x, &y);
        p.timeA = static_cast<float>(view->timeAt(line, stat, x, y));
    }
}

void Reciprocity::finish(QVector<ReciprocalPair> *pairs, QVector<RepeatPair> *repeats)
{
    // The compared pairs by earlier shot, the later ones ascending within
    // each as they came (a counting sort straight into the list).
    pairs->clear();
    repeats->clear();
    if (!m_pending.empty()) {
        std::vector<qint32> next(size_t(m_shots->size()) + 1, 0);
        for (const Pending &p : m_pending)
            next[size_t(p.a) + 1] += p.probe < 0 && std::isfinite(p.timeA) ? 1 : 0;
        for (size_t s = 1; s < next.size(); ++s)
            next[s] += next[s - 1];
        // Millions of pairs: large pages spare a fault per page.
        pairs->reserve(next.back());
        adviseLargePages(pairs->constData(), size_t(next.back()) * sizeof(ReciprocalPair));
        pairs->resize(next.back());
        ReciprocalPair *out = pairs->data();
        for (const Pending &p : m_pending) {
            if (p.probe >= 0 || !std::isfinite(p.timeA))
                continue;
            ReciprocalPair &pair = out[next[size_t(p.a)]++];
            pair.shotA = p.a;
            pair.shotB = p.b;
            pair.timeAB = p.timeA;
            pair.timeBA = p.timeB;
        }
        // Repeats: the median difference over the receivers both recorded.
        std::vector<const Pending *> probes;
        for (const Pending &p : m_pending) {
            if (p.probe >= 0 && std::isfinite(p.timeA))
                probes.push_back(&p);
        }
        std::stable_sort(probes.begin(), probes.end(),
                         [](const Pending *x, const Pending *y) { return x->a != y->a ? x->a < y->a : x->b < y->b; });
        std::vector<double> differences;
        for (size_t k = 0; k < probes.size();) {
            size_t end = k;
            differences.clear();
            while (end < probes.size() && probes[end]->a == probes[k]->a && probes[end]->b == probes[k]->b) {
                differences.push_back(double(probes[end]->timeA) - probes[end]->timeB);
                ++end;
            }
            const double middle = median(differences);
            repeats->append(RepeatPair{probes[k]->a, probes[k]->b, float(middle), qint32(end - k)});
            k = end;
        }
    }
    std::vector<Pending>().swap(m_pending);
    std::vector<Probe>().swap(m_probes);
    std::vector<qint32>().swap(m_waiting);
    m_grid.clear();
    m_lines.clear();
    std::vector<qint32>().swap(m_firstLineRoom);
    m_lastSources = nullptr;
}

} // namespace FbQc
