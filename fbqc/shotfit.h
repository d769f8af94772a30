#ifndef SHOTFIT_H
#define SHOTFIT_H

#include "fblayout.h"
#include "qcsettings.h"

#include <QVector>

// The first-break model of one shot and the verdict on each of its picks:
// what the pass judges every shot by, and what a viewer asks for the shot it
// shows. fitShot() and the pass call the same code, so a shot judged on its
// own gets the pass's verdict.
//
//   PickQc::ShotFit fit = PickQc::fitShot(records, settings);
//   if (fit.picks[i].outlier) ...
namespace PickQc {

// A side of the source: negative offsets (or receivers behind the source
// along the spread when a file stores only offsets >= 0), or positive.
enum Side { Negative = 0, Positive = 1 };

// Picks on a side with fewer than this are not judged.
constexpr int MinPicksPerSide = 5;

// The fitted first-break curve of one side of a shot.
struct SideModel
{
    int picks = 0;                // picks on this side (finite fb_time)
    int outliers = 0;
    bool judged = false;          // enough picks, and a model
    int segments = 0;             // 1..3 when judged
    // Knots of the model: |offset| increasing, model time at each; segments + 1 used.
    double knotOffset[4] = {};
    double knotTime[4] = {};
    double velocity = NaN;        // farthest segment, offset unit per second
    double intercept = NaN;       // ms: farthest segment extended to offset 0
    double rmsResidual = NaN;     // ms, over the picks that are not outliers

    // Model time at |offset| (the end segments extended); NaN when not judged.
    double timeAt(double absOffset) const;
};

// The verdict on one pick.
struct PickVerdict
{
    qint8 side = Positive;        // Side
    bool judged = false;          // its side was judged and its time is finite
    bool outlier = false;
    float model = 0.0f;           // ms; NaN when not judged
    float residual = 0.0f;        // ms; NaN when not judged
};

struct ShotFit
{
    SideModel sides[2];           // indexed by Side
    QVector<PickVerdict> picks;   // one per record, in record order
    int outliers() const { return sides[Negative].outliers + sides[Positive].outliers; }
};

// Fits one shot's records (one index entry, in file order). Deterministic: the
// same records and settings always give the same fit.
ShotFit fitShot(const QVector<FbRecord> &records, const Settings &settings = Settings());

} // namespace PickQc

Q_DECLARE_TYPEINFO(PickQc::PickVerdict, Q_PRIMITIVE_TYPE);

#endif // SHOTFIT_H
