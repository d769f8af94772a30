#ifndef FBQC_PICKQC_H
#define FBQC_PICKQC_H

#include <fbfile/fblayout.h>
#include <fbqc/finding.h>
#include <fbqc/findinglist.h>
#include <fbqc/offsettally.h>
#include <fbfile/progress.h>
#include <fbqc/qcsettings.h>
#include <fbqc/shotfit.h>
#include <fbfile/shotindex.h>

#include <QString>
#include <QVector>

#include <atomic>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>
#include <functional>

// Quality control of an FB file as a whole: the pass that reads it once,
// the report it fills, and the checks it runs.
//
// Every shot is checked for what makes a pick file suspect (source values
// that vary within a shot, values that are not finite, records that are
// all zeros); when picks are judged (Settings::judgePicks, what `fbtool qc`
// and the QC window do, not `fbtool check`), each shot's first breaks are
// fitted on each side of the source (the direct arrival, then up to three
// refractors) and picks far from the curve are outliers; shots whose sources
// sit at each other's receivers are compared for reciprocity, shots from one
// source position for repeatability, and the differences are resolved into
// one timing error per shot. The file as a whole is checked against its
// header. Memory is bounded by the largest shot judged, per-shot summaries
// and pairs; findings past a budget wait on disk.
//
// Usage:
//   FbQc::Analyzer analyzer(fileName, settings);
//   FbQc::Report report;
//   if (!analyzer.run(&report, progress)) ... analyzer.errorString();
//   for (qint64 k = 0; k < report.findings(FbQc::Kind::Outlier).size(); ++k) ...
// The current shot of a viewer is judged again on its own, with the same
// result as in the pass:
//   FbQc::ShotFit fit = FbQc::fitShot(records, settings);
namespace FbQc {

// The receivers a side's farthest refractor was read from: the nearest's
// and the farthest's distance from the source and their mean position,
// which tells the side. A refractor's intercept is late by the statics of
// the ground under them, which the timing check takes off. NaN distances
// where the side's intercept is no refractor's (no fit, or the direct
// arrival).
struct InterceptSpan
{
    float nearest = float(NaN);
    float farthest = float(NaN);
    float middle = float(NaN); // the picks' mean |offset|, offset units
    // ms: the picks' median residual, where most of them lie about the
    // fitted line (0 with no span)
    float residual = 0.0f;
    float x = 0.0f;
    float y = 0.0f;
    // The picks' mean receiver height above the source (g_elev - s_elev, as
    // stored): what a fit's height slowness multiplies on the line read here.
    float height = 0.0f;
};

// What the pass keeps of each shot: one per index entry, in file order.
struct ShotSummary
{
    qint32 ffid = 0;
    qint32 picks = 0;
    qint32 outliers = 0;
    qint32 notJudged = 0;           // picks not judged: too few on their side, not picked, not finite
    qint32 notPicked = 0;           // time <= 0 away from the source: the trace was not picked
    float rmsResidual = 0.0f;       // ms, both sides together (see rmsReachMs()); NaN when nothing judged
    float velocity[2] = {};         // per Side, farthest plausible segment; NaN where none
    float intercept[2] = {};        // per Side; NaN where the side has no fit
    InterceptSpan span[2];          // per Side, the receivers of its intercept
    float sourceDelay = float(NaN); // ms at offset 0 (ShotFit::sourceDelay); NaN where unknown
    // Twice the source's elevation less its depth (2 s_elev - s_depth, as
    // stored), and the ms per unit of height the fit took off its picks
    // (ShotFit::heightSlowness, 0 where heights explain nothing): a
    // refractor's intercept at the source's height grows by their product,
    // so shots on hills are compared on one datum.
    float sourceHeight = 0.0f;
    float heightSlowness = 0.0f;
    // The source's depth below its ground (s_depth, as stored): a buried
    // source's picks are earlier by its depth at the near surface's
    // slowness, which a reciprocal partner on the surface does not share.
    float sourceDepth = 0.0f;
    // ms: where the nearest refractor overtakes the direct arrival at the
    // source's height (the earlier of the sides that show both); picks up
    // to it run along the surface, whatever the source's depth. NaN where
    // no side shows both.
    float directReachMs = float(NaN);
    // Every pick at the source is doubtful (status 1) while most of the
    // shot's are confident: the picker was unsure of the source's own trace,
    // as where a shot triggered early leaves its first break before the
    // record starts. Where statuses are mixed at random it says nothing.
    bool doubtfulSource = false;
    float sourceX = 0.0f; // where the source stands (sourcePosition())
    float sourceY = 0.0f;
    qint32 sLine = 0;
    qint32 sStat = 0;
    quint32 varyingColumns = 0; // bit FbColumns::Column set when that source attribute varies
    qint32 nonFinite = 0;       // non-finite float values in the shot's records
    // The judged picks within the candidate floor (Report::candidateFloorMs):
    // how many and their squared residuals, from which the rms residual is
    // made again for another threshold.
    qint32 quietPicks = 0;
    float quietSquares = 0.0f;
};

// Where a shot's source stands, by its first record (see ShotSummary::sourceX).
struct ShotSource
{
    float x = 0.0f;
    float y = 0.0f;
    qint32 line = 0;
    qint32 stat = 0;
};

// The summaries of a file's shots, one per index entry, in file order.
// Held compactly: a shot with nothing judged (millions of one-record shots)
// keeps only its source, 16 bytes; a judged one another 116. Its ffid and
// pick count come from the shot index the pass attaches at its end, which
// shares the report's index rather than copying it.
//
// Usage:
//   for (int k = 0; k < report.shots().size(); ++k)
//       use(report.shots().at(k).rmsResidual, report.shots().source(k).x);
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
    // Replaces the summary of shot, as after its picks were edited.
    void replace(int shot, const ShotSummary &summary);
    // The index entries of the appended shots, one per shot.
    void attachIndex(const QVector<FbFile::ShotIndexEntry> &index);
    // Room for shots summaries; only address space until they arrive.
    void reserve(int shots);
    int capacity() const { return m_sources.capacity(); }
    // The shots with more than a source to them (a fit, a finding), in
    // shot order: what reports walk when millions of shots have nothing.
    int judgedCount() const { return m_judged.size(); }
    qint32 judgedShot(int k) const { return m_judged.at(k).shot; }
    // What each judged shot's fit says of its timing: its time at the
    // source and each side's farthest intercept (NaN where unknown), for
    // every shot with one of them, ascending by shot.
    struct Timing
    {
        qint32 shot;
        float values[3]; // sourceDelay, intercept[Negative], intercept[Positive]
        float sourceHeight;
        float heightSlowness;
        float sourceDepth;
        float directReachMs;
        float velocity[2]; // of the segment each side's intercept belongs to; NaN where none
        InterceptSpan span[2];
        bool doubtfulSource;
    };
    std::vector<Timing> timings() const;
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
        qint32 notPicked;
        qint32 nonFinite;
        quint32 varyingColumns;
        float rmsResidual;
        float velocity[2];
        float intercept[2];
        InterceptSpan span[2];
        float sourceDelay;
        float sourceHeight;
        float heightSlowness;
        float sourceDepth;
        float directReachMs;
        qint32 quietPicks;
        float quietSquares;
        bool doubtfulSource;
    };
    static Judged judged(int shot, const ShotSummary &s);
    static bool hasNothing(const ShotSummary &s);
    QVector<FbFile::ShotIndexEntry> m_index;
    QVector<ShotSource> m_sources;
    QVector<Judged> m_judged; // ascending by shot
};

// Two shots whose sources sit at each other's receivers. A comes before B in
// file order; timeAB is A's time at B's source: the pick of A's receiver at
// B's source (same station, or the same position when stations are not
// set; by position, moved to its neighbours' residual about A's fitted
// curve where it stands more than 8 ms off theirs, as a cycle picked wrong
// on an emergent onset does), or else the time interpolated between the two receivers of A that
// bracket B's source along A's spread, when they are at most 2 median
// receiver spacings apart (one missing station) and the source lies within
// half a spacing of the segment between them. A pair is compared when both
// times exist; two shots from the same source position are a repeat, never
// a reciprocal pair.
struct ReciprocalPair
{
    qint32 shotA = 0;
    qint32 shotB = 0;
    float timeAB = 0.0f;
    float timeBA = 0.0f;
    // timeAB - timeBA: a timing error of A adds to it, one of B subtracts.
    float difference() const { return timeAB - timeBA; }
};

// Two shots from the same source position (a re-shot), compared at the
// receivers both recorded: the median of A's time minus B's.
struct RepeatPair
{
    qint32 shotA = 0;
    qint32 shotB = 0;
    float difference = 0.0f; // ms
    qint32 receivers = 0;    // receivers compared
};

// Fewer pairs cannot tell a late shot from a late partner.
constexpr int MinTimingPairs = 3;

// A shot's timing error as the pairs it is in tell it: the delay that,
// taken off its picks, best reconciles it with its partners.
struct TimingEstimate
{
    qint32 shot = 0;
    float delay = 0.0f;  // ms; positive: the shot's picks are late
    qint32 pairs = 0;    // pairs and repeats it is in; 0 when told by its neighbours
    qint32 agreeing = 0; // of those, the ones the estimate reconciles; or the neighbours
    // ms; how closely the delay is known: the agreeing pairs' scatter over
    // the root of their number; for a delay beyond half the tolerance, half
    // the range of what its nearest, middle and farthest partners say (a
    // picking bias wanders along the spread, a timing error does not); the
    // scatter of its source line's shots' delays about zero (a picking bias
    // of its own moves each shot's delay alike, however many pairs it has);
    // the largest of these. Or, for a shot set against its neighbours,
    // their scatter about what they say, its measures taken together
    float uncertainty = 0.0f;
};

// A timing error named by its pairs: most of at least three agree on it,
// and it is beyond the tolerance, or beyond half of it and several times
// its own uncertainty. Many pairs pin a delay far more closely than one
// pair's tolerance, so a shot a few ms off shows where the typical shot's
// scatter does not.
bool namedByPairs(const TimingEstimate &t, double toleranceMs);

// A timing error as every text writes it, so that a report, the findings
// and the window's lists read alike: signed, one decimal, C-locale digits
// ("+12.0", "-4.0", "0.0"); the sentence adds its unit. Empty when not
// finite.
QString timingText(double ms);

// A receiver position of the survey, for the map: every distinct finite
// (group_x, group_y) once, sorted by x then y.
struct ReceiverPosition
{
    float x = 0.0f;
    float y = 0.0f;
};

// The picks of one receiver across every shot that recorded it: a bad
// receiver, or its static, shows as a mean residual away from 0.
struct StationResidual
{
    qint32 line = 0; // g_line and g_stat of its first pick
    qint32 stat = 0;
    float x = 0.0f; // its position
    float y = 0.0f;
    qint32 picks = 0;          // judged picks
    float meanResidual = 0.0f; // ms
    float rmsResidual = 0.0f;  // ms
};

// The residuals one receiver position's picks leave across every shot
// that recorded it, summed exactly: the near surface under a station delays
// each pick there alike, and a source standing on that ground alike too.
// Fixed point, so that sums add and take away in any order to the same
// bits (ReceiverStatics in receiverstatics.h says which picks count).
struct ReceiverStatic
{
    static constexpr double PerMs = 1048576.0; // sum units per ms
    quint64 key = 0;                           // positionKey(group_x, group_y)
    qint64 sum = 0;                            // residuals, in 1/PerMs ms
    qint64 picks = 0;
    qint64 squares = 0; // squared residuals, in 1/PerMs ms²
    double meanMs() const { return picks > 0 ? double(sum) / PerMs / double(picks) : 0.0; }
};

struct TimingRounds;

// What the pass found in a file. A copy shares its lists (findings spilled
// to disk included) until one of the two changes, so a shown report is
// copied for judging again on a worker at no cost.
class Report
{
public:
    Report();
    Report(Report &&) noexcept;
    Report &operator=(Report &&) noexcept;
    Report(const Report &);
    Report &operator=(const Report &);
    ~Report();

    Settings settings;
    FbFile::FbFileHeader header;
    qint64 fileSize = 0;
    qint64 recordCount = 0;
    // The records' offset range; meaningful when recordCount > 0.
    qint32 minOffset = 0;
    qint32 maxOffset = 0;
    qint64 status0 = 0; // picks per pick-status class
    qint64 status1 = 0;
    qint64 statusOther = 0;
    qint64 notPicked = 0; // picks that are no picks: time <= 0 away from the source
    qint64 notJudged = 0; // picks not judged, the not picked included
    OffsetTally offsets;  // the offsets against the coordinates' distances
    // The declared units with the offsets' factor found from the data (or
    // declared): what every velocity and length shown is converted with.
    Units units;
    // The picks were judged against their traces (WaveformJudge): the
    // kinds that read traces are meaningful, even when none was found.
    bool tracesJudged = false;

    // The file's shots in file order.
    const QVector<FbFile::ShotIndexEntry> &index() const { return m_index; }
    // One per index entry.
    const ShotSummaries &shots() const { return m_shots; }
    // Every compared pair, by shotA then shotB.
    const QVector<ReciprocalPair> &pairs() const { return m_pairs; }
    // Every compared repeat, by shotA then shotB.
    const QVector<RepeatPair> &repeats() const { return m_repeats; }
    // At most one a shot, ascending.
    const QVector<TimingEstimate> &timing() const { return m_timing; }
    // When Settings::collectReceivers.
    const QVector<ReceiverPosition> &receivers() const { return m_receivers; }
    // When Settings::collectReceivers, by line and station.
    const QVector<StationResidual> &stations() const { return m_stations; }
    // When picks are judged: every receiver position with a pick that
    // counts, ascending by key.
    const QVector<ReceiverStatic> &receiverStatics() const { return m_receiverStatics; }

    // The index and the shot summaries grow only at the end, one entry and
    // one summary a shot, and summaries change one shot at a time, so that a
    // shot's summary stays where its index entry is.
    void reserveShots(int shots)
    {
        m_index.reserve(shots);
        m_shots.reserve(shots);
    }
    void appendIndexEntry(const FbFile::ShotIndexEntry &entry) { m_index.append(entry); }
    void appendShot(const ShotSummary &summary) { m_shots.append(summary); }
    void replaceShotSummary(int shot, const ShotSummary &summary) { m_shots.replace(shot, summary); }
    // The summaries learn the index entries appended so far.
    void attachShotIndex() { m_shots.attachIndex(m_index); }
    // Each list whole, in the order its accessor promises.
    void setPairs(QVector<ReciprocalPair> pairs) { m_pairs = std::move(pairs); }
    void setRepeats(QVector<RepeatPair> repeats) { m_repeats = std::move(repeats); }
    void setTiming(QVector<TimingEstimate> timing) { m_timing = std::move(timing); }
    void setReceivers(QVector<ReceiverPosition> receivers) { m_receivers = std::move(receivers); }
    void setStations(QVector<StationResidual> stations) { m_stations = std::move(stations); }
    void setReceiverStatics(QVector<ReceiverStatic> sums) { m_receiverStatics = std::move(sums); }

    const FindingList &findings(Kind kind) const { return m_findings[int(kind)]; }
    // Picks whose residual exceeds the candidate floor, outliers or not, as
    // Outlier findings: what rejudge() takes outliers from for a new
    // threshold down to the floor.
    const FindingList &outlierCandidates() const { return m_candidates; }

    // The lists change only through these, so that a shot's findings stay
    // together and in shot order wherever edits replace them. Adding is
    // false once a list could not keep a finding on disk (the list's
    // errorString() says why).
    bool addFinding(const Finding &finding);
    bool addCandidate(const Finding &candidate);
    void setFindings(Kind kind, FindingList findings);
    void clearFindings(Kind kind) { setFindings(kind, FindingList()); }
    // The findings of shot, of every kind judged shot by shot, and its
    // candidates, replaced by those given (each in the order the shot's
    // checks made them); the other shots' stay. False with *error when a
    // list could not be kept on disk.
    bool replaceShot(qint32 shot, const std::vector<Finding> &findings, const std::vector<Finding> &candidates,
                     QString *error);
    double candidateFloorMs() const { return m_candidateFloorMs; }
    void setCandidateFloorMs(double ms) { m_candidateFloorMs = ms; }
    qint64 count(Kind kind) const { return m_findings[int(kind)].size(); }
    // Findings of kinds that are problems.
    qint64 problems() const;
    // Kinds with at least one finding that is a problem.
    int problemKinds() const;
    // Nothing found that is a problem.
    bool clean() const { return problems() == 0; }
    // The file is no FB file at all: its header cannot describe its records.
    bool notFbFile() const { return count(Kind::NotFbFile) > 0; }
    qint64 trailingBytes() const;
    // The timing estimate of shot, or nullptr.
    const TimingEstimate *timingOf(qint32 shot) const;
    // The time a shot's refracted picks gain by its source's depth (ms):
    // the depth at the near surface's slowness where the fits take heights
    // off, else 0; and the time up to which its picks are direct arrivals,
    // which run along the surface and gain nothing (the file's median where
    // the shot's curves show none; NaN: no shot's do). Set with the timing
    // errors; held for the judged shots only, ascending by shot.
    struct Uphole
    {
        qint32 shot;
        float ms;
        float directReachMs;
    };
    using UpholeTimes = std::vector<Uphole>;
    void setUpholeTimes(UpholeTimes times) { m_uphole = std::make_shared<const UpholeTimes>(std::move(times)); }
    float upholeMs(qint32 shot) const { return uphole(shot).ms; }
    // Shot A's time less shot B's on one footing: a buried source's
    // refracted picks are early by its depth, which its partner's lack. A
    // pair's two times are told direct or refracted together (their mean
    // against their shots' mean reach), so that a pair near the crossover
    // is never corrected at one end only.
    float depthCorrected(const ReciprocalPair &p) const;
    float depthCorrected(const RepeatPair &p) const { return p.difference + (upholeMs(p.shotA) - upholeMs(p.shotB)); }
    // The pair's times disagree, their sources' depths taken into account,
    // by more than the reciprocity tolerance.
    bool flagged(const ReciprocalPair &pair) const;
    // The shot whose timing error accounts for a flagged pair (or repeat)
    // of shots a and b that disagree by d = a's time minus b's: the shot
    // with a reported error when the estimates leave at most the tolerance
    // of d unexplained (the larger error when both have one); -1 when
    // none does.
    qint32 explainedBy(qint32 a, qint32 b, double d) const;

    // How the shot timing errors were last settled, round by round, so that
    // settling them again after an edit recomputes only the shots the edit
    // reaches; shared by copies. Null before they are first settled.
    const std::shared_ptr<const TimingRounds> &timingRounds() const { return m_timingRounds; }
    void setTimingRounds(std::shared_ptr<const TimingRounds> rounds) { m_timingRounds = std::move(rounds); }

private:
    QVector<FbFile::ShotIndexEntry> m_index;
    ShotSummaries m_shots;
    QVector<ReciprocalPair> m_pairs;
    QVector<RepeatPair> m_repeats;
    QVector<TimingEstimate> m_timing;
    QVector<ReceiverPosition> m_receivers;
    QVector<StationResidual> m_stations;
    QVector<ReceiverStatic> m_receiverStatics;
    FindingList m_findings[KindCount];
    FindingList m_candidates;
    double m_candidateFloorMs = 0.0;
    std::shared_ptr<const TimingRounds> m_timingRounds;
    std::shared_ptr<const UpholeTimes> m_uphole;
    Uphole uphole(qint32 shot) const;
};

// Turns the records' fb_time from the declared unit into ms, in place: the
// QC judges every pick in ms, so records are converted once as they enter
// it (the pass, rejudgeShots(); a caller of fitShot() does it itself).
// Unpicked (0 or less) and non-finite times stay so. Nothing changes for a
// file in ms.
void timesInMilliseconds(FbFile::FbRecord *records, qint64 count, const Units &units);

// The lowest outlier threshold rejudge() can take without reading again.
constexpr double CandidateFloorMs = 2.0;

// Judges a report again with new thresholds, without reading the file: the
// outliers (and each shot's count and rms residual) from the candidates the
// pass kept, the shot timing errors, flagged pairs and repeats from the
// compared pairs. The rest stays. False, with the report unchanged, when
// the outlier threshold is below the candidate floor: the file must be
// judged again. Takes time in proportion to the candidates and pairs.
//
//   if (!FbQc::rejudge(&report, 5.0, 3.0)) ... run the Analyzer again;
bool rejudge(Report *report, double outlierMs, double reciprocityMs);

// A shot's records as they stand: from the file, with a user's edits.
using RecordsOf = std::function<QVector<FbFile::FbRecord>(qint32 shot)>;

// The fits of edited shots, as judging them made them from their records
// as they now stand, held from judging the shots to measuring their pairs.
// Holds up to a bound of picks (a fit is a few bytes a pick); a shot past
// it is fitted again when its pairs are read, which gives the same fit.
class EditedFits
{
public:
    explicit EditedFits(qint64 maxPicks = 8'000'000) : m_room(maxPicks) { }
    void keep(qint32 shot, ShotFit &&fit);
    const ShotFit *find(qint32 shot) const;

private:
    std::unordered_map<qint32, ShotFit> m_fits;
    qint64 m_room;
};

// Judges shots again after their picks were edited (times, statuses), as
// the pass would judge their records as they now stand (after): each
// shot's counts, summary, outliers and candidates, what its picks give the
// receivers' statics (its old picks fitted again to take theirs away), its
// reciprocal pairs and repeats with its partners (whose records after gives
// too), then the shot timing errors, flagged pairs and repeats of the whole
// report. before
// gives the records the report was made from, so that the file's counts
// change by the difference. A pair whose time is gone (a pick rejected or
// unpicked) is no longer compared; a pick restored does not bring back a
// pair the file did not compare. A shot too large to judge is left as it
// was. False when a shot is not in the report or its records cannot be had.
//
// With settlePairs false, the pairs and repeats are not measured again and
// the timing errors, flagged pairs and repeats of the whole report are left
// as they were: a caller judging many shots in batches calls
// settleShotPairs() once for all of them, which gives the same report
// (nothing a shot's judgement reads depends on them).
//
//   FbQc::rejudgeShots(&report, {shot}, fromFile, withEdits);
//
// fits, when given, keeps the fits made of the shots' records after, so
// that settleShotPairs() given the same fits reads their pairs without
// fitting them again.
bool rejudgeShots(Report *report, const QVector<qint32> &shots, const RecordsOf &before, const RecordsOf &after,
                  bool settlePairs = true, EditedFits *fits = nullptr);

// The second half of rejudgeShots(): the reciprocal pairs and repeats of
// shots measured again from their records after (and their partners'),
// then the timing errors, flagged pairs and repeats of the whole report
// settled. Each shot's records are read once, and fitted once unless fits
// holds its fit. False when a shot is not in the report.
bool settleShotPairs(Report *report, const QVector<qint32> &shots, const RecordsOf &after,
                     const EditedFits *fits = nullptr);

// Runs the QC pass over a whole file.
class Analyzer
{
public:
    explicit Analyzer(const QString &fileName, const Settings &settings = Settings());

    // Reads and judges the file: one pass over all records, then a second
    // over only the shots whose time at a later shot's source is needed, on
    // a pool of Settings::threads threads that lives for the pass; the
    // findings are the same whatever the number. run() itself may be called
    // from any thread. False when the file cannot be opened or read (not a
    // regular file, unreadable, no complete record when picks are judged),
    // when it changed while it was read (cut or rewritten), or when progress
    // was cancelled, which is checked at least every few milliseconds of work
    // (wasCancelled() then answers true); errorString() says why. On false,
    // *report is left empty.
    bool run(Report *report, const FbFile::Progress &progress = FbFile::Progress());
    QString errorString() const;
    bool wasCancelled() const;

private:
    QString m_fileName;
    Settings m_settings;
    QString m_error;
    bool m_cancelled = false;
};

} // namespace FbQc

// Plain values: lists of millions of them grow in place.
Q_DECLARE_TYPEINFO(FbQc::ShotSummary, Q_PRIMITIVE_TYPE);
Q_DECLARE_TYPEINFO(FbQc::ReciprocalPair, Q_PRIMITIVE_TYPE);
Q_DECLARE_TYPEINFO(FbQc::RepeatPair, Q_PRIMITIVE_TYPE);
Q_DECLARE_TYPEINFO(FbQc::TimingEstimate, Q_PRIMITIVE_TYPE);
Q_DECLARE_TYPEINFO(FbQc::ReceiverPosition, Q_PRIMITIVE_TYPE);
Q_DECLARE_TYPEINFO(FbQc::StationResidual, Q_PRIMITIVE_TYPE);
Q_DECLARE_TYPEINFO(FbQc::ReceiverStatic, Q_PRIMITIVE_TYPE);

#endif // FBQC_PICKQC_H
