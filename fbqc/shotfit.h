#ifndef FBQC_SHOTFIT_H
#define FBQC_SHOTFIT_H

#include <fbfile/fblayout.h>
#include <fbqc/qcsettings.h>

#include <QVector>

// The first-break model of one shot and the verdict on each of its picks:
// what the pass judges every shot by, and what a viewer asks for the shot it
// shows. fitShot() and the pass call the same code, so a shot judged on its
// own gets the pass's verdict.
//
//   FbQc::ShotFit fit = FbQc::fitShot(records, settings);
//   if (fit.picks[i].outlier) ...
namespace FbQc {

// A side of the source: negative offsets (or receivers behind the source
// along the spread when a file stores only offsets >= 0), or positive.
enum Side { Negative = 0, Positive = 1 };

// Sides with fewer than this many fitted picks (picked, off the source) get
// no curve of their own; their picks near the source are judged against the
// other side's first segment, where most of them agree with it.
constexpr int MinPicksPerSide = 5;
// Segments of a side's curve: the direct arrival and up to three refractors.
constexpr int MaxSegments = 4;
// The rms residual of a side or shot is over its picks within the outlier
// threshold or RmsFloorMs of the curve, whichever is more: a threshold near
// 0 flags nearly every pick, and the curve still fits them as well.
constexpr double RmsFloorMs = 2.0;
constexpr double rmsReachMs(double outlierMs)
{
    return outlierMs > RmsFloorMs ? outlierMs : RmsFloorMs;
}

// The fitted first-break curve of one side of a shot: continuous, rising
// with |offset| and bending towards the faster (each segment's slowness at
// most the one before), as refractions in flat or gently dipping layers
// give; or, where the picks demand it, towards the slower, as ground that
// slows along the spread gives. The first segment is the direct arrival when the picks show it: its
// line passes through the shot's source delay at offset 0.
struct SideModel
{
    int picks = 0;    // records on this side in use (status 0 or 1) with a finite fb_time
    int unpicked = 0; // of those, times <= 0 off the source: not picks, never judged
    int outliers = 0;
    int segments = 0;    // 1..MaxSegments when judged
    bool judged = false; // enough picks, and a plausible model
    bool direct = false; // segment 0 is the direct arrival, starting at (0, source delay)
    quint8 measured = 0; // bit k set when segment k's slope gives a velocity
    // Knots of the model: |offset| increasing, model time at each; segments + 1
    // used. With a direct arrival the first knot is (0, source delay), else
    // the nearest fitted pick's |offset|.
    double knotOffset[MaxSegments + 1] = {};
    double knotTime[MaxSegments + 1] = {};
    double velocity = NaN; // farthest segment with a velocity, offset unit per second
    // ms: that segment's line extended to offset 0; where heights were taken
    // off (ShotFit::heightSlowness), at the source's height.
    double intercept = NaN;
    double rmsResidual = NaN; // ms, over the picks within rmsReachMs() of the curve

    // Model time at |offset| (the end segments extended); NaN when not judged.
    double timeAt(double absOffset) const;
    // Segment k's apparent velocity in offset units per second: NaN when k
    // is not a segment, or its line rises by less than 1 ms across its picks
    // and so does not measure one, or it is a short stretch the curve bends
    // back from to a much slower line (a step between two lines, no ground's
    // velocity).
    double segmentVelocity(int k) const;
    // The time in ms where segment k's line meets offset 0; NaN when k is
    // not a segment.
    double segmentIntercept(int k) const;
};

// The verdict on one pick. A pick at offset 0 is judged against the shot's
// source delay; an unpicked trace (time <= 0 off the source) and a rejected
// pick (a status other than 0 and 1) are neither fitted nor judged.
struct PickVerdict
{
    qint8 side = Positive; // Side
    bool judged = false;   // its side (or, on a short side, the other's) was judged and it is a finite pick
    bool unpicked = false; // fb_time <= 0 at a non-zero offset
    bool outlier = false;
    // 1, 2, ... for the picks of one run of neighbours displaced from the
    // curve by a near-constant step (a cycle skip), in |offset| order on its
    // side; 0 for the rest. Told from the fit alone, whatever the threshold.
    qint8 run = 0;
    float model = 0.0f;    // ms; NaN when not judged
    float residual = 0.0f; // ms; NaN when not judged
};

struct ShotFit
{
    SideModel sides[2]; // indexed by Side
    // ms at offset 0, the same on both sides: trigger delay, uphole time and
    // source static, from the direct arrivals and the picks at offset 0;
    // NaN when neither is seen or no side is judged, and when no pick at
    // offset 0 and no bend of a side's curve tells a direct arrival from
    // a refractor (the side's line is still drawn through the delay).
    double sourceDelay = NaN;
    // Picks that follow the topography: ms per unit of height (g_elev -
    // s_elev) that the fit took off each time before fitting, the near
    // surface's slowness. The curves (knots, sourceDelay) are then those of
    // times at the source's height: a pick's time there is fb_time -
    // heightSlowness * (g_elev - s_elev). A pick's model and residual are
    // always of the time as picked. 0 when the heights explain nothing.
    double heightSlowness = 0.0;
    QVector<PickVerdict> picks; // one per record, in record order
    int outliers() const { return sides[Negative].outliers + sides[Positive].outliers; }
};

// Fits one shot's records (one index entry, in file order). Deterministic: the
// same records and settings always give the same fit.
ShotFit fitShot(const QVector<FbFile::FbRecord> &records, const Settings &settings = Settings());

} // namespace FbQc

Q_DECLARE_TYPEINFO(FbQc::PickVerdict, Q_PRIMITIVE_TYPE);

#endif // FBQC_SHOTFIT_H
