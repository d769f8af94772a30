#include <fbtrace/tracegenerator.h>

#include <fbtrace/tracesynth.h>
#include <fbtrace/tracewriter.h>

#include <QDir>
#include <QSet>
#include <QFileInfo>

#include <cmath>
#include <limits>

using namespace FbFile;

namespace FbTrace {

namespace TraceGenerator {

namespace {

constexpr double TailMs = 250.0; // recorded past the latest first break
constexpr double RoundLengthMs = 100.0;
constexpr int MaxSamples = 0xFFFF; // what a SEG-Y header can count

// The line without pick faults or gaps: its picks are the true onsets,
// one record per channel.
FbGenerator::Options truthOptions(const FbGenerator::Options &fb)
{
    FbGenerator::Options o = fb;
    o.spikes.clear();
    o.nanValues.clear();
    o.infValues.clear();
    o.missing = 0;
    o.unpicked = 0;
    return o;
}

// SEG-2 files take their shot's ffid as name; a shot whose ffid an earlier
// one has taken is named after its position too, before the ffid, so that
// the folder still sorts in shot order.
QStringList seg2Names(const FbGenerator::Options &truth)
{
    QStringList names;
    QSet<qint32> used;
    for (int s = 0; s < truth.shots; ++s) {
        const QVector<FbRecord> records = FbGenerator::shotRecords(truth, s);
        const qint32 ffid = records.isEmpty() ? 0 : records.first().ffid;
        names << (used.contains(ffid) ? QStringLiteral("r%1_%2.sg2").arg(s + 1, 4, 10, QLatin1Char('0')).arg(ffid)
                                      : QStringLiteral("%1.sg2").arg(ffid));
        used.insert(ffid);
    }
    return names;
}

quint64 traceSeed(quint64 seed, int shot, int channel)
{
    FbGenerator::Random r(seed ^ (quint64(shot) << 20) ^ quint64(channel) * 0x9E3779B97F4A7C15ULL);
    return r.next();
}

// Whether a trace's onset is emergent: a draw of its own, so that the
// trace's noise and coda stay those of the line without the trap.
bool emergentDraw(quint64 traceSeed, double share)
{
    if (share <= 0)
        return false;
    FbGenerator::Random r(traceSeed ^ 0x5E3A2F0C7B19D64DULL);
    return r.uniform() < share;
}

} // namespace

QString validate(const FbGenerator::Options &fb, const Options &t)
{
    if (!(t.sampleIntervalMs >= 0.001 && t.sampleIntervalMs <= 65.0))
        return QStringLiteral("--sample-interval must be between 0.001 and 65 ms");
    if (!(t.dominantHz > 0 && t.dominantHz < 500.0 / t.sampleIntervalMs))
        return QStringLiteral("--frequency must be above 0 and below the Nyquist frequency (%1 Hz)")
            .arg(500.0 / t.sampleIntervalMs);
    if (!(t.signalToNoise >= 0 && std::isfinite(t.signalToNoise)))
        return QStringLiteral("--snr must be 0 (no noise) or more");
    if (!(t.lengthMs >= 0 && t.lengthMs / t.sampleIntervalMs <= MaxSamples))
        return QStringLiteral("--trace-length must be at most %1 samples").arg(MaxSamples);
    if (t.polarity != 1 && t.polarity != -1)
        return QStringLiteral("the trace polarity must be +1 or -1");
    if (!(t.emergentShare >= 0 && t.emergentShare <= 1))
        return QStringLiteral("--emergent must be a fraction between 0 and 1");
    if (!(t.clipNearM >= 0 && std::isfinite(t.clipNearM)))
        return QStringLiteral("--clip-near must be 0 (none) or a distance in m");
    if (!(t.humHz >= 0 && t.humHz < 500.0 / t.sampleIntervalMs))
        return QStringLiteral("--hum must be above 0 and below the Nyquist frequency (%1 Hz)")
            .arg(500.0 / t.sampleIntervalMs);
    if (!(t.humAmplitude > 0 && std::isfinite(t.humAmplitude)))
        return QStringLiteral("--hum: the amplitude must be above 0");
    if (!(t.airWaveAmplitude > 0 && std::isfinite(t.airWaveAmplitude)))
        return QStringLiteral("--air-wave-amplitude must be above 0");
    for (const CycleSkip &c : t.cycleSkips) {
        if (c.shot < 0 || c.shot >= fb.shots)
            return QStringLiteral("--cycle-skip: shot %1 is not in 1..%2").arg(c.shot + 1).arg(fb.shots);
        if (c.firstChannel < 1 || c.lastChannel > fb.channels || c.firstChannel > c.lastChannel)
            return QStringLiteral("--cycle-skip: channels %1-%2 are not a run within 1..%3")
                .arg(c.firstChannel)
                .arg(c.lastChannel)
                .arg(fb.channels);
    }
    for (const Mispick &m : t.mispicks) {
        if (m.shot < 0 || m.shot >= fb.shots)
            return QStringLiteral("--mispick: shot %1 is not in 1..%2").arg(m.shot + 1).arg(fb.shots);
        if (m.channel < 1 || m.channel > fb.channels)
            return QStringLiteral("--mispick: channel %1 is not in 1..%2").arg(m.channel).arg(fb.channels);
        if (!std::isfinite(m.ms))
            return QStringLiteral("--mispick: the time must be finite");
    }
    return FbGenerator::validate(pickOptions(fb, t));
}

QString targetProblem(const FbGenerator::Options &fb, const Options &t, const QString &path)
{
    const QFileInfo target(path);
    if (t.format == Format::SegY)
        return target.exists() && !target.isFile() ? QStringLiteral("%1 is not a regular file").arg(path) : QString();
    if (target.exists() && !target.isDir())
        return QStringLiteral("%1 is not a folder").arg(path);
    // Files left from another line would join this one as shots.
    const QStringList names = seg2Names(truthOptions(fb));
    for (const QString &present : QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (!names.contains(present))
            return QStringLiteral("%1 holds %2, which is no shot of this line: give an empty or new folder")
                .arg(path, present);
    }
    return QString();
}

FbGenerator::Options pickOptions(const FbGenerator::Options &fb, const Options &t)
{
    FbGenerator::Options o = fb;
    const double period = dominantPeriodMs(t.dominantHz);
    for (const CycleSkip &c : t.cycleSkips) {
        for (int ch = c.firstChannel; ch <= c.lastChannel; ++ch)
            o.spikes.append({c.shot, ch, period});
    }
    for (const Mispick &m : t.mispicks)
        o.spikes.append({m.shot, m.channel, m.ms});
    return o;
}

bool Writer::write(const FbGenerator::Options &fb, const Options &t, const QString &path, const Progress &progress)
{
    const QString invalid = validate(fb, t);
    if (!invalid.isEmpty()) {
        m_error = invalid;
        return false;
    }
    const FbGenerator::Options truth = truthOptions(fb);
    double lengthMs = t.lengthMs;
    if (lengthMs == 0) {
        double latest = 0;
        for (int s = 0; s < truth.shots; ++s) {
            for (const FbRecord &r : FbGenerator::shotRecords(truth, s))
                latest = std::max(latest, double(r.fb_time));
        }
        lengthMs = std::ceil((latest + TailMs) / RoundLengthMs) * RoundLengthMs;
    }
    m_samples = int(qMin<double>(MaxSamples, std::ceil(lengthMs / t.sampleIntervalMs)));

    SegyWriter segy;
    if (t.format == Format::SegY) {
        const QString text = QStringLiteral("SYNTHETIC SHOT RECORDS\nSHOTS %1 CHANNELS %2 SEED %3\n"
                                            "FIRST BREAKS AT THE TRUE PICK TIMES")
                                 .arg(fb.shots)
                                 .arg(fb.channels)
                                 .arg(fb.seed);
        if (!segy.open(path, m_samples, t.sampleIntervalMs, fb.channels, text)) {
            m_error = segy.errorString();
            return false;
        }
    }
    QStringList names;
    if (t.format == Format::Seg2) {
        if (!QDir().mkpath(path)) {
            m_error = QStringLiteral("cannot make the folder %1").arg(path);
            return false;
        }
        names = seg2Names(truth);
        m_error = targetProblem(fb, t, path);
        if (!m_error.isEmpty())
            return false;
    }

    ShotGather g;
    g.sampleIntervalMs = t.sampleIntervalMs;
    g.samplesPerTrace = m_samples;
    TraceSynthParams p;
    p.sampleIntervalMs = t.sampleIntervalMs;
    p.samples = m_samples;
    p.dominantHz = t.dominantHz;
    p.polarity = t.polarity;
    p.signalToNoise = t.signalToNoise;
    for (int s = 0; s < truth.shots; ++s) {
        if (!progress.report(s, truth.shots)) {
            m_error = QStringLiteral("cancelled");
            return false;
        }
        const QVector<FbRecord> records = FbGenerator::shotRecords(truth, s);
        const double delayMs = FbGenerator::shotDelayMs(truth, s);
        g.ffid = records.isEmpty() ? 0 : records.first().ffid;
        g.headers.resize(records.size());
        g.samples.resize(records.size() * m_samples);
        double longestOffset = 0;
        for (const FbRecord &r : records)
            longestOffset = std::max(longestOffset, std::abs(double(r.offset)));
        for (int c = 0; c < records.size(); ++c) {
            const FbRecord &r = records[c];
            TraceHeader &h = g.headers[c];
            h.ffid = r.ffid;
            h.channel = r.channel;
            h.sourceX = r.source_x;
            h.sourceY = r.source_y;
            h.sourceZ = r.s_elev;
            h.receiverX = r.group_x;
            h.receiverY = r.group_y;
            h.receiverZ = r.g_elev;
            h.offset = r.offset;
            p.onsetMs = r.fb_time;
            p.seed = traceSeed(fb.seed, s, r.channel);
            const double distance = std::abs(double(r.offset));
            p.emergent = emergentDraw(p.seed, t.emergentShare);
            p.clipAt = t.clipNearM > 0 && distance <= t.clipNearM ? NearClipLevel * p.amplitude : 0;
            const bool far = distance > longestOffset / 2;
            p.humHz = t.humHz > 0 && far ? t.humHz : 0;
            p.humAmplitude = p.humHz > 0 ? t.humAmplitude * p.amplitude : 0;
            // Sound leaves when the shot fires: a trigger off its time moves the
            // air wave as it moves the first break.
            p.airWaveMs =
                t.airWave ? delayMs + 1000.0 * distance / AirSpeedMps : std::numeric_limits<double>::quiet_NaN();
            p.airWaveAmplitude = t.airWave ? t.airWaveAmplitude * p.amplitude : 0;
            const QVector<float> trace = synthesizeTrace(p);
            std::copy(trace.cbegin(), trace.cend(), g.trace(c));
        }
        if (t.format == Format::SegY) {
            if (!segy.write(g)) {
                m_error = segy.errorString();
                return false;
            }
        } else if (!writeSeg2File(QDir(path).filePath(names.at(s)), g, &m_error)) {
            return false;
        }
    }
    if (t.format == Format::SegY && !segy.close()) {
        m_error = segy.errorString();
        return false;
    }
    progress.report(1, 1);
    return true;
}

} // namespace TraceGenerator

} // namespace FbTrace
