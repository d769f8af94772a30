#include "sgtconverter.h"

#include "fbblockreader.h"
#include "fboutputfile.h"
#include "fbpicks.h"
#include "numbertext.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

struct Unit
{
    const char *name;
    double factor;
};
const Unit LengthUnits[] = {{"m", 1.0}, {"dm", 0.1}, {"cm", 0.01}, {"mm", 0.001}, {"km", 1000.0}, {"ft", 0.3048}};
const Unit TimeUnits[] = {{"ms", 0.001}, {"s", 1.0}, {"us", 1e-6}};

template <size_t N>
bool unitNamed(const Unit (&units)[N], const QString &name, double *factor)
{
    for (const Unit &u : units) {
        if (name == QLatin1String(u.name)) {
            *factor = u.factor;
            return true;
        }
    }
    return false;
}

template <size_t N>
QStringList unitNames(const Unit (&units)[N])
{
    QStringList names;
    for (const Unit &u : units)
        names << QLatin1String(u.name);
    return names;
}

// Sensors met so far, found again by the exact float bits of an FB
// position or, the first time, by distance on a grid of tolerance-sized
// cells.
class SensorList
{
public:
    SensorList(double unit, double tolerance) : m_unit(unit), m_tolerance(tolerance) {}

    const QVector<SgtSensor> &sensors() const { return m_sensors; }

    // The sensor at FB position (x, y) with elevation, met or new.
    int find(float x, float y, qint32 elevation)
    {
        const quint64 key = (quint64(NumberText::floatBits(x)) << 32) | NumberText::floatBits(y);
        const auto known = m_exact.constFind(key);
        if (known != m_exact.constEnd())
            return *known;
        const SgtSensor at{x * m_unit, y * m_unit, elevation * m_unit};
        int found = -1;
        if (m_tolerance > 0) {
            const qint64 cx = cell(at.x), cy = cell(at.y);
            for (qint64 i = cx - 1; i <= cx + 1; ++i) {
                for (qint64 j = cy - 1; j <= cy + 1; ++j) {
                    for (int s : m_grid.value(cellKey(i, j))) {
                        const SgtSensor &o = m_sensors.at(s);
                        if ((found < 0 || s < found) && std::hypot(o.x - at.x, o.y - at.y) <= m_tolerance)
                            found = s;
                    }
                }
            }
        }
        if (found < 0) {
            found = m_sensors.size();
            m_sensors.append(at);
            if (m_tolerance > 0)
                m_grid[cellKey(cell(at.x), cell(at.y))].append(found);
        }
        m_exact.insert(key, found);
        return found;
    }

    // The sensor of a position find() has met; -1 for another.
    int known(float x, float y) const
    {
        return m_exact.value((quint64(NumberText::floatBits(x)) << 32) | NumberText::floatBits(y), -1);
    }

private:
    qint64 cell(double v) const { return qint64(std::floor(v / m_tolerance)); }
    static quint64 cellKey(qint64 i, qint64 j) { return (quint64(i) << 32) ^ quint64(quint32(j)); }

    double m_unit;
    double m_tolerance;
    QVector<SgtSensor> m_sensors;
    QHash<quint64, int> m_exact;
    QHash<quint64, QVector<int>> m_grid;
};

bool finite(const FbRecord &r)
{
    return std::isfinite(r.source_x) && std::isfinite(r.source_y) && std::isfinite(r.group_x)
        && std::isfinite(r.group_y);
}

bool fitsInt32(double v)
{
    return v >= std::numeric_limits<qint32>::min() && v <= std::numeric_limits<qint32>::max();
}

} // namespace

bool SgtConverter::lengthUnit(const QString &name, double *metres)
{
    return unitNamed(LengthUnits, name, metres);
}

bool SgtConverter::timeUnit(const QString &name, double *seconds)
{
    return unitNamed(TimeUnits, name, seconds);
}

QStringList SgtConverter::lengthUnitNames()
{
    return unitNames(LengthUnits);
}

QStringList SgtConverter::timeUnitNames()
{
    return unitNames(TimeUnits);
}

void SgtConverter::lineDirection(const QVector<SgtSensor> &sensors, double *dx, double *dy)
{
    double mx = 0, my = 0;
    for (const SgtSensor &s : sensors)
        mx += s.x, my += s.y;
    const double n = qMax(1, sensors.size());
    mx /= n, my /= n;
    double sxx = 0, syy = 0, sxy = 0;
    for (const SgtSensor &s : sensors) {
        sxx += (s.x - mx) * (s.x - mx);
        syy += (s.y - my) * (s.y - my);
        sxy += (s.x - mx) * (s.y - my);
    }
    const double angle = 0.5 * std::atan2(2.0 * sxy, sxx - syy);
    *dx = std::cos(angle);
    *dy = std::sin(angle);
    // A line exactly along an axis must give that axis exactly, so that a
    // profile's x comes back unchanged.
    if (sxy == 0.0)
        *dx = sxx >= syy ? 1.0 : 0.0, *dy = sxx >= syy ? 0.0 : 1.0;
    if (*dx < 0 || (*dx == 0 && *dy < 0))
        *dx = -*dx, *dy = -*dy;
}

SgtConverter::SgtConverter() = default;

SgtConverter::SgtConverter(const Options &options)
    : m_options(options)
{
}

bool SgtConverter::exportSgt(const QString &fbName, const QString &sgtName, const Progress &progress,
                             const std::atomic_bool *cancel)
{
    m_counts = ExportCounts();
    m_cancelled = false;
    FbBlockReader reader(fbName);
    if (!reader.open()) {
        m_error = QStringLiteral("%1: %2").arg(fbName, reader.errorString());
        return false;
    }
    FbOutputFile out(sgtName);
    if (!out.open({fbName})) {
        m_error = out.errorString();
        return false;
    }
    auto fail = [&](const QString &why) {
        m_error = why;
        out.cancel();
        return false;
    };
    const qint64 records = qMax<qint64>(1, reader.recordCount());
    int percent = -1;
    // Each pass calls use(record, s, g) for the picks it writes; false when
    // cancelled.
    auto pass = [&](int firstPercent, const std::function<void(const FbRecord &)> &use) {
        reader.setRange(0, reader.recordCount());
        FbBlockReader::Block block;
        while (reader.nextBlock(&block)) {
            if (cancel && cancel->load())
                return false;
            for (qint64 k = 0; k < block.records; ++k)
                use(FbLayout::decodeRecord(block.record(k)));
            const int now = firstPercent + int((block.firstRecord + block.records) * 50 / records);
            if (progress && now != percent)
                progress(percent = now);
        }
        return true;
    };
    auto written = [](const FbRecord &r) {
        return FbPicks::isAccepted(r.fb_status) && std::isfinite(r.fb_time) && r.fb_time > 0 && finite(r);
    };

    SensorList sensors(m_options.lengthUnit, m_options.mergeTolerance);
    const bool counted = pass(0, [&](const FbRecord &r) {
        if (!FbPicks::isAccepted(r.fb_status))
            ++m_counts.rejected;
        else if (!(std::isfinite(r.fb_time) && r.fb_time > 0))
            ++m_counts.noTime;
        else if (!finite(r))
            ++m_counts.badPosition;
        else {
            // The source first: sensors are numbered as they are met.
            const int source = sensors.find(r.source_x, r.source_y, r.s_elev);
            ++(source == sensors.find(r.group_x, r.group_y, r.g_elev) ? m_counts.atSource : m_counts.written);
        }
    });
    if (!counted) {
        m_cancelled = true;
        return fail(tr("cancelled"));
    }

    QVector<SgtSensor> positions = sensors.sensors();
    int columns = SgtFile::X | SgtFile::Y | SgtFile::Z;
    if (m_options.profile) {
        double dx = 1, dy = 0;
        lineDirection(positions, &dx, &dy);
        for (SgtSensor &s : positions)
            s = SgtSensor{s.x * dx + s.y * dy, 0.0, s.z};
        columns = SgtFile::X | SgtFile::Z;
    }
    m_counts.sensors = positions.size();
    QByteArray text = SgtFile::head(columns, positions, m_counts.written);

    qint64 lines = 0;
    bool changed = false;
    const bool wrote = pass(50, [&](const FbRecord &r) {
        if (changed || !written(r))
            return;
        const int s = sensors.known(r.source_x, r.source_y), g = sensors.known(r.group_x, r.group_y);
        if (s == g)
            return;
        if (s < 0 || g < 0) {
            changed = true;
            return;
        }
        char line[SgtFile::MaxDatumBytes];
        text.append(line, int(SgtFile::writeDatum(s, g, r.fb_time * m_options.timeUnit, line) - line));
        ++lines;
        if (text.size() >= (1 << 20)) {
            out.write(text.constData(), text.size());
            text.clear();
        }
    });
    if (!wrote) {
        m_cancelled = true;
        return fail(tr("cancelled"));
    }
    if (changed || lines != m_counts.written)
        return fail(tr("%1 changed while it was read").arg(fbName));
    if (!out.write(text.constData(), text.size()) || !out.commit())
        return fail(out.errorString());
    m_error.clear();
    return true;
}

bool SgtConverter::importSgt(const QString &sgtName, const QString &fbName)
{
    m_importedRecords = 0;
    m_importedShots = 0;
    SgtFile sgt;
    if (!sgt.read(sgtName)) {
        m_error = sgt.errorString();
        return false;
    }
    const QVector<SgtSensor> &sensors = sgt.sensors();
    const QVector<SgtDatum> &data = sgt.data();
    if (data.isEmpty()) {
        m_error = tr("%1 holds no traveltime").arg(sgtName);
        return false;
    }
    double dx = 1, dy = 0;
    lineDirection(sensors, &dx, &dy);
    QVector<int> order(data.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&data](int a, int b) {
        return data.at(a).s != data.at(b).s ? data.at(a).s < data.at(b).s : data.at(a).g < data.at(b).g;
    });

    const double unit = m_options.lengthUnit;
    QByteArray bytes(int(FbLayout::HeaderSize + FbLayout::RecordSize * data.size()), '\0');
    FbFileHeader header;
    header.fb_count = data.size();
    header.polarity = 1;
    header.min_offset = std::numeric_limits<qint32>::max();
    header.max_offset = std::numeric_limits<qint32>::min();
    qint32 channel = 0;
    for (int k = 0; k < order.size(); ++k) {
        const SgtDatum &d = data.at(order.at(k));
        const SgtSensor &s = sensors.at(d.s), &g = sensors.at(d.g);
        if (k == 0 || d.s != data.at(order.at(k - 1)).s) {
            channel = 0;
            ++m_importedShots;
        }
        const double along = (g.x - s.x) * dx + (g.y - s.y) * dy;
        const double offset = std::round(std::copysign(std::hypot(g.x - s.x, g.y - s.y), along) / unit);
        const double sElev = std::round(s.z / unit), gElev = std::round(g.z / unit);
        if (!fitsInt32(offset) || !fitsInt32(sElev) || !fitsInt32(gElev)) {
            m_error = tr("%1 line %2: the offset or an elevation does not fit an FB file in this length unit")
                          .arg(sgtName).arg(d.line);
            return false;
        }
        FbRecord r;
        r.ffid = d.s + 1;
        r.channel = ++channel;
        r.offset = qint32(offset);
        r.g_elev = qint32(gElev);
        r.s_elev = qint32(sElev);
        r.source_x = float(s.x / unit);
        r.source_y = float(s.y / unit);
        r.group_x = float(g.x / unit);
        r.group_y = float(g.y / unit);
        r.s_line = r.g_line = 1;
        r.s_stat = d.s + 1;
        r.g_stat = d.g + 1;
        r.fb_time = float(d.t / m_options.timeUnit);
        r.fb_status = 1;
        r.fb_no = k + 1;
        header.min_offset = qMin(header.min_offset, r.offset);
        header.max_offset = qMax(header.max_offset, r.offset);
        FbLayout::encodeRecord(r, bytes.data() + FbLayout::recordPosition(k));
    }
    FbLayout::encodeHeader(header, bytes.data());

    FbOutputFile out(fbName);
    if (!out.open({sgtName}) || !out.write(bytes.constData(), bytes.size()) || !out.commit()) {
        m_error = out.errorString();
        return false;
    }
    m_importedRecords = data.size();
    m_error.clear();
    return true;
}
