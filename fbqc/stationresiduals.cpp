#include <fbqc/stationresiduals.h>

#include <fbfile/fbpicks.h>
#include <fbqc/positionkey.h>

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace FbFile;

namespace FbQc {

StationResiduals::StationResiduals(int shards) : m_shards(size_t(std::max(1, shards))) { }

void StationResiduals::add(int shard, const FbRecord *records, const PickVerdict *verdicts, int n)
{
    auto &sums = m_shards[size_t(shard)];
    const quint64 count = m_shards.size();
    for (int i = 0; i < n; ++i) {
        const PickVerdict &v = verdicts[i];
        const FbRecord &r = records[i];
        if (!v.judged || v.outlier || !FbPicks::isLive(r) || !std::isfinite(r.group_x) || !std::isfinite(r.group_y))
            continue;
        const quint64 key = positionKey(r.group_x, r.group_y);
        if (count > 1 && shardOf(key, count) != quint64(shard))
            continue;
        auto it = sums.find(key);
        if (it == sums.end())
            it = sums.emplace(key, Sum{r.g_line, r.g_stat, r.group_x + 0.0f, r.group_y + 0.0f, 0, 0.0, 0.0}).first;
        Sum &s = it->second;
        ++s.picks;
        s.sum += v.residual;
        s.squares += double(v.residual) * v.residual;
    }
}

QVector<StationResidual> StationResiduals::take()
{
    std::vector<StationResidual> all;
    for (auto &shard : m_shards) {
        for (const auto &entry : shard) {
            const Sum &s = entry.second;
            const double mean = s.sum / double(s.picks);
            all.push_back(StationResidual{s.line, s.stat, s.x, s.y, qint32(std::min<qint64>(s.picks, INT32_MAX)),
                                          float(mean), float(std::sqrt(s.squares / double(s.picks)))});
        }
        shard.clear();
    }
    std::sort(all.begin(), all.end(), [](const StationResidual &a, const StationResidual &b) {
        return std::tie(a.line, a.stat, a.x, a.y) < std::tie(b.line, b.stat, b.x, b.y);
    });
    return QVector<StationResidual>(all.begin(), all.end());
}

} // namespace FbQc
