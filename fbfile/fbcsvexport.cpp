#include <fbfile/fbcsvexport.h>

#include <fbfile/fbblockreader.h>
#include <fbfile/fboutputfile.h>
#include <fbfile/numbertext.h>

namespace FbFile {

bool FbCsvExport::write(const QString &fbName, const QString &csvName, const Progress &progress)
{
    m_records = 0;
    m_cancelled = false;
    FbBlockReader reader(fbName);
    if (!reader.open()) {
        m_error = QStringLiteral("%1: %2").arg(fbName, reader.errorString());
        return false;
    }
    FbOutputFile out(csvName);
    if (!out.open({fbName})) {
        m_error = out.errorString();
        return false;
    }
    QByteArray text("record");
    for (const FbLayout::Field &f : FbLayout::fields)
        text += QByteArray(",") + f.name;
    text += '\n';

    // A row is at most the record number and 17 numbers with their commas.
    constexpr int RowBytes = NumberText::MaxBytes * (FbLayout::FieldCount + 1) + FbLayout::FieldCount + 1;
    constexpr int Flush = 1 << 20;
    QByteArray buffer(Flush + RowBytes, Qt::Uninitialized);
    char *const begin = buffer.data();
    char *p = std::copy(text.constBegin(), text.constEnd(), begin);
    const qint64 records = qMax<qint64>(1, reader.recordCount());
    FbBlockReader::Block block;
    while (reader.nextBlock(&block)) {
        if (progress.cancelled()) {
            m_cancelled = true;
            out.cancel();
            m_error = tr("cancelled");
            return false;
        }
        for (qint64 k = 0; k < block.records; ++k) {
            const FbRecord r = FbLayout::decodeRecord(block.record(k));
            p = NumberText::writeInt(block.firstRecord + k + 1, p);
            for (const FbLayout::Field &f : FbLayout::fields) {
                *p++ = ',';
                p = f.type == FbLayout::FieldType::Int32 ? NumberText::writeInt(r.*f.intMember, p)
                                                         : NumberText::writeFloat(r.*f.floatMember, p);
            }
            *p++ = '\n';
            if (p - begin >= Flush) {
                out.write(begin, p - begin);
                p = begin;
            }
        }
        m_records += block.records;
        progress.reportPercent(int(m_records * 100 / records));
    }
    // A file cut or rewritten under us reads as zeros or as other records.
    if (!reader.unchanged()) {
        out.cancel();
        m_error = tr("%1 changed while it was read").arg(fbName);
        m_records = 0;
        return false;
    }
    if (!out.write(begin, p - begin) || !out.commit()) {
        m_error = out.errorString();
        m_records = 0;
        return false;
    }
    m_error.clear();
    return true;
}

} // namespace FbFile
