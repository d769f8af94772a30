#ifndef FBFILE_FBLAYOUT_H
#define FBFILE_FBLAYOUT_H

#include <QtEndian>
#include <QtGlobal>

namespace FbFile {

// The layout of an FB (first-break pick) file: a 16-byte header of four
// little-endian int32 words, then fixed 84-byte records of twenty-one 4-byte
// words, one per picked trace, the traces of a shot next to each other.

// The header as the writer left it. Words missing from a file shorter than
// 16 bytes read as 0.
struct FbFileHeader
{
    qint32 fb_count = 0; // records declared by the writer; only checked against the size
    qint32 polarity = 0; // > 0 positive, otherwise negative
    qint32 min_offset = 0;
    qint32 max_offset = 0;
};

// One record in file order. The four unnamed words are kept so that the
// struct mirrors the file, but the reader leaves them at 0.
struct FbRecord
{
    qint32 ffid = 0;
    qint32 channel = 0;
    qint32 offset = 0;
    qint32 g_elev = 0;
    qint32 s_elev = 0;
    qint32 s_depth = 0;
    float source_x = 0.0f;
    float source_y = 0.0f;
    float group_x = 0.0f;
    float group_y = 0.0f;
    qint32 s_line = 0;
    qint32 s_stat = 0;
    qint32 g_line = 0;
    qint32 g_stat = 0;
    qint32 word56 = 0;
    float fb_time = 0.0f;
    qint32 fb_status = 0;
    qint32 word68 = 0;
    qint32 fb_no = 0;
    qint32 word76 = 0;
    qint32 word80 = 0;
};

namespace FbLayout {

constexpr qint64 HeaderSize = 16;
constexpr qint64 RecordSize = 84;
// Whole records per sequential read: about 1 MiB, large enough to run at
// the disk's speed, small enough to stay in cache.
constexpr qint64 BlockRecords = (1 << 20) / RecordSize;

// One named field of a record: where it sits, how it is stored and how it
// is shown. Every reader, writer, comparison and cell text goes through
// this one table.
enum class FieldType { Int32, Float32 };
enum class CellFormat {
    Decimal,     // integers as they are
    Fixed2,      // coordinates: 'f' with 2 decimals
    Significant6 // pick times: 'g' with 6 significant digits
};
struct Field
{
    const char *name;
    int offset; // byte offset within the record
    FieldType type;
    bool sourceAttribute; // describes the shot's source, so is expected constant within a shot
    CellFormat format;
    qint32 FbRecord::*intMember;  // set for Int32
    float FbRecord::*floatMember; // set for Float32

    double value(const FbRecord &r) const { return type == FieldType::Int32 ? r.*intMember : r.*floatMember; }
};

constexpr int FieldCount = 17;
// The named fields in file order.
extern const Field fields[FieldCount];
// The field called name, or nullptr.
const Field *fieldNamed(const char *name);

// Complete records in a file of fileSize bytes: (size - 16) / 84, truncated
// toward zero; 0 for a file that cannot hold one record. A trailing partial
// record is not counted. The result may exceed the int32 range for huge
// files; callers that hold record numbers as int32 must check.
constexpr qint64 recordCount(qint64 fileSize)
{
    return fileSize < HeaderSize + RecordSize ? 0 : (fileSize - HeaderSize) / RecordSize;
}

// Bytes of a file of fileSize bytes past its header and its first
// recordCount records: a partial record at the end, or the tail of a file
// that changed while it was read; 0 for a file too short for a header.
constexpr qint64 trailingBytes(qint64 fileSize, qint64 recordCount)
{
    return fileSize < HeaderSize ? 0 : fileSize - HeaderSize - recordCount * RecordSize;
}

// The most records one read into a QByteArray can hold.
constexpr qint64 MaxRecordsPerRead = 0x7fffffff / RecordSize;

// File position of record number record (0-based), in 64 bits.
constexpr qint64 recordPosition(qint32 record)
{
    return HeaderSize + RecordSize * static_cast<qint64>(record);
}

// Decodes the header from the first size bytes of bytes (size may be below
// 16; missing words stay 0).
FbFileHeader decodeHeader(const char *bytes, qint64 size);
// Decodes the seventeen named fields of the 84 bytes at bytes; the unnamed
// words stay 0.
FbRecord decodeRecord(const char *bytes);
// Decodes count consecutive records from bytes into out, each exactly as
// decodeRecord() would. Where the host is little-endian and FbRecord mirrors
// the file, a block copy: the QC pass decodes every record of a file.
void decodeRecords(const char *bytes, qint64 count, FbRecord *out);
// The k-th of consecutive records starting at bytes.
inline const char *recordAt(const char *bytes, qint64 k)
{
    return bytes + RecordSize * k;
}
// The fb_time of the record at bytes.
float decodeTime(const char *bytes);
// The ffid word of the record at bytes. Inline: the shot-index scan calls it
// for every record of the file.
inline qint32 decodeFfid(const char *bytes)
{
    return qFromLittleEndian<qint32>(bytes);
}

// Writers, used by the generator and the tests: 16 and 84 bytes, every word
// little-endian, the unnamed words included.
void encodeHeader(const FbFileHeader &header, char *out);
void encodeRecord(const FbRecord &record, char *out);

} // namespace FbLayout

} // namespace FbFile

#endif // FBFILE_FBLAYOUT_H
