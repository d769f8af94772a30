#include "fbcolumns.h"

#include <QCoreApplication>

#include <array>

namespace FbColumns {

const char *const titles[Count] = {
    QT_TRANSLATE_NOOP("QObject", "fb_no"),
    QT_TRANSLATE_NOOP("QObject", "ffid"),
    QT_TRANSLATE_NOOP("QObject", "channel"),
    QT_TRANSLATE_NOOP("QObject", "fb_time"),
    QT_TRANSLATE_NOOP("QObject", "offset"),
    QT_TRANSLATE_NOOP("QObject", "g_elev"),
    QT_TRANSLATE_NOOP("QObject", "s_elev"),
    QT_TRANSLATE_NOOP("QObject", "s_depth"),
    QT_TRANSLATE_NOOP("QObject", "source_x"),
    QT_TRANSLATE_NOOP("QObject", "source_y"),
    QT_TRANSLATE_NOOP("QObject", "group_x"),
    QT_TRANSLATE_NOOP("QObject", "group_y"),
    QT_TRANSLATE_NOOP("QObject", "s_line"),
    QT_TRANSLATE_NOOP("QObject", "s_stat"),
    QT_TRANSLATE_NOOP("QObject", "g_line"),
    QT_TRANSLATE_NOOP("QObject", "g_stat"),
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
