#ifndef FBFILE_FBEDITWRITER_H
#define FBFILE_FBEDITWRITER_H

#include <fbfile/fbblockreader.h>
#include <fbfile/fblayout.h>
#include <fbfile/numbertext.h>
#include <fbfile/progress.h>

#include <QCoreApplication>
#include <QString>
#include <QVector>

#include <functional>

namespace FbFile {

// One change to an FB file: a new value for one word of one record. Only
// the pick's own words can be edited: fb_time and fb_status (the list of
// them is FbEditWriter::editableFields()).
struct FbEdit
{
    qint32 record = 0;                      // 0-based record number
    const FbLayout::Field *field = nullptr; // an editable field (FbEditWriter::isEditable)
    quint32 bits = 0;                       // the new word as stored: a float's or an int32's bits
    // When set, the file must hold oldBits in that word (any NaN matches
    // any NaN), or nothing is written: a list made for another file.
    bool checkOld = false;
    quint32 oldBits = 0;
    int line = 0; // the line of the edits file it came from, named in errors; 0 if none

    // The editable fields, looked up once.
    static const FbLayout::Field *timeField()
    {
        static const FbLayout::Field *const field = FbLayout::fieldNamed("fb_time");
        return field;
    }
    static const FbLayout::Field *statusField()
    {
        static const FbLayout::Field *const field = FbLayout::fieldNamed("fb_status");
        return field;
    }

    static FbEdit time(qint32 record, float value)
    {
        FbEdit e;
        e.record = record;
        e.field = timeField();
        e.bits = NumberText::floatBits(value);
        return e;
    }
    static FbEdit status(qint32 record, qint32 value)
    {
        FbEdit e;
        e.record = record;
        e.field = statusField();
        e.bits = quint32(value);
        return e;
    }
};
} // namespace FbFile

Q_DECLARE_TYPEINFO(FbFile::FbEdit, Q_PRIMITIVE_TYPE);

namespace FbFile {

class FbEditWriter;

// Edits handed to the writer a block of records at a time, for a change
// too large to hold as one list (every pick of a file rejected): the
// writer asks for each block's edits as it copies, so memory follows the
// block, not the edits.
class FbEditSource
{
public:
    virtual ~FbEditSource() = default;
    // Before each copy: starts again from the first record and checks what
    // it can name before the file is read (writer.checkEdit() on the edits
    // it holds as a list). False, with *error, writes nothing.
    virtual bool start(const FbEditWriter &writer, qint64 recordCount, QString *error) = 0;
    // Replaces *edits by the edits of records first .. first + count - 1,
    // in the order they apply (of several edits of one word the last wins).
    // records holds those records as the file does (RecordSize bytes each),
    // for edits that depend on the file's words. Ranges come in file order,
    // each once.
    virtual void block(qint64 first, qint64 count, const char *records, QVector<FbEdit> *edits) = 0;
};

// Writes a copy of an FB file with a sparse list of edits applied, as raw
// bytes: every byte that no edit names (the header, the four unnamed words
// of each record, a partial last record) is copied unchanged, and nothing is
// decoded but the edited words and the pick's name (ffid, channel, fb_no).
// The file is copied block by block. The edits come as one list
// (setEdits(): memory grows with it) or from an FbEditSource a block at a
// time (setEditSource(): memory stays that of a block).
//
// Edits may come in any order. Several edits of one word are applied in
// their order in the list: the last one wins (each one's old value is
// checked against the source file).
//
// The source must be a regular file (FbInputFile). The
// target is written through FbOutputFile: a failure or a cancel leaves no
// partial file under its name and an existing file as it was. The target
// is never the source itself (by path, link or inode) unless
// setReplaceSource(true) says so.
//
// Edits are made for the bytes they were judged on: setSource() names that
// state of the file (FbFileIdentity, taken before it was first read), and
// the copy is refused when the file opened is another one or another state
// of it (renamed over, cut, rewritten). Whatever the source, it must not
// change while it is copied (size and modification time at the end as at
// the open): a copy matching neither version is never committed.
//
// setWordWritten() is told each edited word as its block is written, in
// file order (the edit log is written from it); false from it stops the
// copy with its message. beforeCommit, when set, runs once every block is
// written and checked and before the target is renamed into place (the
// edit log takes its name there): false from it leaves the target as it
// was, with its message.
//
// write() fails, writing nothing, when the source cannot be read, an edit
// names a record past the file's last complete record or a field that
// cannot be edited, an edit's old value does not match, the target cannot
// be written (errorString() says why, naming the edit's record and its
// line when it has one), or the progress was cancelled (checked every
// block; wasCancelled() then answers true). Progress rises 0..100 as the
// copy moves. inspect() checks and reads the same way and writes nothing:
// a dry run.
//
// Usage (on any thread):
//   FbEditWriter writer(sourceName);
//   writer.setEdits(edits);                 // or setEditSource(&plan)
//   writer.setWordWritten([&](const FbEditWriter::Applied &a, const QVector<FbEdit> &list,
//                             const int *edits, int count, QString *error) { log(a, list.at(a.edit)); return true; });
//   if (!writer.write(targetName, progress)) ... writer.errorString();
class FbEditWriter
{
    Q_DECLARE_TR_FUNCTIONS(FbEditWriter)

public:
    // What one edited word held and which edit it got, for the edit log.
    struct Applied
    {
        int edit = 0; // index in the list of the edits, of the one that won
        qint32 record = 0;
        qint32 ffid = 0;
        qint32 channel = 0;
        qint32 fbNo = 0;
        quint32 oldBits = 0; // the word as the source holds it
    };
    // One edited word: list is setEdits()' list or the source's current
    // block, edits[0 .. count - 1] the indices in it of the word's edits in
    // the order they applied (the last is word.edit).
    using WordWritten = std::function<bool(const Applied &word, const QVector<FbEdit> &list, const int *edits,
                                           int count, QString *error)>;

    explicit FbEditWriter(const QString &sourceName);

    // Whether field can be edited, and the names of those that can.
    static bool isEditable(const FbLayout::Field &field);
    static QStringList editableFields();
    // A word's value as messages and the edit log write it: an int32 in
    // decimal, a float in the shortest text that reads back to its bits.
    static QString valueText(const FbLayout::Field &field, quint32 bits);
    // The same text as bytes at out, which must hold NumberText::MaxBytes;
    // returns its end.
    static char *writeValue(const FbLayout::Field &field, quint32 bits, char *out);

    void setEdits(const QVector<FbEdit> &edits);
    const QVector<FbEdit> &edits() const { return m_edits; }
    // Edits a block at a time instead (not owned; must outlive the copy).
    void setEditSource(FbEditSource *source) { m_source = source; }
    // False, with *error naming the edit, when edit names a field that
    // cannot be edited or a record a file of recordCount records lacks.
    bool checkEdit(const FbEdit &edit, qint64 recordCount, QString *error) const;
    // The file the edits' line numbers refer to, named with them in errors.
    void setListName(const QString &name) { m_listName = name; }
    // The state of the source the edits were judged on; unset: any.
    void setSource(const FbFileIdentity &identity) { m_identity = identity; }
    void setWordWritten(const WordWritten &hook) { m_wordWritten = hook; }
    using BeforeCommit = std::function<bool(QString *error)>;
    void setBeforeCommit(const BeforeCommit &hook) { m_beforeCommit = hook; }
    // Allows the target to be the source file; off by default.
    void setReplaceSource(bool replace) { m_replaceSource = replace; }
    // Records per block copied; tests set it small to cross block boundaries.
    void setBlockRecords(qint64 records);

    bool write(const QString &targetName, const Progress &progress = Progress());
    bool inspect(const Progress &progress = Progress());

    QString errorString() const { return m_error; }
    bool wasCancelled() const { return m_cancelled; }

private:
    bool run(const QString *targetName, const Progress &progress);
    QString editName(const FbEdit &edit) const;

    QString m_sourceName;
    FbFileIdentity m_identity;
    WordWritten m_wordWritten;
    BeforeCommit m_beforeCommit;
    QString m_listName;
    QVector<FbEdit> m_edits;
    FbEditSource *m_source = nullptr;
    QString m_error;
    bool m_cancelled = false;
    bool m_replaceSource = false;
    qint64 m_blockRecords = FbLayout::BlockRecords;
};

} // namespace FbFile

#endif // FBFILE_FBEDITWRITER_H
