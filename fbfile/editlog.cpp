#include "editlog.h"

#include "fbblockreader.h"
#include "fboutputfile.h"
#include "numbertext.h"

#include <QCoreApplication>
#include <QFile>

#include <limits>

const char *const EditLog::Header = "record,fb_no,ffid,channel,field,old,new,reason";

namespace {

// The columns read() knows; the order is write()'s.
enum Column { Record, FbNo, Ffid, Channel, Field, Old, New, Reason, ColumnCount };
const char *const ColumnNames[ColumnCount] = {"record", "fb_no", "ffid", "channel", "field", "old", "new", "reason"};
const bool Needed[ColumnCount] = {true, false, false, false, true, false, true, false};

// Splits CSV text into rows of cells, RFC 4180 style: a quoted cell may hold
// commas, doubled quotes and line breaks; spaces around an unquoted cell are
// dropped. Each row keeps the line it starts on.
class CsvReader
{
public:
    explicit CsvReader(const QByteArray &text) : m_p(text.constData()), m_end(m_p + text.size())
    {
        if (text.startsWith("\xEF\xBB\xBF"))
            m_p += 3;
    }

    // The next row, or false at the end; *error is set on a broken quote.
    bool next(QVector<QByteArray> *cells, int *line, QString *error)
    {
        cells->clear();
        if (m_p >= m_end)
            return false;
        *line = m_line;
        QByteArray cell;
        bool quoted = false;
        for (;;) {
            while (m_p < m_end && (*m_p == ' ' || *m_p == '\t'))
                ++m_p;
            cell.clear();
            quoted = m_p < m_end && *m_p == '"';
            if (quoted) {
                ++m_p;
                for (;;) {
                    if (m_p >= m_end) {
                        *error = QCoreApplication::translate("EditLog", "line %1: a quoted cell is not closed").arg(*line);
                        return false;
                    }
                    if (*m_p == '"') {
                        if (m_p + 1 < m_end && m_p[1] == '"') {
                            cell += '"';
                            m_p += 2;
                            continue;
                        }
                        ++m_p;
                        break;
                    }
                    if (*m_p == '\n')
                        ++m_line;
                    cell += *m_p++;
                }
                while (m_p < m_end && (*m_p == ' ' || *m_p == '\t'))
                    ++m_p;
            } else {
                const char *begin = m_p;
                while (m_p < m_end && *m_p != ',' && *m_p != '\n' && *m_p != '\r')
                    ++m_p;
                const char *end = m_p;
                while (end > begin && (end[-1] == ' ' || end[-1] == '\t'))
                    --end;
                cell = QByteArray(begin, int(end - begin));
            }
            cells->append(cell);
            if (m_p < m_end && *m_p == ',') {
                ++m_p;
                continue;
            }
            if (m_p < m_end && *m_p == '\r')
                ++m_p;
            if (m_p < m_end && *m_p == '\n') {
                ++m_p;
                ++m_line;
                return true;
            }
            if (m_p >= m_end)
                return true;
            *error = QCoreApplication::translate("EditLog", "line %1: text after a quoted cell").arg(*line);
            return false;
        }
    }

private:
    const char *m_p;
    const char *m_end;
    int m_line = 1;
};

bool parseValue(const FbLayout::Field &field, const QByteArray &text, quint32 *bits)
{
    const char *b = text.constData(), *e = b + text.size();
    if (field.type == FbLayout::FieldType::Float32) {
        float v;
        if (!NumberText::parseFloat(b, e, &v))
            return false;
        *bits = NumberText::floatBits(v);
        return true;
    }
    qint32 v;
    if (!NumberText::parseInt32(b, e, &v))
        return false;
    *bits = quint32(v);
    return true;
}

bool parseInt(const QByteArray &text, qint32 *value)
{
    return NumberText::parseInt32(text.constData(), text.constData() + text.size(), value);
}

bool needsQuotes(const QByteArray &text)
{
    return text.contains(',') || text.contains('"') || text.contains('\n') || text.contains('\r')
        || (!text.isEmpty() && (text.front() == ' ' || text.back() == ' ' || text.front() == '\t'
                                || text.back() == '\t'));
}

} // namespace

bool EditLog::fail(int line, const QString &why)
{
    m_error = line > 0 ? tr("%1 line %2: %3").arg(m_fileName).arg(line).arg(why)
                       : QStringLiteral("%1: %2").arg(m_fileName, why);
    m_rows.clear();
    return false;
}

bool EditLog::read(const QString &fileName)
{
    m_fileName = fileName;
    m_rows.clear();
    QFile file;
    QString why;
    if (!FbBlockReader::openRegularFile(fileName, &file, &why))
        return fail(0, why);
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(0, file.errorString());

    CsvReader csv(text);
    QVector<QByteArray> cells;
    int line = 0;
    int at[ColumnCount];
    std::fill(at, at + ColumnCount, -1);
    int columns = 0;
    while (csv.next(&cells, &line, &why)) {
        if (cells.size() == 1 && cells.first().isEmpty())
            continue; // a blank line
        if (columns == 0) {
            columns = cells.size();
            for (int k = 0; k < columns; ++k) {
                for (int c = 0; c < ColumnCount; ++c) {
                    if (cells.at(k).toLower() != ColumnNames[c])
                        continue;
                    if (at[c] >= 0)
                        return fail(line, tr("the header names %1 twice").arg(QLatin1String(ColumnNames[c])));
                    at[c] = k;
                }
            }
            for (int c = 0; c < ColumnCount; ++c) {
                if (Needed[c] && at[c] < 0)
                    return fail(line, tr("the header has no column %1; it needs at least record, field and new")
                                          .arg(QLatin1String(ColumnNames[c])));
            }
            continue;
        }
        if (cells.size() != columns)
            return fail(line, tr("%1 cells where the header names %2").arg(cells.size()).arg(columns));
        auto cell = [&](Column c) { return at[c] >= 0 ? cells.at(at[c]) : QByteArray(); };

        EditLogRow row;
        row.line = line;
        qint32 record = 0;
        if (!parseInt(cell(Record), &record) || record < 1)
            return fail(line, tr("record '%1' is not a record number from 1").arg(QString::fromUtf8(cell(Record))));
        row.record = record - 1;
        const struct { Column column; qint32 *value; } names[] = {
            {FbNo, &row.fbNo}, {Ffid, &row.ffid}, {Channel, &row.channel}};
        for (const auto &n : names) {
            if (at[n.column] >= 0 && !cell(n.column).isEmpty() && !parseInt(cell(n.column), n.value))
                return fail(line, tr("%1 '%2' is not a whole number")
                                      .arg(QLatin1String(ColumnNames[n.column]), QString::fromUtf8(cell(n.column))));
        }
        row.field = FbLayout::fieldNamed(cell(Field).constData());
        if (!row.field || !FbEditWriter::isEditable(*row.field))
            return fail(line, tr("field '%1' cannot be edited; only %2 can")
                                  .arg(QString::fromUtf8(cell(Field)),
                                       FbEditWriter::editableFields().join(QLatin1String(", "))));
        const QString type = row.field->type == FbLayout::FieldType::Float32 ? tr("a number") : tr("a whole number");
        if (!parseValue(*row.field, cell(New), &row.newBits))
            return fail(line, tr("new value '%1' is not %2").arg(QString::fromUtf8(cell(New)), type));
        row.hasOld = !cell(Old).isEmpty();
        if (row.hasOld && !parseValue(*row.field, cell(Old), &row.oldBits))
            return fail(line, tr("old value '%1' is not %2").arg(QString::fromUtf8(cell(Old)), type));
        row.reason = QString::fromUtf8(cell(Reason));
        m_rows.append(row);
    }
    if (!why.isEmpty()) {
        m_error = QStringLiteral("%1 %2").arg(fileName, why);
        m_rows.clear();
        return false;
    }
    if (columns == 0)
        return fail(0, tr("no header; it needs at least the columns record, field and new"));
    m_error.clear();
    return true;
}

QVector<FbEdit> EditLog::edits() const
{
    QVector<FbEdit> edits;
    edits.reserve(m_rows.size());
    for (const EditLogRow &r : m_rows) {
        FbEdit e;
        e.record = r.record;
        e.field = r.field;
        e.bits = r.newBits;
        e.checkOld = r.hasOld;
        e.oldBits = r.oldBits;
        e.line = r.line;
        edits.append(e);
    }
    return edits;
}

bool EditLog::write(const QString &fileName, const QStringList &protect)
{
    FbOutputFile out(fileName);
    if (!out.open(protect)) {
        m_error = out.errorString();
        return false;
    }
    QByteArray text(Header);
    text += '\n';
    char number[NumberText::MaxBytes];
    auto append = [&](const char *end) { text.append(number, int(end - number)); };
    for (const EditLogRow &r : qAsConst(m_rows)) {
        append(NumberText::writeInt(qint64(r.record) + 1, number));
        for (const qint32 v : {r.fbNo, r.ffid, r.channel}) {
            text += ',';
            append(NumberText::writeInt(v, number));
        }
        text += ',';
        text += r.field->name;
        text += ',';
        if (r.hasOld)
            text += FbEditWriter::valueText(*r.field, r.oldBits).toLatin1();
        text += ',';
        text += FbEditWriter::valueText(*r.field, r.newBits).toLatin1();
        text += ',';
        const QByteArray reason = r.reason.toUtf8();
        if (needsQuotes(reason))
            text += '"' + QByteArray(reason).replace('"', "\"\"") + '"';
        else
            text += reason;
        text += '\n';
        if (text.size() >= (1 << 20)) {
            if (!out.write(text.constData(), text.size()))
                break;
            text.clear();
        }
    }
    if (!out.write(text.constData(), text.size()) || !out.commit()) {
        m_error = out.errorString();
        return false;
    }
    m_error.clear();
    return true;
}
