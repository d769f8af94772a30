#include "fblayout.h"

#include <QtEndian>

#include <cstring>

namespace {

qint32 int32At(const char *bytes, int offset)
{
    return qFromLittleEndian<qint32>(bytes + offset);
}

float floatAt(const char *bytes, int offset)
{
    const quint32 bits = qFromLittleEndian<quint32>(bytes + offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void putInt32(char *out, int offset, qint32 value)
{
    qToLittleEndian<qint32>(value, out + offset);
}

void putFloat(char *out, int offset, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian<quint32>(bits, out + offset);
}

} // namespace

namespace FbLayout {

FbFileHeader decodeHeader(const char *bytes, qint64 size)
{
    char full[HeaderSize] = {};
    std::memcpy(full, bytes, static_cast<size_t>(qBound<qint64>(0, size, HeaderSize)));
    FbFileHeader header;
    header.fb_count = int32At(full, 0);
    header.polarity = int32At(full, 4);
    header.min_offset = int32At(full, 8);
    header.max_offset = int32At(full, 12);
    return header;
}

FbRecord decodeRecord(const char *bytes)
{
    FbRecord r;
    r.ffid = int32At(bytes, 0);
    r.channel = int32At(bytes, 4);
    r.offset = int32At(bytes, 8);
    r.g_elev = int32At(bytes, 12);
    r.s_elev = int32At(bytes, 16);
    r.s_depth = int32At(bytes, 20);
    r.source_x = floatAt(bytes, 24);
    r.source_y = floatAt(bytes, 28);
    r.group_x = floatAt(bytes, 32);
    r.group_y = floatAt(bytes, 36);
    r.s_line = int32At(bytes, 40);
    r.s_stat = int32At(bytes, 44);
    r.g_line = int32At(bytes, 48);
    r.g_stat = int32At(bytes, 52);
    r.fb_time = floatAt(bytes, 60);
    r.fb_status = int32At(bytes, 64);
    r.fb_no = int32At(bytes, 72);
    return r;
}

void encodeHeader(const FbFileHeader &header, char *out)
{
    putInt32(out, 0, header.fb_count);
    putInt32(out, 4, header.polarity);
    putInt32(out, 8, header.min_offset);
    putInt32(out, 12, header.max_offset);
}

void encodeRecord(const FbRecord &r, char *out)
{
    putInt32(out, 0, r.ffid);
    putInt32(out, 4, r.channel);
    putInt32(out, 8, r.offset);
    putInt32(out, 12, r.g_elev);
    putInt32(out, 16, r.s_elev);
    putInt32(out, 20, r.s_depth);
    putFloat(out, 24, r.source_x);
    putFloat(out, 28, r.source_y);
    putFloat(out, 32, r.group_x);
    putFloat(out, 36, r.group_y);
    putInt32(out, 40, r.s_line);
    putInt32(out, 44, r.s_stat);
    putInt32(out, 48, r.g_line);
    putInt32(out, 52, r.g_stat);
    putInt32(out, 56, r.word56);
    putFloat(out, 60, r.fb_time);
    putInt32(out, 64, r.fb_status);
    putInt32(out, 68, r.word68);
    putInt32(out, 72, r.fb_no);
    putInt32(out, 76, r.word76);
    putInt32(out, 80, r.word80);
}

} // namespace FbLayout
