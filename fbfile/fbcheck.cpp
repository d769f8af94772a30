#include "fbcheck.h"

#include "fbblockreader.h"
#include "fbcolumns.h"

#include <QHash>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <limits>

namespace FbCheck {

namespace {

// The columns the check looks at, taken from the field table: source
// attributes other than ffid itself (constant within a shot by the
// definition of a shot), and every float.
struct CheckedColumns
{
    QVector<int> source;
    QVector<int> floats;
    CheckedColumns()
    {
        for (int c = 0; c < FbColumns::Count; ++c) {
            const FbLayout::Field &f = FbColumns::field(c);
            if (f.sourceAttribute && c != FbColumns::Ffid)
                source.append(c);
            if (f.type == FbLayout::FieldType::Float32)
                floats.append(c);
        }
    }
};

const CheckedColumns &checkedColumns()
{
    static const CheckedColumns columns;
    return columns;
}

// The shot being read: its first record and, per source attribute, how
// many records disagree with it.
struct OpenShot
{
    qint64 index = -1;
    qint64 firstRecord = 0;
    qint64 records = 0;
    FbRecord first;
    QVector<qint64> differing;
};

class Checker
{
public:
    Checker(Report &report, qint64 listLimit)
        : m_report(report), m_columns(checkedColumns()),
          m_limit(listLimit < 0 ? std::numeric_limits<qint64>::max() : listLimit)
    {
        m_report.minOffset = std::numeric_limits<qint32>::max();
        m_report.maxOffset = std::numeric_limits<qint32>::min();
    }

    void add(qint64 recordNumber, const FbRecord &r)
    {
        if (m_shot.index < 0 || r.ffid != m_shot.first.ffid)
            startShot(recordNumber, r);
        ++m_shot.records;
        for (int k = 0; k < m_columns.source.size(); ++k) {
            // The viewer's rule: a NaN differs even from itself.
            if (!FbColumns::sameValue(m_shot.first, r, m_columns.source.at(k)))
                ++m_shot.differing[k];
        }
        m_report.minOffset = qMin(m_report.minOffset, r.offset);
        m_report.maxOffset = qMax(m_report.maxOffset, r.offset);

        switch (FbColumns::pickClass(r.fb_status)) {
        case FbColumns::PickClass::Status0: ++m_report.status0; break;
        case FbColumns::PickClass::Status1: ++m_report.status1; break;
        case FbColumns::PickClass::Other: ++m_report.statusOther; break;
        }

        for (int column : m_columns.floats) {
            const float v = r.*FbColumns::field(column).floatMember;
            if (std::isfinite(v))
                continue;
            if (m_report.nonFiniteCount++ < m_limit)
                m_report.nonFinite.append(NonFinite{recordNumber, r.fb_no, r.ffid, r.channel, column, v});
        }
    }

    void finish()
    {
        if (m_shot.index >= 0)
            closeShot();
        // No complete record still makes the one empty shot of the index.
        m_report.shots = m_report.recordCount == 0 ? 1 : m_shot.index + 1;
        if (m_report.recordCount == 0)
            m_report.minOffset = m_report.maxOffset = 0;
        m_report.repeatedFfidCount = m_repeats.size();
        QVector<RepeatedFfid> repeats = m_repeats.values().toVector();
        std::sort(repeats.begin(), repeats.end(),
                  [](const RepeatedFfid &a, const RepeatedFfid &b) { return a.shots.first() < b.shots.first(); });
        m_report.repeatedFfids = repeats.mid(0, int(qMin<qint64>(m_limit, repeats.size())));
    }

private:
    void startShot(qint64 recordNumber, const FbRecord &r)
    {
        if (m_shot.index >= 0)
            closeShot();
        const qint64 index = m_shot.index + 1;
        m_shot = OpenShot{index, recordNumber, 0, r, QVector<qint64>(m_columns.source.size(), 0)};

        const auto seen = m_firstShot.constFind(r.ffid);
        if (seen == m_firstShot.cend()) {
            m_firstShot.insert(r.ffid, index);
            return;
        }
        RepeatedFfid &repeat = m_repeats[r.ffid];
        if (repeat.shotCount == 0) {
            repeat.ffid = r.ffid;
            repeat.shotCount = 1;
            repeat.shots.append(seen.value());
        }
        if (repeat.shotCount++ < m_limit)
            repeat.shots.append(index);
    }

    void closeShot()
    {
        for (int k = 0; k < m_columns.source.size(); ++k) {
            if (m_shot.differing.at(k) == 0)
                continue;
            if (m_report.sourceVariationCount++ < m_limit)
                m_report.sourceVariations.append(SourceVariation{m_shot.index, m_shot.first.ffid, m_shot.firstRecord,
                                                                 m_shot.records, m_columns.source.at(k),
                                                                 m_shot.differing.at(k)});
        }
    }

    Report &m_report;
    const CheckedColumns &m_columns;
    const qint64 m_limit;
    OpenShot m_shot;
    QHash<qint32, qint64> m_firstShot;
    QHash<qint32, RepeatedFfid> m_repeats;
};

void writeMore(QTextStream &out, const char *indent, qint64 shown, qint64 total)
{
    if (total > shown)
        out << indent << "... and " << total - shown << " more\n";
}

} // namespace

qint64 Report::trailingBytes() const
{
    if (fileSize < FbLayout::HeaderSize)
        return 0;
    return fileSize - FbLayout::HeaderSize - recordCount * FbLayout::RecordSize;
}

bool Report::offsetsOutsideRange() const
{
    return recordCount > 0 && (minOffset < header.min_offset || maxOffset > header.max_offset);
}

int Report::findings() const
{
    return int(recordCount == 0) + int(!countMatches()) + int(trailingBytes() > 0)
         + int(offsetRangeReversed() || offsetsOutsideRange()) + int(sourceVariationCount > 0)
         + int(repeatedFfidCount > 0) + int(nonFiniteCount > 0);
}

FileCheck::FileCheck(const QString &fileName)
    : m_fileName(fileName)
{
}

void FileCheck::setListLimit(qint64 items)
{
    m_listLimit = items;
}

bool FileCheck::run(Report *report)
{
    FbBlockReader reader(m_fileName);
    if (!reader.open()) {
        m_error = reader.errorString();
        return false;
    }
    m_error.clear();
    *report = Report();
    report->header = reader.header();
    report->fileSize = reader.fileSize();
    report->recordCount = reader.recordCount();

    Checker checker(*report, m_listLimit);
    FbBlockReader::Block block;
    while (reader.nextBlock(&block)) {
        for (qint64 k = 0; k < block.records; ++k)
            checker.add(block.firstRecord + k, FbLayout::decodeRecord(block.record(k)));
    }
    checker.finish();
    return true;
}

void writeReport(QTextStream &out, const QString &fileName, const Report &r)
{
    out << "File: " << fileName << '\n';
    out << "Records: " << r.recordCount << '\n';
    out << "Shots: " << r.shots << '\n';
    if (r.recordCount == 0)
        out << "No complete record: " << r.fileSize << " bytes cannot hold a header and one record\n";

    if (r.countMatches())
        out << "Declared count: " << r.header.fb_count << " (matches the file size)\n";
    else
        out << "Declared count: " << r.header.fb_count << " MISMATCH: the file size gives " << r.recordCount
            << " records\n";
    if (r.trailingBytes() > 0)
        out << "Partial record: " << r.trailingBytes() << " bytes after the last complete record\n";

    out << "Header offset range: " << r.header.min_offset << " .. " << r.header.max_offset;
    if (r.offsetRangeReversed())
        out << " REVERSED: this header cannot describe any record; not an FB file?\n";
    else if (r.offsetsOutsideRange())
        out << " does NOT contain the records' offsets " << r.minOffset << " .. " << r.maxOffset
            << "; not an FB file?\n";
    else
        out << '\n';

    out << "Varying source attributes: " << r.sourceVariationCount << '\n';
    for (const SourceVariation &v : r.sourceVariations)
        out << "  shot " << v.shot + 1 << " > " << v.ffid << " (records " << v.firstRecord + 1 << ".."
            << v.firstRecord + v.records << "): " << FbColumns::titles[v.column] << " differs in " << v.differing
            << " of " << v.records << " records\n";
    writeMore(out, "  ", r.sourceVariations.size(), r.sourceVariationCount);

    out << "Repeated ffids: " << r.repeatedFfidCount << '\n';
    for (const RepeatedFfid &f : r.repeatedFfids) {
        out << "  ffid " << f.ffid << " names " << f.shotCount << " shots:\n";
        for (qint64 shot : f.shots)
            out << "    shot " << shot + 1 << " > " << f.ffid << '\n';
        writeMore(out, "    ", f.shots.size(), f.shotCount);
    }
    writeMore(out, "  ", r.repeatedFfids.size(), r.repeatedFfidCount);

    out << "Pick status: 0: " << r.status0 << ", 1: " << r.status1 << ", other: " << r.statusOther << '\n';

    out << "Non-finite floats: " << r.nonFiniteCount << '\n';
    for (const NonFinite &n : r.nonFinite)
        out << "  record " << n.record + 1 << " (fb_no " << n.fbNo << ", ffid " << n.ffid << ", channel " << n.channel
            << "): " << FbColumns::titles[n.column] << " = " << QString::number(double(n.value)) << '\n';
    writeMore(out, "  ", r.nonFinite.size(), r.nonFiniteCount);

    if (r.clean())
        out << "Result: clean\n";
    else
        out << "Result: " << r.findings() << (r.findings() == 1 ? " problem" : " problems") << " found\n";
}

} // namespace FbCheck
