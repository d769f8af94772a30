#ifndef QCSETTINGS_H
#define QCSETTINGS_H

#include <QtGlobal>

#include <limits>

// What a user chooses about how picks are judged; shared by the fits, the
// pass and everything that shows their results.
namespace PickQc {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

struct Settings
{
    double outlierMs = 8.0;       // |residual| above this is an outlier
    double reciprocityMs = 5.0;   // reciprocal difference above this is flagged
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
};

} // namespace PickQc

#endif // QCSETTINGS_H
