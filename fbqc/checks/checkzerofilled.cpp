#include <fbqc/checks/checks.h>

#include <fbqc/pickqc.h>

#include <QCoreApplication>

#include <cstring>

using namespace FbFile;

// Records that are zero in every byte: a stretch of a file that was never
// written (a hole, a copy cut short and padded), not picks. Such a stretch
// reads as one shot of ffid 0; each run is one finding.
namespace FbQc {

namespace {

bool allZero(const FbRecord &r)
{
    static const FbRecord zero;
    return std::memcmp(&r, &zero, sizeof zero) == 0;
}

} // namespace

void checkZeroFilled(const ShotData &shot, const Settings &, Findings *out)
{
    // Only an ffid of 0 can start a zero record; most shots end here.
    if (shot.n <= 0 || shot.records[0].ffid != 0)
        return;
    for (int i = 0; i < shot.n;) {
        if (!allZero(shot.records[i])) {
            ++i;
            continue;
        }
        int end = i + 1;
        while (end < shot.n && allZero(shot.records[end]))
            ++end;
        Finding f;
        f.kind = Kind::ZeroFilled;
        f.shot = shot.shot;
        f.record = shot.firstRecord + i;
        f.count = end - i;
        out->push_back(f);
        i = end;
    }
}

QString describeZeroFilled(const Finding &f, const Report &report)
{
    return QCoreApplication::translate("FbQc::Kind", "%1, records %2..%3: %4 records of zeros, not picks")
        .arg(shotName(report, f.shot))
        .arg(qint64(f.record) + 1)
        .arg(qint64(f.record) + f.count)
        .arg(f.count);
}

} // namespace FbQc
