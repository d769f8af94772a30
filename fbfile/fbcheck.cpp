#include "fbcheck.h"

#include "fbcolumns.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QTextStream>

#include <algorithm>

#include <cmath>

namespace FbCheck {

namespace {

// Source attributes other than ffid itself, which is constant within a
// shot by the definition of a shot.
constexpr int SourceColumns[] = {FbColumns::SElev, FbColumns::SDepth, FbColumns::SourceX,
                                 FbColumns::SourceY, FbColumns::SLine, FbColumns::SStat};
constexpr int FloatColumns[] = {FbColumns::SourceX, FbColumns::SourceY, FbColumns::GroupX,
                                FbColumns::GroupY, FbColumns::FbTime};
constexpr int SourceCount = sizeof SourceColumns / sizeof SourceColumns[0];

float floatValue(const FbRecord &r, int column)
{
    switch (column) {
    case FbColumns::SourceX: return r.source_x;
    case FbColumns::SourceY: return r.source_y;
    case FbColumns::GroupX: return r.group_x;
    case FbColumns::GroupY: return r.group_y;
    default: return r.fb_time;
    }
}

// The shot being read: its first record and, per source attribute, how
// many records disagree with it.
struct OpenShot
{
    qint64 row = -1;
    qint64 firstRecord = 0;
    qint64 records = 0;
    FbRecord first;
    qint64 differing[SourceCount] = {};
};

class Checker
{
public:
    explicit Checker(Report &report) : m_report(report) {}

    void add(qint64 recordNumber, const FbRecord &r)
    {
        if (m_shot.row < 0 || r.ffid != m_shot.first.ffid)
            startShot(recordNumber, r);
        ++m_shot.records;
        for (int k = 0; k < SourceCount; ++k) {
            // The viewer's rule: a NaN differs even from itself.
            if (!FbColumns::sameValue(m_shot.first, r, SourceColumns[k]))
                ++m_shot.differing[k];
        }

        if (r.fb_status == 0)
            ++m_report.status0;
        else if (r.fb_status == 1)
            ++m_report.status1;
        else
            ++m_report.statusOther;

        for (int column : FloatColumns) {
            const float v = floatValue(r, column);
            if (std::isfinite(v))
                continue;
            if (m_report.nonFinite.size() < Report::MaxListed)
                m_report.nonFinite.append(NonFinite{recordNumber, r.ffid, r.channel, column, v});
            ++m_report.nonFiniteCount;
        }
    }

    void finish()
    {
        if (m_shot.row >= 0)
            closeShot();
        m_report.shots = m_shot.row + 1;
        for (auto it = m_repeats.cbegin(); it != m_repeats.cend(); ++it)
            m_report.repeatedFfids.append(RepeatedFfid{it.key(), it.value()});
        std::sort(m_report.repeatedFfids.begin(), m_report.repeatedFfids.end(),
                  [](const RepeatedFfid &a, const RepeatedFfid &b) { return a.rows.first() < b.rows.first(); });
    }

private:
    void startShot(qint64 recordNumber, const FbRecord &r)
    {
        if (m_shot.row >= 0)
            closeShot();
        const qint64 row = m_shot.row + 1;
        m_shot = OpenShot();
        m_shot.row = row;
        m_shot.firstRecord = recordNumber;
        m_shot.first = r;

        const auto seen = m_firstRow.constFind(r.ffid);
        if (seen == m_firstRow.cend()) {
            m_firstRow.insert(r.ffid, row);
        } else {
            QVector<qint64> &rows = m_repeats[r.ffid];
            if (rows.isEmpty())
                rows.append(seen.value());
            rows.append(row);
        }
    }

    void closeShot()
    {
        for (int k = 0; k < SourceCount; ++k) {
            if (m_shot.differing[k] == 0)
                continue;
            m_report.sourceVariations.append(SourceVariation{m_shot.row, m_shot.first.ffid, m_shot.firstRecord,
                                                             m_shot.records, SourceColumns[k], m_shot.differing[k]});
        }
    }

    Report &m_report;
    OpenShot m_shot;
    QHash<qint32, qint64> m_firstRow;
    QHash<qint32, QVector<qint64>> m_repeats;
};

QString itemsLine(qint64 shown, qint64 total)
{
    return total > shown ? QStringLiteral("  ... and %1 more\n").arg(total - shown) : QString();
}

} // namespace

qint64 Report::trailingBytes() const
{
    if (fileSize < FbLayout::HeaderSize)
        return 0;
    return fileSize - FbLayout::HeaderSize - recordCount * FbLayout::RecordSize;
}

int Report::findings() const
{
    return int(!countMatches()) + int(trailingBytes() > 0) + int(!sourceVariations.isEmpty())
         + int(!repeatedFfids.isEmpty()) + int(nonFiniteCount > 0);
}

bool checkFile(const QString &fileName, Report *report, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot open %1: %2").arg(fileName, file.errorString());
        return false;
    }
    *report = Report();
    char headerBytes[FbLayout::HeaderSize] = {};
    const qint64 got = file.read(headerBytes, sizeof headerBytes);
    report->header = FbLayout::decodeHeader(headerBytes, qMax<qint64>(0, got));
    report->fileSize = file.size();
    report->recordCount = FbLayout::recordCount(report->fileSize);

    Checker checker(*report);
    const qint64 blockRecords = 12483; // about 1 MiB of whole records
    QByteArray block(static_cast<int>(blockRecords * FbLayout::RecordSize), Qt::Uninitialized);
    file.seek(FbLayout::HeaderSize);
    for (qint64 first = 0; first < report->recordCount; first += blockRecords) {
        const qint64 records = qMin(blockRecords, report->recordCount - first);
        const qint64 bytes = records * FbLayout::RecordSize;
        const qint64 read = file.read(block.data(), bytes);
        // A file that shrinks under the check reads as zeros, as it would
        // in the viewer.
        if (read < bytes)
            std::fill(block.data() + qMax<qint64>(0, read), block.data() + bytes, '\0');
        const char *p = block.constData();
        for (qint64 k = 0; k < records; ++k, p += FbLayout::RecordSize)
            checker.add(first + k, FbLayout::decodeRecord(p));
    }
    checker.finish();
    return true;
}

QString formatReport(const QString &fileName, const Report &r, int maxItems)
{
    QString text;
    QTextStream out(&text);
    out << "File: " << fileName << '\n';
    out << "Records: " << r.recordCount << '\n';
    out << "Shots: " << r.shots << '\n';

    if (r.countMatches())
        out << "Declared count: " << r.header.fb_count << " (matches the file size)\n";
    else
        out << "Declared count: " << r.header.fb_count << " MISMATCH: the file size gives " << r.recordCount
            << " records\n";
    if (r.trailingBytes() > 0)
        out << "Partial record: " << r.trailingBytes() << " bytes after the last complete record\n";

    out << "Varying source attributes: " << r.sourceVariations.size() << '\n';
    for (int k = 0; k < r.sourceVariations.size() && k < maxItems; ++k) {
        const SourceVariation &v = r.sourceVariations.at(k);
        out << "  shot row " << v.row << ", ffid " << v.ffid << " (records " << v.firstRecord << ".."
            << v.firstRecord + v.records - 1 << "): " << FbColumns::titles[v.column] << " differs in "
            << v.differing << " of " << v.records << " records\n";
    }
    out << itemsLine(qMin<qint64>(maxItems, r.sourceVariations.size()), r.sourceVariations.size());

    out << "Repeated ffids: " << r.repeatedFfids.size() << '\n';
    for (int k = 0; k < r.repeatedFfids.size() && k < maxItems; ++k) {
        const RepeatedFfid &f = r.repeatedFfids.at(k);
        out << "  ffid " << f.ffid << ": " << f.rows.size() << " runs, at shot rows";
        for (qint64 row : f.rows)
            out << ' ' << row;
        out << '\n';
    }
    out << itemsLine(qMin<qint64>(maxItems, r.repeatedFfids.size()), r.repeatedFfids.size());

    out << "Pick status: 0: " << r.status0 << ", 1: " << r.status1 << ", other: " << r.statusOther << '\n';

    out << "Non-finite floats: " << r.nonFiniteCount << '\n';
    for (int k = 0; k < r.nonFinite.size() && k < maxItems; ++k) {
        const NonFinite &n = r.nonFinite.at(k);
        out << "  record " << n.record << " (ffid " << n.ffid << ", channel " << n.channel
            << "): " << FbColumns::titles[n.column] << " = " << QString::number(double(n.value)) << '\n';
    }
    out << itemsLine(qMin<qint64>(maxItems, r.nonFinite.size()), r.nonFiniteCount);

    if (r.clean())
        out << "Result: clean\n";
    else
        out << "Result: " << r.findings() << (r.findings() == 1 ? " problem" : " problems") << " found\n";
    out.flush();
    return text;
}

} // namespace FbCheck
