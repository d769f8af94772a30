#ifndef FBFILE_FBOUTPUTFILE_H
#define FBFILE_FBOUTPUTFILE_H

#include <QSaveFile>
#include <QString>
#include <QStringList>

namespace FbFile {

// A file this library writes (an edited FB file, an edit log, a converted
// pick file): written under a temporary name beside the target and renamed
// over it only by commit(), so that a failure at any point (a full disk, a
// cancel, a crash) leaves no partial file under the final name and an
// existing file as it was. A symlink is written through: the link stays.
//
// Promises:
// - open() refuses a target that exists and is not a regular file (a
//   folder, a FIFO, a device) and a target that is the same file as one of
//   the names it is told to protect (compared by device and inode, so a
//   second path, a symlink or a hard link to an input is caught);
// - the data reaches the disk as it is written: every few MiB writing back
//   is started, so that commit()'s wait for the disk, which makes the
//   renamed file survive a crash, is short;
// - every failure leaves errorString() as "cannot write NAME: reason".
//
// Usage:
//   FbOutputFile out(target);
//   if (!out.open({source}) || !out.write(bytes, size) || !out.commit())
//       ... out.errorString();     // nothing written under target
class FbOutputFile
{
public:
    explicit FbOutputFile(const QString &fileName);
    ~FbOutputFile();

    // False, with nothing created, when the target cannot be written or is
    // one of protect (names that need not exist).
    bool open(const QStringList &protect = QStringList());
    // False once any write failed; nothing is then committed.
    bool write(const char *data, qint64 size);
    // Renames the written file over the target. False when any write or the
    // rename failed; the target is then untouched.
    bool commit();
    // Drops what was written; the target is untouched.
    void cancel();
    QString errorString() const { return m_error; }

    // Whether two names lead to one existing file (same device and inode).
    static bool sameFile(const QString &a, const QString &b);
    // The one rule for every writer of this suite (files, tables, images):
    // true, with *error as open() words it, when target is by any path or
    // link one of protect.
    static bool isProtected(const QString &target, const QStringList &protect, QString *error);

private:
    bool fail(const QString &reason);

    QString m_fileName;
    QSaveFile m_file;
    QString m_error;
    qint64 m_written = 0;
    qint64 m_flushed = 0; // bytes whose writing back has been started
};

} // namespace FbFile

#endif // FBFILE_FBOUTPUTFILE_H
