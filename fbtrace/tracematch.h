#ifndef FBTRACE_TRACEMATCH_H
#define FBTRACE_TRACEMATCH_H

#include "fblayout.h"
#include "progress.h"
#include "shotgather.h"
#include "tracedataset.h"

#include <QString>
#include <QVector>

// Picks matched to traces: by ffid and channel (the default), or by the
// source and the receiver position each within a tolerance in metres (for
// data sets whose keys were renumbered). Nothing is guessed: a pick with no
// trace and a trace with no pick are counted and listed, never paired with
// the nearest candidate. Where several traces share a key, the picks of
// that key take them in order (a field record number used for two shots
// pairs the first shot's picks with the first shot's traces); where
// several share a position, a pick takes the first in data-set order.
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
               const Progress &progress = Progress());
    QString errorString() const { return m_error; }

private:
    TraceMatchSettings m_settings;
    QString m_error;
};

// The data set's shot that holds an FB shot's traces, or -1: by keys the
// first shot of its ffid; by position the first shot whose source lies
// within the tolerance of the FB shot's (its first record's) source.
int traceShotOf(const TraceDataSet &data, const FbRecord &first,
                const TraceMatchSettings &settings = TraceMatchSettings());

// The trace of a gather each record of one shot goes to, by the same
// rules: result[i] is a trace position in gather, or -1.
QVector<int> matchRecordsToGather(const QVector<FbRecord> &records, const ShotGather &gather,
                                  const TraceMatchSettings &settings = TraceMatchSettings());

#endif // FBTRACE_TRACEMATCH_H
