#ifndef FBFILE_EDITLOG_H
#define FBFILE_EDITLOG_H

#include <fbfile/fbeditwriter.h>
#include <fbfile/fboutputfile.h>

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QVector>

namespace FbFile {

// One change as an edit log lists it: which pick (record from 1 in the
// text, 0-based here, with its fb_no, ffid and channel), which field, the
// value the file held and the new one, and why.
struct EditLogRow
{
    qint32 record = 0; // 0-based
    qint32 fbNo = 0;
    qint32 ffid = 0;
    qint32 channel = 0;
    const FbLayout::Field *field = nullptr;
    bool hasOld = false; // a hand-made list may leave it out
    quint32 oldBits = 0;
    quint32 newBits = 0;
    QString reason;
    int line = 0; // where read() found it; 0 for a row made here

    // The row of a word the writer changed: where it is, what it held and
    // what edit gave it; the reason is left to the caller.
    static EditLogRow applied(const FbEditWriter::Applied &word, const FbEdit &edit);
};

// The edit log: a CSV file beside an edited FB file that says what changed,
// and an input that makes the same change again.
//
// The text, C-locale, UTF-8, '\n' line ends, one row per changed word:
//   record,fb_no,ffid,channel,field,old,new,reason
//   21,21,1003,5,fb_time,12.5,17.5,shift ffid 1003 by +5 ms
// record counts from 1; values are an int32 in decimal or a float in the
// shortest text that reads back to the same bits (nan, inf and -inf for
// the non-finite ones); reason is free text, quoted CSV-style when it holds
// a comma, a quote, a line break or edge spaces.
//
// read() takes such a log or a hand-made list: the header's names decide
// the columns (in any order, any case; record, field and new are needed,
// fb_no, ffid, channel, old and reason are optional, other names are
// ignored). A UTF-8 byte-order mark, CRLF line ends, blank lines and spaces
// around unquoted cells are accepted. It fails, with errorString() naming
// the file and the line, on a row whose cell count differs from the
// header's, a number that does not parse whole (record from 1, int32
// fb_no/ffid/channel, values of the field's type), a field that cannot be
// edited (FbEditWriter::isEditable) or an unterminated quote. Whether the
// records exist and the old values match is the edit writer's to check
// (edits() carries both, with the lines).
//
// write() writes rows through FbOutputFile: nothing under the name on
// failure.
//
// Usage:
//   EditLog log;
//   if (!log.read(name)) ... log.errorString();
//   writer.setEdits(log.edits());
//   ...
//   EditLog out;
//   out.setRows(rows);
//   if (!out.write(logName, {sourceName, targetName})) ... out.errorString();
class EditLog
{
    Q_DECLARE_TR_FUNCTIONS(EditLog)

public:
    // The header that write() gives.
    static const char *const Header;

    bool read(const QString &fileName);
    // Writes the rows; protect names files the log must never replace.
    bool write(const QString &fileName, const QStringList &protect = QStringList());

    // The same text, one row at a time, for a log of millions of rows that
    // is never held whole: open(), add() each row, commit(). Nothing is
    // under the name unless commit() is true.
    class Writer
    {
    public:
        explicit Writer(const QString &fileName);
        bool open(const QStringList &protect = QStringList());
        void add(const EditLogRow &row);
        bool commit();
        QString errorString() const { return m_out.errorString(); }

    private:
        FbOutputFile m_out;
        QByteArray m_text;
    };
    QString errorString() const { return m_error; }

    const QVector<EditLogRow> &rows() const { return m_rows; }
    void setRows(const QVector<EditLogRow> &rows) { m_rows = rows; }
    // The rows as edits in file order: the new value, the old one to check
    // when the row has one, and the line.
    QVector<FbEdit> edits() const;

private:
    bool fail(int line, const QString &why);

    QString m_fileName;
    QVector<EditLogRow> m_rows;
    QString m_error;
};

} // namespace FbFile

#endif // FBFILE_EDITLOG_H
