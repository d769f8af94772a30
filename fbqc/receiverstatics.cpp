#include <fbqc/receiverstatics.h>

#include <fbfile/fbpicks.h>
#include <fbqc/positionkey.h>
#include <fbqc/robuststats.h>

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace FbFile;

namespace FbQc {

namespace {

// The receivers searched around a source, in spacings: a source off the
// line beside its station takes that station's ground up to this far.
constexpr double ReachSpacings = 2.0;
// Two receivers are neighbours along a line up to this many spacings apart
// (one station missing between them).
constexpr double MaxGapSpacings = 2.05;
// Beyond the last receiver a source's ground is not known: past half a
// spacing it is left alone.
constexpr double BeyondSpacings = 0.5;

void positionOf(quint64 key, float *x, float *y)
{
    const quint32 bx = quint32(key >> 32), by = quint32(key);
    std::memcpy(x, &bx, sizeof bx);
    std::memcpy(y, &by, sizeof by);
}

} // namespace

bool ReceiverStatics::counts(const FbRecord &r, const PickVerdict &v)
{
    return v.judged && v.run == 0 && FbPicks::isLive(r) && std::isfinite(r.group_x) && std::isfinite(r.group_y) &&
           std::abs(double(v.residual)) <= ReceiverStatics::StaticClipMs;
}

namespace {

// Cut toward zero: one rule whatever adds it, and cheap.
qint64 fixedPoint(float residual)
{
    return qint64(double(residual) * ReceiverStatic::PerMs);
}

qint64 fixedPointSquare(float residual)
{
    return qint64(double(residual) * double(residual) * ReceiverStatic::PerMs);
}

} // namespace

ReceiverStatic &ReceiverStatics::Shard::at(quint64 key)
{
    if (2 * (used + 1) > table.size()) {
        std::vector<ReceiverStatic> old(std::max<size_t>(1024, 2 * table.size()));
        old.swap(table);
        used = 0;
        for (const ReceiverStatic &s : old) {
            if (s.picks != 0)
                at(s.key) = s;
        }
    }
    const size_t mask = table.size() - 1;
    for (size_t k = mixKey(key) & mask;; k = (k + 1) & mask) {
        ReceiverStatic &s = table[k];
        if (s.picks == 0) {
            ++used;
            s.key = key;
            return s;
        }
        if (s.key == key)
            return s;
    }
}

ReceiverStatics::ReceiverStatics(int shards) : m_shards(size_t(std::max(1, shards))) { }

void ReceiverStatics::add(int shard, const ReceiverStatic *picks, size_t n)
{
    Shard &s = m_shards[size_t(shard)];
    const quint64 count = m_shards.size();
    for (size_t i = 0; i < n; ++i) {
        if (count > 1 && shardOf(picks[i].key, count) != quint64(shard))
            continue;
        ReceiverStatic &sum = s.at(picks[i].key);
        sum.sum += picks[i].sum;
        sum.picks += picks[i].picks;
        sum.squares += picks[i].squares;
    }
}

QVector<ReceiverStatic> ReceiverStatics::take()
{
    size_t total = 0;
    for (const Shard &s : m_shards)
        total += s.used;
    QVector<ReceiverStatic> all;
    all.reserve(int(total));
    for (Shard &s : m_shards) {
        for (const ReceiverStatic &sum : s.table) {
            if (sum.picks != 0)
                all.append(sum);
        }
        s = Shard();
    }
    std::sort(all.begin(), all.end(), [](const ReceiverStatic &a, const ReceiverStatic &b) { return a.key < b.key; });
    return all;
}

void ReceiverStatics::collect(const FbRecord *records, const PickVerdict *verdicts, int n, int sign,
                              std::vector<ReceiverStatic> *change)
{
    for (int i = 0; i < n; ++i) {
        if (counts(records[i], verdicts[i]))
            change->push_back(ReceiverStatic{positionKey(records[i].group_x, records[i].group_y),
                                             sign * fixedPoint(verdicts[i].residual), sign,
                                             sign * fixedPointSquare(verdicts[i].residual)});
    }
}

void ReceiverStatics::apply(QVector<ReceiverStatic> *sums, std::vector<ReceiverStatic> change)
{
    if (change.empty())
        return;
    std::sort(change.begin(), change.end(),
              [](const ReceiverStatic &a, const ReceiverStatic &b) { return a.key < b.key; });
    // One walk over both, ascending by key.
    QVector<ReceiverStatic> out;
    out.reserve(sums->size() + int(change.size()));
    auto it = sums->cbegin();
    for (size_t k = 0; k < change.size();) {
        const quint64 key = change[k].key;
        for (; it != sums->cend() && it->key < key; ++it)
            out.append(*it);
        ReceiverStatic s{key, 0, 0};
        if (it != sums->cend() && it->key == key)
            s = *it++;
        for (; k < change.size() && change[k].key == key; ++k) {
            s.sum += change[k].sum;
            s.picks += change[k].picks;
            s.squares += change[k].squares;
        }
        if (s.picks != 0)
            out.append(s);
    }
    for (; it != sums->cend(); ++it)
        out.append(*it);
    *sums = std::move(out);
}

GroundStatics::GroundStatics(const QVector<ReceiverStatic> &sums)
{
    // A receiver's mean residual is its ground's static plus what its picks
    // are off, by their scatter over the root of their number: at the start
    // of an end-on line a receiver has a pick or two, each off by
    // milliseconds on a noisy record, and its mean tells more of them than
    // of its ground. The picks' scatter about their receiver's mean, pooled
    // over the file, says how far each mean is off; the spread the means
    // have beyond that is the ground's. Each mean is drawn toward no static
    // by the share of it its picks' scatter may explain: kept where the
    // statics stand out of the picks' noise, gone where they do not.
    double within = 0.0, freedom = 0.0, spread = 0.0, noise = 0.0;
    for (const ReceiverStatic &s : sums) {
        const double mean = s.meanMs();
        if (s.picks > 1) {
            within += std::max(0.0, double(s.squares) / ReceiverStatic::PerMs - double(s.picks) * mean * mean);
            freedom += double(s.picks - 1);
        }
    }
    const double scatter = freedom > 0.0 ? within / freedom : 0.0; // one pick's, ms²
    for (const ReceiverStatic &s : sums) {
        const double mean = s.meanMs();
        spread += mean * mean;
        noise += scatter / double(std::max<qint64>(1, s.picks));
    }
    const double ground = sums.isEmpty() ? 0.0 : std::max(0.0, (spread - noise) / double(sums.size())); // ms²
    std::vector<Point> points;
    for (const ReceiverStatic &s : sums) {
        Point p;
        positionOf(s.key, &p.x, &p.y);
        const double off = scatter / double(std::max<qint64>(1, s.picks));
        p.ms = float(off > 0.0 ? s.meanMs() * ground / (ground + off) : s.meanMs());
        points.push_back(p);
    }
    // Receivers next to each other in x, then y, are mostly neighbours on
    // their line: the median of their distances is the spacing.
    std::sort(points.begin(), points.end(),
              [](const Point &a, const Point &b) { return std::tie(a.x, a.y) < std::tie(b.x, b.y); });
    std::vector<double> gaps;
    for (size_t k = 1; k < points.size(); ++k) {
        const double d = std::hypot(double(points[k].x) - points[k - 1].x, double(points[k].y) - points[k - 1].y);
        if (d > 0.0)
            gaps.push_back(d);
    }
    if (gaps.empty())
        return;
    m_cell = median(gaps);
    m_byX = points;
    std::vector<std::pair<quint64, size_t>> keyed(points.size());
    for (size_t k = 0; k < points.size(); ++k)
        keyed[k] = {cellOf(points[k].x, points[k].y), k};
    std::sort(keyed.begin(), keyed.end());
    m_points.reserve(points.size());
    for (size_t k = 0; k < keyed.size(); ++k) {
        if (k == 0 || keyed[k].first != keyed[k - 1].first)
            m_cells.emplace_back(keyed[k].first, m_points.size());
        m_points.push_back(points[keyed[k].second]);
    }
}

quint64 GroundStatics::cellOf(double x, double y) const
{
    // Far coordinates are clamped: cells far off never hold a neighbour.
    const auto index = [this](double v) { return qint32(qBound(-2.0e9, std::floor(v / m_cell), 2.0e9)); };
    return quint64(quint32(index(x))) << 32 | quint32(index(y));
}

double GroundStatics::at(double x, double y) const
{
    if (!(m_cell > 0.0) || !std::isfinite(x) || !std::isfinite(y))
        return 0.0;
    // The two nearest receivers within reach.
    const Point *a = nullptr, *b = nullptr;
    double da = HUGE_VAL, db = HUGE_VAL;
    const int rings = int(std::ceil(ReachSpacings));
    const double cx = qBound(-2.0e9, std::floor(x / m_cell), 2.0e9), cy = qBound(-2.0e9, std::floor(y / m_cell), 2.0e9);
    for (int i = -rings; i <= rings; ++i) {
        for (int j = -rings; j <= rings; ++j) {
            const quint64 cell = quint64(quint32(qint32(cx) + i)) << 32 | quint32(qint32(cy) + j);
            const auto it = std::lower_bound(m_cells.cbegin(), m_cells.cend(), std::make_pair(cell, size_t(0)));
            if (it == m_cells.cend() || it->first != cell)
                continue;
            const size_t end = it + 1 == m_cells.cend() ? m_points.size() : (it + 1)->second;
            for (size_t k = it->second; k < end; ++k) {
                const Point &p = m_points[k];
                const double d = std::hypot(double(p.x) - x, double(p.y) - y);
                if (d < da)
                    b = a, db = da, a = &p, da = d;
                else if (d < db)
                    b = &p, db = d;
            }
        }
    }
    const double reach = ReachSpacings * m_cell;
    if (!a || da > reach)
        return 0.0;
    if (da == 0.0 || !b)
        return a->ms;
    const double ex = double(b->x) - a->x, ey = double(b->y) - a->y, gap = std::hypot(ex, ey);
    if (gap > MaxGapSpacings * m_cell)
        return da <= BeyondSpacings * m_cell ? a->ms : 0.0;
    // Along the two, from a to b: a source past either end by more than
    // half a spacing stands where no receiver was.
    const double along = ((x - a->x) * ex + (y - a->y) * ey) / gap;
    if (along < -BeyondSpacings * m_cell || along > gap + BeyondSpacings * m_cell)
        return 0.0;
    const double lambda = qBound(0.0, along / gap, 1.0);
    const double lateral = std::hypot(x - (a->x + lambda * ex), y - (a->y + lambda * ey));
    if (lateral > reach)
        return 0.0;
    return (1.0 - lambda) * a->ms + lambda * b->ms;
}

double GroundStatics::underSpan(double x, double y, const InterceptSpan &span) const
{
    if (!(span.nearest <= span.farthest))
        return 0.0;
    // Distances as the summary rounded them to floats.
    const double nearest = double(span.nearest) * (1.0 - 1e-6), farthest = double(span.farthest) * (1.0 + 1e-6);
    const double sideX = double(span.x) - x, sideY = double(span.y) - y;
    const auto first =
        std::lower_bound(m_byX.cbegin(), m_byX.cend(), x - farthest, [](const Point &p, double v) { return p.x < v; });
    double sum = 0.0;
    int n = 0;
    // Squared distances: every receiver of a long line's x range is tried.
    const double nearest2 = nearest * nearest, farthest2 = farthest * farthest;
    for (auto it = first; it != m_byX.cend() && it->x <= x + farthest; ++it) {
        const double dx = double(it->x) - x, dy = double(it->y) - y;
        const double d2 = dx * dx + dy * dy;
        if (d2 < nearest2 || d2 > farthest2 || dx * sideX + dy * sideY <= 0.0)
            continue;
        sum += it->ms;
        ++n;
    }
    return n > 0 ? sum / n : 0.0;
}

} // namespace FbQc
