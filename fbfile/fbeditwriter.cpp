#include <fbfile/fbeditwriter.h>

#include <fbfile/fbblockreader.h>
#include <fbfile/fboutputfile.h>

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace FbFile {

namespace {

// The pick's own words; everything else describes the survey.
const FbLayout::Field *const *editable()
{
    static const FbLayout::Field *const fields[] = {FbEdit::timeField(), FbEdit::statusField(), nullptr};
    return fields;
}

// Where an edit's word sits in the file.
qint64 wordPosition(const FbEdit &e)
{
    return FbLayout::recordPosition(e.record) + e.field->offset;
}

bool sameValue(const FbLayout::Field &field, quint32 a, quint32 b)
{
    if (field.type == FbLayout::FieldType::Float32 && std::isnan(NumberText::bitsFloat(a)) &&
        std::isnan(NumberText::bitsFloat(b)))
        return true;
    return a == b;
}

} // namespace

char *FbEditWriter::writeValue(const FbLayout::Field &field, quint32 bits, char *out)
{
    return field.type == FbLayout::FieldType::Float32 ? NumberText::writeFloat(NumberText::bitsFloat(bits), out)
                                                      : NumberText::writeInt(qint32(bits), out);
}

QString FbEditWriter::valueText(const FbLayout::Field &field, quint32 bits)
{
    char text[NumberText::MaxBytes];
    return QString::fromLatin1(text, int(writeValue(field, bits, text) - text));
}

FbEditWriter::FbEditWriter(const QString &sourceName) : m_sourceName(sourceName) { }

bool FbEditWriter::isEditable(const FbLayout::Field &field)
{
    for (const FbLayout::Field *const *f = editable(); *f; ++f) {
        if (*f == &field)
            return true;
    }
    return false;
}

QStringList FbEditWriter::editableFields()
{
    QStringList names;
    for (const FbLayout::Field *const *f = editable(); *f; ++f)
        names << QLatin1String((*f)->name);
    return names;
}

void FbEditWriter::setEdits(const QVector<FbEdit> &edits)
{
    m_edits = edits;
}

void FbEditWriter::setBlockRecords(qint64 records)
{
    m_blockRecords = qBound<qint64>(1, records, FbLayout::BlockRecords * 16);
}

bool FbEditWriter::write(const QString &targetName, const Progress &progress)
{
    return run(&targetName, progress);
}

bool FbEditWriter::inspect(const Progress &progress)
{
    return run(nullptr, progress);
}

QString FbEditWriter::editName(const FbEdit &edit) const
{
    const QString record = tr("record %1").arg(qint64(edit.record) + 1);
    if (edit.line <= 0)
        return record;
    return m_listName.isEmpty() ? tr("line %1: %2").arg(edit.line).arg(record)
                                : tr("%1 line %2: %3").arg(m_listName).arg(edit.line).arg(record);
}

bool FbEditWriter::checkEdit(const FbEdit &e, qint64 recordCount, QString *error) const
{
    if (!e.field || !isEditable(*e.field)) {
        *error = tr("%1: only %2 can be edited").arg(editName(e), editableFields().join(QLatin1String(", ")));
        return false;
    }
    if (e.record < 0 || e.record >= recordCount) {
        *error = tr("%1 is not in %2, which holds records 1..%3").arg(editName(e), m_sourceName).arg(recordCount);
        return false;
    }
    return true;
}

bool FbEditWriter::run(const QString *targetName, const Progress &progress)
{
    m_cancelled = false;
    FbInputFile input;
    if (!input.open(m_sourceName)) {
        m_error = QStringLiteral("%1: %2").arg(m_sourceName, input.errorString());
        return false;
    }
    if (m_identity.isValid() && input.identity() != m_identity) {
        m_error = tr("%1 is not the file the edits were made for: it was replaced or changed since it was read")
                      .arg(m_sourceName);
        return false;
    }
    QFile &source = input.file();
    const qint64 size = source.size();
    const qint64 recordCount = FbLayout::recordCount(size);
    if (m_source) {
        if (!m_source->start(*this, recordCount, &m_error))
            return false;
    } else {
        for (const FbEdit &e : qAsConst(m_edits)) {
            if (!checkEdit(e, recordCount, &m_error))
                return false;
        }
    }

    // The edits in file order; a stable sort keeps several edits of one
    // word in list order. With a source, only the current block's.
    QVector<FbEdit> blockEdits;
    const QVector<FbEdit> &list = m_source ? blockEdits : m_edits;
    QVector<int> order;
    auto sortOrder = [&order, &list]() {
        order.resize(list.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&list](int a, int b) { return wordPosition(list.at(a)) < wordPosition(list.at(b)); });
    };
    if (!m_source)
        sortOrder();

    FbOutputFile target(targetName ? *targetName : QString());
    if (targetName && !target.open(m_replaceSource ? QStringList() : QStringList{m_sourceName})) {
        m_error = target.errorString();
        return false;
    }
    auto fail = [&](const QString &error) {
        m_error = error;
        target.cancel();
        return false;
    };

    const FbLayout::Field &ffid = *FbLayout::fieldNamed("ffid");
    const FbLayout::Field &channel = *FbLayout::fieldNamed("channel");
    const FbLayout::Field &fbNo = *FbLayout::fieldNamed("fb_no");
    // Blocks hold whole records: the first one the header too, the last one
    // a partial record, so that no word is ever split between two blocks.
    const qint64 blockBytes = m_blockRecords * FbLayout::RecordSize;
    QByteArray buffer(int(FbLayout::HeaderSize + blockBytes), Qt::Uninitialized);
    int next = 0;
    for (qint64 start = 0; start < size;) {
        if (progress.cancelled()) {
            m_cancelled = true;
            return fail(tr("cancelled"));
        }
        const qint64 blockEnd = qMin(size, qMax(start, FbLayout::HeaderSize) + blockBytes);
        const qint64 bytes = blockEnd - start;
        char *data = buffer.data();
        for (qint64 got = 0; got < bytes;) {
            const qint64 n = source.read(data + got, bytes - got);
            if (n <= 0)
                return fail(QStringLiteral("%1: %2").arg(
                    m_sourceName, n < 0 ? source.errorString() : tr("the file shrank while it was copied")));
            got += n;
        }

        if (m_source) {
            // The complete records of this block.
            const qint64 firstRecord = qMax<qint64>(0, start - FbLayout::HeaderSize) / FbLayout::RecordSize;
            const qint64 endRecord =
                qMin(recordCount, qMax<qint64>(0, blockEnd - FbLayout::HeaderSize) / FbLayout::RecordSize);
            blockEdits.resize(0);
            if (endRecord > firstRecord)
                m_source->block(firstRecord, endRecord - firstRecord,
                                data + (FbLayout::recordPosition(qint32(firstRecord)) - start), &blockEdits);
            for (const FbEdit &e : qAsConst(blockEdits)) {
                QString why;
                if (!checkEdit(e, recordCount, &why))
                    return fail(why);
                if (e.record < firstRecord || e.record >= endRecord)
                    return fail(tr("%1 came out of file order").arg(editName(e)));
            }
            sortOrder();
            next = 0;
        }

        while (next < order.size() && wordPosition(list.at(order.at(next))) < blockEnd) {
            const int firstEdit = next;
            const FbEdit &first = list.at(order.at(next));
            const qint64 position = wordPosition(first);
            char *word = data + (position - start);
            const char *record = data + (FbLayout::recordPosition(first.record) - start);
            Applied a;
            a.record = first.record;
            a.ffid = qFromLittleEndian<qint32>(record + ffid.offset);
            a.channel = qFromLittleEndian<qint32>(record + channel.offset);
            a.fbNo = qFromLittleEndian<qint32>(record + fbNo.offset);
            a.oldBits = qFromLittleEndian<quint32>(word);
            for (; next < order.size() && wordPosition(list.at(order.at(next))) == position; ++next) {
                const FbEdit &e = list.at(order.at(next));
                if (e.checkOld && !sameValue(*e.field, a.oldBits, e.oldBits))
                    return fail(tr("%1: %2 is %3 in %4, not %5: the list was made for another file")
                                    .arg(editName(e), QLatin1String(e.field->name), valueText(*e.field, a.oldBits),
                                         m_sourceName, valueText(*e.field, e.oldBits)));
                a.edit = order.at(next);
            }
            qToLittleEndian<quint32>(list.at(a.edit).bits, word);
            QString hookError;
            if (m_wordWritten && !m_wordWritten(a, list, order.constData() + firstEdit, next - firstEdit, &hookError))
                return fail(hookError);
        }

        if (targetName && !target.write(data, bytes))
            return fail(target.errorString());
        start = blockEnd;
        progress.report(start, size);
    }
    // A file rewritten in place meanwhile gives bytes of neither version.
    if (input.current() != input.identity())
        return fail(tr("%1 changed while it was copied").arg(m_sourceName));
    QString hookError;
    if (m_beforeCommit && !m_beforeCommit(&hookError))
        return fail(hookError);
    if (targetName && !target.commit())
        return fail(target.errorString());
    m_error.clear();
    return true;
}

} // namespace FbFile
