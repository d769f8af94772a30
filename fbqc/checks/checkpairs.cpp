#include <fbqc/checks/checks.h>

#include <fbqc/pickqc.h>
#include <fbqc/qccsv.h>

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

using namespace FbFile;

// Pairs of shots that disagree by more than the reciprocity tolerance:
// reciprocal pairs (each shot's time at the other's source) and repeats
// (two shots from one source position, at the receivers both recorded). A
// flagged pair that the shots' timing errors account for is filed under
// the shot with the error and marked explained, so that a late shot's
// partners are not blamed for it.
namespace FbQc {

namespace {

Finding pairFinding(Kind kind, const Report &r, qint32 a, qint32 b, float d)
{
    Finding f;
    f.kind = kind;
    f.shot = a;
    f.otherShot = b;
    f.value = d;
    const qint32 culprit = r.explainedBy(a, b, d);
    if (culprit < 0)
        return f;
    f.flags |= Explained;
    if (culprit == b)
        std::swap(f.shot, f.otherShot);
    return f;
}

} // namespace

void checkReciprocity(Report *r)
{
    for (const ReciprocalPair &p : qAsConst(r->pairs())) {
        if (!r->flagged(p))
            continue;
        // Judged on the sources' depths; the times shown stay as picked.
        Finding f = pairFinding(Kind::Reciprocity, *r, p.shotA, p.shotB, r->depthCorrected(p));
        f.a = p.timeAB;
        f.b = p.timeBA;
        r->addFinding(f);
    }
}

void checkRepeats(Report *r)
{
    for (const RepeatPair &p : qAsConst(r->repeats())) {
        const float d = r->depthCorrected(p);
        if (!(std::abs(d) > r->settings.reciprocityMs))
            continue;
        Finding f = pairFinding(Kind::Repeat, *r, p.shotA, p.shotB, d);
        f.count = p.receivers;
        r->addFinding(f);
    }
}

QString describeReciprocity(const Finding &f, const Report &r)
{
    // Always named A then B, in file order, whichever it is filed under.
    const bool swapped = f.shot > f.otherShot;
    // The times as picked; the difference is that of the sources' depths
    // taken into account, said so where they part.
    const bool corrected = f.value != f.a - f.b;
    const QString pair =
        (corrected ? QCoreApplication::translate(
                         "FbQc::Kind", "%1 and %2: %3 against %4 ms, difference %5 ms for the sources' depths")
                   : QCoreApplication::translate("FbQc::Kind", "%1 and %2: %3 against %4 ms, difference %5 ms"))
            .arg(shotName(r, swapped ? f.otherShot : f.shot), shotName(r, swapped ? f.shot : f.otherShot),
                 QcCsv::decimal(f.a, 2), QcCsv::decimal(f.b, 2), QcCsv::decimal(std::abs(f.value), 2));
    if (!(f.flags & Explained))
        return pair;
    return QCoreApplication::translate("FbQc::Kind", "%1 (explained by the timing error of %2)")
        .arg(pair, shotName(r, f.shot));
}

QString describeRepeat(const Finding &f, const Report &r)
{
    const bool swapped = f.shot > f.otherShot;
    const QString text =
        QCoreApplication::translate("FbQc::Kind", "%1 and %2 from one source position: %3 ms apart at %4 "
                                                  "receivers")
            .arg(shotName(r, swapped ? f.otherShot : f.shot), shotName(r, swapped ? f.shot : f.otherShot),
                 QcCsv::decimal(f.value, 2))
            .arg(f.count);
    if (!(f.flags & Explained))
        return text;
    return QCoreApplication::translate("FbQc::Kind", "%1 (explained by the timing error of %2)")
        .arg(text, shotName(r, f.shot));
}

QString describeTooLarge(const Finding &f, const Report &r)
{
    return QCoreApplication::translate("FbQc::Kind", "%1 holds %2 picks, too many to judge; its records are "
                                                     "checked, its picks are not fitted")
        .arg(shotName(r, f.shot))
        .arg(f.count);
}

} // namespace FbQc
