#include "fbcheck.h"

#include "fbblockreader.h"
#include "fbcolumns.h"

#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

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
        findRepeats();
    }

private:
    void startShot(qint64 recordNumber, const FbRecord &r)
    {
        if (m_shot.index >= 0)
            closeShot();
        const qint64 index = m_shot.index + 1;
        m_shot.index = index;
        m_shot.firstRecord = recordNumber;
        m_shot.records = 0;
        m_shot.first = r;
        m_shot.differing.fill(0, m_columns.source.size());
        m_ffids.push_back(r.ffid);
    }

    // An ffid that names more than one shot, found from every shot's ffid
    // at the end: a table of millions of ffids would cost far more than
    // the list and one sort.
    void findRepeats()
    {
        bool rising = true, falling = true;
        for (size_t s = 1; s < m_ffids.size() && (rising || falling); ++s) {
            rising = rising && m_ffids[s - 1] < m_ffids[s];
            falling = falling && m_ffids[s - 1] > m_ffids[s];
        }
        if (rising || falling)
            return;
        std::vector<qint64> order(m_ffids.size());
        for (size_t s = 0; s < order.size(); ++s)
            order[s] = qint64(s);
        std::sort(order.begin(), order.end(), [this](qint64 a, qint64 b) {
            return m_ffids[size_t(a)] != m_ffids[size_t(b)] ? m_ffids[size_t(a)] < m_ffids[size_t(b)] : a < b;
        });
        // Each repeated ffid's run in order, listed by its first shot.
        std::vector<std::pair<qint64, size_t>> runs;
        for (size_t k = 0; k < order.size();) {
            size_t end = k + 1;
            while (end < order.size() && m_ffids[size_t(order[end])] == m_ffids[size_t(order[k])])
                ++end;
            if (end - k > 1)
                runs.emplace_back(order[k], k);
            k = end;
        }
        m_report.repeatedFfidCount = qint64(runs.size());
        const size_t listed = size_t(qMin<qint64>(m_limit, qint64(runs.size())));
        std::partial_sort(runs.begin(), runs.begin() + qint64(listed), runs.end());
        for (size_t r = 0; r < listed; ++r) {
            const size_t k = runs[r].second;
            RepeatedFfid repeat;
            repeat.ffid = m_ffids[size_t(order[k])];
            size_t end = k + 1;
            while (end < order.size() && m_ffids[size_t(order[end])] == repeat.ffid)
                ++end;
            repeat.shotCount = qint64(end - k);
            // The first shot always, then up to the list limit.
            for (size_t j = k; j < end && (j == k || qint64(j - k) < m_limit); ++j)
                repeat.shots.append(order[j]);
            m_report.repeatedFfids.append(repeat);
        }
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
    std::vector<qint32> m_ffids;   // of every shot so far
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
