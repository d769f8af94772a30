#ifndef FBQC_QCSETTINGS_H
#define FBQC_QCSETTINGS_H

#include <QtGlobal>

#include <limits>

// What a user chooses about how picks are judged; shared by the fits, the
// pass and everything that shows their results.
namespace FbQc {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// The units of a file's numbers. The coordinates' length unit and fb_time's
// time unit are declared (a file does not say them); the integer lengths
// (offset, g_elev, s_elev, s_depth) may hold a finer unit than the float
// coordinates, as field files do (whole centimetres beside metres), which
// the pass finds from the data (Report::units).
//
// Pick times enter the QC in ms (timesInMilliseconds(), where records are
// read), so every threshold, residual, difference and delay is in ms
// whatever fb_time's unit; offsets stay as stored, so a fitted velocity is
// offset units per second. What is shown or written is converted here:
//   const Units &u = report.units;
//   out << u.metresPerSecond(summary.velocity[side]) << " m/s";
struct Units
{
    double metresPerLength = 1.0;  // the coordinates' unit, in metres
    double secondsPerTime = 0.001; // fb_time's unit, in seconds
    // Offsets and elevations are in 1/offsetFactor of the coordinates'
    // unit; 0 in Settings: find it from the data.
    int offsetFactor = 1;

    double metresPerOffset() const { return metresPerLength / qMax(1, offsetFactor); }
    // An offset or elevation as stored, in metres.
    double metres(double stored) const { return stored * metresPerOffset(); }
    // An offset or elevation as stored, in the coordinates' unit.
    double coordinateLength(double stored) const { return stored / qMax(1, offsetFactor); }
    // A fitted velocity (stored offset units per second) in m/s.
    double metresPerSecond(double fitted) const { return fitted * metresPerOffset(); }
    // A time as stored, in ms.
    double milliseconds(double stored) const { return stored * (secondsPerTime / 0.001); }
    bool timesInMs() const { return secondsPerTime == 0.001; }
    // The plausible range of a near-surface velocity, in m/s: a fitted
    // velocity outside it is worth a note.
    static constexpr double PlausibleMinMetresPerSecond = 100.0;
    static constexpr double PlausibleMaxMetresPerSecond = 7000.0;
    bool plausible(double fitted) const
    {
        const double v = metresPerSecond(fitted);
        return v >= PlausibleMinMetresPerSecond && v <= PlausibleMaxMetresPerSecond;
    }
};

struct Settings
{
    double outlierMs = 8.0;     // |residual| above this is an outlier
    double reciprocityMs = 5.0; // reciprocal difference above this is flagged
    // Fit the picks, compare shots and estimate their timing errors; false
    // checks only what the records hold (fbtool check), which is quicker.
    bool judgePicks = true;
    // Collect the distinct receiver positions for a map, and the residuals
    // of each receiver across the shots, while reading.
    bool collectReceivers = false;
    // Threads of the pass; 0 takes one per core. The findings are the same
    // for every number.
    int threads = 0;
    // Memory for the records of recent shots, kept so that a shot's
    // reciprocal partners are mostly compared without reading them again;
    // 0 reads every earlier partner again. The findings are the same.
    qint64 recentBytes = qint64(32) << 20;
    // The most picks one shot may have to be judged: a larger one (a
    // damaged or zero-filled stretch read as one shot) is checked record by
    // record but not fitted, and reported as too large to judge.
    qint64 maxJudgedPicks = 1000000;
    // The declared units; offsetFactor 0 (the default) finds the unit of
    // the offsets from the data.
    Units units{1.0, 0.001, 0};
};

} // namespace FbQc

#endif // FBQC_QCSETTINGS_H
