#include <fbfile/fbblockreader.h>

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FbFile {

FbBlockReader::FbBlockReader(const QString &fileName) : m_fileName(fileName) { }

namespace {

FbFileIdentity identityOf(const struct stat &st)
{
    FbFileIdentity id;
    id.device = quint64(st.st_dev);
    id.inode = quint64(st.st_ino);
    id.size = qint64(st.st_size);
    id.modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

} // namespace

FbFileIdentity FbFileIdentity::of(const QString &fileName)
{
    struct stat st;
    if (::stat(QFile::encodeName(fileName).constData(), &st) != 0)
        return FbFileIdentity();
    return identityOf(st);
}

FbFileIdentity FbInputFile::current() const
{
    struct stat st;
    if (!m_file.isOpen() || ::fstat(m_file.handle(), &st) != 0)
        return FbFileIdentity();
    return identityOf(st);
}

bool FbInputFile::open(const QString &fileName)
{
    QFile *const file = &m_file;
    QString *const reason = &m_error;
    m_error.clear();
    m_identity = FbFileIdentity();
    file->close();
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile()) {
        *reason = QCoreApplication::translate("FbBlockReader", "not a regular file");
        return false;
    }
    // Non-blocking, so that a FIFO swapped in since the check cannot hang
    // the open; the descriptor is checked again before anything is read.
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *reason = qt_error_string(errno);
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *reason = QCoreApplication::translate("FbBlockReader", "not a regular file");
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_identity = identityOf(st);
    // Unbuffered: blocks are read straight into the caller's own buffer.
    if (!file->open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *reason = file->errorString();
        return false;
    }
    return true;
}

bool FbBlockReader::open()
{
    if (!m_input.open(m_fileName)) {
        m_error = m_input.errorString();
        return false;
    }
    m_modified = m_input.modified();
    m_shortRead = false;

    m_first = QByteArray(int(FbLayout::HeaderSize + FbLayout::RecordSize), '\0');
    const qint64 got = m_file.read(m_first.data(), m_first.size());
    m_header = FbLayout::decodeHeader(m_first.constData(), qMax<qint64>(0, got));
    m_first.remove(0, int(FbLayout::HeaderSize));
    m_fileSize = m_file.size();
    m_recordCount = FbLayout::recordCount(m_fileSize);
    m_position = -1;
    m_error.clear();
    setRange(0, m_recordCount);
    return true;
}

qint64 FbBlockReader::trailingBytes() const
{
    if (m_fileSize < FbLayout::HeaderSize)
        return 0;
    return m_fileSize - FbLayout::HeaderSize - m_recordCount * FbLayout::RecordSize;
}

void FbBlockReader::setBlockRecords(qint64 records)
{
    // The buffer is a QByteArray; keep it well inside its int size.
    constexpr qint64 most = (1 << 30) / FbLayout::RecordSize;
    m_blockRecords = qBound<qint64>(1, records, most);
}

void FbBlockReader::setRange(qint64 first, qint64 count)
{
    m_next = qBound<qint64>(0, first, m_recordCount);
    m_end = m_next + qBound<qint64>(0, count, m_recordCount - m_next);
}

bool FbBlockReader::nextBlock(Block *block)
{
    if (!m_file.isOpen() || m_next >= m_end)
        return false;
    const qint64 records = qMin(m_blockRecords, m_end - m_next);
    const qint64 bytes = records * FbLayout::RecordSize;
    // A small range needs no more than its own size of buffer.
    if (m_buffer.size() < bytes)
        m_buffer.resize(int(bytes));

    const qint64 position = FbLayout::HeaderSize + m_next * FbLayout::RecordSize;
    qint64 got = -1;
    if (m_position == position || m_file.seek(position))
        got = m_file.read(m_buffer.data(), bytes);
    if (got == bytes) {
        m_position = position + bytes;
    } else {
        // The file shrank or failed under us: what is missing reads as zeros.
        std::fill(m_buffer.data() + qMax<qint64>(0, got), m_buffer.data() + bytes, '\0');
        m_position = -1;
        m_shortRead = true;
    }
    block->firstRecord = m_next;
    block->records = records;
    block->data = m_buffer.constData();
    m_next += records;
    return true;
}

bool FbBlockReader::unchanged() const
{
    if (!m_file.isOpen() || m_shortRead)
        return false;
    struct stat st;
    if (::fstat(m_file.handle(), &st) != 0)
        return false;
    return qint64(st.st_size) == m_fileSize &&
           qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec == m_modified;
}

} // namespace FbFile
