#ifndef FBTRACE_TRACESYNTH_H
#define FBTRACE_TRACESYNTH_H

#include <QVector>

#include <cstdint>
#include <limits>

namespace FbTrace {

// The first arrival's shape. Both start at zero at the onset and move
// first in the polarity's direction; they differ in how sharply.
enum class TraceWavelet {
    Berlage,    // energy builds over half a period (minimum phase, the usual first break)
    DampedSine, // the first motion at full slope, ringing down (impulsive source)
};

// Synthetic shot records with a known truth, for the generator (fbtool gen
// --traces), the onset picker's tests and the accuracy benches. One call
// makes the samples of one trace; the same parameters and seed give the same
// samples on every machine (no libm randomness, a fixed generator).
//
// The first arrival's onset is at onsetMs: the wavelet's first motion
// starts there, so a correct pick of that trace is onsetMs. What pickers get
// wrong is planted by the caller choosing onsetMs and the pick it writes.
struct TraceSynthParams
{
    double sampleIntervalMs = 0.5;
    int samples = 2000;
    double firstSampleMs = 0; // time of sample 0
    double onsetMs = 100;     // first break; <= firstSampleMs: no arrival
    double dominantHz = 40;   // wavelet's dominant frequency
    int polarity = 1;         // +1: first motion positive, -1 negative
    TraceWavelet wavelet = TraceWavelet::Berlage;
    double signalToNoise = 10; // peak amplitude of the first arrival / noise rms; <= 0: no noise
    double amplitude = 1;      // first arrival's peak amplitude
    bool emergent = false;     // low-frequency onset that grows over a few periods
    double laterArrivals = 1;  // strength of the coda after the first break (0: none)
    double clipAt = 0;         // > 0: samples clipped at +/- this (near the source)
    double humHz = 0;          // > 0: a sinusoidal hum of humAmplitude at this frequency
    double humAmplitude = 0;
    double airWaveMs =
        std::numeric_limits<double>::quiet_NaN(); // an air wave (sound) arriving then, also before the record
    double airWaveAmplitude = 0;
    // >= 0: a later wave of the first break's shape and pitch arriving at
    // this time (a deeper refractor's head wave, a strong reflection), of
    // secondAmplitude times the first arrival's peak (negative: opposite
    // first motion).
    double secondArrivalMs = -1;
    double secondAmplitude = 0;
    std::uint64_t seed = 1;
};

// The samples of one trace (params.samples values).
QVector<float> synthesizeTrace(const TraceSynthParams &params);

// An emergent arrival rides on this share of the dominant frequency.
constexpr double EmergentFrequencyRatio = 0.6;

// The period of the dominant frequency in ms: a cycle skip moves a pick by
// about this much.
inline double dominantPeriodMs(double dominantHz)
{
    return 1000.0 / dominantHz;
}

} // namespace FbTrace

#endif // FBTRACE_TRACESYNTH_H
