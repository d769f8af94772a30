#include "tracecheck.h"

#include <fbtrace/tracedataset.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>

using namespace FbFile;
using namespace FbTrace;

namespace {

QString checkDataSet(const QString &path)
{
    TraceDataSet data;
    if (!data.open(path))
        return data.errorString().isEmpty() ? QStringLiteral("an open failed without a message") : QString();
    if (data.traceCount() <= 0 || data.shotCount() <= 0)
        return QStringLiteral("an open data set holds no trace or shot");
    if (!(data.sampleIntervalMs() > 0) || data.sampleIntervalMs() > TraceDataSet::maxSampleIntervalMs())
        return QStringLiteral("sample interval %1 ms").arg(data.sampleIntervalMs());
    qint64 next = 0;
    for (const TraceShot &s : data.shots()) {
        if (s.firstTrace != next || s.traceCount <= 0)
            return QStringLiteral("shot %1 starts at trace %2, not %3").arg(s.ffid).arg(s.firstTrace).arg(next);
        next += s.traceCount;
    }
    if (next != data.traceCount())
        return QStringLiteral("the shots cover %1 of %2 traces").arg(next).arg(data.traceCount());
    for (int s = 0; s < data.shotCount(); ++s) {
        ShotGather g;
        if (!data.readShot(s, &g)) {
            if (data.errorString().isEmpty())
                return QStringLiteral("shot %1 failed without a message").arg(s + 1);
            continue;
        }
        const TraceShot &shot = data.shots()[s];
        if (g.traceCount() != shot.traceCount || g.samples.size() != qint64(g.traceCount()) * g.samplesPerTrace)
            return QStringLiteral("shot %1 holds %2 traces of %3 samples in %4 values")
                .arg(s + 1)
                .arg(g.traceCount())
                .arg(g.samplesPerTrace)
                .arg(g.samples.size());
        if (!(g.sampleIntervalMs > 0))
            return QStringLiteral("shot %1 has no sample interval").arg(s + 1);
        for (const TraceHeader &h : qAsConst(g.headers)) {
            if (data.format() == TraceDataSet::Format::Seg2 && h.ffid != shot.ffid)
                return QStringLiteral("shot %1 holds a trace of ffid %2").arg(shot.ffid).arg(h.ffid);
        }
        for (float v : qAsConst(g.samples)) {
            if (!std::isfinite(v))
                return QStringLiteral("shot %1 holds a sample that is no number").arg(s + 1);
        }
    }
    return QString();
}

} // namespace

QString checkTraceFile(const QString &fileName)
{
    const QString alone = checkDataSet(fileName);
    if (!alone.isEmpty())
        return alone;
    QTemporaryDir folder;
    if (!folder.isValid() || !QFile::copy(fileName, folder.filePath(QFileInfo(fileName).fileName())))
        return QString();
    return checkDataSet(folder.path());
}
