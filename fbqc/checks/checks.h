#ifndef FBQC_CHECKS_CHECKS_H
#define FBQC_CHECKS_CHECKS_H

#include <fbqc/finding.h>
#include <fbqc/qcsettings.h>
#include <fbqc/shotfit.h>

#include <QString>

#include <vector>

// The checks of the QC, one open list. A shot check looks at one shot's
// records (and its fit, when picks are judged) and appends findings; a file
// check looks at the finished report. Each lives in a file of its own with
// the text and weight of the kinds it makes, which the kind table
// (findingkinds.cpp) names. `fbtool check`, `fbtool qc` and the QC window
// all run these same checks.
//
// Adding a check: its file here (the check, describe and weight functions),
// a Kind and its row in the kind table (its scope and basis say what
// judges it again after an edit), its entry in shotChecks() or
// fileChecks(), and its test.
namespace FbQc {

class Report;

// One shot as a check sees it. Records are in file order; shot and
// firstRecord are 0-based.
struct ShotData
{
    const FbFile::FbRecord *records = nullptr;
    int n = 0;
    qint32 shot = 0;
    qint32 firstRecord = 0;
    // The shot's fit; nullptr when picks are not judged, or for a part of
    // a shot too large to judge, which is checked in parts.
    const ShotFit *fit = nullptr;
    // The records are all of the shot (not a part of a giant one).
    bool whole = true;
};

using Findings = std::vector<Finding>;
using ShotCheck = void (*)(const ShotData &shot, const Settings &settings, Findings *out);
using FileCheck = void (*)(Report *report);

struct FileCheckEntry
{
    FileCheck check;
    // What it judges from: the checks of Basis::Pairs run again, in this
    // order, whenever the compared pairs or the tolerance change.
    Basis basis;
};

struct ShotCheckEntry
{
    ShotCheck check;
    bool needsWholeShot; // skipped for the parts of a shot too large to judge
};

// Run on every shot, in this order, on any thread.
const std::vector<ShotCheckEntry> &shotChecks();
// Run once the file is read, in this order.
const std::vector<FileCheckEntry> &fileChecks();

// A finding about the pick of record i of the shot.
Finding pickFinding(Kind kind, const ShotData &shot, int i);

// The checks and their texts.
void checkNonFinite(const ShotData &shot, const Settings &settings, Findings *out);
QString describeNonFinite(const Finding &f, const Report &report);
void checkVaryingSource(const ShotData &shot, const Settings &settings, Findings *out);
QString describeVaryingSource(const Finding &f, const Report &report);
// The varying-source check of a shot too large to hold, fed in parts: a
// column varies as the viewer says, and its differing records are those
// unlike the shot's first record (the most common value would need every
// value at once).
class SourceTally
{
public:
    void start(const FbFile::FbRecord &first);
    void add(const FbFile::FbRecord *records, int n);
    void finish(qint32 shot, qint32 firstRecord, qint64 records, Findings *out) const;

private:
    FbFile::FbRecord m_first;
    std::vector<qint64> m_differing;
};
void checkZeroFilled(const ShotData &shot, const Settings &settings, Findings *out);
QString describeZeroFilled(const Finding &f, const Report &report);
void checkOutliers(const ShotData &shot, const Settings &settings, Findings *out);
QString describeOutlier(const Finding &f, const Report &report);
double weightOutlier(const Finding &f);
void checkStepRuns(const ShotData &shot, const Settings &settings, Findings *out);
QString describeStepRun(const Finding &f, const Report &report);
double weightStepRun(const Finding &f);
void checkVelocities(const ShotData &shot, const Settings &settings, Findings *out);
QString describeVelocity(const Finding &f, const Report &report);
double weightVelocity(const Finding &f);
void checkSourceDelay(const ShotData &shot, const Settings &settings, Findings *out);
QString describeSourceDelay(const Finding &f, const Report &report);
double weightSourceDelay(const Finding &f);
void checkHeader(Report *report);
QString describeHeader(const Finding &f, const Report &report);
// The unit of the offsets against the coordinates: sets Report::units.
void checkOffsetUnit(Report *report);
QString describeOffsetUnit(const Finding &f, const Report &report);
void checkRepeatedFfids(Report *report);
QString describeRepeatedFfid(const Finding &f, const Report &report);
QString describeTooLarge(const Finding &f, const Report &report);
QString describeTimingError(const Finding &f, const Report &report);
double weightByValue(const Finding &f);
QString describeReciprocity(const Finding &f, const Report &report);
QString describeRepeat(const Finding &f, const Report &report);
// The waveform checks' kinds; the pass that makes them reads traces
// (waveformqc.h).
QString describeOffOnset(const Finding &f, const Report &report);
QString describeCycleSkip(const Finding &f, const Report &report);
QString describeWeakOnset(const Finding &f, const Report &report);
double weightWeakOnset(const Finding &f);

// "shot 4 > 1004": a shot as the viewer lists it, 1-based position and ffid.
QString shotName(const Report &report, qint32 shot);
// "record 21 (fb_no 21, ffid 1003, channel 5)".
QString pickName(const Report &report, const Finding &f);

} // namespace FbQc

#endif // FBQC_CHECKS_CHECKS_H
