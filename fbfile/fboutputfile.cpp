#include <fbfile/fboutputfile.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>

namespace FbFile {

namespace {

// Writing back is started after this much new data: large enough to cost
// nothing, small enough that commit() finds little left to wait for.
constexpr qint64 WritebackBytes = qint64(8) << 20;

} // namespace

FbOutputFile::FbOutputFile(const QString &fileName) : m_fileName(fileName), m_file(fileName) { }

FbOutputFile::~FbOutputFile()
{
    if (m_file.isOpen())
        m_file.cancelWriting();
}

bool FbOutputFile::fail(const QString &reason)
{
    m_error = QCoreApplication::translate("FbOutputFile", "cannot write %1: %2").arg(m_fileName, reason);
    return false;
}

bool FbOutputFile::sameFile(const QString &a, const QString &b)
{
    struct stat sa, sb;
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool FbOutputFile::isProtected(const QString &target, const QStringList &protect, QString *error)
{
    for (const QString &name : protect) {
        if (sameFile(target, name)) {
            *error = QCoreApplication::translate("FbOutputFile", "cannot write %1: %2")
                         .arg(target, QCoreApplication::translate("FbOutputFile", "it is the input file %1").arg(name));
            return true;
        }
    }
    return false;
}

bool FbOutputFile::open(const QStringList &protect)
{
    const QFileInfo target(m_fileName);
    // A folder, a FIFO or a device is never replaced by a file.
    if (target.exists() && !target.isFile())
        return fail(QCoreApplication::translate("FbOutputFile", "not a regular file"));
    if (isProtected(m_fileName, protect, &m_error))
        return false;
    // Unbuffered: the callers write large blocks of their own.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(m_file.errorString());
    m_written = m_flushed = 0;
    m_error.clear();
    return true;
}

bool FbOutputFile::write(const char *data, qint64 size)
{
    if (!m_error.isEmpty())
        return false;
    for (qint64 done = 0; done < size;) {
        const qint64 n = m_file.write(data + done, size - done);
        if (n <= 0)
            return fail(m_file.errorString());
        done += n;
    }
    m_written += size;
    if (m_written - m_flushed >= WritebackBytes) {
#ifdef Q_OS_LINUX
        ::sync_file_range(m_file.handle(), m_flushed, m_written - m_flushed, SYNC_FILE_RANGE_WRITE);
#endif
        m_flushed = m_written;
    }
    return true;
}

bool FbOutputFile::commit()
{
    if (!m_error.isEmpty()) {
        m_file.cancelWriting();
        return false;
    }
    if (!m_file.commit())
        return fail(m_file.errorString());
    return true;
}

void FbOutputFile::cancel()
{
    // Nothing is renamed: commit() now fails, and the temporary file goes
    // when this object does.
    m_file.cancelWriting();
}

} // namespace FbFile
