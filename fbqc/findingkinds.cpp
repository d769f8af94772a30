#include "finding.h"

#include "checks/checks.h"
#include "pickqc.h"

#include <QCoreApplication>

#include <array>

// The kinds of finding, one row each: what every report, table and view
// knows of a kind.
namespace PickQc {

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
    {{Kind::NoRecords, "no-records", QT_TRANSLATE_NOOP("PickQc::Kind", "Files without a complete record"), Severity::Problem, Scope::File,
      "problems.csv", QT_TRANSLATE_NOOP("PickQc::Kind", "Bytes"), "", false, false}, describeHeader, noWeight},
    {{Kind::CountMismatch, "count-mismatch", QT_TRANSLATE_NOOP("PickQc::Kind", "Declared counts that disagree with the size"),
      Severity::Problem, Scope::File, "problems.csv", QT_TRANSLATE_NOOP("PickQc::Kind", "Declared"), "", false, false}, describeHeader, noWeight},
    {{Kind::PartialRecord, "partial-record", QT_TRANSLATE_NOOP("PickQc::Kind", "Partial records"), Severity::Problem, Scope::File,
      "problems.csv", QT_TRANSLATE_NOOP("PickQc::Kind", "Bytes"), "", false, false}, describeHeader, noWeight},
    {{Kind::NotFbFile, "not-fb-file", QT_TRANSLATE_NOOP("PickQc::Kind", "Headers that cannot describe the records"), Severity::Problem,
      Scope::File, "problems.csv", nullptr, "", false, false}, describeHeader, noWeight},
    {{Kind::TimingError, "timing-error", QT_TRANSLATE_NOOP("PickQc::Kind", "Shot timing errors"), Severity::Problem, Scope::Shot,
      "problems.csv", QT_TRANSLATE_NOOP("PickQc::Kind", "Delay"), "ms", true, false}, describeTimingError, weightByValue},
    {{Kind::Outlier, "outlier", QT_TRANSLATE_NOOP("PickQc::Kind", "Outliers"), Severity::Problem, Scope::Pick, "outliers.csv",
      QT_TRANSLATE_NOOP("PickQc::Kind", "Residual"), "ms", true, false}, describeOutlier, weightOutlier},
    {{Kind::Reciprocity, "reciprocity", QT_TRANSLATE_NOOP("PickQc::Kind", "Flagged reciprocal pairs"), Severity::Problem, Scope::Pair,
      "reciprocity.csv", QT_TRANSLATE_NOOP("PickQc::Kind", "Difference"), "ms", true, false}, describeReciprocity, weightByValue},
    {{Kind::Repeat, "repeat", QT_TRANSLATE_NOOP("PickQc::Kind", "Flagged repeats"), Severity::Problem, Scope::Pair, "repeats.csv",
      QT_TRANSLATE_NOOP("PickQc::Kind", "Difference"), "ms", true, false}, describeRepeat, weightByValue},
    {{Kind::ZeroFilled, "zero-filled", QT_TRANSLATE_NOOP("PickQc::Kind", "Runs of zero-filled records"), Severity::Problem, Scope::Shot,
      "problems.csv", QT_TRANSLATE_NOOP("PickQc::Kind", "Records"), "", false, false}, describeZeroFilled, noWeight},
    {{Kind::TooLarge, "too-large", QT_TRANSLATE_NOOP("PickQc::Kind", "Shots too large to judge"), Severity::Note, Scope::Shot,
      "problems.csv", QT_TRANSLATE_NOOP("PickQc::Kind", "Picks"), "", true, false}, describeTooLarge, noWeight},
    {{Kind::VaryingSource, "varying-source", QT_TRANSLATE_NOOP("PickQc::Kind", "Varying source attributes"), Severity::Problem, Scope::Shot,
      "problems.csv", QT_TRANSLATE_NOOP("PickQc::Kind", "Records"), "", false, false}, describeVaryingSource, noWeight},
    {{Kind::RepeatedFfid, "repeated-ffid", QT_TRANSLATE_NOOP("PickQc::Kind", "Repeated ffids"), Severity::Problem, Scope::Shot,
      "problems.csv", QT_TRANSLATE_NOOP("PickQc::Kind", "Shots"), "", false, true}, describeRepeatedFfid, noWeight},
    {{Kind::NonFinite, "non-finite", QT_TRANSLATE_NOOP("PickQc::Kind", "Non-finite floats"), Severity::Problem, Scope::Pick, "problems.csv",
      QT_TRANSLATE_NOOP("PickQc::Kind", "Value"), "", false, false}, describeNonFinite, weightByValue},
    {{Kind::OffOnset, "off-onset", QT_TRANSLATE_NOOP("PickQc::Kind", "Picks off their trace's onset"), Severity::Problem,
      Scope::Pick, "problems.csv", QT_TRANSLATE_NOOP("PickQc::Kind", "Displacement"), "ms", true, false}, describeOffOnset,
     weightByValue},
    {{Kind::CycleSkip, "cycle-skip", QT_TRANSLATE_NOOP("PickQc::Kind", "Cycle-skip runs"), Severity::Problem, Scope::Pick,
      "problems.csv", QT_TRANSLATE_NOOP("PickQc::Kind", "Displacement"), "ms", true, false}, describeCycleSkip, noWeight},
    {{Kind::WeakOnset, "weak-onset", QT_TRANSLATE_NOOP("PickQc::Kind", "First breaks too weak to judge"), Severity::Note,
      Scope::Pick, "problems.csv", QT_TRANSLATE_NOOP("PickQc::Kind", "Confidence"), "", true, false}, describeWeakOnset,
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
    return QCoreApplication::translate("PickQc::Kind", titleText);
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

} // namespace PickQc
