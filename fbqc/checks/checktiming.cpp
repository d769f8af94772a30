#include <fbqc/checks/checks.h>

#include <fbqc/pickqc.h>
#include <fbqc/qccsv.h>
#include <fbqc/receiverstatics.h>
#include <fbqc/robuststats.h>

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

using namespace FbFile;

// Shot timing errors: a shot recorded late (or early) has every pick late
// by the same amount, which its fit cannot see but every pair it is in
// does, and so does its time at its own source against its neighbours'.
// Each compared pair (a, b) says d ≈ e_a - e_b, where e is a shot's
// delay: a reciprocal pair through A's time at B's source minus B's at A's,
// a repeat through A's picks minus B's at the same receivers. The delays
// are found by a robust least-squares fit over all pairs: each shot's delay
// becomes the median of what its pairs say given its partners' delays,
// round after round, with the median delay of all shots held at zero (most
// shots are on time); a partner whose own pairs mostly disagree with its
// median (picked on noise in places) has no delay to lend. A shot whose
// delay exceeds the reciprocity tolerance, or half of it and several times
// its own uncertainty (its agreeing pairs' scatter over the root of their
// number, or how far apart its near, middle and far partners place it),
// backed by most of at least three pairs, has a timing error; its flagged
// pairs are its, not its partners'.
//
// A shot in too few compared pairs (the shots of an end-on line compare
// none) is judged by its time at the source, the delay its fit shares
// between its sides, and each side's farthest refractor's line, read in the
// middle of its picks through their median residual (the least-squares line
// leans toward the picks a lobe late) and less its receivers' statics:
// against the median of its nearest neighbours' along the file, which the
// near surface changes only slowly (an intercept against their trend along
// the line where the refractor dips), each neighbour's own timing error
// taken off (its pairs' verdict, or this comparison's, round by round); of
// two measures each counts by how closely the neighbours agree on it, and a
// time at the source the picker doubted on a shot it otherwise trusted
// stands aside where the refractors' lines disagree with it. The static of
// the ground under a source delays all its picks as a timing error would:
// what the receivers there show in the other shots (their mean residual, as
// far as their picks' scatter does not explain it) is taken off each shot's
// measures first; what they do not show, the source's own static, stays in
// the estimate. A shot whose fit left most of its picks as outliers (picked
// on noise) is neither judged nor compared against this way.
namespace FbQc {

namespace {

struct Edge
{
    qint32 other; // compact id
    float d;      // this shot's delay minus the other's, as the pair says
};

} // namespace

// The rounds of one settling of the delays: the shots in pairs and their
// pairs, which of them moved, and each round's medians before the gauge
// was taken off, and the gauge. Settling again takes a round's median from
// here for every shot whose pairs and partners' delays are bit for bit
// what they were in that round: the median of the same values is the same
// number, so the result is the one a settling from scratch gives.
struct TimingRounds
{
    std::vector<qint32> shots; // compact id -> shot
    std::vector<qint64> start; // each shot's first edge
    std::vector<Edge> edges;
    std::vector<char> active;
    std::vector<std::vector<double>> medians; // per round, per compact id
    std::vector<std::vector<char>> backed;    // per round, per compact id: most pairs agree with the median
    std::vector<double> gauges;               // per round
    double tolerance = 0.0;                   // which pairs agree: what backed was taken with
};

namespace {

// Rounds kept for at most this many delays: beyond, settling starts over.
constexpr size_t MaxKeptDelays = size_t(1) << 22;

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof(double)) == 0;
}

constexpr int MaxRounds = 20;
// Paired shots a source line needs for a scatter of its own delays.
constexpr size_t MinLineShots = 12;
constexpr double SettledMs = 0.01;
// A shot's pairs split by its partner's distance into this many stretches
// of its spread, each with at least this many pairs.
constexpr int SpreadThirds = 3;
constexpr int MinPerThird = 2;

// Neighbours on each side in file order that a shot's time at the source
// is set against, and how many must be known.
constexpr int DelayNeighbours = 6;
constexpr int MinDelayNeighbours = 4;
// Rounds of taking the neighbours' own timing errors off before the
// comparison: a run of late shots would otherwise make the shot on time
// beside it look early.
constexpr int NeighbourRounds = 4;
// A shot within the tolerance of its neighbours is named only this many
// times their scatter about what they say away from them, and only against
// this many: the scatter of fewer is itself too poorly known.
constexpr double NeighbourScatters = 4.0;
constexpr int MinScatterNeighbours = 2 * MinDelayNeighbours;
// ... with at least this many on each side: at a line's very end all lie on
// one side, where their median is off by the ground's trend.
constexpr int MinNeighboursOnASide = 2;
// Neighbours agreeing closer than this on a measure give it no more
// weight: their own picks and statics are not known better.
constexpr double LeastSpreadMs = 0.65;

// A trend along the neighbours is taken only when it changes the measure
// across them by this many times their scatter about it: a straight line
// through noise, carried to a shot at the end of a line, is further off
// than their median.
constexpr double TrendOverScatter = 4.0;

// What the neighbours say a measure should be at a shot, from (u, value)
// with u the neighbour's distance along the line from it: their median, or
// where trend is set and a robust straight line through them (the median
// of the pairwise slopes, then the median offset) changes the measure
// across them by more than least and stands out of their scatter, that
// line at u = 0. A refractor's intercepts change steadily along a line
// over a dipping refractor, and at either end of a line all neighbours lie
// on one side, where the median is off by half the trend across them; a
// trend below least moves the median less than a timing error worth naming.
// Their robust scatter about what they say goes to *spread.
double trendAt(const std::vector<std::pair<double, double>> &near, bool trend, double least,
               std::vector<double> *scratch, double *spread)
{
    std::vector<double> &work = *scratch;
    work.clear();
    double low = near.front().first, high = low;
    for (size_t a = 0; a < near.size(); ++a) {
        low = std::min(low, near[a].first);
        high = std::max(high, near[a].first);
        for (size_t b = a + 1; b < near.size(); ++b) {
            const double du = near[b].first - near[a].first;
            if (du != 0.0)
                work.push_back((near[b].second - near[a].second) / du);
        }
    }
    const double slope = work.empty() ? 0.0 : median(work);
    work.clear();
    for (const auto &[u, value] : near)
        work.push_back(value - slope * u);
    const double offset = median(work);
    for (double &w : work)
        w = std::abs(w - offset);
    const double scatter = 1.4826 * median(work);
    *spread = scatter;
    if (trend && std::abs(slope) * (high - low) > std::max(least, TrendOverScatter * scatter))
        return offset;
    work.clear();
    for (const auto &[u, value] : near)
        work.push_back(value);
    const double middle = median(work);
    for (double &w : work)
        w = std::abs(w - middle);
    *spread = 1.4826 * median(work);
    return middle;
}

// A side's farthest intercept within this of its time at the source is
// a line through the source, which reached no refractor: the time at the
// source again, tens of ms below a refractor's intercept. Which kind a
// side's farthest is changes from shot to shot where its length or the
// source's distance off the line does, so each is set only against its
// like.
constexpr double ThroughSourceMs = 2.0;

bool reachesRefractor(const ShotSummaries::Timing &t, int measure)
{
    return !(std::abs(double(t.values[measure]) - t.values[0]) < ThroughSourceMs);
}

// Two sides' farthest segments this far apart in velocity are different
// refractors: one fit found a deeper one its neighbours did not reach, and
// its intercept is tens of ms from theirs.
constexpr double SameRefractorRatio = 1.05;

bool sameRefractor(const ShotSummaries::Timing &a, const ShotSummaries::Timing &b, int measure)
{
    const double va = a.velocity[measure - 1], vb = b.velocity[measure - 1];
    if (!(va > 0.0) || !(vb > 0.0))
        return true;
    return std::max(va, vb) <= SameRefractorRatio * std::min(va, vb);
}

// The shots in too few pairs, by their time at the source against their
// neighbours'; their estimates join the report's, in shot order.
void checkSourceDelays(Report *r, const std::vector<qint32> &paired)
{
    const double tolerance = r->settings.reciprocityMs;
    const std::vector<ShotSummaries::Timing> timings = r->shots().timings();
    const size_t count = timings.size();
    // The timing error each shot is known to have, taken off its values
    // where it is a neighbour: the pairs' verdict for a paired shot, this
    // check's own from the round before for the others.
    std::vector<double> known(count, 0.0);
    {
        size_t j = 0;
        for (const TimingEstimate &t : qAsConst(r->timing())) {
            while (j < count && timings[j].shot < t.shot)
                ++j;
            if (j < count && timings[j].shot == t.shot && namedByPairs(t, tolerance))
                known[j] = t.delay;
        }
    }
    std::vector<char> isPaired(count, 0), named(count, 0), dirty(count, 1), fitted(count, 1);
    for (size_t k = 0; k < count; ++k) {
        isPaired[k] = std::binary_search(paired.begin(), paired.end(), timings[k].shot) ? 1 : 0;
        // A fit that leaves most of its picks as outliers followed no first
        // break (picks on noise or a later arrival): its times say nothing
        // of the shot's timing, nor of its neighbours'.
        const ShotSummary summary = r->shots().at(timings[k].shot);
        const qint32 judged = summary.picks - summary.notJudged;
        fitted[k] = judged > 0 && 2 * summary.outliers <= judged ? 1 : 0;
    }
    // A shot whose pick at the source was left out (a trace that started
    // after its first break, as on a shot triggered early) has its time at
    // the source drawn back from the picks beyond, which the near surface
    // bends away from the source: it is no reading like its neighbours'.
    std::vector<char> sourceRead(count, 1);
    {
        FindingList::Reader reader(r->findings(Kind::Outlier));
        while (const Finding *f = reader.next()) {
            if (f->offset != 0)
                continue;
            const auto at = std::lower_bound(timings.begin(), timings.end(), f->shot,
                                             [](const ShotSummaries::Timing &t, qint32 shot) { return t.shot < shot; });
            if (at != timings.end() && at->shot == f->shot)
                sourceRead[size_t(at - timings.begin())] = 0;
        }
    }
    // The static of the ground under each source delays all its picks
    // alike, so every measure, as a timing error would: its receivers' mean
    // residual in the other shots is taken off the shot's measures and its
    // neighbours' before they are compared. A refractor's line is late
    // besides by the statics under the receivers it was read from, which
    // roll along the line with the spread: their mean comes off each side's
    // line, read in the middle of its picks. Found only around the shots
    // judged here.
    std::vector<double> under(count, 0.0), underFar(2 * count, 0.0);
    {
        std::vector<char> needed(count, 0);
        bool any = false;
        for (size_t k = 0; k < count; ++k) {
            if (isPaired[k])
                continue;
            any = true;
            for (size_t j = k > DelayNeighbours ? k - DelayNeighbours : 0; j < std::min(count, k + DelayNeighbours + 1);
                 ++j)
                needed[j] = 1;
        }
        if (any) {
            const GroundStatics ground(r->receiverStatics());
            for (size_t j = 0; j < count; ++j) {
                if (needed[j]) {
                    const ShotSource &s = r->shots().source(timings[j].shot);
                    under[j] = ground.at(s.x, s.y);
                    for (int side = Negative; side <= Positive; ++side)
                        underFar[2 * j + side] = ground.underSpan(s.x, s.y, timings[j].span[side]);
                }
            }
        }
    }
    // A side's refractor read at |offset| at (0: its intercept), through the
    // middle of its picks: their median residual added to the fitted line.
    const auto valueAt = [&timings, &under, &underFar](size_t j, int m, double at) {
        double v = double(timings[j].values[m]) - under[j];
        if (m > 0) {
            v -= underFar[2 * j + m - 1];
            if (at > 0.0)
                v += at * 1000.0 / double(timings[j].velocity[m - 1]);
            v += double(timings[j].span[m - 1].residual);
        }
        return v;
    };
    std::vector<TimingEstimate> estimate(count);
    std::vector<double> says, next, slowness, scratch, spreads;
    std::vector<std::pair<double, double>> near;
    for (int round = 0; round < NeighbourRounds; ++round) {
        next = known;
        std::vector<char> changed(count, 0);
        bool any = false;
        for (size_t k = 0; k < count; ++k) {
            if (isPaired[k] || !dirty[k])
                continue;
            if (!fitted[k]) {
                estimate[k].shot = -1;
                continue;
            }
            // Each measure of the shot against its neighbours' same measure:
            // the late shot is late in all of them, a station static under
            // one ray path in one.
            says.clear();
            spreads.clear();
            int neighbours = 0, fewestOnASide = DelayNeighbours;
            const size_t from = k > DelayNeighbours ? k - DelayNeighbours : 0;
            const size_t to = std::min(count, k + DelayNeighbours + 1);
            // On hills a refractor's intercept grows with the source's
            // height: the neighbours' are moved to this shot's height with
            // the near surface's slowness the fits that took heights off
            // agree on. A fit that took no height off has intercepts of
            // another kind, set only against its like.
            const bool onHills = timings[k].heightSlowness > 0.0f;
            slowness.clear();
            for (size_t j = from; j < to; ++j) {
                if (timings[j].heightSlowness > 0.0f)
                    slowness.push_back(timings[j].heightSlowness);
            }
            const double perHeight = !slowness.empty() ? median(slowness) : 0.0;
            const bool mixed = !slowness.empty() && slowness.size() < to - from;
            // A fit that took a slowness off its heights unlike its
            // neighbours' leaves its refractor's line off by the difference
            // times its receivers' height: each line is read as if the
            // slowness they agree on had been taken off.
            const auto onDatum = [&](size_t j, int m) {
                const double own = timings[j].heightSlowness;
                return m > 0 && own > 0.0 ? (own - perHeight) * double(timings[j].span[m - 1].height) : 0.0;
            };
            // Each neighbour's place along the line, signed by the direction
            // from the first neighbour to the last (file order where the
            // sources share one position).
            const ShotSource &here = r->shots().source(timings[k].shot);
            const ShotSource &first = r->shots().source(timings[from].shot);
            const ShotSource &last = r->shots().source(timings[to - 1].shot);
            double dx = double(last.x) - first.x, dy = double(last.y) - first.y;
            const double span = std::hypot(dx, dy);
            if (span > 0.0)
                dx /= span, dy /= span;
            auto along = [&](size_t j) {
                if (span == 0.0)
                    return double(j) - double(k);
                const ShotSource &there = r->shots().source(timings[j].shot);
                return (double(there.x) - here.x) * dx + (double(there.y) - here.y) * dy;
            };
            double delaySays = NaN;
            // Without a time at the source, a side's line may be the direct
            // arrival or a refractor: it is set against the neighbours'
            // lines of each kind, and the nearer reading stands. Such a
            // neighbour's line is of either kind.
            const bool unknownKind = !std::isfinite(timings[k].values[0]);
            for (int m = 0; m < 3; ++m) {
                if (!std::isfinite(timings[k].values[m]) || (m == 0 && !sourceRead[k]))
                    continue;
                // A refractor's line is read where this shot's picks on it
                // lie, the neighbours' at the same |offset|: carried back to
                // offset 0 each line's slope error, times the whole distance,
                // would come into the comparison, and more so the further the
                // refractor lies (on a patch, the more a source stands off
                // its receivers).
                const double at =
                    m > 0 && std::isfinite(timings[k].span[m - 1].middle) ? timings[k].span[m - 1].middle : 0.0;
                double best = NaN, bestSpread = NaN;
                for (int kind = 0; kind < (m > 0 && unknownKind ? 2 : 1); ++kind) {
                    const bool reaches = unknownKind ? kind == 0 : reachesRefractor(timings[k], m);
                    near.clear();
                    for (size_t j = from; j < to; ++j) {
                        if (j == k || !fitted[j] || !std::isfinite(timings[j].values[m]) || (m == 0 && !sourceRead[j]))
                            continue;
                        if (m > 0 && (timings[j].heightSlowness > 0.0f) != onHills)
                            continue;
                        if (m > 0 && std::isfinite(timings[j].values[0]) && reachesRefractor(timings[j], m) != reaches)
                            continue;
                        if (m > 0 && !sameRefractor(timings[j], timings[k], m))
                            continue;
                        if (!std::isfinite(valueAt(j, m, at)))
                            continue;
                        const double datum =
                            m == 0 ? 0.0 : perHeight * (double(timings[k].sourceHeight) - timings[j].sourceHeight);
                        near.emplace_back(along(j), valueAt(j, m, at) + onDatum(j, m) - known[j] + datum);
                    }
                    if (int(near.size()) < MinDelayNeighbours)
                        continue;
                    neighbours = std::max(neighbours, int(near.size()));
                    const int before =
                        int(std::count_if(near.begin(), near.end(), [](const auto &n) { return n.first < 0.0; }));
                    fewestOnASide = std::min({fewestOnASide, before, int(near.size()) - before});
                    // The time at the source sees only the near surface, which
                    // no dip of a refractor tilts.
                    double spread = 0.0;
                    const double said =
                        valueAt(k, m, at) + onDatum(k, m) - trendAt(near, m > 0, tolerance, &scratch, &spread);
                    if (!(std::abs(best) <= std::abs(said)))
                        best = said, bestSpread = spread;
                }
                if (std::isnan(best))
                    continue;
                says.push_back(best);
                spreads.push_back(bestSpread);
                if (m == 0)
                    delaySays = says.back();
            }
            named[k] = 0;
            next[k] = 0.0;
            if (says.empty()) {
                estimate[k] = TimingEstimate();
                estimate[k].shot = -1;
                continue;
            }
            // A time at the source the picker itself doubted, on a shot whose
            // other picks it trusted, is no reading where the refractors'
            // lines place the shot elsewhere: an early shot's source trace
            // starts after its first break, and the pick there is whatever
            // came first on the record. Lines of mixed kinds (see below)
            // place no shot: on hills an intercept the neighbours' heights
            // were taken off unlike its own is tens of ms off, and would
            // name the shot alone.
            if (timings[k].doubtfulSource && !mixed && std::isfinite(delaySays) && says.size() > 1) {
                double sum = 0.0, weights = 0.0;
                for (size_t m = 1; m < says.size(); ++m) {
                    const double w = 1.0 / std::pow(std::max(spreads[m], LeastSpreadMs), 2);
                    sum += w * says[m], weights += w;
                }
                if (std::abs(delaySays - sum / weights) > tolerance / 2) {
                    says.erase(says.begin());
                    spreads.erase(spreads.begin());
                    delaySays = NaN;
                }
            }
            TimingEstimate &t = estimate[k];
            t.shot = timings[k].shot;
            // Where the neighbours' fits disagree on the heights their
            // intercepts are of mixed kinds: the time at the source, which
            // no height touches, measures the delay alone.
            if (mixed && std::isfinite(delaySays)) {
                says.assign(1, delaySays);
                spreads.resize(1);
            }
            // Of two measures, the median is their mean, which the one its
            // neighbours scatter about more (the time at the source carries
            // each source's own ground; a refractor's line the average of
            // many receivers') pulls as far as the steadier: each counts by
            // how closely they agree on it. Of three, the median sets the
            // odd one aside.
            double sum = 0.0, weights = 0.0;
            for (size_t m = 0; m < says.size(); ++m) {
                const double w = 1.0 / std::pow(std::max(spreads[m], LeastSpreadMs), 2);
                sum += w * says[m], weights += w;
            }
            const bool weighed = says.size() < 3;
            t.delay = float(weighed ? sum / weights : median(says));
            t.pairs = 0;
            t.agreeing = neighbours;
            // Every measure must say it, the same way: a fit gone astray in
            // one measure names no shot.
            const auto [low, high] = std::minmax_element(says.begin(), says.end());
            const double delay = std::abs(double(t.delay));
            named[k] = delay > tolerance && (*low > tolerance / 2 || *high < -tolerance / 2) ? 1 : 0;
            // Below the tolerance, a shot must stand out of enough
            // neighbours by several times their own scatter, the same way
            // in every measure, so that their random source delays name
            // none of them; and have neighbours on both sides, since at
            // the end of a line their median is off by the ground's trend.
            // One measure alone is one reading of the shot's own few picks,
            // which the neighbours' agreement does not vouch for (on a noisy
            // line they may agree the closer for being picked along one
            // another): it must stand out of its own picks' scatter too.
            t.uncertainty =
                float(weighed ? 1.0 / std::sqrt(weights) : *std::max_element(spreads.begin(), spreads.end()));
            const double ownScatter = says.size() == 1 ? double(r->shots().at(timings[k].shot).rmsResidual) : 0.0;
            if (!named[k] && neighbours >= MinScatterNeighbours && fewestOnASide >= MinNeighboursOnASide &&
                delay > tolerance / 2 && (*low > tolerance / 4 || *high < -tolerance / 4) &&
                delay > NeighbourScatters * std::max(double(t.uncertainty), ownScatter))
                named[k] = 1;
            next[k] = named[k] ? double(t.delay) : 0.0;
            if (next[k] != known[k]) {
                changed[k] = 1;
                any = true;
            }
        }
        known.swap(next);
        if (!any)
            break;
        // Only the shots near a changed one can change in the next round.
        std::fill(dirty.begin(), dirty.end(), 0);
        for (size_t k = 0; k < count; ++k) {
            if (!changed[k])
                continue;
            for (size_t j = k > DelayNeighbours ? k - DelayNeighbours : 0; j < std::min(count, k + DelayNeighbours + 1);
                 ++j)
                dirty[j] = 1;
        }
    }
    QVector<TimingEstimate> told;
    for (size_t k = 0; k < count; ++k) {
        if (isPaired[k] || estimate[k].shot != timings[k].shot)
            continue;
        const TimingEstimate &t = estimate[k];
        told.append(t);
        if (named[k]) {
            Finding f;
            f.kind = Kind::TimingError;
            f.flags = BySourceDelay;
            f.shot = t.shot;
            f.record = r->index().at(t.shot).firstRecord;
            f.value = t.delay;
            f.count = 0;
            f.a = float(t.agreeing);
            r->addFinding(f);
        }
    }
    if (told.isEmpty())
        return;
    // The findings of both ways in shot order, as the other kinds are.
    std::vector<Finding> found;
    FindingList::Reader reader(r->findings(Kind::TimingError));
    while (const Finding *f = reader.next())
        found.push_back(*f);
    std::stable_sort(found.begin(), found.end(), [](const Finding &a, const Finding &b) { return a.shot < b.shot; });
    FindingList sorted;
    for (const Finding &f : found)
        sorted.append(f);
    r->setFindings(Kind::TimingError, std::move(sorted));
    // One estimate a shot: a shot in one or two pairs is judged by its time
    // at the source, and that estimate replaces what its few pairs said.
    QVector<TimingEstimate> byPairs;
    byPairs.reserve(r->timing().size());
    for (const TimingEstimate &t : qAsConst(r->timing())) {
        if (std::binary_search(paired.begin(), paired.end(), t.shot))
            byPairs.append(t);
    }
    QVector<TimingEstimate> all;
    all.reserve(byPairs.size() + told.size());
    std::merge(byPairs.cbegin(), byPairs.cend(), told.cbegin(), told.cend(), std::back_inserter(all),
               [](const TimingEstimate &a, const TimingEstimate &b) { return a.shot < b.shot; });
    r->setTiming(std::move(all));
}

// Of the fits, one in this many must take heights off for the file to
// have a near-surface slowness.
constexpr size_t MinHeightShare = 4;

// The time each shot's picks gain by its source's depth: the depth at
// the near surface's slowness, the median of the fits that took heights
// off. On hills a fit takes them off only where the relief under its own
// spread stands out of the noise, so a quarter of the fits is enough to
// tell the slowness; with fewer, heights explain nothing and no shot gains.
// One slowness for the file, so that a pair's two sources are measured
// alike. And the time up to which each shot's picks are direct arrivals,
// which gain nothing: where its curves show the refractor overtake, else
// the median of the shots that show it (many show no direct arrival).
// For the judged shots only (millions of one-record shots have no fit),
// ascending by shot.
Report::UpholeTimes upholeTimes(const Report &r)
{
    Report::UpholeTimes times;
    const std::vector<ShotSummaries::Timing> timings = r.shots().timings();
    std::vector<double> slowness, reach;
    for (const ShotSummaries::Timing &t : timings) {
        if (t.heightSlowness > 0.0f)
            slowness.push_back(t.heightSlowness);
        if (std::isfinite(t.directReachMs))
            reach.push_back(t.directReachMs);
    }
    if (slowness.empty() || slowness.size() * MinHeightShare < timings.size())
        return times;
    const double perDepth = median(slowness);
    const float typical = reach.empty() ? float(NaN) : float(median(reach));
    times.reserve(timings.size());
    for (const ShotSummaries::Timing &t : timings) {
        const float direct = std::isfinite(t.directReachMs) ? t.directReachMs : typical;
        times.push_back({t.shot, float(perDepth * t.sourceDepth), direct});
    }
    return times;
}

} // namespace

void checkTimingErrors(Report *r)
{
    r->setTiming({});
    const double tolerance = r->settings.reciprocityMs;
    // Every shot in a pair gets a compact id, in shot order.
    const size_t shotCount = size_t(r->index().size());
    std::vector<qint32> id(shotCount, 0);
    // Each source's depth at the near surface's slowness, where the fits
    // take heights off: what a buried source's picks gain on a partner's.
    // Kept on the report, where the pairs are judged with it too.
    r->setUpholeTimes(upholeTimes(*r));
    auto each = [&](auto visit) {
        for (const ReciprocalPair &p : qAsConst(r->pairs()))
            visit(p.shotA, p.shotB, r->depthCorrected(p));
        for (const RepeatPair &p : qAsConst(r->repeats()))
            visit(p.shotA, p.shotB, r->depthCorrected(p));
    };
    each([&](qint32 a, qint32 b, float) { ++id[size_t(a)], ++id[size_t(b)]; });
    // Built where the next settling will find them.
    auto rounds = std::make_shared<TimingRounds>();
    std::vector<qint64> &start = rounds->start;
    std::vector<qint32> &shots = rounds->shots;
    start.assign(1, 0);
    for (size_t shot = 0; shot < shotCount; ++shot) {
        if (id[shot] == 0) {
            id[shot] = -1;
            continue;
        }
        start.push_back(start.back() + id[shot]);
        id[shot] = qint32(shots.size());
        shots.push_back(qint32(shot));
    }
    if (shots.empty()) {
        r->setTimingRounds(nullptr);
        checkSourceDelays(r, {});
        return;
    }

    // The pairs of each shot, both ways round.
    const size_t n = shots.size();
    std::vector<Edge> &edges = rounds->edges;
    edges.resize(static_cast<size_t>(start[n]));
    {
        std::vector<qint64> next(start.begin(), start.end() - 1);
        each([&](qint32 a, qint32 b, float d) {
            if (!std::isfinite(d))
                d = 0.0f;
            const qint32 ia = id[size_t(a)], ib = id[size_t(b)];
            edges[size_t(next[size_t(ia)]++)] = Edge{ib, d};
            edges[size_t(next[size_t(ib)]++)] = Edge{ia, -d};
        });
    }
    std::vector<qint32>().swap(id);

    // Only shots in a pair apart by more than the least delay named can be
    // far from their partners; the rest keep a delay of zero through the
    // rounds (most files have no such pair and need none).
    std::vector<qint32> active;
    for (size_t s = 0; s < n; ++s) {
        for (qint64 k = start[s]; k < start[s + 1]; ++k) {
            if (std::abs(edges[size_t(k)].d) > tolerance / 2) {
                active.push_back(qint32(s));
                break;
            }
        }
    }

    // What the last settling did for each shot that is as it was then
    // (the same partners, the same differences, moving or not alike).
    rounds->tolerance = tolerance;
    std::shared_ptr<const TimingRounds> last = r->timingRounds();
    if (last && !sameBits(last->tolerance, tolerance))
        last = nullptr;
    std::vector<qint32> lastId(n, -1);
    std::vector<char> same(n, 0);
    if (last) {
        size_t j = 0;
        for (size_t s = 0; s < n; ++s) {
            while (j < last->shots.size() && last->shots[j] < shots[s])
                ++j;
            if (j == last->shots.size() || last->shots[j] != shots[s])
                continue;
            lastId[s] = qint32(j);
            const qint64 count = start[s + 1] - start[s];
            bool alike = last->start[j + 1] - last->start[j] == count;
            for (qint64 k = 0; alike && k < count; ++k) {
                const Edge &now = edges[size_t(start[s] + k)], &then = last->edges[size_t(last->start[j] + k)];
                alike = shots[size_t(now.other)] == last->shots[size_t(then.other)] &&
                        std::memcmp(&now.d, &then.d, sizeof(float)) == 0;
            }
            same[s] = alike ? 1 : 0;
        }
    }
    std::vector<char> &isActive = rounds->active;
    isActive.assign(n, 0);
    for (qint32 s : active)
        isActive[size_t(s)] = 1;
    for (size_t s = 0; s < n; ++s) {
        if (same[s] && isActive[s] != last->active[size_t(lastId[s])])
            same[s] = 0;
    }
    const bool keep = n * MaxRounds <= MaxKeptDelays;

    // A shot's median is taken again only when its pairs changed or a
    // partner's delay differs from the last settling's in that round.
    std::vector<double> lastDelay(last ? last->shots.size() : 0, 0.0);
    std::vector<char> redo(n, 1);
    for (size_t s = 0; s < n; ++s)
        redo[s] = same[s] ? 0 : 1;
    // What a shot's partners take off their pairs with it: its delay where
    // most of its own pairs agree with it, else nothing. A shot picked on
    // noise in places has pairs that say anything, and their median, taken
    // off, would spoil the pairs through its good picks too.
    std::vector<double> delay(n, 0.0), lent(n, 0.0), next(n, 0.0), says, sorted;
    std::vector<char> backed(n, 0);
    // Each shot's pairs in the order of what they said when its median was
    // last taken: from round to round its partners' delays move little, so
    // a few swaps put them in order again where a selection starts over.
    std::vector<qint32> order(edges.size()), byValue;
    std::vector<char> ordered(n, 0);
    std::vector<std::pair<double, qint32>> keyed;
    for (qint32 s : active) {
        for (qint64 k = start[size_t(s)]; k < start[size_t(s) + 1]; ++k)
            order[size_t(k)] = qint32(k - start[size_t(s)]);
    }
    for (int round = 0; !active.empty() && round < MaxRounds; ++round) {
        const bool known = last && size_t(round) < last->medians.size();
        for (qint32 s : active) {
            if (known && !redo[size_t(s)]) {
                next[size_t(s)] = last->medians[size_t(round)][size_t(lastId[size_t(s)])];
                backed[size_t(s)] = last->backed[size_t(round)][size_t(lastId[size_t(s)])];
                continue;
            }
            const qint64 first = start[size_t(s)], count = start[size_t(s) + 1] - first;
            says.resize(size_t(count));
            byValue.resize(size_t(count));
            for (qint64 k = 0; k < count; ++k) {
                const qint32 e = order[size_t(first + k)];
                const Edge &edge = edges[size_t(first + e)];
                const double value = double(edge.d) + lent[size_t(edge.other)];
                // Insertion: few moves when the order is nearly right.
                size_t j = size_t(k);
                for (; ordered[size_t(s)] && j > 0 && says[j - 1] > value; --j) {
                    says[j] = says[j - 1];
                    byValue[j] = byValue[j - 1];
                }
                says[j] = value;
                byValue[j] = e;
            }
            if (!ordered[size_t(s)]) {
                // The first time the values are in no order: sort them.
                keyed.resize(size_t(count));
                for (size_t k = 0; k < keyed.size(); ++k)
                    keyed[k] = {says[k], byValue[k]};
                std::sort(keyed.begin(), keyed.end());
                for (size_t k = 0; k < keyed.size(); ++k)
                    says[k] = keyed[k].first, byValue[k] = keyed[k].second;
                ordered[size_t(s)] = 1;
            }
            std::copy(byValue.begin(), byValue.end(), order.begin() + first);
            const double middle = medianOfSorted(says.data(), says.size());
            next[size_t(s)] = middle;
            const auto agree = std::upper_bound(says.begin(), says.end(), middle + tolerance) -
                               std::lower_bound(says.begin(), says.end(), middle - tolerance);
            backed[size_t(s)] = 2 * agree > count ? 1 : 0;
        }
        if (keep) {
            rounds->medians.push_back(next);
            rounds->backed.push_back(backed);
        }
        // Held at zero where most shots are: the median over all of them.
        sorted.assign(n, 0.0);
        for (qint32 s : active)
            sorted[size_t(s)] = next[size_t(s)];
        const double gauge = 2 * active.size() > n ? median(sorted) : 0.0;
        if (keep)
            rounds->gauges.push_back(gauge);
        double moved = 0.0;
        for (qint32 s : active) {
            next[size_t(s)] -= gauge;
            const double lends = backed[size_t(s)] ? next[size_t(s)] : 0.0;
            moved = std::max({moved, std::abs(next[size_t(s)] - delay[size_t(s)]), std::abs(lends - lent[size_t(s)])});
            lent[size_t(s)] = lends;
        }
        for (qint32 s : active)
            delay[size_t(s)] = next[size_t(s)];
        if (moved < SettledMs)
            break;
        if (!known || size_t(round) + 1 >= last->medians.size())
            continue;
        // What the last settling's shots lent after this round, and the
        // shots whose partners' now differ from it.
        for (size_t j = 0; j < lastDelay.size(); ++j) {
            if (last->active[j] && last->backed[size_t(round)][j])
                lastDelay[j] = last->medians[size_t(round)][j] - last->gauges[size_t(round)];
            else
                lastDelay[j] = 0.0;
        }
        for (size_t s = 0; s < n; ++s)
            redo[s] = same[s] ? 0 : 1;
        for (size_t s = 0; s < n; ++s) {
            if (lastId[s] >= 0 && sameBits(lent[s], lastDelay[size_t(lastId[s])]))
                continue;
            for (qint64 k = start[s]; k < start[s + 1]; ++k)
                redo[size_t(edges[size_t(k)].other)] = 1;
        }
    }
    r->setTimingRounds(keep ? rounds : nullptr);

    QVector<TimingEstimate> timing;
    timing.reserve(int(n));
    std::vector<qint32> paired;                        // shots with enough pairs to be judged by them
    std::vector<std::pair<double, double>> byDistance; // partner's distance, what the pair says
    std::vector<double> stretch;
    for (size_t s = 0; s < n; ++s) {
        // The agreeing pairs' mean: the median chose them, the mean uses
        // all they say.
        double sum = 0.0, squares = 0.0;
        int agreeing = 0;
        for (qint64 k = start[s]; k < start[s + 1]; ++k) {
            const double says = double(edges[size_t(k)].d) + lent[size_t(edges[size_t(k)].other)];
            if (std::abs(says - delay[s]) <= tolerance)
                sum += says, squares += says * says, ++agreeing;
        }
        TimingEstimate t;
        t.shot = shots[s];
        t.pairs = int(start[s + 1] - start[s]);
        t.agreeing = agreeing;
        t.delay = float(agreeing > 0 ? sum / agreeing : delay[s]);
        if (agreeing > 1) {
            const double mean = sum / agreeing;
            const double variance = (squares - agreeing * mean * mean) / (agreeing - 1);
            t.uncertainty = float(std::sqrt(std::max(0.0, variance) / agreeing));
        }
        if (t.pairs >= SpreadThirds * MinPerThird && std::abs(double(t.delay)) > tolerance / 2) {
            // A timing error delays every pick alike, so partners near, in
            // the middle and far say the same; a picking bias wanders along
            // the spread with the onset, and a third that disagrees bounds
            // how well the delay is known, however many pairs there are.
            // Only a delay that may be named needs it.
            const ShotSource here = r->shots().source(shots[s]);
            byDistance.clear();
            for (qint64 k = start[s]; k < start[s + 1]; ++k) {
                const Edge &e = edges[size_t(k)];
                const ShotSource there = r->shots().source(shots[size_t(e.other)]);
                byDistance.emplace_back(std::hypot(double(there.x - here.x), double(there.y - here.y)),
                                        double(e.d) + lent[size_t(e.other)]);
            }
            std::sort(byDistance.begin(), byDistance.end());
            double low = 0.0, high = 0.0;
            for (int third = 0; third < SpreadThirds; ++third) {
                stretch.clear();
                for (size_t k = byDistance.size() * size_t(third) / SpreadThirds;
                     k < byDistance.size() * size_t(third + 1) / SpreadThirds; ++k)
                    stretch.push_back(byDistance[k].second);
                const double says = median(stretch);
                low = third == 0 ? says : std::min(low, says);
                high = third == 0 ? says : std::max(high, says);
            }
            t.uncertainty = float(std::max(double(t.uncertainty), (high - low) / 2));
        }
        timing.append(t);
        if (t.pairs >= MinTimingPairs)
            paired.push_back(t.shot);
    }
    // The shots' delays scatter about zero by what each shot's picks are
    // off of their own (a bias of the picking, the source's own static),
    // which no number of pairs averages away. Pick quality is a line's
    // own (its ground, its crew's day): each source line's scatter, where
    // it has enough paired shots to tell one, else the file's. Shots late
    // beyond the tolerance are no part of that scatter, and a shot is set
    // against the others' only: on a short line its own delay and another
    // mis-triggered shot's would widen the scatter it must stand out of.
    std::vector<std::pair<qint32, double>> byLine; // source line, |delay|
    for (const TimingEstimate &t : qAsConst(timing)) {
        if (t.pairs >= MinTimingPairs && !(std::abs(double(t.delay)) > tolerance))
            byLine.emplace_back(r->shots().source(t.shot).line, std::abs(double(t.delay)));
    }
    // 1.4826 times the median of the sorted |delays| less one equal to
    // |delay| when there is one.
    const auto scatterWithout = [](const std::vector<double> &sorted, double delay) {
        const auto at = std::lower_bound(sorted.begin(), sorted.end(), std::abs(delay));
        const size_t skip = at != sorted.end() && *at == std::abs(delay) ? size_t(at - sorted.begin()) : sorted.size();
        const size_t count = sorted.size() - (skip < sorted.size() ? 1 : 0);
        if (count == 0)
            return 0.0;
        const auto value = [&](size_t i) { return sorted[i < skip ? i : i + 1]; };
        return 1.4826 * (count % 2 ? value(count / 2) : 0.5 * (value(count / 2) + value(count / 2 - 1)));
    };
    std::vector<double> fileSpread;
    for (const auto &lineDelay : byLine)
        fileSpread.push_back(lineDelay.second);
    std::sort(fileSpread.begin(), fileSpread.end());
    std::sort(byLine.begin(), byLine.end());
    std::vector<std::pair<qint32, std::vector<double>>> lineSpread; // each line's sorted |delays|
    for (size_t a = 0, b = 0; a < byLine.size(); a = b) {
        std::vector<double> spread;
        for (b = a; b < byLine.size() && byLine[b].first == byLine[a].first; ++b)
            spread.push_back(byLine[b].second);
        lineSpread.emplace_back(byLine[a].first, std::move(spread));
    }
    for (TimingEstimate &t : timing) {
        const qint32 line = r->shots().source(t.shot).line;
        const auto at =
            std::lower_bound(lineSpread.begin(), lineSpread.end(), line,
                             [](const std::pair<qint32, std::vector<double>> &l, qint32 key) { return l.first < key; });
        const bool own = at != lineSpread.end() && at->first == line && at->second.size() >= MinLineShots;
        const double scatter = scatterWithout(own ? at->second : fileSpread, t.pairs >= MinTimingPairs ? t.delay : NaN);
        t.uncertainty = float(std::max(double(t.uncertainty), scatter));
        if (namedByPairs(t, tolerance)) {
            Finding f;
            f.kind = Kind::TimingError;
            f.shot = t.shot;
            f.record = r->index().at(t.shot).firstRecord;
            f.value = t.delay;
            f.count = t.pairs;
            f.a = float(t.agreeing);
            r->addFinding(f);
        }
    }
    r->setTiming(std::move(timing));
    checkSourceDelays(r, paired);
}

QString describeTimingError(const Finding &f, const Report &r)
{
    if (f.flags & BySourceDelay)
        return QCoreApplication::translate("FbQc::Kind",
                                           "%1: timing error %2 ms (its time at the source against %3 neighbours)")
            .arg(shotName(r, f.shot), timingText(f.value))
            .arg(qint64(f.a));
    return QCoreApplication::translate("FbQc::Kind", "%1: timing error %2 ms (%3 of %4 pairs agree)")
        .arg(shotName(r, f.shot), timingText(f.value))
        .arg(qint64(f.a))
        .arg(f.count);
}

} // namespace FbQc
