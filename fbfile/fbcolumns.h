#ifndef FBFILE_FBCOLUMNS_H
#define FBFILE_FBCOLUMNS_H

#include <fbfile/fblayout.h>

#include <QString>
#include <QVector>

namespace FbFile {

// The sixteen columns in which a shot's records are shown, as the viewer
// table and the command-line dump share them.
namespace FbColumns {

enum Column {
    FbNo,
    Ffid,
    Channel,
    FbTime,
    Offset,
    GElev,
    SElev,
    SDepth,
    SourceX,
    SourceY,
    GroupX,
    GroupY,
    SLine,
    SStat,
    GLine,
    GStat,
    Count
};

// Titles, untranslated; the viewer translates them in the context "QObject".
extern const char *const titles[Count];
// Widths in pixels.
extern const int widths[Count];

// Source attributes, expected equal in every record of a shot, in the order
// the viewer checks them.
extern const int shotConstantColumns[7];
// The remaining columns, in the order the viewer fills them.
extern const int perRecordColumns[9];

// The record field a column shows. column must be in 0..Count-1.
const FbLayout::Field &field(int column);

// The text of a cell: integers in decimal, coordinates 'f' with 2
// decimals, fb_time 'g' with 6 significant digits. Empty for a column
// outside 0..Count-1.
QString cellText(const FbRecord &record, int column);

// The text of any record field in its cell format, fb_status included.
QString fieldText(const FbLayout::Field &field, const FbRecord &record);

// The same cell texts for bulk output (a dump of millions of picks), written
// as bytes into a caller's buffer: no QString, no allocation, about six
// times faster than fieldText (bench/dumpbench measures both).
//
// Promise: the bytes are exactly the characters of fieldText for the same
// value, for every bit pattern of the field: "nan" for every NaN (its sign
// and payload dropped), "inf" and "-inf", "0.00" and "0" for either zero,
// but "-0.00" for a negative value that rounds to zero; a value halfway
// between two texts rounds away from zero ("0.13" for 0.125, "123457" for
// 123456.5); 'g' chooses the exponent form below 1e-4 and from 1e6 on
// (after rounding), with a sign and at least two exponent digits ("1e-05",
// "1.23457e+07"). A text shorter than width is right-justified to it with
// spaces. Texts are ASCII, at most MaxCellBytes long before justifying, and
// are not zero-terminated. The functions return the end of what they wrote.
//
// Usage:
//   char cell[FbColumns::MaxCellBytes];
//   const char *end = FbColumns::writeFieldText(field, record, cell);
//   out.append(cell, int(end - cell));
constexpr int MaxCellBytes = 48; // the longest is -FLT_MAX with 2 decimals: 43
char *writeFieldText(const FbLayout::Field &field, const FbRecord &record, char *out, int width = 0);
char *writeDecimal(qint32 value, char *out, int width = 0);
char *writeFixed2(float value, char *out, int width = 0);
char *writeSignificant6(float value, char *out, int width = 0);

// Exact equality of one column's values; a NaN never equals anything, not
// even itself. Columns outside 0..Count-1 compare equal.
bool sameValue(const FbRecord &a, const FbRecord &b, int column);

// Whether any record differs from the first one in column (exact, NaN
// differs). False for an empty shot.
bool columnVaries(const QVector<FbRecord> &records, int column);

// The three looks of a pick status.
enum class PickClass { Status0, Status1, Other };
inline PickClass pickClass(qint32 fbStatus)
{
    return fbStatus == 0 ? PickClass::Status0 : fbStatus == 1 ? PickClass::Status1 : PickClass::Other;
}

} // namespace FbColumns

} // namespace FbFile

#endif // FBFILE_FBCOLUMNS_H
