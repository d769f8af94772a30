#include "checks.h"

#include "pickqc.h"
#include "qccsv.h"
#include "robuststats.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <vector>

// Shot timing errors: a shot recorded late (or early) has every pick late
// by the same amount, which its fit cannot see but every pair it is in
// does, and so does its time at its own source against its neighbours'. Each compared pair (a, b) says d ≈ e_a - e_b, where e is a shot's
// delay: a reciprocal pair through A's time at B's source minus B's at A's,
// a repeat through A's picks minus B's at the same receivers. The delays
// are found by a robust least-squares fit over all pairs: each shot's delay
// becomes the median of what its pairs say given its partners' delays,
// round after round, with the median delay of all shots held at zero (most
// shots are on time). A shot whose delay exceeds the reciprocity tolerance,
// backed by most of at least three pairs, has a timing error; its flagged
// pairs are its, not its partners'.
//
// A shot in too few compared pairs (the shots of an end-on line compare
// none) is judged by its time at the source, the delay its fit shares
// between its sides: against the median of its nearest neighbours' along
// the file, which the near surface changes only slowly.
namespace PickQc {

namespace {

constexpr int MaxRounds = 20;
constexpr double SettledMs = 0.01;

struct Edge
{
    qint32 other;   // compact id
    float d;        // this shot's delay minus the other's, as the pair says
};

// Neighbours on each side in file order that a shot's time at the source
// is set against, and how many must be known.
constexpr int DelayNeighbours = 6;
constexpr int MinDelayNeighbours = 4;

// The shots in too few pairs, by their time at the source against their
// neighbours'; their estimates join the report's, in shot order.
void checkSourceDelays(Report *r, const std::vector<qint32> &paired)
{
    const double tolerance = r->settings.reciprocityMs;
    const std::vector<ShotSummaries::Timing> timings = r->shots.timings();
    QVector<TimingEstimate> told;
    std::vector<double> near, says;
    for (size_t k = 0; k < timings.size(); ++k) {
        const qint32 shot = timings[k].shot;
        if (std::binary_search(paired.begin(), paired.end(), shot))
            continue;
        // Each measure of the shot against its neighbours' same measure:
        // the late shot is late in all of them, a station static under one
        // ray path in one.
        says.clear();
        int neighbours = 0;
        for (int m = 0; m < 3; ++m) {
            if (!std::isfinite(timings[k].values[m]))
                continue;
            near.clear();
            int before = 0, after = 0;
            for (size_t j = k > DelayNeighbours ? k - DelayNeighbours : 0;
                 j < std::min(timings.size(), k + DelayNeighbours + 1); ++j) {
                if (j == k || !std::isfinite(timings[j].values[m]))
                    continue;
                near.push_back(timings[j].values[m]);
                (j < k ? before : after) += 1;
            }
            // Neighbours on both sides: at the end of a line the spread
            // and its fit change, and a shot there has no one to compare.
            if (int(near.size()) < MinDelayNeighbours)
                continue;
            neighbours = std::max(neighbours, int(near.size()));
            says.push_back(double(timings[k].values[m]) - median(near));
        }
        if (says.empty())
            continue;
        TimingEstimate t;
        t.shot = shot;
        t.delay = float(median(says));
        t.agreeing = neighbours;
        told.append(t);
        // Every measure must say it, the same way: a fit gone astray in
        // one measure names no shot.
        const auto [low, high] = std::minmax_element(says.begin(), says.end());
        const bool agreed = std::abs(t.delay) > tolerance && (*low > tolerance / 2 || *high < -tolerance / 2);
        if (agreed) {
            Finding f;
            f.kind = Kind::TimingError;
            f.flags = BySourceDelay;
            f.shot = shot;
            f.record = r->index.at(shot).firstRecord;
            f.value = t.delay;
            f.count = 0;
            f.a = float(t.agreeing);
            r->findings(Kind::TimingError).append(f);
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
    r->findings(Kind::TimingError) = std::move(sorted);
    QVector<TimingEstimate> all;
    all.reserve(r->timing.size() + told.size());
    std::merge(r->timing.cbegin(), r->timing.cend(), told.cbegin(), told.cend(), std::back_inserter(all),
               [](const TimingEstimate &a, const TimingEstimate &b) { return a.shot < b.shot; });
    r->timing = all;
}

} // namespace

void checkTimingErrors(Report *r)
{
    r->timing.clear();
    const double tolerance = r->settings.reciprocityMs;
    // Every shot in a pair gets a compact id, in shot order.
    const size_t shotCount = size_t(r->index.size());
    std::vector<qint32> id(shotCount, 0);
    auto each = [&](auto visit) {
        for (const ReciprocalPair &p : qAsConst(r->pairs))
            visit(p.shotA, p.shotB, p.difference());
        for (const RepeatPair &p : qAsConst(r->repeats))
            visit(p.shotA, p.shotB, p.difference);
    };
    each([&](qint32 a, qint32 b, float) { ++id[size_t(a)], ++id[size_t(b)]; });
    std::vector<qint64> start(1, 0);
    std::vector<qint32> shots;
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
        checkSourceDelays(r, {});
        return;
    }

    // The pairs of each shot, both ways round.
    const size_t n = shots.size();
    std::vector<Edge> edges(static_cast<size_t>(start[n]));
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

    // Only shots in a flagged pair can be far from their partners; the
    // rest keep a delay of zero through the rounds (most files have no
    // flagged pair and need none).
    std::vector<qint32> active;
    for (size_t s = 0; s < n; ++s) {
        for (qint64 k = start[s]; k < start[s + 1]; ++k) {
            if (std::abs(edges[size_t(k)].d) > tolerance) {
                active.push_back(qint32(s));
                break;
            }
        }
    }

    std::vector<double> delay(n, 0.0), next(n, 0.0), says, sorted;
    for (int round = 0; !active.empty() && round < MaxRounds; ++round) {
        for (qint32 s : active) {
            says.clear();
            for (qint64 k = start[size_t(s)]; k < start[size_t(s) + 1]; ++k)
                says.push_back(double(edges[size_t(k)].d) + delay[size_t(edges[size_t(k)].other)]);
            next[size_t(s)] = median(says);
        }
        // Held at zero where most shots are: the median over all of them.
        sorted.assign(n, 0.0);
        for (qint32 s : active)
            sorted[size_t(s)] = next[size_t(s)];
        const double gauge = 2 * active.size() > n ? median(sorted) : 0.0;
        double moved = 0.0;
        for (qint32 s : active) {
            next[size_t(s)] -= gauge;
            moved = std::max(moved, std::abs(next[size_t(s)] - delay[size_t(s)]));
        }
        for (qint32 s : active)
            delay[size_t(s)] = next[size_t(s)];
        if (moved < SettledMs)
            break;
    }

    r->timing.reserve(int(n));
    std::vector<qint32> paired;   // shots with enough pairs to be judged by them
    for (size_t s = 0; s < n; ++s) {
        // The agreeing pairs' mean: the median chose them, the mean uses
        // all they say.
        double sum = 0.0;
        int agreeing = 0;
        for (qint64 k = start[s]; k < start[s + 1]; ++k) {
            const double says = double(edges[size_t(k)].d) + delay[size_t(edges[size_t(k)].other)];
            if (std::abs(says - delay[s]) <= tolerance)
                sum += says, ++agreeing;
        }
        TimingEstimate t;
        t.shot = shots[s];
        t.pairs = int(start[s + 1] - start[s]);
        t.agreeing = agreeing;
        t.delay = float(agreeing > 0 ? sum / agreeing : delay[s]);
        r->timing.append(t);
        if (t.pairs >= MinTimingPairs)
            paired.push_back(t.shot);
        if (std::abs(t.delay) > tolerance && t.pairs >= MinTimingPairs && 2 * t.agreeing > t.pairs) {
            Finding f;
            f.kind = Kind::TimingError;
            f.shot = t.shot;
            f.record = r->index.at(t.shot).firstRecord;
            f.value = t.delay;
            f.count = t.pairs;
            f.a = float(t.agreeing);
            r->findings(Kind::TimingError).append(f);
        }
    }
    checkSourceDelays(r, paired);
}

QString describeTimingError(const Finding &f, const Report &r)
{
    if (f.flags & BySourceDelay)
        return QCoreApplication::translate("PickQc::Kind",
                                           "%1: timing error %2 ms (its time at the source against %3 neighbours)")
            .arg(shotName(r, f.shot), (f.value > 0 ? QStringLiteral("+") : QString()) + QcCsv::decimal(f.value, 1))
            .arg(qint64(f.a));
    return QCoreApplication::translate("PickQc::Kind", "%1: timing error %2 ms (%3 of %4 pairs agree)")
        .arg(shotName(r, f.shot), (f.value > 0 ? QStringLiteral("+") : QString()) + QcCsv::decimal(f.value, 1))
        .arg(qint64(f.a))
        .arg(f.count);
}

} // namespace PickQc
