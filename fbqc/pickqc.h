#ifndef PICKQC_H
#define PICKQC_H

#include "fblayout.h"
#include "qcsettings.h"
#include "shotfit.h"
#include "shotindex.h"

#include <QString>
#include <QVector>

#include <atomic>
#include <functional>

// Pick quality control: judges the first breaks of an FB file instead of only
// showing them.
//
// Per shot, pick time is modelled as a continuous, increasing, piecewise-linear
// function of |offset| with 1 to 3 segments (direct arrival and up to two
// refractors), fitted robustly on each side of the source. A pick whose
// residual (fb_time - model) exceeds the outlier threshold is an outlier.
// Shots whose sources sit at each other's receivers are compared for
// reciprocity. Memory is bounded by the largest shot plus per-shot summaries;
// the file is read in one or two sequential passes.
//
// Usage:
//   PickQc::Analyzer analyzer(fileName, settings);
//   PickQc::Report report;
//   if (!analyzer.run(&report, progress, &cancel)) ... analyzer.errorString();
//   for (const PickQc::Outlier &o : report.outliers) ...
// The current shot of a viewer is judged again on its own, with the same
// result as in the pass:
//   PickQc::ShotFit fit = PickQc::fitShot(records, settings);
namespace PickQc {

// What the pass keeps of each shot: one per index entry, in file order.
struct ShotSummary
{
    qint32 ffid = 0;
    qint32 picks = 0;
    qint32 outliers = 0;
    qint32 notJudged = 0;         // picks on sides too small to judge, or not finite
    float rmsResidual = 0.0f;     // ms, both sides together; NaN when nothing judged
    float velocity[2] = {};       // per Side; NaN where the side has no fit
    float intercept[2] = {};      // per Side; NaN where the side has no fit
    float sourceX = 0.0f;         // of the shot's first record
    float sourceY = 0.0f;
    qint32 sLine = 0;
    qint32 sStat = 0;
    quint32 varyingColumns = 0;   // bit FbColumns::Column set when that source attribute varies
    qint32 nonFinite = 0;         // non-finite float values in the shot's records
};

// Where a shot's source is, as its first record gives it.
struct ShotSource
{
    float x = 0.0f;
    float y = 0.0f;
    qint32 line = 0;
    qint32 stat = 0;
};

// The summaries of a file's shots, one per index entry, in file order.
// Held compactly: a shot with nothing judged (millions of one-record shots)
// keeps only its source, 16 bytes; a judged one another 40. Its ffid and
// pick count come from the shot index the pass attaches at its end, which
// shares the report's index rather than copying it.
//
// Usage:
//   for (int k = 0; k < report.shots.size(); ++k)
//       use(report.shots.at(k).rmsResidual, report.shots.source(k).x);
class ShotSummaries
{
public:
    int size() const { return m_sources.size(); }
    bool isEmpty() const { return m_sources.isEmpty(); }
    // The summary of shot (0 <= shot < size()), as it was appended; needs
    // the attached index.
    ShotSummary at(int shot) const;
    ShotSummary operator[](int shot) const { return at(shot); }
    const ShotSource &source(int shot) const { return m_sources.at(shot); }

    void append(const ShotSummary &summary);
    // The index entries of the appended shots, one per shot.
    void attachIndex(const QVector<ShotIndexEntry> &index);
    // Room for shots summaries; only address space until they arrive.
    void reserve(int shots);
    int capacity() const { return m_sources.capacity(); }
    // Where the room for sources lies and what one takes, to fault it in
    // ahead of use.
    std::pair<const void *, size_t> room() const { return {m_sources.constData(), sizeof(ShotSource)}; }

private:
    // What a shot has beyond its count and source, when it has anything.
    struct Judged
    {
        qint32 shot;
        qint32 outliers;
        qint32 notJudged;
        qint32 nonFinite;
        quint32 varyingColumns;
        float rmsResidual;
        float velocity[2];
        float intercept[2];
    };
    QVector<ShotIndexEntry> m_index;
    QVector<ShotSource> m_sources;
    QVector<Judged> m_judged;   // ascending by shot
};

struct Outlier
{
    qint32 shot = 0;              // 0-based index entry
    qint32 record = 0;            // 0-based record number
    qint32 fbNo = 0;
    qint32 channel = 0;
    qint32 offset = 0;
    float fbTime = 0.0f;
    float modelTime = 0.0f;
    float residual = 0.0f;
};

// Two shots whose sources sit at each other's receivers. A comes before B in
// file order; timeAB is A's time at B's source: the pick of A's receiver on
// B's source station (g_line, g_stat) == (s_line, s_stat), or else the time
// interpolated between the two consecutive receivers of A (along its
// spread) that bracket B's source, when they are at most 1.5 median receiver
// spacings apart and the source lies within half a spacing of the segment
// between them. A pair is compared when both times exist.
struct ReciprocalPair
{
    qint32 shotA = 0;
    qint32 shotB = 0;
    float timeAB = 0.0f;
    float timeBA = 0.0f;
    float difference = 0.0f;      // |timeAB - timeBA|
    bool flagged = false;         // difference > reciprocityMs
};

// A source attribute that is not constant within a shot: records whose value
// differs from the shot's most common one.
struct SourceVariation
{
    qint32 shot = 0;
    int column = 0;               // FbColumns::Column
    qint32 differing = 0;
};

// A NaN or infinite float value, or a negative fb_time.
struct BadValue
{
    qint32 shot = 0;
    qint32 record = 0;
    int column = 0;               // FbColumns::Column
    float value = 0.0f;
};

// An ffid that names more than one shot.
struct RepeatedFfid
{
    qint32 ffid = 0;
    QVector<qint32> shots;        // 0-based index entries, in file order
};

struct Report
{
    Settings settings;
    FbFileHeader header;
    qint64 recordCount = 0;
    QVector<ShotIndexEntry> index;
    ShotSummaries shots;                  // one per index entry
    QVector<Outlier> outliers;            // in file order
    QVector<ReciprocalPair> pairs;        // every compared pair, by shotA then shotB
    QVector<SourceVariation> sourceVariations;  // by shot, then in FbColumns order
    // Non-finite values and negative times, in file order; within a record
    // fb_time, source_x, source_y, group_x, group_y.
    QVector<BadValue> badValues;
    QVector<RepeatedFfid> repeatedFfids;  // by their first shot
    qint64 status0 = 0;                   // picks per pick-status class
    qint64 status1 = 0;
    qint64 statusOther = 0;
    qint64 notJudged = 0;

    int flaggedPairs() const;
    // Nothing found: no outlier, flagged pair, varying source, bad value or repeated ffid.
    bool clean() const;
};

// Runs the QC pass over a whole file.
class Analyzer
{
public:
    // Receives 0..100 as the pass moves on.
    using Progress = std::function<void(int percent)>;

    explicit Analyzer(const QString &fileName, const Settings &settings = Settings());

    // Reads and judges the file: one pass over all records, then a second
    // over only the shots whose time at a later shot's source is needed.
    // The fits of each block are shared with one worker thread; run()
    // itself may be called from any thread. False when it cannot be opened
    // or read (not a regular file, no complete record, unreadable;
    // errorString() says why)
    // or when *cancel became true, which is checked at least every few
    // milliseconds of work (wasCancelled() then answers true). On false,
    // *report is left empty.
    bool run(Report *report, const Progress &progress = Progress(),
             const std::atomic_bool *cancel = nullptr);
    QString errorString() const;
    bool wasCancelled() const;

private:
    QString m_fileName;
    Settings m_settings;
    QString m_error;
    bool m_cancelled = false;
};

} // namespace PickQc

// Plain values: lists of millions of them grow in place.
Q_DECLARE_TYPEINFO(PickQc::ShotSummary, Q_PRIMITIVE_TYPE);
Q_DECLARE_TYPEINFO(PickQc::Outlier, Q_PRIMITIVE_TYPE);
Q_DECLARE_TYPEINFO(PickQc::ReciprocalPair, Q_PRIMITIVE_TYPE);
Q_DECLARE_TYPEINFO(PickQc::SourceVariation, Q_PRIMITIVE_TYPE);
Q_DECLARE_TYPEINFO(PickQc::BadValue, Q_PRIMITIVE_TYPE);

#endif // PICKQC_H
