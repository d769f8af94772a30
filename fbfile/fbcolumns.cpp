#include <fbfile/fbcolumns.h>

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace FbFile {

namespace FbColumns {

const char *const titles[Count] = {
    QT_TRANSLATE_NOOP("QObject", "fb_no"),    QT_TRANSLATE_NOOP("QObject", "ffid"),
    QT_TRANSLATE_NOOP("QObject", "channel"),  QT_TRANSLATE_NOOP("QObject", "fb_time"),
    QT_TRANSLATE_NOOP("QObject", "offset"),   QT_TRANSLATE_NOOP("QObject", "g_elev"),
    QT_TRANSLATE_NOOP("QObject", "s_elev"),   QT_TRANSLATE_NOOP("QObject", "s_depth"),
    QT_TRANSLATE_NOOP("QObject", "source_x"), QT_TRANSLATE_NOOP("QObject", "source_y"),
    QT_TRANSLATE_NOOP("QObject", "group_x"),  QT_TRANSLATE_NOOP("QObject", "group_y"),
    QT_TRANSLATE_NOOP("QObject", "s_line"),   QT_TRANSLATE_NOOP("QObject", "s_stat"),
    QT_TRANSLATE_NOOP("QObject", "g_line"),   QT_TRANSLATE_NOOP("QObject", "g_stat"),
};

const int widths[Count] = {90, 80, 80, 70, 70, 90, 80, 60, 100, 100, 100, 100, 80, 80, 90, 90};

const int shotConstantColumns[7] = {Ffid, SElev, SDepth, SourceX, SourceY, SLine, SStat};

const int perRecordColumns[9] = {FbNo, Channel, FbTime, Offset, GElev, GroupX, GroupY, GLine, GStat};

const FbLayout::Field &field(int column)
{
    // A column's title is the name of the field it shows.
    static const auto byColumn = [] {
        std::array<const FbLayout::Field *, Count> fields{};
        for (int c = 0; c < Count; ++c)
            fields[c] = FbLayout::fieldNamed(titles[c]);
        return fields;
    }();
    Q_ASSERT(column >= 0 && column < Count && byColumn[column]);
    return *byColumn[column];
}

QString fieldText(const FbLayout::Field &f, const FbRecord &record)
{
    switch (f.format) {
    case FbLayout::CellFormat::Decimal:
        return QString::number(record.*f.intMember);
    case FbLayout::CellFormat::Fixed2:
        return QString::number(static_cast<double>(record.*f.floatMember), 'f', 2);
    case FbLayout::CellFormat::Significant6:
        return QString::number(static_cast<double>(record.*f.floatMember), 'g', 6);
    }
    return QString();
}

namespace {

// A finite, non-zero float as its exact value: magnitude m * 2^e, m < 2^24.
// Every text below is rounded from this exact value, never from a decimal
// approximation of it, so that halfway cases are seen as such.
struct ExactFloat
{
    quint64 m;
    int e;
};

ExactFloat exactMagnitude(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = int(bits >> 23) & 0xff;
    const quint32 fraction = bits & 0x7fffff;
    if (biased == 0)
        return {fraction, -149}; // denormal
    return {fraction | 0x800000u, biased - 150};
}

constexpr quint64 powersOf10[] = {1ull,
                                  10ull,
                                  100ull,
                                  1000ull,
                                  10000ull,
                                  100000ull,
                                  1000000ull,
                                  10000000ull,
                                  100000000ull,
                                  1000000000ull,
                                  10000000000ull,
                                  100000000000ull,
                                  1000000000000ull,
                                  10000000000000ull,
                                  100000000000000ull,
                                  1000000000000000ull,
                                  10000000000000000ull,
                                  100000000000000000ull,
                                  1000000000000000000ull,
                                  10000000000000000000ull};

// Decimal digits of v.
int digitCount(quint64 v)
{
    const int n = ((64 - qCountLeadingZeroBits(v | 1)) * 1233) >> 12; // ~ bits * log10(2)
    return qMax(1, n + (v >= powersOf10[n]));
}

// Writes the digits of v so that they end at end.
Q_ALWAYS_INLINE void writeDigits(quint64 v, char *end)
{
    static const char pairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                "8081828384858687888990919293949596979899";
    while (v >= 100) {
        end -= 2;
        std::memcpy(end, pairs + 2 * (v % 100), 2);
        v /= 100;
    }
    if (v >= 10) {
        std::memcpy(end - 2, pairs + 2 * v, 2);
    } else {
        end[-1] = char('0' + v);
    }
}

// Writes the spaces that right-justify a text of size characters to width;
// returns where the text goes.
Q_ALWAYS_INLINE char *justify(char *out, int size, int width)
{
    if (size >= width)
        return out;
    const int padding = width - size;
    if (padding <= 8 && width >= 8)
        std::memcpy(out, "        ", 8); // one store; the text overwrites the rest
    else
        std::memset(out, ' ', size_t(padding));
    return out + padding;
}

char *writeJustified(const char *text, int size, char *out, int width)
{
    out = justify(out, size, width);
    std::memcpy(out, text, size_t(size));
    return out + size;
}

// The library's text of v in the given format, which for these values has
// no halfway case to round differently from Qt.
char *writeByLibrary(double v, std::chars_format format, int precision, char *out, int width)
{
    char text[MaxCellBytes];
    const char *end = std::to_chars(text, text + sizeof text, v, format, precision).ptr;
    return writeJustified(text, int(end - text), out, width);
}

// Qt's texts for what has no digits; a NaN carries no sign.
char *writeNonFinite(float value, char *out, int width)
{
    if (std::isnan(value))
        return writeJustified("nan", 3, out, width);
    return value < 0 ? writeJustified("-inf", 4, out, width) : writeJustified("inf", 3, out, width);
}

// floor(x * 10^scale) for the exact float x, and whether the remainder is at
// least one half. scale is in -12..11, and the caller keeps the result
// within 10^7, so every intermediate value fits 64 bits.
quint64 scaledDown(const ExactFloat &x, int scale, bool *halfOrMore)
{
    if (scale >= 0) {
        const quint64 n = x.m * powersOf10[scale]; // < 2^24 * 10^11 < 2^61
        if (x.e >= 0) {
            *halfOrMore = false;
            return n << x.e;
        }
        const int shift = -x.e;
        if (shift >= 64) {
            *halfOrMore = false;
            return 0;
        }
        *halfOrMore = (n >> (shift - 1)) & 1;
        return n >> shift;
    }
    quint64 n = x.m, d = powersOf10[-scale];
    if (x.e >= 0)
        n <<= x.e;
    else
        d <<= -x.e;
    const quint64 r = n % d;
    *halfOrMore = r >= d - r;
    return n / d;
}

} // namespace

char *writeDecimal(qint32 value, char *out, int width)
{
    const quint64 magnitude = value < 0 ? 0 - quint64(qint64(value)) : quint64(value);
    const int size = (value < 0) + digitCount(magnitude);
    out = justify(out, size, width);
    if (value < 0)
        *out = '-';
    writeDigits(magnitude, out + size);
    return out + size;
}

char *writeFixed2(float value, char *out, int width)
{
    if (!std::isfinite(value))
        return writeNonFinite(value, out, width);
    if (value == 0)
        return writeJustified("0.00", 4, out, width); // Qt drops the sign of a zero
    const ExactFloat x = exactMagnitude(value);
    // From 2^56 on the value is an integer with more digits than the cents
    // below can hold: its text is exact and has no halfway case.
    if (x.e > 32)
        return writeByLibrary(double(value), std::chars_format::fixed, 2, out, width);
    const quint64 scaled = x.m * 100; // < 2^31
    quint64 cents;
    if (x.e >= 0) {
        cents = scaled << x.e;
    } else if (x.e < -40) {
        cents = 0; // far below half a cent
    } else {
        // Half a cent or more rounds up, away from zero: "0.13" for 0.125.
        const int shift = -x.e;
        cents = (scaled >> shift) + ((scaled >> (shift - 1)) & 1);
    }
    const quint64 whole = cents / 100;
    const int size = (value < 0) + digitCount(whole) + 3;
    out = justify(out, size, width);
    if (value < 0)
        *out = '-'; // also when the value rounds to zero: "-0.00"
    char *end = out + size;
    writeDigits(cents % 100 + 100, end); // "1dd": the leading 1 gives way to the point
    end[-3] = '.';
    writeDigits(whole, end - 3);
    return end;
}

char *writeSignificant6(float value, char *out, int width)
{
    if (!std::isfinite(value))
        return writeNonFinite(value, out, width);
    if (value == 0)
        return writeJustified("0", 1, out, width);
    const ExactFloat x = exactMagnitude(value);
    // The decimal exponent p, 10^p <= |value| < 10^(p+1): first a guess from
    // the binary exponent (log10(2) ~ 78913 / 2^18), then made exact by the
    // six leading digits it gives.
    const int binaryExponent = 63 - qCountLeadingZeroBits(x.m) + x.e;
    int p = (binaryExponent * 78913) >> 18;
    // The guess is low by one for about a third of the values; a rounded
    // power of ten mends most of them without a second scaling.
    static constexpr double powers[] = {1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0,  1e1,  1e2,  1e3,  1e4,  1e5,
                                        1e6,  1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};
    if (p >= -7 && p <= 16 && std::fabs(double(value)) >= powers[p + 7])
        ++p;
    quint64 digits = 0;
    bool halfOrMore = false;
    for (;;) {
        // Outside 1e-6 .. 1e18 the scaled value would not fit 64 bits.
        // A halfway case is a float that is a seven-digit decimal ending in
        // 5, m * 2^e = D * 10^e with m < 2^24, so 5^|e| divides m or D: it
        // lies between 1e-4 and 1e8, and out here the library's rounding
        // (half to even) gives the same text.
        if (p < -6 || p > 17)
            return writeByLibrary(double(value), std::chars_format::general, 6, out, width);
        digits = scaledDown(x, 5 - p, &halfOrMore);
        if (digits >= 1000000)
            ++p;
        else if (digits < 100000)
            --p;
        else
            break;
    }
    if (halfOrMore && ++digits == 1000000) { // 999999.5 becomes 1e+06
        digits = 100000;
        ++p;
    }
    int shown = 6; // significant digits without trailing zeros
    while (digits % 10 == 0) {
        digits /= 10;
        --shown;
    }

    const bool negative = value < 0;
    const bool exponentForm = p < -4 || p >= 6;
    int size;
    if (exponentForm)
        size = shown + (shown > 1) + 4; // d[.ddddd]e+XX
    else if (p < 0)
        size = 1 - p + shown; // 0.000ddd
    else
        size = qMax(shown, p + 1) + (shown > p + 1); // ddd[.ddd]
    out = justify(out, size + negative, width);
    if (negative)
        *out++ = '-';
    char *const end = out + size;
    if (exponentForm) {
        const int magnitude = p < 0 ? -p : p;
        end[-4] = 'e';
        end[-3] = p < 0 ? '-' : '+';
        end[-2] = char('0' + magnitude / 10);
        end[-1] = char('0' + magnitude % 10);
        writeDigits(digits, end - 4);
        if (shown > 1) {
            out[0] = out[1];
            out[1] = '.';
        }
    } else if (p < 0) {
        std::memset(out, '0', size_t(1 - p)); // "0.000", the point set next
        out[1] = '.';
        writeDigits(digits, end);
    } else if (shown <= p + 1) {
        std::memset(out + shown, '0', size_t(p + 1 - shown));
        writeDigits(digits, out + shown);
    } else {
        writeDigits(digits, end);
        for (int k = 0; k <= p; ++k) // the whole part, left of the point
            out[k] = out[k + 1];
        out[p + 1] = '.';
    }
    return end;
}

char *writeFieldText(const FbLayout::Field &f, const FbRecord &record, char *out, int width)
{
    switch (f.format) {
    case FbLayout::CellFormat::Decimal:
        return writeDecimal(record.*f.intMember, out, width);
    case FbLayout::CellFormat::Fixed2:
        return writeFixed2(record.*f.floatMember, out, width);
    case FbLayout::CellFormat::Significant6:
        return writeSignificant6(record.*f.floatMember, out, width);
    }
    return out;
}

QString cellText(const FbRecord &record, int column)
{
    if (column < 0 || column >= Count)
        return QString();
    return fieldText(field(column), record);
}

bool sameValue(const FbRecord &a, const FbRecord &b, int column)
{
    if (column < 0 || column >= Count)
        return true;
    const FbLayout::Field &f = field(column);
    if (f.type == FbLayout::FieldType::Int32)
        return a.*f.intMember == b.*f.intMember;
    // Exact comparison on purpose: a NaN differs even from itself.
    return a.*f.floatMember == b.*f.floatMember;
}

bool columnVaries(const QVector<FbRecord> &records, int column)
{
    if (records.isEmpty())
        return false;
    const FbRecord &first = records.first();
    for (const FbRecord &record : records) {
        if (!sameValue(first, record, column))
            return true;
    }
    return false;
}

} // namespace FbColumns

} // namespace FbFile
