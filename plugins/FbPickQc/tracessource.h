#ifndef TRACESSOURCE_H
#define TRACESSOURCE_H

#include <fbtrace/tracedataset.h>
#include <fbtrace/tracematch.h>

#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QtMath>

// The shot records under the picks and how to read them: the data set's
// path, the time of its first sample (NaN: the format's), where a SEG-Y
// trace header keeps the ffid and the channel, where a SEG-2 file's ffid
// comes from, and how picks find their traces. A project keeps it as a
// QVariantMap; fromVariant() takes the defaults for anything missing or out
// of range, so an old or hand-edited project still opens its traces.
//
//   TracesSource source = TracesSource::fromVariant(kept);
//   data.setOptions(source.dataSetOptions());
//   TraceMatcher matcher(source.match);
struct TracesSource
{
    enum class Seg2Ffid { ShotNumber, FileNumber };

    QString path;
    double firstSampleMs = qQNaN();
    int ffidByte = FbTrace::TraceDataSet::Options().ffidByte;
    int channelByte = FbTrace::TraceDataSet::Options().channelByte;
    Seg2Ffid seg2Ffid = Seg2Ffid::ShotNumber;
    FbTrace::TraceMatchSettings match;

    // The reading options and the matching, without the path and the first
    // sample (the project keeps those on their own).
    QVariantMap toVariant() const;
    static TracesSource fromVariant(const QVariant &kept);
    FbTrace::TraceDataSet::Options dataSetOptions() const;
};
Q_DECLARE_METATYPE(TracesSource)

#endif // TRACESSOURCE_H
