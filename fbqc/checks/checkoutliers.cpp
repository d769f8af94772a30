#include <fbqc/checks/checks.h>

#include <fbqc/pickqc.h>
#include <fbfile/fbpicks.h>
#include <fbqc/qccsv.h>

#include <QCoreApplication>

#include <cmath>

using namespace FbFile;

// Picks far from their shot's fitted first-break curve.
namespace FbQc {

void checkOutliers(const ShotData &shot, const Settings &, Findings *out)
{
    if (!shot.fit || shot.fit->outliers() == 0)
        return;
    for (int i = 0; i < shot.n; ++i) {
        const PickVerdict &v = shot.fit->picks.at(i);
        // A rejected pick or a trace left unpicked is no pick in use,
        // whatever the curve says.
        if (!v.outlier || !FbPicks::isLive(shot.records[i]))
            continue;
        Finding f = pickFinding(Kind::Outlier, shot, i);
        f.side = v.side;
        f.value = v.residual;
        f.a = shot.records[i].fb_time;
        f.b = v.model;
        out->push_back(f);
    }
}

QString describeOutlier(const Finding &f, const Report &report)
{
    const QString sign = f.value > 0 ? QStringLiteral("+") : QString();
    return QCoreApplication::translate("FbQc::Kind", "%1, record %2 (fb_no %3, channel %4), offset %5: fb_time %6 ms, "
                                                     "model %7 ms, residual %8 ms")
        .arg(shotName(report, f.shot))
        .arg(qint64(f.record) + 1)
        .arg(f.fbNo)
        .arg(f.channel)
        .arg(f.offset)
        .arg(QcCsv::decimal(f.a, 3), QcCsv::decimal(f.b, 2), sign + QcCsv::decimal(f.value, 2));
}

double weightOutlier(const Finding &f)
{
    return std::abs(double(f.value));
}

double weightByValue(const Finding &f)
{
    return std::abs(double(f.value));
}

} // namespace FbQc
