#ifndef FBQC_RECIPROCITY_H
#define FBQC_RECIPROCITY_H

#include <fbqc/pickqc.h>
#include <fbqc/receiverlines.h>

#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

// Reciprocal times and repeats for the QC pass. Shots A (earlier) and B
// (later) form a reciprocal pair when each one's spread holds the other's
// source by coordinates: at a receiver on the source's position or between
// two receivers (ordered along the spread) at most 2 median receiver
// spacings apart (one missing station) whose segment passes within a
// quarter spacing of the source, the time then interpolated along the
// shape of the shot's fitted curve. A source farther off the line is
// compared with no one. Only where positions are missing (not finite, or
// all receivers at one point) do stations pair shots: at the receiver on
// the source's station. Two shots from one source
// position (within half a spacing) are a repeat instead: they are compared
// at up to eight of B's receivers that A also recorded.
//
// The pass shows each shot B once, in file order, when every earlier source
// is known: B's times are taken at once, and so are A's while A's records
// are still held. For the other pairs A's records must be read again:
// secondPassShots() names those shots, and complete() takes their times;
// finish() lists the compared pairs and repeats.
//
// Work per shot is bounded by its picks: a shot is compared with at most
// a few sources per receiver (the nearest in file order), whatever the
// stations and coordinates say, so that a file whose stations are all 0
// or whose sources all sit at one point costs no more than a sane one.
namespace FbQc {

// One shot's receivers, arranged to find its time at a point.
class SpreadView
{
public:
    // Arranges the n records, which must stay in place while the view is
    // used; `lines`: the spread's receiver lines when stations cannot tell
    // them (of these records; nullptr: found here).
    void build(const FbFile::FbRecord *records, int n, ShotLines *lines = nullptr);
    // The shot's fit (after build(); nullptr: none), whose curve shapes a
    // time interpolated across a missing receiver; it must stay in place
    // while the view is used.
    void setFit(const ShotFit *fit) { m_fit = fit; }
    int size() const { return static_cast<int>(m_byStation.size()); }
    // The shot's pick time at a point: where the receivers' positions and
    // the point are known, at a receiver on the point (moved to its
    // neighbours' residual about the fit where it stands far off them),
    // else interpolated
    // between the two receivers around it (along the fitted curve's shape
    // when the view has the fit), and nothing for a point off the line;
    // where positions are missing, at the receiver on the station (when
    // stations can be trusted). NaN when none exists or a time used is not
    // finite or not a pick (<= 0 away from the source).
    double timeAt(qint32 line, qint32 stat, double x, double y) const;

    struct LineRange
    {
        qint32 line;
        qint32 minStat;
        qint32 maxStat;
    };
    // The receivers' stations by line; empty when the stations cannot be
    // trusted (one station for several receivers: stations not set).
    const std::vector<LineRange> &lines() const { return m_lines; }
    // Where a bracketed source can be: the receivers' box grown by the
    // tolerance. False when the spread cannot bracket anything.
    bool box(double *minX, double *maxX, double *minY, double *maxY) const;
    // Median distance between neighbouring receivers (of one line when the
    // spread has several receiver lines: on consecutive stations, or along
    // the lines their positions tell apart where stations are unset); 0
    // when unknown.
    // Selected when first asked (most sources sit on a station and never
    // need it), so one view serves one thread at a time.
    double spacing() const;
    // At least spacing() and cheap to know: where a bracketed source may
    // be is sought with it.
    double spacingBound() const { return m_spacingBound; }
    // Up to `count` receivers spread evenly along the spread, away from the
    // source at (x, y): where a repeat is compared. Record numbers in the
    // shot, in order along the spread.
    void probes(double x, double y, int count, std::vector<int> *out) const;
    const FbFile::FbRecord &record(int i) const { return m_records[i]; }

private:
    double stationTime(qint32 line, qint32 stat, bool *found) const;
    // The pick of the k-th receiver along the spread; where the fit shows
    // it far off its neighbours, moved to their residual.
    double steadyTime(int k, double spacing) const;

    const FbFile::FbRecord *m_records = nullptr;
    const ShotFit *m_fit = nullptr;
    std::vector<int> m_byStation;
    std::vector<LineRange> m_lines;
    bool m_stations = true; // one receiver per station: stations can be trusted
    bool m_consecutive = false;
    std::vector<int> m_along;
    std::vector<double> m_position;
    mutable std::vector<double> m_gaps;
    double m_originX = 0.0, m_originY = 0.0;
    double m_dirX = 1.0, m_dirY = 0.0;
    mutable double m_spacing = 0.0;
    mutable bool m_spacingKnown = true;
    double m_spacingBound = 0.0;
    double m_minX = 0.0, m_maxX = 0.0, m_minY = 0.0, m_maxY = 0.0;
};

class Reciprocity
{
public:
    // Starts over for a file whose summaries grow in *shots as it is read.
    void reset(const ShotSummaries *shots);
    // Room for the station list of a file's first source line, for about
    // `shots` shots: where it lies and what one shot takes, so that the
    // pass can fault it in ahead of use.
    std::pair<const void *, size_t> reserve(size_t shots);
    // The spread of an earlier shot whose records are still held, or nullptr.
    using HeldSpread = std::function<const SpreadView *(qint32 shot)>;
    // Shot (its summary already in *shots), its spread built from its
    // records, in file order.
    void addShot(qint32 shot, const SpreadView &view, const HeldSpread &held);
    // The shots to read again, ascending.
    std::vector<qint32> secondPassShots();
    // Shot's records read again: takes its times at the later sources that
    // wait for them. Touches only shot's own entries, so threads may
    // complete different shots at once, each with its own *view (and
    // *lines, as SpreadView::build() takes them).
    void complete(qint32 shot, const FbFile::FbRecord *records, int n, SpreadView *view, const ShotFit *fit = nullptr,
                  ShotLines *lines = nullptr);
    // Every compared pair and repeat, by earlier then later shot; frees
    // what the pass held.
    void finish(QVector<ReciprocalPair> *pairs, QVector<RepeatPair> *repeats);

private:
    // A time of A at a point, waiting for A's records unless they were held.
    struct Pending
    {
        qint32 a;
        qint32 b;
        float timeB;  // B's time at the point
        float timeA;  // A's; NaN until A's records are read again
        qint32 probe; // -1: the point is B's source (a reciprocal pair); else a repeat's probe
    };
    struct Probe
    {
        qint32 line;
        qint32 stat;
        float x;
        float y;
    };
    struct LineSources
    {
        std::vector<qint32> sorted; // shots by s_stat, then by file order
        std::vector<qint32> tail;   // appended since the last merge
        qint32 minStat = 0;
        qint32 maxStat = 0;
    };
    // Whether shot a's source comes before b's: by s_stat, then by file order.
    bool stationOrder(qint32 a, qint32 b) const;
    void indexSources(qint32 upTo);
    void gridSources(qint32 upTo, double spacingHint);
    void candidates(const SpreadView &view, qint32 shot);
    void addPending(const Pending &p);
    void compareRepeat(qint32 a, qint32 shot, const SpreadView &view, const SpreadView *earlier);
    // Where A's time is wanted for an entry.
    void point(const Pending &p, qint32 *line, qint32 *stat, double *x, double *y) const;

    const ShotSummaries *m_shots = nullptr;
    qint32 m_indexed = 0;
    std::unordered_map<qint32, LineSources> m_lines;
    qint32 m_lastLine = 0;
    LineSources *m_lastSources = nullptr;

    double m_cell = 0.0;
    qint32 m_gridded = 0;
    std::unordered_map<quint64, std::vector<qint32>> m_grid;

    std::vector<qint32> m_found;
    std::vector<int> m_probeRows;
    std::vector<quint64> m_cells;
    std::vector<qint32> m_firstLineRoom;
    std::vector<Pending> m_pending;
    std::vector<Probe> m_probes;
    // Entries still without A's time, by A then as they came.
    std::vector<qint32> m_waiting;
};

} // namespace FbQc

#endif // FBQC_RECIPROCITY_H
