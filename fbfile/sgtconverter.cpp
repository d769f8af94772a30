#include <fbfile/sgtconverter.h>

#include <fbfile/fbblockreader.h>
#include <fbfile/fboutputfile.h>
#include <fbfile/fbpicks.h>
#include <fbfile/numbertext.h>

#include <QHash>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace FbFile {

namespace {

struct Unit
{
    const char *name;
    double factor;
};
const Unit LengthUnits[] = {{"m", 1.0}, {"dm", 0.1}, {"cm", 0.01}, {"mm", 0.001}, {"km", 1000.0}, {"ft", 0.3048}};
const Unit TimeUnits[] = {{"ms", 0.001}, {"s", 1.0}, {"us", 1e-6}};

template<size_t N>
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

template<size_t N>
QStringList unitNames(const Unit (&units)[N])
{
    QStringList names;
    for (const Unit &u : units)
        names << QLatin1String(u.name);
    return names;
}

// The distinct positions of the written picks, by the exact float bits of
// their FB coordinates, in the order met; then merged into sensors.
class PositionList
{
public:
    struct Position
    {
        SgtSensor at;         // metres
        int sourceOrder = -1; // when first used as a source, among sources
    };

    int add(float x, float y, qint32 elevation, double unit, bool source)
    {
        const quint64 key = keyOf(x, y);
        auto known = m_index.find(key);
        if (known == m_index.end()) {
            known = m_index.insert(key, m_positions.size());
            m_positions.append(Position{SgtSensor{x * unit, y * unit, elevation * unit}, -1});
        }
        Position &p = m_positions[*known];
        if (source && p.sourceOrder < 0)
            p.sourceOrder = m_sources++;
        return *known;
    }
    int find(float x, float y) const { return m_index.value(keyOf(x, y), -1); }
    const QVector<Position> &positions() const { return m_positions; }

    // Merges positions closer than tolerance into sensors: sources first, in
    // the order shots first use them, then the other positions as met; a
    // position joins the first sensor within reach, which keeps its own
    // place. Fills *sensorOf (by position) and returns the sensors.
    QVector<SgtSensor> merge(double tolerance, QVector<int> *sensorOf) const
    {
        QVector<int> order(m_positions.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
            const int sa = m_positions.at(a).sourceOrder, sb = m_positions.at(b).sourceOrder;
            return sa >= 0 && (sb < 0 || sa < sb);
        });
        QVector<SgtSensor> sensors;
        QHash<quint64, QVector<int>> grid;
        // Far-off positions or a tiny tolerance share the outermost cells.
        auto cell = [tolerance](double v) { return qint64(std::floor(qBound(-1e15, v / tolerance, 1e15))); };
        auto cellKey = [](qint64 i, qint64 j) { return (quint64(i) << 32) ^ quint64(quint32(j)); };
        sensorOf->fill(-1, m_positions.size());
        for (int p : order) {
            const SgtSensor &at = m_positions.at(p).at;
            int found = -1;
            if (tolerance > 0) {
                const qint64 cx = cell(at.x), cy = cell(at.y);
                for (qint64 i = cx - 1; i <= cx + 1; ++i) {
                    for (qint64 j = cy - 1; j <= cy + 1; ++j) {
                        for (int s : grid.value(cellKey(i, j))) {
                            const SgtSensor &o = sensors.at(s);
                            if ((found < 0 || s < found) && std::hypot(o.x - at.x, o.y - at.y) < tolerance)
                                found = s;
                        }
                    }
                }
            }
            if (found < 0) {
                found = sensors.size();
                sensors.append(at);
                if (tolerance > 0)
                    grid[cellKey(cell(at.x), cell(at.y))].append(found);
            }
            (*sensorOf)[p] = found;
        }
        return sensors;
    }

private:
    static quint64 keyOf(float x, float y)
    {
        return (quint64(NumberText::floatBits(x)) << 32) | NumberText::floatBits(y);
    }

    QVector<Position> m_positions;
    QHash<quint64, int> m_index;
    int m_sources = 0;
};

// The smallest horizontal distance between two of the points that are not
// at one place; 0 when there is none. The points sorted along the line,
// each is compared with those ahead of it closer along the line than the
// best so far.
double smallestDistance(const QVector<SgtSensor> &points)
{
    double dx = 1, dy = 0;
    SgtConverter::lineDirection(points, &dx, &dy);
    QVector<QPair<double, int>> along;
    along.reserve(points.size());
    for (int k = 0; k < points.size(); ++k)
        along.append({points.at(k).x * dx + points.at(k).y * dy, k});
    std::sort(along.begin(), along.end());
    double best = std::numeric_limits<double>::infinity();
    for (int i = 0; i < along.size(); ++i) {
        const SgtSensor &a = points.at(along.at(i).second);
        for (int j = i + 1; j < along.size() && along.at(j).first - along.at(i).first < best; ++j) {
            const SgtSensor &b = points.at(along.at(j).second);
            const double d = std::hypot(a.x - b.x, a.y - b.y);
            if (d > 0)
                best = qMin(best, d);
        }
    }
    return std::isfinite(best) ? best : 0.0;
}

// The stations of the file (line and station number, sources and
// receivers alike), each at the first position met there.
class StationList
{
public:
    void add(qint32 line, qint32 station, int position)
    {
        m_stations.insert((quint64(quint32(line)) << 32) | quint32(station), position);
    }

    // The smallest distance between two stations; where the file numbers
    // fewer than two stations at different places, between two positions.
    double smallestSpacing(const QVector<PositionList::Position> &positions) const
    {
        QVector<SgtSensor> points;
        points.reserve(m_stations.size());
        for (const int p : m_stations)
            points.append(positions.at(p).at);
        const double spacing = smallestDistance(points);
        if (spacing > 0)
            return spacing;
        points.clear();
        for (const PositionList::Position &p : positions)
            points.append(p.at);
        return smallestDistance(points);
    }

private:
    QHash<quint64, int> m_stations;
};

bool finite(const FbRecord &r)
{
    return std::isfinite(r.source_x) && std::isfinite(r.source_y) && std::isfinite(r.group_x) &&
           std::isfinite(r.group_y);
}

// The float32 of an FB word for `value` (metres or seconds) in a unit of
// `unit` of them: of the floats nearest value / unit, the one that turns
// back into the same float32 value, so that a value written out again reads
// the same and a round trip does not drift in its last digit.
float fbFloat(double value, double unit)
{
    // Beyond a float: infinite, said so rather than left to the conversion.
    constexpr double largest = std::numeric_limits<float>::max();
    const double scaled = value / unit;
    if (std::isnan(scaled))
        return std::numeric_limits<float>::quiet_NaN();
    if (!(std::abs(scaled) <= largest))
        return scaled > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    const float nearest = float(scaled);
    if (!(std::abs(value) <= largest))
        return nearest; // no float32 of the value to come back to
    const float target = float(value);
    if (float(double(nearest) * unit) == target)
        return nearest;
    float down = nearest, up = nearest;
    for (int step = 0; step < 4; ++step) {
        down = std::nextafter(down, -std::numeric_limits<float>::infinity());
        up = std::nextafter(up, std::numeric_limits<float>::infinity());
        if (float(double(down) * unit) == target)
            return down;
        if (float(double(up) * unit) == target)
            return up;
    }
    return nearest;
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

SgtConverter::SgtConverter(const Options &options) : m_options(options) { }

bool SgtConverter::exportSgt(const QString &fbName, const QString &sgtName, const Progress &progress)
{
    m_counts = ExportCounts();
    m_cancelled = false;
    m_tolerance = 0;
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
    // Three passes (positions, counts, lines) call use(record) for every
    // record; false when cancelled.
    auto pass = [&](int firstPercent, const std::function<void(const FbRecord &)> &use) {
        reader.setRange(0, reader.recordCount());
        FbBlockReader::Block block;
        while (reader.nextBlock(&block)) {
            if (progress.cancelled())
                return false;
            for (qint64 k = 0; k < block.records; ++k)
                use(FbLayout::decodeRecord(block.record(k)));
            progress.reportPercent(firstPercent + int((block.firstRecord + block.records) * 33 / records));
        }
        return true;
    };
    auto written = [](const FbRecord &r) {
        return FbPicks::isAccepted(r.fb_status) && std::isfinite(r.fb_time) && r.fb_time > 0 && finite(r);
    };
    auto cancelled = [&]() {
        m_cancelled = true;
        return fail(tr("cancelled"));
    };
    const QString changedWhileRead = tr("%1 changed while it was read").arg(fbName);

    const double unit = m_options.lengthUnit;
    PositionList positions;
    StationList stations;
    if (!pass(0, [&](const FbRecord &r) {
            if (!FbPicks::isAccepted(r.fb_status))
                ++m_counts.rejected;
            else if (!(std::isfinite(r.fb_time) && r.fb_time > 0))
                ++m_counts.noTime;
            else if (!finite(r))
                ++m_counts.badPosition;
            else {
                stations.add(r.s_line, r.s_stat, positions.add(r.source_x, r.source_y, r.s_elev, unit, true));
                stations.add(r.g_line, r.g_stat, positions.add(r.group_x, r.group_y, r.g_elev, unit, false));
            }
        }))
        return cancelled();

    // By default only what no two stations can be: closer than half the
    // smallest station spacing.
    m_tolerance = m_options.mergeTolerance >= 0 ? m_options.mergeTolerance
                                                : 0.5 * stations.smallestSpacing(positions.positions());
    QVector<int> sensorOf;
    QVector<SgtSensor> sensors = positions.merge(m_tolerance, &sensorOf);
    auto sensorAt = [&](float x, float y) {
        const int p = positions.find(x, y);
        return p < 0 ? -1 : sensorOf.at(p);
    };

    bool changed = false;
    if (!pass(33, [&](const FbRecord &r) {
            if (changed || !written(r))
                return;
            const int s = sensorAt(r.source_x, r.source_y), g = sensorAt(r.group_x, r.group_y);
            if (s < 0 || g < 0)
                changed = true;
            else
                ++(s == g ? m_counts.atSource : m_counts.written);
        }))
        return cancelled();
    if (changed)
        return fail(changedWhileRead);

    int columns = SgtFile::X | SgtFile::Y | SgtFile::Z;
    if (m_options.profile) {
        // x along the line from its start, so that the numbers stay small
        // and read back to the same floats.
        double dx = 1, dy = 0;
        lineDirection(sensors, &dx, &dy);
        double start = std::numeric_limits<double>::infinity();
        for (const SgtSensor &s : qAsConst(sensors))
            start = qMin(start, s.x * dx + s.y * dy);
        for (SgtSensor &s : sensors)
            s = SgtSensor{s.x * dx + s.y * dy - start, 0.0, s.z};
        columns = SgtFile::X | SgtFile::Z;
    }
    m_counts.sensors = sensors.size();
    QByteArray text = SgtFile::head(columns, sensors, m_counts.written);

    qint64 lines = 0;
    bool failed = false;
    if (!pass(66, [&](const FbRecord &r) {
            if (changed || failed || !written(r))
                return;
            const int s = sensorAt(r.source_x, r.source_y), g = sensorAt(r.group_x, r.group_y);
            if (s < 0 || g < 0) {
                changed = true;
                return;
            }
            if (s == g)
                return;
            char line[SgtFile::MaxDatumBytes];
            text.append(line, int(SgtFile::writeDatum(s, g, r.fb_time * m_options.timeUnit, line) - line));
            ++lines;
            if (text.size() >= (1 << 20)) {
                failed = !out.write(text.constData(), text.size());
                text.clear();
            }
        }))
        return cancelled();
    // A file cut or rewritten under us reads as zeros or as other picks.
    if (changed || lines != m_counts.written || !reader.unchanged())
        return fail(changedWhileRead);
    if (failed || !out.write(text.constData(), text.size()) || !out.commit())
        return fail(out.errorString());
    progress.reportPercent(100);
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
    const double unit = m_options.lengthUnit;
    // Each sensor once in the FB file's words, refused where they cannot hold it.
    QVector<float> fx(sensors.size()), fy(sensors.size());
    QVector<qint32> elevation(sensors.size());
    for (int k = 0; k < sensors.size(); ++k) {
        const SgtSensor &s = sensors.at(k);
        fx[k] = fbFloat(s.x, unit);
        fy[k] = fbFloat(s.y, unit);
        const double z = std::round(s.z / unit);
        if (!std::isfinite(fx.at(k)) || !std::isfinite(fy.at(k))) {
            m_error = tr("%1: sensor %2 lies at %3 m, beyond what an FB file's coordinates hold in this length unit")
                          .arg(sgtName)
                          .arg(k + 1)
                          .arg(std::isfinite(fx.at(k)) ? s.y : s.x);
            return false;
        }
        if (!fitsInt32(z)) {
            m_error = tr("%1: the elevation of sensor %2 does not fit an FB file in this length unit")
                          .arg(sgtName)
                          .arg(k + 1);
            return false;
        }
        elevation[k] = qint32(z);
    }
    double dx = 1, dy = 0;
    lineDirection(sensors, &dx, &dy);

    // Shots by source sensor, each with its traveltimes in the file's order:
    // a counting sort, one int per datum.
    QVector<int> first(sensors.size() + 1, 0);
    for (const SgtDatum &d : data)
        ++first[d.s + 1];
    for (int k = 0; k < sensors.size(); ++k)
        first[k + 1] += first.at(k);
    QVector<int> order(data.size());
    {
        QVector<int> next = first;
        for (int k = 0; k < data.size(); ++k)
            order[next[data.at(k).s]++] = k;
    }
    auto offsetOf = [&](const SgtDatum &d) {
        const SgtSensor &s = sensors.at(d.s), &g = sensors.at(d.g);
        const double along = (g.x - s.x) * dx + (g.y - s.y) * dy;
        return std::round(std::copysign(std::hypot(g.x - s.x, g.y - s.y), along) / unit);
    };
    FbFileHeader header;
    header.fb_count = data.size();
    header.polarity = 1;
    header.min_offset = std::numeric_limits<qint32>::max();
    header.max_offset = std::numeric_limits<qint32>::min();
    for (const SgtDatum &d : data) {
        const double offset = offsetOf(d);
        if (!fitsInt32(offset)) {
            m_error = tr("%1 line %2: the offset does not fit an FB file in this length unit").arg(sgtName).arg(d.line);
            return false;
        }
        // A traveltime beyond a float in the file's time unit would be
        // stored as infinite: refused like a coordinate beyond one.
        if (!std::isfinite(fbFloat(d.t, m_options.timeUnit))) {
            m_error = tr("%1 line %2: the time %3 s does not fit an FB file in this time unit")
                          .arg(sgtName)
                          .arg(d.line)
                          .arg(d.t);
            return false;
        }
        header.min_offset = qMin(header.min_offset, qint32(offset));
        header.max_offset = qMax(header.max_offset, qint32(offset));
    }

    FbOutputFile out(fbName);
    if (!out.open({sgtName})) {
        m_error = out.errorString();
        return false;
    }
    // Written in blocks: memory holds the traveltimes, not the file.
    QByteArray bytes(int(FbLayout::HeaderSize + FbLayout::RecordSize * FbLayout::BlockRecords), '\0');
    FbLayout::encodeHeader(header, bytes.data());
    qint64 used = FbLayout::HeaderSize;
    qint32 channel = 0;
    for (int k = 0; k < order.size(); ++k) {
        const SgtDatum &d = data.at(order.at(k));
        if (k == 0 || d.s != data.at(order.at(k - 1)).s) {
            channel = 0;
            ++m_importedShots;
        }
        FbRecord r;
        r.ffid = d.s + 1;
        r.channel = ++channel;
        r.offset = qint32(offsetOf(d));
        r.g_elev = elevation.at(d.g);
        r.s_elev = elevation.at(d.s);
        r.source_x = fx.at(d.s);
        r.source_y = fy.at(d.s);
        r.group_x = fx.at(d.g);
        r.group_y = fy.at(d.g);
        r.s_line = r.g_line = 1;
        r.s_stat = d.s + 1;
        r.g_stat = d.g + 1;
        r.fb_time = fbFloat(d.t, m_options.timeUnit);
        r.fb_status = 1;
        r.fb_no = k + 1;
        if (used + FbLayout::RecordSize > bytes.size()) {
            if (!out.write(bytes.constData(), used)) {
                m_error = out.errorString();
                return false;
            }
            used = 0;
        }
        FbLayout::encodeRecord(r, bytes.data() + used);
        used += FbLayout::RecordSize;
    }
    if (!out.write(bytes.constData(), used) || !out.commit()) {
        m_error = out.errorString();
        return false;
    }
    m_importedRecords = data.size();
    m_error.clear();
    return true;
}

} // namespace FbFile
