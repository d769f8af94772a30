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
    // Memory for the records of recent shots, kept so that a shot's
    // reciprocal partners are mostly compared without reading them again;
    // 0 reads every earlier partner again. The findings are the same.
    qint64 recentBytes = qint64(32) << 20;
};

} // namespace PickQc

#endif // QCSETTINGS_H
