#ifndef FBQC_SHOTJUDGEMENT_H
#define FBQC_SHOTJUDGEMENT_H

#include <fbqc/checks/checks.h>
#include <fbqc/firstbreakfit.h>
#include <fbqc/offsettally.h>
#include <fbqc/pickqc.h>

#include <QPointF>

#include <vector>

// One shot judged: its fit, its summary, its counts, its findings and its
// outlier candidates. What the pass does for every shot of a file, and
// what judging edited shots again does for each of them, with one code.
//
//   ShotJudgement j;
//   judgeShot(shotData, settings, report.candidateFloorMs(), &fitter, &j, &findings, &candidates);
namespace FbQc {

struct ShotJudgement
{
    ShotFit fit;
    ShotSummary summary;
    qint64 status[3] = {}; // picks per FbColumns::PickClass
    qint64 notPicked = 0;
    qint64 notJudged = 0;
    qint32 minOffset = 0;
    qint32 maxOffset = 0;
    OffsetTally offsets;           // the shot's offsets against its coordinates
    std::vector<double> residuals; // room for a side's residuals, kept from shot to shot
    bool fitted = false;           // fit holds the shot's fit (none below MinPicksPerSide picks)
};

// Judges the records of shot.records (shot.fit is ignored): counts,
// summary, and with a fitter (null: picks are not judged) the fit, the
// candidates beyond candidateFloorMs, then every shot check into *findings
// (those that need the whole shot only when shot.whole).
// Where a shot's source stands: its first record's surveyed position, or
// the receiver the file puts it on (offset 0) when the survey places it
// within a receiver spacing of that receiver. Reciprocal times are
// taken there, so a survey error of a metre on a line of 2 m stations does
// not move a source between receivers.
QPointF sourcePosition(const FbFile::FbRecord *records, int n);

// `lines`: the shot's receiver lines, shared with its view (nullptr: the
// fit finds them when it needs them).
void judgeShot(const ShotData &shot, const Settings &settings, double candidateFloorMs, ShotFitter *fitter,
               ShotJudgement *out, Findings *findings, Findings *candidates, ShotLines *lines = nullptr);

} // namespace FbQc

#endif // FBQC_SHOTJUDGEMENT_H
