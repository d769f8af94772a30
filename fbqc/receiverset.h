#ifndef FBQC_RECEIVERSET_H
#define FBQC_RECEIVERSET_H

#include <fbfile/fblayout.h>
#include <fbqc/pickqc.h>

#include <vector>

// The distinct receiver positions of a survey, gathered while the pass
// reads: every finite (group_x, group_y) once. Two receivers are one when
// their coordinates are the same floats (0 and -0 alike): a rolling spread
// writes a station's position the same way every time, and any tolerance
// would merge real receivers of a fine spread.
//
// Kept in shards that different threads fill at once, each shard taking
// the positions its hash names; the list comes out sorted by x then y, so
// that it is the same whatever the number of shards.
//
//   ReceiverSet set(threads);
//   ... on thread t: for each record: set.add(t, record);   (t < shards())
//   QVector<ReceiverPosition> all = set.take();
namespace FbQc {

class ReceiverSet
{
public:
    explicit ReceiverSet(int shards = 1);
    int shards() const { return int(m_shards.size()); }
    // Adds the receivers of records that fall in shard; other records are
    // left to their shards.
    void add(int shard, const FbFile::FbRecord *records, size_t n);
    QVector<ReceiverPosition> take();

private:
    struct Shard
    {
        std::vector<quint64> table; // open addressing; 0 is empty
        size_t used = 0;
        bool hasZero = false; // the key 0, (0, 0), kept aside
        void insert(quint64 key);
    };
    std::vector<Shard> m_shards;
};

} // namespace FbQc

#endif // FBQC_RECEIVERSET_H
