#include "checks.h"

#include "pickqc.h"
#include "qccsv.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <vector>

// Shot timing errors: a shot recorded late (or early) has every pick late
// by the same amount, which its fit cannot see but every pair it is in
// does. Each compared pair (a, b) says d ≈ e_a - e_b, where e is a shot's
// delay: a reciprocal pair through A's time at B's source minus B's at A's,
// a repeat through A's picks minus B's at the same receivers. The delays
// are found by a robust least-squares fit over all pairs: each shot's delay
// becomes the median of what its pairs say given its partners' delays,
// round after round, with the median delay of all shots held at zero (most
// shots are on time). A shot whose delay exceeds the reciprocity tolerance,
// backed by most of at least three pairs, has a timing error; its flagged
// pairs are its, not its partners'.
namespace PickQc {

namespace {

constexpr int MaxRounds = 20;
constexpr double SettledMs = 0.01;

struct Edge
{
    qint32 other;   // compact id
    float d;        // this shot's delay minus the other's, as the pair says
};

double median(std::vector<double> &v)
{
    const size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + qint64(mid), v.end());
    double m = v[mid];
    if (v.size() % 2 == 0) {
        const double below = *std::max_element(v.begin(), v.begin() + qint64(mid));
        m = 0.5 * (m + below);
    }
    return m;
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
    if (shots.empty())
        return;

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
}

QString describeTimingError(const Finding &f, const Report &r)
{
    return QCoreApplication::translate("PickQc::Kind", "%1: timing error %2 ms (%3 of %4 pairs agree)")
        .arg(shotName(r, f.shot), (f.value > 0 ? QStringLiteral("+") : QString()) + QcCsv::decimal(f.value, 1))
        .arg(qint64(f.a))
        .arg(f.count);
}

} // namespace PickQc
