#include <fbfile/fbgenerator.h>

#include <fbfile/fbcolumns.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace FbFile {

namespace FbGenerator {

namespace {

// Line bearing: a 3-4-5 direction keeps the station coordinates exact.
constexpr double BearingX = 0.8;
constexpr double BearingY = 0.6;
constexpr double OriginX = 25000.0;
constexpr double OriginY = 61000.0;
constexpr qint32 FirstStation = 1000;
constexpr qint32 LineNumber = 101;
constexpr double Datum = 350.0;
constexpr double FeetInMetres = 0.3048;
// The hills rise and fall by at most about this much around the datum: a
// flat refractor under topography lies below the lowest of them.
constexpr double Relief = 60.0;

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
    return column >= 0 && column < FbColumns::Count && column != FbColumns::Ffid &&
           FbColumns::field(column).sourceAttribute;
}

bool isFloatColumn(int column)
{
    return column >= 0 && column < FbColumns::Count && FbColumns::field(column).type == FbLayout::FieldType::Float32;
}

// Sources on each source line across a 3-D patch; 1 on a 2-D line.
int sourcesPerLine(const Options &o)
{
    if (o.receiverLines <= 1)
        return 1;
    return o.sourcesPerLine > 0 ? o.sourcesPerLine : o.receiverLines;
}

// Channels on each receiver line of a shot.
int channelsPerLine(const Options &o)
{
    return o.channels / qMax(1, o.receiverLines);
}

// Stations a receiver line needs: the sources' span, and for end-on
// spreads the channels ahead of the last source.
qint64 stationsOf(const Options &o)
{
    const qint64 sourceLines = (static_cast<qint64>(o.shots) + sourcesPerLine(o) - 1) / sourcesPerLine(o);
    const qint64 span = (sourceLines - 1) * o.shotInterval + 1;
    const int perLine = channelsPerLine(o);
    return o.spread == Spread::EndOn ? span + perLine : qMax<qint64>(perLine, span);
}

// How far across the patch, m from the first receiver line, the source
// `index` of a source line stands: evenly from the first line to the last,
// or in the middle when a source line holds one.
double sourceAcross(const Options &o, int index)
{
    const double width = double(o.receiverLines - 1) * o.lineSpacing;
    const int count = sourcesPerLine(o);
    return count == 1 ? 0.5 * width : width * index / (count - 1);
}

// The intercept time (ms) of each layer's line, top first (0 for the
// direct arrival), from the thicknesses or the crossovers.
QVector<double> intercepts(const Options &o)
{
    const QVector<double> &v = o.velocities;
    QVector<double> intercept(v.size(), 0.0);
    for (int k = 1; k < v.size(); ++k) {
        if (!o.crossovers.isEmpty()) {
            intercept[k] = intercept[k - 1] + o.crossovers[k - 1] * (1000.0 / v[k - 1] - 1000.0 / v[k]);
            continue;
        }
        for (int j = 0; j < k; ++j)
            intercept[k] += 2000.0 * o.thicknesses[j] * std::sqrt(1.0 / (v[j] * v[j]) - 1.0 / (v[k] * v[k]));
    }
    return intercept;
}

// What stays the same for every shot of one file: the receiver line.
class Line
{
public:
    explicit Line(const Options &o) : m_options(o)
    {
        m_stations = static_cast<int>(stationsOf(o));
        const int spots = m_stations * qMax(1, o.receiverLines);
        m_elevation.resize(m_stations);
        m_skidX.resize(m_stations);
        m_skidY.resize(m_stations);
        Random random(o.seed * 0xD1B54A32D192ED03ULL + 1);
        const double phase = random.uniform() * 2.0 * M_PI;
        for (int s = 0; s < m_stations; ++s) {
            const double hills =
                40.0 * std::sin(2.0 * M_PI * s / 173.0 + phase) + 15.0 * std::sin(2.0 * M_PI * s / 41.0 + 2.0 * phase);
            m_elevation[s] = static_cast<qint32>(std::lround(Datum + hills + random.jitter(2.0)));
            m_skidX[s] = random.jitter(0.5);
            m_skidY[s] = random.jitter(0.5);
        }
        // Statics from a stream of their own: the defaults keep their bytes.
        if (o.sourceStaticMs > 0.0 || o.receiverStaticMs > 0.0) {
            Random statics(o.seed * 0xA0761D6478BD642FULL + 7);
            m_sourceStatic.resize(spots);
            m_receiverStatic.resize(spots);
            for (int s = 0; s < spots; ++s) {
                m_sourceStatic[s] = statics.jitter(o.sourceStaticMs);
                m_receiverStatic[s] = statics.jitter(o.receiverStaticMs);
            }
        }
        if (o.stationStaticMs > 0.0) {
            Random statics(o.seed * 0x8EBC6AF09C88C6E3ULL + 13);
            m_stationStatic.resize(spots);
            for (int s = 0; s < spots; ++s)
                m_stationStatic[s] = statics.jitter(o.stationStaticMs);
        }
        if (!o.velocities.isEmpty())
            m_intercepts = intercepts(o);
        if (beyondFlat(o))
            buildLayers();
    }

    // Whether the ground is more than flat layers of constant velocity.
    static bool beyondFlat(const Options &o)
    {
        return !o.velocities.isEmpty() && (o.gradient > 0.0 || o.dipDegrees != 0.0 || o.hiddenThickness > 0.0);
    }

    int stations() const { return m_stations; }
    qint32 elevation(int station) const { return m_elevation.at(station); }
    double x(int station) const { return OriginX + BearingX * station * m_options.groupInterval + m_skidX.at(station); }
    double y(int station) const { return OriginY + BearingY * station * m_options.groupInterval + m_skidY.at(station); }
    // Statics by spot: a station of a receiver line, numbered line by line.
    int spot(int receiverLine, int station) const { return receiverLine * m_stations + station; }
    // A source a fraction toNext of the way to the next station of its line
    // stands on ground that changes gradually from one station's to the
    // next's; what is its own (coupling, charge) belongs to its station.
    double sourceStatic(int spot, double toNext = 0.0) const
    {
        const int next = (spot + 1) % m_stations == 0 ? spot : spot + 1;
        return (m_sourceStatic.isEmpty() ? 0.0 : m_sourceStatic.at(spot)) + (1.0 - toNext) * stationStatic(spot) +
               toNext * stationStatic(next);
    }
    // A pick at the source never goes down to a refractor: it is the time
    // from the charge up beside the hole, so it crosses the station's near
    // surface once, not as source and again as receiver. Direct arrivals
    // keep both ends' ground: they leave the column under the source and
    // reach the one under the receiver, two columns apart.
    double receiverStatic(int spot, bool atTheSource = false) const
    {
        const double own = m_receiverStatic.isEmpty() ? 0.0 : m_receiverStatic.at(spot);
        return atTheSource ? own : own + stationStatic(spot);
    }
    double stationStatic(int spot) const { return m_stationStatic.isEmpty() ? 0.0 : m_stationStatic.at(spot); }
    // The layers' travel time in ms at |offset| h, or the built-in curve's.
    double travel(double h) const { return travel(h, 0.0, 0.0); }
    // The same with slow metres of the refractors' path on the slow half of
    // the line (a head wave runs at the speed of the ground beneath it), and
    // the refracted arrivals later by heightMs, the topography's delay at
    // both ends of the ray; the direct arrival runs along the surface.
    double travel(double h, double slow, double heightMs) const
    {
        return travel(h, slow, heightMs, m_middle, m_middle);
    }
    // The same for a ray from a source to a receiver at these distances
    // along the line, m, which dipping layers need.
    double travel(double h, double slow, double heightMs, double sourceAlong, double receiverAlong) const
    {
        const double f = 1.0 / (1.0 - m_options.lateralChange);
        const double refracted = h + (f - 1.0) * slow; // distance as if all fast
        if (!m_layerVelocity.isEmpty())
            return layeredTravel(h, refracted, heightMs, sourceAlong, receiverAlong);
        if (m_intercepts.isEmpty())
            return std::min(
                {h / V1, heightMs + Intercept2Ms + refracted / V2, heightMs + Intercept3Ms + refracted / V3});
        double t = m_intercepts[0] + 1000.0 * h / m_options.velocities[0];
        for (int k = 1; k < m_intercepts.size(); ++k)
            t = std::min(t, heightMs + m_intercepts[k] + 1000.0 * refracted / m_options.velocities[k]);
        return t;
    }
    // Whether a point this far along the line, m, stands on its slow half.
    bool onSlowGround(double along) const
    {
        return m_options.lateralChange > 0.0 && along > 0.5 * (m_stations - 1) * m_options.groupInterval;
    }
    // The length of the ray's stretch between two stations that lies on the
    // slow half of the line, m.
    double slowStretch(double a, double b) const
    {
        if (!(m_options.lateralChange > 0.0))
            return 0.0;
        const double middle = 0.5 * (m_stations - 1) * m_options.groupInterval;
        return std::max(0.0, std::max(a, b) - std::max(middle, std::min(a, b)));
    }

private:
    // The layers top first, with the hidden one under the top layer, and
    // their thicknesses at the line's middle (from the crossovers if those
    // were given).
    void buildLayers()
    {
        const Options &o = m_options;
        QVector<double> thickness = o.thicknesses;
        if (thickness.isEmpty()) {
            // The thicknesses that give the crossovers' intercepts.
            for (int k = 1; k < o.velocities.size(); ++k) {
                double above = 0.0;
                for (int j = 0; j + 1 < k; ++j)
                    above += 2000.0 * thickness[j] * slownessStep(o.velocities[j], o.velocities[k]);
                thickness.append(std::max(0.0, (m_intercepts[k] - above) /
                                                   (2000.0 * slownessStep(o.velocities[k - 1], o.velocities[k]))));
            }
        }
        m_layerVelocity = o.velocities;
        m_layerThickness = thickness;
        if (o.hiddenThickness > 0.0) {
            m_layerVelocity.insert(1, o.hiddenVelocity);
            m_layerThickness.insert(1, o.hiddenThickness);
        }
        m_middle = 0.5 * (m_stations - 1) * o.groupInterval;
    }
    static double slownessStep(double above, double below)
    {
        return std::sqrt(std::max(0.0, 1.0 / (above * above) - 1.0 / (below * below)));
    }
    // The top layer's thickness under a point along the line: dipping
    // interfaces deepen towards the line's end, never above the surface.
    double topThickness(double along) const
    {
        const double dip = std::tan(m_options.dipDegrees * M_PI / 180.0) * (along - m_middle);
        return std::max(MinTopThickness, m_layerThickness[0] + dip);
    }
    // The direct arrival through the top layer, ms: a straight ray, or with
    // a gradient the diving ray, which exists only while it stays above the
    // layer's base.
    double direct(double h, double top) const
    {
        const double v0 = m_layerVelocity[0], k = m_options.gradient;
        if (!(k > 0.0))
            return 1000.0 * h / v0;
        const double reach = 2.0 * std::sqrt(std::pow(v0 + k * top, 2) - v0 * v0) / k;
        return h <= reach ? 1000.0 * 2.0 / k * std::asinh(k * h / (2.0 * v0)) : HUGE_VAL;
    }
    // Head waves as delay times: each end of the ray pays the layers above
    // the refractor under it, so that swapping source and receiver keeps
    // the time. A layer slower than one above it has no head wave.
    double layeredTravel(double h, double refracted, double heightMs, double sourceAlong, double receiverAlong) const
    {
        const double topS = topThickness(sourceAlong), topR = topThickness(receiverAlong);
        double t = direct(h, std::min(topS, topR));
        double fastest = m_layerVelocity[0];
        for (int k = 1; k < m_layerVelocity.size(); ++k) {
            const double v = m_layerVelocity[k];
            if (!(v > fastest))
                continue;
            fastest = v;
            double delay = 0.0;
            for (int j = 0; j < k; ++j) {
                const double thick = j == 0 ? topS + topR : 2.0 * m_layerThickness[j];
                delay += 1000.0 * thick * slownessStep(m_layerVelocity[j], v);
            }
            t = std::min(t, heightMs + delay + 1000.0 * refracted / v);
        }
        return t;
    }

    static constexpr double MinTopThickness = 0.5;
    const Options &m_options;
    QVector<double> m_layerVelocity; // only when the ground is beyond flat layers
    QVector<double> m_layerThickness;
    double m_middle = 0.0;
    int m_stations = 0;
    QVector<qint32> m_elevation;
    QVector<double> m_skidX;
    QVector<double> m_skidY;
    QVector<double> m_sourceStatic;
    QVector<double> m_receiverStatic;
    QVector<double> m_stationStatic;
    QVector<double> m_intercepts;
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
    const struct
    {
        const QVector<FieldFault> &faults;
        float value;
    } planted[] = {
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

// The pick time in ms for a travel time, rounded to 1/8 ms and kept at
// least least ms. The elevation static is the same at both ends of the
// ray, so swapping source and receiver keeps the time (reciprocity) up to
// the noise.
float firstBreak(double travel, double elevation, double statics, double noise, double least)
{
    const double pick = std::max(least, travel + elevation + statics + noise);
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
    for (const SkipRun &run : o.skipRuns) {
        if (run.shot != shot)
            continue;
        for (int c = run.channel - 1; c < std::min(int(records.size()), run.channel - 1 + run.count); ++c) {
            FbRecord &r = records[c];
            r.fb_time += static_cast<float>(run.ms);
            if (r.fb_status != 0 && r.fb_status != 1)
                r.fb_status = 1;
        }
    }
}

// Unpicked traces stored as 0 ms, after the faults (a late shot leaves its
// unpicked traces at 0), then the picks left out of the file.
void applyGaps(const Options &o, const QVector<bool> &unpicked, const QVector<bool> &missing,
               QVector<FbRecord> &records)
{
    if (o.unpicked > 0.0) {
        for (int c = 0; c < records.size(); ++c)
            records[c].fb_time = unpicked[c] ? 0.0f : records[c].fb_time;
    }
    if (o.missing > 0.0) {
        int kept = 0;
        for (int c = 0; c < records.size(); ++c) {
            if (!missing[c])
                records[kept++] = records[c];
        }
        records.resize(kept);
    }
}

// A shot's stream of draws for the line options; its first draw is the
// shot's source delay.
Random lineOptionDraws(const Options &o, int shot)
{
    return Random((o.seed + 0x632BE59BD9B4E019ULL) ^ (static_cast<quint64>(shot) + 1) * 0xD6E8FEB86659FD93ULL);
}

void makeShot(const Options &o, const Line &line, int shot, QVector<FbRecord> &records)
{
    records.resize(o.channels);
    Random random(o.seed ^ (static_cast<quint64>(shot) + 1) * 0x9E3779B97F4A7C15ULL);
    // A repeated shot stands where the shot it repeats stood: the position's
    // draws come from that shot's stream, the picks' from its own.
    int placed = shot;
    for (const FfidRepeat &repeat : o.repeatedPosition)
        placed = repeat.shot == shot ? repeat.source : placed;
    Random placedRandom(o.seed ^ (static_cast<quint64>(placed) + 1) * 0x9E3779B97F4A7C15ULL);
    Random &where = placed == shot ? random : placedRandom;
    // The draws of the line options, in a stream of their own and in the
    // same order whatever the options: the default draws above stay put.
    Random extra = lineOptionDraws(o, shot);
    const double delay = o.triggerDelayMs + extra.uniform() * o.sourceDelayMs;

    // Shots fire along a source line (one source on a 2-D line), then move
    // on to the next one.
    const int source = placed / sourcesPerLine(o) * o.shotInterval;
    const double half = o.sourceBetweenStations ? 0.5 : 0.0;
    const int perLine = channelsPerLine(o);
    // Split spread around the source, end-on where the line ends; or all
    // receivers ahead of the source.
    const int first = o.spread == Spread::EndOn ? source + (o.sourceBetweenStations ? 1 : 0)
                                                : qBound(0, source - perLine / 2, line.stations() - perLine);
    const qint32 depth = 9 + static_cast<qint32>(where.next() % 7);
    const int next = qMin(source + 1, line.stations() - 1);
    const double at = o.sourceBetweenStations ? 0.5 : 0.0;
    const float sourceX = static_cast<float>((1.0 - at) * line.x(source) + at * line.x(next) + where.jitter(1.0));
    const float sourceY = static_cast<float>((1.0 - at) * line.y(source) + at * line.y(next) + where.jitter(1.0));
    const qint32 sourceElevation =
        o.sourceBetweenStations ? (line.elevation(source) + line.elevation(next)) / 2 : line.elevation(source);
    // Off the line: a stream of its own, drawn only then, so that files
    // on the line keep their bytes.
    double crossline = 0.0;
    if (o.sourceCrosslineMax > 0.0) {
        Random off((o.seed + 0x9FB21C651E98DF25ULL) ^ (static_cast<quint64>(placed) + 1) * 0xC2B2AE3D27D4EB4FULL);
        crossline = o.sourceCrosslineMin + off.uniform() * (o.sourceCrosslineMax - o.sourceCrosslineMin);
    }
    // Across a patch: where on its source line the source stands.
    const bool patch = o.receiverLines > 1;
    if (patch)
        crossline = sourceAcross(o, placed % sourcesPerLine(o));
    // Metres to the file's coordinate unit, and to its integer fields' unit.
    const double coordinate = o.feet ? 1.0 / FeetInMetres : 1.0;
    const double fine = coordinate * o.offsetFactor;
    auto scaled = [fine](double metres) { return static_cast<qint32>(std::lround(metres * fine)); };
    const float sourceXAt = static_cast<float>((sourceX - BearingY * crossline) * coordinate);
    const float sourceYAt = static_cast<float>((sourceY + BearingX * crossline) * coordinate);
    const qint64 firstRecord = static_cast<qint64>(shot) * o.channels;
    const bool layered = !o.velocities.isEmpty();
    QVector<bool> unpicked(o.channels), missing(o.channels);
    // A source's statics are those of the receiver line nearest to it.
    const int sourceSpot =
        line.spot(patch ? qBound(0, int(std::lround(crossline / o.lineSpacing)), o.receiverLines - 1) : 0, source);

    for (int c = 0; c < o.channels; ++c) {
        const int receiverLine = c / perLine;
        const int station = first + c % perLine;
        FbRecord &r = records[c];
        r = FbRecord();
        r.ffid = o.firstFfid + shot;
        r.channel = c + 1;
        const double along = (station - source - half) * o.groupInterval;
        const double across = double(receiverLine) * o.lineSpacing - crossline;
        const double distance = across != 0.0 ? std::copysign(std::hypot(along, across), along) : along;
        r.offset = scaled(distance);
        r.g_elev = scaled(line.elevation(station));
        r.s_elev = scaled(sourceElevation);
        r.s_depth = scaled(depth);
        r.source_x = sourceXAt;
        r.source_y = sourceYAt;
        // A line's fields are written as they always were, and a patch's
        // replace them: with the two as alternatives the optimiser fused the
        // arithmetic of the source's position and the receivers' so that a
        // line's source_x came out one float step off (a test compares).
        r.group_x = static_cast<float>(line.x(station) * coordinate);
        r.group_y = static_cast<float>(line.y(station) * coordinate);
        r.s_line = LineNumber + (o.sourceBetweenStations ? 1 : 0);
        r.s_stat = FirstStation + source;
        if (patch) {
            const double off = double(receiverLine) * o.lineSpacing;
            r.group_x = static_cast<float>((line.x(station) - BearingY * off) * coordinate);
            r.group_y = static_cast<float>((line.y(station) + BearingX * off) * coordinate);
            r.s_line = FirstStation + source;
            r.s_stat = 1 + placed % sourcesPerLine(o);
        }
        r.g_line = LineNumber + receiverLine;
        r.g_stat = FirstStation + station;
        r.fb_no = static_cast<qint32>(firstRecord + c + 1);

        const double h = std::abs(distance);
        // Picks that follow the topography carry it in their travel time;
        // else the small built-in elevation static.
        const double lowest = Datum - Relief;
        const double height = o.elevationVelocity > 0.0
                                  ? 1000.0 * ((sourceElevation - depth - lowest) + (line.elevation(station) - lowest)) /
                                        o.elevationVelocity
                                  : 0.0;
        const double elevation = o.elevationVelocity > 0.0
                                     ? 0.0
                                     : StaticPerMetre * ((sourceElevation - Datum) + (line.elevation(station) - Datum));
        const double sourceAlong = (source + half) * o.groupInterval;
        // Across a patch the ray's share on the slow ground is that of its
        // run along the lines; a ray straight across runs all on the
        // source's ground, so that the time stays continuous there.
        const double stretch = line.slowStretch(sourceAlong, sourceAlong + along);
        const double slow = !patch         ? stretch
                            : along != 0.0 ? stretch * h / std::abs(along)
                                           : (line.onSlowGround(sourceAlong) ? h : 0.0);
        const double statics =
            line.sourceStatic(sourceSpot, at) + line.receiverStatic(line.spot(receiverLine, station), h == 0.0) + delay;
        // A layered line lets the pick at the source read its delay, even
        // below 0; elsewhere a pick never reads 0, which means unpicked.
        const double least = !layered ? 0.5 : h == 0.0 ? -HUGE_VAL : 0.125;
        r.fb_time = firstBreak(line.travel(h, slow, height, sourceAlong, sourceAlong + along), elevation, statics,
                               random.jitter(o.noiseMs), least);

        // Mostly accepted picks, some rejected, a few of other kinds.
        const double u = random.uniform();
        r.fb_status = u < 0.75 ? 1 : u < 0.90 ? 0 : u < 0.97 ? 2 : -1;

        const double gone = extra.uniform(), zero = extra.uniform();
        missing[c] = h > 0.0 && gone < o.missing;
        unpicked[c] = h > 0.0 && !missing[c] && zero < o.unpicked;
    }
    applyFaults(o, shot, records);
    applyPickFaults(o, shot, records);
    applyGaps(o, unpicked, missing, records);
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
    for (const SkipRun &run : o.skipRuns) {
        if (run.shot < 0 || run.shot >= o.shots)
            return QStringLiteral("--skip-run: shot %1 is not in 1..%2").arg(run.shot + 1).arg(o.shots);
        if (run.channel < 1 || run.count < 1 || run.count > o.channels - run.channel + 1)
            return QStringLiteral("--skip-run: channels %1 to %2 are not in 1..%3")
                .arg(run.channel)
                .arg(qint64(run.channel) + run.count - 1)
                .arg(o.channels);
        if (!std::isfinite(run.ms))
            return QStringLiteral("--skip-run: the time must be finite");
    }
    return QString();
}

// A 3-D patch's receiver and source lines.
QString validatePatch(const Options &o)
{
    if (o.receiverLines < 1 || o.receiverLines > 1000)
        return QStringLiteral("--receiver-lines must be between 1 and 1000");
    if (o.receiverLines == 1)
        return QString();
    if (o.channels % o.receiverLines != 0)
        return QStringLiteral("--channels (%1) must be a multiple of --receiver-lines (%2)")
            .arg(o.channels)
            .arg(o.receiverLines);
    if (o.lineSpacing < 1 || o.lineSpacing > 100000)
        return QStringLiteral("--line-spacing must be between 1 and 100000 m");
    if (o.sourcesPerLine < 0 || o.sourcesPerLine > 10000)
        return QStringLiteral("--sources-per-line must be between 0 (one on each receiver line) and 10000");
    if (o.sourceBetweenStations || o.sourceCrosslineMax > 0.0)
        return QStringLiteral("--source-between-stations and --source-crossline are for one line, not with "
                              "--receiver-lines");
    if (double(o.receiverLines - 1) * o.lineSpacing > std::numeric_limits<qint32>::max() / 4)
        return QStringLiteral("the patch is too wide for int32 offsets");
    return QString();
}

QString validateLine(const Options &o)
{
    const QVector<double> &v = o.velocities;
    const int layers = v.size();
    if (layers != 0 && (layers < 2 || layers > 3))
        return QStringLiteral("--velocities: give 2 or 3 layer velocities");
    for (int k = 0; k < layers; ++k) {
        if (!(v[k] > 0.0) || !std::isfinite(v[k]) || (k > 0 && !(v[k] > v[k - 1])))
            return QStringLiteral("--velocities: the velocities must be positive and increase with depth");
    }
    if (layers == 0 && (!o.thicknesses.isEmpty() || !o.crossovers.isEmpty()))
        return QStringLiteral("--thicknesses and --crossovers need --velocities");
    if (layers > 0 && o.thicknesses.isEmpty() == o.crossovers.isEmpty())
        return QStringLiteral("--velocities needs either --thicknesses or --crossovers");
    const QVector<double> &depths = o.thicknesses.isEmpty() ? o.crossovers : o.thicknesses;
    const char *name = o.thicknesses.isEmpty() ? "--crossovers" : "--thicknesses";
    if (layers > 0 && depths.size() != layers - 1)
        return QStringLiteral("%1: give one value per layer above the last (%2)")
            .arg(QLatin1String(name))
            .arg(layers - 1);
    for (int k = 0; k < depths.size(); ++k) {
        if (!(depths[k] > 0.0) || !std::isfinite(depths[k]))
            return QStringLiteral("%1: the values must be positive").arg(QLatin1String(name));
        if (!o.crossovers.isEmpty() && k > 0 && !(depths[k] > depths[k - 1]))
            return QStringLiteral("--crossovers: the crossovers must increase");
    }
    const struct
    {
        double value;
        double high;
        const char *name;
    } amounts[] = {{o.noiseMs, 1000.0, "--noise"},
                   {o.sourceStaticMs, 1000.0, "--source-statics"},
                   {o.receiverStaticMs, 1000.0, "--receiver-statics"},
                   {o.stationStaticMs, 1000.0, "--station-statics"},
                   {o.triggerDelayMs, 1000.0, "--trigger-delay"},
                   {o.sourceDelayMs, 1000.0, "--source-delay"},
                   {o.missing, 0.99, "--missing"},
                   {o.unpicked, 0.99, "--unpicked"},
                   {o.elevationVelocity, 1e6, "--elevation-velocity"},
                   {o.gradient, 1000.0, "--gradient"},
                   {o.hiddenThickness, 10000.0, "--hidden-layer's thickness"},
                   {o.hiddenVelocity, 1e6, "--hidden-layer's velocity"},
                   {o.lateralChange, 0.9, "--lateral-change"}};
    for (const auto &a : amounts) {
        if (!(a.value >= 0.0 && a.value <= a.high))
            return QStringLiteral("%1 must be between 0 and %2").arg(QLatin1String(a.name)).arg(a.high);
    }
    if (!(std::abs(o.dipDegrees) <= 30.0))
        return QStringLiteral("--dip must be between -30 and 30 degrees");
    const bool beyond = o.gradient > 0.0 || o.dipDegrees != 0.0 || o.hiddenThickness > 0.0 || o.hiddenVelocity > 0.0;
    if (beyond && layers == 0)
        return QStringLiteral("--gradient, --dip and --hidden-layer need --velocities");
    if ((o.hiddenThickness > 0.0) != (o.hiddenVelocity > 0.0))
        return QStringLiteral("--hidden-layer needs a velocity and a thickness");
    if (o.hiddenThickness > 0.0 && !(o.hiddenVelocity < v[1]))
        return QStringLiteral("--hidden-layer: the hidden layer must be slower than the layer under it (%1 m/s)")
            .arg(v[1]);
    return QString();
}

} // namespace

double layerTime(const Options &options, double h)
{
    if (!validateLine(options).isEmpty())
        return std::numeric_limits<double>::quiet_NaN();
    Options o = options;
    o.shots = 1;
    o.channels = 1;
    return Line(o).travel(std::abs(h));
}

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
    const QString patch = validatePatch(o);
    if (!patch.isEmpty())
        return patch;
    const qint64 records = static_cast<qint64>(o.shots) * o.channels;
    if (records > std::numeric_limits<qint32>::max())
        return QStringLiteral("%1 shots of %2 channels exceed the records an FB file can number")
            .arg(o.shots)
            .arg(o.channels);
    if (stationsOf(o) * o.groupInterval > std::numeric_limits<qint32>::max() / 2)
        return QStringLiteral("the line is too long for int32 offsets");
    const QString line = validateLine(o);
    if (!line.isEmpty())
        return line;
    if (!(o.sourceCrosslineMin >= 0.0 && o.sourceCrosslineMin <= o.sourceCrosslineMax &&
          o.sourceCrosslineMax <= 10000.0))
        return QStringLiteral("the crossline distances of the sources must be 0 <= MIN <= MAX <= 10000 m");
    if (o.offsetFactor != 1 && o.offsetFactor != 10 && o.offsetFactor != 100 && o.offsetFactor != 1000)
        return QStringLiteral("the offset factor must be 1, 10, 100 or 1000");
    const double width = double(o.receiverLines - 1) * o.lineSpacing;
    if ((stationsOf(o) * o.groupInterval + width) * double(o.offsetFactor) / (o.feet ? FeetInMetres : 1.0) >
        std::numeric_limits<qint32>::max() / 2)
        return QStringLiteral("the line is too long for int32 offsets in 1/%1 of its unit").arg(o.offsetFactor);
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
                .arg(repeat.source + 1)
                .arg(repeat.shot + 1)
                .arg(o.shots);
        // Neighbours would only make one longer run.
        if (qAbs(repeat.shot - repeat.source) < 2)
            return QStringLiteral("--repeat-ffid: shots %1 and %2 are less than 2 apart")
                .arg(repeat.source + 1)
                .arg(repeat.shot + 1);
    }
    for (const FfidRepeat &repeat : o.repeatedPosition) {
        if (repeat.source < 0 || repeat.source >= o.shots || repeat.shot < 0 || repeat.shot >= o.shots ||
            repeat.source == repeat.shot)
            return QStringLiteral("--repeat-position: shots %1 and %2 must be two shots in 1..%3")
                .arg(repeat.source + 1)
                .arg(repeat.shot + 1)
                .arg(o.shots);
    }
    const QString pickFaults = validatePickFaults(o);
    if (!pickFaults.isEmpty())
        return pickFaults;
    if (o.truncateBytes < 0 || o.truncateBytes > records * FbLayout::RecordSize)
        return QStringLiteral("--truncate must be between 0 and %1 bytes").arg(records * FbLayout::RecordSize);
    return QString();
}

double shotDelayMs(const Options &options, int shot)
{
    if (!validate(options).isEmpty() || shot < 0 || shot >= options.shots)
        return 0;
    double ms = options.triggerDelayMs + lineOptionDraws(options, shot).uniform() * options.sourceDelayMs;
    for (const ShotShift &shift : options.shifts)
        ms += shift.shot == shot ? shift.ms : 0.0;
    return ms;
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

FileWriter::FileWriter(const Options &options) : m_options(options) { }

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
    // A file cut short (a full disk) is no FB file: it goes, and the reason
    // is the system's.
    auto failWrite = [&](const char *what) {
        const QString reason = file.errorString();
        file.remove();
        return fail(QStringLiteral("%1 %2: %3").arg(QLatin1String(what), fileName, reason));
    };
    // A write that stops short is asked again, so that the one that fails
    // says why (the first short one leaves no reason).
    auto writeAll = [&file](const char *data, qint64 size) {
        for (qint64 done = 0; done < size;) {
            const qint64 n = file.write(data + done, size - done);
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    };

    // The header goes last, once the offset range is known.
    const char blankHeader[FbLayout::HeaderSize] = {};
    if (!writeAll(blankHeader, sizeof blankHeader))
        return failWrite("cannot write");

    const Line line(o);
    const qint64 shotBytes = FbLayout::RecordSize * o.channels;
    const int shotsPerBlock = static_cast<int>(qBound<qint64>(1, (4 << 20) / shotBytes, o.shots));
    QByteArray block(static_cast<int>(shotBytes * shotsPerBlock), Qt::Uninitialized);
    QVector<FbRecord> records;
    qint32 minOffset = std::numeric_limits<qint32>::max();
    qint32 maxOffset = std::numeric_limits<qint32>::min();
    qint64 total = 0;

    for (int shot = 0; shot < o.shots;) {
        char *p = block.data();
        const int inBlock = qMin(shotsPerBlock, o.shots - shot);
        for (int k = 0; k < inBlock; ++k, ++shot) {
            makeShot(o, line, shot, records);
            total += records.size();
            for (const FbRecord &r : qAsConst(records)) {
                minOffset = qMin(minOffset, r.offset);
                maxOffset = qMax(maxOffset, r.offset);
                FbLayout::encodeRecord(r, p);
                p += FbLayout::RecordSize;
            }
        }
        if (!writeAll(block.constData(), p - block.constData()))
            return failWrite("cannot write");
    }

    FbFileHeader header;
    header.fb_count = o.lieAboutCount ? o.declaredCount : static_cast<qint32>(total);
    header.polarity = o.polarity;
    header.min_offset = minOffset;
    header.max_offset = maxOffset;
    char headerBytes[FbLayout::HeaderSize];
    FbLayout::encodeHeader(header, headerBytes);
    if (!file.flush() || !file.seek(0) || !writeAll(headerBytes, sizeof headerBytes) || !file.flush())
        return failWrite("cannot write");

    const qint64 fullSize = FbLayout::HeaderSize + total * FbLayout::RecordSize;
    if (o.truncateBytes > 0 && !file.resize(fullSize - o.truncateBytes))
        return failWrite("cannot cut");
    file.close();
    if (file.error() != QFileDevice::NoError)
        return failWrite("cannot write");

    if (result) {
        result->fileSize = fullSize - o.truncateBytes;
        result->records = FbLayout::recordCount(result->fileSize);
        result->header = header;
    }
    return true;
}

} // namespace FbGenerator

} // namespace FbFile
