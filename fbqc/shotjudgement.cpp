#include <fbqc/shotjudgement.h>

#include <fbfile/fbcolumns.h>
#include <fbfile/fbpicks.h>
#include <fbqc/receiverstatics.h>
#include <fbqc/robuststats.h>

#include <cmath>
#include <limits>

using namespace FbFile;

namespace FbQc {

namespace {

// A source the file puts on a receiver (offset 0) but surveyed within this
// many receiver spacings of it stands on that receiver: its surveyed
// position is off by the survey's error, a metre or so, which on a line of
// 2 m stations is half a station, while its offsets were measured on the
// ground. A source a station or more away is another fault.
constexpr double OnItsReceiverSpacings = 1.0;

double distance(double ax, double ay, double bx, double by)
{
    return std::hypot(bx - ax, by - ay);
}

// The receivers of the picks on a side's farthest measured segment, the
// one its intercept is read from; none where that is the direct arrival,
// which runs in the near surface and reaches no refractor. The picks are
// those that tell of their receivers' ground, whatever the outlier
// threshold, so that a new threshold leaves the span as it is. Their
// median residual goes with it: the least-squares line leans toward the
// wrong picks within the cut, which on a noisy record mostly come a lobe
// late, while the median stays with the picks on the first break.
InterceptSpan interceptSpan(const SideModel &model, int side, const FbRecord *records, const PickVerdict *verdicts,
                            int n, double sourceX, double sourceY, std::vector<double> *residuals)
{
    InterceptSpan span;
    if (!model.judged)
        return span;
    int k = model.segments - 1;
    while (k >= 0 && !(model.measured & (1u << k)))
        --k;
    if (k < 0 || (k == 0 && model.direct))
        return span;
    const double from = model.knotOffset[k], to = k + 1 < model.segments ? model.knotOffset[k + 1] : HUGE_VAL;
    double nearest = HUGE_VAL, farthest = -HUGE_VAL, x = 0.0, y = 0.0, offsets = 0.0, heights = 0.0;
    int count = 0;
    residuals->clear();
    for (int i = 0; i < n; ++i) {
        const PickVerdict &v = verdicts[i];
        const FbRecord &r = records[i];
        const double h = std::abs(double(r.offset));
        if (v.side != side || h < from || h > to || !ReceiverStatics::counts(r, v))
            continue;
        const double d = distance(sourceX, sourceY, r.group_x, r.group_y);
        nearest = std::min(nearest, d);
        farthest = std::max(farthest, d);
        offsets += h;
        heights += double(r.g_elev) - double(r.s_elev);
        x += r.group_x;
        y += r.group_y;
        residuals->push_back(double(v.residual));
        ++count;
    }
    if (count < 2)
        return span;
    span.residual = float(median(*residuals));
    span.nearest = float(nearest);
    span.farthest = float(farthest);
    span.middle = float(offsets / count);
    span.x = float(x / count);
    span.y = float(y / count);
    span.height = float(heights / count);
    return span;
}

} // namespace

QPointF sourcePosition(const FbRecord *records, int n)
{
    if (n <= 0)
        return QPointF();
    const FbRecord &first = records[0];
    const QPointF surveyed(first.source_x, first.source_y);
    for (int k = 0; k < n; ++k) {
        const FbRecord &r = records[k];
        if (r.offset != 0 || !std::isfinite(r.group_x + r.group_y))
            continue;
        // The spacing beside it: its nearest neighbour in the spread.
        double spacing = HUGE_VAL;
        for (int j : {k - 1, k + 1}) {
            if (j < 0 || j >= n || !std::isfinite(records[j].group_x + records[j].group_y))
                continue;
            const double d = distance(r.group_x, r.group_y, records[j].group_x, records[j].group_y);
            if (d > 0.0)
                spacing = std::min(spacing, d);
        }
        if (std::isfinite(spacing) &&
            distance(first.source_x, first.source_y, r.group_x, r.group_y) <= OnItsReceiverSpacings * spacing)
            return QPointF(r.group_x, r.group_y);
        break;
    }
    return surveyed;
}

void judgeShot(const ShotData &shot, const Settings &settings, double candidateFloorMs, ShotFitter *fitter,
               ShotJudgement *out, Findings *findings, Findings *candidates, ShotLines *lines)
{
    const FbRecord *records = shot.records;
    const int n = shot.n;
    ShotJudgement &w = *out;
    w.fitted = false;
    w.status[0] = w.status[1] = w.status[2] = 0;
    w.notPicked = w.notJudged = 0;
    w.minOffset = std::numeric_limits<qint32>::max();
    w.maxOffset = std::numeric_limits<qint32>::min();
    w.offsets = OffsetTally();
    int atSource[2] = {0, 0}; // confident and doubtful picks at offset 0
    for (int k = 0; k < n; ++k) {
        const FbRecord &r = records[k];
        w.offsets.add(r);
        const FbColumns::PickClass pickClass = FbColumns::pickClass(r.fb_status);
        ++w.status[int(pickClass)];
        if (r.offset == 0 && std::isfinite(r.fb_time) && pickClass != FbColumns::PickClass::Other)
            ++atSource[pickClass == FbColumns::PickClass::Status1 ? 1 : 0];
        w.minOffset = std::min(w.minOffset, r.offset);
        w.maxOffset = std::max(w.maxOffset, r.offset);
        w.notPicked += FbPicks::isUnpicked(r) ? 1 : 0;
    }

    ShotSummary &s = w.summary;
    s = ShotSummary();
    s.picks = n;
    if (n > 0) {
        s.ffid = records[0].ffid;
        const QPointF at = sourcePosition(records, n);
        s.sourceX = float(at.x());
        s.sourceY = float(at.y());
        s.sLine = records[0].s_line;
        s.sStat = records[0].s_stat;
    }
    s.rmsResidual = float(NaN);
    s.velocity[Negative] = s.velocity[Positive] = float(NaN);
    s.intercept[Negative] = s.intercept[Positive] = float(NaN);
    s.sourceDelay = float(NaN);
    s.notPicked = qint32(w.notPicked);
    s.doubtfulSource = atSource[1] > 0 && atSource[0] == 0 && w.status[0] > w.status[1];
    // A shot with fewer picks than a side needs has no fit to make: millions
    // of one-pick shots skip the fitter.
    const bool judge = fitter && shot.whole && n >= MinPicksPerSide;
    if (judge) {
        fitter->fit(records, n, settings, &w.fit, lines);
        w.fitted = true;
        // The rms residual is made as judging again with another threshold
        // makes it (rejudge()), from the quiet picks' sum as kept and the
        // candidates' squares in pick order, so both give the same bits.
        double quiet = 0.0, candidateSquares = 0.0;
        int kept = 0, judged = 0, quietPicks = 0;
        // Only a judged side judges picks: millions of tiny shots skip their verdicts.
        if (w.fit.sides[Negative].judged || w.fit.sides[Positive].judged) {
            for (int k = 0; k < n; ++k) {
                const PickVerdict &v = w.fit.picks.at(k);
                if (!v.judged || !FbPicks::isLive(records[k]))
                    continue;
                ++judged;
                const double r2 = double(v.residual) * v.residual;
                const bool counted = std::abs(v.residual) <= rmsReachMs(settings.outlierMs);
                if (counted)
                    ++kept;
                // Beyond the floor a pick is a candidate for a lower
                // threshold; within it, it only counts.
                if (std::abs(v.residual) > candidateFloorMs) {
                    Finding f = pickFinding(Kind::Outlier, shot, k);
                    f.side = v.side;
                    f.value = v.residual;
                    f.a = records[k].fb_time;
                    f.b = v.model;
                    candidates->push_back(f);
                    if (counted)
                        candidateSquares += double(f.value) * f.value;
                } else {
                    quiet += r2;
                    ++quietPicks;
                }
            }
        }
        s.quietPicks = quietPicks;
        s.quietSquares = float(quiet);
        s.sourceDelay = float(w.fit.sourceDelay);
        s.sourceHeight = 2.0f * float(records[0].s_elev) - float(records[0].s_depth);
        s.heightSlowness = float(w.fit.heightSlowness);
        s.sourceDepth = float(records[0].s_depth);
        for (const SideModel &model : w.fit.sides) {
            if (model.judged && model.direct && model.segments > 1)
                s.directReachMs = std::fmin(s.directReachMs, float(model.knotTime[1]));
        }
        s.rmsResidual = kept > 0 ? float(std::sqrt((double(s.quietSquares) + candidateSquares) / kept)) : float(NaN);
        for (int side = Negative; side <= Positive; ++side) {
            const SideModel &model = w.fit.sides[side];
            s.velocity[side] = model.judged ? static_cast<float>(model.velocity) : float(NaN);
            s.intercept[side] = model.judged ? static_cast<float>(model.intercept) : float(NaN);
            s.span[side] =
                interceptSpan(model, side, records, w.fit.picks.constData(), n, s.sourceX, s.sourceY, &w.residuals);
        }
        w.notJudged = n - judged;
    } else {
        w.notJudged = n;
    }
    s.notJudged = qint32(w.notJudged);

    ShotData data = shot;
    data.fit = judge ? &w.fit : nullptr;
    const size_t before = findings->size();
    for (const ShotCheckEntry &entry : shotChecks()) {
        if (shot.whole || !entry.needsWholeShot)
            entry.check(data, settings, findings);
    }
    for (size_t k = before; k < findings->size(); ++k) {
        const Finding &f = (*findings)[k];
        if (f.kind == Kind::Outlier)
            ++s.outliers;
        else if (f.kind == Kind::VaryingSource)
            s.varyingColumns |= 1u << f.column;
        else if (f.kind == Kind::NonFinite)
            ++s.nonFinite;
    }
}

} // namespace FbQc
