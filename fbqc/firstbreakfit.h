#ifndef FIRSTBREAKFIT_H
#define FIRSTBREAKFIT_H

#include "shotfit.h"

#include <vector>

// The robust first-break curve of one side of a shot, and the split of a
// shot's picks into sides. Internal to the QC pass and fitShot(): both call
// the same code, so that a shot judged on its own gets the pass's verdict.
namespace PickQc {

// Fits a continuous, increasing, piecewise-linear time(|offset|) with 1 to 3
// segments to the picks of one side.
//
// Method: the picks are ordered by |offset|; a running median of their
// times, taken again with its local slope removed, gives a first robust
// curve whose residuals decide which picks take part. Then, round by round,
// a least-squares hinge model is fitted to the picks that take part: the
// breakpoints come from a grid of pick positions (geometric from the source,
// where the direct arrival is short, and even across the side), refined by
// halving steps and, once the choice is nearly final, placed between picks
// by a golden-section search; later rounds start from the last round's
// kinks and search only near them; prefix sums make each trial cost the same
// whatever the number of picks. After each round the picks are chosen again
// by their residuals, with a cut that shrinks from 16 ms through 12 and 6 ms
// to 3.5 robust standard deviations (at least 1.5 ms, at most the outlier
// threshold), so that a first model with a wrong kink cannot shut out the
// good picks it misses. The number of segments minimises a Bayesian
// information criterion: a clean two- or three-layer curve gets its kinks,
// noise does not buy one. When three neighbouring picks end beyond the
// threshold on the same side of the model, the fit runs again from that
// model with a looser cut and keeps the model that leaves fewer picks
// beyond the threshold.
//
// Within a side, a round whose cut lets the same picks take part keeps the
// last round's sums and answers the trials and the polishing it repeats
// from memory; the answers are those a new computation would give.
//
// Reuses its buffers: one fitter judges every side of a file without
// allocating per pick, and nothing it remembers of one side reaches the
// next, so a side fitted after others gets the fit of a new fitter.
class FirstBreakFitter
{
public:
    // Fits the n picks (absOffset[i], time[i]), all finite, in any order, and
    // writes the model into *model (segments, knots, velocity, intercept; not
    // the counts) and the model time of pick i into modelTimes[i]. n must be
    // at least MinPicksPerSide.
    void fit(const double *absOffset, const double *time, int n, double cutCeilingMs,
             SideModel *model, double *modelTimes);

private:
    struct Sums
    {
        double w, u, uu, t, ut, tt;
    };
    // The factorisation of the normal equations' columns 1 and u, common
    // to every trial of a round; ok is false when they are dependent.
    struct Base
    {
        bool ok = false;
        double b0, b1;       // right-hand side
        double d0, d1;       // pivots
        double inv0, inv1;   // their inverses
        double l10;          // factor below the first pivot
        double y1;           // forward substitution
        double z0, z1;       // start of the back substitution
    };
    struct Candidate
    {
        int segments = 0;
        int k1 = 0;
        int k2 = 0;
        double b1 = 0.0;   // breakpoints in u; k1, k2 start their tails
        double b2 = 0.0;
        double sse = 0.0;
        double coef[4] = {};
        bool valid = false;
    };

    void order(const double *absOffset, const double *time, int n);
    void initialResiduals();
    void prefixSums();
    Candidate evaluate(int segments, int k1, int k2, double b1 = NaN, double b2 = NaN) const;
    template <int segments>
    Candidate evaluateFor(int k1, int k2, double b1, double b2) const;
    Candidate polish(Candidate c, int which) const;
    // evaluate() with the breakpoints at the tail starts, and polish(),
    // remembered while the sums stay the same. atStarts() answers from its
    // table: the reference holds until the next call.
    const Candidate &atStarts(int segments, int k1, int k2);
    Candidate polishOnce(const Candidate &c, int which);
    double score(const Candidate &c) const;
    void makeGrid();
    int firstStep(int k) const;
    // The best model of 1 to 3 segments; *two and *three hold the last
    // round's two- and three-segment models (or invalid ones) and receive
    // this round's.
    Candidate bestModel(bool fine, Candidate *two, Candidate *three);
    Candidate refine(Candidate c, int which, int step);
    double modelAtSorted(const Candidate &c, double u) const;
    // Where the picks beyond each breakpoint of c start; false when the
    // breakpoints are out of order.
    bool segmentStarts(const Candidate &c, int *beyond1, int *beyond2) const;
    // Calls put(i, model time) for every pick i in |offset| order.
    template <typename Put>
    void eachModelTime(const Candidate &c, Put put) const;
    void residuals(const Candidate &c);
    Candidate converge(const double *floors, int stages, double ceiling);
    bool suspicious(double ceiling) const;
    double loss(double cut) const;
    double robustSigma();
    // The larger of floor and 3.5 robust sigmas of the residuals.
    double cutAbove(double floor);
    // Lets the picks whose residual is within cut take part; true when the
    // choice changed.
    bool applyCut(double cut);

    int m_n = 0;
    double m_h0 = 0.0;      // smallest |offset|
    double m_scale = 1.0;   // |offset| range, so that u runs over [0, 1]
    std::vector<int> m_order;
    std::vector<int> m_grid;
    std::vector<double> m_u;
    std::vector<double> m_t;
    std::vector<double> m_w;
    std::vector<double> m_r;
    std::vector<double> m_work;
    std::vector<Sums> m_sums;
    Base m_base;
    double m_logWeight = 0.0;   // log of the picks taking part, for score()
    struct Remembered
    {
        unsigned generation = 0;
        int segments = 0, k1 = 0, k2 = 0;
        Candidate c;
    };
    struct Polished
    {
        unsigned generation = 0;
        Candidate in, out;
    };
    static constexpr int RememberedTrials = 256;
    unsigned m_generation = 0;   // of the sums, counted by prefixSums()
    Remembered m_remembered[RememberedTrials];
    Polished m_polished[2];
    // Tail starts refine() has tried: those marked with the current visit.
    std::vector<unsigned> m_visited;
    unsigned m_visit = 0;
};

// Splits a shot's picks into sides and fits each side; the heart of
// fitShot() and of the pass.
class ShotFitter
{
public:
    void fit(const FbRecord *records, int n, const Settings &settings, ShotFit *out);

private:
    FirstBreakFitter m_fitter;
    std::vector<qint8> m_side;
    std::vector<int> m_members;
    std::vector<double> m_h;
    std::vector<double> m_t;
    std::vector<double> m_model;
};

// Sides of a shot: by the sign of the offset, or, when no offset is
// negative, by the receiver's position relative to the source along the
// spread's main direction. sides[i] receives the Side of record i.
void splitSides(const FbRecord *records, int n, qint8 *sides);

} // namespace PickQc

#endif // FIRSTBREAKFIT_H
