#include "fbgenerator.h"

#include "fbcolumns.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace FbGenerator {

namespace {

// splitmix64: small, fast and the same on every platform, unlike the
// standard distributions, so that a seed names one file everywhere.
class Random
{
public:
    explicit Random(quint64 seed) : m_state(seed) {}
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform in [-half, half).
    double jitter(double half) { return (uniform() * 2.0 - 1.0) * half; }

private:
    quint64 m_state;
};

// Line bearing: a 3-4-5 direction keeps the station coordinates exact.
constexpr double BearingX = 0.8;
constexpr double BearingY = 0.6;
constexpr double OriginX = 25000.0;
constexpr double OriginY = 61000.0;
constexpr qint32 FirstStation = 1000;
constexpr qint32 LineNumber = 101;
constexpr double Datum = 350.0;

// Three-layer refraction: a thin weathering layer at 1.7 m/ms, seen only
// within about 17 m of the source, over refractors at 3.4 and 4.6 m/ms with
// intercept times of 5 and 74 ms (second crossover near 900 m). A fitted
// curve needs a few picks past a kink to bend there, so the slowness steps
// are kept small enough that the picks just past a kink stay well within
// the outlier threshold of the segment before it.
constexpr double V1 = 1.7;
constexpr double V2 = 3.4;
constexpr double V3 = 4.6;
constexpr double Intercept2Ms = 5.0;
constexpr double Intercept3Ms = 74.0;
// Kept small on purpose: the statics and the noise together must stay far
// below the outlier and reciprocity thresholds that QC applies.
constexpr double StaticPerMetre = 0.03 / V1;
constexpr double NoiseMs = 0.5;

// Source attributes other than ffid, which names the shot.
bool isSourceColumn(int column)
{
    return column >= 0 && column < FbColumns::Count && column != FbColumns::Ffid
        && FbColumns::field(column).sourceAttribute;
}

bool isFloatColumn(int column)
{
    return column >= 0 && column < FbColumns::Count && FbColumns::field(column).type == FbLayout::FieldType::Float32;
}

// What stays the same for every shot of one file: the receiver line.
class Line
{
public:
    explicit Line(const Options &o)
        : m_options(o)
    {
        const qint64 span = static_cast<qint64>(o.shots - 1) * o.shotInterval + 1;
        m_stations = static_cast<int>(qMax<qint64>(o.channels, span));
        m_elevation.resize(m_stations);
        m_skidX.resize(m_stations);
        m_skidY.resize(m_stations);
        Random random(o.seed * 0xD1B54A32D192ED03ULL + 1);
        const double phase = random.uniform() * 2.0 * M_PI;
        for (int s = 0; s < m_stations; ++s) {
            const double hills = 40.0 * std::sin(2.0 * M_PI * s / 173.0 + phase)
                               + 15.0 * std::sin(2.0 * M_PI * s / 41.0 + 2.0 * phase);
            m_elevation[s] = static_cast<qint32>(std::lround(Datum + hills + random.jitter(2.0)));
            m_skidX[s] = random.jitter(0.5);
            m_skidY[s] = random.jitter(0.5);
        }
    }

    int stations() const { return m_stations; }
    qint32 elevation(int station) const { return m_elevation.at(station); }
    double x(int station) const { return OriginX + BearingX * station * m_options.groupInterval + m_skidX.at(station); }
    double y(int station) const { return OriginY + BearingY * station * m_options.groupInterval + m_skidY.at(station); }

private:
    const Options &m_options;
    int m_stations = 0;
    QVector<qint32> m_elevation;
    QVector<double> m_skidX;
    QVector<double> m_skidY;
};

void applyFaults(const Options &o, int shot, QVector<FbRecord> &records)
{
    const int middle = records.size() / 2;
    for (const FieldFault &f : o.varyingSource) {
        if (f.shot != shot)
            continue;
        // A step a reader cannot miss: half a group interval, or one unit.
        const FbLayout::Field &field = FbColumns::field(f.column);
        for (int k = middle; k < records.size(); ++k) {
            if (field.type == FbLayout::FieldType::Float32)
                records[k].*field.floatMember += 0.5f * o.groupInterval;
            else
                records[k].*field.intMember += 1;
        }
    }
    const struct { const QVector<FieldFault> &faults; float value; } planted[] = {
        {o.nanValues, std::numeric_limits<float>::quiet_NaN()},
        {o.infValues, std::numeric_limits<float>::infinity()},
    };
    for (const auto &p : planted) {
        for (const FieldFault &f : p.faults) {
            if (f.shot == shot)
                records[middle].*FbColumns::field(f.column).floatMember = p.value;
        }
    }
    for (const FfidRepeat &repeat : o.repeatedFfid) {
        if (repeat.shot != shot)
            continue;
        for (FbRecord &r : records)
            r.ffid = o.firstFfid + repeat.source;
    }
}

// The pick time in ms at |offset| h. The elevation static is the same at
// both ends of the ray, so swapping source and receiver keeps the time
// (reciprocity) up to the noise.
float firstBreak(double h, qint32 sourceElevation, qint32 receiverElevation, double noise)
{
    const double travel = std::min({h / V1, Intercept2Ms + h / V2, Intercept3Ms + h / V3});
    const double statics = StaticPerMetre * ((sourceElevation - Datum) + (receiverElevation - Datum));
    const double pick = std::max(0.5, travel + statics + noise);
    return static_cast<float>(std::round(pick * 8.0) / 8.0);
}

void applyPickFaults(const Options &o, int shot, QVector<FbRecord> &records)
{
    for (const PickSpike &spike : o.spikes) {
        if (spike.shot != shot)
            continue;
        // A wrong pick in use: a rejected one would be no fault to find.
        FbRecord &r = records[spike.channel - 1];
        r.fb_time += static_cast<float>(spike.ms);
        if (r.fb_status != 0 && r.fb_status != 1)
            r.fb_status = 1;
    }
    for (const ShotShift &shift : o.shifts) {
        if (shift.shot != shot)
            continue;
        for (FbRecord &r : records)
            r.fb_time += static_cast<float>(shift.ms);
    }
}

void makeShot(const Options &o, const Line &line, int shot, QVector<FbRecord> &records)
{
    records.resize(o.channels);
    Random random(o.seed ^ (static_cast<quint64>(shot) + 1) * 0x9E3779B97F4A7C15ULL);

    const int source = shot * o.shotInterval;
    // Split spread around the source, end-on where the line ends.
    const int first = qBound(0, source - o.channels / 2, line.stations() - o.channels);
    const qint32 depth = 9 + static_cast<qint32>(random.next() % 7);
    const float sourceX = static_cast<float>(line.x(source) + random.jitter(1.0));
    const float sourceY = static_cast<float>(line.y(source) + random.jitter(1.0));
    const qint32 sourceElevation = line.elevation(source);
    const qint64 firstRecord = static_cast<qint64>(shot) * o.channels;

    for (int c = 0; c < o.channels; ++c) {
        const int station = first + c;
        FbRecord &r = records[c];
        r = FbRecord();
        r.ffid = o.firstFfid + shot;
        r.channel = c + 1;
        r.offset = (station - source) * o.groupInterval;
        r.g_elev = line.elevation(station);
        r.s_elev = sourceElevation;
        r.s_depth = depth;
        r.source_x = sourceX;
        r.source_y = sourceY;
        r.group_x = static_cast<float>(line.x(station));
        r.group_y = static_cast<float>(line.y(station));
        r.s_line = LineNumber;
        r.s_stat = FirstStation + source;
        r.g_line = LineNumber;
        r.g_stat = FirstStation + station;
        r.fb_no = static_cast<qint32>(firstRecord + c + 1);

        r.fb_time = firstBreak(std::abs(static_cast<double>(r.offset)), sourceElevation, r.g_elev,
                               random.jitter(NoiseMs));

        // Mostly accepted picks, some rejected, a few of other kinds.
        const double u = random.uniform();
        r.fb_status = u < 0.75 ? 1 : u < 0.90 ? 0 : u < 0.97 ? 2 : -1;
    }
    applyFaults(o, shot, records);
    applyPickFaults(o, shot, records);
}

QStringList fieldNames(bool (*fieldOk)(int))
{
    QStringList names;
    for (int c = 0; c < FbColumns::Count; ++c) {
        if (fieldOk(c))
            names << QLatin1String(FbColumns::titles[c]);
    }
    return names;
}

// Shots are named by their 1-based position, as the viewer lists them.
QString checkFault(const FieldFault &f, const Options &o, const char *option, bool (*fieldOk)(int))
{
    if (f.shot < 0 || f.shot >= o.shots)
        return QStringLiteral("%1: shot %2 is not in 1..%3").arg(QLatin1String(option)).arg(f.shot + 1).arg(o.shots);
    if (!fieldOk(f.column))
        return QStringLiteral("%1: the field must be one of %2")
            .arg(QLatin1String(option), fieldNames(fieldOk).join(QLatin1String(", ")));
    return QString();
}

// Rows are reported 1-based: the command line names them so.
QString validatePickFaults(const Options &o)
{
    for (const PickSpike &spike : o.spikes) {
        if (spike.shot < 0 || spike.shot >= o.shots)
            return QStringLiteral("--spike: shot %1 is not in 1..%2").arg(spike.shot + 1).arg(o.shots);
        if (spike.channel < 1 || spike.channel > o.channels)
            return QStringLiteral("--spike: channel %1 is not in 1..%2").arg(spike.channel).arg(o.channels);
        if (!std::isfinite(spike.ms))
            return QStringLiteral("--spike: the time must be finite");
    }
    for (const ShotShift &shift : o.shifts) {
        if (shift.shot < 0 || shift.shot >= o.shots)
            return QStringLiteral("--shift: shot %1 is not in 1..%2").arg(shift.shot + 1).arg(o.shots);
        if (!std::isfinite(shift.ms))
            return QStringLiteral("--shift: the time must be finite");
    }
    return QString();
}

} // namespace

QStringList varyingSourceFields()
{
    return fieldNames(isSourceColumn);
}

QStringList nonFiniteFields()
{
    return fieldNames(isFloatColumn);
}

int columnOf(const QString &fieldName)
{
    for (int c = 0; c < FbColumns::Count; ++c) {
        if (fieldName == QLatin1String(FbColumns::titles[c]))
            return c;
    }
    return -1;
}

QString validate(const Options &o)
{
    if (o.shots < 1)
        return QStringLiteral("--shots must be at least 1");
    if (o.channels < 1)
        return QStringLiteral("--channels must be at least 1");
    if (o.groupInterval < 1 || o.shotInterval < 1)
        return QStringLiteral("the group and shot intervals must be at least 1");
    const qint64 records = static_cast<qint64>(o.shots) * o.channels;
    if (records > std::numeric_limits<qint32>::max())
        return QStringLiteral("%1 shots of %2 channels exceed the records an FB file can number")
            .arg(o.shots).arg(o.channels);
    const qint64 stations = qMax<qint64>(o.channels, static_cast<qint64>(o.shots - 1) * o.shotInterval + 1);
    if (stations * o.groupInterval > std::numeric_limits<qint32>::max() / 2)
        return QStringLiteral("the line is too long for int32 offsets");
    if (static_cast<qint64>(o.firstFfid) + o.shots > std::numeric_limits<qint32>::max())
        return QStringLiteral("--first-ffid leaves no room for %1 shots").arg(o.shots);

    for (const FieldFault &f : o.varyingSource) {
        const QString e = checkFault(f, o, "--vary-source", isSourceColumn);
        if (!e.isEmpty())
            return e;
        if (o.channels < 2)
            return QStringLiteral("--vary-source needs at least 2 channels");
    }
    for (const FieldFault &f : o.nanValues) {
        const QString e = checkFault(f, o, "--nan", isFloatColumn);
        if (!e.isEmpty())
            return e;
    }
    for (const FieldFault &f : o.infValues) {
        const QString e = checkFault(f, o, "--inf", isFloatColumn);
        if (!e.isEmpty())
            return e;
    }
    for (const FfidRepeat &repeat : o.repeatedFfid) {
        if (repeat.source < 0 || repeat.source >= o.shots || repeat.shot < 0 || repeat.shot >= o.shots)
            return QStringLiteral("--repeat-ffid: shots %1 and %2 must be in 1..%3")
                .arg(repeat.source + 1).arg(repeat.shot + 1).arg(o.shots);
        // Neighbours would only make one longer run.
        if (qAbs(repeat.shot - repeat.source) < 2)
            return QStringLiteral("--repeat-ffid: shots %1 and %2 are less than 2 apart")
                .arg(repeat.source + 1).arg(repeat.shot + 1);
    }
    const QString pickFaults = validatePickFaults(o);
    if (!pickFaults.isEmpty())
        return pickFaults;
    if (o.truncateBytes < 0 || o.truncateBytes > records * FbLayout::RecordSize)
        return QStringLiteral("--truncate must be between 0 and %1 bytes").arg(records * FbLayout::RecordSize);
    return QString();
}

QVector<FbRecord> shotRecords(const Options &options, int shot)
{
    QVector<FbRecord> records;
    if (!validate(options).isEmpty() || shot < 0 || shot >= options.shots)
        return records;
    const Line line(options);
    makeShot(options, line, shot, records);
    return records;
}

FileWriter::FileWriter(const Options &options)
    : m_options(options)
{
}

bool FileWriter::write(const QString &fileName, Result *result)
{
    const Options &o = m_options;
    auto fail = [this](const QString &why) {
        m_error = why;
        return false;
    };
    const QString invalid = validate(o);
    if (!invalid.isEmpty())
        return fail(invalid);

    // Opening a FIFO or a device for writing could block or write where no
    // file is meant: only a regular file is replaced.
    const QFileInfo target(fileName);
    if (target.exists() && !target.isFile())
        return fail(QStringLiteral("%1: not a regular file").arg(fileName));
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString()));

    // The header goes last, once the offset range is known.
    const char blankHeader[FbLayout::HeaderSize] = {};
    if (file.write(blankHeader, sizeof blankHeader) != FbLayout::HeaderSize)
        return fail(QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString()));

    const Line line(o);
    const qint64 shotBytes = FbLayout::RecordSize * o.channels;
    const int shotsPerBlock = static_cast<int>(qBound<qint64>(1, (4 << 20) / shotBytes, o.shots));
    QByteArray block(static_cast<int>(shotBytes * shotsPerBlock), Qt::Uninitialized);
    QVector<FbRecord> records;
    qint32 minOffset = std::numeric_limits<qint32>::max();
    qint32 maxOffset = std::numeric_limits<qint32>::min();

    for (int shot = 0; shot < o.shots;) {
        char *p = block.data();
        const int inBlock = qMin(shotsPerBlock, o.shots - shot);
        for (int k = 0; k < inBlock; ++k, ++shot) {
            makeShot(o, line, shot, records);
            for (const FbRecord &r : qAsConst(records)) {
                minOffset = qMin(minOffset, r.offset);
                maxOffset = qMax(maxOffset, r.offset);
                FbLayout::encodeRecord(r, p);
                p += FbLayout::RecordSize;
            }
        }
        const qint64 bytes = p - block.constData();
        if (file.write(block.constData(), bytes) != bytes)
            return fail(QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString()));
    }

    const qint64 total = static_cast<qint64>(o.shots) * o.channels;
    FbFileHeader header;
    header.fb_count = o.lieAboutCount ? o.declaredCount : static_cast<qint32>(total);
    header.polarity = o.polarity;
    header.min_offset = minOffset;
    header.max_offset = maxOffset;
    char headerBytes[FbLayout::HeaderSize];
    FbLayout::encodeHeader(header, headerBytes);
    if (!file.seek(0) || file.write(headerBytes, sizeof headerBytes) != FbLayout::HeaderSize)
        return fail(QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString()));

    const qint64 fullSize = FbLayout::HeaderSize + total * FbLayout::RecordSize;
    if (o.truncateBytes > 0 && (!file.flush() || !file.resize(fullSize - o.truncateBytes)))
        return fail(QStringLiteral("cannot cut %1: %2").arg(fileName, file.errorString()));
    file.close();
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString()));

    if (result) {
        result->fileSize = fullSize - o.truncateBytes;
        result->records = FbLayout::recordCount(result->fileSize);
        result->header = header;
    }
    return true;
}

} // namespace FbGenerator
