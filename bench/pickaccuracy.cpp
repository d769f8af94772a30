// pickaccuracy: how right the onset picker, the snap and the waveform checks
// are on synthesized shot gathers with a known first break, and how fast the
// picker is.
//
// Each family (a wavelet, a polarity, a dominant frequency and a
// signal-to-noise ratio) is a few shots of 96 channels, 10 m apart on a split
// spread over two layers (500 and 2,000 m/s), 2,000 samples of 0.5 ms, each
// trace with its own noise and coda. On every trace:
//   - picked: the onset picker guided by a prediction up to 8 ms off the
//     truth (as a fitted curve gives), within one sample and within 1 ms;
//   - g.shot: the whole shot picked with those predictions (pickGather:
//     the shot's period measured first, each trace then read on the stack
//     of its neighbours), within 1 ms, 2 ms and off by more than 5 ms;
//   - snapped: a time displaced by 3 to 20 ms either way snapped to the
//     onset within +/- 25 ms, within 1 ms;
//   - shot: the whole shot picked with no prediction (pickGather: each
//     trace guided by its neighbours), within 1 ms;
// and on every shot, picks planted as a picker gets them wrong: two runs of
// 3 to 8 traces a period late (cycle skips) and two picks 0.25 to 0.5 of a
// period off (off the onset), the rest within 0.3 ms of the truth; the waveform checks
// then say how many skipped picks they name (goal >= 95%), how many good
// picks they call skipped (goal <= 0.1%) or off the onset, and how many
// mispicks they find. Too weak: traces whose first break is not judged.
//
// A mixed family is a record as the field gives it: a share of its traces,
// drawn trace by trace, with emergent onsets at a lower pitch among sharp
// ones. Those families are reported apart, after the totals, so that the
// headline figures stay comparable from run to run.
//
// Then the speed: traces of 2,000 samples picked per second of thread CPU
// time, guided (+/- 30 ms) and over the whole trace (goal >= 50,000 a
// second per core).
//
//   pickaccuracy [--shots N] [--no-speed] [--list]

#include <fbqc/onsetpicker.h>
#include <fbtrace/shotgather.h>
#include <fbtrace/tracesynth.h>

#include "benchrandom.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QMap>
#include <QPair>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <ctime>

using namespace FbTrace;
using namespace FbQc;

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

bool listMisses = false;

constexpr int Channels = 96;
constexpr double GroupInterval = 10;       // m
constexpr double TopVelocity = 500;        // m/s
constexpr double RefractorVelocity = 2000; // m/s
constexpr double InterceptMs = 40;
constexpr double SourceDelayMs = 20;
constexpr double SampleIntervalMs = 0.5;
constexpr int Samples = 2000;
constexpr double PredictionErrorMs = 8;
constexpr double SnapWithinMs = 25;
constexpr double GoodPickJitterMs = 0.3;

struct Family
{
    QString name;
    TraceWavelet wavelet;
    bool emergent;
    int polarity;
    double hz;
    double signalToNoise;
    double emergentShare = 0; // of a mixed family's traces, drawn trace by trace
};

constexpr double MixedEmergentShare = 0.3;

QVector<Family> families()
{
    QVector<Family> list;
    const struct
    {
        const char *name;
        TraceWavelet wavelet;
        bool emergent;
    } shapes[] = {
        {"Berlage", TraceWavelet::Berlage, false},
        {"damped sine", TraceWavelet::DampedSine, false},
        {"emergent", TraceWavelet::Berlage, true},
    };
    for (const auto &shape : shapes)
        for (int polarity : {1, -1})
            for (double hz : {25.0, 50.0})
                for (double sn : {3.0, 5.0, 10.0, 30.0})
                    list.append({QStringLiteral("%1 %2 %3 Hz")
                                     .arg(QString::fromLatin1(shape.name), QLatin1String(polarity > 0 ? "+" : "-"))
                                     .arg(hz),
                                 shape.wavelet, shape.emergent, polarity, hz, sn});
    for (int polarity : {1, -1})
        for (double hz : {25.0, 50.0})
            for (double sn : {5.0, 30.0})
                list.append({QStringLiteral("mixed %1 %2 Hz").arg(QLatin1String(polarity > 0 ? "+" : "-")).arg(hz),
                             TraceWavelet::Berlage, false, polarity, hz, sn, MixedEmergentShare});
    return list;
}

// One shot: its gather and the true onsets.
struct Shot
{
    ShotGather gather;
    QVector<double> truth;
    QVector<double> periods; // each trace's dominant period, ms
};

Shot makeShot(const Family &f, int shot, quint64 seed)
{
    Shot s;
    s.gather.ffid = shot + 1;
    s.gather.sampleIntervalMs = SampleIntervalMs;
    s.gather.samplesPerTrace = Samples;
    s.gather.samples.reserve(Channels * Samples);
    for (int c = 0; c < Channels; ++c) {
        const double offset = (c - Channels / 2 + 0.5) * GroupInterval;
        const double x = std::fabs(offset);
        const double onset =
            SourceDelayMs + std::min(x / TopVelocity * 1000, InterceptMs + x / RefractorVelocity * 1000);
        TraceHeader h;
        h.ffid = s.gather.ffid;
        h.channel = c + 1;
        h.offset = offset;
        s.gather.headers.append(h);
        s.truth.append(onset);
        TraceSynthParams p;
        p.sampleIntervalMs = SampleIntervalMs;
        p.samples = Samples;
        p.onsetMs = onset;
        p.dominantHz = f.hz;
        p.polarity = f.polarity;
        p.wavelet = f.wavelet;
        p.seed = seed * 1000003 + quint64(shot) * 1009 + quint64(c);
        p.emergent =
            f.emergent || (f.emergentShare > 0 && BenchRandom(p.seed ^ 0xE3E7u).uniform(0, 1) < f.emergentShare);
        s.periods.append(dominantPeriodMs(p.emergent ? f.hz * EmergentFrequencyRatio : f.hz));
        p.signalToNoise = f.signalToNoise;
        p.amplitude = 1000 / (1 + x / 100);
        s.gather.samples += synthesizeTrace(p);
    }
    return s;
}

struct Tally
{
    qint64 traces = 0, inSample = 0, inMs = 0, snaps = 0, snapInMs = 0, unguidedInMs = 0, unguidedConfident = 0;
    qint64 guidedShotInMs = 0, guidedShotIn2Ms = 0, guidedShotOver5Ms = 0;
    qint64 skipped = 0, skippedFound = 0, good = 0, goodSkipped = 0, goodOff = 0, mispicks = 0, mispicksFound = 0;
    qint64 judged = 0, weak = 0, plantedSkips = 0;
    qint64 in2Ms = 0, over5Ms = 0;
    QVector<double> errors; // guided pick - truth, ms, of the picks found
    // Whole shots guided, pick - truth of the picks found, and on the
    // emergent traces of a mixed family alone.
    QVector<double> shotErrors, emergentShotErrors;
    qint64 emergentTraces = 0, emergentShotInMs = 0;

    void add(const Tally &o)
    {
        traces += o.traces, inSample += o.inSample, inMs += o.inMs, snaps += o.snaps, snapInMs += o.snapInMs;
        unguidedInMs += o.unguidedInMs, unguidedConfident += o.unguidedConfident;
        guidedShotInMs += o.guidedShotInMs, guidedShotIn2Ms += o.guidedShotIn2Ms;
        guidedShotOver5Ms += o.guidedShotOver5Ms;
        skipped += o.skipped, skippedFound += o.skippedFound, good += o.good, goodSkipped += o.goodSkipped;
        goodOff += o.goodOff, mispicks += o.mispicks, mispicksFound += o.mispicksFound;
        judged += o.judged, weak += o.weak, plantedSkips += o.plantedSkips;
        in2Ms += o.in2Ms, over5Ms += o.over5Ms;
        errors += o.errors;
        shotErrors += o.shotErrors, emergentShotErrors += o.emergentShotErrors;
        emergentTraces += o.emergentTraces, emergentShotInMs += o.emergentShotInMs;
    }
};

QString percent(qint64 part, qint64 whole, int decimals = 1)
{
    return whole ? QString::number(100.0 * part / whole, 'f', decimals) : QStringLiteral("-");
}

// The median of the signed errors: how late (positive) the picks sit on
// the whole, apart from their scatter.
QString bias(QVector<double> errors)
{
    if (errors.isEmpty())
        return QStringLiteral("-");
    auto middle = errors.begin() + errors.size() / 2;
    std::nth_element(errors.begin(), middle, errors.end());
    return QString::number(*middle, 'f', 2);
}

QString rpad(const QString &text, int width)
{
    return text.rightJustified(width, QLatin1Char(' '));
}

Tally judgeFamily(const Family &f, int shots, quint64 seed)
{
    Tally t;
    BenchRandom random{seed};
    for (int shot = 0; shot < shots; ++shot) {
        const Shot s = makeShot(f, shot, seed);
        const FbQc::OnsetPickerSettings settings;
        QVector<double> predicted(Channels);
        for (int c = 0; c < Channels; ++c) {
            const FbQc::TraceSamples trace = FbQc::traceOf(s.gather, c);
            const double truth = s.truth[c];
            predicted[c] = truth + random.uniform(-PredictionErrorMs, PredictionErrorMs);
            const FbQc::OnsetPick pick = FbQc::pickOnsetNear(trace, predicted[c], settings);
            ++t.traces;
            const double error = pick.found ? std::fabs(pick.onsetMs - truth) : INFINITY;
            t.inSample += error <= SampleIntervalMs ? 1 : 0;
            t.inMs += error <= 1 ? 1 : 0;
            t.in2Ms += error <= 2 ? 1 : 0;
            t.over5Ms += error > 5 ? 1 : 0;
            if (pick.found)
                t.errors.append(pick.onsetMs - truth);
            const double displacement = random.uniform(3, 20) * (random.next() % 2 ? 1 : -1);
            const double snapped =
                FbQc::snapTime(trace, truth + displacement, SnapWithinMs, FbQc::PickPhase::Onset, settings);
            ++t.snaps;
            t.snapInMs += std::fabs(snapped - truth) <= 1 ? 1 : 0;
        }

        // The whole shot picked with no prediction: its neighbours guide
        // each trace.
        const QVector<FbQc::OnsetPick> unguided = FbQc::pickGather(s.gather, {});
        // And guided by the same predictions, the whole shot at once.
        const QVector<FbQc::OnsetPick> guidedShot = FbQc::pickGather(s.gather, predicted);
        for (int c = 0; c < Channels; ++c) {
            const double error = guidedShot[c].found ? std::fabs(guidedShot[c].onsetMs - s.truth[c]) : INFINITY;
            t.guidedShotInMs += error <= 1 ? 1 : 0;
            t.guidedShotIn2Ms += error <= 2 ? 1 : 0;
            t.guidedShotOver5Ms += error > 5 ? 1 : 0;
            if (guidedShot[c].found)
                t.shotErrors.append(guidedShot[c].onsetMs - s.truth[c]);
            if (f.emergentShare > 0 && !f.emergent && s.periods[c] > dominantPeriodMs(f.hz)) {
                ++t.emergentTraces;
                t.emergentShotInMs += error <= 1 ? 1 : 0;
                if (guidedShot[c].found)
                    t.emergentShotErrors.append(guidedShot[c].onsetMs - s.truth[c]);
            }
        }
        for (int c = 0; c < Channels; ++c) {
            t.unguidedInMs += unguided[c].found && std::fabs(unguided[c].onsetMs - s.truth[c]) <= 1 ? 1 : 0;
            t.unguidedConfident += unguided[c].found && unguided[c].confidence >= settings.minimumConfidence;
        }

        // Picks as a picker leaves them: mostly right, two runs a period
        // late, two picks off the onset away from the runs.
        enum Kind { Good, Skipped, Mispick };
        QVector<Kind> kind(Channels, Good);
        for (int run = 0; run < 2; ++run) {
            const int length = random.integer(3, 8);
            const int first = run * Channels / 2 + random.integer(4, Channels / 2 - length - 4);
            for (int c = first; c < first + length; ++c)
                kind[c] = Skipped;
        }
        for (int m = 0; m < 2;) {
            const int c = random.integer(2, Channels - 3);
            if (kind[c - 1] == Good && kind[c] == Good && kind[c + 1] == Good) {
                kind[c] = Mispick;
                ++m;
            }
        }
        QVector<double> picks(Channels);
        for (int c = 0; c < Channels; ++c) {
            double offBy = random.uniform(-GoodPickJitterMs, GoodPickJitterMs);
            if (kind[c] == Skipped)
                offBy = s.periods[c];
            else if (kind[c] == Mispick)
                offBy = random.uniform(0.25 * s.periods[c], 0.5 * s.periods[c]) * (random.next() % 2 ? 1 : -1);
            picks[c] = s.truth[c] + offBy;
        }
        const FbQc::WaveformCheck check = FbQc::checkWaveforms(s.gather, picks);
        for (int c = 0; c < Channels; ++c) {
            const FbQc::WaveformVerdict v = check.traces[c].verdict;
            t.plantedSkips += kind[c] == Skipped ? 1 : 0;
            if (v == FbQc::WaveformVerdict::TooWeak) {
                ++t.weak;
                continue;
            }
            ++t.judged;
            const bool missed = (kind[c] == Skipped) != (v == FbQc::WaveformVerdict::CycleSkip);
            if (listMisses && missed)
                out() << "    " << f.name << " S/N " << f.signalToNoise << " shot " << shot << " channel " << c
                      << (kind[c] == Skipped ? " skipped pick not named" : " named skipped") << ": truth " << s.truth[c]
                      << " pick " << picks[c] << " onset " << check.traces[c].onsetMs << " confidence "
                      << check.traces[c].confidence << " verdict " << int(v) << ", neighbours "
                      << (c > 0 ? int(check.traces[c - 1].verdict) : -1) << " "
                      << (c + 1 < Channels ? int(check.traces[c + 1].verdict) : -1) << ", period " << check.periodMs
                      << Qt::endl;
            switch (kind[c]) {
            case Good:
                ++t.good;
                t.goodSkipped += v == FbQc::WaveformVerdict::CycleSkip ? 1 : 0;
                t.goodOff += v == FbQc::WaveformVerdict::OffOnset ? 1 : 0;
                break;
            case Skipped:
                ++t.skipped;
                t.skippedFound += v == FbQc::WaveformVerdict::CycleSkip ? 1 : 0;
                break;
            case Mispick:
                ++t.mispicks;
                t.mispicksFound += v == FbQc::WaveformVerdict::OffOnset || v == FbQc::WaveformVerdict::CycleSkip;
                break;
            }
        }
    }
    return t;
}

void accuracy(int shots)
{
    out() << "Accuracy on " << shots << " shots x " << Channels << " traces a family (shares of judged picks for the"
          << " checks; too weak: share of all)\n";
    out() << QStringLiteral("family").leftJustified(24) << rpad(QStringLiteral("S/N"), 5) << rpad("1 smp", 7)
          << rpad("1 ms", 7) << rpad("2 ms", 7) << rpad(">5 ms", 7) << rpad("bias", 7) << rpad("g.shot", 7)
          << rpad("g.2ms", 7) << rpad("g.>5ms", 7) << rpad("snap", 7) << rpad("shot", 7) << rpad("skips", 7)
          << rpad("of all", 7) << rpad("good>skip", 10) << rpad("good>off", 9) << rpad("mispick", 8) << rpad("weak", 7)
          << "\n";
    Tally total, mixed;
    QMap<double, Tally> bySignal, mixedBySignal;
    QMap<QPair<QString, double>, Tally> byShape;
    quint64 seed = 1;
    for (const Family &f : families()) {
        const Tally t = judgeFamily(f, shots, ++seed);
        out() << f.name.leftJustified(24) << rpad(QString::number(f.signalToNoise), 5)
              << rpad(percent(t.inSample, t.traces), 7) << rpad(percent(t.inMs, t.traces), 7)
              << rpad(percent(t.in2Ms, t.traces), 7) << rpad(percent(t.over5Ms, t.traces), 7) << rpad(bias(t.errors), 7)
              << rpad(percent(t.guidedShotInMs, t.traces), 7) << rpad(percent(t.guidedShotIn2Ms, t.traces), 7)
              << rpad(percent(t.guidedShotOver5Ms, t.traces), 7) << rpad(percent(t.snapInMs, t.snaps), 7)
              << rpad(percent(t.unguidedInMs, t.traces), 7) << rpad(percent(t.skippedFound, t.skipped), 7)
              << rpad(percent(t.skippedFound, t.plantedSkips), 7) << rpad(percent(t.goodSkipped, t.good, 2), 10)
              << rpad(percent(t.goodOff, t.good, 2), 9) << rpad(percent(t.mispicksFound, t.mispicks), 8)
              << rpad(percent(t.weak, t.weak + t.judged), 7) << Qt::endl;
        if (f.emergentShare > 0) {
            mixed.add(t);
            mixedBySignal[f.signalToNoise].add(t);
            continue;
        }
        total.add(t);
        bySignal[f.signalToNoise].add(t);
        const QString shape = f.emergent                              ? QStringLiteral("emergent")
                              : f.wavelet == TraceWavelet::DampedSine ? QStringLiteral("damped sine")
                                                                      : QStringLiteral("Berlage");
        byShape[qMakePair(shape, f.signalToNoise)].add(t);
    }
    out() << "\nWhole shots guided, by wavelet and signal-to-noise (both polarities and pitches):\n";
    for (auto it = byShape.cbegin(); it != byShape.cend(); ++it) {
        const Tally &t = it.value();
        out() << "  " << it.key().first.leftJustified(12) << " S/N " << rpad(QString::number(it.key().second), 3)
              << ": within 1 ms " << rpad(percent(t.guidedShotInMs, t.traces), 5) << "%, 2 ms "
              << rpad(percent(t.guidedShotIn2Ms, t.traces), 5) << "%, off by > 5 ms "
              << rpad(percent(t.guidedShotOver5Ms, t.traces), 5) << "%\n";
    }
    out() << "\nBy signal-to-noise over every wavelet:\n";
    for (auto it = bySignal.cbegin(); it != bySignal.cend(); ++it) {
        const Tally &t = it.value();
        out() << "  S/N " << rpad(QString::number(it.key()), 3) << ": picks within 1 sample "
              << percent(t.inSample, t.traces) << "%, within 1 ms " << percent(t.inMs, t.traces) << "%, 2 ms "
              << percent(t.in2Ms, t.traces) << "%, off by > 5 ms " << percent(t.over5Ms, t.traces) << "%, bias "
              << bias(t.errors) << " ms; whole shots guided within 1 ms " << percent(t.guidedShotInMs, t.traces)
              << "%, 2 ms " << percent(t.guidedShotIn2Ms, t.traces) << "%, off by > 5 ms "
              << percent(t.guidedShotOver5Ms, t.traces) << "%"
              << ", snapped within 1 ms " << percent(t.snapInMs, t.snaps) << "%, shot picked unguided within 1 ms "
              << percent(t.unguidedInMs, t.traces) << "%, skipped picks named " << percent(t.skippedFound, t.skipped)
              << "%, good called skipped " << percent(t.goodSkipped, t.good, 3) << "%, mispicks found "
              << percent(t.mispicksFound, t.mispicks) << "%\n";
    }
    const double found = total.skipped ? double(total.skippedFound) / total.skipped : 0;
    const double falseSkips = total.good ? double(total.goodSkipped) / total.good : 0;
    out() << "\ntotal: " << total.traces << " traces; picks within 1 sample " << percent(total.inSample, total.traces)
          << "%, within 1 ms " << percent(total.inMs, total.traces) << "% (goal 75%), 2 ms "
          << percent(total.in2Ms, total.traces) << "% (goal 95%), off by > 5 ms "
          << percent(total.over5Ms, total.traces) << "% (goal < 1%), bias " << bias(total.errors)
          << " ms; snapped within 1 ms " << percent(total.snapInMs, total.snaps)
          << "%; whole shots guided by the same predictions within 1 ms " << percent(total.guidedShotInMs, total.traces)
          << "% (goal 75%), 2 ms " << percent(total.guidedShotIn2Ms, total.traces) << "% (goal 95%), off by > 5 ms "
          << percent(total.guidedShotOver5Ms, total.traces) << "% (goal < 1%)"
          << "; shots picked with no prediction within 1 ms " << percent(total.unguidedInMs, total.traces) << "% ("
          << percent(total.unguidedConfident, total.traces) << "% confident)\n"
          << "  skipped picks named " << total.skippedFound << "/" << total.skipped << " ("
          << percent(total.skippedFound, total.skipped) << "%, goal >= 95%: " << (found >= 0.95 ? "met" : "MISSED")
          << "); of all " << total.plantedSkips
          << " planted, with those too weak to judge: " << percent(total.skippedFound, total.plantedSkips)
          << "%\n  good picks called skipped " << total.goodSkipped << "/" << total.good << " ("
          << percent(total.goodSkipped, total.good, 3)
          << "%, goal <= 0.1%: " << (falseSkips <= 0.001 ? "met" : "MISSED") << "), called off the onset "
          << total.goodOff << " (" << percent(total.goodOff, total.good, 2) << "%)\n"
          << "  mispicks found " << total.mispicksFound << "/" << total.mispicks << " ("
          << percent(total.mispicksFound, total.mispicks) << "%); too weak to judge " << total.weak << " of "
          << total.weak + total.judged << Qt::endl;
    out() << "\nMixed wavelets (" << percent(qRound(100 * MixedEmergentShare), 100, 0)
          << "% of the traces emergent at a lower pitch; the table's last rows, left out of every sum and total "
             "above):\n";
    mixedBySignal[0].add(mixed);
    for (auto it = mixedBySignal.cbegin(); it != mixedBySignal.cend(); ++it) {
        const Tally &t = it.value();
        out() << "  "
              << (it.key() > 0 ? QStringLiteral("S/N %1").arg(it.key()).leftJustified(6) : QStringLiteral("all   "))
              << ": picks within 1 ms " << percent(t.inMs, t.traces) << "%, bias " << bias(t.errors)
              << " ms; whole shots guided within 1 ms " << percent(t.guidedShotInMs, t.traces) << "%, 2 ms "
              << percent(t.guidedShotIn2Ms, t.traces) << "%, off by > 5 ms " << percent(t.guidedShotOver5Ms, t.traces)
              << "%, bias " << bias(t.shotErrors) << " ms (emergent traces within 1 ms "
              << percent(t.emergentShotInMs, t.emergentTraces) << "%, bias " << bias(t.emergentShotErrors)
              << " ms); unguided within 1 ms " << percent(t.unguidedInMs, t.traces) << "%; skipped picks named "
              << percent(t.skippedFound, t.skipped) << "%, good called skipped " << percent(t.goodSkipped, t.good, 3)
              << "%, mispicks found " << percent(t.mispicksFound, t.mispicks) << "%\n";
    }
    out().flush();
}

double threadSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

void speed()
{
    const Family f{QString(), TraceWavelet::Berlage, false, 1, 40, 10};
    QVector<Shot> shots;
    for (int s = 0; s < 4; ++s)
        shots.append(makeShot(f, s, 77));
    const FbQc::OnsetPickerSettings settings;
    double sink = 0;
    auto rate = [&](bool guided) {
        qint64 traces = 0;
        const double start = threadSeconds();
        double now = start;
        while (now - start < 2) {
            for (const Shot &s : shots)
                for (int c = 0; c < Channels; ++c) {
                    const FbQc::TraceSamples trace = FbQc::traceOf(s.gather, c);
                    const FbQc::OnsetPick pick =
                        guided ? FbQc::pickOnsetNear(trace, s.truth[c] + 5, settings)
                               : FbQc::pickOnset(trace, trace.timeOf(0), trace.timeOf(Samples - 1), settings);
                    sink += pick.found ? pick.onsetMs : 0;
                }
            traces += shots.size() * Channels;
            now = threadSeconds();
        }
        return traces / (now - start);
    };
    const double guided = rate(true), whole = rate(false);
    qint64 gatherTraces = 0;
    const double start = threadSeconds();
    double now = start;
    while (now - start < 2) {
        for (const Shot &s : shots)
            for (const FbQc::OnsetPick &pick : FbQc::pickGather(s.gather, {}, settings))
                sink += pick.found ? pick.onsetMs : 0;
        gatherTraces += shots.size() * Channels;
        now = threadSeconds();
    }
    const double gather = gatherTraces / (now - start);
    out() << "\nSpeed (traces of " << Samples << " samples per second of thread CPU time, one core):\n"
          << "  guided, window +/- " << settings.windowMs << " ms   " << QString::number(guided, 'f', 0)
          << (guided >= 50000 ? "  (goal >= 50,000: met)" : "  (goal >= 50,000: MISSED)") << "\n"
          << "  whole trace                  " << QString::number(whole, 'f', 0)
          << (whole >= 50000 ? "  (goal >= 50,000: met)" : "  (goal >= 50,000: MISSED)") << "\n"
          << "  whole shots, no prediction   " << QString::number(gather, 'f', 0)
          << (gather >= 50000 ? "  (goal >= 50,000: met)" : "  (goal >= 50,000: MISSED)") << "\n"
          << "  (checksum " << QString::number(sink, 'g', 6) << ")" << Qt::endl;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Accuracy of the onset picker, the snap and the waveform checks on"
                                                    " synthesized gathers, and the picker's speed."));
    parser.addHelpOption();
    const QCommandLineOption shotsOption(QStringLiteral("shots"), QStringLiteral("Shots a family (default 4)."),
                                         QStringLiteral("N"), QStringLiteral("4"));
    const QCommandLineOption noSpeed(QStringLiteral("no-speed"), QStringLiteral("Skip the timing."));
    const QCommandLineOption list(QStringLiteral("list"),
                                  QStringLiteral("Print every skipped pick not named and every pick wrongly named."));
    parser.addOptions({shotsOption, noSpeed, list});
    parser.process(app);
    listMisses = parser.isSet(list);
    bool ok = false;
    const int shots = parser.value(shotsOption).toInt(&ok);
    if (!ok || shots < 1) {
        QTextStream(stderr) << "pickaccuracy: --shots needs a whole number of at least 1" << Qt::endl;
        return 2;
    }
    accuracy(shots);
    if (!parser.isSet(noSpeed))
        speed();
    return 0;
}
