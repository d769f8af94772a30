#ifndef FBFILE_NUMBERTEXT_H
#define FBFILE_NUMBERTEXT_H

#include <QtGlobal>

#include <charconv>
#include <cstring>
#include <limits>

namespace FbFile {

// Numbers as the text files of this library write and read them (the edit
// log, the pick table, the unified data format): C-locale whatever the
// process's locale, and floats in the shortest form that reads back to the
// same bits ("0.1", "12.5", "1e-45", "3.4028235e+38", "-0"). The non-finite
// floats are written "nan", "-nan", "inf" and "-inf" and read back as such
// (a NaN's payload is not kept). Readers take the whole text or nothing,
// with an optional leading '+' as hand-made lists have it; no spaces.
//
// Usage:
//   char text[NumberText::MaxBytes];
//   char *end = NumberText::writeFloat(value, text);
//   float back;
//   NumberText::parseFloat(text, end, &back);   // back has value's bits
namespace NumberText {

constexpr int MaxBytes = 32; // the longest shortest double is 24 bytes

inline char *writeFloat(float value, char *out)
{
    return std::to_chars(out, out + MaxBytes, value).ptr;
}

inline char *writeDouble(double value, char *out)
{
    return std::to_chars(out, out + MaxBytes, value).ptr;
}

inline char *writeInt(qint64 value, char *out)
{
    return std::to_chars(out, out + MaxBytes, value).ptr;
}

namespace Detail {

template<typename T>
bool parse(const char *begin, const char *end, T *value)
{
    if (end - begin > 1 && *begin == '+' && begin[1] != '-')
        ++begin;
    T v{};
    const std::from_chars_result r = std::from_chars(begin, end, v);
    if (r.ec != std::errc() || r.ptr != end || begin == end)
        return false;
    *value = v;
    return true;
}

} // namespace Detail

inline bool parseFloat(const char *begin, const char *end, float *value)
{
    return Detail::parse(begin, end, value);
}

inline bool parseDouble(const char *begin, const char *end, double *value)
{
    return Detail::parse(begin, end, value);
}

inline bool parseInt32(const char *begin, const char *end, qint32 *value)
{
    return Detail::parse(begin, end, value);
}

// A float's bits as the file stores them, and back.
inline quint32 floatBits(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline float bitsFloat(quint32 bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace NumberText

} // namespace FbFile

#endif // FBFILE_NUMBERTEXT_H
