#include "fbcolumns.h"

#include <QCoreApplication>

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

namespace {

enum class Kind { Int, Coordinate, Time };

struct Field
{
    Kind kind;
    qint32 FbRecord::*intField;
    float FbRecord::*floatField;
};

Field field(int column)
{
    switch (column) {
    case FbNo: return {Kind::Int, &FbRecord::fb_no, nullptr};
    case Ffid: return {Kind::Int, &FbRecord::ffid, nullptr};
    case Channel: return {Kind::Int, &FbRecord::channel, nullptr};
    case FbTime: return {Kind::Time, nullptr, &FbRecord::fb_time};
    case Offset: return {Kind::Int, &FbRecord::offset, nullptr};
    case GElev: return {Kind::Int, &FbRecord::g_elev, nullptr};
    case SElev: return {Kind::Int, &FbRecord::s_elev, nullptr};
    case SDepth: return {Kind::Int, &FbRecord::s_depth, nullptr};
    case SourceX: return {Kind::Coordinate, nullptr, &FbRecord::source_x};
    case SourceY: return {Kind::Coordinate, nullptr, &FbRecord::source_y};
    case GroupX: return {Kind::Coordinate, nullptr, &FbRecord::group_x};
    case GroupY: return {Kind::Coordinate, nullptr, &FbRecord::group_y};
    case SLine: return {Kind::Int, &FbRecord::s_line, nullptr};
    case SStat: return {Kind::Int, &FbRecord::s_stat, nullptr};
    case GLine: return {Kind::Int, &FbRecord::g_line, nullptr};
    case GStat: return {Kind::Int, &FbRecord::g_stat, nullptr};
    default: break;
    }
    Q_UNREACHABLE();
    return {Kind::Int, &FbRecord::ffid, nullptr};
}

} // namespace

QString cellText(const FbRecord &record, int column)
{
    if (column < 0 || column >= Count)
        return QString();
    const Field f = field(column);
    switch (f.kind) {
    case Kind::Int:
        return QString::number(record.*f.intField);
    case Kind::Coordinate:
        return QString::number(static_cast<double>(record.*f.floatField), 'f', 2);
    case Kind::Time:
        return QString::number(static_cast<double>(record.*f.floatField), 'g', 6);
    }
    return QString();
}

bool sameValue(const FbRecord &a, const FbRecord &b, int column)
{
    if (column < 0 || column >= Count)
        return true;
    const Field f = field(column);
    if (f.kind == Kind::Int)
        return a.*f.intField == b.*f.intField;
    // Exact comparison on purpose: a NaN differs even from itself.
    return a.*f.floatField == b.*f.floatField;
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
