#include <fbqc/checks/checks.h>

#include <fbqc/pickqc.h>
#include <fbqc/qccsv.h>

#include <QCoreApplication>

#include <cmath>

using namespace FbFile;

// Picks judged against their own traces: the texts and weights of what the
// waveform pass (waveformqc.cpp) finds. Each finding names the pick (or the
// first pick of a run) and holds:
//   off-onset:  value pick - onset, a the pick's time, b the onset;
//   cycle-skip: value the run's median pick - onset, a the run's last
//               channel, b the gather's period, count the picks of the run;
//   weak-onset: value the first break's confidence, a the pick's time.
namespace FbQc {

namespace {

QString signedMs(double ms)
{
    return (ms > 0 ? QStringLiteral("+") : QString()) + QcCsv::decimal(ms, 1);
}

} // namespace

QString describeOffOnset(const Finding &f, const Report &report)
{
    return QCoreApplication::translate("FbQc::Kind", "%1, record %2 (fb_no %3, channel %4), offset %5: fb_time %6 ms, "
                                                     "trace onset %7 ms, %8 ms off")
        .arg(shotName(report, f.shot))
        .arg(qint64(f.record) + 1)
        .arg(f.fbNo)
        .arg(f.channel)
        .arg(f.offset)
        .arg(QcCsv::decimal(f.a, 3), QcCsv::decimal(f.b, 2), signedMs(f.value));
}

QString describeCycleSkip(const Finding &f, const Report &report)
{
    const QString way = f.value > 0 ? QCoreApplication::translate("FbQc::Kind", "late")
                                    : QCoreApplication::translate("FbQc::Kind", "early");
    return QCoreApplication::translate("FbQc::Kind",
                                       "%1, channels %2 to %3 (%4 picks from record %5): %6 ms off their onsets, "
                                       "one period (%7 ms) %8 where the neighbouring traces continue")
        .arg(shotName(report, f.shot))
        .arg(f.channel)
        .arg(qint64(f.a))
        .arg(f.count)
        .arg(qint64(f.record) + 1)
        .arg(signedMs(f.value), QcCsv::decimal(f.b, 1), way);
}

QString describeWeakOnset(const Finding &f, const Report &report)
{
    return QCoreApplication::translate("FbQc::Kind",
                                       "%1, record %2 (fb_no %3, channel %4), offset %5: fb_time %6 ms, the first "
                                       "break stands %7 times the noise out of it, too weak to judge")
        .arg(shotName(report, f.shot))
        .arg(qint64(f.record) + 1)
        .arg(f.fbNo)
        .arg(f.channel)
        .arg(f.offset)
        .arg(QcCsv::decimal(f.a, 3), QcCsv::decimal(f.value, 1));
}

double weightWeakOnset(const Finding &f)
{
    // The fainter the first break, the less the pick can be trusted.
    return -double(f.value);
}

} // namespace FbQc
