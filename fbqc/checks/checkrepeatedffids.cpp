#include <fbqc/checks/checks.h>

#include <fbfile/fbcolumns.h>
#include <fbqc/pickqc.h>

#include <QCoreApplication>

#include <algorithm>
#include <vector>

using namespace FbFile;

// An ffid that names more than one shot: records of one source that are
// not together, or two sources given one number. Each later shot with an
// ffid already used is a finding, filed under that shot and naming the
// first; count is how many shots the ffid names.
namespace FbQc {

void checkRepeatedFfids(Report *r)
{
    const QVector<ShotIndexEntry> &index = r->index();
    // Ffids usually rise (or fall) shot by shot; then none repeats.
    bool rising = true, falling = true;
    for (int s = 1; s < index.size() && (rising || falling); ++s) {
        rising = rising && index[s - 1].ffid < index[s].ffid;
        falling = falling && index[s - 1].ffid > index[s].ffid;
    }
    if (rising || falling)
        return;
    std::vector<std::pair<qint32, qint32>> byFfid(size_t(index.size()));
    for (int s = 0; s < index.size(); ++s)
        byFfid[size_t(s)] = {index[s].ffid, s};
    std::sort(byFfid.begin(), byFfid.end());
    // Runs of one ffid, listed by their first shot.
    std::vector<std::pair<qint32, size_t>> runs;
    for (size_t k = 0; k < byFfid.size();) {
        size_t end = k + 1;
        while (end < byFfid.size() && byFfid[end].first == byFfid[k].first)
            ++end;
        if (end - k > 1)
            runs.emplace_back(byFfid[k].second, k);
        k = end;
    }
    std::sort(runs.begin(), runs.end());
    for (const auto &run : runs) {
        size_t end = run.second + 1;
        while (end < byFfid.size() && byFfid[end].first == byFfid[run.second].first)
            ++end;
        for (size_t j = run.second + 1; j < end; ++j) {
            Finding f;
            f.kind = Kind::RepeatedFfid;
            f.column = FbColumns::Ffid;
            f.shot = byFfid[j].second;
            f.otherShot = run.first;
            f.record = index[f.shot].firstRecord;
            f.value = float(byFfid[j].first);
            f.count = qint64(end - run.second);
            r->addFinding(f);
        }
    }
}

QString describeRepeatedFfid(const Finding &f, const Report &r)
{
    return QCoreApplication::translate("FbQc::Kind", "%1: ffid %2 already names shot %3 (%4 shots in all)")
        .arg(shotName(r, f.shot))
        .arg(r.index().at(f.shot).ffid)
        .arg(qint64(f.otherShot) + 1)
        .arg(f.count);
}

} // namespace FbQc
