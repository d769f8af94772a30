#ifndef FBPICKS_H
#define FBPICKS_H

#include "fbcolumns.h"

// What a record's status and time say about its pick, as the edit and
// export commands read them.
namespace FbPicks {

// A status of 0 or 1 is a pick in use; any other value marks it rejected.
inline bool isAccepted(qint32 fbStatus)
{
    return FbColumns::pickClass(fbStatus) != FbColumns::PickClass::Other;
}

// The status that rejecting a pick sets unless the user names another.
constexpr qint32 DefaultRejectStatus = 2;

// A time that is not above 0 (or not a number) at a non-zero offset marks
// a trace nobody picked, as pick tables store it; at zero offset such a
// time is the source's own delay (uphole or trigger time), a pick.
inline bool isUnpicked(const FbRecord &r)
{
    return r.offset != 0 && !(r.fb_time > 0.0f);
}

} // namespace FbPicks

#endif // FBPICKS_H
