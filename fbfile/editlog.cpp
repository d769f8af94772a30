#include <fbfile/editlog.h>

#include <fbfile/fbblockreader.h>
#include <fbfile/fboutputfile.h>
#include <fbfile/numbertext.h>

#include <QCoreApplication>
#include <QFile>

#include <limits>
#include <string_view>
#include <vector>

namespace FbFile {

const char *const EditLog::Header = "record,fb_no,ffid,channel,field,old,new,reason";

namespace {

// The columns read() knows; the order is write()'s.
enum Column { Record, FbNo, Ffid, Channel, Field, Old, New, Reason, ColumnCount };
const char *const ColumnNames[ColumnCount] = {"record", "fb_no", "ffid", "channel", "field", "old", "new", "reason"};
const bool Needed[ColumnCount] = {true, false, false, false, true, false, true, false};

using Cell = std::string_view;

// Splits CSV text into rows of cells, RFC 4180 style: a quoted cell may hold
// commas, doubled quotes and line breaks; spaces around an unquoted cell are
// dropped. Cells are views into the text, whose quoted cells are unquoted
// in place; each row keeps the line it starts on.
class CsvReader
{
public:
    explicit CsvReader(QByteArray *text) : m_p(text->data()), m_end(m_p + text->size())
    {
        if (text->startsWith("\xEF\xBB\xBF"))
            m_p += 3;
    }

    // The next row, or false at the end; *error is set on a broken quote.
    bool next(std::vector<Cell> *cells, int *line, QString *error)
    {
        cells->clear();
        if (m_p >= m_end)
            return false;
        *line = m_line;
        for (;;) {
            skipSpaces();
            if (m_p < m_end && *m_p == '"') {
                char *const begin = ++m_p;
                char *to = begin;
                for (;;) {
                    if (m_p >= m_end) {
                        *error =
                            QCoreApplication::translate("EditLog", "line %1: a quoted cell is not closed").arg(*line);
                        return false;
                    }
                    if (*m_p == '"') {
                        if (m_p + 1 < m_end && m_p[1] == '"') {
                            *to++ = '"';
                            m_p += 2;
                            continue;
                        }
                        ++m_p;
                        break;
                    }
                    if (*m_p == '\n')
                        ++m_line;
                    *to++ = *m_p++;
                }
                cells->emplace_back(begin, size_t(to - begin));
                skipSpaces();
            } else {
                const char *begin = m_p;
                while (m_p < m_end && *m_p != ',' && *m_p != '\n' && *m_p != '\r')
                    ++m_p;
                const char *end = m_p;
                while (end > begin && (end[-1] == ' ' || end[-1] == '\t'))
                    --end;
                cells->emplace_back(begin, size_t(end - begin));
            }
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
    void skipSpaces()
    {
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\t'))
            ++m_p;
    }

    char *m_p;
    char *m_end;
    int m_line = 1;
};

QString text(Cell cell)
{
    return QString::fromUtf8(cell.data(), int(cell.size()));
}

bool parseValue(const FbLayout::Field &field, Cell cell, quint32 *bits)
{
    const char *b = cell.data(), *e = b + cell.size();
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

bool parseInt(Cell cell, qint32 *value)
{
    return NumberText::parseInt32(cell.data(), cell.data() + cell.size(), value);
}

// The editable field called name, or nullptr.
const FbLayout::Field *editableField(Cell name)
{
    for (const FbLayout::Field &f : FbLayout::fields) {
        if (name == f.name)
            return FbEditWriter::isEditable(f) ? &f : nullptr;
    }
    return nullptr;
}

bool needsQuotes(const QByteArray &text)
{
    return text.contains(',') || text.contains('"') || text.contains('\n') || text.contains('\r') ||
           (!text.isEmpty() &&
            (text.front() == ' ' || text.back() == ' ' || text.front() == '\t' || text.back() == '\t'));
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
    FbInputFile input;
    if (!input.open(fileName))
        return fail(0, input.errorString());
    QFile &file = input.file();
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(0, file.errorString());

    CsvReader csv(&bytes);
    QString why; // what the reader found wrong with a line
    std::vector<Cell> cells;
    int line = 0;
    int at[ColumnCount];
    std::fill(at, at + ColumnCount, -1);
    size_t columns = 0;
    while (csv.next(&cells, &line, &why)) {
        if (cells.size() == 1 && cells.front().empty())
            continue; // a blank line
        if (columns == 0) {
            columns = cells.size();
            for (size_t k = 0; k < columns; ++k) {
                const QByteArray name = QByteArray(cells[k].data(), int(cells[k].size())).toLower();
                for (int c = 0; c < ColumnCount; ++c) {
                    if (name != ColumnNames[c])
                        continue;
                    if (at[c] >= 0)
                        return fail(line, tr("the header names %1 twice").arg(QLatin1String(ColumnNames[c])));
                    at[c] = int(k);
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
        auto cell = [&](Column c) { return at[c] >= 0 ? cells[size_t(at[c])] : Cell(); };

        EditLogRow row;
        row.line = line;
        qint32 record = 0;
        if (!parseInt(cell(Record), &record) || record < 1)
            return fail(line, tr("record '%1' is not a record number from 1").arg(text(cell(Record))));
        row.record = record - 1;
        const struct
        {
            Column column;
            qint32 *value;
        } names[] = {{FbNo, &row.fbNo}, {Ffid, &row.ffid}, {Channel, &row.channel}};
        for (const auto &n : names) {
            if (!cell(n.column).empty() && !parseInt(cell(n.column), n.value))
                return fail(line, tr("%1 '%2' is not a whole number")
                                      .arg(QLatin1String(ColumnNames[n.column]), text(cell(n.column))));
        }
        row.field = editableField(cell(Field));
        if (!row.field)
            return fail(line, tr("field '%1' cannot be edited; only %2 can")
                                  .arg(text(cell(Field)), FbEditWriter::editableFields().join(QLatin1String(", "))));
        const bool isFloat = row.field->type == FbLayout::FieldType::Float32;
        if (!parseValue(*row.field, cell(New), &row.newBits))
            return fail(
                line,
                tr("new value '%1' is not %2").arg(text(cell(New)), isFloat ? tr("a number") : tr("a whole number")));
        row.hasOld = !cell(Old).empty();
        if (row.hasOld && !parseValue(*row.field, cell(Old), &row.oldBits))
            return fail(
                line,
                tr("old value '%1' is not %2").arg(text(cell(Old)), isFloat ? tr("a number") : tr("a whole number")));
        if (!cell(Reason).empty())
            row.reason = text(cell(Reason));
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

namespace {

// A row without its reason: four numbers, the field and two values.
constexpr int NumbersBytes = 7 * NumberText::MaxBytes + 8;
// Text handed to the file at a time.
constexpr int Flush = 1 << 20;

} // namespace

EditLog::Writer::Writer(const QString &fileName) : m_out(fileName) { }

bool EditLog::Writer::open(const QStringList &protect)
{
    if (!m_out.open(protect))
        return false;
    m_text = QByteArray(Header);
    m_text += '\n';
    m_text.reserve(Flush + NumbersBytes);
    return true;
}

void EditLog::Writer::add(const EditLogRow &r)
{
    char numbers[NumbersBytes];
    char *p = NumberText::writeInt(qint64(r.record) + 1, numbers);
    for (const qint32 v : {r.fbNo, r.ffid, r.channel}) {
        *p++ = ',';
        p = NumberText::writeInt(v, p);
    }
    *p++ = ',';
    p = std::copy(r.field->name, r.field->name + qstrlen(r.field->name), p);
    *p++ = ',';
    if (r.hasOld)
        p = FbEditWriter::writeValue(*r.field, r.oldBits, p);
    *p++ = ',';
    p = FbEditWriter::writeValue(*r.field, r.newBits, p);
    *p++ = ',';
    m_text.append(numbers, int(p - numbers));
    if (!r.reason.isEmpty()) {
        const QByteArray reason = r.reason.toUtf8();
        if (needsQuotes(reason))
            m_text += '"' + QByteArray(reason).replace('"', "\"\"") + '"';
        else
            m_text += reason;
    }
    m_text += '\n';
    if (m_text.size() >= Flush) {
        m_out.write(m_text.constData(), m_text.size());
        m_text.resize(0);
    }
}

bool EditLog::Writer::commit()
{
    const bool ok = m_out.write(m_text.constData(), m_text.size()) && m_out.commit();
    m_text = QByteArray();
    return ok;
}

bool EditLog::write(const QString &fileName, const QStringList &protect)
{
    Writer out(fileName);
    if (!out.open(protect)) {
        m_error = out.errorString();
        return false;
    }
    for (const EditLogRow &r : qAsConst(m_rows))
        out.add(r);
    if (!out.commit()) {
        m_error = out.errorString();
        return false;
    }
    m_error.clear();
    return true;
}

EditLogRow EditLogRow::applied(const FbEditWriter::Applied &word, const FbEdit &edit)
{
    EditLogRow row;
    row.record = word.record;
    row.fbNo = word.fbNo;
    row.ffid = word.ffid;
    row.channel = word.channel;
    row.field = edit.field;
    row.hasOld = true;
    row.oldBits = word.oldBits;
    row.newBits = edit.bits;
    return row;
}

} // namespace FbFile
