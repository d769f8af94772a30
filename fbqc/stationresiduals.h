#ifndef FBQC_STATIONRESIDUALS_H
#define FBQC_STATIONRESIDUALS_H

#include <fbfile/fblayout.h>
#include <fbqc/pickqc.h>
#include <fbqc/shotfit.h>

#include <unordered_map>
#include <vector>

// The residuals of every judged pick that is no outlier gathered by
// receiver, across all shots, while the pass reads: a bad receiver or a
// receiver static is in every shot that recorded it, and stands out in the
// mean, where a single wrong pick does not. A receiver is
// a position (the receiver set's rule: the same floats); its line and
// station are those of its first pick.
//
// Kept in shards that threads fill at once, each taking the receivers its
// hash names and adding their picks in record order, so that the sums are
// the same whatever the number of shards.
//
//   StationResiduals stations(shards);
//   ... on thread t: stations.add(t, records, fit.picks.constData(), n);
//   QVector<StationResidual> all = stations.take();
namespace FbQc {

class StationResiduals
{
public:
    explicit StationResiduals(int shards = 1);
    int shards() const { return int(m_shards.size()); }
    void add(int shard, const FbFile::FbRecord *records, const PickVerdict *verdicts, int n);
    // Sorted by line, then station, then position.
    QVector<StationResidual> take();

private:
    struct Sum
    {
        qint32 line;
        qint32 stat;
        float x;
        float y;
        qint64 picks;
        double sum;
        double squares;
    };
    std::vector<std::unordered_map<quint64, Sum>> m_shards;
};

} // namespace FbQc

#endif // FBQC_STATIONRESIDUALS_H
