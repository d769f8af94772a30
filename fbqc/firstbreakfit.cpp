#include <fbqc/firstbreakfit.h>

#include <fbfile/fbpicks.h>
#include <fbqc/receiverlines.h>

#include <algorithm>
#include <cmath>
#include <numeric>

using namespace FbFile;

namespace FbQc {

namespace {

// A refractor's segment needs this many taking-part picks, so that a kink
// is never bought with a couple of noisy picks.
constexpr int MinSegmentPicks = 3;
// The direct arrival may be seen on as few picks: its line must then meet
// offset 0 at a plausible source delay.
constexpr int MinDirectPicks = 2;
// Through a source delay the other side or the picks at the source tell, a
// direct arrival may be seen on one pick: a wrong pick beside it on the
// trace nearest the source must not take the side's curve.
constexpr int MinPinnedPicks = 1;
// A segment slower than the one before, and that one, need more: a wrong
// pick or two at a side's end must not bend it back.
constexpr int MinSlowerPicks = 5;
// and must be slower by at least this fraction: less is noise, or hills
// the heights explain.
constexpr double MinSlowerFraction = 0.08;
// The cut the fit judges its own picks by, whatever threshold the user
// chooses for outliers: one model for every threshold, so that a new
// threshold is a new verdict on the same residuals.
constexpr double FitCutMs = 8.0;
// A source delay: trigger delay, uphole time and source static, and a
// late (or early) shot's timing error on top, ms.
constexpr double DelayMinMs = -12.0;
constexpr double DelayMaxMs = 40.0;
// Below this a source delay is no fit of one side's picks alone: trigger
// and uphole times are not negative, so a line meeting offset 0 earlier is
// an early shot that other picks confirm, or a direct arrival bent to a
// wrong pick. An early shot keeps its delay, which its timing error tells.
constexpr double DelayFloorMs = -3.0;
// Picks at the source earlier than this before a first segment's line at
// offset 0 are not its noise: the segment is no direct arrival.
constexpr double SourceEarlierMs = 3.0;
// A segment whose line rises less than this across its picks has no
// measurable slope: it gives no velocity and is not a segment of its own.
constexpr double MinRiseMs = 1.0;
// A stretch the curve bends back from to a line this much slower, and
// shorter than that line's, steps between two lines (receiver lines at
// different heights mixing, a step in the refractor): its slope is no
// velocity of the ground.
constexpr double BentBackSlower = 1.5;
// Breakpoint grid: every pick this close to the source (where the direct
// arrival may be short), then tail starts growing by a factor, and this
// many even parts of the side.
constexpr int DenseNear = 4;
constexpr double GridGrowth = 2.0;
constexpr int GridEven = 6;
// A fit that may bend towards the slower tries up to this many breakpoints
// spread evenly over the side: a slower bend is often short (a deeper
// refractor seen only until the ground slows), too short for the grid
// above to hold both its ends. Such fits are rare, so the cost is small.
constexpr int SlowerGrid = 256;
// Noise below this does not count for choosing the number of segments:
// times are often stored to an eighth of a millisecond.
constexpr double NoiseFloorMs = 0.1;
// What a segment must buy, in units of log(picks) of the criterion; less
// before the cut is final, while wrong picks still inflate the residuals
// and a missed kink would shut out the good picks beyond it.
constexpr double SegmentPenalty = 4.0;
constexpr double EarlySegmentPenalty = 1.0;
// What a bend towards the slower costs on top, at every price: layered
// ground only bends towards the faster, so the picks must demand it, and
// a side is fitted with such bends only when its picks are left well off
// a curve without them (see ShotFitter::fit()).
constexpr double SlowerBendPenalty = 4.0;
// Sides with fewer picks start at the lower price: a wrong pick weighs
// more among few.
constexpr int FewPicks = 40;
// The price of a segment when fits are compared over every pick, each
// counting at most the threshold: explaining picks the other fit leaves
// beyond it is worth a segment sooner.
constexpr double RobustSegmentPenalty = 2.0;
constexpr double CutSigmas = 3.5;
constexpr double CutFloorMs = 1.5;
// Cuts after the first rounds, ms: generous first, so that a model pulled
// by wrong picks still keeps the good ones. Stage 0 fits every pick, the
// last stage cuts at 3.5 standard deviations.
constexpr double StageFloorsMs[] = {16.0, 12.0, 6.0};
constexpr int Stages = int(sizeof StageFloorsMs / sizeof StageFloorsMs[0]) + 2;
constexpr int MaxRounds = 10;
// Moving breakpoints to where their lines cross, at most this often.
constexpr int SettleSteps = 3;
// Neighbouring segments whose velocities differ by less than this fraction
// are one refractor: statics of a millisecond split a refractor 20 m
// stations show into two 4% apart.
constexpr double NearEqualFraction = 0.05;
// Such a pair stays two segments only where one line would leave a pick
// further than this and the fit's cut: the bow that statics of a
// millisecond at either end of a long refractor make is no new refractor.
constexpr double NearEqualCutMs = 2.0;
// Picks follow the topography: a receiver higher than the source hears the
// refractor later by its height at the near surface's velocity. The fit
// finds that slowness from the picks themselves, ms per unit of height, at
// most this (100 m/s near surface in metres) and never below 0. Heights
// that would move the times by less than ElevationWorthMs across the shot
// are left to the curve (the fit is as good, and the shot's delay stays
// comparable with its neighbours'); later rounds stop when they would move
// them by less than ElevationMinMs.
constexpr double MaxHeightSlowness = 10.0;
constexpr double ElevationMinMs = 1.0;
constexpr double ElevationWorthMs = 6.0;
constexpr int ElevationRounds = 8;
// Heights that leave this share of the misfit of the picks near the curve
// explain the picks even where they bring no pick back within the cut: on
// hills the curve of times as picked bends along the ground and keeps
// every pick near it, so shots along one line would otherwise fall either
// way.
constexpr double ElevationGain = 0.5;
// Every this many picks tell whether a well fitted shot's heights are
// worth the full test.
constexpr int QuickLookStride = 4;
// A direct arrival kept as picked replaces a correction of every pick at
// the same slowness only when it leaves this share of the misfit or less.
constexpr double DirectKeptGain = 0.125;
// A refractor is at least this much faster than the direct arrival above it.
constexpr double RefractorContrast = 0.7;
// Picks this far off a segment's line still tell the slowness.
constexpr double HeightCutMs = 3.0 * FitCutMs;
// Rounds of the first slowness from the picks' bumps, each leaving out the
// bumps beyond BendSpread times their median misfit (at least BendFloorMs).
constexpr int BendRounds = 3;
// A cycle skip: at least MinRunPicks (at most MaxRunPicks) neighbours by
// |offset|, each more than RunMinMs off the curve the same way, within
// RunSpreadMs of each other, between neighbours within RunNeighbourMs of it:
// a step, where a curve that misses the ground drifts off gradually.
constexpr int MinRunPicks = 4;
constexpr int MaxRunPicks = 24;
constexpr double RunMinMs = 7.0;
constexpr double RunNeighbourMs = 2.5;
// The jump of the residuals at each end of a run that the curve hid.
constexpr double RunJumpMs = 6.0;
constexpr double RunSpreadMs = 6.0;
// Runs of a receiver line's picks off its side's curve beyond which the
// line is taken as noisy rather than on ground of its own.
constexpr int MaxLineRuns = 8;
// A curve bent to a run leaves jumps of its residuals where the run begins
// and ends, though no longer of one step: such jumps, beyond this many
// times the median jump between neighbours (noise), bound the stretches
// tried without, the largest jumps first and at most RunTrials a side.
constexpr double RunJumpNoise = 5.0;
// Noise spreads a run's picks too: a run the curve bent to may spread by
// this many times the median jump, where that is more than RunSpreadMs.
constexpr double RunSpreadNoise = 4.0;
constexpr int RunTrials = 4;
constexpr int MaxBentRuns = 2;
constexpr double BendSpread = 4.0;
constexpr double BendFloorMs = 1.0;
constexpr double BendClearance = 5.0;

double median(double *v, int n)
{
    std::nth_element(v, v + n / 2, v + n);
    const double upper = v[n / 2];
    if (n % 2)
        return upper;
    return 0.5 * (upper + *std::max_element(v, v + n / 2));
}

// Whether two receivers of the shot share a line and station: then the
// file leaves the stations unset. Records mostly come in station order,
// which tells it without sorting.
bool stationsRepeat(const FbRecord *records, int n)
{
    const auto key = [records](int i) { return std::make_pair(records[i].g_line, records[i].g_stat); };
    bool ascending = true, descending = true;
    for (int i = 1; i < n; ++i) {
        if (key(i) == key(i - 1))
            return true;
        ascending = ascending && key(i - 1) < key(i);
        descending = descending && key(i) < key(i - 1);
    }
    if (ascending || descending)
        return false;
    std::vector<std::pair<qint32, qint32>> keys(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        keys[size_t(i)] = key(i);
    std::sort(keys.begin(), keys.end());
    return std::adjacent_find(keys.begin(), keys.end()) != keys.end();
}

} // namespace

void FirstBreakFitter::order(const double *absOffset, const double *time, int n)
{
    m_n = n;
    // Picks usually come in channel order, so one side is already sorted
    // one way or the other; check before paying for a sort.
    bool ascending = true;
    bool descending = true;
    for (int i = 1; i < n; ++i) {
        ascending = ascending && absOffset[i - 1] <= absOffset[i];
        descending = descending && absOffset[i - 1] >= absOffset[i];
    }
    m_ordering = ascending ? Ascending : descending ? Descending : Sorted;
    if (m_ordering == Sorted) {
        m_order.resize(n);
        for (int i = 0; i < n; ++i)
            m_order[i] = i;
        std::stable_sort(m_order.begin(), m_order.end(),
                         [absOffset](int a, int b) { return absOffset[a] < absOffset[b]; });
    }
    m_u.resize(n);
    m_t.resize(n);
    m_w.resize(n);
    m_r.resize(n);
    m_sums.resize(n + 1);
    m_h0 = absOffset[index(0)];
    m_scale = absOffset[index(n - 1)];
    const double inverse = 1.0 / m_scale;
    for (int i = 0; i < n; ++i) {
        const int from = index(i);
        m_u[i] = absOffset[from] * inverse;
        m_t[i] = time[from];
    }

    // Tail starts to try.
    m_grid.clear();
    for (int k = MinDirectPicks; k <= std::min(DenseNear, n - 1); ++k)
        m_grid.push_back(k);
    for (double k = DenseNear * GridGrowth; k < n; k *= GridGrowth)
        m_grid.push_back(static_cast<int>(k));
    for (int g = 1; g < GridEven; ++g)
        m_grid.push_back(g * n / GridEven);
    if (m_slower) {
        const int stride = std::max(1, n / SlowerGrid);
        for (int k = MinDirectPicks; k < n; k += stride)
            m_grid.push_back(k);
    }
    std::sort(m_grid.begin(), m_grid.end());
    m_grid.erase(std::unique(m_grid.begin(), m_grid.end()), m_grid.end());
}

void FirstBreakFitter::prefixSums()
{
    const int n = m_n;
    Sums s = {0, 0, 0, 0, 0, 0};
    m_sums[0] = s;
    for (int i = 0; i < n; ++i) {
        const double w = m_w[i], u = m_u[i], t = m_t[i];
        const double wu = w * u, wt = w * t;
        s.w += w;
        s.u += wu;
        s.uu += wu * u;
        s.t += wt;
        s.ut += wu * t;
        s.tt += wt * t;
        m_sums[i + 1] = s;
    }
}

FirstBreakFitter::Sums FirstBreakFitter::range(int from, int to) const
{
    const Sums &a = m_sums[from], &b = m_sums[to];
    return Sums{b.w - a.w, b.u - a.u, b.uu - a.uu, b.t - a.t, b.ut - a.ut, b.tt - a.tt};
}

FirstBreakFitter::Line FirstBreakFitter::fitLine(int from, int to, bool first, bool alone) const
{
    Line l;
    const Sums s = range(from, to);
    l.w = s.w;
    const bool pinned = first && std::isfinite(m_delay);
    if (s.w < (pinned ? MinPinnedPicks : MinDirectPicks) - 0.5)
        return l;
    if (pinned && s.w < MinDirectPicks - 0.5) {
        // One pick and the source delay make the line.
        l.a = m_delay;
        l.b = (s.ut - l.a * s.u) / s.uu;
        l.ok = true;
        return l;
    }
    const double meanU = s.u / s.w;
    const double cu = s.uu - meanU * s.u;
    const double ct = s.ut - meanU * s.t;
    if (!(cu > 1e-12 * s.uu))
        return l;
    l.b = ct / cu;
    l.a = (s.t - l.b * s.u) / s.w;
    l.sse = s.tt - s.t * s.t / s.w - l.b * ct;
    if (pinned || (first && !alone && s.w < MinSegmentPicks && (l.a < DelayMinMs || l.a > DelayMaxMs))) {
        // A direct arrival through the shot's source delay, or of two or
        // three picks through the nearest plausible one.
        l.a = pinned ? m_delay : qBound(DelayMinMs, l.a, DelayMaxMs);
        const double rise = s.ut - l.a * s.u;
        l.b = rise / s.uu;
        l.sse = s.tt - 2.0 * l.a * s.t + l.a * l.a * s.w - l.b * rise;
    }
    l.sse = std::max(0.0, l.sse);
    l.ok = true;
    return l;
}

bool FirstBreakFitter::plausible(const Model &m, int j) const
{
    const Line &l = m.line[j];
    const bool pinned = j == 0 && std::isfinite(m_delay);
    const int need = j == 0 && m.k > 1 ? (pinned ? MinPinnedPicks : MinDirectPicks) : MinSegmentPicks;
    if (!l.ok || l.w < need - 0.5 || !(l.b > 0.0))
        return false;
    // A line through the source delay rises from offset 0.
    const double span = m_u[m.start[j + 1] - 1] - (pinned ? 0.0 : m_u[m.start[j]]);
    if (l.b * span < MinRiseMs)
        return false;
    if (j == 0)
        return true;
    // Faster than the segment before (a deeper refractor), or slower where
    // the ground under the spread slows (a lateral change), and crossing it
    // among the picks of the two and after the crossing before: every line
    // is the arrival at some of its picks.
    const Line &before = m.line[j - 1];
    if (!(l.b != before.b))
        return false;
    if (l.b > before.b &&
        (!m_slower || std::min(l.w, before.w) < MinSlowerPicks - 0.5 || l.b < before.b * (1.0 + MinSlowerFraction)))
        return false;
    const double cross = (l.a - before.a) / (before.b - l.b);
    if (!(cross > m_u[m.start[j - 1]] && cross < m_u[m.start[j + 1] - 1]))
        return false;
    if (j >= 2) {
        const Line &two = m.line[j - 2];
        if (!(cross > (before.a - two.a) / (two.b - before.b)))
            return false;
    }
    return true;
}

bool FirstBreakFitter::refit(Model *m, int j) const
{
    m->line[j] = fitLine(m->start[j], m->start[j + 1], j == 0, m->k == 1);
    return m->line[j].ok;
}

double FirstBreakFitter::score(const Model &m) const
{
    if (!m.ok)
        return HUGE_VAL;
    const double w = m_sums[m_n].w;
    int slower = 0;
    for (int j = 1; j < m.k; ++j)
        slower += m.line[j].b > m.line[j - 1].b ? 1 : 0;
    return w * std::log(m.sse / w + NoiseFloorMs * NoiseFloorMs) +
           (m_penalty * m.k + SlowerBendPenalty * slower) * std::log(w);
}

void FirstBreakFitter::refine(Model *m, int boundary, int step) const
{
    // Within one number of segments the squared residuals alone decide;
    // only a strictly better place is taken. The two lines' residuals are
    // a function of the breakpoint alone, computed afresh at every place
    // (never carried along as a running total, whose rounding could make a
    // move and its way back both look better): they fall strictly with
    // every move, so no place is visited twice and the breakpoint moves at
    // most once per pick between its neighbours, plus the halvings.
    const int j = boundary;
    const int low = m->start[j - 1], high = m->start[j + 1];
    double pairNow = m->line[j - 1].sse + m->line[j].sse;
    int moves = 0;
    while (step >= 1 && moves < high - low) {
        bool moved = false;
        for (int dir = -1; dir <= 1 && !moved; dir += 2) {
            const int at = m->start[j] + dir * step;
            if (at <= low || at >= high)
                continue;
            // Built and checked only when the residuals say it is better.
            const double pair = lineSse(low, at, j == 1 && m->k > 1) + lineSse(at, high, false);
            if (!(pair < pairNow))
                continue;
            Model t = *m;
            t.start[j] = at;
            refit(&t, j - 1);
            refit(&t, j);
            const double pairThere = t.line[j - 1].sse + t.line[j].sse;
            if (!(pairThere < pairNow))
                continue;
            bool ok = true;
            for (int s = std::max(0, j - 2); s <= std::min(t.k - 1, j + 2) && ok; ++s)
                ok = plausible(t, s);
            if (!ok)
                continue;
            t.sse = m->sse - pairNow + pairThere;
            *m = t;
            pairNow = pairThere;
            moved = true;
            ++moves;
        }
        if (!moved)
            step /= 2;
    }
}

double FirstBreakFitter::lineSse(int from, int to, bool first) const
{
    // The squared residuals of a free line, without the checks of
    // fitLine(); a first segment that fitLine() may pin is asked there.
    const Sums s = range(from, to);
    if (s.w < (first && std::isfinite(m_delay) ? MinPinnedPicks : MinDirectPicks) - 0.5)
        return HUGE_VAL;
    if (first && (std::isfinite(m_delay) || s.w < MinSegmentPicks)) {
        const Line l = fitLine(from, to, true, false);
        return l.ok ? l.sse : HUGE_VAL;
    }
    const double meanU = s.u / s.w;
    const double cu = s.uu - meanU * s.u;
    const double ct = s.ut - meanU * s.t;
    if (!(cu > 1e-12 * s.uu))
        return HUGE_VAL;
    return std::max(0.0, s.tt - s.t * s.t / s.w - ct * ct / cu);
}

FirstBreakFitter::Model FirstBreakFitter::split(const Model &m) const
{
    // One more segment: the split of one segment at a grid point that
    // lowers the squared residuals most and gives a plausible model,
    // refined. Splits are ranked by their residuals alone; only the best
    // are built and checked.
    Model best;
    if (m.k >= MaxSegments)
        return best;
    struct Trial
    {
        double sse;
        int segment, at;
    };
    Trial trials[2 * SlowerGrid + 64];
    int count = 0;
    for (int s = 0; s < m.k; ++s) {
        for (int c : m_grid) {
            if (c <= m.start[s])
                continue;
            if (c >= m.start[s + 1] || count == int(sizeof trials / sizeof trials[0]))
                break;
            const double sse = lineSse(m.start[s], c, s == 0) + lineSse(c, m.start[s + 1], false);
            if (sse < HUGE_VAL)
                trials[count++] = Trial{m.sse - m.line[s].sse + sse, s, c};
        }
    }
    int bestAt = 0;
    while (count > 0) {
        int pick = 0;
        for (int i = 1; i < count; ++i)
            pick = trials[i].sse < trials[pick].sse ? i : pick;
        const Trial trial = trials[pick];
        trials[pick] = trials[--count];
        const int s = trial.segment;
        Model t;
        t.k = m.k + 1;
        // m.k < MaxSegments (checked above); the bound is spelled out for
        // the compiler, which cannot see it across the refits of the loop.
        for (int j = 0, from = 0; j < t.k && j < MaxSegments; ++j) {
            t.start[j] = j == s + 1 ? trial.at : m.start[from];
            t.line[j] = m.line[from];
            from += j == s + 1 ? 0 : 1;
        }
        t.start[t.k] = m_n;
        refit(&t, s);
        refit(&t, s + 1);
        bool ok = true;
        for (int j = std::max(0, s - 1); j <= std::min(t.k - 1, s + 2) && ok; ++j)
            ok = plausible(t, j);
        if (!ok)
            continue;
        t.sse = m.sse - m.line[s].sse + t.line[s].sse + t.line[s + 1].sse;
        t.ok = true;
        best = t;
        bestAt = s + 1;
        break;
    }
    if (best.ok) {
        // The grid's spacing around the new breakpoint bounds the first step.
        const int at = best.start[bestAt];
        const auto next = std::upper_bound(m_grid.begin(), m_grid.end(), at);
        const int gap = next == m_grid.end() ? m_n - at : *next - at;
        refine(&best, bestAt, std::max(1, gap / 2));
    }
    return best;
}

FirstBreakFitter::Model FirstBreakFitter::best(const Model *warm) const
{
    Model one;
    one.k = 1;
    one.start[0] = 0;
    one.start[1] = m_n;
    refit(&one, 0);
    one.ok = plausible(one, 0);
    one.sse = one.line[0].sse;
    Model best = one;
    double bestScore = score(one);
    auto consider = [&](const Model &m) {
        const double s = score(m);
        if (s < bestScore) {
            best = m;
            bestScore = s;
        }
    };
    if (warm) {
        // From one round to the next only a few picks change sides of the
        // cut: the last round's breakpoints, moved a little, and each of
        // them dropped.
        Model m = *warm;
        m.sse = 0.0;
        m.ok = true;
        for (int j = 0; j < m.k; ++j) {
            refit(&m, j);
            m.sse += m.line[j].sse;
        }
        for (int j = 0; j < m.k && m.ok; ++j)
            m.ok = plausible(m, j);
        if (m.ok) {
            for (int j = 1; j < m.k; ++j)
                refine(&m, j, 2);
            consider(m);
            for (int drop = 1; drop < m.k; ++drop) {
                Model d;
                d.k = m.k - 1;
                for (int j = 0, from = 0; j < d.k; ++j, ++from) {
                    from += from == drop ? 1 : 0;
                    d.start[j] = j == 0 ? 0 : m.start[from];
                }
                d.start[d.k] = m_n;
                d.ok = true;
                for (int j = 0; j < d.k; ++j) {
                    refit(&d, j);
                    d.sse += d.line[j].sse;
                }
                for (int j = 0; j < d.k && d.ok; ++j)
                    d.ok = plausible(d, j);
                consider(d);
            }
            return best;
        }
    }
    Model m = one;
    m.ok = true;
    m_levels[1] = one;
    for (int k = 2; k <= MaxSegments; ++k)
        m_levels[k] = Model();
    for (int k = 2; k <= MaxSegments; ++k) {
        m = split(m);
        if (!m.ok)
            break;
        // An earlier breakpoint may move once the new one is in.
        for (int j = 1; j < m.k; ++j)
            refine(&m, j, 2);
        m_levels[k] = m;
        const double before = bestScore;
        consider(m);
        // At the full price a segment that buys nothing is not followed
        // by another.
        if (m_penalty >= SegmentPenalty && !(bestScore < before))
            break;
    }
    return best;
}

bool FirstBreakFitter::settle(Model *m) const
{
    // A pick belongs to the line that arrives first at its offset: each
    // breakpoint moves to where its two lines cross, and the lines are
    // fitted again to their picks.
    for (int step = 0; step < SettleSteps; ++step) {
        Model t = *m;
        bool moved = false;
        for (int j = 1; j < t.k; ++j) {
            const Line &a = m->line[j - 1], &b = m->line[j];
            const double cross = (b.a - a.a) / (a.b - b.b);
            const int at = int(std::upper_bound(m_u.begin(), m_u.begin() + m_n, cross) - m_u.begin());
            moved = moved || at != t.start[j];
            t.start[j] = at;
        }
        if (!moved)
            return true;
        t.sse = 0.0;
        bool ok = true;
        for (int j = 0; j < t.k && ok; ++j) {
            ok = t.start[j + 1] > t.start[j] && refit(&t, j);
            t.sse += t.line[j].sse;
        }
        for (int j = 0; j < t.k && ok; ++j)
            ok = plausible(t, j);
        if (!ok)
            return false;
        *m = t;
    }
    return true;
}

void FirstBreakFitter::residuals(const Model &m, double cutA, double cutB, Choice choice[2])
{
    residuals(m);
    int kept[2] = {0, 0};
    bool changed[2] = {false, false};
    const double *r = m_r.data(), *w = m_w.data();
    const unsigned char *left = m_anyLeft ? m_left.data() : nullptr;
    for (int i = 0; i < m_n; ++i) {
        const double size = i == m_excluded || (left && left[i]) ? HUGE_VAL : std::abs(r[i]);
        const bool was = w[i] > 0.0, a = size <= cutA, b = size <= cutB;
        kept[0] += a ? 1 : 0;
        kept[1] += b ? 1 : 0;
        changed[0] = changed[0] || a != was;
        changed[1] = changed[1] || b != was;
    }
    for (int c = 0; c < 2; ++c)
        choice[c] = Choice{kept[c], changed[c]};
}

bool FirstBreakFitter::envelope(const Line *lines, int k, int *ends) const
{
    // Line j arrives first from the crossing with line j - 1 to the one
    // with line j + 1; the picks are in |offset| order, so each line's
    // picks follow one another.
    double before = -HUGE_VAL;
    for (int j = 0; j + 1 < k; ++j) {
        const double cross = (lines[j + 1].a - lines[j].a) / (lines[j].b - lines[j + 1].b);
        if (!(cross >= before))
            return false;
        before = cross;
        ends[j] = int(std::upper_bound(m_u.begin(), m_u.begin() + m_n, cross) - m_u.begin());
    }
    ends[k - 1] = m_n;
    return true;
}

void FirstBreakFitter::residuals(const Model &m)
{
    const double *u = m_u.data(), *t = m_t.data();
    double *r = m_r.data();
    int ends[MaxSegments];
    if (envelope(m.line, m.k, ends)) {
        for (int j = 0, i = 0; j < m.k; ++j) {
            const double a = m.line[j].a, b = m.line[j].b;
            for (; i < ends[j]; ++i)
                r[i] = t[i] - (a + b * u[i]);
        }
        return;
    }
    for (int i = 0; i < m_n; ++i) {
        double model = HUGE_VAL;
        for (int j = 0; j < m.k; ++j)
            model = std::min(model, m.line[j].a + m.line[j].b * u[i]);
        r[i] = t[i] - model;
    }
}

FirstBreakFitter::Model FirstBreakFitter::rounds(double earlyPenalty, double outlierMs, const Model *start)
{
    std::fill(m_w.begin(), m_w.end(), 1.0);
    if (m_excluded >= 0)
        m_w[m_excluded] = 0.0;
    for (int i = 0; i < m_n && m_anyLeft; ++i)
        m_w[i] = m_left[i] ? 0.0 : m_w[i];
    prefixSums();
    Model model;
    if (start)
        model = *start;
    const double ceiling = std::max(outlierMs, CutFloorMs);
    int stage = 0;
    bool rescore = false;
    for (int round = 0; round < MaxRounds; ++round) {
        // A full search at the start; later rounds move the last round's
        // breakpoints and try it without each of them.
        const bool final = stage == Stages - 1;
        m_penalty = final ? SegmentPenalty : earlyPenalty;
        Model m;
        if (rescore) {
            // The picks of the full search still take part: its best model
            // of each number of segments, at the final price.
            double bestScore = HUGE_VAL;
            for (int k = 1; k <= MaxSegments; ++k) {
                const double score = this->score(m_levels[k]);
                if (score < bestScore) {
                    bestScore = score;
                    m = m_levels[k];
                }
            }
            rescore = false;
        } else {
            m = best(model.ok ? &model : nullptr);
            if (model.ok && m.ok) {
                // A kink that wrong picks hid in the first round may show
                // once they are cut: one more segment, kept when it also
                // explains more of every pick (a segment bought by cutting
                // good picks does not).
                const Model more = split(m);
                if (more.ok && score(more) < score(m) && robustScore(more, outlierMs) < robustScore(m, outlierMs) &&
                    splitHolds(m, more, outlierMs))
                    m = more;
            }
        }
        if (!m.ok)
            break;
        model = m;
        settle(&model);
        // The final cut: 3.5 standard deviations of the residuals of the
        // picks that took part, which the earlier cuts have rid of wrong
        // picks beyond the floors.
        const double w = m_sums[m_n].w;
        const double sigma = std::sqrt(model.sse / std::max(1.0, w - 2.0 * model.k));
        const double finalCut = std::min(std::max(CutFloorMs, CutSigmas * sigma), ceiling);
        stage = std::min(stage + 1, Stages - 1);
        double cut = stage < Stages - 1 ? StageFloorsMs[stage - 1] : finalCut;
        // With nothing beyond a generous cut the model would not move
        // before the final one: both cuts are weighed in one pass.
        Choice choice[2];
        residuals(model, cut, finalCut, choice);
        int chosen = 0;
        if (!choice[0].changed && stage < Stages - 1) {
            stage = Stages - 1;
            cut = finalCut;
            chosen = 1;
            rescore = !choice[1].changed && !start && round == 0;
        }
        if (choice[chosen].kept < MinPicksPerSide)
            break; // too few picks would be left: keep the last choice
        m_cut = cut;
        if (!choice[chosen].changed && final)
            break;
        if (choice[chosen].changed) {
            for (int i = 0; i < m_n; ++i)
                m_w[i] = std::abs(m_r[i]) <= cut && i != m_excluded ? 1.0 : 0.0;
            for (int i = 0; i < m_n && m_anyLeft; ++i)
                m_w[i] = m_left[i] ? 0.0 : m_w[i];
            prefixSums();
        }
    }
    return model;
}

bool FirstBreakFitter::splitHolds(const Model &m, const Model &more, double outlierMs)
{
    // A bend that one wrong pick explains is none: on a short side a pick
    // late inside the refractor bends the line towards itself, and a split
    // at it pays before the cuts have found it. A real bend is told by
    // several picks, so the split must still explain more of every pick
    // with the pick the unsplit model leaves worst taking no part in either
    // fit. Where either model cannot do without that pick (a direct arrival
    // seen on its fewest picks) it tells nothing.
    residuals(m);
    int worst = -1;
    for (int i = 0; i < m_n; ++i) {
        if (m_w[i] > 0.0 && (worst < 0 || std::abs(m_r[i]) > std::abs(m_r[worst])))
            worst = i;
    }
    if (worst < 0)
        return true;
    const double weight = m_w[worst];
    m_w[worst] = 0.0;
    prefixSums();
    auto without = [this](const Model &from) {
        Model t = from;
        t.sse = 0.0;
        for (int j = 0; j < t.k && t.ok; ++j) {
            t.ok = refit(&t, j) && plausible(t, j);
            t.sse += t.line[j].sse;
        }
        return t;
    };
    const Model fewer = without(m);
    const Model bent = without(more);
    const bool holds = !bent.ok || !fewer.ok || robustScore(bent, outlierMs) < robustScore(fewer, outlierMs);
    m_w[worst] = weight;
    prefixSums();
    return holds;
}

double FirstBreakFitter::robustScore(const Model &m, double outlierMs, double sourceMs)
{
    // The criterion over every pick, each counting at most the threshold:
    // a model that leaves good picks far off pays for each of them, a wrong
    // pick costs every model the same.
    residuals(m);
    const double cap = outlierMs * outlierMs;
    double sum = 0.0;
    int n = m_n;
    for (int i = 0; i < n; ++i)
        sum += std::min(m_r[i] * m_r[i], cap);
    if (std::isfinite(sourceMs)) {
        // The picks at the source count as one pick more.
        const double r = sourceMs - m.line[0].a;
        sum += std::min(r * r, cap);
        ++n;
    }
    // A first segment through the shot's source delay has only its slope
    // to fit: half the price.
    const double segments = std::isfinite(m_delay) ? m.k - 0.5 : m.k;
    return n * std::log(sum / n + NoiseFloorMs * NoiseFloorMs) + RobustSegmentPenalty * segments * std::log(double(n));
}

bool FirstBreakFitter::fit(const double *absOffset, const double *time, int n, double outlierMs,
                           const unsigned char *leftOut)
{
    m_k = 0;
    // A first round that would leave too few picks chooses no cut: the
    // cut of an earlier side must not stand in for it, or a side's verdict
    // would depend on the sides this fitter judged before.
    m_cut = 0.0;
    m_largest = HUGE_VAL;
    m_excluded = -1;
    if (n < MinPicksPerSide)
        return false;
    order(absOffset, time, n);
    int left = 0;
    if (leftOut) {
        m_left.resize(n);
        for (int i = 0; i < n; ++i) {
            m_left[i] = leftOut[index(i)];
            left += m_left[i] ? 1 : 0;
        }
    }
    m_anyLeft = left > 0;
    if (n - left < MinPicksPerSide)
        return false;
    Model model = search(outlierMs);
    const int last = n - 1;
    if (model.ok) {
        // The farthest pick pulls the curve most. Beyond the line of its
        // segment's other picks it is fitted again without; so it is when
        // picks are left beyond the threshold (from the first round on it
        // may have led the curve away from good ones), and then the fit
        // that explains more is kept.
        const bool leveraged = leveragedEnd(model);
        residuals(model);
        double largest = 0.0;
        for (int i = 0; i < n; ++i)
            largest = m_anyLeft && m_left[i] ? largest : std::max(largest, std::abs(m_r[i]));
        m_largest = largest;
        const bool beyond = largest > outlierMs;
        if (leveraged || beyond) {
            m_largest = HUGE_VAL;
            const double keptScore = robustScore(model, outlierMs);
            const double keptCut = m_cut;
            m_kept = m_w;
            m_excluded = last;
            const Model without = search(outlierMs);
            if (without.ok && (leveraged || robustScore(without, outlierMs) < keptScore)) {
                model = without;
            } else {
                m_excluded = -1;
                m_w = m_kept;
                m_cut = keptCut;
                prefixSums();
            }
        }
    }
    if (!model.ok)
        return false;
    mergeNearEqual(&model);
    m_k = model.k;
    std::copy(model.start, model.start + MaxSegments + 1, m_start);
    std::copy(model.line, model.line + MaxSegments, m_line);
    return true;
}

void FirstBreakFitter::mergeNearEqual(Model *m) const
{
    // Two neighbouring segments of nearly one velocity are one refractor
    // that noise or a small static split: one line through the picks of
    // both, when it keeps each of them within the cut (or NearEqualCutMs).
    for (int j = m->k - 1; j >= 1; --j) {
        // A model never holds more than MaxSegments; saying so keeps the
        // copy below within the arrays for the optimiser too.
        const int k = std::min(m->k, int(MaxSegments));
        const double slower = std::max(m->line[j - 1].b, m->line[j].b);
        const double faster = std::min(m->line[j - 1].b, m->line[j].b);
        if (!(faster > 0.0) || !(slower <= faster * (1.0 + NearEqualFraction)))
            continue;
        Model t = *m;
        t.k = k - 1;
        for (int s = j; s <= t.k; ++s) {
            t.start[s] = m->start[s + 1];
            if (s < t.k)
                t.line[s] = m->line[s + 1];
        }
        if (!refit(&t, j - 1))
            continue;
        bool ok = true;
        for (int s = std::max(0, j - 2); s <= std::min(t.k - 1, j) && ok; ++s)
            ok = plausible(t, s);
        const Line &l = t.line[j - 1];
        const double cut = std::max(m_cut, NearEqualCutMs);
        for (int i = t.start[j - 1]; i < t.start[j] && ok; ++i)
            ok = !(m_w[i] > 0.0) || std::abs(m_t[i] - (l.a + l.b * m_u[i])) <= cut;
        if (!ok)
            continue;
        t.sse = m->sse - m->line[j - 1].sse - m->line[j].sse + l.sse;
        *m = t;
    }
}

bool FirstBreakFitter::leveragedEnd(const Model &m) const
{
    // The farthest pick has the most leverage on its segment: a wrong one
    // there pulls the line to itself and leaves its residual to the good
    // picks. Judged against the line of the segment's other picks, it is
    // wrong when beyond the fit's cut, late or early alike (a deeper
    // refractor seen at one pick alone is not told from a wrong pick; the
    // other side of the shot may still lend it, see extend()).
    const int last = m_n - 1;
    const int j = m.k - 1;
    if (!(m_w[last] > 0.0))
        return false;
    const Line l = fitLine(m.start[j], last, j == 0, m.k == 1);
    if (!l.ok || l.w < MinSegmentPicks - 0.5 || !(l.b > 0.0))
        return false;
    return std::abs(m_t[last] - (l.a + l.b * m_u[last])) > FitCutMs;
}

FirstBreakFitter::Model FirstBreakFitter::search(double outlierMs)
{
    const int n = m_n;
    Model model = rounds(n < FewPicks ? EarlySegmentPenalty : SegmentPenalty, outlierMs);
    bool beyond = false;
    for (int i = 0; i < n && model.ok && !beyond; ++i)
        beyond = std::abs(m_r[i]) > outlierMs;
    if (beyond) {
        // Picks left beyond the threshold may be wrong, or the good picks
        // of a kink that an early model missed, or of one it made up:
        // other fits, one that starts at the other price per segment and
        // one from the model without each of its kinks, and the model that
        // explains the most picks is kept.
        double bestScore = robustScore(model, outlierMs);
        double bestCut = m_cut;
        m_saved = m_w;
        const Model first = model;
        auto tryFit = [&](const Model &other) {
            if (!other.ok)
                return;
            const double score = robustScore(other, outlierMs);
            if (score < bestScore) {
                bestScore = score;
                bestCut = m_cut;
                model = other;
                m_saved = m_w;
            }
        };
        tryFit(rounds(n < FewPicks ? SegmentPenalty : EarlySegmentPenalty, outlierMs));
        for (int drop = 1; drop < first.k; ++drop) {
            Model d;
            d.k = first.k - 1;
            for (int j = 0, from = 0; j <= d.k; ++j, ++from) {
                from += from == drop ? 1 : 0;
                d.start[j] = from <= first.k ? first.start[from] : n;
            }
            d.ok = true;
            tryFit(rounds(SegmentPenalty, outlierMs, &d));
        }
        m_w = m_saved;
        m_cut = bestCut;
        prefixSums();
    }
    return model;
}

bool FirstBreakFitter::directApart(const Model &m) const
{
    if (m.k < 2)
        return false;
    int i = m.start[0];
    while (i < m.start[1] && !(m_w[i] > 0.0))
        ++i;
    const Line &next = m.line[1];
    return i < m.start[1] && next.a + next.b * m_u[i] - m_t[i] > FitCutMs;
}

bool FirstBreakFitter::refitThrough(double delay, double outlierMs, bool atSource, bool apart)
{
    if (m_k == 0)
        return false;
    Model current;
    current.k = m_k;
    std::copy(m_start, m_start + MaxSegments + 1, current.start);
    std::copy(m_line, m_line + MaxSegments, current.line);
    current.ok = true;
    const double sourceMs = atSource ? delay : NaN;
    double bestScore = robustScore(current, outlierMs, sourceMs);
    const double currentCut = m_cut;
    m_saved = m_w;
    Model best;
    double bestCut = 0.0;
    const int excluded = m_excluded;
    int bestExcluded = excluded;
    m_delay = delay;
    // Also without the nearest pick: a wrong one there pulls a line through
    // the delay most, and the first round would keep it and cut the good
    // picks beyond.
    for (int without : {excluded, 0}) {
        if (without == 0 && excluded == 0)
            continue;
        m_excluded = without;
        for (double penalty : {EarlySegmentPenalty, SegmentPenalty}) {
            const Model m = rounds(penalty, outlierMs);
            const double score = m.ok && (!apart || directApart(m)) ? robustScore(m, outlierMs, sourceMs) : HUGE_VAL;
            if (score < bestScore) {
                bestScore = score;
                best = m;
                bestCut = m_cut;
                m_best = m_w;
                bestExcluded = without;
            }
        }
    }
    m_excluded = bestExcluded;
    m_delay = NaN;
    m_w = best.ok ? m_best : m_saved;
    m_cut = best.ok ? bestCut : currentCut;
    prefixSums();
    if (!best.ok)
        return false;
    m_k = best.k;
    std::copy(best.start, best.start + MaxSegments + 1, m_start);
    std::copy(best.line, best.line + MaxSegments, m_line);
    return true;
}

bool FirstBreakFitter::extend(double intercept, double slope)
{
    // A deeper refractor may reach this side only at its last picks, too
    // few to fit a segment of their own, while the other side of the shot
    // shows it well: its line takes the last one or two picks (more, see
    // below), the last segment is fitted again without them (they may have
    // pulled it), and the two must cross between them with every pick
    // within the fit's cut (a wrong pick there stays as far from the
    // borrowed line).
    if (m_k == 0 || m_k >= MaxSegments)
        return false;
    Line line;
    line.a = intercept;
    line.b = slope * m_scale;
    line.ok = true;
    if (!(line.b > 0.0 && line.b < m_line[m_k - 1].b))
        return false;
    const int begin = m_start[m_k - 1];
    // More of the last picks only where the curve leaves each of them early
    // by more than the cut: a side that ends beyond a gap in the spread, or
    // on receiver lines the refractor reaches first, has taken them for a
    // run of skips or bent its last segment to them.
    m_modelBuffer.resize(m_n);
    modelTimes(m_modelBuffer.data());
    int early = 0;
    while (early < std::min(m_n - begin, MaxRunPicks) &&
           m_t[m_n - 1 - early] - m_modelBuffer[index(m_n - 1 - early)] < -FitCutMs)
        ++early;
    // Of the picks that may be taken, the split that explains the side best.
    double bestSse = HUGE_VAL;
    Line bestLast;
    int bestFrom = -1;
    for (int taken = 1; taken < std::max(MinSegmentPicks, early + 1); ++taken) {
        const int from = m_n - taken;
        if (from - begin < (m_k == 1 ? MinDirectPicks : MinSegmentPicks))
            break;
        const Line last = fitLine(begin, from, m_k == 1, m_k == 1);
        if (!last.ok || !(last.b > line.b))
            continue;
        const double cross = (line.a - last.a) / (last.b - line.b);
        if (!(cross >= m_u[from - 1]) || !(cross < m_u[from]))
            continue;
        double sse = 0.0;
        bool within = true;
        for (int i = begin; i < m_n && within; ++i) {
            if (i < from && m_w[i] <= 0.0)
                continue;
            const Line &l = i < from ? last : line;
            const double r = m_t[i] - (l.a + l.b * m_u[i]);
            within = std::abs(r) <= FitCutMs;
            sse += r * r;
        }
        if (within && sse < bestSse) {
            bestSse = sse;
            bestLast = last;
            bestFrom = from;
        }
    }
    if (bestFrom < 0)
        return false;
    line.w = m_n - bestFrom;
    m_line[m_k - 1] = bestLast;
    m_line[m_k] = line;
    m_start[m_k] = bestFrom;
    m_start[++m_k] = m_n;
    return true;
}

bool FirstBreakFitter::lendDirect(double intercept, double slope)
{
    if (m_k == 0 || m_k >= MaxSegments)
        return false;
    Line line;
    line.a = intercept;
    line.b = slope * m_scale;
    line.ok = true;
    if (!(line.b > m_line[0].b))
        return false;
    const double cross = (m_line[0].a - line.a) / (line.b - m_line[0].b);
    int first = 0;
    while (first < m_n && !(m_w[first] > 0.0))
        ++first;
    const int end = int(std::upper_bound(m_u.begin(), m_u.begin() + m_n, cross) - m_u.begin());
    if (first == m_n || end == 0 || !(cross <= m_u[first]))
        return false;
    for (int j = m_k; j > 0; --j) {
        m_line[j] = m_line[j - 1];
        m_start[j + 1] = m_start[j];
    }
    m_line[0] = line;
    m_start[1] = end;
    ++m_k;
    return true;
}

int FirstBreakFitter::segmentOf(double absOffset) const
{
    const double u = absOffset / m_scale;
    int j = 0;
    while (j + 1 < m_k && u > (m_line[j + 1].a - m_line[j].a) / (m_line[j].b - m_line[j + 1].b))
        ++j;
    return j;
}

double FirstBreakFitter::timeAt(double absOffset) const
{
    const int j = segmentOf(absOffset);
    return m_line[j].a + m_line[j].b * absOffset / m_scale;
}

bool FirstBreakFitter::beyond(double outlierMs) const
{
    if (m_k == 0)
        return false;
    m_modelBuffer.resize(m_n);
    modelTimes(m_modelBuffer.data());
    for (int i = 0; i < m_n; ++i) {
        if (std::abs(m_t[i] - m_modelBuffer[index(i)]) > outlierMs)
            return true;
    }
    return false;
}

void FirstBreakFitter::heightSums(const double *height, int skip, double sums[4]) const
{
    // Picks off the curve by up to HeightCutMs take part: a hill shows in
    // the picks the curve left out for it, while wrong picks are far off or
    // as often early as late at any height.
    for (int j = skip > 0 ? 1 : 0; j < m_k; ++j) {
        const Line &l = m_line[j];
        auto near = [&](int i) { return std::abs(m_t[i] - (l.a + l.b * m_u[i])) <= HeightCutMs; };
        // The heights of the segment's picks freed of their own line in
        // |offset|: with the segment's lines held, the slowness is the
        // regression of the residuals on what is left of the heights.
        double w = 0.0, u = 0.0, uu = 0.0, z = 0.0, uz = 0.0;
        for (int i = m_start[j]; i < m_start[j + 1]; ++i) {
            if (!near(i))
                continue;
            const double zi = height[index(i)];
            w += 1.0;
            u += m_u[i];
            uu += m_u[i] * m_u[i];
            z += zi;
            uz += m_u[i] * zi;
        }
        if (w < MinSegmentPicks - 0.5)
            continue;
        const double cu = uu - u * u / w;
        const double b = cu > 1e-12 * uu ? (uz - u * z / w) / cu : 0.0;
        const double a = (z - b * u) / w;
        for (int i = m_start[j]; i < m_start[j + 1]; ++i) {
            if (!near(i))
                continue;
            const double e = height[index(i)] - (a + b * m_u[i]);
            const double r = m_t[i] - (l.a + l.b * m_u[i]);
            sums[0] += 1.0;
            sums[1] += r * e;
            sums[2] += e * e;
            sums[3] += r * r;
        }
    }
}

void FirstBreakFitter::bendSums(const double *height, int skip, double slowness, double cut, double sums[4],
                                std::vector<double> *misfits, int stride) const
{
    // Each pick against the straight line through its two neighbours, in
    // time and in height: a curve's straight stretches vanish, a hill's
    // bumps stay, at most a kink and a wrong pick's neighbours do not.
    // Along the direct arrival the times bump with no height, which would
    // pull the slowness towards none.
    for (int i = skip + 1; i + 1 < m_n; i += stride) {
        const double span = m_u[i + 1] - m_u[i - 1];
        if (!(span > 0.0))
            continue;
        const double f = (m_u[i] - m_u[i - 1]) / span;
        const double dt = m_t[i] - ((1.0 - f) * m_t[i - 1] + f * m_t[i + 1]);
        const double dz = height[index(i)] - ((1.0 - f) * height[index(i - 1)] + f * height[index(i + 1)]);
        const double misfit = std::abs(dt - slowness * dz);
        if (misfits)
            misfits->push_back(misfit);
        if (misfit > cut)
            continue;
        sums[0] += 1.0;
        sums[1] += dt * dz;
        sums[2] += dz * dz;
        sums[3] += dt * dt;
    }
}

double FirstBreakFitter::cappedSse(double cap, int *beyondCap) const
{
    if (m_k == 0)
        return 0.0;
    m_modelBuffer.resize(m_n);
    modelTimes(m_modelBuffer.data());
    double sum = 0.0;
    for (int i = 0; i < m_n; ++i) {
        const double r = m_t[i] - m_modelBuffer[index(i)];
        sum += std::min(r * r, cap * cap);
        *beyondCap += std::abs(r) > cap ? 1 : 0;
    }
    return sum;
}

int FirstBreakFitter::directPicks() const
{
    if (m_k < 1 || !(m_line[0].a >= DelayMinMs && m_line[0].a <= DelayMaxMs))
        return 0;
    return m_start[1];
}

int FirstBreakFitter::slowerBends() const
{
    int count = 0;
    for (int j = 1; j < m_k; ++j)
        count += m_line[j].b > m_line[j - 1].b ? 1 : 0;
    return count;
}

double FirstBreakFitter::farthest() const
{
    return m_u[m_n - 1] * m_scale;
}

double FirstBreakFitter::segmentBegin(int k) const
{
    return m_u[m_start[k]] * m_scale;
}

double FirstBreakFitter::segmentEnd(int k) const
{
    return m_u[m_start[k + 1] - 1] * m_scale;
}

void FirstBreakFitter::firstSegmentSums(double sums[5]) const
{
    const Sums s = range(m_start[0], m_start[1]);
    sums[0] = s.w;
    sums[1] = s.u * m_scale;
    sums[2] = s.uu * m_scale * m_scale;
    sums[3] = s.t;
    sums[4] = s.ut * m_scale;
}

bool FirstBreakFitter::pinFirstSegment(double delay, double cutMs)
{
    const Sums s = range(m_start[0], m_start[1]);
    if (!(s.uu > 0.0))
        return false;
    Line pinned = m_line[0];
    pinned.a = delay;
    pinned.b = (s.ut - delay * s.u) / s.uu;
    Model m;
    m.k = m_k;
    std::copy(m_start, m_start + MaxSegments + 1, m.start);
    std::copy(m_line, m_line + MaxSegments, m.line);
    m.line[0] = pinned;
    for (int j = 0; j < std::min(3, m.k); ++j) {
        if (!plausible(m, j))
            return false;
    }
    // Every pick taking part stays within the cut of the new model; only
    // the picks up to the second segment's end can see the new line.
    const int reach = m.k > 1 ? m.start[2] : m_n;
    const Line &next = m.line[std::min(1, m.k - 1)];
    const double cross = m.k > 1 ? (next.a - pinned.a) / (pinned.b - next.b) : HUGE_VAL;
    const double cut = std::isnan(cutMs) ? m_cut : cutMs;
    for (int i = 0; i < reach; ++i) {
        const double model = m_u[i] <= cross ? pinned.a + pinned.b * m_u[i] : next.a + next.b * m_u[i];
        if (m_w[i] > 0.0 && std::abs(m_t[i] - model) > cut)
            return false;
    }
    m_line[0] = pinned;
    return true;
}

void FirstBreakFitter::modelTimes(double *out) const
{
    const double *u = m_u.data();
    int ends[MaxSegments];
    if (envelope(m_line, m_k, ends)) {
        for (int j = 0, i = 0; j < m_k; ++j) {
            const double a = m_line[j].a, b = m_line[j].b;
            for (; i < ends[j]; ++i)
                out[index(i)] = a + b * u[i];
        }
        return;
    }
    for (int i = 0; i < m_n; ++i) {
        double model = HUGE_VAL;
        for (int j = 0; j < m_k; ++j)
            model = std::min(model, m_line[j].a + m_line[j].b * u[i]);
        out[index(i)] = model;
    }
}

void splitSides(const FbRecord *records, int n, qint8 *sides)
{
    bool anyNegative = false;
    for (int i = 0; i < n && !anyNegative; ++i)
        anyNegative = records[i].offset < 0;
    if (anyNegative) {
        for (int i = 0; i < n; ++i)
            sides[i] = records[i].offset < 0 ? Negative : Positive;
        return;
    }

    // Offsets >= 0 only: the main direction of the receivers, oriented
    // from the first receiver towards the last, decides what lies behind
    // the source.
    double mx = 0.0, my = 0.0;
    int count = 0;
    int first = -1, last = -1;
    for (int i = 0; i < n; ++i) {
        const double x = records[i].group_x, y = records[i].group_y;
        if (!std::isfinite(x) || !std::isfinite(y))
            continue;
        mx += x;
        my += y;
        ++count;
        if (first < 0)
            first = i;
        last = i;
    }
    double dx = 1.0, dy = 0.0;
    if (count >= 2) {
        mx /= count;
        my /= count;
        double sxx = 0.0, sxy = 0.0, syy = 0.0;
        for (int i = 0; i < n; ++i) {
            const double x = records[i].group_x - mx, y = records[i].group_y - my;
            if (!std::isfinite(x) || !std::isfinite(y))
                continue;
            sxx += x * x;
            sxy += x * y;
            syy += y * y;
        }
        const double angle = 0.5 * std::atan2(2.0 * sxy, sxx - syy);
        dx = std::cos(angle);
        dy = std::sin(angle);
        const double along = (double(records[last].group_x) - records[first].group_x) * dx +
                             (double(records[last].group_y) - records[first].group_y) * dy;
        if (along < 0.0) {
            dx = -dx;
            dy = -dy;
        }
    }
    for (int i = 0; i < n; ++i) {
        const FbRecord &r = records[i];
        const double d = (double(r.group_x) - r.source_x) * dx + (double(r.group_y) - r.source_y) * dy;
        // A receiver without a finite position cannot be placed; it stays
        // with the positive side, judged on its |offset| like the rest.
        sides[i] = d < 0.0 ? Negative : Positive;
    }
}

double ShotFitter::correctForHeight(const int counts[2], bool fitted[2])
{
    // Every shot over receivers at different heights asks the heights, not
    // only one its curve leaves well off: with segments enough a curve bends
    // along hills and keeps every pick near, so neighbours along one line
    // would fall either way and their intercepts jump by the relief's time.
    // Flat ground pays nothing, and a shot the heights do not explain only
    // the tests: the fits as they were are measured once they are refitted.
    const double span = double(m_highest) - m_lowest;
    if (!(fitted[Negative] || fitted[Positive]) || !(span * MaxHeightSlowness >= ElevationMinMs))
        return 0.0;
    // A shot its curve fits well takes a quick look at every few bumps
    // first; gentle ground ends there.
    bool off = false;
    for (int side = Negative; side <= Positive; ++side)
        off = off || (fitted[side] && m_fitter[side].largestResidual() > FitCutMs / 2);
    if (!off) {
        double sums[4] = {0.0, 0.0, 0.0, 0.0};
        for (int side = Negative; side <= Positive; ++side) {
            if (fitted[side])
                m_fitter[side].bendSums(m_height[side].data(), directPicks(side), 0.0, HeightCutMs, sums, nullptr,
                                        QuickLookStride);
        }
        if (!(sums[2] > 0.0) || !(sums[1] / sums[2] * span >= ElevationWorthMs))
            return 0.0;
    }
    double before = 0.0;
    int offBefore = 0;
    bool kept = false;
    m_heightsTried = false;
    auto keepBefore = [&]() {
        if (kept)
            return;
        kept = true;
        m_heightsTried = true;
        for (int side = Negative; side <= Positive; ++side) {
            before += fitted[side] ? m_fitter[side].cappedSse(FitCutMs, &offBefore) : 0.0;
            std::copy(m_t[side].begin(), m_t[side].begin() + counts[side], m_raw[side].begin());
        }
    };
    // A first slowness from the bumps of the picks against the bumps of
    // the ground, which the curve's straight segments cannot take up; the
    // bends that fit worst (kinks, wrong picks) are left out, round by round.
    double slowness = 0.0;
    double cut = HeightCutMs;
    bool clear = false;
    for (int round = 0; round < BendRounds; ++round) {
        double sums[4] = {0.0, 0.0, 0.0, 0.0}; // bumps, time x height, height^2, time^2
        const double tried = slowness;
        for (int side = Negative; side <= Positive; ++side) {
            if (fitted[side])
                m_fitter[side].bendSums(m_height[side].data(), directPicks(side), tried, cut, sums, nullptr);
        }
        if (!(sums[2] > 0.0) || !(sums[0] > 2.0))
            break;
        const double estimate = sums[1] / sums[2];
        // Noise makes bumps too: the slowness counts when it stands clear
        // of its own standard error.
        const double misfit = std::max(0.0, sums[3] - estimate * sums[1]) / (sums[0] - 1.0);
        clear = estimate > BendClearance * std::sqrt(misfit / sums[2]);
        slowness = qBound(0.0, estimate, MaxHeightSlowness);
        // Heights that move no pick by half what a correction must be
        // worth are not worth more rounds: most shots of gentle ground
        // stop here.
        if (!(slowness * span >= ElevationWorthMs / 2) || round + 1 == BendRounds)
            break;
        // The next round's cut from this round's misfits, gathered only
        // by the shots that go on.
        double unused[4] = {0.0, 0.0, 0.0, 0.0};
        m_misfits.clear();
        for (int side = Negative; side <= Positive; ++side) {
            if (fitted[side])
                m_fitter[side].bendSums(m_height[side].data(), directPicks(side), tried, cut, unused, &m_misfits);
        }
        cut = std::max(BendFloorMs, BendSpread * median(m_misfits.data(), int(m_misfits.size())));
    }
    // The heights are taken off every pick first, then once more with the
    // direct arrival kept as picked where the heights would bend it by
    // what a correction must be worth: on steep hills under close stations
    // its bends, which no height explains, can pull the slowness off or
    // leave good picks off the curve. The better of the two is kept.
    const double bent = slowness;
    double first = 0.0, firstAfter = 0.0;
    int firstOff = 0;
    auto correct = [&](double s) {
        for (int side = Negative; side <= Positive; ++side) {
            for (int j = 0; j < counts[side]; ++j)
                m_t[side][j] = m_raw[side][j] - s * m_height[side][j];
            m_fitter[side].allowSlowerBends(false);
            fitted[side] = m_fitter[side].fit(m_h[side].data(), m_t[side].data(), counts[side], FitCutMs);
            if (fitted[side] && m_bendSlower)
                bendToSlowerGround(side, counts[side]);
        }
    };
    // After the second attempt: the heights of every pick again, and the
    // first attempt's fits when it was kept.
    auto settleFirst = [&]() {
        for (int side = Negative; side <= Positive; ++side) {
            std::copy(m_heldHeight[side].begin(), m_heldHeight[side].end(), m_height[side].begin());
            m_directTop[side] = NaN;
        }
        correct(first);
        return first;
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
        slowness = bent;
        bool corrected = false;
        if (clear && slowness * span >= ElevationWorthMs) {
            keepBefore();
            corrected = true;
            correct(slowness);
        }
        // Then rounds of: the slowness the fitted segments ask for, with
        // their lines held, and the times at the source's height fitted
        // again, so that a kink the heights hid may show in the next round.
        for (int round = 0; round < ElevationRounds; ++round) {
            double sums[4] = {0.0, 0.0, 0.0, 0.0}; // picks, residual x height, height^2, residual^2
            for (int side = Negative; side <= Positive; ++side) {
                if (fitted[side])
                    m_fitter[side].heightSums(m_height[side].data(), directPicks(side), sums);
            }
            if (!(sums[2] > 0.0) || !(sums[0] > 2.0))
                break;
            const double step = sums[1] / sums[2];
            const double next = qBound(0.0, slowness + step, MaxHeightSlowness);
            if (!(std::abs(next - slowness) * span >= (corrected ? ElevationMinMs : ElevationWorthMs)))
                break;
            // Started here, the slowness must stand clear of the noise, as
            // the bumps' must.
            const double misfit = std::max(0.0, sums[3] - step * sums[1]) / (sums[0] - 1.0);
            if (!corrected && !(std::abs(step) > BendClearance * std::sqrt(misfit / sums[2])))
                break;
            keepBefore();
            slowness = next;
            corrected = true;
            correct(slowness);
        }
        if (!corrected)
            return attempt == 0 ? 0.0 : settleFirst();
        double after = 0.0;
        int offAfter = 0;
        for (int side = Negative; side <= Positive; ++side)
            after += fitted[side] ? m_fitter[side].cappedSse(FitCutMs, &offAfter) : 0.0;
        // Picks beyond the cut count alike before and after; the gain is
        // told on the picks near the curve.
        const double cap = FitCutMs * FitCutMs;
        const bool gain = offAfter == offBefore && after - offAfter * cap < ElevationGain * (before - offBefore * cap);
        bool taken = after < before && (offAfter < offBefore || gain);
        if (attempt == 1 && !m_oneLine) {
            // Across a patch the picks are judged as patchModel() tells.
            double patched = 0.0;
            int offPatched = 0;
            bool all = true;
            for (int side = Negative; side <= Positive && all; ++side) {
                if (!fitted[side])
                    continue;
                m_trialModel.resize(counts[side]);
                all = patchModel(side, counts[side], slowness, m_trialModel.data());
                for (int j = 0; all && j < counts[side]; ++j) {
                    const double r = m_raw[side][j] - m_trialModel[j];
                    patched += std::min(r * r, cap);
                    offPatched += std::abs(r) > FitCutMs ? 1 : 0;
                }
            }
            if (all && offPatched < offAfter) {
                after = patched;
                offAfter = offPatched;
                taken = after < before && offAfter < offBefore;
            }
        }
        if (attempt == 1) {
            // At the same slowness the first stands unless the second fits
            // far closer: keeping near picks as picked also lets a run of
            // cycle skips there pass for a line.
            const bool moved = std::abs(slowness - first) * span >= ElevationMinMs;
            const double gainNeeded = moved ? ElevationGain : DirectKeptGain;
            const bool better =
                first == 0.0 || offAfter < firstOff || (offAfter == firstOff && after < gainNeeded * firstAfter);
            if (taken && better && slowness * span >= ElevationWorthMs)
                return slowness;
            return settleFirst();
        }
        if (taken) {
            first = slowness;
            firstAfter = after;
            firstOff = offAfter;
        }
        // Each side's direct arrival is told with both sides as picked.
        for (int side = Negative; side <= Positive; ++side) {
            std::copy(m_raw[side].begin(), m_raw[side].begin() + counts[side], m_t[side].begin());
            fitted[side] = m_fitter[side].fit(m_h[side].data(), m_t[side].data(), counts[side], FitCutMs);
            m_heldHeight[side].assign(m_height[side].begin(), m_height[side].begin() + counts[side]);
        }
        double directSpan = 0.0;
        for (int side = Negative; side <= Positive; ++side)
            directSpan = std::max(directSpan, fitted[side] ? keepDirectHeight(side, counts[side]) : 0.0);
        if (!(directSpan * bent >= ElevationWorthMs))
            return settleFirst();
    }
    return 0.0;
}

bool ShotFitter::patchModel(int side, int count, double slowness, double *model) const
{
    const FirstBreakFitter &f = m_fitter[side];
    const double top = m_directTop[side];
    const int k = f.segments();
    if (m_oneLine || !(slowness > 0.0) || !std::isfinite(top) || k < 2 || f.directPicks() == 0)
        return false;
    // The refractor: from the first segment clearly faster than the direct
    // arrival on, its line running on towards the source.
    const auto refractor = [&](int j) { return j < k && f.slope(j) < RefractorContrast * f.slope(0); };
    int first = 1;
    while (first < k && !refractor(first))
        ++first;
    if (first == k)
        return false;
    const double *h = m_h[side].data();
    const double *ground = m_ground[side].data();
    const auto fill = [&](int from, double *out) {
        for (int j = 0; j < count; ++j) {
            const double refracted =
                f.segmentOf(h[j]) >= from ? f.timeAt(h[j]) : f.intercept(from) + f.slope(from) * h[j];
            out[j] = std::min(f.intercept(0) + f.slope(0) * h[j], refracted + slowness * (ground[j] - top));
        }
    };
    fill(first, model);
    // A faster stretch the curve bends back from to a slower refractor may
    // be where lines at different heights mix near the crossover: the
    // slower refractor runs on towards the source where it leaves fewer
    // picks off.
    if (refractor(first + 1) && f.slope(first + 1) > f.slope(first)) {
        std::vector<double> beyond(count);
        fill(first + 1, beyond.data());
        const double *raw = m_raw[side].data();
        int offFirst = 0, offBeyond = 0;
        for (int j = 0; j < count; ++j) {
            offFirst += std::abs(raw[j] - model[j]) > FitCutMs ? 1 : 0;
            offBeyond += std::abs(raw[j] - beyond[j]) > FitCutMs ? 1 : 0;
        }
        if (offBeyond < offFirst)
            std::copy(beyond.begin(), beyond.end(), model);
    }
    return true;
}

int ShotFitter::directPicks(int side) const
{
    const FirstBreakFitter &f = m_fitter[side];
    if (f.segments() == 0)
        return 0;
    if (f.segments() > 1)
        return f.directPicks();
    // A side of one line is a direct arrival only when it meets offset 0
    // at the time at the source, or at the other side's direct arrival;
    // else it is a refractor the direct arrival was not picked before. On
    // a patch a refractor's line may run through the source's time too.
    if (!m_oneLine)
        return 0;
    const FirstBreakFitter &other = m_fitter[1 - side];
    const double source = std::isfinite(m_zeroMedian)                       ? m_zeroMedian
                          : other.segments() > 1 && other.directPicks() > 0 ? other.intercept(0)
                                                                            : NaN;
    return std::abs(f.intercept(0) - source) <= SourceEarlierMs ? f.directPicks() : 0;
}

double ShotFitter::keepDirectHeight(int side, int count)
{
    // The direct arrival as picked runs along the surface: its picks keep
    // their times, and the refractors' are taken to the height where it
    // ends, so that the curve stays whole at the crossover.
    if (directPicks(side) == 0)
        return 0.0;
    const double reach = m_fitter[side].segmentEnd(0);
    const double *h = m_h[side].data();
    double *z = m_height[side].data();
    double top = 0.0, topOffset = -1.0;
    double low = HUGE_VAL, high = -HUGE_VAL;
    for (int j = 0; j < count; ++j) {
        if (h[j] <= reach && h[j] > topOffset) {
            topOffset = h[j];
            top = z[j];
        }
        if (h[j] <= reach) {
            low = std::min(low, z[j]);
            high = std::max(high, z[j]);
        }
    }
    for (int j = 0; j < count; ++j)
        z[j] = h[j] <= reach ? 0.0 : z[j] - top;
    m_directTop[side] = top;
    return high - low;
}

int ShotFitter::directAsPicked(int side, int count, const unsigned char *left, std::vector<int> *order, double *a,
                               double *b) const
{
    order->resize(count);
    std::iota(order->begin(), order->end(), 0);
    const double *h = m_h[side].data();
    const double *raw = m_raw[side].data();
    std::sort(order->begin(), order->end(), [h](int x, int y) { return h[x] < h[y]; });
    // The longest run of nearest picks on one line as picked, by least
    // squares as it grows; two picks off in a row end it.
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, st = 0.0, sht = 0.0;
    int off = 0, ends = 0;
    *a = *b = NaN;
    for (int k = 0; k < count && off < 2; ++k) {
        const int j = (*order)[k];
        if (left && left[j])
            continue;
        if (s0 > MinSegmentPicks && !(std::abs(raw[j] - (*a + *b * h[j])) <= FitCutMs / 2)) {
            ++off;
            continue;
        }
        off = 0;
        s0 += 1.0;
        s1 += h[j];
        s2 += h[j] * h[j];
        st += raw[j];
        sht += h[j] * raw[j];
        const double det = s0 * s2 - s1 * s1;
        if (det > 0.0) {
            *b = (s0 * sht - s1 * st) / det;
            *a = (st - *b * s1) / s0;
        }
        ends = k + 1;
    }
    return s0 > MinSegmentPicks && *a >= DelayMinMs && *a <= DelayMaxMs && *b > 0.0 ? ends : 0;
}

void ShotFitter::keepDirectAsPicked(const int counts[2], const bool fitted[2], double slowness, const bool anyLeft[2],
                                    const bool nearRun[2])
{
    // A direct arrival runs along the surface and carries no height delay:
    // taken to the source's height it bends with the hills, and its line
    // meets offset 0 well before the shot. As picked it is straight; the
    // refractors' times are taken to the height where it ends, so that the
    // curve stays whole at the crossover.
    std::vector<int> *orders[2] = {&m_runOrder, &m_nearOrder};
    double a[2] = {NaN, NaN}, b[2] = {NaN, NaN};
    int ends[2] = {0, 0};
    bool pulled = false;
    for (int side = Negative; side <= Positive; ++side) {
        const int n = counts[side];
        if (!fitted[side] || nearRun[side] || n < MinPicksPerSide)
            continue;
        const unsigned char *left = anyLeft[side] ? m_leftOut[side].data() : nullptr;
        ends[side] = directAsPicked(side, n, left, orders[side], &a[side], &b[side]);
        // Only where the heights pulled a first line well off that one at
        // offset 0 (before it where the ground rises from the source, after
        // it where it falls); elsewhere they bend the direct arrival too
        // little to matter. Across a patch the receivers beside the
        // source's line stand higher or lower than those on it and may tilt
        // the line instead: there also where the two part at the direct
        // arrival's end.
        if (ends[side] > 0) {
            const FirstBreakFitter &f = m_fitter[side];
            const double x = std::min(m_h[side][(*orders[side])[ends[side] - 1]], f.segmentEnd(0));
            const double apart = f.intercept(0) + f.slope(0) * x - a[side] - b[side] * x;
            pulled = pulled || std::abs(f.intercept(0) - a[side]) > SourceEarlierMs ||
                     (!m_oneLine && std::abs(apart) > SourceEarlierMs);
            // Across a patch a direct pick on a receiver well below or above
            // its neighbours is moved off the line by its own height alone.
            if (!pulled && !m_oneLine) {
                double *model = m_model[side].data();
                f.modelTimes(model);
                for (int k = 0; k < ends[side] && !pulled; ++k) {
                    const int j = (*orders[side])[k];
                    pulled = !(left && left[j]) && std::abs(m_t[side][j] - model[j]) > FitCutMs;
                }
            }
        }
    }
    if (!pulled)
        return;
    for (int side = Negative; side <= Positive; ++side) {
        // A line far from the time at the source, or from the other
        // side's, is a refractor's.
        const double source = std::isfinite(m_zeroMedian) ? m_zeroMedian : ends[1 - side] > 0 ? a[1 - side] : a[side];
        if (ends[side] == 0 || !(std::abs(a[side] - source) <= FitCutMs))
            continue;
        const int n = counts[side];
        const std::vector<int> &order = *orders[side];
        int offBefore = 0, offAfter = 0;
        const double before = m_fitter[side].cappedSse(FitCutMs, &offBefore);
        double *t = m_t[side].data();
        double *z = m_height[side].data();
        m_kept.assign(t, t + n);
        m_kept.insert(m_kept.end(), z, z + n);
        const double top = z[order[ends[side] - 1]];
        for (int k = 0; k < n; ++k) {
            const int j = order[k];
            z[j] = k < ends[side] ? 0.0 : z[j] - top;
            t[j] = m_raw[side][j] - slowness * z[j];
        }
        m_trial.allowSlowerBends(m_fitter[side].slowerBendsAllowed());
        if (m_trial.fit(m_h[side].data(), t, n, FitCutMs, anyLeft[side] ? m_leftOut[side].data() : nullptr)) {
            const double after = m_trial.cappedSse(FitCutMs, &offAfter);
            if (offAfter < offBefore || (offAfter == offBefore && after < before)) {
                std::swap(m_fitter[side], m_trial);
                m_directTop[side] = (std::isnan(m_directTop[side]) ? 0.0 : m_directTop[side]) + top;
                continue;
            }
        }
        std::copy(m_kept.begin(), m_kept.begin() + n, t);
        std::copy(m_kept.begin() + n, m_kept.end(), z);
    }
}

bool ShotFitter::bendToSlowerGround(int side, int count)
{
    if (!(m_fitter[side].largestResidual() > FitCutMs / 2))
        return false;
    int offBefore = 0, offAfter = 0;
    const double before = m_fitter[side].cappedSse(FitCutMs, &offBefore);
    m_trial.allowSlowerBends(true);
    if (!m_trial.fit(m_h[side].data(), m_t[side].data(), count, FitCutMs) || m_trial.slowerBends() == 0)
        return false;
    const double after = m_trial.cappedSse(FitCutMs, &offAfter);
    if (!(offAfter < offBefore && after < before))
        return false;
    std::swap(m_fitter[side], m_trial);
    return true;
}

bool ShotFitter::leaveOutRuns(int side, int count)
{
    // A run of neighbours picked one period late (or early) pulls the curve
    // towards itself and hides: it shows as a jump of the residuals by about
    // its step at each end, the picks between off by the same amount.
    FirstBreakFitter &f = m_fitter[side];
    double *model = m_model[side].data();
    f.modelTimes(model);
    const double *t = m_t[side].data(), *h = m_h[side].data();
    m_runOrder.resize(count);
    for (int j = 0; j < count; ++j)
        m_runOrder[j] = j;
    std::stable_sort(m_runOrder.begin(), m_runOrder.end(), [h](int a, int b) { return h[a] < h[b]; });
    auto residual = [&](int k) { return t[m_runOrder[k]] - model[m_runOrder[k]]; };
    m_leftOut[side].assign(count, 0);
    bool any = false;
    m_jumps.clear(); // each run's first and past-last pick
    // A jump from both picks before (or after) it: a lone wrong pick beside
    // a run's end makes none.
    auto jumpAt = [&](int from, int to, int step) {
        const double a = residual(to) - residual(from);
        if (from - step < 0 || from - step >= count)
            return a;
        const double b = residual(to) - residual(from - step);
        return a * b > 0.0 ? (std::abs(a) < std::abs(b) ? a : b) : 0.0;
    };
    for (int k = 1; k + MinRunPicks <= count;) {
        const double jump = jumpAt(k - 1, k, 1);
        if (!(std::abs(jump) >= RunJumpMs)) {
            ++k;
            continue;
        }
        // The first end within reach where the residuals jump back, or the
        // side's end, with the picks between alike but for the tilt of a
        // curve that bent to them.
        double low = residual(k), high = low;
        int end = -1;
        for (int e = k; e < count && e - k < MaxRunPicks; ++e) {
            low = std::min(low, residual(e));
            high = std::max(high, residual(e));
            if (high - low > RunJumpMs + RunSpreadMs / 2)
                break;
            const double way = jump > 0.0 ? 1.0 : -1.0;
            const bool back = e + 1 == count || jumpAt(e + 1, e, -1) * way >= RunJumpMs;
            if (back && e - k + 1 >= MinRunPicks) {
                end = e;
                break;
            }
        }
        if (end < 0) {
            ++k;
            continue;
        }
        for (int i = k; i <= end; ++i)
            m_leftOut[side][m_runOrder[i]] = 1;
        m_jumps.push_back(k);
        m_jumps.push_back(end + 1);
        any = true;
        k = end + 2;
    }
    if (!any)
        return false;
    // A skipped cycle stands off the curve fitted without it by one step,
    // the same at every pick. A refractor's picks standing alone (beyond a
    // gap in the spread, or on receiver lines that the direct arrival's do
    // not reach) jump at their start too, but without them the curve runs
    // on along the direct arrival and leaves them off by ever more.
    m_trial.allowSlowerBends(f.slowerBendsAllowed());
    if (!m_trial.fit(h, t, count, FitCutMs, m_leftOut[side].data()))
        return any;
    m_trialModel.resize(count);
    m_trial.modelTimes(m_trialModel.data());
    any = false;
    for (size_t i = 0; i + 1 < m_jumps.size(); i += 2) {
        double low = HUGE_VAL, high = -HUGE_VAL, sum = 0.0;
        for (int k = m_jumps[i]; k < m_jumps[i + 1]; ++k) {
            const double d = t[m_runOrder[k]] - m_trialModel[m_runOrder[k]];
            low = std::min(low, d);
            high = std::max(high, d);
            sum += d;
        }
        const double step = std::abs(sum / (m_jumps[i + 1] - m_jumps[i]));
        const bool run = low * high > 0.0 && step >= RunMinMs && high - low <= RunJumpMs + RunSpreadMs / 2;
        for (int k = m_jumps[i]; !run && k < m_jumps[i + 1]; ++k)
            m_leftOut[side][m_runOrder[k]] = 0;
        any = any || run;
    }
    return any;
}

bool ShotFitter::leaveOutBentRuns(int side, int count, bool anyLeft, bool otherFitted, int otherCount, bool *near)
{
    const double *t = m_t[side].data(), *h = m_h[side].data();
    double *model = m_model[side].data();
    m_fitter[side].modelTimes(model);
    m_runOrder.resize(count);
    for (int j = 0; j < count; ++j)
        m_runOrder[j] = j;
    std::stable_sort(m_runOrder.begin(), m_runOrder.end(), [h](int a, int b) { return h[a] < h[b]; });
    if (!anyLeft)
        m_leftOut[side].assign(count, 0);
    unsigned char *left = m_leftOut[side].data();
    m_residuals.resize(count);
    for (int k = 0; k < count; ++k)
        m_residuals[k] = t[m_runOrder[k]] - model[m_runOrder[k]];
    const double *r = m_residuals.data();
    // Jumps between neighbours by |offset| beyond what the side's noise
    // makes; m_trialModel is scratch for their median here.
    m_trialModel.resize(count);
    for (int k = 1; k < count; ++k)
        m_trialModel[k - 1] = std::abs(r[k] - r[k - 1]);
    const double noise = median(m_trialModel.data(), count - 1);
    const double limit = std::max(RunJumpMs, RunJumpNoise * noise);
    const double spread = std::max(RunSpreadMs, RunSpreadNoise * noise);
    m_jumps.clear();
    m_jumps.push_back(0);
    for (int k = 1; k < count; ++k) {
        if (std::abs(r[k] - r[k - 1]) >= limit)
            m_jumps.push_back(k);
    }
    m_jumps.push_back(count);
    // Stretches between neighbouring jumps (or a side's end), by the
    // smaller of their end jumps.
    struct Stretch
    {
        int from, to;
        double jump;
        bool near;           // from the nearest pick or the first few on: judged by the other side's direct arrival
        bool drifts = false; // near, but drifting off the other side's direct arrival
    };
    Stretch tries[RunTrials];
    int tried = 0;
    // The other side's direct arrival, when its first line meets offset 0
    // at a plausible source delay (the picks there may be the run's); a run from the nearest
    // pick on stands off its curve by one step up to a jump back, and is
    // tried first. A side too short to fit still shows its direct arrival
    // with the time at the source.
    const FirstBreakFitter &other = m_fitter[1 - side];
    double meets = otherFitted ? other.intercept(0) : NaN;
    double otherSlope = otherFitted ? other.slope(0) : NaN;
    if (!otherFitted && !shortSideLine(1 - side, otherCount, &meets, &otherSlope))
        meets = NaN;
    bool direct = meets >= DelayMinMs && meets <= DelayMaxMs;
    // Taken to the source's height a direct arrival bends with the ground,
    // and a side's line may meet offset 0 well away from the other's where
    // the ground rises on one side only: a run lifts the direct arrival as
    // picked off the other's too. Two direct arrivals as picked that agree
    // make the nearest picks no run at all: without them the side's first
    // line may run back from farther receivers, higher or lower ones of a
    // patch, and leave them off it by the heights' delay.
    bool agreed = false;
    if (direct && otherFitted && m_heightsTaken) {
        const unsigned char *left = anyLeft ? m_leftOut[side].data() : nullptr;
        double own = NaN, theirs = NaN, slope = NaN;
        const bool both = directAsPicked(side, count, left, &m_pickedOrder, &own, &slope) > 0 &&
                          directAsPicked(1 - side, otherCount, nullptr, &m_pickedOrder, &theirs, &slope) > 0;
        agreed = both && std::abs(own - theirs) < RunMinMs;
        direct = !agreed;
    }
    auto otherAt = [&](double x) { return otherFitted ? other.timeAt(x) : meets + otherSlope * x; };
    if (direct) {
        auto off = [&](int k) { return t[m_runOrder[k]] - otherAt(h[m_runOrder[k]]); };
        // The nearest picks may still agree with the other side, the run
        // starting a pick or two out.
        int from = 0;
        while (from + 1 < MinRunPicks && from + 1 < count && !(std::abs(off(from)) >= RunMinMs))
            ++from;
        double previous = off(from);
        int to = from + 1;
        for (; std::abs(previous) >= RunMinMs && to < count && to - from <= MaxRunPicks; ++to) {
            const double d = off(to);
            if (std::abs(d - previous) >= limit)
                break;
            previous = d;
        }
        // Where the noise hides the jump back, the run ends before the
        // first pick that no longer stands off by a step.
        if (!(std::abs(previous) >= RunMinMs) && to >= from + 2 && std::abs(off(to - 2)) >= RunMinMs &&
            std::abs(off(to - 2) - previous) >= RunJumpMs) {
            --to;
            previous = off(to - 1);
        }
        // On hills the sides' direct slopes differ, so a run drifts off the
        // other side's line: it then counts when it steps back at its end by
        // about the step it stands off at the source.
        bool drifts = false;
        if (!(std::abs(previous) >= RunMinMs) && std::abs(off(from)) >= RunMinMs) {
            previous = off(from);
            for (to = from + 1; to < count && to - from <= MaxRunPicks; ++to) {
                const double d = off(to);
                if (std::abs(d - previous) >= limit)
                    break;
                previous = d;
            }
            const double back = to < count ? previous - off(to) : 0.0;
            drifts = back * off(from) > 0.0 && std::abs(back - off(from)) <= spread;
            previous = drifts ? back : 0.0;
        }
        // Part of the run may already be left out, where the curve bent to
        // it left a jump inside: the stretch takes it in from its start.
        bool clear = true;
        for (int k = 0; k <= from && k < count && clear; ++k)
            clear = !left[m_runOrder[k]];
        if (clear && to - from >= MinRunPicks && to - from <= MaxRunPicks && to < count &&
            std::abs(previous) >= RunMinMs)
            tries[tried++] = Stretch{from, to, HUGE_VAL, true, drifts};
    }
    auto consider = [&](int from, int to, double jump) {
        const int length = to - from;
        if (length < MinRunPicks || length > MaxRunPicks || (from == 0 && (to == count || agreed)))
            return;
        for (int k = from; k < to; ++k) {
            if (left[m_runOrder[k]])
                return;
        }
        int at = tried < RunTrials ? tried++ : RunTrials;
        if (at == RunTrials && !(jump > tries[RunTrials - 1].jump))
            return;
        at = std::min(at, RunTrials - 1);
        for (; at > 0 && tries[at - 1].jump < jump; --at)
            tries[at] = tries[at - 1];
        tries[at] = Stretch{from, to, jump, from == 0};
    };
    const FirstBreakFitter &f = m_fitter[side];
    const int jumps = int(m_jumps.size());
    for (int j = 1; j < jumps; ++j) {
        const int from = m_jumps[j - 1], to = m_jumps[j];
        const double a = from > 0 ? std::abs(r[from] - r[from - 1]) : HUGE_VAL;
        const double b = to < count ? std::abs(r[to] - r[to - 1]) : HUGE_VAL;
        consider(from, to, std::min(a, b));
        // A run the curve took as a segment of its own, up to the jump
        // where the refractor's later picks stand early of it: tried after
        // the stretches two jumps bound.
        if (to < count) {
            const double begin = f.segmentBegin(f.segmentOf(h[m_runOrder[to - 1]]));
            int k = to - 1;
            while (k > from && h[m_runOrder[k - 1]] >= begin)
                --k;
            if (k > from)
                consider(k, to, b / RunJumpNoise);
        }
    }
    // The others' fit before: how many beyond the cut, and their capped
    // squared residuals.
    auto others = [&](const double *m, const Stretch &s, int *beyond) {
        double sum = 0.0;
        for (int k = 0; k < count; ++k) {
            const int j = m_runOrder[k];
            if ((k >= s.from && k < s.to) || left[j])
                continue;
            const double d = t[j] - m[j];
            sum += std::min(d * d, FitCutMs * FitCutMs);
            *beyond += std::abs(d) > FitCutMs ? 1 : 0;
        }
        return sum;
    };
    m_trial.allowSlowerBends(m_fitter[side].slowerBendsAllowed());
    m_leftKept.assign(left, left + count);
    for (int i = 0; i < tried; ++i) {
        Stretch s = tries[i];
        bool run = false, pinned = false;
        // The jumps of a bent curve's residuals may bound part of a run
        // only: its picks beside the stretch then stand off the trial curve
        // by the same step, and the stretch takes them in for one more try.
        // A run a pick or two out from the source leaves those picks too
        // few for a direct arrival: they take no part either, and are
        // judged by the other side's.
        for (int pass = 0; pass < 2; ++pass) {
            for (int k = s.near ? 0 : s.from; k < s.to; ++k)
                left[m_runOrder[k]] = 1;
            run = m_trial.fit(h, t, count, FitCutMs, left);
            // Without a run from the nearest trace a side may keep only two
            // or three picks of its direct arrival, too few to tell its delay
            // (on hills they may still lie along the run's line): its line
            // then goes through the delay the other side shows, which also
            // stands for the picks the segment beside the run lacks.
            // The hills that tilt the two sides' direct arrivals apart also
            // wave the picks about the pinned line by more than the noise.
            pinned = run && direct && s.near && std::abs(m_trial.intercept(0) - meets) > RunMinMs &&
                     m_trial.pinFirstSegment(meets, s.drifts ? FitCutMs : NAN);
            if (!run)
                break;
            // One step, the same way for every pick of the stretch, and a
            // jump back at each neighbour.
            m_trial.modelTimes(m_trialModel.data());
            // Near the source the direct arrival the other side shows
            // arrives first where this side's is left out.
            if (direct && s.near) {
                for (int k = 0; k < s.to; ++k) {
                    const int j = m_runOrder[k];
                    m_trialModel[j] = std::min(m_trialModel[j], meets + otherSlope * h[j]);
                }
            }
            auto off = [&](int k) { return t[m_runOrder[k]] - m_trialModel[m_runOrder[k]]; };
            double low = off(s.from), high = low;
            for (int k = s.from + 1; k < s.to; ++k) {
                low = std::min(low, off(k));
                high = std::max(high, off(k));
            }
            const double way = low > 0.0 ? 1.0 : -1.0;
            const double step = 0.5 * (low + high);
            // A skipped cycle near the source is picked late: a side whose
            // direct arrival stands early of the other's is the good one.
            run = (low >= RunMinMs || (high <= -RunMinMs && !s.near)) && high - low <= spread;
            if (run && pass == 0) {
                auto along = [&](int k) { return !left[m_runOrder[k]] && std::abs(off(k) - step) <= spread / 2; };
                const Stretch was = s;
                while (s.from > 1 && s.to - s.from < MaxRunPicks && along(s.from - 1))
                    --s.from;
                while (s.to < count && s.to - s.from < MaxRunPicks && along(s.to))
                    ++s.to;
                if (s.from != was.from || s.to != was.to)
                    continue;
            }
            run = run && (s.from == 0 || (step - off(s.from - 1)) * way >= RunJumpMs);
            run = run && (s.to == count || (step - off(s.to)) * way >= RunJumpMs);
            // A run stands off a refractor that more picks show: of a
            // stretch at a side's end and the picks beside it, both one
            // step apart along one velocity, the fewer are the run. Near
            // the source the other side's direct arrival has the word.
            int beside = 0;
            for (int end : {s.from - 1, s.to}) {
                if (end < 0 || end >= count)
                    continue;
                const int j = m_trial.segmentOf(h[m_runOrder[end]]);
                int picks = 0;
                for (int k = 0; k < count; ++k) {
                    const double x = h[m_runOrder[k]];
                    picks += !left[m_runOrder[k]] && x >= m_trial.segmentBegin(j) && x <= m_trial.segmentEnd(j) ? 1 : 0;
                }
                beside = std::max(beside, picks);
            }
            run = run && (pinned || (direct && s.near) || beside > s.to - s.from);
            // Without a direct arrival of its own the side borrows the
            // other's, which must then arrive first near the source; on
            // hills a slower one this side shows beyond the run may not, and
            // the run is lowered onto its own line instead.
            if (run && !pinned && direct && s.near && std::abs(m_trial.intercept(0) - meets) > RunMinMs) {
                FirstBreakFitter lent = m_trial;
                run = lent.lendDirect(meets, otherSlope);
            }
            break;
        }
        // On hills the two sides' direct arrivals may differ in slope, so
        // that a run from the nearest trace drifts off the other side's and
        // this side keeps too few direct picks to show its own: lowered by
        // its step, the run itself shows it.
        bool lowered = false;
        if (!run && direct && tries[i].near) {
            for (int k = 0; k < s.to; ++k)
                left[m_runOrder[k]] = m_leftKept[m_runOrder[k]];
            s = tries[i];
            lowered = run = lowerNearRun(side, count, s.from, &s.to, meets, spread, left);
            for (int k = 0; k < s.to; ++k)
                left[m_runOrder[k]] = 1;
        }
        // A run over most of a short refractor leaves too few of its picks
        // for the fit to keep that segment, and the run then drifts off the
        // next one: lowered by its step, it gives the refractor back.
        if (!run && !tries[i].near && m_trial.segments() > 0) {
            const int segments = m_trial.segments();
            for (int k = s.from; k < s.to; ++k)
                left[m_runOrder[k]] = m_leftKept[m_runOrder[k]];
            s = tries[i];
            lowered = run = lowerRun(side, count, s.from, s.to, spread, left) && m_trial.segments() > segments;
            for (int k = s.from; k < s.to; ++k)
                left[m_runOrder[k]] = 1;
        }
        if (run) {
            int beforeOff = 0, afterOff = 0;
            const double before = others(model, s, &beforeOff);
            const double after = others(m_trialModel.data(), s, &afterOff);
            // Alike where the run did not bend the curve, to rounding and
            // about one pick's noise.
            run = afterOff <= beforeOff && after <= before + RunNeighbourMs * RunNeighbourMs;
        }
        if (run) {
            std::swap(m_fitter[side], m_trial);
            const double nearest = h[m_runOrder[0]];
            *near = direct && s.near && !lowered &&
                    (!otherFitted || meets + otherSlope * nearest < m_fitter[side].timeAt(nearest) - RunNeighbourMs);
            return true;
        }
        for (int k = s.near ? 0 : s.from; k < s.to; ++k)
            left[m_runOrder[k]] = m_leftKept[m_runOrder[k]];
    }
    return false;
}

bool ShotFitter::shortSideLine(int side, int count, double *intercept, double *slope) const
{
    const double *t = m_t[side].data(), *h = m_h[side].data();
    double n = 0.0, sh = 0.0, st = 0.0, shh = 0.0, sht = 0.0;
    auto add = [&](double x, double y) {
        n += 1.0;
        sh += x;
        st += y;
        shh += x * x;
        sht += x * y;
    };
    if (std::isfinite(m_zeroMedian))
        add(0.0, m_zeroMedian);
    for (int j = 0; j < count; ++j)
        add(h[j], t[j]);
    const double det = n * shh - sh * sh;
    if (count < 1 || count >= MinPicksPerSide || !(det > 0.0))
        return false;
    *slope = (n * sht - sh * st) / det;
    *intercept = (st - *slope * sh) / n;
    return *slope > 0.0;
}

bool ShotFitter::lowerRun(int side, int count, int from, int to, double spread, const unsigned char *left)
{
    const double *t = m_t[side].data(), *h = m_h[side].data();
    const double *r = m_residuals.data();
    // The first step from the jumps at its ends, which must step alike (a
    // spike beside a stretch makes no such pair), then from the run itself
    // against the curve that step gives. Its neighbours lie on that curve.
    if (from == 0 || to == count)
        return false;
    const double before = r[from] - r[from - 1], after = r[to - 1] - r[to];
    if (!(before * after > 0.0) || std::abs(before - after) > spread)
        return false;
    double step = 0.5 * (before + after);
    auto off = [&](int k) { return t[m_runOrder[k]] - m_trialModel[m_runOrder[k]]; };
    double low = 0.0, high = 0.0;
    for (int round = 0; round < 2; ++round) {
        if (!(std::abs(step) >= RunMinMs))
            return false;
        m_lowered.assign(t, t + count);
        m_loweredLeft.assign(left, left + count);
        for (int k = from; k < to; ++k) {
            m_lowered[m_runOrder[k]] -= step;
            m_loweredLeft[m_runOrder[k]] = 0;
        }
        if (!m_trial.fit(h, m_lowered.data(), count, FitCutMs, m_loweredLeft.data()))
            return false;
        m_trial.modelTimes(m_trialModel.data());
        low = high = off(from);
        for (int k = from + 1; k < to; ++k) {
            low = std::min(low, off(k));
            high = std::max(high, off(k));
        }
        step = 0.5 * (low + high);
    }
    // The run holds most of the picks of the segments it spans.
    const int first = m_trial.segmentOf(h[m_runOrder[from]]), last = m_trial.segmentOf(h[m_runOrder[to - 1]]);
    int others = 0;
    for (int k = 0; k < count; ++k) {
        const double x = h[m_runOrder[k]];
        others += (k < from || k >= to) && !m_loweredLeft[m_runOrder[k]] && x >= m_trial.segmentBegin(first) &&
                          x <= m_trial.segmentEnd(last)
                      ? 1
                      : 0;
    }
    const double way = step > 0.0 ? 1.0 : -1.0;
    return others < to - from && std::min(low * way, high * way) >= RunMinMs && high - low <= spread &&
           std::abs(off(from - 1)) <= RunNeighbourMs && std::abs(off(to)) <= RunNeighbourMs;
}

bool ShotFitter::lowerNearRun(int side, int count, int from, int *end, double delay, double spread,
                              const unsigned char *left)
{
    const int to = *end;
    const double *t = m_t[side].data(), *h = m_h[side].data();
    // The run's own line: a step keeps the slope of the direct arrival.
    double n = 0.0, sh = 0.0, st = 0.0, shh = 0.0, sht = 0.0;
    for (int k = from; k < to; ++k) {
        const int j = m_runOrder[k];
        n += 1.0;
        sh += h[j];
        st += t[j];
        shh += h[j] * h[j];
        sht += h[j] * t[j];
    }
    const double det = n * shh - sh * sh;
    if (!(det > 0.0))
        return false;
    const double slope = (n * sht - sh * st) / det;
    const double intercept = (st - slope * sh) / n;
    if (!(slope > 0.0))
        return false;
    // The step down to the other side's delay; or, where the two sides'
    // delays differ by a few ms, down to the pick beyond the run when that
    // is still this side's direct arrival.
    const double toDelay = intercept - delay;
    const double toNext = to < count ? intercept + slope * h[m_runOrder[to]] - t[m_runOrder[to]] : NaN;
    // Whether the run stands off by one step once lowered by lift; *beside
    // tells how far the pick beyond it stands off.
    auto lower = [&](double lift, bool reach, double *beside) {
        m_lowered.assign(t, t + count);
        m_loweredLeft.assign(left, left + count);
        for (int k = 0; k < to; ++k)
            m_loweredLeft[m_runOrder[k]] = 0;
        for (int k = from; k < to; ++k)
            m_lowered[m_runOrder[k]] -= lift;
        // Its first line a direct arrival near the delay, and reaching the
        // pick beyond the run when that pick set the step.
        if (!m_trial.fit(h, m_lowered.data(), count, FitCutMs, m_loweredLeft.data()) ||
            !(std::abs(m_trial.intercept(0) - delay) <= RunMinMs) ||
            (reach && m_trial.segmentOf(h[m_runOrder[to]]) != 0))
            return false;
        m_trial.modelTimes(m_trialModel.data());
        auto off = [&](int k) { return t[m_runOrder[k]] - m_trialModel[m_runOrder[k]]; };
        double low = off(from), high = low;
        for (int k = from + 1; k < to; ++k) {
            low = std::min(low, off(k));
            high = std::max(high, off(k));
        }
        const double step = 0.5 * (low + high);
        // A run across the crossover: its far part, already left out,
        // stands off the refractor by the same step.
        int e = to;
        for (; e < count && e - from < MaxRunPicks && left[m_runOrder[e]] && std::abs(off(e) - step) <= spread / 2;
             ++e) {
            low = std::min(low, off(e));
            high = std::max(high, off(e));
        }
        *end = e;
        *beside = e < count ? std::abs(off(e)) : 0.0;
        return low >= RunMinMs && high - low <= spread && (from == 0 || step - off(from - 1) >= RunJumpMs) &&
               (e == count || step - off(e) >= RunJumpMs);
    };
    double beside = 0.0;
    const bool first = toDelay >= RunMinMs && lower(toDelay, false, &beside);
    if (first && !(beside > RunNeighbourMs))
        return true;
    // Lowered to the other side's delay the run leaves the pick beyond it
    // off: the sides' delays differ by a few ms, and that pick tells the
    // step. The run's line must still meet offset 0 a step above the
    // delay: a direct arrival only tilted off the other side's meets it
    // near, and stands above a refractor's first pick by as much.
    if (toDelay >= RunMinMs && toNext >= RunMinMs && std::abs(toNext - toDelay) > RunNeighbourMs &&
        lower(toNext, true, &beside))
        return true;
    // Else the first step, as it was.
    return first && lower(toDelay, false, &beside);
}

bool ShotFitter::leaveOutStraddlingRun(const int counts[2], bool anyLeft[2], bool nearRun[2])
{
    // Both direct arrivals lifted alike look like a late shot. The shorter
    // part of the run gives it away: the short side's nearest picks agree
    // with the long side's direct arrival, and the next ones stand early of
    // it by one step, on the direct arrival through the true delay.
    const double a[2] = {m_fitter[Negative].intercept(0), m_fitter[Positive].intercept(0)};
    for (int side = Negative; side <= Positive; ++side) {
        if (!(a[side] >= DelayMinMs && a[side] <= DelayMaxMs) || counts[side] < 2 * MinRunPicks)
            return false;
    }
    if (std::abs(a[Negative] - a[Positive]) > FitCutMs)
        return false;
    for (int shortSide = Negative; shortSide <= Positive; ++shortSide) {
        const int longSide = 1 - shortSide;
        const FirstBreakFitter &b = m_fitter[longSide];
        const int nA = counts[shortSide], nB = counts[longSide];
        const double *tA = m_t[shortSide].data(), *hA = m_h[shortSide].data();
        const int near = std::min(nA, MinRunPicks + 1);
        m_runOrder.resize(nA);
        for (int j = 0; j < nA; ++j)
            m_runOrder[j] = j;
        std::partial_sort(m_runOrder.begin(), m_runOrder.begin() + near, m_runOrder.end(),
                          [hA](int x, int y) { return hA[x] < hA[y] || (hA[x] == hA[y] && x < y); });
        auto offA = [&](int k) {
            const int j = m_runOrder[k];
            return tA[j] - (b.intercept(0) + b.slope(0) * hA[j]);
        };
        int runA = 0;
        while (runA + 2 < near && std::abs(offA(runA)) < RunMinMs)
            ++runA;
        if (runA == 0 || runA >= MinRunPicks)
            continue;
        const double e0 = offA(runA), e1 = offA(runA + 1);
        // One step down, not a slope that differs from the long side's.
        if (!(e0 <= -RunMinMs && e1 <= -RunMinMs && std::abs(e0 - e1) <= RunSpreadMs) ||
            !(offA(runA - 1) - e0 >= RunJumpMs))
            continue;
        const double step = -0.5 * (e0 + e1);
        const double delay = b.intercept(0) - step;
        // The long side's part: its nearest picks standing late by the step
        // of the direct arrival through that delay, or of its refractors.
        const double *tB = m_t[longSide].data(), *hB = m_h[longSide].data();
        std::vector<int> &orderB = m_nearOrder;
        orderB.resize(nB);
        for (int j = 0; j < nB; ++j)
            orderB[j] = j;
        std::stable_sort(orderB.begin(), orderB.end(), [hB](int x, int y) { return hB[x] < hB[y]; });
        auto offB = [&](int k) {
            const double h = hB[orderB[k]];
            double model = delay + b.slope(0) * h;
            for (int j = 1; j < b.segments(); ++j)
                model = std::min(model, b.intercept(j) + b.slope(j) * h);
            return tB[orderB[k]] - model;
        };
        int runB = 0;
        while (runB < nB && runB + runA < MaxRunPicks && std::abs(offB(runB) - step) <= RunSpreadMs / 2)
            ++runB;
        if (runB + runA < MinRunPicks || runB == 0 || runB == nB || !(offB(runB) < RunMinMs) ||
            !(offB(runB - 1) - offB(runB) >= RunJumpMs))
            continue;
        // Each side fitted without its part of the run; the short side's
        // direct arrival must then meet the source near the delay, or take
        // it without a pick leaving the cut (its few picks may tilt it).
        m_leftOut[longSide].assign(nB, 0);
        for (int k = 0; k < runB; ++k)
            m_leftOut[longSide][orderB[k]] = 1;
        m_trial.allowSlowerBends(b.slowerBendsAllowed());
        if (!m_trial.fit(hB, tB, nB, FitCutMs, m_leftOut[longSide].data()))
            continue;
        m_leftOut[shortSide].assign(nA, 0);
        for (int k = 0; k < runA; ++k)
            m_leftOut[shortSide][m_runOrder[k]] = 1;
        FirstBreakFitter &f = m_fitter[shortSide];
        if (!f.fit(hA, tA, nA, FitCutMs, m_leftOut[shortSide].data()) ||
            !(std::abs(f.intercept(0) - delay) <= RunSpreadMs || f.pinFirstSegment(delay))) {
            f.fit(hA, tA, nA, FitCutMs);
            continue;
        }
        std::swap(m_fitter[longSide], m_trial);
        anyLeft[Negative] = anyLeft[Positive] = true;
        nearRun[longSide] = !(std::abs(m_fitter[longSide].intercept(0) - delay) <= RunMinMs);
        return true;
    }
    return false;
}

void ShotFitter::markRuns(int side, int count, PickVerdict *picks)
{
    // A run is rare: the picks are only put in |offset| order when enough
    // of them are off.
    const int *members = m_members[side].data();
    int off = 0;
    for (int j = 0; j < count; ++j)
        off += std::abs(picks[members[j]].residual) > RunMinMs ? 1 : 0;
    if (off < MinRunPicks)
        return;
    m_runOrder.resize(count);
    for (int j = 0; j < count; ++j)
        m_runOrder[j] = j;
    const double *h = m_h[side].data();
    std::stable_sort(m_runOrder.begin(), m_runOrder.end(), [h](int a, int b) { return h[a] < h[b]; });
    auto residual = [&](int k) { return double(picks[members[m_runOrder[k]]].residual); };
    // Noise may bring a few of a run's picks under RunMinMs: they belong to
    // it while they stand off by about its step, clear of the neighbours.
    qint8 id = 0;
    for (int k = 0; k < count && id < std::numeric_limits<qint8>::max();) {
        const double first = residual(k);
        if (!(std::abs(first) > RunNeighbourMs)) {
            ++k;
            continue;
        }
        double low = first, high = first;
        int end = k + 1, far = std::abs(first) > RunMinMs ? 1 : 0;
        for (; end < count; ++end) {
            const double r = residual(end);
            const bool along = std::abs(r) > RunNeighbourMs && (r > 0.0) == (first > 0.0);
            if (!along || std::max(high, r) - std::min(low, r) > RunSpreadMs)
                break;
            low = std::min(low, r);
            high = std::max(high, r);
            far += std::abs(r) > RunMinMs ? 1 : 0;
        }
        // Displaced from both neighbours (or the one a side's end leaves),
        // each near the curve or on its other side.
        auto clear = [&](int n) {
            return std::abs(residual(n)) <= RunNeighbourMs || (residual(n) > 0.0) != (first > 0.0);
        };
        const bool before = k == 0 || clear(k - 1);
        const bool after = end == count || clear(end);
        const int length = end - k;
        if (far >= MinRunPicks && length <= MaxRunPicks && before && after && (k > 0 || end < count)) {
            ++id;
            for (int i = k; i < end; ++i)
                picks[members[m_runOrder[i]]].run = id;
        }
        k = end;
    }
}

void ShotFitter::fitLines(int side, int count, const double *times, const double *model, double threshold, double delay)
{
    std::vector<double> &own = m_lineModel[side];
    own.assign(size_t(count), NaN);
    const int *members = m_members[side].data();
    m_linePicks.clear();
    for (int j = 0; j < count; ++j)
        m_linePicks.push_back(j);
    // The side's picks line by line, each line's in record order.
    const std::vector<int> &lineOf = m_lineOf;
    std::stable_sort(m_linePicks.begin(), m_linePicks.end(),
                     [&](int a, int b) { return lineOf[members[a]] < lineOf[members[b]]; });
    for (int from = 0; from < count;) {
        const int line = lineOf[members[m_linePicks[from]]];
        int to = from + 1;
        while (to < count && lineOf[members[m_linePicks[to]]] == line)
            ++to;
        const int k = to - from;
        if (line < 0 || k <= 2 * MinPicksPerSide) {
            from = to;
            continue;
        }
        m_lineH.resize(k + 1);
        m_lineT.resize(k + 1);
        m_lineTimes.resize(k + 1);
        m_lineLeft.assign(size_t(k + 1), 0);
        double nearest = HUGE_VAL, next = HUGE_VAL;
        for (int i = 0; i < k; ++i) {
            m_lineH[i] = m_h[side][m_linePicks[from + i]];
            m_lineT[i] = times[m_linePicks[from + i]];
            next = std::min(next, std::max(nearest, m_lineH[i]));
            nearest = std::min(nearest, m_lineH[i]);
        }
        // A line through the source, its picks a spacing nearer each down
        // to it, starts at the time at the source: its direct arrival may
        // hold too few picks for a segment without it.
        const bool throughSource = std::isfinite(delay) && nearest < 2.0 * (next - nearest);
        m_lineH[k] = 0.0;
        m_lineT[k] = delay;
        const int fitted = throughSource ? k + 1 : k;
        // The picks off the side's curve against the curve of their line's
        // other picks. A stretch of the line's picks off the curve on one
        // side of it by about the same time, that its neighbours on the
        // line stand a jump apart from, is a run of skipped picks (or one
        // wrong pick): it is left out whole, so that it cannot bend the
        // curve it is judged by. Other picks off the curve, where the line
        // goes its own way over ground of its own, are left out one at a
        // time. A line with many such runs is noise, not ground: its picks
        // keep the side's verdict (and the fits stay few).
        auto residual = [&](int i) { return m_lineT[i] - model[m_linePicks[from + i]]; };
        m_pieces.clear();
        int runs = 0;
        for (int i = 0; i < k && runs <= MaxLineRuns;) {
            const double first = residual(i);
            if (!(std::abs(first) > threshold)) {
                ++i;
                continue;
            }
            double low = first, high = first;
            int end = i + 1;
            for (; end < k; ++end) {
                const double r = residual(end);
                if (!(std::abs(r) > threshold) || (r > 0.0) != (first > 0.0) ||
                    std::max(high, r) - std::min(low, r) > RunSpreadMs)
                    break;
                low = std::min(low, r);
                high = std::max(high, r);
            }
            const bool run = (i > 0 || end < k) && (i == 0 || std::abs(first - residual(i - 1)) >= RunJumpMs) &&
                             (end == k || std::abs(residual(end - 1) - residual(end)) >= RunJumpMs);
            if (run) {
                ++runs;
                m_pieces.push_back({i, end, true});
            } else {
                for (int j = i; j < end; ++j)
                    m_pieces.push_back({j, j + 1, false});
            }
            i = end;
        }
        if (runs <= MaxLineRuns) {
            // The runs stay out of every fit of the line: a pick beside one
            // is judged by the line without it.
            for (const Piece &piece : m_pieces) {
                if (piece.run)
                    std::fill(m_lineLeft.begin() + piece.from, m_lineLeft.begin() + piece.to, 1);
            }
            bool runsFitted = false;
            for (const Piece &piece : m_pieces) {
                if (piece.run && runsFitted)
                    continue;
                if (!piece.run)
                    m_lineLeft[piece.from] = 1;
                m_lineFitter.allowSlowerBends(true);
                if (m_lineFitter.fit(m_lineH.data(), m_lineT.data(), fitted, FitCutMs, m_lineLeft.data())) {
                    m_lineFitter.modelTimes(m_lineTimes.data());
                    // One fit without the runs judges them all.
                    for (const Piece &other : m_pieces) {
                        if (piece.run ? other.run : &other == &piece) {
                            for (int i = other.from; i < other.to; ++i)
                                own[m_linePicks[from + i]] = m_lineTimes[i];
                        }
                    }
                }
                runsFitted = runsFitted || piece.run;
                if (!piece.run)
                    m_lineLeft[piece.from] = 0;
            }
        }
        from = to;
    }
}

void ShotFitter::fit(const FbRecord *records, int n, const Settings &settings, ShotFit *out, ShotLines *lines)
{
    out->sides[Negative] = SideModel();
    out->sides[Positive] = SideModel();
    out->sourceDelay = NaN;
    out->picks.resize(n);
    m_zero.clear();
    m_zeroRecords.clear();
    out->heightSlowness = 0.0;
    m_lowest = std::numeric_limits<qint64>::max();
    m_highest = std::numeric_limits<qint64>::min();
    m_oneLine = true;
    m_directTop[Negative] = m_directTop[Positive] = NaN;
    // Sides by the sign of the offset when any is negative, which the
    // loop below tells as it goes; else along the spread.
    bool bySign = false;
    for (int i = 0; i < n && !bySign; ++i)
        bySign = records[i].offset < 0;
    // The buffers only grow: a file of one-pick shots pays nothing for them.
    if (int(m_side.size()) < n) {
        m_side.resize(n);
        for (int side = Negative; side <= Positive; ++side) {
            m_members[side].resize(n);
            m_h[side].resize(n);
            m_t[side].resize(n);
            m_height[side].resize(n);
            m_raw[side].resize(n);
            m_model[side].resize(n);
            m_ground[side].resize(n);
        }
    }
    if (!bySign && n > 0)
        splitSides(records, n, m_side.data());

    // One pass over the records: each pick's class, and the fitted picks
    // of each side in record order. Rejected picks (a status other than 0
    // and 1) take no part; picks at offset 0 are the source's own times;
    // times <= 0 elsewhere are traces nobody picked. One detach check, not
    // one per pick.
    PickVerdict *picks = out->picks.data();
    int counts[2] = {0, 0};
    int finite[2] = {0, 0};
    int unpicked[2] = {0, 0};
    for (int i = 0; i < n; ++i) {
        const FbRecord &r = records[i];
        const int side = bySign ? int(r.offset < 0 ? Negative : Positive) : int(m_side[i]);
        PickVerdict &v = picks[i];
        v = PickVerdict();
        v.side = qint8(side);
        v.model = std::numeric_limits<float>::quiet_NaN();
        v.residual = std::numeric_limits<float>::quiet_NaN();
        const float t = r.fb_time;
        if (!std::isfinite(t) || !FbPicks::isAccepted(r.fb_status))
            continue;
        ++finite[side];
        if (r.offset == 0) {
            m_zero.push_back(t);
            m_zeroRecords.push_back(i);
            continue;
        }
        if (FbPicks::isUnpicked(r)) {
            v.unpicked = true;
            ++unpicked[side];
            continue;
        }
        const int j = counts[side]++;
        m_members[side][j] = i;
        m_h[side][j] = std::abs(static_cast<double>(r.offset));
        m_t[side][j] = t;
        const qint64 height = qint64(r.g_elev) - r.s_elev;
        m_height[side][j] = double(height);
        m_ground[side][j] = double(height);
        m_lowest = std::min(m_lowest, height);
        m_oneLine = m_oneLine && r.g_line == records[m_members[counts[Negative] > 0 ? Negative : Positive][0]].g_line;
        m_highest = std::max(m_highest, height);
    }
    for (int side = Negative; side <= Positive; ++side) {
        out->sides[side].picks = finite[side];
        out->sides[side].unpicked = unpicked[side];
    }
    if (counts[Negative] < MinPicksPerSide && counts[Positive] < MinPicksPerSide)
        return; // nothing to judge; no delay to tell without a curve
    // Without station numbers the line numbers say nothing either: the
    // receivers' positions tell the spread's lines, and the fitted picks
    // lie on one when they all fall in the same.
    if (m_oneLine && stationsRepeat(records, n)) {
        ShotLines own(records, n);
        const ReceiverLines &found = (lines ? lines : &own)->lines();
        int first = -1;
        for (int side = Negative; side <= Positive && found.count() > 1; ++side) {
            for (int j = 0; j < counts[side] && m_oneLine; ++j) {
                const FbRecord &r = records[m_members[side][j]];
                const int line = found.lineAt(r.group_x, r.group_y);
                if (line < 0)
                    continue;
                if (first < 0)
                    first = line;
                m_oneLine = line == first;
            }
        }
    }
    bool fitted[2] = {false, false};
    for (int side = Negative; side <= Positive; ++side) {
        m_fitter[side].allowSlowerBends(false);
        fitted[side] = m_fitter[side].fit(m_h[side].data(), m_t[side].data(), counts[side], FitCutMs);
    }
    m_zeroMedian = NaN;
    if (!m_zero.empty()) {
        m_sorted = m_zero;
        m_zeroMedian = median(m_sorted.data(), int(m_sorted.size()));
    }
    double slowness = correctForHeight(counts, fitted);
    // Hills over ground that slows along the spread: a curve that cannot
    // bend with the ground leaves the slower stretch off whether or not the
    // heights are taken off, and the heights are refused. Where they were
    // worth trying and picks stay off, both are judged again by curves that
    // bend to the slower.
    bool stillOff = false;
    for (int side = Negative; side <= Positive; ++side)
        stillOff = stillOff || (fitted[side] && m_fitter[side].largestResidual() > FitCutMs / 2);
    if (slowness == 0.0 && m_heightsTried && stillOff) {
        m_bendSlower = true;
        for (int side = Negative; side <= Positive; ++side) {
            if (fitted[side])
                bendToSlowerGround(side, counts[side]);
        }
        slowness = correctForHeight(counts, fitted);
        m_bendSlower = false;
    }
    bool anyLeft[2] = {false, false};
    bool nearRun[2] = {false, false};
    auto judgeRuns = [&]() {
        // Ground that slows along the spread first; runs of cycle skips are
        // told after, so a curve that bends to the ground never makes a run
        // of its picks.
        for (int side = Negative; side <= Positive; ++side) {
            if (fitted[side])
                bendToSlowerGround(side, counts[side]);
        }
        // Runs of cycle skips take no part in the curve: the side is fitted
        // again without them. Picks as scattered as a skip is long tell none.
        for (int side = Negative; side <= Positive; ++side) {
            if (fitted[side] && counts[side] >= 2 * MinRunPicks && m_fitter[side].largestResidual() > RunMinMs &&
                m_fitter[side].cut() < FitCutMs && leaveOutRuns(side, counts[side])) {
                const bool again = m_fitter[side].fit(m_h[side].data(), m_t[side].data(), counts[side], FitCutMs,
                                                      m_leftOut[side].data());
                if (!again)
                    fitted[side] = m_fitter[side].fit(m_h[side].data(), m_t[side].data(), counts[side], FitCutMs);
                anyLeft[side] = again;
            }
        }
        // A run the curve bent to follow so far that its ends show no step,
        // or that lifted a side's whole direct arrival above the other's.
        const bool apart = fitted[Negative] && fitted[Positive] &&
                           std::abs(m_fitter[Negative].intercept(0) - m_fitter[Positive].intercept(0)) >= RunMinMs;
        for (int side = Negative; side <= Positive; ++side) {
            if (!fitted[side] || counts[side] < 2 * MinRunPicks ||
                !(apart || m_fitter[side].largestResidual() > FitCutMs / 2))
                continue;
            for (int found = 0; found < MaxBentRuns; ++found) {
                bool near = false;
                if (!leaveOutBentRuns(side, counts[side], anyLeft[side], fitted[1 - side], counts[1 - side], &near))
                    break;
                anyLeft[side] = true;
                nearRun[side] = nearRun[side] || near;
            }
        }
        if (fitted[Negative] && fitted[Positive] && !anyLeft[Negative] && !anyLeft[Positive] &&
            (m_fitter[Negative].largestResidual() > RunMinMs || m_fitter[Positive].largestResidual() > RunMinMs))
            leaveOutStraddlingRun(counts, anyLeft, nearRun);
    };
    m_heightsTaken = slowness > 0.0;
    judgeRuns();
    // A run of skips over high or low ground can pass for the heights'
    // delay: corrected for them, the curve waves by as much as the run
    // stands off and hides it. Where a pick is still left well off, the
    // times as picked are judged again, and the heights stay unless the
    // picks neither judgement leaves out fit better without them.
    bool offLeft = false;
    for (int side = Negative; side <= Positive; ++side)
        offLeft = offLeft || (fitted[side] && m_fitter[side].largestResidual() > RunMinMs);
    if (slowness > 0.0 && offLeft) {
        FirstBreakFitter held[2] = {m_fitter[Negative], m_fitter[Positive]};
        std::vector<unsigned char> heldLeft[2] = {m_leftOut[Negative], m_leftOut[Positive]};
        const bool heldFitted[2] = {fitted[Negative], fitted[Positive]};
        const bool heldAny[2] = {anyLeft[Negative], anyLeft[Positive]};
        const bool heldNear[2] = {nearRun[Negative], nearRun[Positive]};
        m_heightsTaken = false;
        for (int side = Negative; side <= Positive; ++side) {
            m_t[side].swap(m_raw[side]);
            anyLeft[side] = nearRun[side] = false;
            m_fitter[side].allowSlowerBends(false);
            fitted[side] = m_fitter[side].fit(m_h[side].data(), m_t[side].data(), counts[side], FitCutMs);
        }
        judgeRuns();
        // Capped squared residuals, as the fits are judged; m_raw now holds
        // the times at the source's height.
        const double cap = FitCutMs * FitCutMs;
        double heights = 0.0, picked = 0.0;
        // Picks each judgement leaves off its curve unexplained: on a hill
        // line the times as picked may fit closer on the whole by bending
        // with the ground, yet leave good picks beyond the cut.
        int heightsOff = 0, pickedOff = 0;
        bool same = true;
        for (int side = Negative; side <= Positive; ++side) {
            same = same && fitted[side] == heldFitted[side];
            if (!same || !fitted[side])
                continue;
            m_trialModel.resize(counts[side]);
            held[side].modelTimes(m_model[side].data());
            m_fitter[side].modelTimes(m_trialModel.data());
            for (int j = 0; j < counts[side]; ++j) {
                const bool heldOut = heldAny[side] && heldLeft[side][j],
                           pickedOut = anyLeft[side] && m_leftOut[side][j];
                const double a = m_raw[side][j] - m_model[side][j], b = m_t[side][j] - m_trialModel[j];
                heightsOff += !heldOut && std::abs(a) > FitCutMs ? 1 : 0;
                pickedOff += !pickedOut && std::abs(b) > FitCutMs ? 1 : 0;
                if (heldOut || pickedOut)
                    continue;
                heights += std::min(a * a, cap);
                picked += std::min(b * b, cap);
            }
        }
        if (same && picked < heights && pickedOff <= heightsOff) {
            slowness = 0.0;
        } else {
            for (int side = Negative; side <= Positive; ++side) {
                m_t[side].swap(m_raw[side]);
                std::swap(m_fitter[side], held[side]);
                m_leftOut[side].swap(heldLeft[side]);
                fitted[side] = heldFitted[side];
                anyLeft[side] = heldAny[side];
                nearRun[side] = heldNear[side];
            }
        }
    }
    if (slowness > 0.0)
        keepDirectAsPicked(counts, fitted, slowness, anyLeft, nearRun);
    out->heightSlowness = slowness;

    // The source delay both sides share: by least squares over the first
    // segments that are direct arrivals (their lines meet offset 0 at a
    // plausible delay) and the picks at the source near them; a direct
    // arrival that cannot take the delay without a pick leaving its cut
    // drops out, and the rest try again.
    const double zeroMedian = m_zeroMedian;
    bool direct[2] = {false, false};
    for (int side = Negative; side <= Positive; ++side) {
        const double a = fitted[side] ? m_fitter[side].intercept(0) : NaN;
        direct[side] = !nearRun[side] && a >= DelayMinMs && a <= DelayMaxMs;
    }
    // Two first segments that agree are direct arrivals, whatever a pick
    // at the source says. Of two that disagree, the one nearer the picks
    // at the source is, or without them the earlier: a refractor's line
    // meets offset 0 after the direct arrival's. A single first segment
    // far from the picks at the source is a refractor.
    const double a[2] = {direct[Negative] ? m_fitter[Negative].intercept(0) : NaN,
                         direct[Positive] ? m_fitter[Positive].intercept(0) : NaN};
    const bool byZero = std::isfinite(zeroMedian);
    const double away[2] = {byZero ? std::abs(a[Negative] - zeroMedian) : a[Negative],
                            byZero ? std::abs(a[Positive] - zeroMedian) : a[Positive]};
    const int likelier = away[Negative] <= away[Positive] ? Negative : Positive;
    if (direct[Negative] && direct[Positive] && std::abs(a[Negative] - a[Positive]) > FitCutMs)
        direct[1 - likelier] = false;
    if (direct[Negative] != direct[Positive]) {
        const int side = direct[Negative] ? Negative : Positive;
        direct[side] = nearRun[1 - side] || !(std::abs(a[side] - zeroMedian) > FitCutMs);
    }
    // Picks at the source clearly earlier than a first segment's line at
    // offset 0 make that segment a refractor: the direct arrival runs from
    // the source's time to short of the nearest picks, where a side has too
    // few picks to show it.
    for (int side = Negative; side <= Positive; ++side)
        direct[side] = direct[side] && !(zeroMedian < a[side] - SourceEarlierMs);
    // A line meeting offset 0 well before 0 ms is an early shot only when
    // the picks at the source or the other side's direct arrival say so
    // too; on its own it is a direct arrival bent to a wrong pick.
    bool early[2] = {false, false};
    for (int side = Negative; side <= Positive; ++side)
        early[side] = direct[side] && a[side] < DelayFloorMs;
    for (int side = Negative; side <= Positive; ++side) {
        const int other = 1 - side;
        const bool agreed =
            std::abs(a[side] - zeroMedian) <= FitCutMs || (direct[other] && std::abs(a[side] - a[other]) <= FitCutMs);
        direct[side] = direct[side] && (!early[side] || agreed);
    }
    double delay = NaN;
    for (int attempt = 0; attempt < 3; ++attempt) {
        double w = 0.0, t = 0.0, reduce = 0.0, reduceT = 0.0;
        for (int side = Negative; side <= Positive; ++side) {
            if (!direct[side])
                continue;
            double s[5];
            m_fitter[side].firstSegmentSums(s);
            // The side's slope eliminated: what remains of its normal equations.
            w += s[0];
            t += s[3];
            reduce += s[1] * s[1] / s[2];
            reduceT += s[1] * s[4] / s[2];
        }
        // The picks at the source join near the direct arrivals' delay, or
        // near their own median when no side shows a direct arrival: one
        // wrong pick at the source must not move the delay of a shot.
        const double near = w - reduce > 1e-9 * std::max(w, 1.0) ? (t - reduceT) / (w - reduce) : zeroMedian;
        for (double z : m_zero) {
            if (std::abs(z - near) <= FitCutMs) {
                w += 1.0;
                t += z;
            }
        }
        const double d = w - reduce > 1e-9 * std::max(w, 1.0) ? (t - reduceT) / (w - reduce) : NaN;
        bool allTook = true;
        const bool both = direct[Negative] && direct[Positive];
        for (int side = Negative; side <= Positive; ++side) {
            if (direct[side] && !(std::isfinite(d) && m_fitter[side].pinFirstSegment(d))) {
                direct[side] = false;
                allTook = false;
            }
        }
        delay = d;
        if (allTook)
            break;
        // Two direct arrivals a few ms apart may share no delay (one is a
        // line bent from a direct pick to the refractor's): the likelier
        // one tries alone.
        if (both && !direct[Negative] && !direct[Positive])
            direct[likelier] = true;
    }
    // A side whose first segment did not take the delay, and whose picks
    // are not all explained, may have a direct arrival its own picks could
    // not show (a wrong pick among two or three): fitted again through the
    // delay, it keeps what explains more.
    for (int side = Negative; side <= Positive; ++side) {
        if (fitted[side] && !direct[side] && !nearRun[side] && std::isfinite(delay) && m_fitter[side].beyond(FitCutMs))
            direct[side] = m_fitter[side].refitThrough(delay, FitCutMs);
    }
    // A side whose first line meets offset 0 well after the time at the
    // source may still see the direct arrival at its nearest pick or two,
    // before a missing receiver, and bend a short first line from them to
    // the refractor: fitted again through that time, it keeps a direct
    // arrival that the refractor's line does not explain.
    for (int side = Negative; side <= Positive; ++side) {
        if (!fitted[side] || direct[side] || nearRun[side] || !std::isfinite(delay) ||
            !(m_fitter[side].intercept(0) > delay + SourceEarlierMs))
            continue;
        double first[5];
        m_fitter[side].firstSegmentSums(first);
        if (first[0] < MinSegmentPicks + 0.5)
            direct[side] = m_fitter[side].refitThrough(delay, FitCutMs, true, true);
    }
    // A side whose last picks are left early may see there a refractor
    // that the other side shows.
    for (int side = Negative; side <= Positive; ++side) {
        const int other = 1 - side;
        if (!fitted[side] || !fitted[other] || !m_fitter[side].beyond(FitCutMs / 2))
            continue;
        const FirstBreakFitter &o = m_fitter[other];
        for (int j = 1; j < o.segments(); ++j) {
            if (m_fitter[side].extend(o.intercept(j), o.slope(j)))
                break;
        }
    }
    if (!direct[Negative] && !direct[Positive]) {
        // No direct arrival: the picks at the source alone tell the delay,
        // which cannot be later than any side's first line at offset 0. A
        // first line meeting offset 0 before the source's time and before 0
        // ms is bent to a wrong pick near the source: the side is fitted
        // again through the source's time, and else moves the delay no
        // further than the floor.
        delay = zeroMedian;
        for (int side = Negative; side <= Positive; ++side) {
            if (!fitted[side])
                continue;
            const double line = m_fitter[side].intercept(0);
            if (line < DelayFloorMs && line < zeroMedian - SourceEarlierMs &&
                m_fitter[side].refitThrough(zeroMedian, FitCutMs, true)) {
                direct[side] = true;
                continue;
            }
            delay = std::min(delay, std::max(line, std::min(DelayFloorMs, zeroMedian)));
        }
        delay = std::isnan(zeroMedian) ? NaN : qBound(DelayMinMs, delay, DelayMaxMs);
    }
    // A side whose picks near the source were a run takes the other's
    // direct arrival.
    for (int side = Negative; side <= Positive; ++side) {
        const int other = 1 - side;
        if (nearRun[side] && direct[other] && std::isfinite(delay))
            direct[side] = m_fitter[side].lendDirect(delay, m_fitter[other].slope(0));
    }
    // Without picks at the source, a first segment that no side's curve
    // bends away from is as much a refractor's line as the direct
    // arrival's (the near pick rejected, the source off the line beyond
    // the crossover): where it meets offset 0 is no time at the source.
    bool shown = !m_zero.empty();
    for (int side = Negative; side <= Positive; ++side)
        shown = shown || (fitted[side] && direct[side] && m_fitter[side].segments() > 1);
    out->sourceDelay = shown ? delay : NaN;

    // Each side's picks against its curve, and the picks at the source
    // against the delay when the shot has a curve: only here does the
    // user's threshold count, so that a new one judges the same model.
    const double threshold = settings.outlierMs;
    double sums[2] = {0.0, 0.0};
    int kept[2] = {0, 0};
    if (!m_oneLine) {
        m_lineOf.resize(n);
        const bool repeat = stationsRepeat(records, n);
        ShotLines own(records, n);
        const ReceiverLines *found = repeat ? &(lines ? lines : &own)->lines() : nullptr;
        for (int i = 0; i < n; ++i)
            m_lineOf[i] = found ? found->lineAt(records[i].group_x, records[i].group_y) : int(records[i].g_line);
    }
    for (int side = Negative; side <= Positive; ++side) {
        if (!fitted[side])
            continue;
        const FirstBreakFitter &f = m_fitter[side];
        SideModel &model = out->sides[side];
        model.judged = true;
        model.direct = direct[side];
        const int k = f.segments();
        model.segments = k;
        model.knotOffset[0] = direct[side] ? 0.0 : f.nearest();
        model.knotTime[0] = f.intercept(0) + f.slope(0) * model.knotOffset[0];
        for (int j = 1; j < k; ++j) {
            const double x = (f.intercept(j) - f.intercept(j - 1)) / (f.slope(j - 1) - f.slope(j));
            model.knotOffset[j] = x;
            model.knotTime[j] = f.intercept(j) + f.slope(j) * x;
        }
        model.knotOffset[k] = f.farthest();
        model.knotTime[k] = f.intercept(k - 1) + f.slope(k - 1) * f.farthest();
        // Where the direct arrival was kept as picked, the refractors' times
        // were taken to the height where it ends, not the source's: their
        // lines meet offset 0 later by that height's delay where it lies
        // above the source, earlier where below. The intercept is given at
        // the source's height, as the time at the source and the heights'
        // datum are.
        const double refractorsAbove =
            slowness > 0.0 && std::isfinite(m_directTop[side]) ? slowness * m_directTop[side] : 0.0;
        for (int j = 0; j < k; ++j) {
            const double rise = f.slope(j) * (f.segmentEnd(j) - f.segmentBegin(j));
            const bool bentBack =
                j > 0 && j + 1 < k && f.slope(j + 1) > BentBackSlower * f.slope(j) &&
                model.knotOffset[j + 1] - model.knotOffset[j] < model.knotOffset[j + 2] - model.knotOffset[j + 1];
            const bool measured = f.slope(j) > 0.0 && (rise >= MinRiseMs || (j == 0 && direct[side])) && !bentBack;
            model.measured |= measured ? quint8(1u << j) : quint8(0);
            if (measured) {
                model.velocity = 1000.0 / f.slope(j);
                model.intercept = f.intercept(j) - (j > 0 ? refractorsAbove : 0.0);
            }
        }
        double *modelTimes = m_model[side].data();
        f.modelTimes(modelTimes);
        if (slowness > 0.0) {
            // Back from the source's height to the receiver's: the model of
            // the time as picked.
            const double *z = m_height[side].data();
            for (int j = 0; j < counts[side]; ++j)
                modelTimes[j] += slowness * z[j];
        }
        // Across a patch, by the direct arrival or the refractor, whichever
        // reaches the receiver first.
        if (direct[side] && !patchModel(side, counts[side], slowness, modelTimes) && !m_oneLine && slowness > 0.0) {
            // Where the direct arrival was not kept as picked, its picks
            // still reach their receivers along the surface, early or late
            // by nothing of their height: each pick that its line as picked
            // holds is judged by that line.
            const unsigned char *left = anyLeft[side] ? m_leftOut[side].data() : nullptr;
            double a = NaN, b = NaN;
            const int ends = directAsPicked(side, counts[side], left, &m_pickedOrder, &a, &b);
            const double *raw = m_raw[side].data();
            for (int i = 0; i < ends; ++i) {
                const int j = m_pickedOrder[i];
                const double line = a + b * m_h[side][j];
                if (!(left && left[j]) && std::abs(raw[j] - line) <= FitCutMs / 2)
                    modelTimes[j] = line;
            }
        }
        const int *members = m_members[side].data();
        const double *times = slowness > 0.0 ? m_raw[side].data() : m_t[side].data();
        // Across a patch, receivers at one offset but on different lines
        // see different ground where it dips or changes along the survey:
        // a pick off the side's curve is off only if it is off its own
        // line's too.
        if (!m_oneLine)
            fitLines(side, counts[side], times, modelTimes, threshold, delay);
        double sum = 0.0;
        int within = 0, outliers = 0;
        for (int j = 0; j < counts[side]; ++j) {
            PickVerdict &v = picks[members[j]];
            if (!m_oneLine && std::abs(times[j] - modelTimes[j]) > threshold &&
                std::abs(times[j] - m_lineModel[side][j]) <= threshold)
                modelTimes[j] = m_lineModel[side][j];
            const double residual = times[j] - modelTimes[j];
            const bool outlier = std::abs(residual) > threshold;
            v.judged = true;
            v.model = static_cast<float>(modelTimes[j]);
            v.residual = static_cast<float>(residual);
            v.outlier = outlier;
            outliers += outlier ? 1 : 0;
            const bool counted = std::abs(residual) <= rmsReachMs(threshold);
            within += counted ? 1 : 0;
            sum += counted ? residual * residual : 0.0;
        }
        model.outliers = outliers;
        sums[side] = sum;
        kept[side] = within;
        markRuns(side, counts[side], picks);
    }
    // A side with too few picks for a curve of its own is judged near the
    // source against the other side's first segment: under the source the
    // ground is the same, and a pick on the source's own noise or ringing
    // stands off it by as much as it misses the first break. Only as far out
    // as the other side's nearest few picks: beyond them a dipping
    // refractor's two sides part. Not with the times taken to the source's
    // height: the views take a judged pick there too. The side is
    // judged so only where most of its picks there agree with the other's
    // curve: where they do not, the other side's own nearest picks (a
    // missed spike among them) may be what is wrong.
    for (int side = Negative; side <= Positive; ++side) {
        const int other = 1 - side;
        if (fitted[side] || !fitted[other] || counts[side] == 0 || slowness > 0.0)
            continue;
        const FirstBreakFitter &f = m_fitter[other];
        m_sorted.assign(m_h[other].begin(), m_h[other].begin() + counts[other]);
        std::nth_element(m_sorted.begin(), m_sorted.begin() + (MinPicksPerSide - 1), m_sorted.end());
        const double reach = std::min(f.segmentEnd(0), m_sorted[MinPicksPerSide - 1]);
        const int *members = m_members[side].data();
        auto lent = [&](int j) { return f.intercept(0) + f.slope(0) * m_h[side][j]; };
        int there = 0, agreeing = 0;
        for (int j = 0; j < counts[side]; ++j) {
            if (m_h[side][j] > reach)
                continue;
            ++there;
            agreeing += std::abs(records[members[j]].fb_time - lent(j)) <= FitCutMs ? 1 : 0;
        }
        if (agreeing == 0 || 2 * agreeing < there)
            continue;
        for (int j = 0; j < counts[side]; ++j) {
            if (m_h[side][j] > reach)
                continue;
            PickVerdict &v = picks[members[j]];
            const double model = lent(j);
            const double residual = records[members[j]].fb_time - model;
            v.judged = true;
            v.model = static_cast<float>(model);
            v.residual = static_cast<float>(residual);
            v.outlier = std::abs(residual) > threshold;
            out->sides[side].outliers += v.outlier ? 1 : 0;
            const bool counted = std::abs(residual) <= rmsReachMs(threshold);
            sums[side] += counted ? residual * residual : 0.0;
            kept[side] += counted ? 1 : 0;
        }
    }
    if (std::isfinite(delay) && (fitted[Negative] || fitted[Positive])) {
        for (int i : m_zeroRecords) {
            PickVerdict &v = picks[i];
            const double residual = records[i].fb_time - delay;
            v.judged = true;
            v.model = static_cast<float>(delay);
            v.residual = static_cast<float>(residual);
            v.outlier = std::abs(residual) > threshold;
            out->sides[v.side].outliers += v.outlier ? 1 : 0;
            const bool counted = std::abs(residual) <= rmsReachMs(threshold);
            sums[v.side] += counted ? residual * residual : 0.0;
            kept[v.side] += counted ? 1 : 0;
        }
    }
    for (int side = Negative; side <= Positive; ++side)
        out->sides[side].rmsResidual = kept[side] > 0 ? std::sqrt(sums[side] / kept[side]) : NaN;
}

} // namespace FbQc
