#include <fbqc/linepicks.h>

#include <fbqc/firstbreakfit.h>
#include <fbqc/robuststats.h>
#include <fbqc/workerpool.h>
#include <fbtrace/shotgather.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <tuple>
#include <vector>

using namespace FbTrace;

namespace FbQc {

namespace {

constexpr double NoTime = std::numeric_limits<double>::quiet_NaN();

// The line is picked again this many times, each round from the
// confident picks of the one before: a weak shot picked along its
// neighbours gives them more to draw the next curve through.
constexpr int LineRounds = 3;
// A shot is weak when fewer than this share of its traces is confident.
constexpr double WeakShare = 0.5;
// Neighbours are taken nearest first until their confident picks number
// this many, from at least MinNeighbours shots and at most MaxNeighbours;
// with fewer than half as many there is no curve.
constexpr int CurvePicks = 48;
constexpr int MinNeighbours = 4;
constexpr int MaxNeighbours = 8;
// A neighbour's own shift is measured on at least this many of its picks.
constexpr int ShiftPicks = 3;
// Picks further than this from a side's curve take no part in it, ms.
constexpr double CurveCutMs = 8;
// The curve is trusted this far beyond the farthest pick it was fitted
// to, as a share of that offset.
constexpr double ReachShare = 0.1;
// The energy before and after a time is summed over this long, ms: about
// half a period of the slower first breaks.
constexpr double EnergyMs = 10;
// A shot's shift is searched this far each way: a mis-trigger or source
// delay, and what the neighbours' curve misses of the ground.
constexpr double MaxShiftMs = 25;
// The mean step (log of the energy ratio) the first breaks must show at
// the curve: noise lined up by chance over a dozen traces or more stays
// well below.
constexpr double StepFloor = 0.6;
// A shot's shift is measured on at least this many traces.
constexpr int ShiftTraces = 12;
// The curve is checked in stretches of this many traces by offset, each
// allowed this far about the shot's shift (statics, lateral change).
constexpr int StretchTraces = 12;
constexpr double StretchSlackMs = 4;
// The shot's traces are then searched this far about curve and shift, ms:
// the statics the neighbours' curve does not carry.
constexpr double GuidedWindowMs = 20;

double sideOf(double offset)
{
    return offset < 0 ? -1 : 1;
}

} // namespace

LineShot lineShotOf(const ShotGather &gather, const QVector<OnsetPick> &picks, const OnsetPickerSettings &settings)
{
    LineShot s;
    const int n = gather.traceCount();
    if (n > 0) {
        s.sourceX = gather.headers[0].sourceX;
        s.sourceY = gather.headers[0].sourceY;
    }
    for (int i = 0; i < n; ++i) {
        const OnsetPick *p = i < picks.size() ? &picks[i] : nullptr;
        // A time at or before 0 is no pick in an FB file, whatever the
        // record's start: it guides no neighbour.
        const bool sure = p && p->found && std::isfinite(p->onsetMs) &&
                          p->onsetMs > std::max(gather.firstSampleMs, 0.0) &&
                          p->confidence >= settings.minimumConfidence;
        s.offsets.append(float(gather.headers[i].offset));
        s.times.append(sure ? float(p->onsetMs) : float(NoTime));
        s.confident += sure ? 1 : 0;
    }
    return s;
}

QVector<int> weakShots(const QVector<LineShot> &line)
{
    QVector<int> weak;
    for (int s = 0; s < line.size(); ++s)
        if (!line[s].times.isEmpty() && line[s].confident < WeakShare * line[s].times.size())
            weak.append(s);
    return weak;
}

QVector<double> neighboursCurve(const QVector<LineShot> &line, int shot)
{
    // Nearest by source position; ties (sources at one place, or headers
    // with no coordinates) go to the shots nearest in the line. Only the
    // head of the order is sorted unless skipped shots use it up: a weak
    // shot costs one pass over the line, not a sort of it.
    struct Candidate
    {
        double distance;
        int apart, shot;
        bool operator<(const Candidate &o) const
        {
            return std::tie(distance, apart, shot) < std::tie(o.distance, o.apart, o.shot);
        }
    };
    const LineShot &self = line[shot];
    std::vector<Candidate> order;
    order.reserve(size_t(line.size()));
    for (int s = 0; s < line.size(); ++s)
        if (s != shot) {
            const double d = std::hypot(line[s].sourceX - self.sourceX, line[s].sourceY - self.sourceY);
            order.push_back({std::isfinite(d) ? d : std::numeric_limits<double>::infinity(), std::abs(s - shot), s});
        }
    const size_t head = std::min(order.size(), size_t(4 * MaxNeighbours));
    std::partial_sort(order.begin(), order.begin() + std::ptrdiff_t(head), order.end());
    std::vector<int> near;
    int picks = 0;
    for (size_t k = 0; k < order.size(); ++k) {
        if (int(near.size()) >= MaxNeighbours || (picks >= CurvePicks && int(near.size()) >= MinNeighbours))
            break;
        if (k == head)
            std::sort(order.begin() + std::ptrdiff_t(head), order.end());
        const int s = order[k].shot;
        if (line[s].confident < ShiftPicks)
            continue;
        near.push_back(s);
        picks += line[s].confident;
    }
    if (picks < CurvePicks / 2)
        return {};

    // Each side fitted to the neighbours' picks, then each neighbour's
    // shift against the fits taken out and the sides fitted again.
    std::vector<double> shift(near.size(), 0.0);
    FirstBreakFitter fitter[2];
    bool fitted[2] = {false, false};
    for (int round = 0; round < 2; ++round) {
        for (int side = 0; side < 2; ++side) {
            std::vector<double> h, t;
            for (size_t k = 0; k < near.size(); ++k) {
                const LineShot &n = line[near[k]];
                for (int i = 0; i < n.times.size(); ++i)
                    if (std::isfinite(n.times[i]) && n.offsets[i] != 0 && (sideOf(n.offsets[i]) > 0) == (side == 1)) {
                        h.push_back(std::fabs(n.offsets[i]));
                        t.push_back(n.times[i] - shift[k]);
                    }
            }
            fitted[side] =
                int(h.size()) >= MinPicksPerSide && fitter[side].fit(h.data(), t.data(), int(h.size()), CurveCutMs);
        }
        if (round == 1)
            break;
        for (size_t k = 0; k < near.size(); ++k) {
            const LineShot &n = line[near[k]];
            std::vector<double> residuals;
            for (int i = 0; i < n.times.size(); ++i) {
                if (!std::isfinite(n.times[i]) || n.offsets[i] == 0)
                    continue;
                const int side = sideOf(n.offsets[i]) > 0 ? 1 : 0;
                if (fitted[side]) {
                    const double r = n.times[i] - fitter[side].timeAt(std::fabs(n.offsets[i]));
                    if (std::fabs(r) <= MaxShiftMs)
                        residuals.push_back(r);
                }
            }
            shift[k] = int(residuals.size()) >= ShiftPicks ? median(residuals) : 0.0;
        }
        // The curve stays where the neighbours are as a whole.
        std::vector<double> all(shift);
        const double middle = median(all);
        for (double &s : shift)
            s -= middle;
    }
    if (!fitted[0] && !fitted[1])
        return {};
    // Nearer the source than a side's picks, its refractor line drawn back
    // runs late: the other side's curve stands in where it reaches.
    auto reaches = [&](int side, double h) {
        return fitted[side] && h >= fitter[side].nearest() * (1 - ReachShare) &&
               h <= fitter[side].farthest() * (1 + ReachShare);
    };
    QVector<double> curve(self.offsets.size(), NoTime);
    for (int i = 0; i < curve.size(); ++i) {
        const double x = self.offsets[i];
        const int side = sideOf(x) > 0 ? 1 : 0;
        const double h = std::fabs(x);
        if (x == 0)
            continue;
        if (reaches(side, h))
            curve[i] = fitter[side].timeAt(h);
        else if (reaches(1 - side, h))
            curve[i] = fitter[1 - side].timeAt(h);
    }
    return curve;
}

namespace {

// The energy step at the curve, lag by lag: for each lag within +/- lags
// samples, the sum over the traces of log(energy after / energy before),
// and how many traces it holds (the windows must lie in the record).
struct EnergySteps
{
    std::vector<double> sum;
    std::vector<int> count;
};

EnergySteps energySteps(const ShotGather &gather, const QVector<double> &curveMs, const std::vector<int> &traces,
                        int lags)
{
    const int length = gather.samplesPerTrace;
    const int window = std::max(2, int(std::lround(EnergyMs / gather.sampleIntervalMs)));
    EnergySteps steps{std::vector<double>(size_t(2 * lags + 1), 0.0), std::vector<int>(size_t(2 * lags + 1), 0)};
    std::vector<double> energy(size_t(length) + 1);
    for (int i : traces) {
        const float *x = gather.trace(i);
        energy[0] = 0;
        for (int j = 0; j < length; ++j)
            energy[size_t(j) + 1] = energy[size_t(j)] + double(x[j]) * x[j];
        // A floor a little above nothing, so that a dead stretch gives no
        // step of its own.
        const double floor = 1e-6 * energy[size_t(length)] / length * window + 1e-30;
        const int at = int(std::lround(gather.sampleAt(curveMs[i])));
        for (int l = -lags; l <= lags; ++l) {
            const int j = at + l;
            if (j - window < 0 || j + window > length)
                continue;
            const double before = energy[size_t(j)] - energy[size_t(j - window)];
            const double after = energy[size_t(j + window)] - energy[size_t(j)];
            steps.sum[size_t(l + lags)] += std::log((after + floor) / (before + floor));
            ++steps.count[size_t(l + lags)];
        }
    }
    return steps;
}

// The lag (samples from -lags) of the largest mean step within
// [from, to], over lags that see at least half the traces the best-seen
// lag does and at least minTraces; -1 when none, or when its mean step is
// not above StepFloor.
int clearestLag(const EnergySteps &steps, int from, int to, int minTraces)
{
    int most = 0;
    for (int l = from; l <= to; ++l)
        most = std::max(most, steps.count[size_t(l)]);
    int best = -1;
    double bestMean = StepFloor;
    for (int l = from; l <= to; ++l) {
        const int c = steps.count[size_t(l)];
        // Lags whose windows leave the record for many traces say too
        // little.
        if (c < minTraces || 2 * c < most)
            continue;
        const double mean = steps.sum[size_t(l)] / c;
        if (mean > bestMean) {
            bestMean = mean;
            best = l;
        }
    }
    return best;
}

std::vector<int> tracesOnCurve(const QVector<double> &curveMs)
{
    std::vector<int> traces;
    for (int i = 0; i < curveMs.size(); ++i)
        if (std::isfinite(curveMs[i]))
            traces.push_back(i);
    return traces;
}

} // namespace

double shotShift(const ShotGather &gather, const QVector<double> &curveMs, double maxShiftMs)
{
    if (curveMs.size() != gather.traceCount() || gather.samplesPerTrace < 4 || !(gather.sampleIntervalMs > 0))
        return NoTime;
    const int lags = int(std::floor(maxShiftMs / gather.sampleIntervalMs));
    const EnergySteps steps = energySteps(gather, curveMs, tracesOnCurve(curveMs), lags);
    const int best = clearestLag(steps, 0, 2 * lags, ShiftTraces);
    return best < 0 ? NoTime : (best - lags) * gather.sampleIntervalMs;
}

QVector<OnsetPick> pickAlongCurve(const ShotGather &gather, const QVector<double> &curveMs,
                                  const OnsetPickerSettings &settings)
{
    const double shift = shotShift(gather, curveMs, MaxShiftMs);
    if (!std::isfinite(shift))
        return {};
    // Each stretch of the curve must show the step at the shot's shift
    // too: one side fitted to a few wrong picks, or a curve carried beyond
    // what the neighbours saw, guides nothing there.
    QVector<double> predicted(curveMs.size(), NoTime);
    std::vector<int> traces = tracesOnCurve(curveMs);
    std::stable_sort(traces.begin(), traces.end(),
                     [&](int a, int b) { return gather.headers[a].offset < gather.headers[b].offset; });
    const int slack = int(std::lround(StretchSlackMs / gather.sampleIntervalMs));
    QVector<double> shifted(curveMs);
    for (double &t : shifted)
        t += shift;
    for (size_t first = 0; first < traces.size();) {
        // The last stretch takes in a short remainder.
        size_t last = std::min(traces.size(), first + StretchTraces);
        if (traces.size() - last < StretchTraces / 2)
            last = traces.size();
        const std::vector<int> stretch(traces.begin() + std::ptrdiff_t(first), traces.begin() + std::ptrdiff_t(last));
        const EnergySteps steps = energySteps(gather, shifted, stretch, slack);
        if (clearestLag(steps, 0, 2 * slack, int(stretch.size()) / 2) >= 0)
            for (int i : stretch)
                predicted[i] = shifted[i];
        first = last;
    }
    OnsetPickerSettings guided = settings;
    guided.windowMs = std::min(settings.windowMs, GuidedWindowMs);
    return pickGather(gather, predicted, guided);
}

bool pickWeakShots(QVector<LineShot> *line, const ShotReader &read, const PickedAgain &picked, int threads,
                   const OnsetPickerSettings &settings)
{
    WorkerPool pool(std::max(1, threads));
    std::atomic<bool> failed(false);
    // The curve each weak shot was last picked along: where its neighbours
    // changed nothing since, picking it again would give the same picks.
    std::vector<QVector<double>> tried(size_t(line->size()));
    const auto same = [](const QVector<double> &a, const QVector<double> &b) {
        return a.size() == b.size() && std::equal(a.cbegin(), a.cend(), b.cbegin(), [](double x, double y) {
                   return x == y || (std::isnan(x) && std::isnan(y));
               });
    };
    for (int round = 0; round < LineRounds; ++round) {
        const QVector<int> weak = weakShots(*line);
        // Read through a const view and written to a copy of its own, so
        // that no thread detaches what the others read.
        const QVector<LineShot> &before = *line;
        QVector<LineShot> next(before);
        next.detach();
        WorkerPool::Task task(size_t(weak.size()), [&](size_t k) {
            const int shot = weak.at(int(k));
            const QVector<double> curve = neighboursCurve(before, shot);
            if (curve.isEmpty() || curve.size() != before.at(shot).times.size() || failed ||
                same(curve, tried[size_t(shot)]))
                return;
            tried[size_t(shot)] = curve;
            FbTrace::ShotGather gather;
            if (!read(shot, &gather)) {
                failed = true;
                return;
            }
            const QVector<OnsetPick> again = pickAlongCurve(gather, curve, settings);
            // The shot's own traces must vouch for the curve: more of them
            // confident than picked alone.
            const LineShot now = lineShotOf(gather, again, settings);
            if (again.size() == curve.size() && now.confident > before.at(shot).confident) {
                picked(shot, again);
                next[shot] = now;
            }
        });
        pool.post(&task);
        pool.wait(&task);
        if (failed)
            return false;
        *line = next;
    }
    return true;
}

} // namespace FbQc
