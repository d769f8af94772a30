#include "tracessource.h"

#include <cmath>

using namespace FbFile;
using namespace FbTrace;

namespace {

const char *const FfidByteKey = "ffidByte";
const char *const ChannelByteKey = "channelByte";
const char *const Seg2FfidKey = "seg2Ffid";
const char *const MatchByKey = "matchBy";
const char *const ToleranceKey = "toleranceM";
const char *const FileNumber = "fileNumber";
const char *const Position = "position";

// A SEG-Y trace header is 240 bytes; a four-byte word starts at 237 at the latest.
bool isHeaderByte(int byte)
{
    return byte >= 1 && byte <= 237;
}

} // namespace

QVariantMap TracesSource::toVariant() const
{
    QVariantMap map;
    map.insert(QLatin1String(FfidByteKey), ffidByte);
    map.insert(QLatin1String(ChannelByteKey), channelByte);
    map.insert(QLatin1String(Seg2FfidKey),
               seg2Ffid == Seg2Ffid::FileNumber ? QLatin1String(FileNumber) : QLatin1String("shotNumber"));
    map.insert(QLatin1String(MatchByKey),
               match.by == TraceMatchSettings::By::Position ? QLatin1String(Position) : QLatin1String("keys"));
    map.insert(QLatin1String(ToleranceKey), match.toleranceM);
    return map;
}

TracesSource TracesSource::fromVariant(const QVariant &kept)
{
    const QVariantMap map = kept.toMap();
    TracesSource source;
    bool ok = false;
    int byte = map.value(QLatin1String(FfidByteKey)).toInt(&ok);
    if (ok && isHeaderByte(byte))
        source.ffidByte = byte;
    byte = map.value(QLatin1String(ChannelByteKey)).toInt(&ok);
    if (ok && isHeaderByte(byte))
        source.channelByte = byte;
    if (map.value(QLatin1String(Seg2FfidKey)).toString() == QLatin1String(FileNumber))
        source.seg2Ffid = Seg2Ffid::FileNumber;
    if (map.value(QLatin1String(MatchByKey)).toString() == QLatin1String(Position))
        source.match.by = TraceMatchSettings::By::Position;
    const double tolerance = map.value(QLatin1String(ToleranceKey)).toDouble(&ok);
    if (ok && tolerance > 0 && std::isfinite(tolerance))
        source.match.toleranceM = tolerance;
    return source;
}

TraceDataSet::Options TracesSource::dataSetOptions() const
{
    TraceDataSet::Options options;
    options.ffidByte = ffidByte;
    options.channelByte = channelByte;
    options.seg2FileNumbers = seg2Ffid == Seg2Ffid::FileNumber;
    return options;
}
