// The onset picker on synthesized traces with a known first break: each
// wavelet and polarity, noise, the field's traps, the phases it can pick on,
// snapping a click, and the waveform checks on planted cycle skips and
// mispicks beside their clean twin.

#include <fbfile/fbgenerator.h>
#include <fbqc/onsetpicker.h>
#include <fbtrace/shotgather.h>
#include <fbtrace/tracedataset.h>
#include <fbtrace/tracegenerator.h>
#include <fbtrace/tracesynth.h>

#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cmath>

using namespace FbTrace;

using namespace FbQc;

namespace {

constexpr int Seeds = 12;
constexpr double OnsetMs = 150.3; // between samples at every interval used

// What a row expects of the picks on its seeds.
enum class Expect {
    Confident,             // every pick found, confident, on the first motion's side, within the tolerance
    Found,                 // every pick found within the tolerance, confident or not
    NeverConfidentlyWrong, // a confident pick is within the tolerance
    Doubtful,              // no pick is confident
};

enum class Trap { None, Clipped, Hum, AirWave, Emergent, NoArrival, AfterWindow };

TraceSynthParams paramsOf(TraceWavelet wavelet, int polarity, double hz, double signalToNoise, Trap trap)
{
    TraceSynthParams p;
    p.onsetMs = OnsetMs;
    p.wavelet = wavelet;
    p.polarity = polarity;
    p.dominantHz = hz;
    p.signalToNoise = signalToNoise;
    switch (trap) {
    case Trap::None:
        break;
    case Trap::Clipped: // near the source: strong, clipped at a tenth of its peak
        p.clipAt = 0.1;
        break;
    case Trap::Hum: // far out: a mains hum six times the noise
        p.humHz = 50;
        p.humAmplitude = 6 / signalToNoise;
        break;
    case Trap::AirWave: // near a hammer on slow ground: sound first, twice as strong
        p.airWaveMs = OnsetMs - 10;
        p.airWaveAmplitude = 2;
        break;
    case Trap::Emergent:
        p.emergent = true;
        break;
    case Trap::NoArrival:
        p.onsetMs = -1;
        break;
    case Trap::AfterWindow: // starts 4 or 16 ms after the end of the window searched
        p.onsetMs = OnsetMs + 40;
        break;
    }
    return p;
}

TraceSamples samplesOf(const QVector<float> &trace, const TraceSynthParams &p)
{
    return TraceSamples{trace.constData(), trace.size(), p.firstSampleMs, p.sampleIntervalMs};
}

// The time of the extreme (sign +1 / -1, the first after the onset) or of
// the first lobe's end (sign 0) on the noise-free trace sampled 100 times
// finer: the truth for the phases, whatever the wavelet's constants.
double fineTruth(TraceSynthParams p, int sign)
{
    p.signalToNoise = 0;
    p.laterArrivals = 0;
    p.sampleIntervalMs /= 100;
    p.samples *= 100;
    const QVector<float> t = synthesizeTrace(p);
    int i = int(std::ceil((p.onsetMs - p.firstSampleMs) / p.sampleIntervalMs));
    const int firstSign = t[i + 1] > 0 ? 1 : -1;
    if (sign == 0) {
        while (i + 1 < t.size() && t[i + 1] * firstSign > 0)
            ++i;
        return p.firstSampleMs + (i + 0.5) * p.sampleIntervalMs;
    }
    while (i + 1 < t.size() && !(t[i] * sign > 0 && t[i + 1] * sign < t[i] * sign))
        ++i;
    return p.firstSampleMs + i * p.sampleIntervalMs;
}

// A later, stronger wave behind the first break from the trace `from` out
// (-1: none): lagMs behind it there, growthMs more a trace beyond, `strength`
// times as loud. Ringing at a high pitch, or of the first break's own shape
// and pitch (a deeper refractor's head wave, a strong reflection).
struct LaterWave
{
    int from = -1;
    double lagMs = 0;
    double growthMs = 0;
    double strength = 0;
    bool ringing = false;
};

// Traces too weak to be confident alone among clear ones, at
// signalToNoise; `early` ones 3 ms early (statics). The `vouched` ones are
// to come out confident on their neighbours' word, the rest doubtful.
struct WeakTraces
{
    QVector<int> traces;
    double signalToNoise = 2;
    QVector<int> early;
    QVector<int> vouched;
};

// What a shot's traces carry beside their first break.
struct Oddities
{
    bool offsets = false;  // headers give offsets 10 m apart; else all 0
    QVector<int> dead;     // traces of noise only
    QVector<int> bursts;   // traces with a loud burst at 20 ms
    QVector<int> airWaves; // traces whose air wave, twice as loud, comes 8 ms before the ground wave
    QVector<int> weak;     // traces too weak to judge alone, at weakSignalToNoise
    double weakSignalToNoise = 2;
    QVector<int> early; // traces whose onset comes 3 ms early (statics)
    double signalToNoise = 30;
    bool emergent = false;    // first breaks that build up over a few periods
    QVector<int> lowPitched;  // these traces alone emergent, at a lower pitch than the rest
    bool splitSpread = false; // the source mid-spread: offsets of both signs, onsets rising both ways
    LaterWave later;
    bool strongSide = false;  // on a split spread, the traces from the source on at S/N 30
    double firstOnsetMs = 60; // the onset nearest the source
    double stepMs = 1.5;      // the moveout from one trace to the next
    // Above 0: near the source the first break is a slow top layer's direct
    // wave, from 1 ms at the source this much later a trace, until the
    // faster wave's onsets above come first (a bend in the moveout).
    double directStepMs = 0;
    double directStartMs = 1; // the direct wave's time at the source
    // On a split spread, the source half a group from the nearest traces
    // on either side (offsets ±5 m, ±15 m, ...), not on a trace.
    bool sourceBetween = false;
};

// A shot of `traces` channels whose onsets step out by stepMs a trace from
// firstOnsetMs (from the middle trace out on a split spread), each trace with its
// own noise; the true onsets in *truth.
ShotGather gatherOf(TraceWavelet wavelet, double hz, int traces, QVector<double> *truth,
                    const Oddities &odd = Oddities())
{
    ShotGather g;
    g.ffid = 1;
    g.sampleIntervalMs = 0.5;
    g.samplesPerTrace = 1000;
    for (int c = 0; c < traces; ++c) {
        TraceSynthParams p;
        p.sampleIntervalMs = g.sampleIntervalMs;
        p.samples = g.samplesPerTrace;
        const int out = odd.splitSpread ? c - traces / 2 : c;
        // In groups from the source; the moveout steps from the nearest trace.
        const double at = odd.sourceBetween ? out + 0.5 : out;
        const double beyondNearest = std::abs(at) - (odd.sourceBetween ? 0.5 : 0);
        p.onsetMs = odd.firstOnsetMs + odd.stepMs * beyondNearest;
        if (odd.directStepMs > 0)
            p.onsetMs = std::min(p.onsetMs, odd.directStartMs + odd.directStepMs * std::abs(at));
        p.wavelet = wavelet;
        p.emergent = odd.emergent || odd.lowPitched.contains(c);
        p.dominantHz = hz;
        p.signalToNoise = odd.weak.contains(c)         ? odd.weakSignalToNoise
                          : odd.strongSide && out >= 0 ? 30
                                                       : odd.signalToNoise;
        p.seed = 100 + c;
        if (odd.early.contains(c))
            p.onsetMs -= 3;
        if (odd.dead.contains(c))
            p.onsetMs = -1;
        if (odd.bursts.contains(c)) {
            p.airWaveMs = 20;
            p.airWaveAmplitude = 3;
        }
        const LaterWave &later = odd.later;
        if (later.from >= 0 && out >= later.from) {
            const double ms = p.onsetMs + later.lagMs + later.growthMs * (out - later.from);
            (later.ringing ? p.airWaveMs : p.secondArrivalMs) = ms;
            (later.ringing ? p.airWaveAmplitude : p.secondAmplitude) = later.strength;
        }
        if (odd.airWaves.contains(c)) {
            p.airWaveMs = p.onsetMs - 8;
            p.airWaveAmplitude = 2;
        }
        TraceHeader h;
        h.channel = c + 1;
        h.offset = odd.offsets ? 10.0 * at : 0.0;
        g.headers.append(h);
        g.samples += synthesizeTrace(p);
        truth->append(p.onsetMs);
    }
    return g;
}

} // namespace

Q_DECLARE_METATYPE(TraceWavelet)
Q_DECLARE_METATYPE(Expect)
Q_DECLARE_METATYPE(Trap)
Q_DECLARE_METATYPE(PickPhase)
Q_DECLARE_METATYPE(LaterWave)
Q_DECLARE_METATYPE(WeakTraces)

class TestOnsetPicker : public QObject
{
    Q_OBJECT

private slots:
    void picksOnsets_data()
    {
        QTest::addColumn<TraceWavelet>("wavelet");
        QTest::addColumn<int>("polarity");
        QTest::addColumn<double>("hz");
        QTest::addColumn<double>("signalToNoise"); // 0: none
        QTest::addColumn<double>("sampleMs");
        QTest::addColumn<Trap>("trap");
        QTest::addColumn<double>("periodMs"); // given to the picker; 0: measured
        QTest::addColumn<double>("toleranceMs");
        QTest::addColumn<Expect>("expect");
        // The median error over the seeds at most this; 0: not looked at.
        // Reading an onset late by a share of the period shows here first.
        QTest::addColumn<double>("biasMs");
        const auto B = TraceWavelet::Berlage, D = TraceWavelet::DampedSine;
        QTest::newRow("Berlage +, 40 Hz, S/N 30")
            << B << 1 << 40.0 << 30.0 << 0.5 << Trap::None << 0.0 << 2.0 << Expect::Confident << 0.3;
        QTest::newRow("Berlage -, 25 Hz, S/N 30")
            << B << -1 << 25.0 << 30.0 << 0.5 << Trap::None << 0.0 << 3.0 << Expect::Confident << 0.3;
        QTest::newRow("damped sine +, 40 Hz, S/N 30")
            << D << 1 << 40.0 << 30.0 << 0.5 << Trap::None << 0.0 << 1.0 << Expect::Confident << 0.0;
        QTest::newRow("damped sine -, 60 Hz, S/N 10")
            << D << -1 << 60.0 << 10.0 << 0.5 << Trap::None << 0.0 << 1.5 << Expect::Found << 0.0;
        QTest::newRow("damped sine, no noise")
            << D << 1 << 40.0 << 0.0 << 0.5 << Trap::None << 0.0 << 0.1 << Expect::Confident << 0.0;
        QTest::newRow("Berlage, no noise")
            << B << -1 << 40.0 << 0.0 << 0.5 << Trap::None << 0.0 << 0.4 << Expect::Confident << 0.0;
        QTest::newRow("Berlage, 1 ms samples")
            << B << 1 << 30.0 << 30.0 << 1.0 << Trap::None << 0.0 << 2.0 << Expect::Confident << 0.5;
        QTest::newRow("damped sine, 0.25 ms samples")
            << D << -1 << 40.0 << 30.0 << 0.25 << Trap::None << 0.0 << 1.0 << Expect::Confident << 0.0;
        QTest::newRow("clipped near the source")
            << D << 1 << 40.0 << 300.0 << 0.5 << Trap::Clipped << 0.0 << 1.0 << Expect::Confident << 0.0;
        QTest::newRow("hum on a far channel")
            << B << 1 << 40.0 << 30.0 << 0.5 << Trap::Hum << 0.0 << 2.0 << Expect::Confident << 0.0;
        QTest::newRow("air wave first, period given")
            << B << 1 << 40.0 << 30.0 << 0.5 << Trap::AirWave << 25.0 << 1.0 << Expect::Found << 0.0;
        QTest::newRow("emergent, S/N 30")
            << B << 1 << 40.0 << 30.0 << 0.5 << Trap::Emergent << 0.0 << 8.0 << Expect::NeverConfidentlyWrong << 0.0;
        // A low pitch: the first cycle lasts longer than the search's margin.
        QTest::newRow("emergent 25 Hz, S/N 30")
            << B << 1 << 25.0 << 30.0 << 0.5 << Trap::Emergent << 0.0 << 5.0 << Expect::Found << 1.0;
        QTest::newRow("emergent, S/N 10")
            << B << -1 << 40.0 << 10.0 << 0.5 << Trap::Emergent << 0.0 << 0.0 << Expect::Doubtful << 0.0;
        QTest::newRow("no arrival") << D << 1 << 40.0 << 10.0 << 0.5 << Trap::NoArrival << 0.0 << 0.0
                                    << Expect::Doubtful << 0.0;
        QTest::newRow("arrival after the window")
            << B << 1 << 40.0 << 30.0 << 0.5 << Trap::AfterWindow << 0.0 << 0.0 << Expect::Doubtful << 0.0;
    }

    void picksOnsets()
    {
        QFETCH(TraceWavelet, wavelet);
        QFETCH(int, polarity);
        QFETCH(double, hz);
        QFETCH(double, signalToNoise);
        QFETCH(double, sampleMs);
        QFETCH(Trap, trap);
        QFETCH(double, periodMs);
        QFETCH(double, toleranceMs);
        QFETCH(Expect, expect);
        QFETCH(double, biasMs);
        QVector<double> errors;
        OnsetPickerSettings settings;
        settings.periodMs = periodMs;
        for (int seed = 1; seed <= Seeds; ++seed) {
            TraceSynthParams p = paramsOf(wavelet, polarity, hz, signalToNoise, trap);
            p.sampleIntervalMs = sampleMs;
            p.samples = int(1000 / sampleMs);
            p.firstSampleMs = sampleMs > 0.5 ? -20 : 0; // a pre-trigger on the coarse row
            p.seed = quint64(seed);
            const QVector<float> trace = synthesizeTrace(p);
            // Predicted as a fitted curve would: a few ms off either way.
            const double predicted = OnsetMs + (seed % 2 ? 6 : -6);
            const OnsetPick pick = pickOnsetNear(samplesOf(trace, p), predicted, settings);
            const bool confident = pick.found && pick.confidence >= settings.minimumConfidence;
            const double error = pick.onsetMs - OnsetMs;
            errors.append(error);
            const QByteArray where = QByteArray("seed ") + QByteArray::number(seed) + " error " +
                                     QByteArray::number(error) + " confidence " + QByteArray::number(pick.confidence);
            switch (expect) {
            case Expect::Confident:
                QVERIFY2(confident, where);
                QVERIFY2(pick.polarity == polarity, where);
                Q_FALLTHROUGH();
            case Expect::Found:
                QVERIFY2(pick.found && std::fabs(error) <= toleranceMs, where);
                QCOMPARE(pick.timeMs, pick.onsetMs);
                break;
            case Expect::NeverConfidentlyWrong:
                QVERIFY2(!confident || std::fabs(error) <= toleranceMs, where);
                break;
            case Expect::Doubtful:
                QVERIFY2(!confident, where);
                break;
            }
        }
        std::sort(errors.begin(), errors.end());
        const double median = (errors[Seeds / 2 - 1] + errors[Seeds / 2]) / 2;
        QVERIFY2(biasMs == 0 || std::fabs(median) <= biasMs, qPrintable(QString::number(median)));
    }

    // Picking on another phase, and snapping a click to each phase, against
    // the noise-free waveform sampled finely. A broad peak moves with the
    // noise by a millisecond; the wrong lobe would be a quarter period off.
    void phasesAndSnaps_data()
    {
        QTest::addColumn<TraceWavelet>("wavelet");
        QTest::addColumn<int>("polarity");
        QTest::addColumn<PickPhase>("phase");
        QTest::addColumn<double>("clickOffMs"); // the click, from the phase's truth
        QTest::addColumn<double>("toleranceMs");
        const auto B = TraceWavelet::Berlage, D = TraceWavelet::DampedSine;
        QTest::newRow("onset, click 20 ms early") << D << 1 << PickPhase::Onset << -20.0 << 1.0;
        QTest::newRow("onset, click 3 ms early") << B << -1 << PickPhase::Onset << -3.0 << 2.0;
        QTest::newRow("onset, click 3 ms late") << D << -1 << PickPhase::Onset << 3.0 << 1.0;
        QTest::newRow("onset, click 20 ms late") << B << 1 << PickPhase::Onset << 20.0 << 2.0;
        QTest::newRow("first peak, positive first motion") << D << 1 << PickPhase::FirstPeak << 4.0 << 1.5;
        QTest::newRow("first peak, negative first motion") << B << -1 << PickPhase::FirstPeak << -4.0 << 1.5;
        QTest::newRow("first trough, positive first motion") << B << 1 << PickPhase::FirstTrough << 4.0 << 1.5;
        QTest::newRow("first trough, negative first motion") << D << -1 << PickPhase::FirstTrough << -4.0 << 1.5;
        QTest::newRow("zero crossing") << D << 1 << PickPhase::ZeroCrossing << 3.0 << 0.75;
    }

    void phasesAndSnaps()
    {
        QFETCH(TraceWavelet, wavelet);
        QFETCH(int, polarity);
        QFETCH(PickPhase, phase);
        QFETCH(double, clickOffMs);
        QFETCH(double, toleranceMs);
        TraceSynthParams p = paramsOf(wavelet, polarity, 40, 30, Trap::None);
        const double truth = phase == PickPhase::Onset         ? OnsetMs
                             : phase == PickPhase::FirstPeak   ? fineTruth(p, 1)
                             : phase == PickPhase::FirstTrough ? fineTruth(p, -1)
                                                               : fineTruth(p, 0);
        OnsetPickerSettings settings;
        settings.phase = phase;
        for (int seed = 1; seed <= Seeds; ++seed) {
            p.seed = quint64(seed);
            const QVector<float> trace = synthesizeTrace(p);
            const TraceSamples samples = samplesOf(trace, p);
            const QByteArray where = QByteArray("seed ") + QByteArray::number(seed);
            const OnsetPick pick = pickOnsetNear(samples, OnsetMs + 5, settings);
            QVERIFY2(pick.found, where);
            if (phase != PickPhase::Onset) // the onset's own accuracy is the rows above
                QVERIFY2(std::fabs(pick.timeMs - truth) <= toleranceMs,
                         where + " picked " + QByteArray::number(pick.timeMs) + " truth " + QByteArray::number(truth));
            const double snapped = snapTime(samples, truth + clickOffMs, 25, phase);
            QVERIFY2(std::fabs(snapped - truth) <= toleranceMs,
                     where + " snapped " + QByteArray::number(snapped) + " truth " + QByteArray::number(truth));
            // Out of reach of the arrival the onset is not made up.
            QVERIFY2(std::isnan(snapTime(samples, OnsetMs - 60, 5, PickPhase::Onset)), where);
        }
    }

    // Runs of picks a period late or early, a pick a third of a period off,
    // beside the clean twin: the check names exactly what was planted. On a
    // record mixing wavelets each pick is off by its own trace's period (its
    // clean twins: the generated shots' true picks, below).
    void waveformChecks_data()
    {
        QTest::addColumn<TraceWavelet>("wavelet");
        QTest::addColumn<double>("hz");
        QTest::addColumn<int>("runFrom"); // first skipped trace; -1: none
        QTest::addColumn<int>("runLength");
        QTest::addColumn<int>("runSign");  // +1: a period late, -1: early
        QTest::addColumn<int>("mispick");  // trace a third of a period late; -1: none
        QTest::addColumn<int>("weakFrom"); // traces weakFrom to weakTo - 1 too weak to judge alone
        QTest::addColumn<int>("weakTo");
        QTest::addColumn<bool>("mixed"); // every third trace emergent at a lower pitch
        const auto B = TraceWavelet::Berlage, D = TraceWavelet::DampedSine;
        QTest::newRow("clean twin, Berlage") << B << 40.0 << -1 << 0 << 0 << -1 << -1 << -1 << false;
        QTest::newRow("clean twin, damped sine") << D << 25.0 << -1 << 0 << 0 << -1 << -1 << -1 << false;
        QTest::newRow("run of 6 a period late") << B << 40.0 << 10 << 6 << 1 << -1 << -1 << -1 << false;
        QTest::newRow("run of 3 a period early") << D << 40.0 << 20 << 3 << -1 << -1 << -1 << -1 << false;
        QTest::newRow("one skipped pick, 25 Hz") << B << 25.0 << 30 << 1 << 1 << -1 << -1 << -1 << false;
        QTest::newRow("run at the gather's edge") << D << 50.0 << 0 << 5 << 1 << -1 << -1 << -1 << false;
        QTest::newRow("a mispick, no run") << B << 40.0 << -1 << 0 << 0 << 17 << -1 << -1 << false;
        QTest::newRow("a run and a mispick") << D << 40.0 << 30 << 8 << 1 << 12 << -1 << -1 << false;
        // Judged against their neighbours' stacked waveforms instead.
        QTest::newRow("weak run of 5 a period late") << B << 40.0 << 20 << 5 << 1 << -1 << 16 << 29 << false;
        QTest::newRow("weak clean twin") << B << 40.0 << -1 << 0 << 0 << -1 << 16 << 29 << false;
        QTest::newRow("mixed wavelets, run of 7 late") << B << 40.0 << 9 << 7 << 1 << -1 << -1 << -1 << true;
    }

    void waveformChecks()
    {
        QFETCH(TraceWavelet, wavelet);
        QFETCH(double, hz);
        QFETCH(int, runFrom);
        QFETCH(int, runLength);
        QFETCH(int, runSign);
        QFETCH(int, mispick);
        QFETCH(int, weakFrom);
        QFETCH(int, weakTo);
        QFETCH(bool, mixed);
        constexpr int Traces = 48;
        QVector<double> truth;
        Oddities odd;
        for (int c = weakFrom; c >= 0 && c < weakTo; ++c)
            odd.weak.append(c);
        for (int c = 1; mixed && c < Traces; c += 3)
            odd.lowPitched.append(c);
        const ShotGather gather = gatherOf(wavelet, hz, Traces, &truth, odd);
        const double period = dominantPeriodMs(hz);
        auto periodOf = [&](int c) { return odd.lowPitched.contains(c) ? period / EmergentFrequencyRatio : period; };
        QVector<double> picks = truth;
        for (int c = runFrom; c >= 0 && c < runFrom + runLength; ++c)
            picks[c] += runSign * periodOf(c);
        if (mispick >= 0)
            picks[mispick] += periodOf(mispick) / 3;
        picks[Traces - 1] = NAN; // a trace without a pick

        const WaveformCheck check = checkWaveforms(gather, picks);
        QCOMPARE(check.traces.size(), Traces);
        QVERIFY2(std::fabs(check.periodMs - period) <= 0.2 * period, QByteArray::number(check.periodMs));
        QCOMPARE(check.cycleSkipRuns, runLength > 0 ? 1 : 0);
        for (int c = 0; c < Traces; ++c) {
            const WaveformJudgement &j = check.traces[c];
            WaveformVerdict expected = c == Traces - 1                           ? WaveformVerdict::NotJudged
                                       : c >= runFrom && c < runFrom + runLength ? WaveformVerdict::CycleSkip
                                       : c == mispick                            ? WaveformVerdict::OffOnset
                                                                                 : WaveformVerdict::Good;
            // A weak trace's good pick may be judged alone or not at all.
            if (expected == WaveformVerdict::Good && odd.weak.contains(c) && j.verdict == WaveformVerdict::TooWeak)
                expected = WaveformVerdict::TooWeak;
            QVERIFY2(j.verdict == expected,
                     QByteArray("trace ") + QByteArray::number(c) + " verdict " + QByteArray::number(int(j.verdict)) +
                         " onset " + QByteArray::number(j.onsetMs) + " truth " + QByteArray::number(truth[c]));
            if (expected != WaveformVerdict::NotJudged && expected != WaveformVerdict::TooWeak)
                QCOMPARE(j.displacementMs, picks[c] - j.onsetMs);
        }
    }

    // Whole shots picked with no prediction, or around a fitted curve's
    // times a few ms off: every live trace on its onset, dead ones doubtful.
    void picksWholeShots_data()
    {
        QTest::addColumn<TraceWavelet>("wavelet");
        QTest::addColumn<double>("hz");
        QTest::addColumn<bool>("offsets");
        QTest::addColumn<double>("predictionOffMs"); // NaN: no prediction
        QTest::addColumn<QVector<int>>("dead");
        QTest::addColumn<QVector<int>>("bursts");
        QTest::addColumn<QVector<int>>("airWaves");
        QTest::addColumn<double>("toleranceMs");
        QTest::addColumn<double>("signalToNoise");
        // Of the live traces without an air wave, at least this share within
        // 1 ms: the shot's period read on every trace keeps a noisy one's
        // onset where a single trace's lobes would scatter it.
        QTest::addColumn<double>("within1Share");
        QTest::addColumn<bool>("emergent");
        QTest::addColumn<bool>("splitSpread");
        QTest::addColumn<LaterWave>("later");
        QTest::addColumn<bool>("strongSide");
        QTest::addColumn<double>("firstOnsetMs");
        QTest::addColumn<double>("stepMs");
        QTest::addColumn<double>("directStepMs"); // 0: one moveout, no bend
        QTest::addColumn<WeakTraces>("weak");
        const auto B = TraceWavelet::Berlage, D = TraceWavelet::DampedSine;
        const QVector<int> none;
        const LaterWave no, ringing{6, 20, 4, 3, true};
        const WeakTraces clear;
        QTest::newRow("offsets from the headers")
            << B << 40.0 << true << double(NAN) << none << none << none << 2.0 << 30.0 << 0.9 << false << false << no
            << false << 60.0 << 1.5 << 0.0 << clear;
        QTest::newRow("no offsets: by position")
            << D << 25.0 << false << double(NAN) << none << none << none << 2.0 << 30.0 << 0.9 << false << false << no
            << false << 60.0 << 1.5 << 0.0 << clear;
        QTest::newRow("around a fitted curve 8 ms off")
            << B << 40.0 << true << 8.0 << none << none << none << 2.0 << 30.0 << 0.9 << false << false << no << false
            << 60.0 << 1.5 << 0.0 << clear;
        QTest::newRow("dead traces") << D << 40.0 << true << double(NAN) << QVector<int>{0, 5, 6, 30} << none << none
                                     << 2.0 << 30.0 << 0.9 << false << false << no << false << 60.0 << 1.5 << 0.0
                                     << clear;
        QTest::newRow("bursts before the first break")
            << D << 40.0 << true << double(NAN) << none << QVector<int>{3, 17, 18, 40} << none << 2.0 << 30.0 << 0.9
            << false << false << no << false << 60.0 << 1.5 << 0.0 << clear;
        QTest::newRow("air wave first near the source")
            << B << 40.0 << true << double(NAN) << none << none << QVector<int>{0, 1, 2, 3} << 2.0 << 30.0 << 0.9
            << false << false << no << false << 60.0 << 1.5 << 0.0 << clear;
        QTest::newRow("Berlage 25 Hz, S/N 10")
            << B << 25.0 << true << double(NAN) << none << none << none << 99.0 << 10.0 << 0.65 << false << false << no
            << false << 60.0 << 1.5 << 0.0 << clear;
        // Below one trace's noise: the first break read on the neighbours'
        // stack, carried back to each trace.
        QTest::newRow("Berlage 40 Hz, S/N 3") << B << 40.0 << true << double(NAN) << none << none << none << 5.0 << 3.0
                                              << 0.45 << false << false << no << false << 60.0 << 1.5 << 0.0 << clear;
        QTest::newRow("emergent 40 Hz, S/N 10")
            << B << 40.0 << true << double(NAN) << none << none << none << 10.0 << 10.0 << 0.65 << true << false << no
            << false << 60.0 << 1.5 << 0.0 << clear;
        QTest::newRow("around a fitted curve 8 ms off, S/N 5")
            << B << 25.0 << true << 8.0 << none << none << none << 5.0 << 5.0 << 0.55 << false << false << no << false
            << 60.0 << 1.5 << 0.0 << clear;
        // Below one trace's noise a stack's reading wanders along the side
        // by a few ms, unless the wide stack steadies it.
        QTest::newRow("around a fitted curve 8 ms off, S/N 3")
            << B << 40.0 << true << 8.0 << none << none << none << 2.5 << 3.0 << 0.5 << false << false << no << false
            << 60.0 << 1.5 << 0.0 << clear;
        // Neighbouring stacks share their noise, and their readings of an
        // emergent onset stray together along the side by 3-4 ms.
        QTest::newRow("emergent 40 Hz around a fitted curve, S/N 3")
            << B << 40.0 << true << 8.0 << none << none << none << 2.5 << 3.0 << 0.5 << true << false << no << false
            << 60.0 << 1.5 << 0.0 << clear;
        // A low pitch under noise of a higher one: wiggles across the
        // arrival's crossings are not its lobes, and a weak trace's own lag
        // scatters by a millisecond or two where its neighbours' line does not.
        QTest::newRow("emergent 25 Hz around a fitted curve, S/N 5")
            << B << 25.0 << true << 8.0 << none << none << none << 5.0 << 5.0 << 0.5 << true << false << no << false
            << 60.0 << 1.5 << 0.0 << clear;
        // At the far end of the spread a trace's best lag lies at the edge
        // of those scored, next to a higher one: refined as a peak, it ran
        // off by four periods.
        QTest::newRow("emergent 40 Hz around a fitted curve, S/N 4")
            << B << 40.0 << true << 8.0 << none << none << none << 5.0 << 4.0 << 0.5 << true << false << no << false
            << 60.0 << 1.5 << 0.0 << clear;
        // A run of a side's stacks reads an emergent arrival's second lobe;
        // the side's level, nearer the fitted curve, brings it back.
        QTest::newRow("emergent 40 Hz around a fitted curve, S/N 2.5")
            << B << 40.0 << true << 8.0 << none << none << none << 30.0 << 2.5 << 0.5 << true << false << no << false
            << 60.0 << 1.5 << 0.0 << clear;
        // The onset read half a period before the first lobe's end: the
        // shot's period must be close.
        QTest::newRow("emergent 25 Hz, S/N 10")
            << B << 25.0 << true << double(NAN) << none << none << none << 7.0 << 10.0 << 0.55 << true << false << no
            << false << 60.0 << 1.5 << 0.0 << clear;
        QTest::newRow("split spread, S/N 5") << D << 40.0 << true << double(NAN) << none << none << none << 5.0 << 5.0
                                             << 0.85 << false << true << no << false << 60.0 << 1.5 << 0.0 << clear;
        // Past the first traces a louder, slower wave follows the first
        // break: each side is followed out from the source.
        QTest::newRow("louder slower wave, S/N 5")
            << B << 40.0 << true << double(NAN) << none << none << none << 5.0 << 5.0 << 0.5 << false << false
            << ringing << false << 60.0 << 1.5 << 0.0 << clear;
        // A weak first break and, from the source out, a wave three times as
        // strong 1.6 periods behind it and 3 ms more a trace: beyond a few
        // traces most picks are on that wave, and a line through them lies
        // late on the first break's picks between.
        QTest::newRow("strong later wave, S/N 5")
            << B << 40.0 << true << double(NAN) << none << none << none << 5.0 << 5.0 << 0.5 << false << false
            << LaterWave{0, 40, 3, 3, false} << false << 60.0 << 1.5 << 0.0 << clear;
        // One side too weak for a confident pick: followed out from the
        // source from its doubtful picks, while the other side reads clearly.
        QTest::newRow("split spread, one side S/N 3")
            << B << 40.0 << true << double(NAN) << none << none << none << 5.0 << 3.0 << 0.5 << false << true << no
            << true << 60.0 << 1.5 << 0.0 << clear;
        QTest::newRow("source at 1 ms, S/N 30")
            << D << 40.0 << true << double(NAN) << none << none << none << 2.0 << 30.0 << 0.85 << false << true << no
            << false << 1.0 << 1.5 << 0.0 << clear;
        // At the source the first break fills the first samples; near it the
        // moveout is steep, so the neighbours' line misses it there.
        QTest::newRow("source at 1 ms, steep, S/N 5")
            << D << 25.0 << true << double(NAN) << none << none << none << 5.0 << 5.0 << 0.5 << false << true << no
            << false << 1.0 << 6.0 << 0.0 << clear;
        // Hardly a confident pick in the shot, and now and then noise as
        // confident as the first break: the picks that line up with their
        // neighbours' are the ones to draw the neighbours' lines through.
        QTest::newRow("weak shot, steep, S/N 3")
            << D << 40.0 << true << double(NAN) << none << none << none << 5.0 << 3.0 << 0.5 << false << true << no
            << false << 60.0 << 5.0 << 0.0 << clear;
        // A doubtful pick off the followed line where the search near the
        // line reads only weaker noise: drawn through that noise, the line
        // runs off the first break and misses the source trace.
        QTest::newRow("weak shot, steep, S/N 4, damped 25 Hz")
            << D << 25.0 << true << double(NAN) << none << none << none << 5.0 << 4.0 << 0.4 << false << true << no
            << false << 60.0 << 7.5 << 0.0 << clear;
        // A few confident picks of a weak shot may be bursts: the shot's
        // period comes from them only where its picks as a whole agree.
        QTest::newRow("emergent 50 Hz, S/N 3")
            << B << 50.0 << true << double(NAN) << none << none << none << 99.0 << 3.0 << 0.4 << true << false << no
            << false << 60.0 << 1.5 << 0.0 << clear;
        QTest::newRow("50 Hz, S/N 3, four bursts")
            << B << 50.0 << true << double(NAN) << none << QVector<int>{5, 14, 27, 38} << none << 5.0 << 3.0 << 0.5
            << false << false << no << false << 60.0 << 1.5 << 0.0 << clear;
        // Over a slow top layer the first traces out from the source carry its
        // direct wave, far steeper than the faster wave beyond: the line
        // through their neighbours is that wave's drawn back, and misses them.
        QTest::newRow("bend near the source, S/N 5")
            << B << 40.0 << true << double(NAN) << none << none << none << 5.0 << 5.0 << 0.7 << false << true << no
            << false << 60.0 << 3.0 << 25.0 << clear;
        // Three traces on each side on the direct wave: their neighbours'
        // stacks line up on the faster wave a period or more late there.
        QTest::newRow("bend near the source, damped 40 Hz, S/N 10")
            << D << 40.0 << true << double(NAN) << none << none << none << 5.0 << 10.0 << 0.85 << false << true << no
            << false << 60.0 << 1.5 << 20.0 << clear;
        // The few traces confident on their own here measure cycles that
        // noise drew out to 2.5 periods: picked with that, none is found.
        QTest::newRow("damped 40 Hz, S/N 5: cycles drawn out by noise")
            << D << 40.0 << true << double(NAN) << none << none << none << 5.0 << 5.0 << 0.5 << false << true << no
            << false << 60.0 << 3.0 << 0.0 << clear;
        QTest::newRow("weak shot, steeper, S/N 4")
            << B << 40.0 << true << double(NAN) << none << none << none << 5.0 << 4.0 << 0.6 << false << false << no
            << false << 60.0 << 6.0 << 0.0 << clear;
        // A trace too weak to be confident alone whose onset continues the
        // line its neighbours agree on is confident (37). Not so where only
        // half of them agree (0, at the end: 4 of its 8 are statics), where
        // it lies 3 ms off their line (20), or where its own onset stands
        // too little above the noise (10, at S/N 2).
        QTest::newRow("weak traces: on the line, half off, 3 ms off")
            << B << 40.0 << true << double(NAN) << none << none << none << 2.0 << 30.0 << 0.9 << false << false << no
            << false << 60.0 << 1.5 << 0.0 << WeakTraces{{0, 20, 37}, 5, {5, 6, 7, 8, 20}, {37}};
        QTest::newRow("weak trace too faint for an onset of its own")
            << B << 40.0 << true << double(NAN) << none << none << none << 2.0 << 30.0 << 0.9 << false << false << no
            << false << 60.0 << 1.5 << 0.0 << WeakTraces{{10}, 2, {}, {}};
    }

    void picksWholeShots()
    {
        QFETCH(TraceWavelet, wavelet);
        QFETCH(double, hz);
        QFETCH(bool, offsets);
        QFETCH(double, predictionOffMs);
        QFETCH(QVector<int>, dead);
        QFETCH(QVector<int>, bursts);
        QFETCH(QVector<int>, airWaves);
        QFETCH(double, toleranceMs);
        QFETCH(double, signalToNoise);
        QFETCH(double, within1Share);
        QFETCH(bool, emergent);
        QFETCH(bool, splitSpread);
        QFETCH(LaterWave, later);
        QFETCH(bool, strongSide);
        QFETCH(double, firstOnsetMs);
        QFETCH(double, stepMs);
        QFETCH(double, directStepMs);
        QFETCH(WeakTraces, weak);
        QVector<double> truth;
        Oddities odd;
        odd.weak = weak.traces;
        odd.weakSignalToNoise = weak.signalToNoise;
        odd.early = weak.early;
        odd.emergent = emergent;
        odd.splitSpread = splitSpread;
        odd.later = later;
        odd.strongSide = strongSide;
        odd.firstOnsetMs = firstOnsetMs;
        odd.stepMs = stepMs;
        odd.directStepMs = directStepMs;
        odd.signalToNoise = signalToNoise;
        odd.offsets = offsets;
        odd.dead = dead;
        odd.bursts = bursts;
        odd.airWaves = airWaves;
        const ShotGather gather = gatherOf(wavelet, hz, 48, &truth, odd);
        QVector<double> predicted;
        for (int c = 0; std::isfinite(predictionOffMs) && c < truth.size(); ++c)
            predicted.append(truth[c] + (c % 2 ? predictionOffMs : -predictionOffMs));
        const OnsetPickerSettings settings;
        const QVector<OnsetPick> picks = pickGather(gather, predicted, settings);
        QCOMPARE(picks.size(), truth.size());
        int within1 = 0, live = 0;
        for (int c = 0; c < truth.size(); ++c) {
            if (!dead.contains(c) && !airWaves.contains(c)) {
                ++live;
                within1 += picks[c].found && std::fabs(picks[c].onsetMs - truth[c]) <= 1 ? 1 : 0;
            }
            const QByteArray where = QByteArray("trace ") + QByteArray::number(c) + " onset " +
                                     QByteArray::number(picks[c].onsetMs) + " truth " + QByteArray::number(truth[c]);
            const bool confident = picks[c].found && picks[c].confidence >= settings.minimumConfidence;
            const bool within = picks[c].found && std::fabs(picks[c].onsetMs - truth[c]) <= toleranceMs;
            if (weak.traces.contains(c))
                QVERIFY2(confident == weak.vouched.contains(c), where);
            if (dead.contains(c))
                QVERIFY2(!confident, where);
            else if (airWaves.contains(c)) // inside the air wave's ringing: right, or said to be doubtful
                QVERIFY2(within || !confident, where);
            else
                QVERIFY2(picks[c].found && std::fabs(picks[c].onsetMs - truth[c]) <= toleranceMs, where);
        }
        QVERIFY2(within1 >= within1Share * live, qPrintable(QStringLiteral("%1 of %2").arg(within1).arg(live)));
    }

    // A source between two traces over a slow top layer: the traces next to
    // it carry the direct wave, far steeper than the moveout beyond, so
    // their neighbours' stack lines up a period or more late on them, or,
    // where the side's alignments slid early together, reads the noise a
    // period early. Shots guided by a prediction alternately 8 ms early and
    // late; the four traces nearest the source within 5 ms.
    void picksNextToTheSource_data()
    {
        QTest::addColumn<TraceWavelet>("wavelet");
        QTest::addColumn<double>("hz");
        QTest::addColumn<bool>("emergent");
        QTest::addColumn<double>("signalToNoise");
        const auto B = TraceWavelet::Berlage, D = TraceWavelet::DampedSine;
        QTest::newRow("Berlage 25 Hz, S/N 10") << B << 25.0 << false << 10.0;
        QTest::newRow("emergent 50 Hz, S/N 10") << B << 50.0 << true << 10.0;
        QTest::newRow("Berlage 50 Hz, S/N 5") << B << 50.0 << false << 5.0;
        QTest::newRow("damped 50 Hz, S/N 5") << D << 50.0 << false << 5.0;
        QTest::newRow("damped 40 Hz, S/N 5") << D << 40.0 << false << 5.0;
        QTest::newRow("Berlage 50 Hz, S/N 3") << B << 50.0 << false << 3.0;
        QTest::newRow("damped 25 Hz, S/N 5") << D << 25.0 << false << 5.0;
        QTest::newRow("Berlage 40 Hz, S/N 5") << B << 40.0 << false << 5.0;
    }

    void picksNextToTheSource()
    {
        QFETCH(TraceWavelet, wavelet);
        QFETCH(double, hz);
        QFETCH(bool, emergent);
        QFETCH(double, signalToNoise);
        Oddities odd;
        odd.offsets = odd.splitSpread = odd.sourceBetween = true;
        odd.emergent = emergent;
        odd.signalToNoise = signalToNoise;
        odd.firstOnsetMs = 62.5;
        odd.stepMs = 5;
        odd.directStartMs = 20;
        odd.directStepMs = 20;
        QVector<double> truth;
        const ShotGather gather = gatherOf(wavelet, hz, 48, &truth, odd);
        QVector<double> predicted;
        for (int c = 0; c < truth.size(); ++c)
            predicted.append(truth[c] + (c % 2 ? 8 : -8));
        const QVector<OnsetPick> picks = pickGather(gather, predicted);
        for (int c = 22; c < 26; ++c) {
            const QByteArray where = QByteArray("trace ") + QByteArray::number(c) + " onset " +
                                     QByteArray::number(picks[c].onsetMs) + " truth " + QByteArray::number(truth[c]);
            QVERIFY2(picks[c].found && std::fabs(picks[c].onsetMs - truth[c]) <= 5, where);
        }
    }

    // Shots of the generator's line (its default traces: Berlage 40 Hz,
    // S/N 10 unless a row says), every trace within toleranceMs of the truth
    // and the true picks judged no cycle skip. On seed 5's
    // third shot a noise swing in the first motion's sense runs into the
    // first lobe 50 m out: the trace alone reads the lobe from the swing,
    // 5.5 ms early and more confidently than its neighbours' stack. On its
    // fifth shot swings against the first motion set the near traces' own
    // picks 2 ms late, which only a clean stack of their neighbours puts
    // right. At S/N 4 noise far before the first break reads confident,
    // and on seed 2's third shot the side left of the source has no
    // confident pick, its neighbours' line only what lies across the source.
    // Next to the source a swing of the source's own noise runs on into the
    // first break, and the trace reads its start, 12 ms early on seed 3's
    // third shot; over hills (seed 5's second shot) the short side holds
    // two traces, and the one next to the source read 7 ms early confidently.
    void picksGeneratedShots_data()
    {
        QTest::addColumn<quint64>("seed");
        QTest::addColumn<int>("shot"); // from 0
        QTest::addColumn<double>("toleranceMs");
        QTest::addColumn<double>("signalToNoise");
        QTest::addColumn<int>("channels");
        // At least this share of the picks confident: at S/N 4 few onsets
        // clear the confident level alone, but most continue their
        // neighbours' first break.
        QTest::addColumn<double>("confidentShare");
        QTest::addColumn<double>("emergentShare");     // of the traces, by the generator's draw
        QTest::addColumn<double>("offShare");          // of the picks, at most this share beyond toleranceMs
        QTest::addColumn<double>("elevationVelocity"); // the generator's, 0: flat
        QTest::addColumn<bool>("airWave");
        QTest::addColumn<bool>("hammer"); // 1 m stations, 0.125 ms samples, 250 ms records
        QTest::newRow("seed 5, shot 3: a noise swing into the first lobe")
            << quint64(5) << 2 << 2.5 << 10.0 << 96 << 0.9 << 0.0 << 0.0 << 0.0 << false << false;
        QTest::newRow("seed 5, shot 5: swings against the first motion")
            << quint64(5) << 4 << 1.5 << 10.0 << 96 << 0.9 << 0.0 << 0.0 << 0.0 << false << false;
        QTest::newRow("seed 3, shot 8, S/N 4: noise confident far before the first break")
            << quint64(3) << 7 << 2.5 << 4.0 << 96 << 0.5 << 0.0 << 0.0 << 0.0 << false << false;
        QTest::newRow("seed 2, shot 3, S/N 4, 48 channels: a weak side next to the source")
            << quint64(2) << 2 << 3.5 << 4.0 << 48 << 0.4 << 0.0 << 0.0 << 0.0 << false << false;
        // Every stack holds traces whose onset builds up slowly at a lower
        // pitch, lined up on their largest lobes: the stacks start a lobe
        // early or late where the clear traces themselves do not.
        QTest::newRow("seed 21, shot 6, S/N 30: a third of the onsets emergent")
            << quint64(21) << 5 << 4.0 << 30.0 << 96 << 0.0 << 0.3 << 0.15 << 0.0 << false << false;
        // Each trace stacked only with neighbours ringing like it: with the
        // emergent ones stacked in, a third of the picks land a lobe off.
        QTest::newRow("seed 9, shot 10, S/N 30: emergent onsets kept apart")
            << quint64(9) << 9 << 1.0 << 30.0 << 96 << 0.0 << 0.3 << 0.2 << 0.0 << false << false;
        QTest::newRow("seed 3, shot 3: the source's noise next to it")
            << quint64(3) << 2 << 1.5 << 10.0 << 96 << 0.9 << 0.0 << 0.0 << 0.0 << false << false;
        QTest::newRow("seed 5, shot 2, hills: a short side next to the source")
            << quint64(5) << 1 << 1.5 << 10.0 << 96 << 0.9 << 0.0 << 0.0 << 1500.0 << false << false;
        // Over hills the first breaks bend sharply where the refractor
        // overtakes: a line through the neighbours on both sides cuts the
        // corner, and the stacks lined up on it read a period early there.
        QTest::newRow("seed 1, shot 9, hills: where the refractor overtakes")
            << quint64(1) << 8 << 2.5 << 10.0 << 96 << 0.9 << 0.0 << 0.0 << 1200.0 << false << false;
        QTest::newRow("seed 3, shot 4: the air wave leaves the source with the first break")
            << quint64(3) << 3 << 2.5 << 10.0 << 96 << 0.9 << 0.0 << 0.0 << 0.0 << true << false;
        // On a hammer spread the air wave rides on the first break's first
        // cycle out to a dozen metres and outweighs it: picks there went to
        // the air wave, 5-10 ms late.
        QTest::newRow("seed 6, shot 10, hammer: the air wave on the first cycle")
            << quint64(6) << 9 << 5.0 << 10.0 << 24 << 0.0 << 0.0 << 0.17 << 0.0 << true << true;
        // Below S/N 10 few picks are confident: each trace's own ringing
        // tells which neighbours to stack it with.
        QTest::newRow("seed 9, shot 8, S/N 5: doubtful emergent onsets kept apart")
            << quint64(9) << 7 << 1.0 << 5.0 << 96 << 0.0 << 0.3 << 0.4 << 0.0 << false << false;
        // Hardly a trace clear enough to judge alone, of either wavelet: a
        // weak one judged against a stack of neighbours ringing unlike it, or
        // matching no stack well anywhere, lines up a period off by chance.
        // Hills over faster ground, emergent onsets hardly clear of the
        // noise: further out the air wave's sharp onset stands out far more
        // than the first break, yet is none.
        QTest::newRow("seed 2, shot 4, S/N 5, hills: the air wave after an emergent first break")
            << quint64(2) << 3 << 5.0 << 5.0 << 96 << 0.0 << 0.3 << 1.0 << 1200.0 << true << false;
        QTest::newRow("seed 6, shot 6, S/N 4: weak mixed onsets judged")
            << quint64(6) << 5 << 99.0 << 4.0 << 96 << 0.0 << 0.3 << 1.0 << 0.0 << false << false;
    }

    void picksGeneratedShots()
    {
        QFETCH(quint64, seed);
        QFETCH(int, shot);
        QFETCH(double, toleranceMs);
        QFETCH(double, signalToNoise);
        QFETCH(int, channels);
        QFETCH(double, confidentShare);
        QFETCH(double, emergentShare);
        QFETCH(double, offShare);
        QFETCH(double, elevationVelocity);
        QFETCH(bool, airWave);
        QFETCH(bool, hammer);
        FbFile::FbGenerator::Options line;
        line.elevationVelocity = elevationVelocity;
        line.shots = 12;
        line.channels = channels;
        line.seed = seed;
        TraceGenerator::Options traces;
        traces.signalToNoise = signalToNoise;
        traces.emergentShare = emergentShare;
        traces.airWave = airWave;
        if (hammer) {
            line.groupInterval = 1;
            traces.sampleIntervalMs = 0.125;
            traces.lengthMs = 250;
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("line.sgy"));
        TraceGenerator::Writer writer;
        QVERIFY2(writer.write(line, traces, path), qPrintable(writer.errorString()));
        TraceDataSet data;
        ShotGather gather;
        QVERIFY2(data.open(path) && data.readShot(shot, &gather), qPrintable(data.errorString()));
        const QVector<FbFile::FbRecord> truth =
            FbFile::FbGenerator::shotRecords(TraceGenerator::pickOptions(line, traces), shot);
        QCOMPARE(truth.size(), gather.traceCount());
        const OnsetPickerSettings settings;
        const QVector<OnsetPick> picks = pickGather(gather, QVector<double>(), settings);
        int confident = 0, off = 0, onAirWave = 0;
        QVector<double> truthMs;
        for (int c = 0; c < truth.size(); ++c) {
            truthMs.append(truth[c].fb_time);
            confident += picks[c].found && picks[c].confidence >= settings.minimumConfidence ? 1 : 0;
            const QByteArray where = QByteArray("channel ") + QByteArray::number(truth[c].channel) + " onset " +
                                     QByteArray::number(picks[c].onsetMs) + " truth " + QByteArray::number(truthMs[c]);
            const bool within = picks[c].found && std::fabs(picks[c].onsetMs - truthMs[c]) <= toleranceMs;
            off += within ? 0 : 1;
            // The air wave is no first break, however clear its onset.
            const double airMs = std::abs(truth[c].offset) * 1000.0 / TraceGenerator::AirSpeedMps;
            onAirWave += airWave && !within && picks[c].confidence >= settings.minimumConfidence &&
                                 std::fabs(picks[c].onsetMs - airMs) <= toleranceMs
                             ? 1
                             : 0;
            QVERIFY2(within || offShare > 0, where);
        }
        QCOMPARE(onAirWave, 0);
        QVERIFY2(off <= offShare * truth.size(), qPrintable(QStringLiteral("%1 of %2 off").arg(off).arg(truth.size())));
        QVERIFY2(confident >= confidentShare * truth.size(), qPrintable(QString::number(confident)));
        QCOMPARE(checkWaveforms(gather, truthMs).cycleSkipRuns, 0); // the true picks judged
    }

    // Inputs the check and the picker cannot use give no verdicts and no
    // picks, never a crash.
    void waveformCheckOnBadInput()
    {
        QVector<double> truth;
        ShotGather gather = gatherOf(TraceWavelet::Berlage, 40, 4, &truth);
        QVERIFY(checkWaveforms(gather, truth.mid(0, 3)).traces.size() == 4); // a pick short
        for (const WaveformJudgement &j : checkWaveforms(gather, truth.mid(0, 3)).traces)
            QVERIFY(j.verdict == WaveformVerdict::NotJudged);
        gather.samples.resize(10); // fewer samples than the traces claim
        for (const WaveformJudgement &j : checkWaveforms(gather, truth).traces)
            QVERIFY(j.verdict == WaveformVerdict::NotJudged);
        QVERIFY(!pickGather(gather, truth).first().found); // fewer samples than the traces claim
        const TraceSamples empty;
        QVERIFY(!pickOnsetNear(empty, 100, OnsetPickerSettings()).found);
        QVERIFY(std::isnan(snapTime(empty, 100, 10, PickPhase::FirstPeak)));
        // Windows far past either end of a trace.
        const ShotGather whole = gatherOf(TraceWavelet::Berlage, 40, 1, &truth);
        const TraceSamples first = traceOf(whole, 0);
        const double anywhere = snapTime(first, 1e12, 1e13, PickPhase::ZeroCrossing);
        QVERIFY(anywhere >= first.timeOf(0) && anywhere <= first.timeOf(first.count - 1));
        QVERIFY(std::isnan(snapTime(first, -1e12, 10, PickPhase::FirstPeak)));
        QVERIFY(!pickOnset(first, 1e12, 2e12, OnsetPickerSettings()).found);
        OnsetPickerSettings absurd; // a period no wavelet has: taken as not given
        absurd.periodMs = 1e300;
        QVERIFY(std::fabs(pickOnsetNear(first, truth.last(), absurd).onsetMs - truth.last()) <= 2);
        TraceSamples tiny = first; // an interval no recorder has
        tiny.sampleIntervalMs = 1e-300;
        QVERIFY(!pickOnsetNear(tiny, 0, OnsetPickerSettings()).found);
    }
};

QTEST_GUILESS_MAIN(TestOnsetPicker)
#include "tst_onsetpicker.moc"
