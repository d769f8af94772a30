#include <fbtrace/tracematch.h>

#include <fbfile/fbblockreader.h>
#include <fbfile/shotindex.h>
#include <fbfile/shotrecords.h>

#include <QHash>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

using namespace FbFile;

namespace FbTrace {

namespace {

quint64 keyOf(qint32 ffid, qint32 channel)
{
    return (quint64(quint32(ffid)) << 32) | quint32(channel);
}

// Finds traces by source and receiver position: each trace sits in one
// cell of a grid of the tolerance's size in all four coordinates, and a
// pick looks in its own cell and the neighbouring ones.
class PositionGrid
{
public:
    explicit PositionGrid(double tolerance) : m_tolerance(tolerance) { }

    void add(double sx, double sy, double rx, double ry, int item)
    {
        m_cells.insert(cellKey(cell(sx), cell(sy), cell(rx), cell(ry)), item);
    }

    // The first item (lowest number) in [from, to) within the tolerance of
    // both ends, or -1. position(item, xyxy) gives an item's coordinates.
    int find(double sx, double sy, double rx, double ry, const std::function<void(int, double *)> &position,
             qint64 from = 0, qint64 to = std::numeric_limits<int>::max()) const
    {
        const qint64 c[4] = {cell(sx), cell(sy), cell(rx), cell(ry)};
        int best = -1;
        double p[4];
        for (int n = 0; n < 81; ++n) {
            const qint64 k = cellKey(c[0] + n % 3 - 1, c[1] + n / 3 % 3 - 1, c[2] + n / 9 % 3 - 1, c[3] + n / 27 - 1);
            for (auto it = m_cells.constFind(k); it != m_cells.cend() && it.key() == k; ++it) {
                if (it.value() < from || it.value() >= to)
                    continue;
                position(it.value(), p);
                if (std::hypot(p[0] - sx, p[1] - sy) <= m_tolerance &&
                    std::hypot(p[2] - rx, p[3] - ry) <= m_tolerance && (best < 0 || it.value() < best))
                    best = it.value();
            }
        }
        return best;
    }

private:
    qint64 cell(double v) const
    {
        const double c = std::floor(v / m_tolerance);
        return std::isfinite(c) ? qint64(qBound(-1e15, c, 1e15)) : 0;
    }
    static qint64 cellKey(qint64 a, qint64 b, qint64 c, qint64 d)
    {
        quint64 h = 1469598103934665603ULL;
        for (qint64 v : {a, b, c, d})
            h = (h ^ quint64(v)) * 1099511628211ULL;
        return qint64(h);
    }

    double m_tolerance;
    QMultiHash<qint64, int> m_cells;
};

} // namespace

TraceMatcher::TraceMatcher(const TraceMatchSettings &settings) : m_settings(settings) { }

bool TraceMatcher::match(const TraceDataSet &data, const QString &fbFile, TraceMatchResult *r, const Progress &progress)
{
    *r = TraceMatchResult();
    const bool byPosition = m_settings.by == TraceMatchSettings::By::Position;
    if (byPosition && !(m_settings.toleranceM > 0)) {
        m_error = QStringLiteral("the position tolerance must be positive");
        return false;
    }
    ShotIndexScanner scanner(fbFile);
    if (!scanner.open() || !scanner.recordCountFits()) {
        m_error = scanner.errorString().isEmpty() ? QStringLiteral("%1 cannot be indexed").arg(fbFile)
                                                  : scanner.errorString();
        return false;
    }
    const QVector<ShotIndexEntry> shots = scanner.scan();

    const QVector<TraceKey> &keys = data.traceKeys();
    r->traces = keys.size();
    // A key's traces in data-set order: the n-th pick of a key takes its
    // n-th trace, so that a field record number used twice pairs up in order.
    QHash<quint64, int> byKey;
    QVector<int> nextOfKey(byPosition ? 0 : keys.size(), -1);
    PositionGrid grid(byPosition ? m_settings.toleranceM : 1.0);
    for (int t = keys.size() - 1; t >= 0; --t) {
        const TraceKey &k = keys[t];
        if (byPosition) {
            grid.add(k.sourceX, k.sourceY, k.receiverX, k.receiverY, t);
        } else {
            int &first = byKey[keyOf(k.ffid, k.channel)];
            nextOfKey[t] = first - 1;
            first = t + 1; // stored from 1: 0 is a key not seen yet
        }
        r->traceFfidMin = t == keys.size() - 1 ? k.ffid : qMin(r->traceFfidMin, k.ffid);
        r->traceFfidMax = t == keys.size() - 1 ? k.ffid : qMax(r->traceFfidMax, k.ffid);
    }
    auto position = [&keys](int t, double *p) {
        p[0] = keys[t].sourceX;
        p[1] = keys[t].sourceY;
        p[2] = keys[t].receiverX;
        p[3] = keys[t].receiverY;
    };

    QVector<bool> used(keys.size(), false);
    // By position a shot's picks look only among the traces of the data-set
    // shot paired with it, so a repeated shot finds its own traces.
    TraceShotPairing pairing(data, m_settings);
    for (int s = 0; s < shots.size(); ++s) {
        if (!progress.report(s, shots.size())) {
            m_error = QStringLiteral("cancelled");
            return false;
        }
        const QVector<FbRecord> records = readShotRecords(fbFile, shots[s].firstRecord, shots[s].lastRecord);
        const int dataShot = byPosition && !records.isEmpty() ? pairing.next(records.first()) : -1;
        const qint64 from = dataShot < 0 ? 0 : data.shots().at(dataShot).firstTrace;
        const qint64 to = dataShot < 0 ? 0 : from + data.shots().at(dataShot).traceCount;
        for (int i = 0; i < records.size(); ++i) {
            const FbRecord &rec = records[i];
            r->pickFfidMin = r->picks == 0 ? rec.ffid : qMin(r->pickFfidMin, rec.ffid);
            r->pickFfidMax = r->picks == 0 ? rec.ffid : qMax(r->pickFfidMax, rec.ffid);
            ++r->picks;
            int t = -1;
            if (byPosition) {
                t = grid.find(rec.source_x, rec.source_y, rec.group_x, rec.group_y, position, from, to);
            } else {
                const auto it = byKey.find(keyOf(rec.ffid, rec.channel));
                if (it != byKey.end()) {
                    t = it.value() - 1;
                    // Further picks of the key go on to its next trace; past
                    // the last, they share the last.
                    if (nextOfKey[t] >= 0)
                        it.value() = nextOfKey[t] + 1;
                }
            }
            if (t >= 0) {
                ++r->matched;
                used[t] = true;
            } else if (r->picksWithoutTrace++ < m_settings.listLimit) {
                r->firstPicksWithoutTrace.append({shots[s].firstRecord + qint64(i), rec.ffid, rec.channel});
            }
        }
    }
    for (int t = 0; t < keys.size(); ++t) {
        if (!used[t] && r->tracesWithoutPick++ < m_settings.listLimit)
            r->firstTracesWithoutPick.append({t, keys[t].ffid, keys[t].channel});
    }
    progress.report(1, 1);
    return true;
}

QVector<int> matchRecordsToGather(const QVector<FbRecord> &records, const ShotGather &gather,
                                  const TraceMatchSettings &settings)
{
    QVector<int> result(records.size(), -1);
    const bool byPosition = settings.by == TraceMatchSettings::By::Position;
    if (byPosition && !(settings.toleranceM > 0))
        return result;
    QHash<quint64, int> byKey;
    PositionGrid grid(byPosition ? settings.toleranceM : 1.0);
    for (int t = gather.traceCount() - 1; t >= 0; --t) {
        const TraceHeader &h = gather.headers[t];
        if (byPosition)
            grid.add(h.sourceX, h.sourceY, h.receiverX, h.receiverY, t);
        else
            byKey.insert(keyOf(h.ffid, h.channel), t);
    }
    auto position = [&gather](int t, double *p) {
        const TraceHeader &h = gather.headers[t];
        p[0] = h.sourceX;
        p[1] = h.sourceY;
        p[2] = h.receiverX;
        p[3] = h.receiverY;
    };
    for (int i = 0; i < records.size(); ++i) {
        const FbRecord &rec = records[i];
        result[i] = byPosition ? grid.find(rec.source_x, rec.source_y, rec.group_x, rec.group_y, position)
                               : byKey.value(keyOf(rec.ffid, rec.channel), -1);
    }
    return result;
}

TraceShotPairing::TraceShotPairing(const TraceDataSet &data, const TraceMatchSettings &settings) : m_settings(settings)
{
    const QVector<TraceKey> &keys = data.traceKeys();
    const QVector<TraceShot> &shots = data.shots();
    if (m_settings.by == TraceMatchSettings::By::Keys) {
        for (int s = 0; s < shots.size(); ++s)
            m_shotsOfFfid[shots.at(s).ffid].append(s);
        return;
    }
    if (!(m_settings.toleranceM > 0))
        return;
    m_dataSources.reserve(shots.size());
    for (int s = 0; s < shots.size(); ++s) {
        const TraceKey &k = keys.at(int(shots.at(s).firstTrace));
        m_dataSources.append({k.sourceX, k.sourceY});
        m_dataGrid[cellOf(k.sourceX, k.sourceY)].append(s);
    }
}

quint64 TraceShotPairing::cellOf(double x, double y, int dx, int dy) const
{
    auto cell = [this](double v, int d) {
        const double c = std::floor(v / m_settings.toleranceM);
        return quint32(qint32((std::isfinite(c) ? qBound(-1e9, c, 1e9) : 0.0) + d));
    };
    return (quint64(cell(x, dx)) << 32) | cell(y, dy);
}

QVector<int> TraceShotPairing::near(const Grid &grid, const QVector<Source> &sources, double x, double y) const
{
    QVector<int> found;
    for (int n = 0; n < 9; ++n) {
        for (int item : grid.value(cellOf(x, y, n % 3 - 1, n / 3 - 1))) {
            if (std::hypot(sources.at(item).x - x, sources.at(item).y - y) <= m_settings.toleranceM)
                found.append(item);
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

int TraceShotPairing::next(const FbRecord &first)
{
    if (m_settings.by == TraceMatchSettings::By::Keys) {
        const int n = m_seenFfid[first.ffid]++;
        return m_shotsOfFfid.value(first.ffid).value(n, -1);
    }
    if (!(m_settings.toleranceM > 0))
        return -1;
    const double x = first.source_x, y = first.source_y;
    const int n = near(m_fbGrid, m_fbSources, x, y).size();
    m_fbGrid[cellOf(x, y)].append(m_fbSources.size());
    m_fbSources.append({x, y});
    return near(m_dataGrid, m_dataSources, x, y).value(n, -1);
}

QVector<int> traceShotsOf(const TraceDataSet &data, const QString &fbFile, const QVector<ShotIndexEntry> &index,
                          const TraceMatchSettings &settings)
{
    QVector<int> result(index.size(), -1);
    TraceShotPairing pairing(data, settings);
    FbInputFile input;
    input.open(fbFile);
    for (int s = 0; s < index.size(); ++s) {
        // The first record stands for its shot; one that cannot be read
        // pairs as zeros, as shot records that cannot be read do.
        const qint32 at = qint32(index.at(s).firstRecord);
        FbRecord first = readShotRecords(&input, at, at).value(0);
        first.ffid = index.at(s).ffid;
        result[s] = pairing.next(first);
    }
    return result;
}

void takeRecordOffset(TraceHeader *header, const FbRecord &record, double metresPerOffset)
{
    header->offset = double(record.offset) * metresPerOffset;
}

} // namespace FbTrace
