#ifndef FBFILE_FBGENERATOR_H
#define FBFILE_FBGENERATOR_H

#include <fbfile/fblayout.h>

#include <QString>
#include <QStringList>
#include <QVector>

namespace FbFile {

// Synthetic FB files: one 2-D line with a rolling split spread (or a 3-D
// patch of parallel receiver lines with source lines across), so that the
// files look like a real pick file (coordinates along a bearing, negative
// and positive offsets, end-on spreads at the line ends, a rolling
// topography, a mix of pick statuses) and can carry faults on demand.
//
// Sources sit at receiver stations of the line (s_line/s_stat equal that
// receiver's g_line/g_stat), and first breaks follow a three-layer
// refraction curve of |offset| (a thin weathering layer at 1.7 m/ms seen
// within about 17 m of the source, refractors at 3.4 and 4.6 m/ms with a
// crossover near 900 m) plus an elevation static of at most about 1 ms at
// each end of the ray and uniform noise of +-0.5 ms, rounded to 1/8 ms.
// With the default 25 m group interval a clean file therefore departs from
// a fitted curve by a few ms at most and its reciprocal times agree within
// about 1.1 ms: pick QC finds nothing in it, and each planted spike or
// shift stands out. (Much wider intervals leave several picks past a kink
// that a fit cannot yet bend to, and those may be flagged.)
//
// Options beyond the defaults draw other survey lines: end-on spreads,
// sources between stations, two or three flat layers of chosen velocities
// and thicknesses (or crossovers), more noise, surface-consistent source and
// receiver statics, a source delay per shot (uphole and trigger time), picks
// left out of the file and picks stored as 0 ms (unpicked), picks that follow
// the topography, refractors that slow down along the line, a velocity
// gradient in the top layer, dipping interfaces and hidden layers. Their random
// draws come from streams of their own, so the defaults still write the same
// bytes for a seed, and a line with a planted fault differs from its clean
// twin only by the fault.
namespace FbGenerator {

// splitmix64: small, fast and the same on every platform, unlike the
// standard distributions, so that a seed names one file everywhere.
class Random
{
public:
    explicit Random(quint64 seed) : m_state(seed) { }
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform in [-half, half).
    double jitter(double half) { return (uniform() * 2.0 - 1.0) * half; }

private:
    quint64 m_state;
};

// Where a shot's receivers lie: on both sides of the source (end-on where
// the line ends), or all ahead of it along the line.
enum class Spread { Split, EndOn };

// A fault that touches one field of one shot. shot is 0-based; column is
// one of FbColumns::Column.
struct FieldFault
{
    int shot = 0;
    int column = 0;
};

// Shot row carries the ffid that shot source was given, so that ffid names
// two shots in the file.
struct FfidRepeat
{
    int source = 0;
    int shot = 0;
};

// One pick off by ms: the record of channel number channel (1-based, as
// the file numbers channels) in shot row shot (0-based, as every row here).
struct PickSpike
{
    int shot = 0;
    int channel = 1;
    double ms = 0.0;
};

// Every pick of shot row shot late by ms, as a timing error of that shot.
struct ShotShift
{
    int shot = 0;
    double ms = 0.0;
};

// A cycle skip: count neighbouring picks of shot row shot, from channel
// number channel on, picked ms (one period of the wavelet) late.
struct SkipRun
{
    int shot = 0;
    int channel = 1;
    int count = 5;
    double ms = 0.0;
};

struct Options
{
    int shots = 10;
    int channels = 48;
    quint64 seed = 1;
    qint32 firstFfid = 1001;
    qint32 polarity = 1;
    int groupInterval = 25; // metres between receiver stations
    int shotInterval = 2;   // receiver stations between neighbouring shots

    // From the middle record of the shot on, the source field moves (a
    // source attribute: s_elev, s_depth, source_x, source_y, s_line, s_stat).
    QVector<FieldFault> varyingSource;
    // The middle record of the shot holds NaN, or infinity, in the float
    // field (source_x, source_y, group_x, group_y, fb_time).
    QVector<FieldFault> nanValues;
    QVector<FieldFault> infValues;
    // Shots that carry another shot's ffid again; the two rows are at least
    // 2 apart, or they would make one longer run instead.
    QVector<FfidRepeat> repeatedFfid;
    // Shots fired again from another shot's source position (the same
    // spread), each with its own ffid, noise and source delay: a repeated
    // shot, as crews do when a record is bad.
    QVector<FfidRepeat> repeatedPosition;
    // Bytes cut off the end once the file is written; fb_count still
    // declares the full count.
    qint64 truncateBytes = 0;
    // fb_count to write instead of the true record count.
    bool lieAboutCount = false;
    qint32 declaredCount = 0;
    // Pick faults that pick QC must find: spikes as outliers, shifts through
    // reciprocity. Applied after the field faults, so a NaN stays NaN.
    QVector<PickSpike> spikes;
    QVector<ShotShift> shifts;
    QVector<SkipRun> skipRuns;

    // The survey line. Split spreads take channels / 2 stations behind the
    // source; end-on spreads start at the source's station. A source between
    // stations sits halfway to the next one, on a source line of its own
    // (s_line = the receiver line + 1), so no receiver shares its station.
    Spread spread = Spread::Split;
    bool sourceBetweenStations = false;
    // Flat layers, top first: 2 or 3 velocities in m/s, increasing, and
    // either the thicknesses (m) or the crossover offsets (m, increasing) of
    // all but the last. Empty: the built-in three-layer curve.
    QVector<double> velocities;
    QVector<double> thicknesses;
    QVector<double> crossovers;
    double noiseMs = 0.5; // uniform noise in +-noiseMs
    // Surface-consistent statics, uniform in +-ms: one per source station,
    // one per receiver station, the same in every shot.
    double sourceStaticMs = 0.0;
    double receiverStaticMs = 0.0;
    // The near surface under each station, uniform in +-ms: the same static
    // for a source and for a receiver on that station, so that it cancels
    // between reciprocal times as a real weathering static does. A source
    // between two stations stands on ground between theirs: its static is
    // theirs weighed by its distance to each. The pick at the source, which
    // only comes up beside the hole, carries its station's once.
    double stationStaticMs = 0.0;
    // Topography the picks follow: each end of a refracted ray later by its
    // height above the lowest ground of the line (a buried source's less its
    // depth) at this velocity, m/s, as a flat refractor under hills gives.
    // 0: the built-in static of about 1 ms at most, which the QC can ignore.
    double elevationVelocity = 0.0;
    // Slow ground past the middle of the line: every refractor's velocity
    // lower by this fraction there (the top layer's unchanged), so a shot on
    // the fast half shooting across the middle sees its curve bend back.
    double lateralChange = 0.0;
    // Ground beyond flat layers of constant velocity (with --velocities):
    // the top layer's velocity growing with depth by this much per metre
    // (1/s), so the direct arrival dives and curves towards faster times
    // until it would reach the layer's base; interfaces dipping along the
    // line by this many degrees (deeper towards the line's end, the given
    // thicknesses or crossovers holding at its middle); and a hidden layer
    // of this velocity (m/s) and thickness (m) under the top one, which
    // never arrives first: slower than the top layer (a blind layer) or too
    // thin to be seen, it only delays the deeper refractors.
    double gradient = 0.0;
    double dipDegrees = 0.0;
    double hiddenVelocity = 0.0;
    double hiddenThickness = 0.0;
    double triggerDelayMs = 0.0; // every shot later by it, the same for all
    double sourceDelayMs = 0.0;  // per shot, uniform in [0, ms): every pick later by it
    // Fractions of the picks: left out of the file (channels missing from
    // the shot), and stored as 0 ms. The pick at offset 0 is never either.
    double missing = 0.0;
    double unpicked = 0.0;

    // Sources off the line, as on a road beside the spread: each shot's
    // source moved crossline by a distance uniform in [min, max] m (0, 0:
    // on the line); offsets and times follow the true distance.
    double sourceCrosslineMin = 0.0;
    double sourceCrosslineMax = 0.0;
    // A 3-D patch: receiverLines parallel receiver lines lineSpacing m
    // apart (line numbers counting up from the first), each holding
    // channels / receiverLines of a shot's channels (the split or end-on
    // spread of each line, channel numbers running line by line), and
    // source lines across them, one every shotInterval stations along.
    // Each source line holds sourcesPerLine sources spread evenly from the
    // first receiver line to the last (0: one on each receiver line, so
    // that sources and receivers share positions); the shots fire along a
    // source line, then move to the next. s_line numbers a source line by
    // the receiver station it crosses and s_stat counts its sources from 1.
    // Offsets are the true distance, negative for receivers behind the
    // source along the receiver lines; statics belong to a receiver's own
    // position (a source's: the nearest receiver line's at its station),
    // and the ground's height changes along the lines only.
    int receiverLines = 1;
    int lineSpacing = 200;
    int sourcesPerLine = 0;
    // Units of the file's lengths. Coordinates, offsets and elevations in
    // feet instead of metres; and the integer fields (offset, g_elev,
    // s_elev, s_depth) in 1/offsetFactor of the coordinates' unit (100:
    // centimetres beside metres), as field files hold them.
    bool feet = false;
    int offsetFactor = 1;
};

struct Result
{
    qint64 records = 0; // complete records left in the file
    qint64 fileSize = 0;
    FbFileHeader header; // as written
};

// Checks the options against each other: counts in range, fault rows and
// fields that exist. Empty when they are usable, else what is wrong.
QString validate(const Options &options);

// The records of one shot, in file order. Each shot depends on the seed and
// its row only, so any shot can be made without the ones before it. With
// missing picks a shot holds fewer than channels records; fb_no keeps the
// number the pick would have had, so the numbers of a line with gaps have
// gaps too.
QVector<FbRecord> shotRecords(const Options &options, int shot);

// How late everything shot makes arrives against the record's time 0: the
// trigger delay, its own source delay and its --shift rows (0 for a shot
// not in the line). Its picks carry it too; so does an air wave.
double shotDelayMs(const Options &options, int shot);

// Writes files in large blocks:
//   FbGenerator::FileWriter writer(options);
//   if (!writer.write(fileName, &result)) ... writer.errorString();
class FileWriter
{
public:
    explicit FileWriter(const Options &options);
    // False when the options are unusable or the file cannot be written;
    // errorString() says why.
    bool write(const QString &fileName, Result *result = nullptr);
    QString errorString() const { return m_error; }

private:
    Options m_options;
    QString m_error;
};

// The column of a field name ("s_elev", "group_x", ...), -1 if unknown.
int columnOf(const QString &fieldName);
// The first-break time in ms at |offset| h of the options' layers, without
// statics, delay or noise: what a fit should find.
double layerTime(const Options &options, double h);

// The names of the fields each kind of fault can touch, in column order.
QStringList varyingSourceFields();
QStringList nonFiniteFields();

} // namespace FbGenerator

} // namespace FbFile

#endif // FBFILE_FBGENERATOR_H
