#include <fbtrace/tracesynth.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace FbTrace {

namespace {

constexpr double Pi = 3.14159265358979323846;

// splitmix64: small, fast and the same everywhere; each part of a trace
// (noise, coda) draws from its own stream so that changing one never
// moves another, and a trace's noise does not depend on where its onset is.
class Random
{
public:
    explicit Random(std::uint64_t seed) : m_state(seed) { }

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // In [0, 1), 53 bits.
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    // Standard normal by the polar Box-Muller method (only sqrt and log).
    double gauss()
    {
        if (m_haveSpare) {
            m_haveSpare = false;
            return m_spare;
        }
        double u, v, s;
        do {
            u = 2 * uniform() - 1;
            v = 2 * uniform() - 1;
            s = u * u + v * v;
        } while (s >= 1 || s == 0);
        const double f = std::sqrt(-2 * std::log(s) / s);
        m_spare = v * f;
        m_haveSpare = true;
        return u * f;
    }

private:
    std::uint64_t m_state;
    double m_spare = 0;
    bool m_haveSpare = false;
};

enum Stream : std::uint64_t { NoiseStream = 1, CodaStream = 2 };

Random streamOf(std::uint64_t seed, Stream stream)
{
    Random mix(seed ^ (stream * 0xD1B54A32D192ED03ull));
    return Random(mix.next());
}

// A causal wavelet in units of its period: u = time since onset * frequency.
// Zero before and at u = 0, first motion positive; envelope * sin(2 pi u).
struct Shape
{
    double power;   // envelope grows as u^power from the onset
    double decay;   // then falls as exp(-decay * u)
    double periods; // length after which what is left is negligible
    double peak;    // largest |value|, to scale the arrival to its amplitude

    double at(double u) const
    {
        if (u <= 0 || u >= periods)
            return 0;
        const double envelope = (power == 0 ? 1.0 : std::pow(u, power)) * std::exp(-decay * u);
        return envelope * std::sin(2 * Pi * u);
    }
};

Shape makeShape(double power, double decay)
{
    Shape s{power, decay, 0, 1};
    // Long enough for the envelope to fall below 1e-5 of its top.
    const double top = power == 0 ? 0 : power / decay;
    const double topValue = (power == 0 ? 1.0 : std::pow(top, power)) * std::exp(-decay * top);
    double end = std::max(top, 0.5);
    while ((power == 0 ? 1.0 : std::pow(end, power)) * std::exp(-decay * end) > 1e-5 * topValue)
        end += 0.25;
    s.periods = end;
    double peak = 0;
    for (double u = 0; u < end; u += 1.0 / 4096)
        peak = std::max(peak, std::fabs(s.at(u)));
    s.peak = peak;
    return s;
}

// Berlage: energy builds over the first half period, the envelope's top at
// half a period. Damped sine: a geophone ringing after a sharp kick (damping
// about 0.3 of critical), its first lobe the largest. Emergent: a slow
// build-up whose top comes after two periods, so the first motion hides in
// the noise for a while.
const Shape &berlage()
{
    static const Shape s = makeShape(1, 2);
    return s;
}
const Shape &dampedSine()
{
    static const Shape s = makeShape(0, 2 * Pi * 0.3 / std::sqrt(1 - 0.3 * 0.3));
    return s;
}
const Shape &emergentShape()
{
    static const Shape s = makeShape(1, 0.5);
    return s;
}
// An air wave: sharp, ringing a few cycles at a high pitch.
const Shape &airShape()
{
    static const Shape s = makeShape(0, 2 * Pi * 0.12);
    return s;
}

// The air wave's pitch against the dominant frequency, kept well below the
// Nyquist frequency of the sampling.
constexpr double AirFrequencyRatio = 2.5;
constexpr double AirMinimumHz = 100;
constexpr double AirMaximumNyquistShare = 0.4;
// Later arrivals: how many, over how many dominant periods after the first
// break, and the scattered coda's level and decay.
constexpr int LaterArrivalCount = 6;
constexpr double LaterArrivalFirstPeriods = 1.5;
constexpr double LaterArrivalLastPeriods = 40;
constexpr double ScatteredCodaLevel = 0.15;
constexpr double ScatteredCodaDecayMs = 300;
// Noise before the first break is band-limited around the dominant
// frequency, as field noise through geophones and the recorder's filters is.
constexpr double NoiseBandQ = 0.7;
constexpr int NoiseWarmUpSamples = 256;

// Adds amplitude * shape((t - startMs) * hz / 1000) to every sample.
void addArrival(std::vector<double> &trace, const TraceSynthParams &p, const Shape &shape, double startMs, double hz,
                double amplitude)
{
    if (amplitude == 0 || !(hz > 0))
        return;
    const double scale = amplitude / shape.peak;
    const double endMs = startMs + shape.periods * 1000.0 / hz;
    // Bounded in double before converting, so that far-off times stay defined.
    const double firstSample = std::max(0.0, std::floor((startMs - p.firstSampleMs) / p.sampleIntervalMs));
    const double lastSample =
        std::min(double(trace.size()) - 1, std::ceil((endMs - p.firstSampleMs) / p.sampleIntervalMs));
    if (!(firstSample <= lastSample))
        return;
    const int first = int(firstSample), last = int(lastSample);
    for (int i = first; i <= last; ++i) {
        const double t = p.firstSampleMs + i * p.sampleIntervalMs;
        trace[size_t(i)] += scale * shape.at((t - startMs) * hz / 1000.0);
    }
}

// White Gaussian noise through a two-pole band-pass (a biquad centred on
// centreHz), scaled to exactly rms over the trace.
std::vector<double> bandNoise(const TraceSynthParams &p, double centreHz, double rms, Random &random)
{
    const size_t n = size_t(p.samples);
    std::vector<double> out(n, 0.0);
    const double nyquistHz = 500.0 / p.sampleIntervalMs;
    const double f0 = std::min(centreHz, 0.45 * nyquistHz);
    const double w0 = 2 * Pi * f0 * p.sampleIntervalMs / 1000.0;
    const double alpha = std::sin(w0) / (2 * NoiseBandQ);
    const double a0 = 1 + alpha;
    const double b0 = alpha / a0, b2 = -alpha / a0;
    const double a1 = -2 * std::cos(w0) / a0, a2 = (1 - alpha) / a0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (int i = -NoiseWarmUpSamples; i < p.samples; ++i) {
        const double x = random.gauss();
        const double y = b0 * x + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        if (i >= 0)
            out[size_t(i)] = y;
    }
    double sum = 0;
    for (double v : out)
        sum += v * v;
    const double measured = n ? std::sqrt(sum / double(n)) : 0;
    if (measured > 0)
        for (double &v : out)
            v *= rms / measured;
    return out;
}

} // namespace

QVector<float> synthesizeTrace(const TraceSynthParams &p)
{
    if (p.samples <= 0)
        return {};
    QVector<float> result(p.samples, 0.0f);
    if (!(p.sampleIntervalMs > 0))
        return result;

    std::vector<double> trace(size_t(p.samples), 0.0);
    const double sign = p.polarity < 0 ? -1.0 : 1.0;
    const double dominantHz = p.dominantHz > 0 ? p.dominantHz : 40;
    const double periodMs = dominantPeriodMs(dominantHz);
    const bool arrives = p.onsetMs > p.firstSampleMs;

    const Shape &shape = p.wavelet == TraceWavelet::DampedSine ? dampedSine() : berlage();
    if (arrives) {
        if (p.emergent)
            addArrival(trace, p, emergentShape(), p.onsetMs, dominantHz * EmergentFrequencyRatio, sign * p.amplitude);
        else
            addArrival(trace, p, shape, p.onsetMs, dominantHz, sign * p.amplitude);

        if (p.laterArrivals > 0) {
            // Refractions from deeper and reflections: copies of the wavelet
            // of random sign, all after the first break.
            Random random = streamOf(p.seed, CodaStream);
            for (int k = 0; k < LaterArrivalCount; ++k) {
                const double delayPeriods = random.uniform(LaterArrivalFirstPeriods, LaterArrivalLastPeriods);
                const double strength = random.uniform(0.3, 1.0) * std::exp(-delayPeriods / 30);
                const double arrivalSign = random.uniform() < 0.5 ? -1.0 : 1.0;
                const double hz = dominantHz * random.uniform(0.7, 1.2);
                addArrival(trace, p, berlage(), p.onsetMs + delayPeriods * periodMs, hz,
                           arrivalSign * p.laterArrivals * strength * p.amplitude);
            }
            // Scattered energy that grows in over a couple of periods after
            // the first break and dies away.
            const std::vector<double> scatter =
                bandNoise(p, dominantHz, ScatteredCodaLevel * p.laterArrivals * p.amplitude, random);
            for (int i = 0; i < p.samples; ++i) {
                const double since = p.firstSampleMs + i * p.sampleIntervalMs - p.onsetMs;
                if (since <= 0)
                    continue;
                const double envelope =
                    (1 - std::exp(-since / (2 * periodMs))) * std::exp(-since / ScatteredCodaDecayMs);
                trace[size_t(i)] += envelope * scatter[size_t(i)];
            }
        }
    }

    if (p.secondArrivalMs >= 0 && p.secondAmplitude != 0)
        addArrival(trace, p, shape, p.secondArrivalMs, dominantHz, sign * p.secondAmplitude * p.amplitude);

    if (std::isfinite(p.airWaveMs) && p.airWaveAmplitude != 0) {
        const double nyquistHz = 500.0 / p.sampleIntervalMs;
        const double airHz =
            std::min(std::max(AirFrequencyRatio * dominantHz, AirMinimumHz), AirMaximumNyquistShare * nyquistHz);
        addArrival(trace, p, airShape(), p.airWaveMs, airHz, p.airWaveAmplitude);
    }

    if (p.signalToNoise > 0) {
        Random random = streamOf(p.seed, NoiseStream);
        const std::vector<double> noise = bandNoise(p, dominantHz, std::fabs(p.amplitude) / p.signalToNoise, random);
        for (int i = 0; i < p.samples; ++i)
            trace[size_t(i)] += noise[size_t(i)];
    }

    if (p.humHz > 0 && p.humAmplitude != 0) {
        // Mains hum is in step on every channel of a record: its phase
        // follows the time alone.
        for (int i = 0; i < p.samples; ++i) {
            const double t = (p.firstSampleMs + i * p.sampleIntervalMs) / 1000.0;
            trace[size_t(i)] += p.humAmplitude * std::sin(2 * Pi * p.humHz * t);
        }
    }

    for (int i = 0; i < p.samples; ++i) {
        double v = trace[size_t(i)];
        if (p.clipAt > 0)
            v = std::clamp(v, -p.clipAt, p.clipAt);
        result[i] = float(v);
    }
    return result;
}

} // namespace FbTrace
