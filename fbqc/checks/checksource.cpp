#include <fbqc/checks/checks.h>

#include <fbfile/fbcolumns.h>
#include <fbqc/pickqc.h>

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

using namespace FbFile;

// Source attributes that vary within a shot. Whether a column varies is the
// viewer's rule: some record differs from the first, and a NaN differs even
// from itself, so the QC names exactly the columns the viewer shows in red.
// How many records differ is counted against the shot's most common value,
// so that one stray record is the one called out, not the rest.
namespace FbQc {

namespace {

// The shot's source attributes but the ffid, which defines the shot, from
// the field table.
const std::vector<int> &sourceColumns()
{
    static const std::vector<int> columns = [] {
        std::vector<int> c;
        for (int column = 0; column < FbColumns::Count; ++column) {
            if (FbColumns::field(column).sourceAttribute && column != FbColumns::Ffid)
                c.push_back(column);
        }
        return c;
    }();
    return columns;
}

// Records whose value is not the most common one (NaN is no value).
qint64 differing(const FbRecord *records, int n, int column)
{
    const FbLayout::Field &field = FbColumns::field(column);
    std::vector<double> values;
    values.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        const double v = field.value(records[i]);
        if (!std::isnan(v))
            values.push_back(v);
    }
    std::sort(values.begin(), values.end());
    qint64 most = 0;
    for (size_t k = 0; k < values.size();) {
        size_t end = k;
        while (end < values.size() && values[end] == values[k])
            ++end;
        most = std::max<qint64>(most, qint64(end - k));
        k = end;
    }
    return n - most;
}

} // namespace

void checkVaryingSource(const ShotData &shot, const Settings &, Findings *out)
{
    if (shot.n <= 0)
        return;
    // Most shots hold one source in every record: the same bits in every
    // source field, and no NaN (which differs even from itself), answer
    // for all columns at once. The fields are the field table's source
    // attributes, which this quick look must cover.
    Q_ASSERT((sourceColumns() == std::vector<int>{FbColumns::SElev, FbColumns::SDepth, FbColumns::SourceX,
                                                  FbColumns::SourceY, FbColumns::SLine, FbColumns::SStat}));
    const FbRecord &first = shot.records[0];
    bool same = !std::isnan(first.source_x + first.source_y);
    for (int i = 1; i < shot.n && same; ++i) {
        const FbRecord &r = shot.records[i];
        same = std::memcmp(&r.s_elev, &first.s_elev, sizeof(qint32) * 2 + sizeof(float) * 2) == 0 &&
               r.s_line == first.s_line && r.s_stat == first.s_stat;
    }
    if (same)
        return;
    for (int column : sourceColumns()) {
        bool varies = false;
        for (int i = 0; i < shot.n && !varies; ++i)
            varies = !FbColumns::sameValue(shot.records[0], shot.records[i], column);
        if (!varies)
            continue;
        Finding f;
        f.kind = Kind::VaryingSource;
        f.shot = shot.shot;
        f.record = shot.firstRecord;
        f.column = qint8(column);
        f.count = differing(shot.records, shot.n, column);
        f.a = float(shot.n);
        out->push_back(f);
    }
}

void SourceTally::start(const FbRecord &first)
{
    m_first = first;
    m_differing.assign(sourceColumns().size(), 0);
}

void SourceTally::add(const FbRecord *records, int n)
{
    const std::vector<int> &columns = sourceColumns();
    for (size_t c = 0; c < columns.size(); ++c) {
        for (int i = 0; i < n; ++i)
            m_differing[c] += FbColumns::sameValue(m_first, records[i], columns[c]) ? 0 : 1;
    }
}

void SourceTally::finish(qint32 shot, qint32 firstRecord, qint64 records, Findings *out) const
{
    const std::vector<int> &columns = sourceColumns();
    for (size_t c = 0; c < columns.size(); ++c) {
        if (m_differing[c] == 0)
            continue;
        Finding f;
        f.kind = Kind::VaryingSource;
        f.shot = shot;
        f.record = firstRecord;
        f.column = qint8(columns[c]);
        f.count = m_differing[c];
        f.a = float(records);
        out->push_back(f);
    }
}

QString describeVaryingSource(const Finding &f, const Report &report)
{
    const ShotIndexEntry &e = report.index().at(f.shot);
    return QCoreApplication::translate("FbQc::Kind", "%1 (records %2..%3): %4 differs in %5 of %6 records")
        .arg(shotName(report, f.shot))
        .arg(qint64(e.firstRecord) + 1)
        .arg(qint64(e.lastRecord) + 1)
        .arg(QLatin1String(FbColumns::titles[f.column]))
        .arg(f.count)
        .arg(qint64(e.lastRecord) - e.firstRecord + 1);
}

} // namespace FbQc
