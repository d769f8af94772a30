#ifndef FBQC_POSITIONKEY_H
#define FBQC_POSITIONKEY_H

#include <QtGlobal>

#include <cstring>

// A receiver position as one 64-bit key: two positions are one when their
// coordinates are the same floats (0 and -0 alike), as a rolling spread
// writes a station's surveyed position the same way every time. And a
// mixing of keys into hash shards, so that threads can share them out.
namespace FbQc {

inline quint64 positionKey(float x, float y)
{
    // + 0.0f makes -0 into 0.
    x += 0.0f;
    y += 0.0f;
    quint32 bx, by;
    std::memcpy(&bx, &x, sizeof bx);
    std::memcpy(&by, &y, sizeof by);
    return (quint64(bx) << 32) | by;
}

inline quint64 mixKey(quint64 key)
{
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdull;
    key ^= key >> 33;
    return key;
}

// The shard of shards that holds key.
inline quint64 shardOf(quint64 key, quint64 shards)
{
    return (mixKey(key) >> 40) % shards;
}

} // namespace FbQc

#endif // FBQC_POSITIONKEY_H
