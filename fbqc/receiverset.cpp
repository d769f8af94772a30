#include <fbqc/receiverset.h>

#include <fbqc/positionkey.h>

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace FbFile;

namespace FbQc {

void ReceiverSet::Shard::insert(quint64 key)
{
    if (key == 0) {
        hasZero = true;
        return;
    }
    if (2 * (used + 1) > table.size()) {
        std::vector<quint64> old(std::max<size_t>(1024, 2 * table.size()), 0);
        old.swap(table);
        used = 0;
        for (quint64 k : old) {
            if (k != 0)
                insert(k);
        }
    }
    const size_t mask = table.size() - 1;
    for (size_t at = mixKey(key) & mask;; at = (at + 1) & mask) {
        if (table[at] == key)
            return;
        if (table[at] == 0) {
            table[at] = key;
            ++used;
            return;
        }
    }
}

ReceiverSet::ReceiverSet(int shards) : m_shards(size_t(std::max(1, shards))) { }

void ReceiverSet::add(int shard, const FbRecord *records, size_t n)
{
    Shard &s = m_shards[size_t(shard)];
    const quint64 count = m_shards.size();
    quint64 last = ~quint64(0);
    for (size_t i = 0; i < n; ++i) {
        const FbRecord &r = records[i];
        if (!std::isfinite(r.group_x) || !std::isfinite(r.group_y))
            continue;
        const quint64 key = positionKey(r.group_x, r.group_y);
        // Neighbouring records mostly sit on different receivers, but a
        // shot recorded twice repeats them: skip the plain repeats cheaply.
        if (key == last || (count > 1 && shardOf(key, count) != quint64(shard)))
            continue;
        last = key;
        s.insert(key);
    }
}

QVector<ReceiverPosition> ReceiverSet::take()
{
    std::vector<std::pair<float, float>> all;
    for (Shard &s : m_shards) {
        if (s.hasZero)
            all.emplace_back(0.0f, 0.0f);
        for (quint64 k : s.table) {
            if (k == 0)
                continue;
            const quint32 bx = quint32(k >> 32), by = quint32(k);
            float x, y;
            std::memcpy(&x, &bx, sizeof x);
            std::memcpy(&y, &by, sizeof y);
            all.emplace_back(x, y);
        }
        s = Shard();
    }
    std::sort(all.begin(), all.end());
    QVector<ReceiverPosition> out;
    out.reserve(int(all.size()));
    for (const auto &p : all)
        out.append(ReceiverPosition{p.first, p.second});
    return out;
}

} // namespace FbQc
