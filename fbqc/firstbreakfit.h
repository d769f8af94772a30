#ifndef FBQC_FIRSTBREAKFIT_H
#define FBQC_FIRSTBREAKFIT_H

#include <fbqc/receiverlines.h>
#include <fbqc/shotfit.h>

#include <cmath>
#include <vector>

// The robust first-break curve of one side of a shot, and the split of a
// shot's picks into sides. Internal to the QC pass and fitShot(): both call
// the same code, so that a shot judged on its own gets the pass's verdict.
namespace FbQc {

// Fits the first breaks of one side of a shot: time against |offset| as the
// earliest of 1 to MaxSegments lines (so continuous, rising, and each
// segment no slower than the one before), robust to wrong picks. With
// allowSlowerBends() a segment may also be slower than the one before, by
// at least 8% and over at least 5 picks, at a higher price per bend: ground
// that slows along the spread.
//
// Method: the picks are ordered by |offset| and the lines are fitted by
// least squares to the picks that take part, round by round. The first
// round splits the side, one segment at a time, where a split lowers the
// squared residuals most (breakpoints from a grid that is dense near the
// source, where the direct arrival may span two picks, geometric beyond and
// even across the side, densely so when slower bends are allowed, each
// refined by halving steps); a Bayesian
// information criterion chooses the number of segments, and each
// breakpoint then moves to where its two lines cross. Prefix sums make each
// trial cost the same whatever the number of picks. Between rounds the
// picks are chosen again by their residuals, with a cut that shrinks from
// 16 ms through 12 and 6 ms to 3.5 standard deviations (at least 1.5 ms, at
// most the outlier threshold); a cut that leaves the choice as it was skips
// to the last one. Later rounds move the last round's breakpoints a little,
// try the model without each of them, and with one more segment when that
// also explains more of every pick (a kink that wrong picks hid at first).
// Sides of fewer than 40 picks
// start with a lower price per segment, so that a wrong pick among few
// cannot hide a kink.
//
// When picks are left beyond the outlier threshold, other fits are tried
// (the other starting price, and the model without each of its kinks) and
// the one that explains the most picks, each counting at most the
// threshold, is kept. The farthest pick, which pulls its segment most, is
// left out and the side fitted again when it lies beyond the cut of the
// line its segment's other picks make, or, keeping the better fit, when
// picks are left beyond the threshold. The shot then fits a side again with its first
// segment through the source delay the other side shows (refitThrough()),
// or lends it the other side's deeper refractor for its last one or two
// picks, or for a stretch of last picks it leaves early (extend()).
//
// Last, two neighbouring segments within 5% of one velocity become one line
// when it keeps each of their picks within the cut or 2 ms, whichever is
// more (a long refractor bowed by statics).
//
// Only plausible segments are kept: a slope that rises by at least 1 ms
// across the segment's picks, below the slope of the segment before (or,
// when allowed, above it) and
// crossing it among their picks, and at least 3 picks, except the first
// segment, which may be a direct arrival of 2 whose line then meets offset
// 0 at a plausible source delay (-5 to 40 ms).
//
// Deterministic, and reuses its buffers: one fitter judges every side of a
// file without allocating per pick, and nothing of one side reaches the
// next, so a side fitted after others gets the fit of a new fitter.
class FirstBreakFitter
{
public:
    // Fits the n picks (absOffset[i] > 0, time[i] finite), in any order;
    // picks whose leftOut[i] is set (when leftOut is given) take no part,
    // though modelTimes() gives them a time too. False when no plausible
    // model exists (fewer than MinPicksPerSide picks taking part, or no
    // rising line fits them); the fitter then holds nothing.
    bool fit(const double *absOffset, const double *time, int n, double outlierMs,
             const unsigned char *leftOut = nullptr);

    // Whether a segment may be slower than the one before (ground that
    // slows along the spread); off unless set, when each segment is no
    // slower than the one before.
    void allowSlowerBends(bool allow) { m_slower = allow; }
    bool slowerBendsAllowed() const { return m_slower; }
    // How many segments of the model are slower than the one before.
    int slowerBends() const;

    int segments() const { return m_k; }
    // Line k (0 <= k < segments()): ms at offset 0, and ms per offset unit.
    double intercept(int k) const { return m_line[k].a; }
    double slope(int k) const { return m_line[k].b / m_scale; }
    // |offset| of the nearest and farthest pick, and of the picks that
    // begin and end segment k.
    double nearest() const { return m_h0; }
    double farthest() const;
    double segmentBegin(int k) const;
    double segmentEnd(int k) const;
    // The sums of the picks of segment 0 taking part in the fit, for a
    // source delay shared with the other side of the shot: count, |offset|,
    // |offset|^2, time, |offset| * time.
    void firstSegmentSums(double sums[5]) const;
    // The cut that chose the picks of the last round, ms; 0 when none did.
    double cut() const { return m_cut; }
    // Makes segment 0 the direct arrival of a shot whose source delay is
    // delay: its line through (0, delay), slope fitted to its picks. False,
    // leaving the model as it was, when that would move a pick taking part
    // beyond the cut (or beyond cutMs when given) or break the order of the
    // slopes.
    bool pinFirstSegment(double delay, double cutMs = NAN);
    // Fits the picks again with the first segment a direct arrival through
    // (0, delay), and keeps that model when it explains more of the picks
    // (each counting at most the outlier threshold; with atSource, the
    // delay is the time picked at the source and counts as a pick). With
    // apart, only a model whose first segment arrives at its nearest pick
    // earlier than the next segment's line by more than the fit's cut is
    // taken: a direct arrival seen on a pick or two, which that line would
    // not explain, never the refractor's nearest pick given a segment of
    // its own. True when it did.
    bool refitThrough(double delay, double outlierMs, bool atSource = false, bool apart = false);
    // Takes the line intercept (ms) + slope (ms per offset unit), a
    // refractor the other side of the shot shows, as a last segment when
    // it arrives first at no more than the last two picks (or at a longer
    // stretch of last picks that the curve leaves early by more than the
    // cut), beyond the picks that took part, and brings each of them
    // within the cut. True when it did.
    bool extend(double intercept, double slope);
    // Takes the line intercept (ms) + slope (ms per offset unit), the
    // direct arrival the other side of the shot shows, as this side's first
    // segment when its picks near the source take no part (a run of cycle
    // skips there was left out): it must be slower than the first segment
    // and cross it before that segment's first pick taking part. True when
    // it did.
    bool lendDirect(double intercept, double slope);
    // The segment whose crossings with its neighbours hold |offset| x,
    // and the model's time there.
    int segmentOf(double absOffset) const;
    double timeAt(double absOffset) const;
    // Whether a pick is further than outlierMs from the model.
    bool beyond(double outlierMs) const;
    // The largest distance in ms of a pick from the model fit() chose, or
    // infinity when fit() did not tell it (later changes to the model are
    // not seen).
    double largestResidual() const { return m_largest; }
    // What the picks near the curve say about a time that grows with
    // height: adds to sums their count, the sums of residual times height,
    // height squared and residual squared (heights in the order fit()
    // received them), each height first freed of what its segment's line in
    // |offset| would explain of it. sums[1] / sums[2] is then the
    // least-squares ms per unit of height for the model's segments; their
    // lines take up the rest. The skip nearest picks (a direct arrival,
    // which runs along the surface and is not delayed by the ground's
    // height) take no part, and with them their segment.
    void heightSums(const double *height, int skip, double sums[4]) const;
    // The same from the picks' bumps alone, which no curve of straight
    // segments explains: each pick's time and height against the straight
    // line through its neighbours by |offset|; a pick whose time bump is
    // more than cut from slowness times its height bump is left out. Adds
    // to sums the count of bumps, the sums of time times height, height
    // squared and time squared; every bump's misfit is appended to *misfits
    // when given. A stride above 1 takes every stride-th bump only. The
    // bumps of the skip nearest picks, and the bump just past them, take
    // no part.
    void bendSums(const double *height, int skip, double slowness, double cut, double sums[4],
                  std::vector<double> *misfits, int stride = 1) const;
    // The sum over every pick of its squared residual, each at most cap^2;
    // adds the picks beyond cap to *beyondCap.
    double cappedSse(double cap, int *beyondCap) const;
    // How many of the nearest picks (by |offset|) the model's direct
    // arrival holds: segment 0 when its line meets offset 0 at a plausible
    // source delay (all picks when the side has no refractor); else 0.
    int directPicks() const;
    // Model time of each pick, in the order fit() received them.
    void modelTimes(double *out) const;

private:
    struct Sums
    {
        double w, u, uu, t, ut, tt;
    };
    struct Line
    {
        double a = 0.0, b = 0.0; // t = a + b u
        double sse = 0.0;
        double w = 0.0; // picks taking part
        bool ok = false;
    };
    struct Model
    {
        int k = 0;
        int start[MaxSegments + 1] = {}; // segment j holds sorted picks [start[j], start[j + 1])
        Line line[MaxSegments];
        double sse = 0.0;
        bool ok = false;
    };

    void order(const double *absOffset, const double *time, int n);
    void prefixSums();
    Sums range(int from, int to) const;
    Line fitLine(int from, int to, bool first, bool alone) const;
    double lineSse(int from, int to, bool first) const;
    bool plausible(const Model &m, int j) const;
    bool refit(Model *m, int j) const;
    double score(const Model &m) const;
    Model split(const Model &m) const;
    void refine(Model *m, int boundary, int step) const;
    Model best(const Model *warm) const;
    bool settle(Model *m) const;
    // Merges neighbouring segments of nearly one velocity.
    void mergeNearEqual(Model *m) const;
    // Rounds of fits and cuts from every pick, starting from *start when given.
    Model rounds(double earlyPenalty, double outlierMs, const Model *start = nullptr);
    // Whether the split more of m still explains more of every pick with m's
    // worst pick taking no part.
    bool splitHolds(const Model &m, const Model &more, double outlierMs);
    // sourceMs, when finite, is the time of the picks at the source, which
    // the model's first line is judged by as one pick more.
    double robustScore(const Model &m, double outlierMs, double sourceMs = NaN);
    // The best of the fits tried from every pick (m_excluded aside).
    Model search(double outlierMs);
    // Whether m's first segment arrives at its nearest pick taking part
    // earlier than the next segment's line by more than the fit's cut.
    bool directApart(const Model &m) const;
    // Whether the farthest pick, taking part in m, is beyond the cut of
    // the line its segment's other picks make.
    bool leveragedEnd(const Model &m) const;
    // Where each of k lines ordered by slowness stops arriving first:
    // ends[j] is one past its last pick. False when their crossings are out
    // of order.
    bool envelope(const Line *lines, int k, int *ends) const;
    void residuals(const Model &m);
    // What a cut would choose: how many picks, and whether others than now.
    struct Choice
    {
        int kept = 0;
        bool changed = false;
    };
    // residuals(m), and the choices of two cuts.
    void residuals(const Model &m, double cutA, double cutB, Choice choice[2]);

    int m_n = 0;
    double m_h0 = 0.0;
    double m_scale = 1.0; // largest |offset|: u = |offset| / scale runs over (0, 1]
    // How the picks came: already in |offset| order, in reverse, or
    // neither, when m_order holds the sorted order.
    enum Ordering { Ascending, Descending, Sorted };
    Ordering m_ordering = Ascending;
    // The index, as fit() received them, of the i-th pick by |offset|.
    int index(int i) const { return m_ordering == Ascending ? i : m_ordering == Descending ? m_n - 1 - i : m_order[i]; }
    std::vector<int> m_order;
    std::vector<int> m_grid;
    std::vector<double> m_u;
    std::vector<double> m_t;
    std::vector<double> m_w;
    std::vector<double> m_r;
    std::vector<double> m_saved; // the weights of the model to beat
    std::vector<double> m_best;  // the weights of the best other fit
    std::vector<double> m_kept;  // the weights of the fit with every pick
    std::vector<Sums> m_sums;
    double m_cut = 0.0;
    double m_largest = HUGE_VAL;
    double m_penalty = 0.0;            // of a segment, in the criterion of this round
    double m_delay = NaN;              // when finite, segment 0 passes through (0, m_delay)
    int m_excluded = -1;               // a pick (by |offset|) that never takes part, or -1
    bool m_slower = false;             // segments may bend towards the slower
    std::vector<unsigned char> m_left; // by |offset|: picks the caller left out, read only when
    bool m_anyLeft = false;            // m_anyLeft
    mutable std::vector<double> m_modelBuffer;
    int m_k = 0;
    int m_start[MaxSegments + 1] = {};
    Line m_line[MaxSegments];
    // The last full search's best model of each number of segments.
    mutable Model m_levels[MaxSegments + 1];
};

// Splits a shot's picks into sides, fits each side and the source delay the
// two sides share; the heart of fitShot() and of the pass. Where the picks
// follow the topography the sides are fitted on times at the source's
// height (ShotFit::heightSlowness); a run of neighbours picked one period
// off takes no part in its side's curve, and its picks are numbered in
// PickVerdict::run. Where stations do not tell receiver lines apart, the
// spread's lines from `lines` (of these records; nullptr: found here).
class ShotFitter
{
public:
    void fit(const FbFile::FbRecord *records, int n, const Settings &settings, ShotFit *out,
             ShotLines *lines = nullptr);

private:
    // Fits the sides again with the times at the source's height when that
    // explains the picks better; the ms per unit of height taken off (m_t
    // then holds the corrected times and m_height the heights they were
    // corrected by: 0 along a direct arrival kept as picked), or 0 with the
    // fits as they were.
    double correctForHeight(const int counts[2], bool fitted[2]);
    // The nearest picks of a side that are its direct arrival as fitted on
    // the times as picked; 0 unless the receivers lie on one line, where a
    // segment through the source's time may be a refractor's seen across.
    int directPicks(int side) const;
    // Across a patch each receiver line meets the refractor at its own
    // offset, where its own height delays the refractor enough: the model
    // of each of a side's picks as picked is the earlier of the direct
    // arrival as picked and the refractor at its receiver's height. False,
    // leaving model as it was, unless the side's direct arrival is kept as
    // picked and a refractor follows it.
    bool patchModel(int side, int count, double slowness, double *model) const;
    // Before heights are taken off a side: its direct arrival gets height
    // 0, the rest their height above the direct arrival's farthest pick.
    // The span of the direct arrival's heights, 0 when it has none.
    double keepDirectHeight(int side, int count);
    // With the times at the source's height: each side's direct arrival,
    // the nearest picks on one straight line as picked, is fitted on its
    // times as picked and the refractors' times are taken to the height
    // where it ends, when that brings more picks near the curve (m_t and
    // m_height then hold what was fitted). Picks of runs left out stay
    // out; a side whose near picks were a run is left as it is.
    void keepDirectAsPicked(const int counts[2], const bool fitted[2], double slowness, const bool anyLeft[2],
                            const bool nearRun[2]);
    // A side left well off its curve may cross ground that slows along the
    // spread: fitted again with bends towards the slower, it keeps the fit
    // that brings more picks near. Whether it did.
    bool bendToSlowerGround(int side, int count);
    // Sets m_leftOut[side] for the picks of runs the side's curve bent to
    // hide, each standing off the curve fitted without them by one step;
    // whether there are any.
    bool leaveOutRuns(int side, int count);
    // Finds a run the side's curve bent to follow, so far that its ends
    // leave no run shape: each stretch between two jumps of the residuals
    // is left out of a trial fit, and taken as a run when its picks then
    // stand off that curve by one step while the others fit no worse. The
    // side's fitter then holds the fit without it (m_leftOut[side] set);
    // whether it found one. anyLeft: m_leftOut[side] already holds runs.
    // A run from the nearest pick on may have lifted the side's whole
    // direct arrival: it is found against the other side's curve (when
    // otherFitted; else against the line through the time at the source and
    // the other side's otherCount picks, when too few to fit; with the
    // times at the source's height, only where the two direct arrivals as
    // picked stand apart too) and judged
    // against its direct arrival; *near is set when the fit without it
    // starts with a refractor, which then needs the other side's direct
    // arrival lent (FirstBreakFitter::lendDirect()).
    bool leaveOutBentRuns(int side, int count, bool anyLeft, bool otherFitted, int otherCount, bool *near);
    // A side's direct arrival as picked: the longest run of its nearest
    // picks (not in left) on one straight line, ms at offset 0 and ms per
    // offset unit; *order receives the picks by |offset|. How many of them
    // the run reaches, 0 when it is no plausible direct arrival.
    int directAsPicked(int side, int count, const unsigned char *left, std::vector<int> *order, double *a,
                       double *b) const;
    // The straight line through a side's picks, too few to fit
    // (1..MinPicksPerSide-1), and the time at the source when there is one:
    // near the source, the direct arrival. False with fewer than two points
    // or a slope that does not rise.
    bool shortSideLine(int side, int count, double *intercept, double *slope) const;
    // Fits m_trial with the picks from..*end (in m_runOrder) lowered by a
    // step (where their own line meets offset 0 above the delay, or above
    // the pick beyond them), the picks nearer than them and the rest not in
    // left taking part, and sets m_trialModel. Whether they then stand off
    // by one step the side's own direct arrival near the delay, with a jump
    // back at each end: a run from the nearest pick on, where this side's
    // direct arrival is slower or faster than the other's.
    // A run across the crossover takes in the picks beyond it that are
    // already left out and stand off by its step, and sets *end past them.
    bool lowerNearRun(int side, int count, int from, int *end, double delay, double spread, const unsigned char *left);
    // Fits m_trial with the picks from..to (in m_runOrder, their residuals
    // in m_residuals) lowered by their step, the rest not in left taking
    // part, and sets m_trialModel. Whether they then stand off that curve
    // by one step with a jump back at each end: a run whose own segment
    // the fit dropped once it was left out.
    bool lowerRun(int side, int count, int from, int to, double spread, const unsigned char *left);
    // Finds a run across the source, which lifts both direct arrivals
    // alike: each side is then fitted without its part (m_leftOut set,
    // anyLeft both set, nearRun set for a side left without a direct
    // arrival of its own). Whether it found one.
    bool leaveOutStraddlingRun(const int counts[2], bool anyLeft[2], bool nearRun[2]);
    // Numbers the runs of cycle skips among a judged side's picks.
    void markRuns(int side, int count, PickVerdict *picks);
    // Across a patch: each receiver line of a side is a profile of its own,
    // crossing ground of its own when the refractor dips or changes along
    // the survey. m_lineModel[side] receives, for each of the side's picks
    // whose time (as in times) stands off model by more than threshold, its
    // time on the curve of the other picks of its line on that side, the
    // line's runs (picks off by about as much, a jump from the line's picks
    // beside them) left out too; NaN elsewhere, where the line
    // has too few to fit and where it holds more than a few such runs
    // (noise, not ground). delay: the time at
    // the source, NaN when unknown. Needs m_lineOf.
    void fitLines(int side, int count, const double *times, const double *model, double threshold, double delay);
    FirstBreakFitter m_fitter[2];
    FirstBreakFitter m_trial; // a side's other fit, swapped in when it is better
    FirstBreakFitter m_lineFitter;
    std::vector<int> m_lineOf; // by record: its receiver line's number, for fitLines()
    std::vector<int> m_linePicks;
    std::vector<double> m_lineH, m_lineT, m_lineTimes;
    std::vector<unsigned char> m_lineLeft;
    struct Piece
    {
        int from, to; // of a line's picks
        bool run;     // or one pick off the curve where the line goes its own way
    };
    std::vector<Piece> m_pieces;
    std::vector<double> m_lineModel[2];
    std::vector<qint8> m_side;
    // Per side: the records of its fitted picks, their |offset|, time and
    // model time.
    std::vector<int> m_members[2];
    std::vector<double> m_h[2];
    std::vector<double> m_t[2];
    std::vector<double> m_height[2]; // receiver elevation above the source's
    std::vector<double> m_raw[2];    // times as picked, when m_t holds them at the source's height
    std::vector<double> m_model[2];
    std::vector<double> m_zero;     // times of the picks at offset 0
    std::vector<int> m_zeroRecords; // and their records
    std::vector<double> m_sorted;
    std::vector<double> m_misfits;
    std::vector<double> m_residuals; // of a side's picks in |offset| order
    std::vector<int> m_jumps;        // scratch of leaveOutRuns() and leaveOutBentRuns()
    std::vector<double> m_trialModel;
    std::vector<double> m_lowered;            // a side's times, a near run's lowered by its step
    std::vector<unsigned char> m_loweredLeft; // and the picks left out of that trial
    std::vector<unsigned char> m_leftKept;    // a side's picks left out before its trials
    std::vector<int> m_runOrder;
    std::vector<int> m_nearOrder;   // the other side's, for a run across the source
    std::vector<int> m_pickedOrder; // scratch of directAsPicked() while a side's runs are sought
    std::vector<double> m_kept;     // a side's times and heights before keepDirectAsPicked()
    std::vector<unsigned char> m_leftOut[2];
    double m_zeroMedian = NaN;           // of the picks at the source
    qint64 m_lowest = 0, m_highest = 0;  // receiver heights above the source of the fitted picks
    std::vector<double> m_heldHeight[2]; // every pick's height while a direct arrival is kept as picked
    bool m_oneLine = true;               // the fitted picks' receivers lie on one receiver line
    bool m_heightsTaken = false;         // m_t holds times at the source's height, m_raw as picked
    bool m_heightsTried = false;         // correctForHeight() fitted the times at some height slowness
    bool m_bendSlower = false;           // correctForHeight() fits curves that may bend to the slower
    // Per side: each pick's receiver height above the source as read, and,
    // while the direct arrival is kept as picked, the height the refractors'
    // times were taken to (NaN otherwise).
    std::vector<double> m_ground[2];
    double m_directTop[2] = {NaN, NaN};
};

// Sides of a shot: by the sign of the offset, or, when no offset is
// negative, by the receiver's position relative to the source along the
// spread's main direction. sides[i] receives the Side of record i.
void splitSides(const FbFile::FbRecord *records, int n, qint8 *sides);

} // namespace FbQc

#endif // FBQC_FIRSTBREAKFIT_H
