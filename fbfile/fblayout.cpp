#include <fbfile/fblayout.h>

#include <QtEndian>

#include <cstring>

namespace FbFile {

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

namespace {

constexpr FieldType I = FieldType::Int32;
constexpr FieldType F = FieldType::Float32;
constexpr CellFormat Dec = CellFormat::Decimal;

} // namespace

const Field fields[FieldCount] = {
    {"ffid", 0, I, true, Dec, &FbRecord::ffid, nullptr},
    {"channel", 4, I, false, Dec, &FbRecord::channel, nullptr},
    {"offset", 8, I, false, Dec, &FbRecord::offset, nullptr},
    {"g_elev", 12, I, false, Dec, &FbRecord::g_elev, nullptr},
    {"s_elev", 16, I, true, Dec, &FbRecord::s_elev, nullptr},
    {"s_depth", 20, I, true, Dec, &FbRecord::s_depth, nullptr},
    {"source_x", 24, F, true, CellFormat::Fixed2, nullptr, &FbRecord::source_x},
    {"source_y", 28, F, true, CellFormat::Fixed2, nullptr, &FbRecord::source_y},
    {"group_x", 32, F, false, CellFormat::Fixed2, nullptr, &FbRecord::group_x},
    {"group_y", 36, F, false, CellFormat::Fixed2, nullptr, &FbRecord::group_y},
    {"s_line", 40, I, true, Dec, &FbRecord::s_line, nullptr},
    {"s_stat", 44, I, true, Dec, &FbRecord::s_stat, nullptr},
    {"g_line", 48, I, false, Dec, &FbRecord::g_line, nullptr},
    {"g_stat", 52, I, false, Dec, &FbRecord::g_stat, nullptr},
    {"fb_time", 60, F, false, CellFormat::Significant6, nullptr, &FbRecord::fb_time},
    {"fb_status", 64, I, false, Dec, &FbRecord::fb_status, nullptr},
    {"fb_no", 72, I, false, Dec, &FbRecord::fb_no, nullptr},
};

namespace {

// The words between the named fields: written back as they are held, never
// read, so that the struct mirrors the file.
const struct
{
    int offset;
    qint32 FbRecord::*member;
} unnamedWords[] = {
    {56, &FbRecord::word56},
    {68, &FbRecord::word68},
    {76, &FbRecord::word76},
    {80, &FbRecord::word80},
};

} // namespace

const Field *fieldNamed(const char *name)
{
    for (const Field &f : fields) {
        if (qstrcmp(f.name, name) == 0)
            return &f;
    }
    return nullptr;
}

FbRecord decodeRecord(const char *bytes)
{
    FbRecord r;
    for (const Field &f : fields) {
        if (f.type == FieldType::Int32)
            r.*f.intMember = int32At(bytes, f.offset);
        else
            r.*f.floatMember = floatAt(bytes, f.offset);
    }
    return r;
}

void decodeRecords(const char *bytes, qint64 count, FbRecord *out)
{
    static_assert(sizeof(FbRecord) == RecordSize, "FbRecord mirrors a record");
    if (Q_BYTE_ORDER != Q_LITTLE_ENDIAN) {
        for (qint64 k = 0; k < count; ++k)
            out[k] = decodeRecord(bytes + k * RecordSize);
        return;
    }
    std::memcpy(static_cast<void *>(out), bytes, static_cast<size_t>(count * RecordSize));
    for (qint64 k = 0; k < count; ++k) {
        for (const auto &w : unnamedWords)
            out[k].*w.member = 0;
    }
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
    for (const Field &f : fields) {
        if (f.type == FieldType::Int32)
            putInt32(out, f.offset, r.*f.intMember);
        else
            putFloat(out, f.offset, r.*f.floatMember);
    }
    for (const auto &w : unnamedWords)
        putInt32(out, w.offset, r.*w.member);
}

float decodeTime(const char *bytes)
{
    static const int offset = fieldNamed("fb_time")->offset;
    return floatAt(bytes, offset);
}

} // namespace FbLayout

} // namespace FbFile
