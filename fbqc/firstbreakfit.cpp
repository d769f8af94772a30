#include "firstbreakfit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace PickQc {

namespace {

// A segment needs this many taking-part picks, so that a kink is never
// bought with two noisy picks.
constexpr int MinSegmentPicks = 4;
// Breakpoint grid before refinement: tail starts growing by this factor
// from the source, and this many even parts of the side.
constexpr double GridGrowth = 2.0;
constexpr int GridEven = 6;
// Noise below this does not count for choosing the number of segments:
// times are often stored to an eighth of a millisecond.
constexpr double NoiseFloorMs = 0.1;
constexpr double CutSigmas = 3.5;
// Standard deviations per median absolute residual, for normal noise.
constexpr double SigmaPerMad = 1.4826;
// Golden-section steps placing a kink between two picks.
constexpr int PolishSteps = 6;
// What a segment must buy, in units of log(picks) of the criterion.
constexpr double SegmentPenalty = 4.0;
constexpr double CutFloorMs = 1.5;
constexpr double FirstCutFloorMs = 16.0;
constexpr int MaxRounds = 8;
constexpr int SuspiciousRun = 3;
constexpr int MedianWindow = 7;
constexpr int WarmStep = 2;

// Two picks' values in one register: with the vector extension of GCC and
// Clang each step below works on both picks at once, lane by lane the same
// arithmetic as on one double.
using Two = double __attribute__((vector_size(2 * sizeof(double))));

template <typename T>
T load(const double *p);
template <>
inline double load<double>(const double *p)
{
    return *p;
}
template <>
inline Two load<Two>(const double *p)
{
    Two v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void store(double *p, double v)
{
    *p = v;
}
inline void store(double *p, Two v)
{
    std::memcpy(p, &v, sizeof v);
}

// Orders a pair: afterwards a <= b (std::min and std::max, written so that
// they also apply to Two).
template <typename T>
inline void orderPair(T &a, T &b)
{
    const T lo = b < a ? b : a;
    b = a < b ? b : a;
    a = lo;
}

// The median of seven values by a sorting network held in registers: no
// branches to mispredict.
template <typename T>
inline T median7(T a0, T a1, T a2, T a3, T a4, T a5, T a6)
{
    orderPair(a0, a6);
    orderPair(a2, a3);
    orderPair(a4, a5);
    orderPair(a0, a2);
    orderPair(a1, a4);
    orderPair(a3, a6);
    orderPair(a0, a1);
    orderPair(a2, a5);
    orderPair(a3, a4);
    orderPair(a1, a2);
    orderPair(a4, a6);
    orderPair(a2, a3);
    orderPair(a4, a5);
    orderPair(a1, a2);
    orderPair(a3, a4);
    return a3;
}

// The running median of seven times centred on pick i.
template <typename T>
inline void runningMedian(const double *t, double *median, int i)
{
    store(median + i, median7(load<T>(t + i - 3), load<T>(t + i - 2), load<T>(t + i - 1), load<T>(t + i),
                              load<T>(t + i + 1), load<T>(t + i + 2), load<T>(t + i + 3)));
}

// The residual of pick i from the median of its window of seven with the
// running median's slope over the same span taken out.
template <typename T>
inline void centredResidual(const double *t, const double *u, const double *median, double *r, int i)
{
    const T du = load<T>(u + i + 3) - load<T>(u + i - 3);
    const T rise = load<T>(median + i + 3) - load<T>(median + i - 3);
    const T none = {};
    const T slope = du > 0.0 ? rise / du : none;
    const T ui = load<T>(u + i);
    auto level = [&](int j) { return load<T>(t + j) - slope * (load<T>(u + j) - ui); };
    store(r + i, load<T>(t + i) - median7(level(i - 3), level(i - 2), level(i - 1), level(i), level(i + 1),
                                          level(i + 2), level(i + 3)));
}

// The median of count (at most seven) values.
double medianOfFew(const double *v, int count)
{
    if (count == MedianWindow)
        return median7<double>(v[0], v[1], v[2], v[3], v[4], v[5], v[6]);
    double a[MedianWindow];
    for (int i = 0; i < count; ++i) {
        double x = v[i];
        int j = i;
        for (; j > 0 && a[j - 1] > x; --j)
            a[j] = a[j - 1];
        a[j] = x;
    }
    return count % 2 ? a[count / 2] : 0.5 * (a[count / 2 - 1] + a[count / 2]);
}

// A pivot of the LDL' factorisation below this, relative to its diagonal
// entry, means a column (nearly) dependent on the others.
inline bool pivotOk(double pivot, double diagonal)
{
    return pivot > 1e-10 * std::max(diagonal, 1e-300);
}

} // namespace

void FirstBreakFitter::order(const double *absOffset, const double *time, int n)
{
    m_n = n;
    m_order.resize(n);
    for (int i = 0; i < n; ++i)
        m_order[i] = i;
    // Picks usually come in channel order, so one side is already sorted
    // one way or the other; check before paying for a sort.
    bool ascending = true;
    bool descending = true;
    for (int i = 1; i < n; ++i) {
        ascending = ascending && absOffset[i - 1] <= absOffset[i];
        descending = descending && absOffset[i - 1] >= absOffset[i];
    }
    if (descending && !ascending)
        std::reverse(m_order.begin(), m_order.end());
    else if (!ascending)
        std::stable_sort(m_order.begin(), m_order.end(),
                         [absOffset](int a, int b) { return absOffset[a] < absOffset[b]; });

    m_h0 = absOffset[m_order.front()];
    const double range = absOffset[m_order.back()] - m_h0;
    m_scale = range > 0.0 ? range : 1.0;
    m_u.resize(n);
    m_t.resize(n);
    m_w.resize(n);
    m_r.resize(n);
    m_work.resize(n);
    m_sums.resize(n + 1);
    m_visited.resize(n);
    if (ascending) {
        for (int i = 0; i < n; ++i) {
            m_u[i] = (absOffset[i] - m_h0) / m_scale;
            m_t[i] = time[i];
        }
    } else {
        for (int i = 0; i < n; ++i) {
            m_u[i] = (absOffset[m_order[i]] - m_h0) / m_scale;
            m_t[i] = time[m_order[i]];
        }
    }
}

double FirstBreakFitter::cutAbove(double floor)
{
    // While the floor is generous, most picks sit well inside it and the
    // robust sigma cannot raise the cut: counting them is much cheaper
    // than selecting their median, and gives the same cut.
    // Two picks at a time: scaling is symmetric in the sign, so the test
    // on the scaled |r| is the test -floor <= scaled r <= floor.
    const int n = m_n;
    const double *r = m_r.data();
    const Two one = {1.0, 1.0}, none = {};
    Two insideTwo = none;
    int i = 0;
    for (; i + 1 < n; i += 2) {
        const Two scaled = CutSigmas * (SigmaPerMad * load<Two>(r + i));
        insideTwo += ((scaled <= floor) & (scaled >= -floor)) ? one : none;
    }
    int inside = int(insideTwo[0] + insideTwo[1]);
    for (; i < n; ++i)
        inside += CutSigmas * (SigmaPerMad * std::abs(r[i])) <= floor ? 1 : 0;
    if (inside > n / 2)
        return floor;
    return std::max(CutSigmas * robustSigma(), floor);
}

double FirstBreakFitter::robustSigma()
{
    for (int i = 0; i < m_n; ++i)
        m_work[i] = std::abs(m_r[i]);
    const int mid = m_n / 2;
    std::nth_element(m_work.begin(), m_work.begin() + mid, m_work.begin() + m_n);
    return SigmaPerMad * m_work[mid];
}

bool FirstBreakFitter::applyCut(double cut)
{
    const int n = m_n;
    const double *r = m_r.data();
    double *weight = m_w.data();
    // Two picks at a time; a lane of a comparison is all ones where true,
    // and |r| <= cut is -cut <= r <= cut.
    const Two one = {1.0, 1.0}, none = {};
    auto changedTwo = none != none;
    int i = 0;
    for (; i + 1 < n; i += 2) {
        const Two residual = load<Two>(r + i);
        const Two w = ((residual <= cut) & (residual >= -cut)) ? one : none;
        changedTwo |= w != load<Two>(weight + i);
        store(weight + i, w);
    }
    bool changed = changedTwo[0] || changedTwo[1];
    for (; i < n; ++i) {
        const double w = std::abs(r[i]) <= cut ? 1.0 : 0.0;
        changed = changed || w != weight[i];
        weight[i] = w;
    }
    return changed;
}

void FirstBreakFitter::initialResiduals()
{
    // The median of a window of a monotone curve is the curve at the
    // window's centre, so a running median follows the kinks and ignores a
    // minority of wrong picks. On a steep segment, though, one wrong pick
    // moves it by a whole pick step, and near the ends the window cannot be
    // centred. So the slope of the running median is taken out of each
    // window before a second median: that one sits on the good picks.
    const int n = m_n;
    const int window = std::min(MedianWindow, n % 2 ? n : n - 1);
    const int half = window / 2;
    const int lo = half;
    const int hi = n - half - 1;
    const double *t = m_t.data();
    const double *u = m_u.data();
    double *median = m_work.data();
    double *r = m_r.data();
    const bool full = window == MedianWindow;
    if (full) {
        int i = lo;
        for (; i + 1 <= hi; i += 2)
            runningMedian<Two>(t, median, i);
        for (; i <= hi; ++i)
            runningMedian<double>(t, median, i);
    } else {
        for (int i = lo; i <= hi; ++i)
            median[i] = medianOfFew(t + i - half, window);
    }

    // Near the ends the window and the slope's span are shifted inwards.
    auto nearEnd = [&](int i) {
        const int c = qBound(lo, i, hi);
        const int left = std::max(lo, c - half);
        const int right = std::min(hi, c + half);
        const double du = u[right] - u[left];
        const double slope = du > 0.0 ? (median[right] - median[left]) / du : 0.0;
        const int first = qBound(0, i - half, n - window);
        double values[MedianWindow];
        for (int j = 0; j < window; ++j)
            values[j] = t[first + j] - slope * (u[first + j] - u[i]);
        r[i] = t[i] - medianOfFew(values, window);
    };
    // Elsewhere both are centred on the pick: the same sums without the
    // bounds, two picks at a time.
    const int innerLo = full ? 2 * half : n;
    const int innerHi = full ? n - 2 * half - 1 : n - 1;
    for (int i = 0; i < std::min(innerLo, n); ++i)
        nearEnd(i);
    int i = innerLo;
    for (; i + 1 <= innerHi; i += 2)
        centredResidual<Two>(t, u, median, r, i);
    for (; i <= innerHi; ++i)
        centredResidual<double>(t, u, median, r, i);
    for (int i = std::max(innerHi + 1, innerLo); i < n; ++i)
        nearEnd(i);
}

void FirstBreakFitter::prefixSums()
{
    // The six running sums as three pairs, (w, u), (uu, t) and (ut, tt),
    // each pair one register: the products of each sum as written out,
    // w u u being (w u) u and so on.
    static_assert(sizeof(Sums) == 3 * sizeof(Two), "Sums holds three pairs of doubles");
    const int n = m_n;
    const double *weight = m_w.data();
    const double *u = m_u.data();
    const double *t = m_t.data();
    Sums *sums = m_sums.data();
    sums[0] = Sums{0, 0, 0, 0, 0, 0};
    Two wU = {}, uuT = {}, utTt = {};
    for (int i = 0; i < n; ++i) {
        const double w = weight[i];
        const double wu = w * u[i], wt = w * t[i];
        wU += Two{w, wu};
        uuT += Two{wu, w} * Two{u[i], t[i]};
        utTt += Two{wu, wt} * t[i];
        double *to = &sums[i + 1].w;
        store(to, wU);
        store(to + 2, uuT);
        store(to + 4, utTt);
    }
    const Sums &s = sums[n];

    // Trials remembered from earlier sums no longer hold.
    if (++m_generation == 0) {
        for (Remembered &r : m_remembered)
            r.generation = 0;
        m_polished[0].generation = m_polished[1].generation = 0;
        m_generation = 1;
    }

    // The columns 1 and u are the same in every trial of the round: their
    // part of the factorisation and of both substitutions is done once.
    m_logWeight = std::log(s.w);
    Base &q = m_base;
    q.b0 = s.t;
    q.b1 = s.ut;
    q.d0 = s.w;
    q.ok = pivotOk(q.d0, s.w);
    if (!q.ok)
        return;
    q.inv0 = 1.0 / q.d0;
    q.l10 = s.u * q.inv0;
    q.d1 = s.uu - q.l10 * q.l10 * q.d0;
    q.ok = pivotOk(q.d1, s.uu);
    if (!q.ok)
        return;
    q.inv1 = 1.0 / q.d1;
    q.y1 = q.b1 - q.l10 * q.b0;
    q.z0 = q.b0 / q.d0;
    q.z1 = q.y1 / q.d1;
}

FirstBreakFitter::Candidate FirstBreakFitter::evaluate(int segments, int k1, int k2, double b1, double b2) const
{
    // Compiled once per number of segments, without the tests of the others.
    switch (segments) {
    case 1:
        return evaluateFor<1>(k1, k2, b1, b2);
    case 2:
        return evaluateFor<2>(k1, k2, b1, b2);
    default:
        return evaluateFor<3>(k1, k2, b1, b2);
    }
}

template <int segments>
FirstBreakFitter::Candidate FirstBreakFitter::evaluateFor(int k1, int k2, double b1, double b2) const
{
    Candidate c;
    c.segments = segments;
    c.k1 = k1;
    c.k2 = k2;
    const Sums &all = m_sums[m_n];
    const int p = segments + 1;
    // Tail starts inside the picks, in order, each segment with enough
    // picks taking part.
    if (segments >= 2 && (k1 < 1 || k1 >= m_n))
        return c;
    if (segments == 3 && (k2 <= k1 || k2 >= m_n))
        return c;
    if (segments >= 2) {
        const double after = (segments == 3 ? m_sums[k2].w : all.w) - m_sums[k1].w;
        if (m_sums[k1].w < MinSegmentPicks || after < MinSegmentPicks)
            return c;
    }
    if (segments == 3 && all.w - m_sums[k2].w < MinSegmentPicks)
        return c;
    if (segments == 1 && all.w < 2)
        return c;

    // Least squares in the basis 1, u, (u - b1)+, (u - b2)+: the normal
    // equations' sums over the tails beyond each breakpoint come from the
    // prefix sums, and an LDL' factorisation solves them, written out for
    // the 2 to 4 unknowns on top of the round's common part.
    const Base &q = m_base;
    if (!q.ok)
        return c;
    // A breakpoint defaults to the first pick of its tail.
    const double beta[2] = {std::isnan(b1) && segments > 1 ? m_u[k1] : b1,
                            std::isnan(b2) && segments > 2 ? m_u[k2] : b2};
    double x[4] = {};
    double fitted = 0.0;
    if (segments == 1) {
        x[1] = q.z1;
        x[0] = q.z0 - q.l10 * x[1];
        fitted = x[0] * q.b0 + x[1] * q.b1;
    } else {
        const Sums &s1 = m_sums[k1];
        const Sums t1 = {all.w - s1.w, all.u - s1.u, all.uu - s1.uu, all.t - s1.t, all.ut - s1.ut, 0.0};
        const double v1 = beta[0];
        const double a02 = t1.u - v1 * t1.w;
        const double a12 = t1.uu - v1 * t1.u;
        const double a22 = t1.uu - 2.0 * v1 * t1.u + v1 * v1 * t1.w;
        const double r2 = t1.ut - v1 * t1.t;
        const double l20 = a02 * q.inv0;
        const double l21 = (a12 - l20 * q.l10 * q.d0) * q.inv1;
        const double d2 = a22 - l20 * l20 * q.d0 - l21 * l21 * q.d1;
        if (!pivotOk(d2, a22))
            return c;
        const double y2 = r2 - l20 * q.b0 - l21 * q.y1;
        if (segments == 2) {
            x[2] = y2 / d2;
            x[1] = q.z1 - l21 * x[2];
            x[0] = q.z0 - q.l10 * x[1] - l20 * x[2];
            fitted = x[0] * q.b0 + x[1] * q.b1 + x[2] * r2;
        } else {
            const Sums &s2 = m_sums[k2];
            const Sums t2 = {all.w - s2.w, all.u - s2.u, all.uu - s2.uu, all.t - s2.t, all.ut - s2.ut, 0.0};
            const double v2 = beta[1];
            const double a03 = t2.u - v2 * t2.w;
            const double a13 = t2.uu - v2 * t2.u;
            const double a33 = t2.uu - 2.0 * v2 * t2.u + v2 * v2 * t2.w;
            const double a23 = t2.uu - (v1 + v2) * t2.u + v1 * v2 * t2.w;
            const double r3 = t2.ut - v2 * t2.t;
            const double l30 = a03 * q.inv0;
            const double l31 = (a13 - l30 * q.l10 * q.d0) * q.inv1;
            const double l32 = (a23 - l30 * l20 * q.d0 - l31 * l21 * q.d1) * (1.0 / d2);
            const double d3 = a33 - l30 * l30 * q.d0 - l31 * l31 * q.d1 - l32 * l32 * d2;
            if (!pivotOk(d3, a33))
                return c;
            const double y3 = r3 - l30 * q.b0 - l31 * q.y1 - l32 * y2;
            x[3] = y3 / d3;
            x[2] = y2 / d2 - l32 * x[3];
            x[1] = q.z1 - l21 * x[2] - l31 * x[3];
            x[0] = q.z0 - q.l10 * x[1] - l20 * x[2] - l30 * x[3];
            fitted = x[0] * q.b0 + x[1] * q.b1 + x[2] * r2 + x[3] * r3;
        }
    }
    c.sse = std::max(0.0, all.tt - fitted);
    // Increasing on every segment. Kinks may bend either way: flat layers
    // give ever flatter segments, but receiver statics bend the curve back
    // and forth, and forbidding that flags good picks by the thousand.
    double slope = x[1];
    if (!(slope > 0.0) && segments > 1)
        return c;
    for (int j = 2; j < p; ++j) {
        slope += x[j];
        if (!(slope > 0.0))
            return c;
    }
    for (int j = 0; j < 4; ++j)
        c.coef[j] = x[j];
    c.b1 = beta[0];
    c.b2 = beta[1];
    c.valid = true;
    return c;
}

const FirstBreakFitter::Candidate &FirstBreakFitter::atStarts(int segments, int k1, int k2)
{
    // A cut that lets the same picks take part keeps the sums, and the next
    // round then tries mostly the tail starts of the last one again.
    Remembered &r = m_remembered[unsigned(k1 * 61 + k2 * 7 + segments) % RememberedTrials];
    if (r.generation == m_generation && r.segments == segments && r.k1 == k1 && r.k2 == k2)
        return r.c;
    r.generation = m_generation;
    r.segments = segments;
    r.k1 = k1;
    r.k2 = k2;
    r.c = evaluate(segments, k1, k2);
    return r.c;
}

FirstBreakFitter::Candidate FirstBreakFitter::polishOnce(const Candidate &c, int which)
{
    // The same model on the same sums is polished to the same result: the
    // rounds before and after the final cut often bring both.
    Polished &p = m_polished[which - 1];
    const bool same = p.generation == m_generation && p.in.segments == c.segments && p.in.k1 == c.k1
                   && p.in.k2 == c.k2 && p.in.b1 == c.b1 && (c.segments < 3 || p.in.b2 == c.b2)
                   && p.in.sse == c.sse;
    if (!same) {
        p.generation = m_generation;
        p.in = c;
        p.out = polish(c, which);
    }
    return p.out;
}

double FirstBreakFitter::score(const Candidate &c) const
{
    if (!c.valid)
        return HUGE_VAL;
    const double m = m_sums[m_n].w;
    const double floor = NoiseFloorMs * NoiseFloorMs;
    // Each segment beyond the first costs a slope and a breakpoint.
    return m * std::log(c.sse / m + floor) + SegmentPenalty * c.segments * m_logWeight;
}

FirstBreakFitter::Candidate FirstBreakFitter::refine(Candidate c, int which, int step)
{
    // Within one number of segments the squared residuals alone decide.
    // Only a strictly better place is taken, so a place tried before can
    // never win again: it is not tried twice.
    if (++m_visit == 0) {
        std::fill(m_visited.begin(), m_visited.end(), 0u);
        m_visit = 1;
    }
    m_visited[which == 1 ? c.k1 : c.k2] = m_visit;
    while (step >= 1) {
        bool moved = false;
        for (int dir = -1; dir <= 1 && !moved; dir += 2) {
            const int k1 = which == 1 ? c.k1 + dir * step : c.k1;
            const int k2 = which == 2 ? c.k2 + dir * step : c.k2;
            const int k = which == 1 ? k1 : k2;
            if (k >= 0 && k < m_n) {
                if (m_visited[k] == m_visit)
                    continue;
                m_visited[k] = m_visit;
            }
            const Candidate &trial = atStarts(c.segments, k1, k2);
            if (trial.valid && (!c.valid || trial.sse < c.sse)) {
                c = trial;
                moved = true;
            }
        }
        if (!moved)
            step /= 2;
    }
    return c;
}

FirstBreakFitter::Candidate FirstBreakFitter::polish(Candidate c, int which) const
{
    // A kink rarely sits on a pick: between the picks on either side of
    // the chosen one the fit is smooth in the breakpoint, so a golden
    // section search finds it.
    const int k = which == 1 ? c.k1 : c.k2;
    for (int tail = k; tail <= k + 1; ++tail) {
        if (tail < 1 || tail >= m_n)
            continue;
        double lo = m_u[tail - 1], hi = m_u[tail];
        if (!(hi > lo))
            continue;
        auto at = [&](double b) {
            return which == 1 ? evaluate(c.segments, tail, c.k2, b, c.b2) : evaluate(c.segments, c.k1, tail, c.b1, b);
        };
        constexpr double golden = 0.6180339887498949;
        double x1 = hi - golden * (hi - lo), x2 = lo + golden * (hi - lo);
        Candidate c1 = at(x1), c2 = at(x2);
        for (int i = 0; i < PolishSteps; ++i) {
            if (c1.valid && (!c2.valid || c1.sse < c2.sse)) {
                hi = x2;
                x2 = x1;
                c2 = c1;
                x1 = hi - golden * (hi - lo);
                c1 = at(x1);
            } else {
                lo = x1;
                x1 = x2;
                c1 = c2;
                x2 = lo + golden * (hi - lo);
                c2 = at(x2);
            }
        }
        for (const Candidate *trial : {&c1, &c2})
            if (trial->valid && trial->sse < c.sse)
                c = *trial;
    }
    return c;
}

void FirstBreakFitter::makeGrid()
{
    // Tail starts to try: geometric from the source outwards, since the
    // direct arrival often spans a few picks only, and even across the
    // side for the deeper refractors.
    m_grid.clear();
    for (double k = MinSegmentPicks; k < m_n - MinSegmentPicks + 1; k *= GridGrowth)
        m_grid.push_back(static_cast<int>(k));
    for (int g = 1; g < GridEven; ++g)
        m_grid.push_back(g * m_n / GridEven);
    std::sort(m_grid.begin(), m_grid.end());
    m_grid.erase(std::unique(m_grid.begin(), m_grid.end()), m_grid.end());
}

int FirstBreakFitter::firstStep(int k) const
{
    return std::max(1, std::min(k / 3, m_n / (2 * GridEven)));
}

FirstBreakFitter::Candidate FirstBreakFitter::bestModel(bool fine, Candidate *two, Candidate *three)
{
    // Until the cut is final a breakpoint only needs to be near its place;
    // a coarse step keeps those rounds cheap.
    auto step = [this, fine](int k) { return fine ? firstStep(k) : std::min(2, firstStep(k)); };
    Candidate best = atStarts(1, 0, 0);
    double bestScore = score(best);

    // From one round to the next only a few picks change sides of the cut,
    // so the kinks of the last round are a good start: the local search
    // below then replaces the scan of the whole grid.
    const bool warmTwo = two->valid;
    const bool warmThree = three->valid;

    // Two segments: every grid start, the best one refined.
    if (warmTwo) {
        *two = atStarts(2, two->k1, 0);
    } else {
        *two = Candidate();
        for (int k : m_grid) {
            const Candidate &c = atStarts(2, k, 0);
            if (c.valid && (!two->valid || c.sse < two->sse))
                *two = c;
        }
    }
    if (!two->valid) {
        *three = Candidate();
        return best;
    }
    // A warm kink is at most a few picks from its place.
    auto stepFrom = [&](bool warm, int k) { return warm ? std::min(WarmStep, step(k)) : step(k); };
    *two = refine(*two, 1, stepFrom(warmTwo, two->k1));

    // Three segments: a second breakpoint on either side of the first,
    // then each refined with the other held.
    bool threeWarm = false;
    if (warmThree) {
        *three = atStarts(3, three->k1, three->k2);
        threeWarm = three->valid;
    }
    if (!three->valid) {
        for (int k : m_grid) {
            if (k == two->k1)
                continue;
            const Candidate &c = atStarts(3, std::min(k, two->k1), std::max(k, two->k1));
            if (c.valid && (!three->valid || c.sse < three->sse))
                *three = c;
        }
    }
    if (three->valid) {
        for (int round = 0; round < (fine && !threeWarm ? 2 : 1); ++round) {
            *three = refine(*three, 1, stepFrom(threeWarm, three->k1));
            *three = refine(*three, 2, stepFrom(threeWarm, three->k2));
        }
    }
    for (const Candidate *c : {two, three}) {
        const double s = score(*c);
        if (s < bestScore) {
            best = *c;
            bestScore = s;
        }
    }
    if (fine && best.segments > 1) {
        // Once the cut is final, the kinks leave the pick positions.
        best = polishOnce(best, 1);
        if (best.segments == 3)
            best = polishOnce(best, 2);
    }
    return best;
}

double FirstBreakFitter::modelAtSorted(const Candidate &c, double u) const
{
    double t = c.coef[0] + c.coef[1] * u;
    if (c.segments >= 2 && u > c.b1)
        t += c.coef[2] * (u - c.b1);
    if (c.segments == 3 && u > c.b2)
        t += c.coef[3] * (u - c.b2);
    return t;
}

bool FirstBreakFitter::segmentStarts(const Candidate &c, int *beyond1, int *beyond2) const
{
    // The picks are in |offset| order, so the picks beyond each breakpoint
    // follow one another.
    const double *u = m_u.data();
    *beyond1 = c.segments >= 2 ? int(std::upper_bound(u, u + m_n, c.b1) - u) : m_n;
    *beyond2 = c.segments == 3 ? int(std::upper_bound(u, u + m_n, c.b2) - u) : m_n;
    return *beyond1 <= *beyond2;
}

template <typename Put>
void FirstBreakFitter::eachModelTime(const Candidate &c, Put put) const
{
    // One loop per segment instead of a test per pick, with the sums of
    // modelAtSorted() in its order.
    const double *u = m_u.data();
    const int n = m_n;
    int beyond1, beyond2;
    if (!segmentStarts(c, &beyond1, &beyond2)) {
        for (int i = 0; i < n; ++i)
            put(i, modelAtSorted(c, u[i]));
        return;
    }
    const double c0 = c.coef[0], c1 = c.coef[1], c2 = c.coef[2], c3 = c.coef[3];
    const double b1 = c.b1, b2 = c.b2;
    for (int i = 0; i < beyond1; ++i)
        put(i, c0 + c1 * u[i]);
    for (int i = beyond1; i < beyond2; ++i)
        put(i, c0 + c1 * u[i] + c2 * (u[i] - b1));
    for (int i = beyond2; i < n; ++i)
        put(i, c0 + c1 * u[i] + c2 * (u[i] - b1) + c3 * (u[i] - b2));
}

void FirstBreakFitter::residuals(const Candidate &c)
{
    const double *u = m_u.data();
    const double *t = m_t.data();
    double *r = m_r.data();
    int beyond1, beyond2;
    if (!segmentStarts(c, &beyond1, &beyond2)) {
        for (int i = 0; i < m_n; ++i)
            r[i] = t[i] - modelAtSorted(c, u[i]);
        return;
    }
    // As eachModelTime(), two picks at a time.
    const double c0 = c.coef[0], c1 = c.coef[1], c2 = c.coef[2], c3 = c.coef[3];
    const double b1 = c.b1, b2 = c.b2;
    auto stretch = [u, t, r](int from, int to, auto model) {
        int i = from;
        for (; i + 1 < to; i += 2)
            store(r + i, load<Two>(t + i) - model(load<Two>(u + i)));
        for (; i < to; ++i)
            r[i] = t[i] - model(u[i]);
    };
    stretch(0, beyond1, [=](auto x) { return c0 + c1 * x; });
    stretch(beyond1, beyond2, [=](auto x) { return c0 + c1 * x + c2 * (x - b1); });
    stretch(beyond2, m_n, [=](auto x) { return c0 + c1 * x + c2 * (x - b1) + c3 * (x - b2); });
}

FirstBreakFitter::Candidate FirstBreakFitter::converge(const double *floors, int stages, double ceiling)
{
    // The cut that decides which picks take part shrinks from generous to
    // 3.5 robust standard deviations over a few rounds, so that a first
    // model with a wrong kink cannot shut out the good picks it misses.
    const int lastStage = stages - 1;
    int stage = 0;
    Candidate best;
    Candidate two, three;
    applyCut(cutAbove(floors[0]));
    bool changed = true;
    for (int round = 0; round < MaxRounds; ++round) {
        // A cut that let the same picks take part leaves the sums as they were.
        if (changed)
            prefixSums();
        // The kinks are placed exactly before the cut becomes final: a kink
        // a pick off would shut out the picks of a steep segment.
        const Candidate c = bestModel(stage >= lastStage - 1, &two, &three);
        if (!c.valid)
            break;
        best = c;
        residuals(best);
        const bool final = stage == lastStage;
        stage = std::min(stage + 1, lastStage);
        double cut = cutAbove(floors[stage]);
        if (stage == lastStage)
            cut = std::min(cut, ceiling);
        changed = applyCut(cut);
        if (!changed && final)
            break;
    }
    return best;
}

bool FirstBreakFitter::suspicious(double ceiling) const
{
    // Neighbouring picks left out on the same side of the model, each
    // beyond the threshold, look more like a kink the model missed than
    // like wrong picks.
    int run = 0;
    int sign = 0;
    for (int i = 0; i < m_n; ++i) {
        const int s = m_w[i] > 0.0 || std::abs(m_r[i]) <= ceiling ? 0 : (m_r[i] > 0.0 ? 1 : -1);
        run = s != 0 && s == sign ? run + 1 : (s != 0 ? 1 : 0);
        sign = s;
        if (run >= SuspiciousRun)
            return true;
    }
    return false;
}

double FirstBreakFitter::loss(double cut) const
{
    double sum = 0.0;
    for (int i = 0; i < m_n; ++i)
        sum += std::min(m_r[i] * m_r[i], cut * cut);
    return sum;
}

void FirstBreakFitter::fit(const double *absOffset, const double *time, int n, double cutCeilingMs,
                           SideModel *model, double *modelTimes)
{
    order(absOffset, time, n);
    makeGrid();
    const double ceiling = std::max(cutCeilingMs, CutFloorMs);

    // First from a robust running curve, which wrong picks cannot move.
    initialResiduals();
    const double fromMedian[] = {FirstCutFloorMs, 12.0, 6.0, CutFloorMs};
    Candidate best = converge(fromMedian, 4, ceiling);
    if (best.valid && suspicious(ceiling)) {
        // A steep, short segment with wrong picks in it can fool the
        // running curve; start again from every pick and keep the model
        // that leaves fewer picks beyond the threshold.
        const double bestLoss = loss(ceiling);
        const double fromModel[] = {48.0, 24.0, 12.0, 6.0, CutFloorMs};
        const Candidate other = converge(fromModel, 5, ceiling);
        if (other.valid && loss(ceiling) < bestLoss)
            best = other;
        else
            residuals(best);
    }
    if (!best.valid) {
        // No increasing line fits (a side of equal offsets, or times that
        // fall with offset): a flat model at the median time.
        for (int i = 0; i < n; ++i)
            m_work[i] = m_t[i];
        std::nth_element(m_work.begin(), m_work.begin() + n / 2, m_work.begin() + n);
        best = Candidate();
        best.segments = 1;
        best.coef[0] = m_work[n / 2];
        best.valid = true;
    }

    const int segments = best.segments;
    model->segments = segments;
    double knotU[4] = {0.0, 0.0, 0.0, 0.0};
    if (segments >= 2)
        knotU[1] = best.b1;
    if (segments == 3)
        knotU[2] = best.b2;
    knotU[segments] = m_u[n - 1];
    for (int j = 0; j < 4; ++j) {
        model->knotOffset[j] = j <= segments ? m_h0 + knotU[j] * m_scale : 0.0;
        model->knotTime[j] = j <= segments ? modelAtSorted(best, knotU[j]) : 0.0;
    }
    double slope = best.coef[1];
    for (int j = 2; j <= segments; ++j)
        slope += best.coef[j];
    slope /= m_scale; // ms per offset unit
    model->velocity = slope > 0.0 ? 1000.0 / slope : NaN;
    model->intercept = model->knotTime[segments - 1] - slope * model->knotOffset[segments - 1];
    const int *order = m_order.data();
    eachModelTime(best, [order, modelTimes](int i, double model) { modelTimes[order[i]] = model; });
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
        const double along = (double(records[last].group_x) - records[first].group_x) * dx
                           + (double(records[last].group_y) - records[first].group_y) * dy;
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

void ShotFitter::fit(const FbRecord *records, int n, const Settings &settings, ShotFit *out)
{
    out->sides[Negative] = SideModel();
    out->sides[Positive] = SideModel();
    out->picks.resize(n);
    m_side.resize(n);
    if (n > 0)
        splitSides(records, n, m_side.data());
    m_members.resize(n);
    m_h.resize(n);
    m_t.resize(n);
    m_model.resize(n);

    // One detach check, not one per pick and side.
    PickVerdict *picks = out->picks.data();
    int counts[2] = {0, 0};
    for (int i = 0; i < n; ++i) {
        PickVerdict &v = picks[i];
        v = PickVerdict();
        v.side = m_side[i];
        v.model = std::numeric_limits<float>::quiet_NaN();
        v.residual = std::numeric_limits<float>::quiet_NaN();
        counts[m_side[i]] += std::isfinite(records[i].fb_time) ? 1 : 0;
    }

    // The picks of both sides in one pass, each side's together and in
    // record order: the negative side's first.
    int next[2] = {0, counts[Negative]};
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(records[i].fb_time))
            continue;
        const int j = next[m_side[i]]++;
        m_members[j] = i;
        m_h[j] = std::abs(static_cast<double>(records[i].offset));
        m_t[j] = records[i].fb_time;
    }

    for (int side = Negative; side <= Positive; ++side) {
        SideModel &model = out->sides[side];
        const int first = side == Negative ? 0 : counts[Negative];
        const int count = counts[side];
        const int *members = m_members.data() + first;
        const double *t = m_t.data() + first;
        double *modelTimes = m_model.data() + first;
        model.picks = count;
        if (count < MinPicksPerSide)
            continue;
        m_fitter.fit(m_h.data() + first, t, count, settings.outlierMs, &model, modelTimes);
        model.judged = true;
        double sum = 0.0;
        int kept = 0;
        for (int j = 0; j < count; ++j) {
            PickVerdict &v = picks[members[j]];
            const double residual = t[j] - modelTimes[j];
            v.judged = true;
            v.model = static_cast<float>(modelTimes[j]);
            v.residual = static_cast<float>(residual);
            v.outlier = std::abs(residual) > settings.outlierMs;
            if (v.outlier) {
                ++model.outliers;
            } else {
                sum += residual * residual;
                ++kept;
            }
        }
        model.rmsResidual = kept > 0 ? std::sqrt(sum / kept) : NaN;
    }
}

} // namespace PickQc
