#include "firstbreakfit.h"

#include <algorithm>
#include <cmath>

namespace PickQc {

namespace {

// A segment needs this many taking-part picks, so that a kink is never
// bought with two noisy picks.
constexpr int MinSegmentPicks = 4;
// Breakpoint grid before refinement: tail starts per search.
constexpr int GridTwo = 10;
constexpr int GridThree = 7;
// Noise below this does not count for choosing the number of segments:
// times are often stored to an eighth of a millisecond.
constexpr double NoiseFloorMs = 0.1;
constexpr double CutSigmas = 3.5;
constexpr double CutFloorMs = 1.5;
constexpr int MaxRounds = 5;
constexpr int MedianWindow = 7;

double median7(const double *v, int count)
{
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

// Solves the symmetric positive definite system a x = b of size p in place
// (Cholesky). False when a column is (nearly) dependent on the others.
bool solve(double a[4][4], double b[4], int p)
{
    double l[4][4] = {};
    for (int j = 0; j < p; ++j) {
        double d = a[j][j];
        for (int k = 0; k < j; ++k)
            d -= l[j][k] * l[j][k];
        if (!(d > 1e-10 * std::max(a[j][j], 1e-300)))
            return false;
        l[j][j] = std::sqrt(d);
        for (int i = j + 1; i < p; ++i) {
            double s = a[i][j];
            for (int k = 0; k < j; ++k)
                s -= l[i][k] * l[j][k];
            l[i][j] = s / l[j][j];
        }
    }
    double y[4];
    for (int i = 0; i < p; ++i) {
        double s = b[i];
        for (int k = 0; k < i; ++k)
            s -= l[i][k] * y[k];
        y[i] = s / l[i][i];
    }
    for (int i = p - 1; i >= 0; --i) {
        double s = y[i];
        for (int k = i + 1; k < p; ++k)
            s -= l[k][i] * b[k];
        b[i] = s / l[i][i];
    }
    return true;
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
    for (int i = 0; i < n; ++i) {
        m_u[i] = (absOffset[m_order[i]] - m_h0) / m_scale;
        m_t[i] = time[m_order[i]];
    }
}

double FirstBreakFitter::cutFromResiduals(double cutCeilingMs)
{
    for (int i = 0; i < m_n; ++i)
        m_work[i] = std::abs(m_r[i]);
    const int mid = m_n / 2;
    std::nth_element(m_work.begin(), m_work.begin() + mid, m_work.begin() + m_n);
    const double sigma = 1.4826 * m_work[mid];
    const double ceiling = std::max(cutCeilingMs, CutFloorMs);
    return std::min(std::max(CutSigmas * sigma, CutFloorMs), ceiling);
}

void FirstBreakFitter::initialWeights(double cutCeilingMs)
{
    // The median of a window of a monotone curve is the curve at the
    // window's centre, so a running median follows the kinks and ignores a
    // minority of wrong picks. Near the ends the window cannot be centred;
    // there the curve is extended along the line through two medians.
    const int n = m_n;
    const int window = std::min(MedianWindow, n % 2 ? n : n - 1);
    const int half = window / 2;
    for (int i = half; i < n - half; ++i)
        m_work[i] = median7(&m_t[i - half], window);
    const int lo = half;
    const int hi = n - half - 1;
    if (hi - lo >= half && hi > lo) {
        const int lo2 = std::min(lo + half, hi);
        const int hi2 = std::max(hi - half, lo);
        const double du1 = m_u[lo2] - m_u[lo];
        const double s1 = du1 > 0.0 ? (m_work[lo2] - m_work[lo]) / du1 : 0.0;
        const double du2 = m_u[hi] - m_u[hi2];
        const double s2 = du2 > 0.0 ? (m_work[hi] - m_work[hi2]) / du2 : 0.0;
        for (int i = 0; i < lo; ++i)
            m_work[i] = m_work[lo] + s1 * (m_u[i] - m_u[lo]);
        for (int i = hi + 1; i < n; ++i)
            m_work[i] = m_work[hi] + s2 * (m_u[i] - m_u[hi]);
    } else {
        for (int i = 0; i < lo; ++i)
            m_work[i] = m_work[lo];
        for (int i = hi + 1; i < n; ++i)
            m_work[i] = m_work[hi];
    }
    for (int i = 0; i < n; ++i)
        m_r[i] = m_t[i] - m_work[i];
    const double cut = cutFromResiduals(cutCeilingMs);
    for (int i = 0; i < n; ++i)
        m_w[i] = std::abs(m_r[i]) <= cut ? 1.0 : 0.0;
}

void FirstBreakFitter::prefixSums()
{
    Sums s = {0, 0, 0, 0, 0, 0};
    m_sums[0] = s;
    for (int i = 0; i < m_n; ++i) {
        const double w = m_w[i], u = m_u[i], t = m_t[i];
        s.w += w;
        s.u += w * u;
        s.uu += w * u * u;
        s.t += w * t;
        s.ut += w * u * t;
        s.tt += w * t * t;
        m_sums[i + 1] = s;
    }
}

FirstBreakFitter::Candidate FirstBreakFitter::evaluate(int segments, int k1, int k2) const
{
    Candidate c;
    c.segments = segments;
    c.k1 = k1;
    c.k2 = k2;
    const Sums &all = m_sums[m_n];
    const int p = segments + 1;
    if (segments >= 2) {
        if (k1 < 1 || k1 >= m_n || m_sums[k1].w < MinSegmentPicks)
            return c;
        const double after = (segments == 3 ? m_sums[k2].w : all.w) - m_sums[k1].w;
        if (after < MinSegmentPicks)
            return c;
    }
    if (segments == 3 && (k2 <= k1 || k2 >= m_n || all.w - m_sums[k2].w < MinSegmentPicks))
        return c;
    if (segments == 1 && all.w < 2)
        return c;

    // Basis 1, u, (u - b1)+, (u - b2)+: sums over the tails beyond each
    // breakpoint come from the prefix sums.
    double a[4][4] = {};
    double b[4] = {};
    a[0][0] = all.w;
    a[0][1] = a[1][0] = all.u;
    a[1][1] = all.uu;
    b[0] = all.t;
    b[1] = all.ut;
    const int ks[2] = {k1, k2};
    double beta[2] = {0.0, 0.0};
    Sums tail[2] = {};
    for (int j = 0; j < segments - 1; ++j) {
        const Sums &s = m_sums[ks[j]];
        tail[j] = Sums{all.w - s.w, all.u - s.u, all.uu - s.uu, all.t - s.t, all.ut - s.ut, all.tt - s.tt};
        const double bj = beta[j] = m_u[ks[j]];
        const Sums &t = tail[j];
        const int q = 2 + j;
        a[0][q] = a[q][0] = t.u - bj * t.w;
        a[1][q] = a[q][1] = t.uu - bj * t.u;
        a[q][q] = t.uu - 2.0 * bj * t.u + bj * bj * t.w;
        b[q] = t.ut - bj * t.t;
    }
    if (segments == 3) {
        const Sums &t = tail[1];
        a[2][3] = a[3][2] = t.uu - (beta[0] + beta[1]) * t.u + beta[0] * beta[1] * t.w;
    }
    double x[4] = {b[0], b[1], b[2], b[3]};
    if (!solve(a, x, p))
        return c;
    double fitted = 0.0;
    for (int j = 0; j < p; ++j)
        fitted += x[j] * b[j];
    c.sse = std::max(0.0, all.tt - fitted);
    // Increasing on every segment.
    double slope = x[1];
    if (!(slope > 0.0) && segments > 1)
        return c;
    for (int j = 2; j < p; ++j) {
        slope += x[j];
        if (!(slope > 0.0))
            return c;
    }
    for (int j = 0; j < 4; ++j)
        c.coef[j] = j < p ? x[j] : 0.0;
    c.valid = true;
    return c;
}

double FirstBreakFitter::score(const Candidate &c) const
{
    if (!c.valid)
        return HUGE_VAL;
    const double m = m_sums[m_n].w;
    const double floor = NoiseFloorMs * NoiseFloorMs;
    // Each segment beyond the first costs a slope and a breakpoint.
    return m * std::log(c.sse / m + floor) + 2.0 * c.segments * std::log(m);
}

FirstBreakFitter::Candidate FirstBreakFitter::refine(Candidate c, int which, int step) const
{
    double best = score(c);
    while (step >= 1) {
        bool moved = false;
        for (int dir = -1; dir <= 1 && !moved; dir += 2) {
            const int k1 = which == 1 ? c.k1 + dir * step : c.k1;
            const int k2 = which == 2 ? c.k2 + dir * step : c.k2;
            const Candidate trial = evaluate(c.segments, k1, k2);
            const double s = score(trial);
            if (s < best) {
                best = s;
                c = trial;
                moved = true;
            }
        }
        if (!moved)
            step /= 2;
    }
    return c;
}

FirstBreakFitter::Candidate FirstBreakFitter::bestModel() const
{
    Candidate best = evaluate(1, 0, 0);
    double bestScore = score(best);
    const int n = m_n;

    // Two segments: a grid of tail starts, then the best one refined.
    Candidate two;
    double twoScore = HUGE_VAL;
    const int step2 = std::max(1, n / (GridTwo + 1));
    for (int g = 1; g <= GridTwo; ++g) {
        const int k = g * n / (GridTwo + 1);
        const Candidate c = evaluate(2, k, 0);
        const double s = score(c);
        if (s < twoScore) {
            twoScore = s;
            two = c;
        }
    }
    if (two.valid) {
        two = refine(two, 1, step2 / 2);
        twoScore = score(two);
        if (twoScore < bestScore) {
            best = two;
            bestScore = twoScore;
        }
    }

    // Three segments: pairs on a coarser grid, then each breakpoint refined
    // with the other held.
    Candidate three;
    double threeScore = HUGE_VAL;
    const int step3 = std::max(1, n / (GridThree + 1));
    for (int g1 = 1; g1 <= GridThree; ++g1) {
        for (int g2 = g1 + 1; g2 <= GridThree; ++g2) {
            const Candidate c = evaluate(3, g1 * n / (GridThree + 1), g2 * n / (GridThree + 1));
            const double s = score(c);
            if (s < threeScore) {
                threeScore = s;
                three = c;
            }
        }
    }
    if (three.valid) {
        for (int round = 0; round < 2; ++round) {
            three = refine(three, 1, step3 / 2);
            three = refine(three, 2, step3 / 2);
        }
        threeScore = score(three);
        if (threeScore < bestScore) {
            best = three;
            bestScore = threeScore;
        }
    }
    return best;
}

double FirstBreakFitter::modelAtSorted(const Candidate &c, double u) const
{
    double t = c.coef[0] + c.coef[1] * u;
    if (c.segments >= 2 && u > m_u[c.k1])
        t += c.coef[2] * (u - m_u[c.k1]);
    if (c.segments == 3 && u > m_u[c.k2])
        t += c.coef[3] * (u - m_u[c.k2]);
    return t;
}

bool FirstBreakFitter::reweight(const Candidate &c, double cutCeilingMs)
{
    for (int i = 0; i < m_n; ++i)
        m_r[i] = m_t[i] - modelAtSorted(c, m_u[i]);
    const double cut = cutFromResiduals(cutCeilingMs);
    bool changed = false;
    for (int i = 0; i < m_n; ++i) {
        const double w = std::abs(m_r[i]) <= cut ? 1.0 : 0.0;
        changed = changed || w != m_w[i];
        m_w[i] = w;
    }
    return changed;
}

void FirstBreakFitter::fit(const double *absOffset, const double *time, int n, double cutCeilingMs,
                           SideModel *model, double *modelTimes)
{
    order(absOffset, time, n);
    initialWeights(cutCeilingMs);

    Candidate best;
    for (int round = 0; round < MaxRounds; ++round) {
        prefixSums();
        const Candidate c = bestModel();
        if (!c.valid)
            break;
        best = c;
        if (!reweight(best, cutCeilingMs))
            break;
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
        knotU[1] = m_u[best.k1];
    if (segments == 3)
        knotU[2] = m_u[best.k2];
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
    for (int i = 0; i < n; ++i)
        modelTimes[m_order[i]] = modelAtSorted(best, m_u[i]);
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

    for (int i = 0; i < n; ++i) {
        PickVerdict &v = out->picks[i];
        v = PickVerdict();
        v.side = m_side[i];
        v.model = std::numeric_limits<float>::quiet_NaN();
        v.residual = std::numeric_limits<float>::quiet_NaN();
    }

    for (int side = Negative; side <= Positive; ++side) {
        SideModel &model = out->sides[side];
        int count = 0;
        for (int i = 0; i < n; ++i) {
            if (m_side[i] != side || !std::isfinite(records[i].fb_time))
                continue;
            m_members[count] = i;
            m_h[count] = std::abs(static_cast<double>(records[i].offset));
            m_t[count] = records[i].fb_time;
            ++count;
        }
        model.picks = count;
        if (count < MinPicksPerSide)
            continue;
        m_fitter.fit(m_h.data(), m_t.data(), count, settings.outlierMs, &model, m_model.data());
        model.judged = true;
        double sum = 0.0;
        int kept = 0;
        for (int j = 0; j < count; ++j) {
            PickVerdict &v = out->picks[m_members[j]];
            const double residual = m_t[j] - m_model[j];
            v.judged = true;
            v.model = static_cast<float>(m_model[j]);
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
