#include <fbqc/finding.h>

#include <fbqc/checks/checks.h>
#include <fbqc/pickqc.h>

#include <QCoreApplication>

#include <array>

using namespace FbFile;

// The kinds of finding, one row each: what every report, table and view
// knows of a kind.
namespace FbQc {

namespace {

struct KindRow
{
    KindInfo info;
    QString (*describe)(const Finding &, const Report &);
    double (*weight)(const Finding &);
};

double noWeight(const Finding &f)
{
    return double(f.count);
}

const KindRow rows[KindCount] = {
    {{Kind::NoRecords, "no-records", QT_TRANSLATE_NOOP("FbQc::Kind", "Files without a complete record"),
      Severity::Problem, Scope::File, Basis::File, "problems.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Bytes"), "", false,
      false},
     describeHeader,
     noWeight},
    {{Kind::CountMismatch, "count-mismatch",
      QT_TRANSLATE_NOOP("FbQc::Kind", "Declared counts that disagree with the size"), Severity::Problem, Scope::File,
      Basis::File, "problems.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Declared"), "", false, false},
     describeHeader,
     noWeight},
    {{Kind::PartialRecord, "partial-record", QT_TRANSLATE_NOOP("FbQc::Kind", "Partial records"), Severity::Problem,
      Scope::File, Basis::File, "problems.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Bytes"), "", false, false},
     describeHeader,
     noWeight},
    {{Kind::NotFbFile, "not-fb-file", QT_TRANSLATE_NOOP("FbQc::Kind", "Headers that cannot describe the records"),
      Severity::Problem, Scope::File, Basis::File, "problems.csv", nullptr, "", false, false},
     describeHeader,
     noWeight},
    {{Kind::OffsetUnit, "offset-unit",
      QT_TRANSLATE_NOOP("FbQc::Kind", "Offsets that agree with no unit of the coordinates"), Severity::Problem,
      Scope::File, Basis::File, "problems.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Agreeing"), "%", false, false},
     describeOffsetUnit,
     noWeight},
    {{Kind::TimingError, "timing-error", QT_TRANSLATE_NOOP("FbQc::Kind", "Shot timing errors"), Severity::Problem,
      Scope::Shot, Basis::Pairs, "problems.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Delay"), "ms", true, false},
     describeTimingError,
     weightByValue},
    {{Kind::Outlier, "outlier", QT_TRANSLATE_NOOP("FbQc::Kind", "Outliers"), Severity::Problem, Scope::Pick,
      Basis::ShotRecords, "outliers.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Residual"), "ms", true, false},
     describeOutlier,
     weightOutlier},
    {{Kind::Reciprocity, "reciprocity", QT_TRANSLATE_NOOP("FbQc::Kind", "Flagged reciprocal pairs"), Severity::Problem,
      Scope::Pair, Basis::Pairs, "reciprocity.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Difference"), "ms", true, false},
     describeReciprocity,
     weightByValue},
    {{Kind::Repeat, "repeat", QT_TRANSLATE_NOOP("FbQc::Kind", "Flagged repeats"), Severity::Problem, Scope::Pair,
      Basis::Pairs, "repeats.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Difference"), "ms", true, false},
     describeRepeat,
     weightByValue},
    {{Kind::ZeroFilled, "zero-filled", QT_TRANSLATE_NOOP("FbQc::Kind", "Runs of zero-filled records"),
      Severity::Problem, Scope::Shot, Basis::ShotRecords, "problems.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Records"),
      "", false, false},
     describeZeroFilled,
     noWeight},
    {{Kind::TooLarge, "too-large", QT_TRANSLATE_NOOP("FbQc::Kind", "Shots too large to judge"), Severity::Note,
      Scope::Shot, Basis::Pass, "problems.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Picks"), "", true, false},
     describeTooLarge,
     noWeight},
    {{Kind::VaryingSource, "varying-source", QT_TRANSLATE_NOOP("FbQc::Kind", "Varying source attributes"),
      Severity::Problem, Scope::Shot, Basis::ShotRecords, "problems.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Records"),
      "", false, false},
     describeVaryingSource,
     noWeight},
    {{Kind::RepeatedFfid, "repeated-ffid", QT_TRANSLATE_NOOP("FbQc::Kind", "Repeated ffids"), Severity::Problem,
      Scope::Shot, Basis::File, "problems.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Shots"), "", false, true},
     describeRepeatedFfid,
     noWeight},
    {{Kind::NonFinite, "non-finite", QT_TRANSLATE_NOOP("FbQc::Kind", "Non-finite floats"), Severity::Problem,
      Scope::Pick, Basis::ShotRecords, "problems.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Value"), "", false, false},
     describeNonFinite,
     weightByValue},
    {{Kind::StepRun, "step-run", QT_TRANSLATE_NOOP("FbQc::Kind", "Runs of picks off by one step"), Severity::Problem,
      Scope::Pick, Basis::ShotRecords, "problems.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Step"), "ms", true, false},
     describeStepRun,
     weightStepRun},
    {{Kind::Velocity, "velocity", QT_TRANSLATE_NOOP("FbQc::Kind", "Fitted velocities no ground has"), Severity::Note,
      Scope::Shot, Basis::ShotRecords, "problems.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Velocity"), "m/s", true, false},
     describeVelocity,
     weightVelocity},
    {{Kind::SourceDelay, "source-delay", QT_TRANSLATE_NOOP("FbQc::Kind", "Source delays before the shot"),
      Severity::Note, Scope::Shot, Basis::ShotRecords, "problems.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Delay"), "ms",
      true, false},
     describeSourceDelay,
     weightSourceDelay},
    {{Kind::OffOnset, "off-onset", QT_TRANSLATE_NOOP("FbQc::Kind", "Picks off their trace's onset"), Severity::Problem,
      Scope::Pick, Basis::Traces, "problems.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Displacement"), "ms", true, false},
     describeOffOnset,
     weightByValue},
    {{Kind::CycleSkip, "cycle-skip", QT_TRANSLATE_NOOP("FbQc::Kind", "Cycle-skip runs"), Severity::Problem, Scope::Pick,
      Basis::Traces, "problems.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Displacement"), "ms", true, false},
     describeCycleSkip,
     noWeight},
    {{Kind::WeakOnset, "weak-onset", QT_TRANSLATE_NOOP("FbQc::Kind", "First breaks too weak to judge"), Severity::Note,
      Scope::Pick, Basis::Traces, "problems.csv", QT_TRANSLATE_NOOP("FbQc::Kind", "Confidence"), "", true, false},
     describeWeakOnset,
     weightWeakOnset},
};

const KindRow &row(Kind kind)
{
    Q_ASSERT(int(kind) < KindCount);
    return rows[int(kind)];
}

const KindInfo *infos()
{
    static const auto table = [] {
        std::array<KindInfo, KindCount> t;
        for (int k = 0; k < KindCount; ++k) {
            Q_ASSERT(int(rows[k].info.kind) == k);
            t[size_t(k)] = rows[k].info;
        }
        return t;
    }();
    return table.data();
}

} // namespace

QString KindInfo::title() const
{
    return QCoreApplication::translate("FbQc::Kind", titleText);
}

QString KindInfo::describe(const Finding &finding, const Report &report) const
{
    return row(kind).describe(finding, report);
}

double KindInfo::weight(const Finding &finding) const
{
    return row(kind).weight(finding);
}

const KindInfo *kinds()
{
    return infos();
}

namespace {

std::vector<Kind> kindsWhere(bool (*keep)(const KindInfo &))
{
    std::vector<Kind> list;
    for (int k = 0; k < KindCount; ++k) {
        if (keep(infos()[k]))
            list.push_back(Kind(k));
    }
    return list;
}

} // namespace

const std::vector<Kind> &shotKinds()
{
    static const std::vector<Kind> list =
        kindsWhere([](const KindInfo &k) { return k.basis == Basis::ShotRecords && k.scope != Scope::File; });
    return list;
}

const std::vector<Kind> &pairKinds()
{
    static const std::vector<Kind> list = kindsWhere([](const KindInfo &k) { return k.basis == Basis::Pairs; });
    return list;
}

const KindInfo &kindInfo(Kind kind)
{
    return infos()[int(kind)];
}

const KindInfo *kindNamed(const QString &key)
{
    for (int k = 0; k < KindCount; ++k) {
        if (key == QLatin1String(rows[k].info.key))
            return &infos()[k];
    }
    return nullptr;
}

} // namespace FbQc
