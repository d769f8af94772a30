#ifndef FBTRACE_TRACEMATCH_H
#define FBTRACE_TRACEMATCH_H

#include <fbfile/fblayout.h>
#include <fbfile/progress.h>
#include <fbtrace/shotgather.h>
#include <fbfile/shotindex.h>
#include <fbtrace/tracedataset.h>

#include <QHash>
#include <QString>
#include <QVector>

namespace FbTrace {

// Picks matched to traces: by ffid and channel (the default), or by the
// source and the receiver position each within a tolerance in metres (for
// data sets whose keys were renumbered). Nothing is guessed: a pick with no
// trace and a trace with no pick are counted and listed, never paired with
// the nearest candidate. Where several traces share a key, the picks of
// that key take them in order (a field record number used for two shots
// pairs the first shot's picks with the first shot's traces); where
// several share a position, a pick looks among the traces of the data-set
// shot its FB shot is paired with (TraceShotPairing) and takes the first.
struct TraceMatchSettings
{
    enum class By { Keys, Position };
    By by = By::Keys;
    double toleranceM = 1.0; // for By::Position, > 0
    int listLimit = 20;      // unmatched picks and traces listed, each
};

// A pick or a trace named for a report: an FB record (0-based) or a trace
// of the data set (0-based), with its keys.
struct TraceMatchItem
{
    qint64 index = 0;
    qint32 ffid = 0;
    qint32 channel = 0;
};

struct TraceMatchResult
{
    qint64 picks = 0; // records in the FB file
    qint64 traces = 0;
    qint64 matched = 0; // picks that found a trace
    qint64 picksWithoutTrace = 0;
    qint64 tracesWithoutPick = 0;
    QVector<TraceMatchItem> firstPicksWithoutTrace; // up to listLimit
    QVector<TraceMatchItem> firstTracesWithoutPick;
    // The ffid ranges of both sides, to say why nothing matched.
    qint32 pickFfidMin = 0, pickFfidMax = 0;
    qint32 traceFfidMin = 0, traceFfidMax = 0;
};

// Matches every pick of an FB file against an open data set's index:
//   TraceMatcher matcher(settings);
//   if (!matcher.match(data, fbFile, &result, progress)) ... matcher.errorString();
// It reads the FB file shot by shot (one shot held at a time) and keeps one
// byte a trace besides a hash of the traces' keys. It fails when the FB file
// cannot be indexed, the tolerance is not positive, or on Cancel.
class TraceMatcher
{
public:
    explicit TraceMatcher(const TraceMatchSettings &settings = TraceMatchSettings());
    bool match(const TraceDataSet &data, const QString &fbFile, TraceMatchResult *result,
               const FbFile::Progress &progress = FbFile::Progress());
    QString errorString() const { return m_error; }

private:
    TraceMatchSettings m_settings;
    QString m_error;
};

// Pairs FB shots with the data set's shots, the FB shots taken one at a
// time in file order. By keys the n-th FB shot of an ffid takes the n-th
// data-set shot of that ffid; by position the n-th FB shot fired from a
// source position (sources within the tolerance) takes the n-th data-set
// shot fired there, so a shot repeated at one position is judged against
// its own traces. -1 where the data set has no such shot.
//   TraceShotPairing pairing(data, settings);
//   for (each FB shot, in file order) int s = pairing.next(firstRecordOfTheShot);
// A non-positive tolerance pairs nothing by position.
class TraceShotPairing
{
public:
    explicit TraceShotPairing(const TraceDataSet &data, const TraceMatchSettings &settings = TraceMatchSettings());
    int next(const FbFile::FbRecord &first);

private:
    struct Source
    {
        double x = 0, y = 0;
    };
    using Grid = QHash<quint64, QVector<int>>;
    // The items of sources within the tolerance of (x, y), in order, found
    // in the 3 x 3 cells of a grid of the tolerance's size around it.
    QVector<int> near(const Grid &grid, const QVector<Source> &sources, double x, double y) const;
    quint64 cellOf(double x, double y, int dx = 0, int dy = 0) const;

    TraceMatchSettings m_settings;
    QHash<qint32, int> m_seenFfid;
    QHash<qint32, QVector<int>> m_shotsOfFfid;
    QVector<Source> m_dataSources, m_fbSources;
    Grid m_dataGrid, m_fbGrid;
};

// The data-set shot of every shot of an FB file's index, by
// TraceShotPairing (one record read a shot, the file opened once).
QVector<int> traceShotsOf(const TraceDataSet &data, const QString &fbFile, const QVector<FbFile::ShotIndexEntry> &index,
                          const TraceMatchSettings &settings = TraceMatchSettings());

// The trace of a gather each record of one shot goes to, by the same
// rules: result[i] is a trace position in gather, or -1.
QVector<int> matchRecordsToGather(const QVector<FbFile::FbRecord> &records, const ShotGather &gather,
                                  const TraceMatchSettings &settings = TraceMatchSettings());

// A trace's offset as its pick's record gives it, in metres (the record's
// offset times metresPerOffset): field headers often hold no geometry, or a
// wrong one, where the picks' file holds the surveyed one, and the picker
// reads offsets near the source as metres. The rest of the header stays.
void takeRecordOffset(TraceHeader *header, const FbFile::FbRecord &record, double metresPerOffset);

} // namespace FbTrace

#endif // FBTRACE_TRACEMATCH_H
