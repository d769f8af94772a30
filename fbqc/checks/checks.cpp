#include <fbqc/checks/checks.h>

#include <fbqc/pickqc.h>

#include <QCoreApplication>

using namespace FbFile;

namespace FbQc {

void checkTimingErrors(Report *report);
void checkReciprocity(Report *report);
void checkRepeats(Report *report);

const std::vector<ShotCheckEntry> &shotChecks()
{
    static const std::vector<ShotCheckEntry> checks = {
        {checkZeroFilled, false}, {checkOutliers, true},      {checkStepRuns, true},   {checkVelocities, true},
        {checkSourceDelay, true}, {checkVaryingSource, true}, {checkNonFinite, false},
    };
    return checks;
}

const std::vector<FileCheckEntry> &fileChecks()
{
    // Timing errors come before the pairs they explain.
    static const std::vector<FileCheckEntry> checks = {
        {checkHeader, Basis::File},       {checkOffsetUnit, Basis::File}, {checkTimingErrors, Basis::Pairs},
        {checkReciprocity, Basis::Pairs}, {checkRepeats, Basis::Pairs},   {checkRepeatedFfids, Basis::File},
    };
    return checks;
}

Finding pickFinding(Kind kind, const ShotData &shot, int i)
{
    const FbRecord &r = shot.records[i];
    Finding f;
    f.kind = kind;
    f.shot = shot.shot;
    f.record = shot.firstRecord + i;
    f.fbNo = r.fb_no;
    f.channel = r.channel;
    f.offset = r.offset;
    return f;
}

QString shotName(const Report &report, qint32 shot)
{
    return QCoreApplication::translate("FbQc::Kind", "shot %1 > %2")
        .arg(qint64(shot) + 1)
        .arg(shot >= 0 && shot < report.index().size() ? report.index().at(shot).ffid : 0);
}

QString pickName(const Report &report, const Finding &f)
{
    const qint32 ffid = f.shot >= 0 && f.shot < report.index().size() ? report.index().at(f.shot).ffid : 0;
    return QCoreApplication::translate("FbQc::Kind", "record %1 (fb_no %2, ffid %3, channel %4)")
        .arg(qint64(f.record) + 1)
        .arg(f.fbNo)
        .arg(ffid)
        .arg(f.channel);
}

} // namespace FbQc
