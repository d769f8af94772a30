#ifndef FBFILE_FBPICKS_H
#define FBFILE_FBPICKS_H

#include <fbfile/fbcolumns.h>

#include <cmath>
#include <limits>

namespace FbFile {

// What a record's status and time say about its pick: the one reading that
// the QC, the edit and the export commands share.
namespace FbPicks {

// A status of 0 or 1 is a pick in use; any other value marks it rejected.
inline bool isAccepted(qint32 fbStatus)
{
    return FbColumns::pickClass(fbStatus) != FbColumns::PickClass::Other;
}

// The status that rejecting a pick sets unless the user names another.
constexpr qint32 DefaultRejectStatus = 2;

// A time of 0 or below at a non-zero offset marks a trace nobody picked,
// as pick tables store it; at zero offset such a time is the source's own
// delay (uphole or trigger time), a pick. A time that is no number is
// neither: it is a bad value.
inline bool isUnpicked(const FbRecord &r)
{
    return r.offset != 0 && std::isfinite(r.fb_time) && r.fb_time <= 0.0f;
}

// Writes a trace left without a pick: time 0, which away from the source
// reads as unpicked whatever the status. At zero offset a time of 0 is a
// pick, so such a record is rejected too and no reader judges it.
inline void markUnpicked(FbRecord *r)
{
    r->fb_time = 0.0f;
    if (r->offset == 0)
        r->fb_status = DefaultRejectStatus;
}

// Whether a record holds a pick to show, in use or rejected: a time that
// is a number and that someone picked. Neither a trace nobody picked nor,
// at the source, a rejected time of 0 or below, which is what markUnpicked
// leaves there: no pick, where a rejected pick keeps the time it had.
inline bool hasPick(const FbRecord &r)
{
    return std::isfinite(r.fb_time) && !isUnpicked(r) &&
           !(r.offset == 0 && r.fb_time <= 0.0f && !isAccepted(r.fb_status));
}

// A pick in use: accepted, picked and a number. Only these are judged.
inline bool isLive(const FbRecord &r)
{
    return isAccepted(r.fb_status) && std::isfinite(r.fb_time) && !isUnpicked(r);
}

// A live pick's time in ms, or NaN for a record whose time is not to be
// used (rejected, unpicked, not a number).
inline double pickTime(const FbRecord &r)
{
    return isLive(r) ? double(r.fb_time) : std::numeric_limits<double>::quiet_NaN();
}

} // namespace FbPicks

} // namespace FbFile

#endif // FBFILE_FBPICKS_H
