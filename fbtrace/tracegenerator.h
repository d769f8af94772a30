#ifndef FBTRACE_TRACEGENERATOR_H
#define FBTRACE_TRACEGENERATOR_H

#include "fbgenerator.h"
#include "progress.h"

#include <QString>
#include <QVector>

// Shot records under a generated FB file, with a known truth: every trace
// of every shot and channel of the generator's line has its first arrival
// at the true pick time (what the FB file would hold without pick faults,
// for unpicked and left-out picks too), in the line's geometry. What a
// picker gets wrong is planted in the FB picks only, the waveforms staying
// right: a cycle skip makes a run of picks one dominant period late, a
// mispick moves one pick by a given time. The same options and seed give
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
    double lengthMs = 0;          // 0: the latest first break + 250 ms, in whole 100 ms
    double dominantHz = 40;
    int polarity = 1;             // first motion: +1 up, -1 down
    double signalToNoise = 10;
    QVector<CycleSkip> cycleSkips;
    QVector<Mispick> mispicks;
};

// Empty when the options are usable together, else what is wrong.
QString validate(const FbGenerator::Options &fb, const Options &traces);

// Why path cannot take the traces (not a file, not a folder, a folder
// holding files of another line), or empty.
QString targetProblem(const FbGenerator::Options &fb, const Options &traces, const QString &path);

// The FB options whose file carries the planted pick faults.
FbGenerator::Options pickOptions(const FbGenerator::Options &fb, const Options &traces);

class Writer
{
public:
    // Writes a SEG-Y file, or a folder of SEG-2 files (one per shot, named
    // after its ffid, and its position too where an earlier shot has that
    // ffid), at path. A folder holding other files is refused: they would
    // read as shots of the line.
    bool write(const FbGenerator::Options &fb, const Options &traces, const QString &path,
               const Progress &progress = Progress());
    QString errorString() const { return m_error; }
    int samplesPerTrace() const { return m_samples; }

private:
    QString m_error;
    int m_samples = 0;
};

} // namespace TraceGenerator

#endif // FBTRACE_TRACEGENERATOR_H
