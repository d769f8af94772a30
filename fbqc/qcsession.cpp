#include <fbqc/qcsession.h>

#include <fbfile/fbblockreader.h>
#include <fbfile/shotrecords.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

using namespace FbFile;

namespace FbQc {

namespace {

// The pairs of kept whose shots are not touched, with those of fromFile
// whose shots are, in shot order.
template<typename Pairs, typename Touches>
Pairs merged(const Pairs &kept, const Pairs &fromFile, const Touches &touches)
{
    Pairs pairs;
    pairs.reserve(kept.size());
    const auto before = [](const auto &x, const auto &y) {
        return x.shotA < y.shotA || (x.shotA == y.shotA && x.shotB < y.shotB);
    };
    // Both lists are in shot order already: one walk merges them.
    auto x = kept.cbegin(), y = fromFile.cbegin();
    for (;;) {
        while (x != kept.cend() && touches(x->shotA, x->shotB))
            ++x;
        while (y != fromFile.cend() && !touches(y->shotA, y->shotB))
            ++y;
        if (x == kept.cend() && y == fromFile.cend())
            return pairs;
        if (y == fromFile.cend() || (x != kept.cend() && !before(*y, *x)))
            pairs.append(*x++);
        else
            pairs.append(*y++);
    }
}

} // namespace

QcSession::QcSession() = default;

void QcSession::load(const QString &fileName, Report report)
{
    m_fileName = fileName;
    m_report = std::move(report);
    m_edits.clear();
    m_filePairs = m_report.pairs();
    m_fileRepeats = m_report.repeats();
}

void QcSession::resume(const QString &fileName, Report report, const PickEdits &edits,
                       const QVector<ReciprocalPair> &filePairs, const QVector<RepeatPair> &fileRepeats)
{
    m_fileName = fileName;
    m_report = std::move(report);
    m_edits = edits;
    m_filePairs = filePairs;
    m_fileRepeats = fileRepeats;
}

Report QcSession::takeReport()
{
    Report r = std::move(m_report);
    m_report = Report();
    return r;
}

int QcSession::shotOf(const QVector<ShotIndexEntry> &index, qint32 record)
{
    const auto it = std::lower_bound(index.cbegin(), index.cend(), record,
                                     [](const ShotIndexEntry &e, qint32 r) { return e.lastRecord < r; });
    return it != index.cend() && it->firstRecord <= record ? int(it - index.cbegin()) : -1;
}

QVector<FbRecord> QcSession::records(int shot) const
{
    if (shot < 0 || shot >= m_report.index().size())
        return {};
    const ShotIndexEntry &e = m_report.index().at(shot);
    QVector<FbRecord> records = readShotRecords(m_fileName, e.firstRecord, e.lastRecord);
    applyEdits(m_edits, &records, e.firstRecord);
    return records;
}

QVector<qint32> QcSession::changedShots(const PickEdits &a, const PickEdits &b, const QVector<ShotIndexEntry> &index)
{
    QVector<qint32> records;
    // Both maps ascending by record: one walk over the two.
    auto x = a.cbegin(), y = b.cbegin();
    while (x != a.cend() || y != b.cend()) {
        if (y == b.cend() || (x != a.cend() && x.key() < y.key())) {
            records.append(x.key());
            ++x;
        } else if (x == a.cend() || y.key() < x.key()) {
            records.append(y.key());
            ++y;
        } else {
            if (!(*x == *y))
                records.append(x.key());
            ++x, ++y;
        }
    }
    QVector<qint32> shots;
    auto shot = index.cbegin();
    for (qint32 record : qAsConst(records)) {
        shot = std::lower_bound(shot, index.cend(), record,
                                [](const ShotIndexEntry &e, qint32 r) { return e.lastRecord < r; });
        if (shot == index.cend())
            break;
        const qint32 s = qint32(shot - index.cbegin());
        if (shot->firstRecord <= record && (shots.isEmpty() || shots.last() != s))
            shots.append(s);
    }
    return shots;
}

bool QcSession::setThresholds(double outlierMs, double reciprocityMs)
{
    return rejudge(&m_report, outlierMs, reciprocityMs);
}

bool QcSession::setEdits(const PickEdits &edits, QString *error, const Progress &progress)
{
    const QVector<qint32> shots = changedShots(m_edits, edits, m_report.index());
    if (shots.isEmpty()) {
        m_edits = edits;
        return true;
    }
    if (!judgeShots(shots, edits, error, progress))
        return false;
    m_edits = edits;
    return true;
}

bool QcSession::judgeShots(const QVector<qint32> &shots, const PickEdits &after, QString *error,
                           const Progress &progress)
{
    const auto cancelled = [&progress, error] {
        if (progress.cancelled()) {
            *error = tr("cancelled");
            return true;
        }
        return false;
    };
    Report &r = m_report;

    // A pair that an edit ended (a pick rejected) comes back when its
    // picks do: every pair the file compared for these shots is offered
    // again, and judging keeps those whose times exist.
    std::vector<char> isEdited(size_t(r.index().size()), 0);
    for (qint32 shot : shots)
        isEdited[size_t(shot)] = 1;
    const auto touches = [&isEdited](qint32 a, qint32 b) { return isEdited[size_t(a)] || isEdited[size_t(b)]; };
    r.setPairs(merged(r.pairs(), m_filePairs, touches));
    r.setRepeats(merged(r.repeats(), m_fileRepeats, touches));

    // One open for the thousands of shots an edit of the whole file reads.
    FbInputFile input;
    input.open(m_fileName);
    // Each shot of a batch is read once for both states.
    std::unordered_set<qint32> batch;
    std::unordered_map<qint32, QVector<FbRecord>> fileRecords;
    const auto read = [&](qint32 shot) {
        const auto it = fileRecords.find(shot);
        if (it != fileRecords.end())
            return it->second;
        const ShotIndexEntry &e = r.index().at(shot);
        QVector<FbRecord> records = readShotRecords(&input, e.firstRecord, e.lastRecord);
        if (batch.count(shot) > 0)
            fileRecords.emplace(shot, records);
        return records;
    };
    const auto withEdits = [&](const PickEdits &edits) {
        return RecordsOf([&, edits](qint32 shot) {
            QVector<FbRecord> records = read(shot);
            applyEdits(edits, &records, r.index().at(shot).firstRecord);
            return records;
        });
    };
    const RecordsOf before = withEdits(m_edits), now = withEdits(after);

    // The shots go a batch at a time, about m_batchFindings findings of
    // their own each, so that a cancel is heard between batches and the
    // records held stay few. Their pairs are measured and the timing errors
    // and flagged pairs settled once, after the last batch, when every edit
    // is in place.
    EditedFits fits;
    std::unordered_map<qint32, qint64> own;
    for (qint32 shot : shots) {
        qint64 &n = own[shot];
        for (Kind kind : shotKinds())
            n += r.findings(kind).countOfShot(shot);
        n += r.outlierCandidates().countOfShot(shot);
    }
    for (int next = 0; next < shots.size();) {
        QVector<qint32> part;
        qint64 findings = 0;
        while (next < shots.size() && (part.isEmpty() || findings < m_batchFindings)) {
            part.append(shots.at(next));
            findings += own[shots.at(next++)];
        }
        batch = std::unordered_set<qint32>(part.cbegin(), part.cend());
        fileRecords.clear();
        if (!rejudgeShots(&r, part, before, now, false, &fits)) {
            *error = tr("the edited shots could not be judged again");
            for (int k = 0; k < KindCount; ++k) {
                if (!r.findings(Kind(k)).ok())
                    *error = r.findings(Kind(k)).errorString();
            }
            if (!r.outlierCandidates().ok())
                *error = r.outlierCandidates().errorString();
            return false;
        }
        if (cancelled())
            return false;
    }
    batch.clear();
    fileRecords.clear();
    if (!settleShotPairs(&r, shots, now, &fits)) {
        *error = tr("the edited shots could not be judged again");
        return false;
    }
    return true;
}

} // namespace FbQc
