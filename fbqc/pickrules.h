#ifndef PICKRULES_H
#define PICKRULES_H

#include "fblayout.h"

#include <cmath>
#include <limits>

// What counts as a pick. Pick tables store a trace left unpicked as a time
// of 0 (or below); at the source itself (offset 0) a time near or below 0
// is a real reading, the trigger or uphole time.
namespace PickQc {

inline bool isUnpicked(const FbRecord &r)
{
    return r.offset != 0 && std::isfinite(r.fb_time) && r.fb_time <= 0.0f;
}

// A pick's time in ms, or NaN when the record holds none (not finite, or
// unpicked).
inline double pickTime(const FbRecord &r)
{
    return std::isfinite(r.fb_time) && !isUnpicked(r) ? double(r.fb_time)
                                                      : std::numeric_limits<double>::quiet_NaN();
}

} // namespace PickQc

#endif // PICKRULES_H
