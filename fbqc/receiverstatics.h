#ifndef FBQC_RECEIVERSTATICS_H
#define FBQC_RECEIVERSTATICS_H

#include <fbfile/fblayout.h>
#include <fbqc/pickqc.h>
#include <fbqc/shotfit.h>

#include <vector>

// The static of the ground under each receiver position, from the
// residuals its picks leave in every shot that recorded it
// (Report::receiverStatics()), and from those the static under a source:
// a shot fired on that ground is late by it in all its picks, which its own
// fit cannot tell from a timing error.
//
// A pick counts when its side was judged, it is live, its receiver's
// position is finite, it is in no run of a cycle skip and its residual is
// within StaticClipMs: a wrong pick tells nothing of the ground. None of
// this depends on the outlier threshold, so a new threshold leaves the sums
// as they are. The sums are exact (ReceiverStatic's fixed point): the pass
// fills them in shards on threads, a session takes an edited shot's old
// picks away and adds its new ones, and both come to the bits one pass
// over the file gives.
//
// The pass, each shot's picks collected while they are at hand, then one
// shard per thread (a shard adds only the positions its hash names):
//   ReceiverStatics::collect(records, fit.picks.constData(), n, 1, &shotPicks);
//   ReceiverStatics sums(shards);
//   ... on thread t: sums.add(t, shotPicks.data(), shotPicks.size());
//   report.setReceiverStatics(sums.take());
// An edit of a shot:
//   std::vector<ReceiverStatic> change;
//   ReceiverStatics::collect(old, oldFit.picks.constData(), n, -1, &change);
//   ReceiverStatics::collect(now, newFit.picks.constData(), n, +1, &change);
//   ReceiverStatics::apply(&sums, std::move(change));
namespace FbQc {

class ReceiverStatics
{
public:
    // A residual beyond this is a wrong pick, not the ground under it.
    static constexpr double StaticClipMs = 8.0;

    explicit ReceiverStatics(int shards = 1);
    int shards() const { return int(m_shards.size()); }
    // What collect() made of shots, added where it falls in shard.
    void add(int shard, const ReceiverStatic *picks, size_t n);
    // Every position with a pick, ascending by key; the shards are emptied.
    QVector<ReceiverStatic> take();

    // Whether a pick tells of the ground under its receiver (the rule above).
    static bool counts(const FbFile::FbRecord &r, const PickVerdict &v);
    // What one shot's picks add (sign 1) or take away (sign -1), appended
    // to *change, unsorted.
    static void collect(const FbFile::FbRecord *records, const PickVerdict *verdicts, int n, int sign,
                        std::vector<ReceiverStatic> *change);
    // The changes made to sums (ascending by key): a position that loses
    // its last pick goes, a new one comes in its place.
    static void apply(QVector<ReceiverStatic> *sums, std::vector<ReceiverStatic> change);

private:
    // Open addressing; an entry with no pick is empty.
    struct Shard
    {
        std::vector<ReceiverStatic> table;
        size_t used = 0;
        ReceiverStatic &at(quint64 key);
    };
    std::vector<Shard> m_shards;
};

// The static of the ground where each source stands, from the receivers
// around it: the mean residual of the receiver it stands on, or between
// the two nearest it lies, interpolated along them (a source between
// stations, or off the line beside them). Each receiver's mean is drawn
// toward no static by the share of it its picks' scatter may explain (the
// scatter of one pick about its receiver's mean, pooled over the file,
// over their number, against the spread of all receivers' means): at the
// line's start a receiver has few shots, and on a noisy record their one
// or two residuals say more of the picks than of the ground; on a clean
// one they are kept. 0 where no receiver is within two receiver spacings,
// or the source stands past the last receiver by more than half a
// spacing. Built once for a report; at() is quick.
class GroundStatics
{
public:
    explicit GroundStatics(const QVector<ReceiverStatic> &sums);
    double at(double x, double y) const;
    // What the statics of the ground under a side's refractor add to its
    // line where the line is read, in the middle of its picks, for a source
    // at (x, y): the mean static of the receivers within the span's
    // distances on its side of the source, each once, whether this shot
    // picked it or not (the summary does not name them). 0 with no span or
    // no receiver in it.
    double underSpan(double x, double y, const InterceptSpan &span) const;
    // The receivers' typical spacing as found (the median distance between
    // receivers next to each other in x, then y); 0 with fewer than two.
    double spacing() const { return m_cell; }

private:
    struct Point
    {
        float x;
        float y;
        float ms;
    };
    quint64 cellOf(double x, double y) const;
    std::vector<Point> m_points;                     // by cell
    std::vector<Point> m_byX;                        // by x, then y
    std::vector<std::pair<quint64, size_t>> m_cells; // ascending; where each cell's points start
    double m_cell = 0.0;
};

} // namespace FbQc

#endif // FBQC_RECEIVERSTATICS_H
