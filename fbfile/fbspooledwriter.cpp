#include <fbfile/fbspooledwriter.h>

#include <QFileInfo>

#include <algorithm>

namespace FbFile {

FbSpooledWriter::FbSpooledWriter(const QString &target, const QString &spoolPrefix)
    : m_target(target), m_output(target),
      m_spool(QFileInfo(target).absolutePath() + QLatin1Char('/') + spoolPrefix + QStringLiteral("XXXXXX"))
{ }

bool FbSpooledWriter::open(const QStringList &protect)
{
    if (!m_output.open(protect)) {
        m_error = m_output.errorString();
        return false;
    }
    if (!m_spool.open())
        return spoolFailed();
    m_buffer.reserve(int(FbLayout::BlockRecords * FbLayout::RecordSize));
    return true;
}

bool FbSpooledWriter::append(const FbRecord &record)
{
    const int at = m_buffer.size();
    m_buffer.resize(at + int(FbLayout::RecordSize));
    FbLayout::encodeRecord(record, m_buffer.data() + at);
    m_minOffset = std::min(m_minOffset, record.offset);
    m_maxOffset = std::max(m_maxOffset, record.offset);
    ++m_count;
    return m_buffer.size() < FbLayout::BlockRecords * FbLayout::RecordSize || flushBuffer();
}

bool FbSpooledWriter::update(qint64 index, const std::function<void(FbRecord *)> &change)
{
    if (index < 0 || index >= m_count) {
        m_error = QStringLiteral("no record %1 to change").arg(index + 1);
        return false;
    }
    char bytes[FbLayout::RecordSize];
    const qint64 buffered = m_count - m_buffer.size() / FbLayout::RecordSize;
    char *at = index >= buffered ? m_buffer.data() + (index - buffered) * FbLayout::RecordSize : bytes;
    const qint64 end = m_spool.pos();
    if (at == bytes && (!m_spool.seek(index * FbLayout::RecordSize) ||
                        m_spool.read(bytes, FbLayout::RecordSize) != FbLayout::RecordSize))
        return spoolFailed();
    FbRecord record = FbLayout::decodeRecord(at);
    const qint32 offset = record.offset;
    change(&record);
    record.offset = offset;
    FbLayout::encodeRecord(record, at);
    if (at == bytes && (!m_spool.seek(index * FbLayout::RecordSize) ||
                        m_spool.write(bytes, FbLayout::RecordSize) != FbLayout::RecordSize || !m_spool.seek(end)))
        return spoolFailed();
    return true;
}

bool FbSpooledWriter::flushBuffer()
{
    if (m_spool.write(m_buffer) != m_buffer.size())
        return spoolFailed();
    m_buffer.resize(0);
    return true;
}

bool FbSpooledWriter::spoolFailed()
{
    m_error = QStringLiteral("cannot write a temporary file beside %1: %2").arg(m_target, m_spool.errorString());
    m_output.cancel();
    return false;
}

bool FbSpooledWriter::commit()
{
    if (!flushBuffer())
        return false;
    FbFileHeader header;
    header.fb_count = qint32(m_count);
    header.polarity = 1;
    header.min_offset = m_count ? m_minOffset : 0;
    header.max_offset = m_count ? m_maxOffset : 0;
    char headerBytes[FbLayout::HeaderSize];
    FbLayout::encodeHeader(header, headerBytes);
    if (!m_output.write(headerBytes, FbLayout::HeaderSize)) {
        m_error = m_output.errorString();
        return false;
    }
    if (!m_spool.flush() || !m_spool.seek(0))
        return spoolFailed();
    QByteArray block(int(FbLayout::BlockRecords * FbLayout::RecordSize), Qt::Uninitialized);
    for (qint64 left = m_spool.size(); left > 0;) {
        const qint64 got = m_spool.read(block.data(), std::min<qint64>(left, block.size()));
        if (got <= 0)
            return spoolFailed();
        if (!m_output.write(block.constData(), got)) {
            m_error = m_output.errorString();
            return false;
        }
        left -= got;
    }
    if (!m_output.commit()) {
        m_error = m_output.errorString();
        return false;
    }
    return true;
}

} // namespace FbFile
