#ifndef FBTRACE_TRACEGENERATOR_H
#define FBTRACE_TRACEGENERATOR_H

#include <fbfile/fbgenerator.h>
#include <fbfile/progress.h>

#include <QString>
#include <QVector>

namespace FbTrace {

// Shot records under a generated FB file, with a known truth: every trace
// of every shot and channel of the generator's line has its first arrival
// at the true pick time (what the FB file would hold without pick faults,
// for unpicked and left-out picks too), in the line's geometry. What a
// picker gets wrong is planted in the FB picks only, the waveforms staying
// right: a cycle skip makes a run of picks one dominant period late, a
// mispick moves one pick by a given time. The traps of field records can be
// planted in the waveforms too, each leaving the onset at the true pick
// time: emergent low-frequency onsets, clipping near the source, hum on far
// channels and an air wave. All are off by default, so that a line
// generated without them keeps its bytes. The same options and seed give
// the same bytes.
//
//   FbGenerator::Options fb = ...;            // as for the FB file
//   TraceGenerator::Options traces = ...;
//   QString why = TraceGenerator::validate(fb, traces);
//   FbGenerator::Options picks = TraceGenerator::pickOptions(fb, traces);  // write this FB file
//   TraceGenerator::Writer writer;
//   if (!writer.write(fb, traces, outPath, progress)) ... writer.errorString();
namespace TraceGenerator {

enum class Format { SegY, Seg2 };

// Sound in air, m/s: the air wave reaches a receiver at |offset| / this.
constexpr double AirSpeedMps = 340;
// Near the source the recorder saturates at this share of the first
// arrival's peak.
constexpr double NearClipLevel = 0.4;
// Default hum and air wave amplitudes, as shares of the first arrival's peak.
constexpr double DefaultHumAmplitude = 0.25;
constexpr double DefaultAirWaveAmplitude = 2;

// Picks of channels firstChannel..lastChannel of shot row `shot` (0-based)
// one period late.
struct CycleSkip
{
    int shot = 0;
    int firstChannel = 1;
    int lastChannel = 1;
};

// The pick of channel `channel` of shot row `shot` off by ms.
struct Mispick
{
    int shot = 0;
    int channel = 1;
    double ms = 0;
};

struct Options
{
    Format format = Format::SegY;
    double sampleIntervalMs = 0.5;
    double lengthMs = 0; // 0: the latest first break + 250 ms, in whole 100 ms
    double dominantHz = 40;
    int polarity = 1; // first motion: +1 up, -1 down
    double signalToNoise = 10;
    QVector<CycleSkip> cycleSkips;
    QVector<Mispick> mispicks;

    // Field traps, 0 or false: none.
    double emergentShare = 0; // share of traces, by seeded draw, with emergent low-frequency onsets
    double clipNearM = 0;     // traces within this |offset| of the source clipped at NearClipLevel
    double humHz = 0;         // hum on channels beyond half the shot's longest |offset|
    double humAmplitude = DefaultHumAmplitude;
    bool airWave = false; // sound arriving at |offset| / AirSpeedMps
    double airWaveAmplitude = DefaultAirWaveAmplitude;
};

// Empty when the options are usable together, else what is wrong.
QString validate(const FbFile::FbGenerator::Options &fb, const Options &traces);

// Why path cannot take the traces (not a file, not a folder, a folder
// holding files of another line), or empty.
QString targetProblem(const FbFile::FbGenerator::Options &fb, const Options &traces, const QString &path);

// The FB options whose file carries the planted pick faults.
FbFile::FbGenerator::Options pickOptions(const FbFile::FbGenerator::Options &fb, const Options &traces);

class Writer
{
public:
    // Writes a SEG-Y file, or a folder of SEG-2 files (one per shot, named
    // after its ffid, and its position too where an earlier shot has that
    // ffid), at path. A folder holding other files is refused: they would
    // read as shots of the line.
    bool write(const FbFile::FbGenerator::Options &fb, const Options &traces, const QString &path,
               const FbFile::Progress &progress = FbFile::Progress());
    QString errorString() const { return m_error; }
    int samplesPerTrace() const { return m_samples; }

private:
    QString m_error;
    int m_samples = 0;
};

} // namespace TraceGenerator

} // namespace FbTrace

#endif // FBTRACE_TRACEGENERATOR_H
