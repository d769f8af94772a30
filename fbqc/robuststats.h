#ifndef FBQC_ROBUSTSTATS_H
#define FBQC_ROBUSTSTATS_H

#include <algorithm>
#include <vector>

// Statistics a few wrong values cannot move, for the QC's comparisons.
namespace FbQc {

// The median of values (reordered in the doing); the mean of the middle two
// for an even count. values must not be empty.
inline double median(std::vector<double> &values)
{
    const auto mid = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    double m = *mid;
    if (values.size() % 2 == 0)
        m = 0.5 * (m + *std::max_element(values.begin(), mid));
    return m;
}

// The median of values already in ascending order, the same number
// median() gives for them in any order.
inline double medianOfSorted(const double *values, size_t count)
{
    double m = values[count / 2];
    if (count % 2 == 0)
        m = 0.5 * (m + values[count / 2 - 1]);
    return m;
}

} // namespace FbQc

#endif // FBQC_ROBUSTSTATS_H
