#include <fbqc/onsetpicker.h>

#include <fbtrace/shotgather.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define FBQC_X86_VECTORS 1
#endif

using namespace FbTrace;

namespace FbQc {

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Pi = 3.14159265358979323846;

// Around the search window the picker also looks this far, for the noise
// before an onset near the window's start and the lobes after one near its
// end.
constexpr double MarginMs = 60;
// The coarse onset compares the energy of half a period (or this long when
// the period is not given) after and before each time, and takes the first
// rise to a share of the window's largest ratio.
constexpr double EnergyMs = 10;
constexpr int MinimumEnergySamples = 4;
constexpr double EnergyRatioShare = 0.5;
constexpr double StrongEnergyRatioShare = 0.1;
constexpr double ClearEnergyRatio = 25;
// Fewer noise samples than this before the coarse onset give no noise level.
constexpr int MinimumNoiseSamples = 8;
// Gaussian rms from the median of |x|, robust to a spike in the noise.
constexpr double MedianToRms = 1.4826;
// The first motion must clear the noise by this share of the arrival's own
// strength (in noise rms), held between the two bounds: a weak arrival is
// taken at a low margin, a strong one is not fooled by a noise burst.
constexpr double DetectionShare = 0.4;
constexpr double MinimumDetection = 1.5;
constexpr double MaximumDetection = 5;
// On a stack of many traces the noise is their average, without the bursts
// of a single trace: the first motion there clears this many of the
// stack's own noise rms, however strong the arrival. A share of the
// arrival's strength would pass over an emergent first lobe, a third of
// the peak, until the stack stood far above its noise.
constexpr double StackDetection = 4;
// How far before the coarse onset the first motion is looked for: the
// energy ratio sets a slowly growing arrival a little late.
constexpr double LookBackPeriods = 0.3;
constexpr double LookBackMs = 6;
// The rising flank used to find the onset: from twice the noise's rms up to
// this share of the first lobe's peak.
constexpr double FlankTopShare = 0.5;
constexpr double FlankLowRms = 2;
// A lobe with this many samples at its peak is clipped; its flank is fitted
// up to this share of the clip.
constexpr int ClippedSamples = 3;
constexpr double ClippedFlankTopShare = 0.9;
// A flank of this many samples is fitted with a parabola (a first motion
// that grows from zero bends up), fewer with a line.
constexpr int QuadraticFlankSamples = 4;
// The lobes after the first are the swings that clear the noise by this
// many rms; smaller ones across a crossing are the noise's.
constexpr double SwingRms = 1.5;
// Before the coarse onset only a lobe of this share of the arrival's peak is
// taken as its first motion.
constexpr double EarlyLobeShare = 0.5;
// A lobe shorter than this share of half the wavelet's period is not the
// first break (an air wave rings higher, a spike is shorter still).
constexpr double ShortLobeShare = 0.55;
constexpr double LoudShare = 0.2;
// An onset read from the first lobe's end lies at most this share of half
// a period before the flank's onset (the first motion hidden in the noise)
// and at most this share after it.
constexpr double HiddenShare = 0.35, LateShare = 0.1;
// A weak trace is judged against the stack of up to this many picked
// neighbours on each side, when at least MinimumStack of them are usable;
// lined up within a period / StackReachShare either way.
constexpr int StackNeighbours = 8;
constexpr int MinimumStack = 4;
constexpr double StackReachShare = 8;
// A weak trace is off by a period only where it matches the stack there at
// least this well: one of another wavelet (an emergent onset among sharp
// ones) matches it poorly at its pick, and noise a period away then beats
// that by the margin.
constexpr double WeakMatchFloor = 0.4;
// Samples before an onset louder than this many noise rms are another
// arrival's ringing.
constexpr double RingingLead = 2;
// Neighbouring waveforms are compared over this many periods from half a
// period before the arrival.
constexpr double CorrelationPeriods = 2;
// The check searches around each pick at least this many periods either
// side, so that a pick a period off still has its onset in the window.
constexpr double CheckWindowPeriods = 1.5;
// At most this many traces too weak to judge may lie inside a run of
// skipped picks or between it and the neighbour that judges it.
constexpr int MaximumRunGap = 4;
// Mains hum is taken off when a sinusoid at 50 or 60 Hz explains this
// share of the noise over up to HumFitMs before the window, fitted over at
// least this many of its cycles (fewer, and band-limited noise passes for
// a sinusoid).
constexpr double HumShare = 0.6;
constexpr double HumCycles = 4;
constexpr double HumFitMs = 200;
// Snapping to a peak or trough takes those of at least this share of the
// strongest in reach.
constexpr double SnapExtremeShare = 0.5;
// A trace of a gather whose pick rings shorter than this share of the
// shot's period, or longer than the period over it, is searched again
// knowing that period.
constexpr double ShortPeriodShare = 0.6;
// A gather's period is measured on every this many traces, from at least
// this many confident ones.
constexpr int PeriodSampleStep = 4;
constexpr int MinimumPeriodSamples = 3;
// Fewer confident picks give the shot's period only within this ratio of
// the median period of all its picks. A shot picked with no prediction
// takes its confident picks' period on the same terms while they are fewer
// than FewPeriodSamples: two bursts among them carry the median.
constexpr double PeriodAgreement = 0.8;
constexpr int FewPeriodSamples = 2 * MinimumPeriodSamples;
// A gather's trace without a prediction is checked against a line through
// up to this many confident neighbours on each side.
constexpr int NeighbourPicks = 3;
// Each side of a shot is followed outward from the source: a trace's first
// break is expected on the robust line through up to this many of the
// traces just nearer the source that were found on it.
constexpr int TrackedPicks = 6;
// The trace nearest the source is judged against a line through at least
// this many of the followed picks beyond it.
constexpr int MinimumLinePicks = 3;
// The trace nearest the source is also held to the time over distance of
// up to this many confident picks on each side at least as far out, less
// NearSourceSlackMs for the receivers' statics (see holdNearestToSource).
constexpr int NearSourcePicks = 3;
constexpr double NearSourceSlackMs = 5;
// It is then read on the trace across the source no more than MirrorReach
// farther out, where their first cycles correlate at least this well.
constexpr double MirrorReach = 0.25;
constexpr double MirrorCorrelation = 0.8;
// The gather stage stacks up to this many neighbours on each side, and
// lines a trace up on them when at least MinimumGatherStack are usable,
// within this share of a period of where the moveout puts it, over this
// many rounds; the onset is then read on the stack within StackSearchShare
// of a period of the trace's alignment time.
constexpr int GatherNeighbours = 8;
constexpr int MinimumGatherStack = 3;
constexpr double AlignReachShare = 0.5;
constexpr int AlignmentRounds = 2;
// Lags are first tried this many to a period, then every sample around the
// best of them.
constexpr double AlignSamplesPerPeriod = 16;
constexpr double StackSearchShare = 0.5;
// Which lobe a doubtful reading of a trace's stack stands on is checked on
// a stack this many times as wide (its noise about the square root of that
// lower): a reading further than RefineShare of a period from the wide
// stack's is another lobe, and the wide stack's stands.
constexpr int WideStackFactor = 3;
// With predictions, a stack reading under this many times the confidence
// threshold is averaged with the wide stack's where both stand on the
// same lobe, the wide stack's, of lower noise, weighing WideReadWeight
// times as much. A sharp onset that stands well out keeps its own stack:
// the wide one smears it over its alignments' scatter.
constexpr double SteadyReadFactor = 2, WideReadWeight = 2;
// With a fitted curve's times, a stack's reading (from its trace's
// alignment) is the median of those on the same lobe within ReadingReach
// traces on its side, where at least ReadingReach of them are.
constexpr int ReadingReach = 6;
// The stack read for the onset reaches this far (this many periods, at
// least StackNoiseMs) before the search for its noise, and this many
// periods after it for the lobes.
constexpr double StackNoiseMs = 20, StackNoisePeriods = 1, StackLobesPeriods = 2;
// A confident pick's trace counts as quiet before it where nothing there
// reaches this share of its own lobe (see ruledOutByTrace).
constexpr double QuietShare = 0.1;
// The trace next to the source of a split spread keeps its own pick, when
// at least this share of a confident one, against a stack reading more
// than NearSourceLateShare of a period later.
constexpr double NearSourceConfidenceShare = 0.5;
constexpr double NearSourceLateShare = 0.5;
// A noise swing just before the first break, in the sense of its first
// lobe, runs into that lobe and starts it early: the trace's own pick then
// lies before its alignment time and is the more confident for the lobe's
// full height. A confident stack reading within RefineShare of a period of
// the alignment time and more than that, but less than NoiseLeadShare of a
// period, later than the own pick (the same lobe, not the next) replaces
// it whatever the confidences.
constexpr double NoiseLeadShare = 0.5;
// On a shot with hardly a confident pick, a pick is also trusted when it
// lies, within CorroborationShare of the search window, on a line rising
// away from the source with at least CorroboratingPicks others among the
// CorroborationReach nearest traces on each side of it.
constexpr int CorroborationReach = 3;
constexpr int CorroboratingPicks = 3;
constexpr double CorroborationShare = 0.1;
// On a shot where fewer than this share of the traces are confident on
// their own, the stage runs again from its own picks: their line is truer
// than the one through the traces' own readings.
constexpr double WeakShotShare = 0.5;
constexpr int GatherPasses = 2;
// A later pass takes the period from the stacks' readings when at least
// one trace in this many has one: on such a shot the few confident traces
// measure it a few percent off, which moves an onset read half a period
// before the first lobe's end by as much.
constexpr int StackPeriodShare = 4;
// A later pass moves a pick the stack already moved by more than this share
// of a period only on a reading CarryMargin times as confident as the one
// that moved it: two stacks of much the same traces differ in confidence by
// their noise alone.
constexpr double RefineShare = 0.125;
constexpr double CarryMargin = 1.2;
// A stack reading this share of a period off the level its side's stacks
// read at, from their alignments, stands on another lobe.
constexpr double SideLevelShare = 0.375;
// Field records mix wavelets: an emergent onset rings at a lower pitch than
// the sharp ones around it, and lined up with them the correlation takes its
// largest lobe, not its first break. A neighbour that rings a cycle this
// many times longer or shorter than the trace itself is left out of the
// trace's stack, while at least MinimumGatherStack others stay; such a
// trace's stack is read with its like neighbours' period, and its
// reading's cycle is left out of the shot's.
constexpr double UnlikeCycleRatio = 1.4;
// Near the source of a shot over a slow top layer the first break is the
// direct wave, on a line through the source at time 0; the first traces on a
// side whose picks lie within DirectWaveMs of one such line, at least
// DirectWavePicks, are on it when the picks beyond rise at most
// 1 / DirectWaveBend as steeply. Their neighbours' line across the bend is
// the faster wave's, drawn back, so their stacks read that wave late.
constexpr double DirectWaveMs = 5;
constexpr int DirectWavePicks = 2;
constexpr double DirectWaveBend = 2;
// Sound in air, m/s. A trace nearer the source than sound travels in
// AtSourceShare of a period is read over as long from the shot on, short
// lobes and all, where that reads a confident onset sooner than its pick
// by more than SoonerShare of a period (see readAtSource).
constexpr double SoundMps = 340;
constexpr double AtSourceShare = 0.5, SoonerShare = 0.25;
// A pick within AirLineShare of a period of the time sound takes from the
// source, after the shot's own delay, is on the air wave; the first break
// before it is looked for up to AirLeadShare of a period before the air
// wave (see keepOffAirWave). The air wave leaves when the shot fires, so a
// shot fired early or late (up to AirDelayMs) has it off time by as much.
constexpr double AirLineShare = 0.25, AirLeadShare = 0.125, AirDelayMs = 30;
// Lobes tried before giving up on a window.
constexpr int MaximumLobes = 64;
// Where the first breaks bend (see Moveout): the line through a trace's
// neighbours on both sides lies this much sooner than each side's own, ms,
// whose picks lie within BendScatterMs of it (median), ms.
constexpr double BendMs = 3, BendScatterMs = 2;
// A doubtful pick is vouched for by its neighbours when it lies within
// VouchMs (an eighth of a period on shorter wavelets, two samples at least)
// of the line through up to GatherNeighbours of them on each side, most of
// which lie as close to the line through theirs (at least VouchingPicks),
// and the trace's own onset read there clears VouchShare of the confident
// level: the first break continues there, and the trace shows it.
constexpr double VouchMs = 2;
constexpr int VouchingPicks = 4;
constexpr double VouchShare = 0.5;

double at(const TraceSamples &t, int i)
{
    return double(t.samples[i]);
}

// Sample intervals and periods past these are no recording's: the trace is
// left alone, the period taken as not given (sample counts stay in range).
constexpr double MinimumIntervalMs = 1e-3, MaximumIntervalMs = 1e3, MaximumPeriodMs = 1e4;
bool usableInterval(double ms)
{
    return ms >= MinimumIntervalMs && ms <= MaximumIntervalMs;
}
bool usablePeriod(double ms)
{
    return ms > 0 && ms <= MaximumPeriodMs;
}

// Where a straight line through (i, a) and (i + 1, b) crosses zero.
double crossing(int i, double a, double b)
{
    return a == b ? i : i + a / (a - b);
}

#if defined(FBQC_X86_VECTORS)
// The running energy sum and its ratios eight samples a step, for
// processors with 256-bit vectors: the same values as the four-sample
// loop of energyRatioOnset (each group of four summed in the same order,
// then the sum so far added), with the ratios four at a time (ratio[k]
// is that of sample lo + skipped + k). Runs while
// eight samples are left and hands the loop on where it stopped: *i and
// *r, the carried sum, the largest ratio and the quietest energy before.
// Multiplies and adds are kept apart (no fused multiply-add), or the sums
// would round otherwise.
__attribute__((target("avx2"))) void wideEnergyRatios(const float *x, int n, double *s2, double *ratio, int skipped,
                                                      int length, int last, int lag, int prefetchBytes, int *i, int *r,
                                                      __m128d *carry, __m128d *bests, __m128d *quiets)
{
    const __m256d zero = _mm256_setzero_pd();
    __m128d c = *carry;
    __m256d best4 = _mm256_setzero_pd(), quiet4 = _mm256_set1_pd(std::numeric_limits<double>::infinity());
    int k = *i, q = *r;
    for (; k + 7 < n; k += 8) {
        _mm_prefetch(reinterpret_cast<const char *>(x + k) + prefetchBytes, _MM_HINT_T0);
        // Each group of four: its squares' partial sums [a, a+b, c+(a+b), (c+d)+(a+b)].
        __m256d a = _mm256_cvtps_pd(_mm_loadu_ps(x + k)), b = _mm256_cvtps_pd(_mm_loadu_ps(x + k + 4));
        a = _mm256_mul_pd(a, a);
        b = _mm256_mul_pd(b, b);
        a = _mm256_add_pd(a, _mm256_unpacklo_pd(zero, a));
        b = _mm256_add_pd(b, _mm256_unpacklo_pd(zero, b));
        a = _mm256_add_pd(a, _mm256_blend_pd(zero, _mm256_permute4x64_pd(a, 0x55), 0xC));
        b = _mm256_add_pd(b, _mm256_blend_pd(zero, _mm256_permute4x64_pd(b, 0x55), 0xC));
        _mm256_storeu_pd(s2 + k + 1, _mm256_add_pd(a, _mm256_broadcastsd_pd(c)));
        const __m128d aTop = _mm_unpackhi_pd(_mm256_extractf128_pd(a, 1), _mm256_extractf128_pd(a, 1));
        c = _mm_add_pd(aTop, c);
        _mm256_storeu_pd(s2 + k + 5, _mm256_add_pd(b, _mm256_broadcastsd_pd(c)));
        const __m128d bTop = _mm_unpackhi_pd(_mm256_extractf128_pd(b, 1), _mm256_extractf128_pd(b, 1));
        c = _mm_add_pd(bTop, c);
        for (; q + 3 <= last && q + 3 + length + lag <= k; q += 4) {
            const __m256d now = _mm256_loadu_pd(s2 + q);
            const __m256d after = _mm256_sub_pd(_mm256_loadu_pd(s2 + q + length), now);
            const __m256d before = _mm256_sub_pd(now, _mm256_loadu_pd(s2 + q - length));
            const __m256d ratios = _mm256_div_pd(after, before);
            _mm256_storeu_pd(ratio + (q - skipped), ratios);
            best4 = _mm256_max_pd(ratios, best4);
            quiet4 = _mm256_min_pd(before, quiet4);
        }
    }
    *bests = _mm_max_pd(*bests, _mm_max_pd(_mm256_castpd256_pd128(best4), _mm256_extractf128_pd(best4, 1)));
    *quiets = _mm_min_pd(*quiets, _mm_min_pd(_mm256_castpd256_pd128(quiet4), _mm256_extractf128_pd(quiet4, 1)));
    *carry = c;
    *i = k;
    *r = q;
}

bool hasWideVectors()
{
    static const bool wide = __builtin_cpu_supports("avx2");
    return wide;
}

bool hasCompressingVectors()
{
    static const bool compressing = __builtin_cpu_supports("avx512f");
    return compressing;
}

// kthSmallest's split of a[0..n) around pivot, sixteen floats (eight
// doubles) a step, for processors with 512-bit vectors: the values below it
// to the front of b, those above it to b's end in reverse order, as its own
// loop puts them, so that every later round picks the same pivot. Returns
// where it stopped, for that loop to go on from; *below and *above count
// what was put so far. The front is written a whole vector at a time (what
// follows the values kept is overwritten later), the end only where values
// go.
__attribute__((target("avx512f,popcnt"))) int splitWide(const float *a, float *b, int n, float pivot, int *below,
                                                        int *above)
{
    const __m512 p = _mm512_set1_ps(pivot);
    const __m512i reversed = _mm512_set_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    int i = 0, low = 0, high = 0;
    for (; i + 15 < n; i += 16) {
        const __m512 v = _mm512_loadu_ps(a + i);
        const __mmask16 less = _mm512_cmp_ps_mask(v, p, _CMP_LT_OQ);
        _mm512_storeu_ps(b + low, _mm512_maskz_compress_ps(less, v));
        low += __builtin_popcount(less);
        const __m512 r = _mm512_maskz_permutexvar_ps(0xFFFF, reversed, v);
        const __mmask16 more = _mm512_cmp_ps_mask(r, p, _CMP_GT_OQ);
        const int count = __builtin_popcount(more);
        _mm512_mask_storeu_ps(b + n - high - count, __mmask16((1u << count) - 1), _mm512_maskz_compress_ps(more, r));
        high += count;
    }
    *below = low;
    *above = high;
    return i;
}

__attribute__((target("avx512f,popcnt"))) int splitWide(const double *a, double *b, int n, double pivot, int *below,
                                                        int *above)
{
    const __m512d p = _mm512_set1_pd(pivot);
    const __m512i reversed = _mm512_set_epi64(0, 1, 2, 3, 4, 5, 6, 7);
    int i = 0, low = 0, high = 0;
    for (; i + 7 < n; i += 8) {
        const __m512d v = _mm512_loadu_pd(a + i);
        const __mmask8 less = _mm512_cmp_pd_mask(v, p, _CMP_LT_OQ);
        _mm512_storeu_pd(b + low, _mm512_maskz_compress_pd(less, v));
        low += __builtin_popcount(less);
        const __m512d r = _mm512_maskz_permutexvar_pd(0xFF, reversed, v);
        const __mmask8 more = _mm512_cmp_pd_mask(r, p, _CMP_GT_OQ);
        const int count = __builtin_popcount(more);
        _mm512_mask_storeu_pd(b + n - high - count, __mmask8((1u << count) - 1), _mm512_maskz_compress_pd(more, r));
        high += count;
    }
    *below = low;
    *above = high;
    return i;
}
#endif

// The coarse onset: the first place in [from, to] where the energy over the
// next `length` samples against the energy over the `length` before comes
// within a share of its largest value in the window, then up to the top of
// that rise. The first such rise, not the largest: a later arrival stronger
// than the first break is common and is not it.
int energyRatioOnset(const TraceSamples &t, int lo, int hi, int from, int to, int length)
{
    const int n = hi - lo + 1;
    // Near the trace's start the energy before is averaged over what there
    // is: a first break a few ms into the trace (at the source) still shows.
    from = std::max(from, lo + std::max(MinimumEnergySamples, length / 2));
    to = std::min(to, hi + 1 - length);
    if (from > to)
        return std::clamp((from + to) / 2, lo, hi);
    const int count = to - from + 1;
    // The running sum of energy, and the ratios of the energy over the
    // `length` after each sample to that over the `length` before. Every
    // element read is written first: the trace-long buffers are the
    // thread's own, kept from one trace to the next rather than allocated
    // for each, and not cleared.
    thread_local std::vector<double> sums, ratios;
    if (sums.size() < size_t(n) + 1)
        sums.resize(size_t(n) + 1);
    if (ratios.size() < size_t(count))
        ratios.resize(size_t(count));
    double *const s2 = sums.data(), *const ratio = ratios.data();
    const int skipped = from - lo; // ratio[k] is that of sample lo + skipped + k
    s2[0] = 0;
    // The ratios over a whole `length` before, [first, last] from lo, are
    // taken as the sum goes, a `length` behind it: the divisions then run
    // beside the sum's chain of additions instead of after it. The floor
    // under the energy before needs the whole sum; the few ratios under it
    // are taken again after.
    const int first = std::max(from - lo, length), last = to - lo;
    int i = 0, r = first;
    double best = 0, quietest = std::numeric_limits<double>::infinity();
#if defined(__SSE2__)
    // Four samples at a time: their squares summed among themselves, then
    // added to the sum so far. The sum's chain of dependent additions takes
    // one step per four samples; the sums round in another order, the same
    // in every build with SSE2. The ratios go in pairs; the largest and the
    // quietest energy before are the same whichever way they are gathered.
    // The ratios trail the sum by a few samples more, so that they read
    // sums already stored, not ones still on their way (a read across two
    // pending stores waits for both).
    constexpr int StoreLag = 16;
    constexpr int PrefetchBytes = 512;
    const float *x = t.samples + lo;
    __m128d carry = _mm_setzero_pd(), bests = _mm_setzero_pd(), quiets = _mm_set1_pd(quietest);
#if defined(FBQC_X86_VECTORS)
    // The wide loop gets through the samples faster: it asks further ahead.
    constexpr int WidePrefetchBytes = 2048;
    if (hasWideVectors())
        wideEnergyRatios(x, n, s2, ratio, skipped, length, last, StoreLag, WidePrefetchBytes, &i, &r, &carry, &bests,
                         &quiets);
#endif
    for (; i + 3 < n; i += 4) {
        // The trace is read once here, likely from beyond the core's own
        // cache: asked for a few lines ahead.
        _mm_prefetch(reinterpret_cast<const char *>(x + i) + PrefetchBytes, _MM_HINT_T0);
        const __m128 four = _mm_loadu_ps(x + i);
        __m128d low = _mm_cvtps_pd(four), high = _mm_cvtps_pd(_mm_movehl_ps(four, four));
        low = _mm_mul_pd(low, low);
        high = _mm_mul_pd(high, high);
        low = _mm_add_pd(low, _mm_unpacklo_pd(_mm_setzero_pd(), low));
        high = _mm_add_pd(high, _mm_unpacklo_pd(_mm_setzero_pd(), high));
        high = _mm_add_pd(high, _mm_unpackhi_pd(low, low));
        low = _mm_add_pd(low, carry);
        high = _mm_add_pd(high, carry);
        _mm_storeu_pd(&s2[size_t(i) + 1], low);
        _mm_storeu_pd(&s2[size_t(i) + 3], high);
        carry = _mm_unpackhi_pd(high, high);
        for (; r + 1 <= last && r + 1 + length + StoreLag <= i; r += 2) {
            const __m128d now = _mm_loadu_pd(&s2[size_t(r)]);
            const __m128d after = _mm_sub_pd(_mm_loadu_pd(&s2[size_t(r + length)]), now);
            const __m128d before = _mm_sub_pd(now, _mm_loadu_pd(&s2[size_t(r - length)]));
            const __m128d q = _mm_div_pd(after, before);
            _mm_storeu_pd(&ratio[size_t(r - skipped)], q);
            bests = _mm_max_pd(q, bests);
            quiets = _mm_min_pd(before, quiets);
        }
    }
    double lanes[2];
    _mm_storeu_pd(lanes, bests);
    best = std::max(lanes[0], lanes[1]);
    _mm_storeu_pd(lanes, quiets);
    quietest = std::min(lanes[0], lanes[1]);
#endif
    for (; i < n; ++i)
        s2[size_t(i) + 1] = s2[size_t(i)] + at(t, lo + i) * at(t, lo + i);
    for (; r <= last; ++r) {
        const double before = s2[size_t(r)] - s2[size_t(r - length)];
        ratio[size_t(r - skipped)] = (s2[size_t(r + length)] - s2[size_t(r)]) / before;
        best = std::max(best, ratio[size_t(r - skipped)]);
        quietest = before < quietest ? before : quietest;
    }
    const double floor = std::max(s2[size_t(n)] / n, 1e-300) * 1e-9 * length;
    auto ratioAt = [&](int i, double before) {
        return (s2[size_t(i + length)] - s2[size_t(i)]) / (before < floor ? floor : before);
    };
    if (quietest < floor) {
        best = 0;
        for (int i = first; i <= last; ++i) {
            const double before = s2[size_t(i)] - s2[size_t(i - length)];
            if (before < floor)
                ratio[size_t(i - skipped)] = ratioAt(i, before);
            best = std::max(best, ratio[size_t(i - skipped)]);
        }
    }
    for (int i = from - lo; i < first && i <= last; ++i) {
        ratio[size_t(i - skipped)] = ratioAt(i, (s2[size_t(i)] - s2[0]) * length / i);
        best = std::max(best, ratio[size_t(i - skipped)]);
    }
    // Strong arrivals: any rise well clear of the noise's own ratios counts,
    // a tenth of the largest at least; weak ones: half the largest.
    const double wanted = std::min(EnergyRatioShare * best, std::max(ClearEnergyRatio, StrongEnergyRatioShare * best));
    int k = 0;
#if defined(__SSE2__)
    // Past the ratios below it four at a time; the loop below finds which.
    const __m128d wanteds = _mm_set1_pd(wanted);
    for (; k + 3 < count; k += 4) {
        const __m128d below = _mm_and_pd(_mm_cmplt_pd(_mm_loadu_pd(&ratio[size_t(k)]), wanteds),
                                         _mm_cmplt_pd(_mm_loadu_pd(&ratio[size_t(k) + 2]), wanteds));
        if (_mm_movemask_pd(below) != 3)
            break;
    }
#endif
    while (ratio[size_t(k)] < wanted)
        ++k;
    while (k + 1 < count && ratio[size_t(k) + 1] >= ratio[size_t(k)])
        ++k;
    return from + k;
}

// The k-th smallest of a[0..n) (0-based) among a few values: the one with
// at most k values below it and more than k at or below it. Counted without
// a branch per value, n * n comparisons at most. Values that do not order
// (NaN) are left to the library's selection.
template<typename T>
T kthOfFew(T *a, int n, int k)
{
    for (int i = 0; i < n; ++i) {
        int below = 0, notAbove = 0;
        for (int j = 0; j < n; ++j) {
            below += a[j] < a[i] ? 1 : 0;
            notAbove += a[j] <= a[i] ? 1 : 0;
        }
        if (below <= k && k < notAbove)
            return a[i];
    }
    std::nth_element(a, a + k, a + n);
    return a[k];
}

// The k-th smallest of a[0..n) (0-based), the same value std::nth_element
// gives. Each round splits the values around a median of three into those
// below and those above it, written without a branch per value: noise
// samples (and the slopes between noisy picks) fall either side at random,
// which costs a sorting loop a mispredicted branch every other value. b
// holds n values of scratch. No NaN among the values.
template<typename T>
T kthSmallest(T *a, T *b, int n, int k)
{
    constexpr int SmallRun = 8;       // then counted out
    constexpr int MaximumRounds = 48; // then the library's selection, whatever the values
    for (int round = 0; n > SmallRun && round < MaximumRounds; ++round) {
        const T first = a[0], middle = a[n / 2], last = a[n - 1];
        const T pivot = std::max(std::min(first, middle), std::min(std::max(first, middle), last));
        int below = 0, above = 0, i = 0;
#if defined(FBQC_X86_VECTORS)
        if (hasCompressingVectors())
            i = splitWide(a, b, n, pivot, &below, &above);
#endif
        for (; i < n; ++i) {
            const T x = a[i];
            b[below] = x;
            below += x < pivot ? 1 : 0;
            b[n - 1 - above] = x;
            above += x > pivot ? 1 : 0;
        }
        // The side kept is ordered next from where it lies in b: the
        // other buffer, a, is free to split it into.
        T *kept = b;
        if (k < below) {
            n = below;
        } else if (k >= n - above) {
            k -= n - above;
            kept = b + n - above;
            n = above;
        } else {
            return pivot;
        }
        b = a;
        a = kept;
    }
    if (n <= SmallRun)
        return kthOfFew(a, n, k);
    std::nth_element(a, a + k, a + n);
    return a[k];
}

double robustRms(const TraceSamples &t, int from, int to)
{
    // The samples' own precision: half the data to order, the same median.
    const int n = std::max(0, to - from + 1);
    if (n == 0)
        return 0;
    // A noise window of the usual length is ordered on the stack, not in a
    // fresh allocation each time.
    constexpr int OnStack = 512;
    float local[2 * OnStack];
    std::unique_ptr<float[]> large(n > OnStack ? new float[2 * size_t(n)] : nullptr);
    float *a = large ? large.get() : local;
    const float *x = t.samples + from;
    int i = 0;
#if defined(__SSE2__)
    // Four at a time: the sign bits cleared, as fabs does.
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    for (; i + 4 <= n; i += 4)
        _mm_storeu_ps(a + i, _mm_and_ps(_mm_loadu_ps(x + i), magnitude));
#endif
    for (; i < n; ++i)
        a[i] = std::fabs(x[i]);
    return double(kthSmallest(a, a + n, n, n / 2)) * MedianToRms;
}

// A run of samples of one sign: [first, last], its extreme at peak.
struct Lobe
{
    int first = 0, last = 0, peak = 0;
    int sign = 0;
    double peakValue = 0; // |x| at peak
};

Lobe lobeAround(const TraceSamples &t, int j, int lo, int hi)
{
    Lobe l;
    l.sign = at(t, j) > 0 ? 1 : -1;
    l.first = j;
    while (l.first > lo && l.sign * at(t, l.first - 1) > 0)
        --l.first;
    // The peak over the part found so far, then on while the sign holds:
    // each sample after j read once.
    l.peak = l.first;
    auto update = [&](int i) {
        if (l.sign * at(t, i) > l.peakValue) {
            l.peakValue = l.sign * at(t, i);
            l.peak = i;
        }
    };
    int i = l.first;
    for (; i <= j; ++i)
        update(i);
    for (; i <= hi && l.sign * at(t, i) > 0; ++i)
        update(i);
    l.last = i - 1;
    return l;
}

// How long a lobe stands above a fifth of its peak: its length without the
// noise that may run into it at either end.
int loudLength(const TraceSamples &t, const Lobe &lobe)
{
    int n = 0;
    for (int i = lobe.first; i <= lobe.last; ++i)
        n += lobe.sign * at(t, i) >= LoudShare * lobe.peakValue ? 1 : 0;
    return n;
}

// The lobe after `previous`: the next swing of the other sign that reaches
// floor, from the change of sign before it to the one after it. A wiggle of
// noise across the crossing, smaller than floor, is passed over: taken for
// a lobe it would stand in for the arrival's next one and cut its cycle.
Lobe nextLobe(const TraceSamples &t, const Lobe &previous, int hi, double floor)
{
    const int sign = -previous.sign;
    int j = previous.last + 1;
    while (j <= hi && !(sign * at(t, j) > 0 && sign * at(t, j) >= floor))
        ++j;
    if (j > hi)
        return Lobe();
    return lobeAround(t, j, previous.last + 1, hi);
}

// Sub-sample position of an extreme at i, by a parabola through i-1..i+1.
double parabolicPeak(const TraceSamples &t, int i)
{
    if (i <= 0 || i >= t.count - 1)
        return i;
    const double a = at(t, i - 1), b = at(t, i), c = at(t, i + 1);
    const double d = a - 2 * b + c;
    return d == 0 ? i : i + 0.5 * (a - c) / d;
}

// The onset of `lobe`: where a parabola (a line on a short flank) fitted to
// its rising flank, from twice the noise's rms up to half its peak, leaves
// zero; kept within the lobe's start and its peak.
double flankOnset(const TraceSamples &t, const Lobe &lobe, double noiseRms)
{
    const double low = std::min(FlankLowRms * noiseRms, 0.25 * lobe.peakValue);
    // A clipped lobe's top is flat; its flank is true up to the clip.
    int atTop = 0;
    for (int i = lobe.first; i <= lobe.last; ++i)
        atTop += lobe.sign * at(t, i) >= lobe.peakValue * (1 - 1e-6) ? 1 : 0;
    const double high = (atTop >= ClippedSamples ? ClippedFlankTopShare : FlankTopShare) * lobe.peakValue;
    // The flank rises without a break to the peak; a bump of noise before
    // it is not part of it.
    int flankStart = lobe.peak;
    while (flankStart > lobe.first && lobe.sign * at(t, flankStart - 1) < lobe.sign * at(t, flankStart) &&
           lobe.sign * at(t, flankStart - 1) >= low)
        --flankStart;
    const double start =
        lobe.first > 0 ? crossing(lobe.first - 1, at(t, lobe.first - 1), at(t, lobe.first)) : double(lobe.first);
    // Least squares of y = c0 + c1 x + c2 x^2 (x from flankStart) and of the
    // line y = c0 + c1 x over the flank.
    double m[5] = {}, r[3] = {};
    for (int i = flankStart; i <= lobe.peak; ++i) {
        const double y = lobe.sign * at(t, i);
        if (y < low || y > high)
            continue;
        const double x = i - flankStart;
        double p = 1;
        for (int k = 0; k < 5; ++k, p *= x)
            m[k] += p;
        r[0] += y;
        r[1] += x * y;
        r[2] += x * x * y;
    }
    double onset = start;
    const double n = m[0];
    const double det2 = n * m[2] - m[1] * m[1];
    bool done = false;
    if (n >= QuadraticFlankSamples) {
        // 3x3 by Cramer's rule.
        auto det3 = [](double a, double b, double c, double d, double e, double f, double g, double h, double i) {
            return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
        };
        const double d = det3(m[0], m[1], m[2], m[1], m[2], m[3], m[2], m[3], m[4]);
        if (d != 0) {
            const double c0 = det3(r[0], m[1], m[2], r[1], m[2], m[3], r[2], m[3], m[4]) / d;
            const double c1 = det3(m[0], r[0], m[2], m[1], r[1], m[3], m[2], r[2], m[4]) / d;
            const double c2 = det3(m[0], m[1], r[0], m[1], m[2], r[1], m[2], m[3], r[2]) / d;
            const double disc = c1 * c1 - 4 * c2 * c0;
            if (c2 > 0) {
                onset = flankStart + (disc > 0 ? (-c1 + std::sqrt(disc)) / (2 * c2) : -c1 / (2 * c2));
                done = true;
            } else if (c2 < 0 && disc > 0) {
                onset = flankStart + (-c1 + std::sqrt(disc)) / (2 * c2);
                done = true;
            }
        }
    }
    if (!done && n >= 2 && det2 > 0) {
        const double slope = (n * r[1] - m[1] * r[0]) / det2;
        const double intercept = (r[0] - slope * m[1]) / n;
        if (slope > 0) {
            onset = flankStart - intercept / slope;
            done = true;
        }
    }
    if (!done && lobe.first > 0) {
        // Too steep for a flank of two samples: the last step out of the
        // noise below the flank, passing over a wiggle on it.
        int i = std::min(flankStart, lobe.peak);
        while (i > lobe.first && lobe.sign * at(t, i - 1) >= low)
            --i;
        const double a = lobe.sign * at(t, i - 1), b = lobe.sign * at(t, i);
        if (b > a)
            onset = i - 1 - a / (b - a);
    }
    return std::clamp(onset, start, double(lobe.peak));
}

// Mains hum over the noise before the window: the sinusoid at 50 or 60 Hz
// that explains most of [from, to), fitted by least squares. Its
// amplitudes of cos and sin from `from`, and the share of the samples'
// energy it explains.
struct Hum
{
    double omega = 0, cosine = 0, sine = 0, share = 0;
};

// A hum frequency's cos and sin at each sample from the start of a fit,
// and the running sums of their squares and product: the same for every
// trace of a sampling interval, so kept per thread rather than stepped
// again for each fit. Grown by the same rotation, so every value is the one
// a fit stepping alone reaches.
struct HumBasis
{
    double omega = 0, stepC = 1, stepS = 0;
    std::vector<double> c{1.0}, sn{0.0}, cc{0.0}, ss{0.0}, cs{0.0}; // cc[j]: the sum over the first j samples

    void reach(double w, int count)
    {
        if (w != omega) {
            *this = HumBasis();
            omega = w;
            stepC = std::cos(w);
            stepS = std::sin(w);
        }
        for (size_t j = c.size() - 1; j < size_t(count); ++j) {
            cc.push_back(cc[j] + c[j] * c[j]);
            ss.push_back(ss[j] + sn[j] * sn[j]);
            cs.push_back(cs[j] + c[j] * sn[j]);
            c.push_back(c[j] * stepC - sn[j] * stepS);
            sn.push_back(sn[j] * stepC + c[j] * stepS);
        }
    }
};

Hum fitHum(const TraceSamples &t, int from, int to)
{
    Hum best;
    // The frequencies whose cycles the samples hold enough of, each fitted
    // in one pass over the samples with their energy: the sums do not wait
    // on one another. Without one there is nothing to fit.
    constexpr double Mains[2] = {50.0, 60.0};
    thread_local HumBasis bases[2];
    const HumBasis *fits[2];
    int count = 0;
    for (int h = 0; h < 2; ++h) {
        const double omega = 2 * Pi * Mains[h] * t.sampleIntervalMs / 1000;
        if (omega >= Pi || (to - from) * omega < 2 * Pi * HumCycles)
            continue;
        bases[h].reach(omega, to - from);
        fits[count++] = &bases[h];
    }
    if (count == 0)
        return best;
    double energy = 0, xc[2] = {0, 0}, xs[2] = {0, 0};
    const float *x = t.samples + from;
    const int n = to - from;
    if (count == 2) {
        const double *c0 = fits[0]->c.data(), *s0 = fits[0]->sn.data();
        const double *c1 = fits[1]->c.data(), *s1 = fits[1]->sn.data();
        for (int j = 0; j < n; ++j) {
            const double v = double(x[j]);
            energy += v * v;
            xc[0] += v * c0[j], xs[0] += v * s0[j];
            xc[1] += v * c1[j], xs[1] += v * s1[j];
        }
    } else {
        const double *c0 = fits[0]->c.data(), *s0 = fits[0]->sn.data();
        for (int j = 0; j < n; ++j) {
            const double v = double(x[j]);
            energy += v * v;
            xc[0] += v * c0[j], xs[0] += v * s0[j];
        }
    }
    if (energy <= 0)
        return best;
    for (int k = 0; k < count; ++k) {
        const HumBasis &f = *fits[k];
        const double cc = f.cc[size_t(n)], ss = f.ss[size_t(n)], cs = f.cs[size_t(n)];
        const double det = cc * ss - cs * cs;
        if (det <= 0)
            continue;
        const double a = (xc[k] * ss - xs[k] * cs) / det, b = (xs[k] * cc - xc[k] * cs) / det;
        const double explained = (a * xc[k] + b * xs[k]) / energy;
        if (explained > best.share)
            best = Hum{f.omega, a, b, explained};
    }
    return best;
}

int clampIndex(double i, int count)
{
    if (!(i > 0))
        return 0;
    if (i >= count - 1)
        return count - 1;
    return int(i);
}

// Whether an onset read after the window's end counts. The first lobe is
// taken up to a look-back past the end, for an arrival whose start hides in
// the noise; the onset then read may still lie after the end.
enum class WindowEnd {
    // Not found: the caller asked for an arrival starting in the window (a
    // trace picked alone, a click snapped).
    Strict,
    // Kept: a gather's own searches judge the onset against the neighbours'
    // line rather than the window.
    LookBack,
};

// What the samples are: one trace, a trace so near the source that the air
// wave leaves with the first break (its short lobes are not passed over), or
// a stack of a gather's traces.
enum class Samples { Trace, TraceAtSource, Stack };

OnsetPick pickCleaned(const TraceSamples &t, int a, int b, int lo, int hi, const OnsetPickerSettings &s, Samples kind);

OnsetPick pickInRange(const TraceSamples &t, double fromMs, double toMs, const OnsetPickerSettings &s,
                      WindowEnd end = WindowEnd::Strict, Samples kind = Samples::Trace)
{
    if (!t.samples || t.count < 4 || !usableInterval(t.sampleIntervalMs) || !(fromMs <= toMs))
        return OnsetPick();
    const double dt = t.sampleIntervalMs;
    const double fromIndex = t.indexOf(fromMs), toIndex = t.indexOf(toMs);
    if (toIndex < 0 || fromIndex > t.count - 1)
        return OnsetPick();
    const int margin = int(std::ceil(MarginMs / dt));
    const int a = std::max(1, clampIndex(std::ceil(fromIndex), t.count));
    const int b = std::min(t.count - 2, clampIndex(toIndex, t.count));
    const int lo = std::max(0, a - margin);
    const int hi = int(std::min<qint64>(t.count - 1, qint64(b) + margin));
    if (a > b || hi - lo < 4)
        return OnsetPick();

    // Hum that rules the noise before the window is taken off a copy of the
    // trace first: it would hide a weak first break and pass for the noise.
    std::vector<float> cleaned;
    const Hum hum = fitHum(t, std::max(0, a - int(std::ceil(HumFitMs / dt))), a);
    if (hum.share >= HumShare) {
        cleaned.assign(t.samples, t.samples + t.count);
        const double stepC = std::cos(hum.omega), stepS = std::sin(hum.omega);
        const int from = std::max(0, a - int(std::ceil(HumFitMs / dt)));
        double c = 1, sn = 0;
        for (int i = from; i <= hi; ++i) {
            cleaned[size_t(i)] -= float(hum.cosine * c + hum.sine * sn);
            const double next = c * stepC - sn * stepS;
            sn = sn * stepC + c * stepS;
            c = next;
        }
    }
    const OnsetPick pick =
        pickCleaned(cleaned.empty() ? t : TraceSamples{cleaned.data(), t.count, t.firstSampleMs, t.sampleIntervalMs}, a,
                    b, lo, hi, s, kind);
    return end == WindowEnd::Strict && pick.onsetMs > toMs ? OnsetPick() : pick;
}

// A gather's own search around predictedMs: see WindowEnd::LookBack.
OnsetPick searchNear(const TraceSamples &trace, double predictedMs, const OnsetPickerSettings &settings)
{
    return pickInRange(trace, predictedMs - settings.windowMs, predictedMs + settings.windowMs, settings,
                       WindowEnd::LookBack);
}

OnsetPick pickCleaned(const TraceSamples &t, int a, int b, int lo, int hi, const OnsetPickerSettings &s, Samples kind)
{
    OnsetPick pick;
    const double dt = t.sampleIntervalMs;
    const int margin = int(std::ceil(MarginMs / dt));
    const double periodSamples = usablePeriod(s.periodMs) ? s.periodMs / dt : 0;
    const int energyLength =
        std::max(MinimumEnergySamples, int(std::lround(periodSamples > 0 ? periodSamples / 2 : EnergyMs / dt)));
    const int coarse = energyRatioOnset(t, lo, hi, a, b, energyLength);

    const int lookBack = std::max(1, int(periodSamples > 0 ? LookBackPeriods * periodSamples : LookBackMs / dt));
    // The noise before the arrival; near the trace's start, what there is
    // before the coarse onset. Too little of it leaves the level unknown.
    int noiseEnd = coarse - lookBack - 1;
    const bool atStart = noiseEnd - lo + 1 < MinimumNoiseSamples;
    if (atStart)
        noiseEnd = coarse - 1;
    const int noiseStart = std::max(lo, noiseEnd - margin);
    bool noiseKnown = noiseEnd - noiseStart + 1 >= MinimumNoiseSamples;
    double noise = noiseKnown ? robustRms(t, noiseStart, noiseEnd) : 0;
    // At the source the arrival fills the first samples, and what lies
    // before the coarse onset is the arrival itself: the noise is read at
    // the trace's end too, and the quieter of the two taken.
    const int tailStart = std::max(hi + 1, t.count - margin);
    if (atStart && t.count - tailStart >= MinimumNoiseSamples) {
        const double tail = robustRms(t, tailStart, t.count - 1);
        noise = noiseKnown ? std::min(noise, tail) : tail;
        noiseKnown = true;
    }

    const int strengthEnd = std::min(hi, coarse + int(periodSamples > 0 ? periodSamples : MarginMs / 2 / dt));
    double strength = 0;
    int i = coarse;
#if defined(__SSE2__)
    // Four magnitudes at a time; a NaN sample is passed over, as below.
    if (strengthEnd - i >= 3) {
        const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
        __m128 largest = _mm_setzero_ps();
        for (; i + 3 <= strengthEnd; i += 4)
            largest = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(t.samples + i), magnitude), largest);
        float lanes[4];
        _mm_storeu_ps(lanes, largest);
        strength = double(std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3])));
    }
#endif
    for (; i <= strengthEnd; ++i)
        strength = std::max(strength, std::fabs(at(t, i)));
    if (strength == 0)
        return pick;
    // Noise-free samples: any motion is the arrival. Unknown noise: only a
    // lobe of the arrival's own size, never a confident one.
    const bool quiet = noiseKnown && noise < strength * 1e-6;
    const double noiseRms = quiet ? strength * 1e-6 : noiseKnown ? noise : strength / MinimumDetection;
    const double threshold =
        noiseRms * (kind == Samples::Stack && noiseKnown
                        ? StackDetection
                        : std::clamp(DetectionShare * strength / noiseRms, MinimumDetection, MaximumDetection));

    Lobe first;
    int j = std::max(lo + 1, coarse - lookBack);
    for (int tries = 0; j <= hi && tries < MaximumLobes; ++tries) {
        while (j <= hi && std::fabs(at(t, j)) <= threshold)
            ++j;
        if (j > hi)
            return pick;
        Lobe lobe = lobeAround(t, j, lo, hi);
        if (lobe.first > b + lookBack)
            return pick; // the first thing out of the noise starts after the window
        const bool shortLobe = periodSamples > 0 && kind != Samples::TraceAtSource &&
                               loudLength(t, lobe) < ShortLobeShare * periodSamples / 2;
        // Before the coarse onset only a lobe of the arrival's own size is
        // taken: the noise there crosses a weak arrival's margin now and then.
        const bool earlyNoise = lobe.peak < coarse && lobe.peakValue < EarlyLobeShare * strength;
        if (!shortLobe && !earlyNoise) {
            first = lobe;
            break;
        }
        j = lobe.last + 1;
    }
    if (first.sign == 0)
        return pick;

    double onset = flankOnset(t, first, quiet ? 0 : noiseRms);
    // The lobes after the first are followed to their ends past the
    // search's margin: a low-pitched arrival's first cycles outlast it, and
    // a lobe cut off there would measure its period short.
    const double swing = quiet || !noiseKnown ? 0 : SwingRms * noiseRms;
    const Lobe second = nextLobe(t, first, t.count - 1, swing);
    const Lobe third = second.sign != 0 ? nextLobe(t, second, t.count - 1, swing) : Lobe();
    auto endOf = [&](const Lobe &l) {
        return crossing(l.last, at(t, l.last), l.last + 1 < t.count ? at(t, l.last + 1) : 0);
    };
    const double firstEnd = endOf(first);
    // One whole cycle from the first lobe's end to the third's: the
    // zero crossings are where the waveform is steepest, so the noise moves
    // them least.
    const double cycle = third.sign != 0 ? endOf(third) - firstEnd : NaN;
    // Judged against the noise just before the onset as well: an arrival
    // already growing there (an emergent one, its first cycles hidden) has
    // no confident onset.
    const int lead = std::max(MinimumEnergySamples, periodSamples > 0 ? int(periodSamples) : 2 * energyLength);
    auto leadRmsBefore = [&](double at0) {
        double energy = 0;
        int count = 0;
        for (int i = std::max(0, int(std::floor(at0)) - lead); i < int(std::floor(at0)); ++i, ++count)
            energy += at(t, i) * at(t, i);
        return count ? std::sqrt(energy / count) : 0.0;
    };
    // An arrival whose energy builds over its first cycle (its second lobe
    // as strong as its first or stronger) starts too gently for its flank to
    // show where: the first motion hides in the noise for a good part of the
    // first lobe and the flank's extrapolation lands late. Its first lobe's
    // end does show, half a period after the onset, so the onset is read
    // there. An impulsive arrival (its first lobe the strongest) starts at
    // full slope and is read on its flank.
    // Not where the noise is nil (the flank then shows from its first
    // sample) nor where something else still rings before the arrival (its
    // lobes move the first lobe's end).
    const double halfPeriod = (periodSamples > 0 ? periodSamples : cycle) / 2;
    // The reading stays within the part of the lobe the noise can hide
    // before the flank's onset: further off, the lobes taken are not the
    // arrival's first two (noise before it, or a later arrival after).
    // The level before the onset is measured once where the onset stays on
    // the same sample.
    double leadRms = -1;
    if (!quiet && second.sign != 0 && second.peakValue >= first.peakValue && halfPeriod > 0) {
        leadRms = leadRmsBefore(onset);
        const double read = firstEnd - halfPeriod;
        if (leadRms <= RingingLead * noiseRms && read >= onset - HiddenShare * halfPeriod &&
            read <= onset + LateShare * halfPeriod) {
            if (std::floor(read) != std::floor(onset))
                leadRms = -1;
            onset = read;
        }
    }
    pick.found = true;
    pick.polarity = first.sign;
    pick.onsetMs = t.timeOf(onset);
    if (leadRms < 0)
        leadRms = leadRmsBefore(onset);
    pick.confidence = first.peakValue / std::max(noiseRms, leadRms);
    if (std::isfinite(cycle) && cycle > 0)
        pick.cycleMs = cycle * dt;
    if (second.sign != 0)
        pick.periodMs = (endOf(second) - onset) * dt;
    else
        pick.periodMs = 2 * (firstEnd - onset) * dt;
    switch (s.phase) {
    case PickPhase::Onset:
        pick.timeMs = pick.onsetMs;
        break;
    case PickPhase::FirstPeak:
    case PickPhase::FirstTrough: {
        const int wanted = s.phase == PickPhase::FirstPeak ? 1 : -1;
        const Lobe &lobe = first.sign == wanted ? first : second;
        if (lobe.sign == wanted)
            pick.timeMs = t.timeOf(parabolicPeak(t, lobe.peak));
        else
            pick.found = false;
        break;
    }
    case PickPhase::ZeroCrossing:
        pick.timeMs = t.timeOf(firstEnd);
        break;
    }
    return pick;
}

// Normalised correlation of trace a from aMs and trace b from bMs over
// `length` samples of a's interval (b read between its samples).
double correlation(const TraceSamples &a, double aMs, const TraceSamples &b, double bMs, int length)
{
    const double ai = a.indexOf(aMs), bi = b.indexOf(bMs);
    const int a0 = int(std::lround(ai));
    const double step = a.sampleIntervalMs / b.sampleIntervalMs;
    double ab = 0, aa = 0, bb = 0;
    for (int k = 0; k < length; ++k) {
        const int ia = a0 + k;
        const double xb = bi + k * step;
        const int ib = int(std::floor(xb));
        if (ia < 0 || ia >= a.count || ib < 0 || ib + 1 >= b.count)
            continue;
        const double f = xb - ib;
        const double va = at(a, ia);
        const double vb = (1 - f) * at(b, ib) + f * at(b, ib + 1);
        ab += va * vb;
        aa += va * va;
        bb += vb * vb;
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

// The best correlation of trace b's waveform against a's from half a period
// before aMs, with b shifted by `lag` ms give or take a quarter period.
double bestCorrelation(const TraceSamples &a, double aMs, const TraceSamples &b, double lag, double periodMs)
{
    const double dt = a.sampleIntervalMs;
    const int length = std::max(4, int(std::lround(CorrelationPeriods * periodMs / dt)));
    const double before = periodMs / 2;
    const int reach = std::max(1, int(std::lround(periodMs / 4 / dt)));
    double best = -1;
    for (int k = -reach; k <= reach; ++k)
        best = std::max(best, correlation(a, aMs - before, b, aMs - before + lag + k * dt, length));
    return best;
}

double median(QVector<double> v)
{
    if (v.isEmpty())
        return NaN;
    // The few slopes and times of a trace's neighbours, ordered on the stack.
    constexpr int OnStack = 64;
    double local[OnStack];
    std::vector<double> large(v.size() > OnStack ? size_t(v.size()) : 0);
    return kthSmallest(v.data(), large.empty() ? local : large.data(), v.size(), v.size() / 2);
}

// The slope of a robust line through the points (x(k), y(k)) of
// ks[0..count): the median of the slopes between every pair of them, so one
// wild point moves it little. NaN when no two differ in x. slopes is
// scratch, kept by the caller so that following a shot allocates once.
template<typename X, typename Y>
double medianPairSlope(const int *ks, size_t count, X x, Y y, std::vector<double> *slopes)
{
    // Each point's coordinates taken once, then the slopes in pairs' order,
    // then as many again for the selection's scratch (the pairs' random
    // order would mispredict a sorting branch every other slope).
    slopes->resize(2 * count + count * (count > 0 ? count - 1 : 0));
    double *xs = slopes->data(), *ys = xs + count, *out = ys + count;
    for (size_t a = 0; a < count; ++a) {
        xs[a] = x(ks[a]);
        ys[a] = y(ks[a]);
    }
    size_t m = 0;
    for (size_t a = 0; a < count; ++a) {
        size_t b = a + 1;
#if defined(__SSE2__)
        // Two slopes a division where neither pair has the same x.
        const __m128d xa = _mm_set1_pd(xs[a]), ya = _mm_set1_pd(ys[a]);
        for (; b + 2 <= count; b += 2) {
            const __m128d d = _mm_sub_pd(_mm_loadu_pd(xs + b), xa);
            if (_mm_movemask_pd(_mm_cmpeq_pd(d, _mm_setzero_pd())) != 0)
                break;
            _mm_storeu_pd(out + m, _mm_div_pd(_mm_sub_pd(_mm_loadu_pd(ys + b), ya), d));
            m += 2;
        }
#endif
        for (; b < count; ++b) {
            const double d = xs[b] - xs[a];
            if (d != 0)
                out[m++] = (ys[b] - ys[a]) / d;
        }
    }
    if (m == 0)
        return NaN;
    return kthSmallest(out, out + m, int(m), int(m / 2));
}

// A trace's sample at a fractional index, 0 outside it.
double sampleAt(const TraceSamples &t, double index)
{
    // Bounded in double before converting: a pick far off the trace stays
    // defined.
    if (!(index >= 0 && index < t.count - 1))
        return 0;
    const int i = int(index);
    const double f = index - i;
    return (1 - f) * at(t, i) + f * at(t, i + 1);
}

// Traces too weak to judge on their own are judged against their
// neighbours: the waveforms of up to StackNeighbours picked traces on each
// side, lined up at their picks and stacked (each at unit energy), stand out
// of the noise where one trace does not. A weak trace whose waveform lines
// up with that stack a period away from its pick, by the margin better than
// at its pick, has a skipped pick. Twice: the second time without the
// skipped picks found, whose traces would pull a run's stack their way.
// Field records mix wavelets: a weak trace whose onset rings measurably is
// stacked only with neighbours ringing like it (a lower-pitched emergent
// onset matches sharp neighbours a cycle off as well as at its pick), and
// stays too weak to judge with fewer than MinimumStack of them.
void judgeWeakByNeighbours(const ShotGather &gather, const QVector<double> &picksMs, double period, double margin,
                           const QVector<int> &skip, WaveformCheck *check)
{
    const int n = gather.traceCount();
    const double dt = gather.sampleIntervalMs;
    const int length = std::max(4, int(std::lround(CorrelationPeriods * period / dt)));
    const double before = period / 2;
    const int reach = std::max(1, int(std::lround(period / StackReachShare / dt)));
    auto hasPick = [&](int i) { return std::isfinite(picksMs[i]) && picksMs[i] > gather.firstSampleMs; };
    auto weak = [&](int i) { return hasPick(i) && check->traces[i].verdict == WaveformVerdict::TooWeak; };
    auto stackable = [&](int k) {
        const WaveformVerdict v = check->traces[k].verdict;
        return hasPick(k) && skip[k] == 0 && v != WaveformVerdict::OffOnset && v != WaveformVerdict::CycleSkip &&
               v != WaveformVerdict::NotJudged;
    };
    std::vector<double> stack(static_cast<size_t>(length));
    std::vector<double> window(static_cast<size_t>(length + 2 * reach));
    // The best normalised correlation of the stack with trace i from
    // startMs, give or take `reach` samples.
    auto correlate = [&](const TraceSamples &t, double startMs) {
        const double first = t.indexOf(startMs) - reach;
        for (size_t j = 0; j < window.size(); ++j)
            window[j] = sampleAt(t, first + double(j) * dt / t.sampleIntervalMs);
        double best = -1;
        for (int lag = 0; lag <= 2 * reach; ++lag) {
            double ab = 0, bb = 0;
            for (int j = 0; j < length; ++j) {
                const double b = window[size_t(lag + j)];
                ab += stack[size_t(j)] * b;
                bb += b * b;
            }
            best = std::max(best, bb > 0 ? ab / std::sqrt(bb) : 0.0);
        }
        return best;
    };
    // Each trace's ringing read once, and only near weak traces.
    std::vector<double> ringing(static_cast<size_t>(n), NaN);
    std::vector<bool> read(static_cast<size_t>(n), false);
    for (int i = 0; i < n; ++i)
        for (int k = std::max(0, i - StackNeighbours); weak(i) && k <= std::min(n - 1, i + StackNeighbours); ++k)
            if (hasPick(k) && !read[size_t(k)]) {
                read[size_t(k)] = true;
                ringing[size_t(k)] = ringingPeriod(traceOf(gather, k), picksMs[k] - before, period);
            }
    QVector<double> cycles;
    for (double r : ringing)
        if (std::isfinite(r))
            cycles.append(r);
    const double shotCycle = median(cycles);
    // A neighbour whose ringing is lost in the noise is taken as ringing
    // like the shot.
    auto ringsLike = [&](int i, int k) {
        const double a = ringing[size_t(i)], b = ringing[size_t(k)];
        return std::isnan(a) || ringsAlike(a, std::isfinite(b) ? b : shotCycle);
    };
    std::vector<int> side(static_cast<size_t>(n));
    for (int pass = 0; pass < 2; ++pass) {
        std::fill(side.begin(), side.end(), 0);
        for (int i = 0; i < n; ++i) {
            if (!weak(i))
                continue;
            std::fill(stack.begin(), stack.end(), 0.0);
            int used = 0;
            for (int k = std::max(0, i - StackNeighbours); k <= std::min(n - 1, i + StackNeighbours); ++k) {
                if (k == i || !stackable(k) || !ringsLike(i, k))
                    continue;
                const TraceSamples t = traceOf(gather, k);
                const double first = t.indexOf(picksMs[k] - before);
                double energy = 0;
                for (int j = 0; j < length; ++j) {
                    window[size_t(j)] = sampleAt(t, first + j * dt / t.sampleIntervalMs);
                    energy += window[size_t(j)] * window[size_t(j)];
                }
                if (energy <= 0)
                    continue;
                for (int j = 0; j < length; ++j)
                    stack[size_t(j)] += window[size_t(j)] / std::sqrt(energy);
                ++used;
            }
            double stackEnergy = 0;
            for (double v : stack)
                stackEnergy += v * v;
            if (used < MinimumStack || stackEnergy <= 0)
                continue;
            for (double &v : stack)
                v /= std::sqrt(stackEnergy);
            const TraceSamples t = traceOf(gather, i);
            const double here = correlate(t, picksMs[i] - before);
            const double late = correlate(t, picksMs[i] - period - before); // the pick a period late
            const double early = correlate(t, picksMs[i] + period - before);
            side[size_t(i)] = late >= here + margin && late >= early && late >= WeakMatchFloor ? 1
                              : early >= here + margin && early >= WeakMatchFloor              ? -1
                                                                                               : 0;
        }
        // One weak trace alone is not a run: the noise lines one up a period
        // off now and then. A neighbour must be off the same way.
        auto offAs = [&](int k, int way) {
            if (k < 0 || k >= n)
                return false;
            const WaveformJudgement &j = check->traces[k];
            return side[size_t(k)] == way ||
                   (j.verdict == WaveformVerdict::CycleSkip && (j.displacementMs > 0 ? 1 : -1) == way);
        };
        for (int i = 0; i < n; ++i) {
            const int way = side[size_t(i)];
            if (way == 0 || !(offAs(i - 1, way) || offAs(i + 1, way)))
                continue;
            WaveformJudgement &j = check->traces[i];
            j.verdict = WaveformVerdict::CycleSkip;
            j.displacementMs = way * period;
            j.onsetMs = picksMs[i] - way * period;
        }
    }
    // Runs counted again: the weak traces named may extend or join them.
    check->cycleSkipRuns = 0;
    for (int i = 0; i < n; ++i)
        if (check->traces[i].verdict == WaveformVerdict::CycleSkip &&
            (i == 0 || check->traces[i - 1].verdict != WaveformVerdict::CycleSkip))
            ++check->cycleSkipRuns;
}

#if defined(FBQC_X86_VECTORS)
// resample's interpolation four samples a step, for processors with 256-bit
// vectors: out[j] = g * x[i0 + j] + f * x[i0 + j + 1] for j in [from, to) while four
// are left, each as one at a time (no fused multiply-add). Returns where it
// stopped.
__attribute__((target("avx2"))) int wideInterpolation(const float *x, int i0, double g, double f, int from, int to,
                                                      double *out)
{
    const __m256d gs = _mm256_set1_pd(g), fs = _mm256_set1_pd(f);
    int j = from;
    for (; j + 3 < to; j += 4) {
        const float *at = x + (i0 + j);
        const __m256d a = _mm256_cvtps_pd(_mm_loadu_ps(at)), b = _mm256_cvtps_pd(_mm_loadu_ps(at + 1));
        _mm256_storeu_pd(out + j, _mm256_add_pd(_mm256_mul_pd(gs, a), _mm256_mul_pd(fs, b)));
    }
    return j;
}
#endif

// Rows of a gather's windows added, taken apart and scaled value by value,
// two at a time where the processor has the vectors: the same values as one
// at a time. out may be a or b.
void addRows(const double *a, const double *b, double *out, size_t n)
{
    size_t j = 0;
#if defined(__SSE2__)
    for (; j + 2 <= n; j += 2)
        _mm_storeu_pd(out + j, _mm_add_pd(_mm_loadu_pd(a + j), _mm_loadu_pd(b + j)));
#endif
    for (; j < n; ++j)
        out[j] = a[j] + b[j];
}

void subtractRows(const double *a, const double *b, double *out, size_t n)
{
    size_t j = 0;
#if defined(__SSE2__)
    for (; j + 2 <= n; j += 2)
        _mm_storeu_pd(out + j, _mm_sub_pd(_mm_loadu_pd(a + j), _mm_loadu_pd(b + j)));
#endif
    for (; j < n; ++j)
        out[j] = a[j] - b[j];
}

void scaleRow(double *row, double by, size_t n)
{
    size_t j = 0;
#if defined(__SSE2__)
    const __m128d f = _mm_set1_pd(by);
    for (; j + 2 <= n; j += 2)
        _mm_storeu_pd(row + j, _mm_mul_pd(_mm_loadu_pd(row + j), f));
#endif
    for (; j < n; ++j)
        row[j] *= by;
}

// The energy of `count` rows of `width` values, `stride` apart, each summed
// in its values' order: out[r] the whole sum, or with `running` the sums so
// far (out[r * (width + 1) + j], from 0 before the first value). Four rows
// go side by side, so that their chains of additions overlap instead of
// each waiting on its previous step; every sum is the one a row alone gets.
void rowEnergies(const double *rows, size_t stride, size_t width, int count, bool running, double *out)
{
    const size_t outStride = running ? width + 1 : 1;
    int r = 0;
    for (; r + 4 <= count; r += 4) {
        const double *a = rows + size_t(r) * stride, *b = a + stride, *c = b + stride, *d = c + stride;
        double *oa = out + size_t(r) * outStride, *ob = oa + outStride, *oc = ob + outStride, *od = oc + outStride;
        double ea = 0, eb = 0, ec = 0, ed = 0;
        if (running) {
            oa[0] = ob[0] = oc[0] = od[0] = 0;
            for (size_t j = 0; j < width; ++j) {
                oa[j + 1] = ea += a[j] * a[j];
                ob[j + 1] = eb += b[j] * b[j];
                oc[j + 1] = ec += c[j] * c[j];
                od[j + 1] = ed += d[j] * d[j];
            }
        } else {
            for (size_t j = 0; j < width; ++j) {
                ea += a[j] * a[j];
                eb += b[j] * b[j];
                ec += c[j] * c[j];
                ed += d[j] * d[j];
            }
            oa[0] = ea, ob[0] = eb, oc[0] = ec, od[0] = ed;
        }
    }
    for (; r < count; ++r) {
        const double *a = rows + size_t(r) * stride;
        double *oa = out + size_t(r) * outStride;
        double ea = 0;
        if (running)
            oa[0] = 0;
        for (size_t j = 0; j < width; ++j) {
            ea += a[j] * a[j];
            if (running)
                oa[j + 1] = ea;
        }
        if (!running)
            oa[0] = ea;
    }
}

#if defined(FBQC_X86_VECTORS)
// The gather stage's lag scores four lags a step, for processors with
// 256-bit vectors: out[c] = step * ab[c] / sqrt(bb) with bb the trace's
// energy over the window of lag c * by (energy[c * by + length] -
// energy[c * by]), 0 where bb is not above 0, each as one lag at a time.
// Returns where it stopped.
__attribute__((target("avx2"))) int wideScores(const double *ab, const double *energy, int by, int length, int step,
                                               int count, double *out)
{
    const __m256d steps = _mm256_set1_pd(step), zero = _mm256_setzero_pd();
    int c = 0;
    for (; c + 3 < count; c += 4) {
        const double *at = energy + size_t(c) * size_t(by);
        const size_t d = size_t(by);
        const __m256d bb =
            _mm256_sub_pd(_mm256_set_pd(at[3 * d + length], at[2 * d + length], at[d + length], at[length]),
                          _mm256_set_pd(at[3 * d], at[2 * d], at[d], at[0]));
        const __m256d v = _mm256_div_pd(_mm256_mul_pd(steps, _mm256_loadu_pd(ab + c)), _mm256_sqrt_pd(bb));
        _mm256_storeu_pd(out + c, _mm256_and_pd(_mm256_cmp_pd(bb, zero, _CMP_GT_OQ), v));
    }
    return c;
}
#endif

// Lags a vector of sums holds: correlations() reads and writes up to this
// many values past its last lag's.
constexpr int CorrelationLanes = 4;

#if defined(FBQC_X86_VECTORS)
// correlations() for Vectors * 4 lags from out, for processors with 256-bit
// vectors: each lag a lane, so that one pass over the samples carries all of
// their sums at once instead of a chain of additions after another.
template<int Vectors>
__attribute__((target("avx2"))) void wideCorrelations(const double *x, int steps, const double *y, double *out)
{
    // Each vector's sum a variable of its own, kept in a register.
    __m256d s0 = _mm256_setzero_pd(), s1 = s0, s2 = s0, s3 = s0, s4 = s0, s5 = s0;
    for (int m = 0; m < steps; ++m) {
        const __m256d xm = _mm256_broadcast_sd(x + m);
        const double *at = y + m;
        s0 = _mm256_add_pd(s0, _mm256_mul_pd(xm, _mm256_loadu_pd(at)));
        if constexpr (Vectors > 1)
            s1 = _mm256_add_pd(s1, _mm256_mul_pd(xm, _mm256_loadu_pd(at + 4)));
        if constexpr (Vectors > 2)
            s2 = _mm256_add_pd(s2, _mm256_mul_pd(xm, _mm256_loadu_pd(at + 8)));
        if constexpr (Vectors > 3)
            s3 = _mm256_add_pd(s3, _mm256_mul_pd(xm, _mm256_loadu_pd(at + 12)));
        if constexpr (Vectors > 4)
            s4 = _mm256_add_pd(s4, _mm256_mul_pd(xm, _mm256_loadu_pd(at + 16)));
        if constexpr (Vectors > 5)
            s5 = _mm256_add_pd(s5, _mm256_mul_pd(xm, _mm256_loadu_pd(at + 20)));
    }
    const __m256d sums[6] = {s0, s1, s2, s3, s4, s5};
    for (int v = 0; v < Vectors; ++v)
        _mm256_storeu_pd(out + 4 * v, sums[v]);
}
#endif

// out[c] = the sum over m < steps of x[m] * y[c + m] for c < count, each
// summed in m's order, a multiply and then an add (no fused multiply-add),
// so that a lag's sum is the same however many are taken together.
void correlations(const double *x, int steps, const double *y, int count, double *out)
{
    int c = 0;
#if defined(FBQC_X86_VECTORS)
    if (hasWideVectors()) {
        // Up to six vectors of sums at a time: the additions of one pass
        // then keep the processor busy instead of waiting on each other.
        for (; c < count; c += 24) {
            switch (std::min(6, (count - c + 3) / 4)) {
            case 1:
                wideCorrelations<1>(x, steps, y + c, out + c);
                break;
            case 2:
                wideCorrelations<2>(x, steps, y + c, out + c);
                break;
            case 3:
                wideCorrelations<3>(x, steps, y + c, out + c);
                break;
            case 4:
                wideCorrelations<4>(x, steps, y + c, out + c);
                break;
            case 5:
                wideCorrelations<5>(x, steps, y + c, out + c);
                break;
            default:
                wideCorrelations<6>(x, steps, y + c, out + c);
                break;
            }
        }
        return;
    }
#endif
    // Four lags share each pass, their sums no longer waiting on one another.
    for (; c + 4 <= count; c += 4) {
        const double *o = y + c;
        double ab0 = 0, ab1 = 0, ab2 = 0, ab3 = 0;
        for (int m = 0; m < steps; ++m) {
            ab0 += x[m] * o[m];
            ab1 += x[m] * o[m + 1];
            ab2 += x[m] * o[m + 2];
            ab3 += x[m] * o[m + 3];
        }
        out[c] = ab0;
        out[c + 1] = ab1;
        out[c + 2] = ab2;
        out[c + 3] = ab3;
    }
    for (; c < count; ++c) {
        double ab = 0;
        for (int m = 0; m < steps; ++m)
            ab += x[m] * y[c + m];
        out[c] = ab;
    }
}

// A trace's samples at the fractional indices first, first + 1, ... (count
// of them), 0 outside it: one interpolation weight for the whole run.
template<typename T>
void resample(const TraceSamples &t, double first, int count, T *out)
{
    // Bounded in double before converting, as in sampleAt.
    if (!(first > -double(count) - 1 && first < double(t.count))) {
        std::fill(out, out + count, T(0));
        return;
    }
    const double whole = std::floor(first);
    const double f = first - whole, g = 1 - f;
    const int i0 = int(whole);
    // Zero before and after the trace, interpolated within it.
    const int inFrom = std::clamp(-i0, 0, count), inTo = std::clamp(t.count - 1 - i0, inFrom, count);
    std::fill(out, out + inFrom, T(0));
    const float *x = t.samples;
    int j = inFrom;
#if defined(__SSE2__)
    if constexpr (std::is_same<T, double>::value) {
        // Two at a time, each as below; the pairs of samples loaded and
        // widened together.
#if defined(FBQC_X86_VECTORS)
        if (hasWideVectors())
            j = wideInterpolation(x, i0, g, f, j, inTo, out);
#endif
        const __m128d gs = _mm_set1_pd(g), fs = _mm_set1_pd(f);
        auto pairAt = [x](int i) {
            return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(x + i))));
        };
        for (; j + 1 < inTo; j += 2) {
            const __m128d a = pairAt(i0 + j);
            const __m128d b = pairAt(i0 + j + 1);
            _mm_storeu_pd(out + j, _mm_add_pd(_mm_mul_pd(gs, a), _mm_mul_pd(fs, b)));
        }
    }
#endif
    for (; j < inTo; ++j)
        out[j] = T(g * double(x[i0 + j]) + f * double(x[i0 + j + 1]));
    std::fill(out + inTo, out + count, T(0));
}

// Traces on opposite sides of the source (offsets of opposite sign) do not
// continue one moveout; a trace at the source, or headers without offsets,
// go with either side.
bool sameSideOfSource(const ShotGather &gather, int i, int k)
{
    const double a = gather.headers[i].offset, b = gather.headers[k].offset;
    return !(a < 0 && b > 0) && !(a > 0 && b < 0);
}

// Which traces' own picks lie on the direct wave of a shot over a slow top
// layer (see DirectWaveMs): 1 for those, 2 for the traces at the source of
// such a shot, 0 for the rest and for every trace of a shot that shows no
// such bend.
std::vector<char> onDirectWave(const ShotGather &gather, const std::vector<OnsetPick> &picks)
{
    const int n = gather.traceCount();
    std::vector<char> direct(static_cast<size_t>(n), 0);
    std::vector<double> slopes;
    for (int side : {-1, 1}) {
        std::vector<int> out; // the side's traces, nearest the source first
        for (int i = 0; i < n; ++i)
            if (gather.headers[i].offset * side > 0)
                out.push_back(i);
        const auto distance = [&](int i) { return std::fabs(gather.headers[i].offset); };
        std::stable_sort(out.begin(), out.end(), [&](int a, int b) { return distance(a) < distance(b); });
        // The direct wave's slowness through the source and each pick in
        // turn, while the next pick stays on it.
        size_t on = 0;
        double slowness = NaN;
        for (; on < out.size(); ++on) {
            const OnsetPick &p = picks[size_t(out[on])];
            if (!p.found || p.onsetMs <= 0)
                break;
            if (on > 0 && std::fabs(p.onsetMs - slowness * distance(out[on])) > DirectWaveMs)
                break;
            slowness = p.onsetMs / distance(out[on]);
        }
        // Past the bend the faster wave comes first: the pick that left the
        // line must be early on it, not late or missing.
        if (on < size_t(DirectWavePicks) || on == out.size() || !picks[size_t(out[on])].found ||
            picks[size_t(out[on])].onsetMs > slowness * distance(out[on]) - DirectWaveMs)
            continue;
        std::vector<int> beyond;
        for (size_t k = on; k < out.size() && beyond.size() < size_t(GatherNeighbours); ++k)
            if (picks[size_t(out[k])].found)
                beyond.push_back(out[k]);
        if (beyond.size() < size_t(MinimumLinePicks))
            continue;
        const double farSlope = medianPairSlope(
            beyond.data(), beyond.size(), distance, [&](int k) { return picks[size_t(k)].onsetMs; }, &slopes);
        if (!(farSlope > 0 && farSlope * DirectWaveBend <= slowness))
            continue;
        // Before the bend the direct wave comes first: the faster wave's
        // line drawn back lies later there.
        const double last = distance(out[on - 1]);
        QVector<double> drawnBack;
        for (int k : beyond)
            drawnBack.append(picks[size_t(k)].onsetMs - farSlope * (distance(k) - last));
        if (picks[size_t(out[on - 1])].onsetMs > median(drawnBack) + DirectWaveMs)
            continue;
        for (size_t k = 0; k < on; ++k)
            direct[size_t(out[k])] = 1;
        for (int i = 0; i < n; ++i)
            if (gather.headers[i].offset == 0)
                direct[size_t(i)] = 2;
    }
    return direct;
}

// A pick's period from its whole first cycle where it shows, which the
// onset's reading does not move.
double wholeCycle(const OnsetPick &p)
{
    return std::isfinite(p.cycleMs) ? p.cycleMs : p.periodMs;
}

// Where the shot's moveout puts each trace: a robust line through the times
// of up to `reach` neighbours on each side (the median slope over their
// pairs, then the median of the lines through each at that slope), so one
// wrong neighbour moves it little. Only neighbours on the trace's own side
// of the source count. NaN with fewer than
// three neighbours, and for the traces `only` (when given) leaves out.
// With bends set, a trace where a faster refractor overtakes (the first
// breaks bend, and a line through the neighbours on both sides cuts the
// corner, a period and more sooner than any of them) takes the sooner of
// its two sides' own lines instead, where each side's picks lie on theirs
// and the line through both lies BendMs sooner than either.
class Moveout
{
public:
    Moveout(const ShotGather &gather, const std::vector<double> &times, int reach, bool bends = false)
        : gather(gather), times(times), reach(reach), n(gather.traceCount()), bends(bends)
    {
        for (int i = 1; i < n && !offsets; ++i)
            offsets = gather.headers[i].offset != gather.headers[0].offset;
    }

    double at(int i)
    {
        near.clear();
        for (int k = std::max(0, i - reach); k <= std::min(n - 1, i + reach); ++k)
            if (k != i && std::isfinite(times[size_t(k)]) && sameSideOfSource(gather, i, k))
                near.push_back(k);
        const double both = lineAt(i, near);
        if (!bends || std::isnan(both))
            return both;
        // Each side's own line, carried to the trace, where its picks lie
        // on it.
        double sides[2] = {NaN, NaN};
        for (int s = 0; s < 2; ++s) {
            one.clear();
            for (int k : near)
                if ((k < i) == (s == 0))
                    one.push_back(k);
            double scatter = NaN;
            sides[s] = lineAt(i, one, &scatter);
            if (!(scatter <= BendScatterMs))
                return both;
        }
        const double sooner = std::min(sides[0], sides[1]);
        return both < sooner - BendMs ? sooner : both;
    }

private:
    // The robust line through the times of ks at trace i; NaN with fewer
    // than three. *scatter: the median distance of their lines from it.
    double lineAt(int i, const std::vector<int> &ks, double *scatter = nullptr)
    {
        if (ks.size() < 3)
            return NaN;
        auto abscissa = [&](int k) { return offsets ? gather.headers[k].offset : double(k); };
        const double slope = medianPairSlope(
            ks.data(), ks.size(), abscissa, [&](int k) { return times[size_t(k)]; }, &slopes);
        if (std::isnan(slope))
            return NaN;
        lines.clear();
        for (int k : ks)
            lines.push_back(times[size_t(k)] + slope * (abscissa(i) - abscissa(k)));
        // The slopes of up to 120 pairs a trace: selected without a branch
        // per value, which the slopes' random order would mispredict every
        // other time.
        scratch.resize(lines.size());
        const double line = kthSmallest(lines.data(), scratch.data(), int(lines.size()), int(lines.size() / 2));
        if (scatter) {
            for (double &l : lines)
                l = std::fabs(l - line);
            *scatter = kthSmallest(lines.data(), scratch.data(), int(lines.size()), int(lines.size() / 2));
        }
        return line;
    }

    const ShotGather &gather;
    const std::vector<double> &times;
    const int reach, n;
    const bool bends;
    bool offsets = false;
    std::vector<int> near, one;
    std::vector<double> slopes, lines, scratch;
};

// The line at every trace, or at those `only` keeps.
std::vector<double> moveoutLine(const ShotGather &gather, const std::vector<double> &times, int reach,
                                const std::vector<char> *only = nullptr, bool bends = false)
{
    Moveout moveout(gather, times, reach, bends);
    std::vector<double> line(static_cast<size_t>(gather.traceCount()), NaN);
    for (int i = 0; i < gather.traceCount(); ++i)
        if (!only || (*only)[size_t(i)])
            line[size_t(i)] = moveout.at(i);
    return line;
}

// Whether a trace's own confident pick at ownMs rules out an onset read on
// its neighbours' stack at readMs: its neighbours may carry another
// wavelet (one that builds up slowly, at a lower pitch), which their
// correlation lines up on its largest lobes rather than its first motion,
// and the stack then starts where this trace does not. The first break is
// the trace's first departure from its noise: an onset sooner than the own
// pick where the trace stays quiet up to it (nothing out of its noise, and
// far below the own pick's lobe), or one later where the trace is already
// well out of its noise just before it, is not this trace's.
bool ruledOutByTrace(const TraceSamples &t, double ownMs, double readMs, double period)
{
    const double dt = t.sampleIntervalMs;
    const int half = std::max(1, int(std::lround(period / 2 / dt)));
    const int noiseEnd = int(std::floor(t.indexOf(std::min(ownMs, readMs)))) - std::max(1, half / 2);
    const int noiseStart = std::max(0, noiseEnd - int(std::ceil(std::max(StackNoiseMs, period) / dt)));
    const int own = int(std::lround(t.indexOf(ownMs))), read = int(std::lround(t.indexOf(readMs)));
    if (noiseEnd - noiseStart + 1 < MinimumNoiseSamples || std::max(own, read) + half >= t.count)
        return false;
    const double noise = robustRms(t, noiseStart, noiseEnd);
    auto peak = [&](int from, int to) {
        double p = 0;
        for (int i = std::max(0, from); i < to; ++i)
            p = std::max(p, std::fabs(at(t, i)));
        return p;
    };
    if (read < own)
        return peak(read, own) < std::min(MaximumDetection * noise, QuietShare * peak(own, own + half));
    return peak(std::max(own, read - half / 2), read) >=
           std::max(MaximumDetection * noise, EarlyLobeShare * peak(own, own + half));
}

// The gather stage. One trace's first break at a low signal-to-noise ratio
// hides in its noise, but its neighbours carry the same wavelet a moveout
// apart. Each trace is lined up on the stack of its neighbours (their
// waveforms over the first cycles, each at unit energy, at their own
// alignment times) by correlation, within a fraction of a period of where
// the shot's moveout puts it, twice over. The onset is then read on the
// stack of the trace and its neighbours at those alignments, which has the
// noise of one trace over the square root of their number, and carried back
// to the trace by its alignment time (a doubtful trace's drawn towards its
// neighbours' line as far as its lag's noise outweighs their statics). The stack's reading replaces the
// trace's own when it is the more confident, or when it finds the onset a
// little after an own pick that a noise swing led into the first lobe
// (NoiseLeadShare); the pick keeps the trace's own confidence (what the
// trace alone shows). Every trace is aligned against
// the previous round's times, so the result does not depend on the order.
// The first round starts from firstLine where it has a time (else from the
// robust line through the picks); firstLine is empty or one per trace.
// moved holds, per trace, the confidence of the stack's reading that last
// moved its pick (0 for none; one per trace, kept over passes): a later
// reading not CarryMargin times as confident moves it by RefineShare of a
// period at most. A trace that direct marks (onDirectWave) is moved only
// sooner: its neighbours' line across the bend stacks the faster wave.
// guide is empty or one predicted time per trace (NaN for none).
void pickOnNeighbourStacks(const ShotGather &gather, double period, const OnsetPickerSettings &settings,
                           const std::vector<double> &firstLine, const std::vector<double> &guide,
                           const std::vector<char> &direct, std::vector<OnsetPick> *picks, std::vector<double> *moved,
                           double *stackPeriod)
{
    // The whole cycles the stacks read: the shot's period measured well
    // below the noise of one trace.
    QVector<double> cycles;
    const int n = gather.traceCount();
    const double dt = gather.sampleIntervalMs;
    std::vector<double> onsets(static_cast<size_t>(n), NaN);
    for (int i = 0; i < n; ++i)
        if ((*picks)[size_t(i)].found)
            onsets[size_t(i)] = (*picks)[size_t(i)].onsetMs;
    // Lined up where the first breaks bend as well (there a line through
    // both sides would start the stacks a period early), on a shot whose
    // picks are mostly confident: a weak shot's lines through a few picks
    // on each side bend with its noise.
    int confidentPicks = 0;
    for (const OnsetPick &p : *picks)
        confidentPicks += p.found && p.confidence >= settings.minimumConfidence ? 1 : 0;
    std::vector<double> aligned =
        moveoutLine(gather, onsets, GatherNeighbours, nullptr, confidentPicks >= WeakShotShare * n);
    // At the source of a split spread the moveout bends: a line through the
    // neighbours on both sides lies far later than its first break, and its
    // waveform cut there would add its loud coda to every neighbour's stack.
    // A confident pick of its own lines it up instead.
    bool negative = false, positive = false;
    for (int i = 0; i < n; ++i) {
        negative = negative || gather.headers[i].offset < 0;
        positive = positive || gather.headers[i].offset > 0;
    }
    for (int i = 0; i < n; ++i) {
        if (!firstLine.empty() && std::isfinite(firstLine[size_t(i)]))
            aligned[size_t(i)] = firstLine[size_t(i)];
        if (!std::isfinite(aligned[size_t(i)]) ||
            (negative && positive && gather.headers[i].offset == 0 && std::isfinite(onsets[size_t(i)]) &&
             (*picks)[size_t(i)].confidence >= settings.minimumConfidence))
            aligned[size_t(i)] = onsets[size_t(i)];
    }
    // Next to the source the moveout bends over a slow top layer whose
    // direct wave reaches the nearest traces first: the line drawn back from
    // the traces beyond lies later there than the alignment's reach, and the
    // stack would read a later lobe. From the source outward on each side,
    // while the line lies that far after a trace's own time, the trace is
    // lined up on that time: its own pick where confident or within that
    // reach of its prediction (a fitted curve follows the bend), else the
    // prediction.
    const double reachMs = AlignReachShare * period;
    for (int side : {-1, 1}) {
        std::vector<int> out;
        for (int i = 0; i < n; ++i)
            if (gather.headers[i].offset * side > 0)
                out.push_back(i);
        std::stable_sort(out.begin(), out.end(), [&](int a, int b) {
            return std::fabs(gather.headers[a].offset) < std::fabs(gather.headers[b].offset);
        });
        for (int i : out) {
            const OnsetPick &own = (*picks)[size_t(i)];
            const double predicted = guide.empty() ? NaN : guide[size_t(i)];
            const double time = own.found && (own.confidence >= settings.minimumConfidence ||
                                              std::fabs(own.onsetMs - predicted) <= reachMs)
                                    ? own.onsetMs
                                    : predicted;
            if (!(aligned[size_t(i)] - time > reachMs))
                break;
            aligned[size_t(i)] = time;
        }
    }

    const int before = int(std::lround(period / 2 / dt));
    const int length = std::max(4, int(std::lround(CorrelationPeriods * period / dt)));
    const int reach = std::max(1, int(std::lround(AlignReachShare * period / dt)));
    // Each trace's waveform over the correlation window at its alignment
    // time, at unit energy; empty (all zero) where it has none. Every row
    // is cut before it is read: no zero fill first.
    std::unique_ptr<double[]> windows(new double[size_t(n) * size_t(length)]);
    std::vector<double> scale(static_cast<size_t>(n)), energies(static_cast<size_t>(n));
    // Where each row of a longer cut around the same alignments starts, in
    // samples: a window is copied out of it, lead samples in, where both
    // start at the same fraction of a sample (the same interpolation), and
    // interpolated again only where rounding moved that fraction.
    std::vector<double> cutFrom(static_cast<size_t>(n), NaN);
    auto cutAll = [&](const double *rows, size_t width, int lead) {
        const bool inside = lead >= 0 && size_t(lead) + size_t(length) <= width;
        for (int k = 0; k < n; ++k) {
            double *w = windows.get() + size_t(k) * size_t(length);
            if (!std::isfinite(aligned[size_t(k)])) {
                std::fill(w, w + length, 0.0);
                continue;
            }
            const TraceSamples t = traceOf(gather, k);
            const double first = t.indexOf(aligned[size_t(k)]) - before, from = cutFrom[size_t(k)];
            if (inside && std::floor(from) + lead == std::floor(first) &&
                from - std::floor(from) == first - std::floor(first)) {
                const double *row = rows + size_t(k) * width + size_t(lead);
                std::copy(row, row + length, w);
                continue;
            }
            resample(t, first, length, w);
        }
        rowEnergies(windows.get(), size_t(length), size_t(length), n, false, energies.data());
        for (int k = 0; k < n; ++k) {
            const double energy = energies[size_t(k)];
            scale[size_t(k)] = 0;
            if (energy <= 0)
                continue;
            scale[size_t(k)] = 1 / std::sqrt(energy);
            scaleRow(windows.get() + size_t(k) * size_t(length), scale[size_t(k)], size_t(length));
        }
    };
    // A trace's neighbours: up to GatherNeighbours on each side, up to the
    // source. Stacks over them come from running sums over the gather.
    auto sideReach = [&](int i, int reach, int *lo, int *hi) {
        *lo = *hi = i;
        while (*lo > std::max(0, i - reach) && sameSideOfSource(gather, i, *lo - 1))
            --*lo;
        while (*hi < std::min(n - 1, i + reach) && sameSideOfSource(gather, i, *hi + 1))
            ++*hi;
    };
    std::vector<int> lowest(static_cast<size_t>(n)), highest(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        sideReach(i, GatherNeighbours, &lowest[size_t(i)], &highest[size_t(i)]);
    // Each confident pick's whole cycle, the wavelet it rings with; a
    // doubtful pick's own cycle may be the noise's, so its trace's ringing
    // after its alignment time stands in (NaN where that is noise too).
    std::vector<double> ringing(static_cast<size_t>(n), NaN);
    for (int k = 0; k < n; ++k) {
        const OnsetPick &p = (*picks)[size_t(k)];
        if (p.found && p.confidence >= settings.minimumConfidence && usablePeriod(wholeCycle(p)))
            ringing[size_t(k)] = wholeCycle(p);
        else if (std::isfinite(aligned[size_t(k)]))
            ringing[size_t(k)] = ringingPeriod(traceOf(gather, k), aligned[size_t(k)], period);
    }
    auto unlike = [&](int i, int k) {
        const double a = ringing[size_t(i)], b = ringing[size_t(k)];
        return k != i && std::isfinite(a) && std::isfinite(b) && !ringsAlike(a, b);
    };
    // The neighbours from lo to hi unlike trace i whose rows hold a
    // waveform, when leaving them out keeps enough of the stack.
    std::vector<int> leftOut;
    auto unlikeOf = [&](int i, int lo, int hi, int used) {
        leftOut.clear();
        if (!std::isfinite(ringing[size_t(i)]))
            return 0;
        for (int k = lo; k <= hi; ++k)
            if (scale[size_t(k)] > 0 && unlike(i, k))
                leftOut.push_back(k);
        if (used - int(leftOut.size()) < MinimumGatherStack)
            leftOut.clear();
        return int(leftOut.size());
    };
    // Running sums and segments are written in full before they are read:
    // no zero fill of these large buffers first.
    std::unique_ptr<double[]> sums(new double[size_t(n + 1) * size_t(length)]);
    std::vector<int> counts(size_t(n) + 1);
    auto sumUp = [&](const double *rows, int width, double *into) {
        std::fill(into, into + width, 0.0);
        for (int k = 0; k < n; ++k) {
            const double *row = rows + size_t(k) * size_t(width);
            const double *previous = into + size_t(k) * size_t(width);
            double *next = into + size_t(k + 1) * size_t(width);
            addRows(previous, row, next, size_t(width));
            counts[size_t(k) + 1] = counts[size_t(k)] + (scale[size_t(k)] > 0 ? 1 : 0);
        }
    };
    std::vector<double> stack(static_cast<size_t>(length));
    // The trace's samples over every lag, and zeros after them that the
    // lags' sums read in whole vectors.
    // Every trace's, cut for a round at once, and the running energies over
    // them.
    const size_t ownCount = size_t(length) + 2 * size_t(reach);
    const size_t ownWidth = ownCount + CorrelationLanes;
    std::unique_ptr<double[]> owns(new double[size_t(n) * ownWidth]);
    std::unique_ptr<double[]> ownEnergies(new double[size_t(n) * (ownCount + 1)]);
    for (int k = 0; k < n; ++k)
        std::fill(&owns[size_t(k) * ownWidth + ownCount], &owns[size_t(k + 1) * ownWidth], 0.0);
    std::vector<double> sparseStack(static_cast<size_t>(length)), sparseOwn(ownCount + CorrelationLanes, 0.0);
    std::vector<double> products(2 * size_t(reach) + 1 + CorrelationLanes);
    std::vector<double> scores(2 * size_t(reach) + 1);
    std::vector<double> coarseScores(2 * size_t(reach) + 1);
    const int stride = std::max(1, int(period / dt / AlignSamplesPerPeriod));
    for (int round = 0; round < AlignmentRounds; ++round) {
        for (int k = 0; k < n; ++k) {
            double *row = &owns[size_t(k) * ownWidth];
            if (!std::isfinite(aligned[size_t(k)])) {
                std::fill(row, row + ownCount, 0.0);
                continue;
            }
            const TraceSamples t = traceOf(gather, k);
            cutFrom[size_t(k)] = t.indexOf(aligned[size_t(k)]) - before - reach;
            resample(t, cutFrom[size_t(k)], int(ownCount), row);
        }
        cutAll(owns.get(), ownWidth, reach);
        sumUp(windows.get(), length, sums.get());
        rowEnergies(owns.get(), ownWidth, ownCount, n, true, ownEnergies.get());
        std::vector<double> next = aligned;
        for (int i = 0; i < n; ++i) {
            if (!std::isfinite(aligned[size_t(i)]))
                continue;
            const int lo = lowest[size_t(i)], hi = highest[size_t(i)];
            const int used = counts[size_t(hi) + 1] - counts[size_t(lo)] - (scale[size_t(i)] > 0 ? 1 : 0);
            if (used < MinimumGatherStack)
                continue;
            const double *top = sums.get() + size_t(hi + 1) * size_t(length);
            const double *bottom = sums.get() + size_t(lo) * size_t(length);
            const double *self = windows.get() + size_t(i) * size_t(length);
            subtractRows(top, bottom, stack.data(), size_t(length));
            subtractRows(stack.data(), self, stack.data(), size_t(length));
            unlikeOf(i, lo, hi, used);
            for (int k : leftOut)
                subtractRows(stack.data(), windows.get() + size_t(k) * size_t(length), stack.data(), size_t(length));
            const double *own = &owns[size_t(i) * ownWidth];
            const double *ownEnergy = &ownEnergies[size_t(i) * (ownCount + 1)];
            // Every stride-th lag over every stride-th sample first (the
            // waveform is smooth over a stride), then every lag around the
            // best of those.
            auto score = [&](int lag, double ab, int step) {
                const double bb = ownEnergy[size_t(lag + length)] - ownEnergy[size_t(lag)];
                return bb > 0 ? step * ab / std::sqrt(bb) : 0.0;
            };
            // The scores of `count` lags from firstLag, `by` apart, over
            // every step-th sample (by is 1 or step): their products' sums
            // are correlations of the stack's and the trace's samples taken
            // `step` apart, each lag summed in the samples' order.
            auto scoreLags = [&](int firstLag, int by, int count, int step, double *out) {
                const int steps = (length + step - 1) / step;
                for (int m = 0; m < steps; ++m)
                    sparseStack[size_t(m)] = stack[size_t(m) * size_t(step)];
                const double *y = own + firstLag;
                if (by != 1) {
                    for (int p = 0; p < count + steps - 1; ++p)
                        sparseOwn[size_t(p)] = own[size_t(firstLag) + size_t(p) * size_t(by)];
                    y = sparseOwn.data();
                }
                correlations(sparseStack.data(), steps, y, count, products.data());
                int c = 0;
#if defined(FBQC_X86_VECTORS)
                if (hasWideVectors())
                    c = wideScores(products.data(), ownEnergy + firstLag, by, length, step, count, out);
#endif
                for (; c < count; ++c)
                    out[c] = score(firstLag + c * by, products[size_t(c)], step);
            };
            int coarse = 0;
            double coarseScore = -1;
            const int coarseLags = 2 * reach / stride + 1;
            scoreLags(0, stride, coarseLags, stride, coarseScores.data());
            for (int c = 0; c < coarseLags; ++c) {
                const double v = coarseScores[size_t(c)];
                if (v > coarseScore) {
                    coarseScore = v;
                    coarse = c * stride;
                }
            }
            int best = -1;
            const int from = std::max(0, coarse - stride), to = std::min(2 * reach, coarse + stride);
            const int fineFrom = std::max(0, from - 1), fineTo = std::min(2 * reach, to + 1);
            scoreLags(fineFrom, 1, fineTo - fineFrom + 1, 1, scores.data() + fineFrom);
            for (int lag = from; lag <= to; ++lag)
                if (best < 0 || scores[size_t(lag)] > scores[size_t(best)])
                    best = lag;
            if (scores[size_t(best)] <= 0)
                continue;
            double lag = best;
            if (best > 0 && best < 2 * reach) {
                const double a = scores[size_t(best) - 1], b = scores[size_t(best)], c = scores[size_t(best) + 1];
                const double d = a - 2 * b + c;
                // Only over a peak: at the edge of the lags searched a
                // neighbour may score higher, and the parabola through a
                // slope has its top anywhere.
                if (d < 0 && b >= a && b >= c)
                    lag += 0.5 * (a - c) / d;
            }
            next[size_t(i)] = aligned[size_t(i)] + (lag - reach) * dt;
        }
        aligned = std::move(next);
    }

    // The onset read on each trace's stack, around its alignment time: the
    // segments read below (cut first, scaled once the windows' energies are
    // known) hold the windows.
    const double searchMs = StackSearchShare * period;
    // Enough of the stack for its noise before the search and the arrival's
    // first three lobes after it.
    const int pre = int(std::ceil((searchMs + std::max(StackNoiseMs, StackNoisePeriods * period)) / dt)) + 1;
    const int post = int(std::ceil((searchMs + StackLobesPeriods * period) / dt)) + 1;
    const size_t span = size_t(pre) + size_t(post) + 1;
    // Each trace around its alignment time once, at unit energy.
    std::unique_ptr<double[]> segments(new double[size_t(n) * span]);
    for (int k = 0; k < n; ++k) {
        if (!std::isfinite(aligned[size_t(k)]))
            continue;
        const TraceSamples t = traceOf(gather, k);
        cutFrom[size_t(k)] = t.indexOf(aligned[size_t(k)]) - pre;
        resample(t, cutFrom[size_t(k)], int(span), segments.get() + size_t(k) * span);
    }
    cutAll(segments.get(), span, pre - before);
    // A weak trace's lag follows its noise as much as its arrival: the line
    // through its neighbours' alignments averages that noise out, and takes
    // their statics with it. Each doubtful trace's lag noise is known from
    // its confidence (noise of rms 1 / confidence of the peak moves a
    // crossing by period / (2 pi confidence), about half that over the
    // correlation window's crossings); what its neighbours' lags stray from
    // their line beyond their noise is statics. A confident trace, one on
    // the direct wave or at the source, one at either end of its side, and
    // one whose lag leaves the line by more than RefineShare of a period (a
    // bend) keep their own lag.
    std::vector<char> doubtful(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        const OnsetPick &own = (*picks)[size_t(k)];
        doubtful[size_t(k)] = !(own.found && own.confidence >= settings.minimumConfidence) && !direct[size_t(k)] &&
                              !(negative && positive && gather.headers[k].offset == 0);
    }
    const std::vector<double> lined = moveoutLine(gather, aligned, GatherNeighbours, &doubtful);
    std::vector<double> lagNoise(static_cast<size_t>(n), NaN); // ms squared
    for (int k = 0; k < n; ++k) {
        const OnsetPick &own = (*picks)[size_t(k)];
        // Only between neighbours of its own side: at a side's end the line
        // is drawn on past them, across what may be a bend.
        const bool between =
            k > 0 && k + 1 < n && sameSideOfSource(gather, k, k - 1) && sameSideOfSource(gather, k, k + 1);
        if (!doubtful[size_t(k)] || !between ||
            !(std::fabs(lined[size_t(k)] - aligned[size_t(k)]) <= RefineShare * period))
            continue;
        const double sigma =
            own.found && own.confidence > 0 ? period / (4 * Pi * own.confidence) : RefineShare * period;
        lagNoise[size_t(k)] = sigma * sigma;
    }
    std::vector<float> stacked(span), wide(span);
    for (int k = 0; k < n; ++k) {
        double *segment = segments.get() + size_t(k) * span;
        if (scale[size_t(k)] <= 0)
            std::fill(segment, segment + span, 0.0);
        else
            scaleRow(segment, scale[size_t(k)], span);
    }
    std::unique_ptr<double[]> segmentSums(new double[size_t(n + 1) * span]);
    sumUp(segments.get(), int(span), segmentSums.get());
    OnsetPickerSettings onStack = settings;
    onStack.periodMs = period;
    // A trace ringing unlike the shot's period has its stack of like
    // neighbours read with their period: the onset lies half a period before
    // the first lobe's end, and the shot's shorter one reads it late.
    auto ringsUnlikeShot = [&](int i) {
        const double a = ringing[size_t(i)];
        return std::isfinite(a) && !ringsAlike(a, period);
    };
    OnsetPickerSettings onOwn = onStack;
    auto readingOf = [&](int i) -> const OnsetPickerSettings & {
        if (!ringsUnlikeShot(i))
            return onStack;
        QVector<double> like;
        for (int k = lowest[size_t(i)]; k <= highest[size_t(i)]; ++k)
            if (std::isfinite(ringing[size_t(k)]) && !unlike(i, k))
                like.append(ringing[size_t(k)]);
        if (like.size() < MinimumGatherStack)
            return onStack;
        onOwn.periodMs = median(like);
        return onOwn;
    };
    // The stack moves the trace at the source of a split spread only
    // sooner: the moveout bends there, and its neighbours on both sides
    // lined up on it stack late.
    bool ahead = false, behind = false;
    for (int i = 0; i < n; ++i) {
        ahead = ahead || gather.headers[i].offset > 0;
        behind = behind || gather.headers[i].offset < 0;
    }
    // The nearest trace on each side of a split spread, however far from
    // the source: there too the moveout may bend, over a slow top layer
    // whose direct wave reaches them first.
    double nearestAhead = 0, nearestBehind = 0;
    for (int i = 0; i < n; ++i) {
        const double o = gather.headers[i].offset;
        if (o > 0 && (nearestAhead == 0 || o < nearestAhead))
            nearestAhead = o;
        if (o < 0 && (nearestBehind == 0 || o > nearestBehind))
            nearestBehind = o;
    }
    auto atSource = [&](int i) { return ahead && behind && gather.headers[i].offset == 0; };
    // Its own pick, where it stands out of the noise, is kept against a
    // reading more than NearSourceLateShare of a period later: the
    // neighbours' line, drawn from beyond the bend, lies late on it.
    auto keptNextToSource = [&](int i, double onsetMs) {
        const double o = gather.headers[i].offset;
        const OnsetPick &own = (*picks)[size_t(i)];
        return ahead && behind && (o == nearestAhead || o == nearestBehind) && own.found &&
               own.confidence >= NearSourceConfidenceShare * settings.minimumConfidence &&
               onsetMs - own.onsetMs > NearSourceLateShare * period;
    };
    // The stack of a side's traces from lo to hi, around the alignments.
    // Trace i's neighbours unlike it stay out (see unlikeOf).
    std::vector<double> kept(span);
    auto stackOf = [&](int i, int lo, int hi, std::vector<float> *into) {
        const double *top = segmentSums.get() + size_t(hi + 1) * span;
        const double *bottom = segmentSums.get() + size_t(lo) * span;
        if (unlikeOf(i, lo, hi, counts[size_t(hi) + 1] - counts[size_t(lo)] - 1) > 0) {
            subtractRows(top, bottom, kept.data(), span);
            for (int k : leftOut)
                subtractRows(kept.data(), segments.get() + size_t(k) * span, kept.data(), span);
            bottom = nullptr;
        }
        float *to = into->data();
        size_t j = 0;
        if (!bottom)
            for (; j < span; ++j)
                to[j] = float(kept[j]);
#if defined(__SSE2__)
        for (; j + 2 <= span; j += 2) {
            const __m128 two = _mm_cvtpd_ps(_mm_sub_pd(_mm_loadu_pd(top + j), _mm_loadu_pd(bottom + j)));
            _mm_storel_pi(reinterpret_cast<__m64 *>(to + j), two);
        }
#endif
        for (; j < span; ++j)
            to[j] = float(top[j] - bottom[j]);
        return TraceSamples{to, int(span), -pre * dt, dt};
    };
    std::vector<OnsetPick> reads(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(aligned[size_t(i)]) || scale[size_t(i)] <= 0)
            continue;
        const int lo = lowest[size_t(i)], hi = highest[size_t(i)];
        const int used = counts[size_t(hi) + 1] - counts[size_t(lo)];
        if (used <= MinimumGatherStack)
            continue;
        OnsetPick read = pickInRange(stackOf(i, lo, hi, &stacked), -searchMs, searchMs, readingOf(i),
                                     WindowEnd::LookBack, Samples::Stack);
        if (!read.found)
            continue;
        // Near the threshold the first lobe of an arrival that builds up
        // shows on one stack and not on the next, which then reads the
        // second: where the stack's reading is doubtful, the wide stack
        // tells which lobe is the first.
        const bool doubtfulRead = read.confidence < settings.minimumConfidence;
        // A stack cut short by the source, or over traces on the direct
        // wave, lies where the moveout bends: a wider one smooths the bend.
        bool nearBend =
            (lo > 0 && !sameSideOfSource(gather, i, lo - 1)) || (hi + 1 < n && !sameSideOfSource(gather, i, hi + 1));
        for (int k = lo; k <= hi; ++k)
            nearBend = nearBend || direct[size_t(k)];
        const bool unsteadyRead =
            !guide.empty() && !nearBend && read.confidence < SteadyReadFactor * settings.minimumConfidence;
        if (doubtfulRead || unsteadyRead) {
            int wideLo = lo, wideHi = hi;
            sideReach(i, WideStackFactor * GatherNeighbours, &wideLo, &wideHi);
            const OnsetPick wideRead = pickInRange(stackOf(i, wideLo, wideHi, &wide), -searchMs, searchMs, readingOf(i),
                                                   WindowEnd::LookBack, Samples::Stack);
            const bool sameLobe = wideRead.found && std::fabs(read.onsetMs - wideRead.onsetMs) <= RefineShare * period;
            if (doubtfulRead && wideRead.found && !sameLobe)
                read = wideRead;
            // On the same lobe, a reading that does not stand well out of
            // the stack's noise wanders with it along the side by a few ms;
            // the wide stack's noise is lower, so their weighted mean
            // strays less, while the trace's own stack still holds the
            // statics the wide one smooths over.
            else if (unsteadyRead && sameLobe)
                read.onsetMs = (read.onsetMs + WideReadWeight * wideRead.onsetMs) / (1 + WideReadWeight);
        }
        reads[size_t(i)] = read;
    }
    // Neighbouring stacks share most of their traces and so their noise:
    // below one trace's noise their readings stray together by a few ms
    // along a side. A trace's statics lie in its alignment, not in its
    // stack's reading, so readings of the same lobe a few traces apart
    // differ by that noise and by the waveform's slow change with offset:
    // their median follows the change and averages the noise out. Where
    // the side ends short of the reach towards the source (the moveout may
    // bend there over a slow top layer), only over as many traces on
    // either side: a run reaching out on one side would carry the readings
    // from beyond the bend onto the trace.
    if (!guide.empty()) {
        std::vector<double> steadied(static_cast<size_t>(n), NaN);
        QVector<double> around;
        for (int i = 0; i < n; ++i) {
            const OnsetPick &read = reads[size_t(i)];
            if (!read.found || direct[size_t(i)])
                continue;
            int lo = i, hi = i;
            sideReach(i, ReadingReach, &lo, &hi);
            const bool sourceLow = std::fabs(gather.headers[lo].offset) < std::fabs(gather.headers[hi].offset);
            if (sourceLow ? i - lo < ReadingReach : hi - i < ReadingReach) {
                const int half = std::min(i - lo, hi - i);
                lo = i - half;
                hi = i + half;
            }
            around.clear();
            for (int k = lo; k <= hi; ++k)
                if (reads[size_t(k)].found && !direct[size_t(k)] &&
                    std::fabs(reads[size_t(k)].onsetMs - read.onsetMs) <= RefineShare * period)
                    around.append(reads[size_t(k)].onsetMs);
            if (around.size() >= ReadingReach)
                steadied[size_t(i)] = median(around);
        }
        for (int i = 0; i < n; ++i)
            if (std::isfinite(steadied[size_t(i)]))
                reads[size_t(i)].onsetMs = steadied[size_t(i)];
    }
    // The rounds line a side's traces up on one another's waveforms, so
    // each stack, read from its trace's alignment, finds the first break at
    // much the same place along the side. A run of stacks reading it
    // SideLevelShare of a period or more off the side's level took another
    // lobe of the same wavelet (an emergent arrival's first one may not
    // stand out of a few stacks). Where the predictions around the trace
    // put the first break nearer that level by more than RefineShare of a
    // period, the stack is read again around the level, and taken at the
    // level where nothing rises there.
    if (!guide.empty())
        for (int side : {-1, 1}) {
            QVector<double> levels;
            for (int i = 0; i < n; ++i)
                if (reads[size_t(i)].found && gather.headers[i].offset * side > 0 && !direct[size_t(i)])
                    levels.append(reads[size_t(i)].onsetMs);
            if (levels.size() < MinimumGatherStack)
                continue;
            const double level = median(levels);
            for (int i = 0; i < n; ++i) {
                OnsetPick &read = reads[size_t(i)];
                if (!read.found || !(gather.headers[i].offset * side > 0) || direct[size_t(i)] ||
                    !(std::fabs(read.onsetMs - level) > SideLevelShare * period))
                    continue;
                // Where the predictions put the first break from the
                // alignments around this trace: one prediction strays.
                QVector<double> around;
                for (int k = lowest[size_t(i)]; k <= highest[size_t(i)]; ++k)
                    if (std::isfinite(guide[size_t(k)]) && std::isfinite(aligned[size_t(k)]))
                        around.append(guide[size_t(k)] - aligned[size_t(k)]);
                const double predicted = around.size() >= MinimumGatherStack ? median(around) : NaN;
                if (!(std::fabs(level - predicted) + RefineShare * period < std::fabs(read.onsetMs - predicted)))
                    continue;
                const OnsetPick again =
                    pickInRange(stackOf(i, lowest[size_t(i)], highest[size_t(i)], &stacked), level - searchMs / 2,
                                level + searchMs / 2, readingOf(i), WindowEnd::LookBack, Samples::Stack);
                if (again.found && std::fabs(again.onsetMs - level) <= RefineShare * period)
                    read = again;
                else
                    read.onsetMs = level;
            }
        }
    for (int i = 0; i < n; ++i) {
        const OnsetPick &read = reads[size_t(i)];
        if (!read.found)
            continue;
        const int lo = lowest[size_t(i)], hi = highest[size_t(i)];
        // The shot's period is its own wavelet's, not the other one's.
        if (std::isfinite(read.cycleMs) && !ringsUnlikeShot(i))
            cycles.append(read.cycleMs);
        OnsetPick &pick = (*picks)[size_t(i)];
        // A doubtful trace is carried there from its neighbours' line, by
        // the share of its lag's departure that the side's statics, rather
        // than its noise, explain.
        double at = aligned[size_t(i)];
        if (std::isfinite(lagNoise[size_t(i)])) {
            double deviations = 0, noise = 0;
            int count = 0;
            for (int k = lo; k <= hi; ++k)
                if (std::isfinite(lagNoise[size_t(k)])) {
                    const double d = aligned[size_t(k)] - lined[size_t(k)];
                    deviations += d * d;
                    noise += lagNoise[size_t(k)];
                    ++count;
                }
            const double statics = std::max(0.0, (deviations - noise) / count);
            const double share = statics / (statics + lagNoise[size_t(i)]);
            at = lined[size_t(i)] + share * (aligned[size_t(i)] - lined[size_t(i)]);
        }
        const double onsetMs = at + read.onsetMs;
        const double lead = onsetMs - pick.onsetMs;
        // A confident own pick stands against another lobe its trace
        // itself rules out.
        if (pick.found && pick.confidence >= settings.minimumConfidence && std::fabs(lead) > RefineShare * period &&
            ruledOutByTrace(traceOf(gather, i), pick.onsetMs, onsetMs, period))
            continue;
        const bool ledByNoise = pick.found && read.confidence >= settings.minimumConfidence &&
                                std::fabs(read.onsetMs) <= RefineShare * period && lead > RefineShare * period &&
                                lead < NoiseLeadShare * period;
        // An own pick more than NoiseLeadShare of a period after a confident
        // stack reading that stays on the trace's alignment is a later lobe
        // or arrival, however loud.
        const bool laterLobe = pick.found && read.confidence >= settings.minimumConfidence &&
                               std::fabs(read.onsetMs) <= RefineShare * period && -lead > NoiseLeadShare * period;
        if (pick.found && read.confidence <= pick.confidence && !ledByNoise && !laterLobe)
            continue;
        // A side's alignments may slide early together (a line drawn across
        // the bend, a prediction's bias), leaving the onset at the late edge
        // of the stack's search, where a reading may take the noise a period
        // before it. A reading before the alignment and more than
        // NoiseLeadShare of a period before a confident own pick goes
        // against both: the own pick stands.
        const bool slidOff = pick.found && pick.confidence >= settings.minimumConfidence &&
                             read.onsetMs < -RefineShare * period && -lead > NoiseLeadShare * period;
        if (slidOff)
            continue;
        // Before the trace's first sample the stack holds only the
        // neighbours' noise: an onset read there is none of this trace's.
        if (onsetMs < gather.firstSampleMs ||
            ((atSource(i) || direct[size_t(i)]) && pick.found && onsetMs >= pick.onsetMs) ||
            keptNextToSource(i, onsetMs))
            continue;
        // A pick an earlier pass moved rests on that reading: a weaker one
        // may refine it, not carry it off to another lobe.
        double &rest = (*moved)[size_t(i)];
        if (pick.found && read.confidence <= CarryMargin * rest &&
            std::fabs(onsetMs - pick.onsetMs) > RefineShare * period)
            continue;
        rest = std::max(rest, read.confidence);
        const double shift = pick.found ? pick.timeMs - pick.onsetMs : 0;
        if (!pick.found) {
            pick.found = true;
            pick.confidence = 0;
            pick.polarity = read.polarity;
            pick.periodMs = read.periodMs;
        }
        pick.onsetMs = onsetMs;
        pick.timeMs = onsetMs + shift;
    }
    if (cycles.size() >= std::max(MinimumPeriodSamples, n / StackPeriodShare))
        *stackPeriod = median(cycles);
}

// Which picks of a shot lie on a line with their neighbours' picks. Noise
// now and then stands out of one trace as far as a weak first break, but
// the first break continues from trace to trace where noise does not: a
// pick on a line rising away from the source with CorroboratingPicks others
// of its nearest neighbours on its side is the first break's, whatever its
// confidence.
std::vector<char> corroborated(const ShotGather &gather, const std::vector<OnsetPick> &picks, double toleranceMs)
{
    const int n = gather.traceCount();
    auto x = [&](int i) { return std::fabs(gather.headers[i].offset); };
    auto t = [&](int i) { return picks[size_t(i)].onsetMs; };
    std::vector<char> out(static_cast<size_t>(n), 0);
    std::vector<int> near;
    for (int i = 0; i < n; ++i) {
        if (!picks[size_t(i)].found)
            continue;
        near.clear();
        for (int k = std::max(0, i - CorroborationReach); k <= std::min(n - 1, i + CorroborationReach); ++k)
            if (k != i && picks[size_t(k)].found && sameSideOfSource(gather, i, k))
                near.push_back(k);
        // Every line through two neighbours that passes by the pick, with
        // the neighbours on it counted (those two among them).
        for (size_t a = 0; a < near.size() && !out[size_t(i)]; ++a)
            for (size_t b = a + 1; b < near.size() && !out[size_t(i)]; ++b) {
                const int j = near[a], k = near[b];
                const double d = x(k) - x(j);
                if (d == 0)
                    continue;
                const double slope = (t(k) - t(j)) / d;
                auto on = [&](int m) { return std::fabs(t(m) - t(j) - slope * (x(m) - x(j))) <= toleranceMs; };
                if (!(slope > 0) || !on(i))
                    continue;
                int count = 0;
                for (int m : near)
                    count += on(m) ? 1 : 0;
                out[size_t(i)] = count >= CorroboratingPicks ? 1 : 0;
            }
    }
    return out;
}

// A shot's first break followed away from the source on each side, from
// its first two trusted picks on (doubtful ones on a weak side); trusted(i)
// says whether trace i's pick is confident, or corroborated by its
// neighbours on a weak shot. A pick
// more than half the search window after where the nearer traces' first
// break continues is a later, stronger arrival (a slower layer's wave) or
// noise outshouting a fading first break; a doubtful pick as far before it
// is noise. Such a trace is searched again within a quarter of the window
// of the continuation; a doubtful one keeps its pick when that search reads
// only a weaker onset (on a side with trusted picks). A confident pick
// before the line is kept unless it comes sooner than the nearer trace's by
// as much: past a crossover a faster layer arrives first, and the line,
// drawn through the slower arrival, runs late there. Until the nearer picks rise away from the
// source they are no line to follow. Traces with a prediction of their own
// are followed, never searched again.
template<typename Guided, typename Trusted>
void traceOutward(const ShotGather &gather, const OnsetPickerSettings &settings, Guided guided, Trusted trusted,
                  std::vector<OnsetPick> *picks)
{
    const int n = gather.traceCount();
    auto abscissa = [&](int i) { return std::fabs(gather.headers[i].offset); };
    auto onset = [&](int i) { return (*picks)[size_t(i)].onsetMs; };
    const double tolerance = settings.windowMs / 2;
    OnsetPickerSettings nearLine = settings;
    nearLine.windowMs = tolerance / 2;
    std::vector<int> side;
    std::vector<int> followed;
    std::vector<double> slopes, lines;
    for (int sign : {-1, 1}) {
        side.clear();
        for (int i = 0; i < n; ++i)
            if ((sign < 0) == (gather.headers[i].offset < 0))
                side.push_back(i);
        std::stable_sort(side.begin(), side.end(), [&](int a, int b) {
            return std::fabs(gather.headers[a].offset) < std::fabs(gather.headers[b].offset);
        });
        followed.clear();
        // A side with fewer than two trusted picks starts from its
        // doubtful ones when the other side reads clearly (a short or weak
        // side of a good shot); a shot with hardly a trusted pick is left
        // to the gather stage, whose stacks read it better.
        int confidentOnSide = 0, confidentInShot = 0;
        for (int i = 0; i < n; ++i) {
            const bool sure = trusted(i);
            confidentInShot += sure ? 1 : 0;
            confidentOnSide += sure && (sign < 0) == (gather.headers[i].offset < 0) ? 1 : 0;
        }
        const bool anyAnchor = confidentOnSide < 2 && confidentInShot - confidentOnSide >= 2;
        for (int i : side) {
            OnsetPick &pick = (*picks)[size_t(i)];
            const size_t from = followed.size() > size_t(TrackedPicks) ? followed.size() - TrackedPicks : 0;
            if (followed.size() - from < 2 || guided(i)) {
                if (pick.found && (anyAnchor || trusted(i) || guided(i)))
                    followed.push_back(i);
                continue;
            }
            const double slope =
                medianPairSlope(followed.data() + from, followed.size() - from, abscissa, onset, &slopes);
            if (!(slope > 0)) {
                if (pick.found && (anyAnchor || trusted(i)))
                    followed.push_back(i);
                continue;
            }
            lines.clear();
            for (size_t x = from; x < followed.size(); ++x)
                lines.push_back((*picks)[size_t(followed[x])].onsetMs + slope * (abscissa(i) - abscissa(followed[x])));
            std::nth_element(lines.begin(), lines.begin() + long(lines.size() / 2), lines.end());
            const double expected = lines[lines.size() / 2];
            const double nearer = (*picks)[size_t(followed.back())].onsetMs;
            const bool confident = trusted(i);
            const bool onLine = pick.found && pick.onsetMs <= expected + tolerance &&
                                (confident ? pick.onsetMs >= nearer - tolerance : pick.onsetMs >= expected - tolerance);
            if (onLine) {
                followed.push_back(i);
                continue;
            }
            const OnsetPick again = searchNear(traceOf(gather, i), expected, nearLine);
            if (!again.found)
                continue;
            // Where the search near the line reads only a weaker onset than
            // the doubtful pick off it, the line is the more likely wrong:
            // drawn on through a few early noise picks, it would pull each
            // next trace onto noise near it and run on away from the first
            // break. The pick stays and the line is not drawn through it. A
            // side followed from its doubtful picks alone has nothing better
            // than its line to go by.
            if (pick.found && !confident && !anyAnchor && again.confidence < pick.confidence)
                continue;
            pick = again;
            if (std::fabs(pick.onsetMs - expected) <= tolerance)
                followed.push_back(i);
        }
        // The trace nearest the source is judged against the line drawn
        // back to it: there the first break fills the first samples, before
        // any noise to read it against, and its own pick is often a later
        // arrival. Only a pick late on the line is searched again: the line
        // drawn back from far picks may run late itself (a faster layer's
        // intercept), and nothing on the trace comes before the first break. The search starts no sooner than time zero: the first
        // break cannot come before the shot.
        [&] {
            if (side.empty() || guided(side.front()))
                return;
            const int i = side.front();
            std::vector<int> beyond;
            for (int k : followed)
                if (abscissa(k) > abscissa(i) && beyond.size() < size_t(TrackedPicks))
                    beyond.push_back(k);
            if (beyond.size() < size_t(MinimumLinePicks))
                return;
            const double slope = medianPairSlope(beyond.data(), beyond.size(), abscissa, onset, &slopes);
            if (!(slope > 0))
                return;
            lines.clear();
            for (int k : beyond)
                lines.push_back((*picks)[size_t(k)].onsetMs + slope * (abscissa(i) - abscissa(k)));
            std::nth_element(lines.begin(), lines.begin() + long(lines.size() / 2), lines.end());
            const double expected = std::max(lines[lines.size() / 2], nearLine.windowMs);
            OnsetPick &pick = (*picks)[size_t(i)];
            if (pick.found && pick.onsetMs <= expected + tolerance)
                return;
            const OnsetPick again = searchNear(traceOf(gather, i), expected, nearLine);
            if (again.found && std::fabs(again.onsetMs - expected) <= tolerance)
                pick = again;
        }();
    }
}

// The first break reaches a trace no sooner than at the average speed it
// keeps to the traces beyond: the fastest path out from the source is
// straight down to a faster layer and back, and the farther the trace, the
// more of it runs fast, so time over distance only falls with offset (on
// the direct wave from a buried charge too). The trace nearest the source
// on each side, clipped and ringing with the source's own noise, is held to
// that: a pick sooner than the time over distance of the shot's confident
// picks at least as far out (on either side: under the source the ground is
// the same), less NearSourceSlackMs for the receivers' statics, is on the
// source's noise, whose swing runs on into the first break, so that a search
// near the time given reads the swing's start again. The trace is read
// instead against the trace across the source at much the same distance:
// the same first break through the same ground, lined up by correlation
// over its first cycle. Without one that matches, the pick stays, doubtful.
template<typename Guided, typename Trusted>
void holdNearestToSource(const ShotGather &gather, const OnsetPickerSettings &settings, Guided guided, Trusted trusted,
                         std::vector<OnsetPick> *picks)
{
    const int n = gather.traceCount();
    auto distance = [&](int i) { return std::fabs(gather.headers[i].offset); };
    auto sign = [&](int i) { return gather.headers[i].offset < 0 ? -1 : 1; };
    const double doubtful = std::nextafter(settings.minimumConfidence, 0.0);
    const double dt = gather.sampleIntervalMs;
    for (int side : {-1, 1}) {
        // The trace at the source itself has no distance to be held to.
        int nearest = -1;
        for (int i = 0; i < n; ++i)
            if (sign(i) == side && distance(i) > 0 && (nearest < 0 || distance(i) < distance(nearest)))
                nearest = i;
        if (nearest < 0 || guided(nearest) || !(*picks)[size_t(nearest)].found)
            continue;
        const double x = distance(nearest);
        // Time over distance of the nearest few confident picks at least as
        // far out on each side, carried in to this trace.
        std::vector<int> out;
        for (int i = 0; i < n; ++i)
            if (i != nearest && trusted(i) && distance(i) >= x && (*picks)[size_t(i)].onsetMs > 0)
                out.push_back(i);
        std::stable_sort(out.begin(), out.end(), [&](int a, int b) { return distance(a) < distance(b); });
        std::vector<double> carried;
        for (int s : {-1, 1}) {
            int taken = 0;
            for (int k : out)
                if (sign(k) == s && taken++ < NearSourcePicks)
                    carried.push_back((*picks)[size_t(k)].onsetMs * x / distance(k));
        }
        if (carried.size() < size_t(MinimumLinePicks))
            continue;
        std::sort(carried.begin(), carried.end());
        // One early pick among them (noise, a burst) moves the bound little.
        const double earliest = carried[1] - NearSourceSlackMs;
        OnsetPick &pick = (*picks)[size_t(nearest)];
        if (pick.onsetMs >= earliest)
            continue;
        pick.confidence = std::min(pick.confidence, doubtful);
        int across = -1;
        for (int k : out)
            if (sign(k) != side && distance(k) <= x * (1 + MirrorReach) && across < 0)
                across = k;
        if (across < 0)
            continue;
        const OnsetPick &theirs = (*picks)[size_t(across)];
        const double period = usablePeriod(settings.periodMs) ? settings.periodMs : wholeCycle(theirs);
        if (!usablePeriod(period))
            continue;
        const TraceSamples own = traceOf(gather, nearest), other = traceOf(gather, across);
        const double from = theirs.onsetMs - period / 4;
        const int length = std::max(4, int(std::lround(period / dt)));
        const double mirrored = theirs.onsetMs * x / distance(across);
        const int reach = int(std::lround(NearSourceSlackMs / dt));
        double best = MirrorCorrelation, lag = NaN;
        for (int k = -reach; k <= reach; ++k) {
            const double c = correlation(other, from, own, from + mirrored - theirs.onsetMs + k * dt, length);
            if (c > best && mirrored + k * dt >= earliest) {
                best = c;
                lag = k * dt;
            }
        }
        if (std::isnan(lag))
            continue;
        pick.onsetMs = mirrored + lag;
        pick.timeMs = theirs.timeMs + (pick.onsetMs - theirs.onsetMs);
        pick.periodMs = theirs.periodMs;
        pick.cycleMs = theirs.cycleMs;
        pick.polarity = theirs.polarity;
        pick.confidence = settings.minimumConfidence;
    }
}

// At the source the air wave leaves with the first break: on a trace nearer
// than sound travels in half a period its loud, short, high-pitched lobes
// start with the first break's first lobe or ride on it, and passing over
// them as an air wave's, as further out, passes over the first break too
// (the pick lands a cycle or more late, on whatever long lobe follows).
// Nothing there comes before the first break, so the first motion out of
// the noise within half a period of the shot is taken, whatever its length,
// where it is confident and sooner than the pick; and no first break there
// comes before the shot. Where the record's time 0 is not the shot, the
// first break at the source comes later and is left alone. Offsets are
// taken as metres: in a finer unit the reach only narrows.
template<typename Guided>
void readAtSource(const ShotGather &gather, double period, const OnsetPickerSettings &settings, Guided guided,
                  std::vector<OnsetPick> *picks)
{
    if (!usablePeriod(period))
        return;
    OnsetPickerSettings own = settings;
    own.periodMs = period;
    const double from = std::max(gather.firstSampleMs, 0.0);
    const double reach = SoundMps * AtSourceShare * period / 1000;
    // A first break read at or before the shot, on a record that holds it,
    // left with it: it is taken at the first sample after the shot (a time
    // of 0 reads as no pick), doubtful.
    const double dt = gather.sampleIntervalMs;
    const bool holdsShot = gather.firstSampleMs <= 0;
    const double afterShot = gather.firstSampleMs + (std::floor(-gather.firstSampleMs / dt) + 1) * dt;
    const double doubtful = std::nextafter(settings.minimumConfidence, 0.0);
    for (int i = 0; i < gather.traceCount(); ++i) {
        if (guided(i) || !(std::fabs(gather.headers[i].offset) < reach))
            continue;
        OnsetPick &pick = (*picks)[size_t(i)];
        const double to = std::min(pick.found ? pick.onsetMs - SoonerShare * period : from + settings.windowMs,
                                   from + AtSourceShare * period);
        const OnsetPick first =
            to > from ? pickInRange(traceOf(gather, i), from, to, own, WindowEnd::Strict, Samples::TraceAtSource)
                      : OnsetPick();
        if (first.found && first.confidence >= settings.minimumConfidence)
            pick = first;
        if (holdsShot && pick.found && pick.onsetMs <= 0) {
            pick.timeMs += afterShot - pick.onsetMs;
            pick.onsetMs = afterShot;
            pick.confidence = std::min(pick.confidence, doubtful);
        }
    }
}

// Sound leaves the source along a straight line of known slowness, loud and
// high-pitched; on a hammer record over ground faster than sound it comes
// within the first break's first cycle out to a dozen metres and takes the
// pick there, and further out, where an emergent first break hardly clears
// the noise, the air wave's sharp onset stands out far more. A pick on that
// line (after the shot's own delay, which the picks on it share), whose
// neighbour's on the same side is on it too and moves out with sound
// between them, with a confident onset before it, is read there instead:
// on ground faster than sound the ground wave comes first. Without one it
// stays, doubtful: on slower ground the first break comes after the air
// wave, and either way the air wave is no first break. One pick near the
// line alone is no air wave: an arrival may cross it.
template<typename Guided>
void keepOffAirWave(const ShotGather &gather, double period, const OnsetPickerSettings &settings, Guided guided,
                    std::vector<OnsetPick> *picks)
{
    if (!usablePeriod(period))
        return;
    OnsetPickerSettings own = settings;
    own.periodMs = period;
    const double doubtful = std::nextafter(settings.minimumConfidence, 0.0);
    const int n = gather.traceCount();
    const double from = std::max(gather.firstSampleMs, 0.0);
    auto air = [&](int i) { return std::fabs(gather.headers[i].offset) * 1000 / SoundMps; };
    auto late = [&](int i) { return (*picks)[size_t(i)].onsetMs - air(i); };
    auto movesWithSound = [&](int i, int k) {
        return k >= 0 && k < n && (*picks)[size_t(k)].found &&
               gather.headers[i].offset * gather.headers[k].offset > 0 &&
               std::fabs(late(i) - late(k)) <= AirLeadShare * period;
    };
    // The shot's own delay: of the picks within AirDelayMs of the line that
    // move out with sound beside a neighbour, the lateness most of them
    // share (within AirLineShare of a period), the smallest on a tie; a
    // ground arrival crossing the line now and then is outnumbered.
    std::vector<double> delays;
    for (int i = 0; i < n; ++i) {
        if ((*picks)[size_t(i)].found && std::fabs(late(i)) <= AirDelayMs &&
            (movesWithSound(i, i - 1) || movesWithSound(i, i + 1)))
            delays.push_back(late(i));
    }
    std::sort(delays.begin(), delays.end());
    const double within = AirLineShare * period;
    double delay = 0.0;
    size_t most = 1;
    for (size_t a = 0, b = 0; a < delays.size(); ++a) {
        while (delays[b] < delays[a] - 2 * within)
            ++b;
        const double middle = (delays[a] + delays[b]) / 2;
        if (a + 1 - b > most || (a + 1 - b == most && most > 1 && std::fabs(middle) < std::fabs(delay)))
            most = a + 1 - b, delay = middle;
    }
    auto airAt = [&](int i) { return air(i) + delay; };
    std::vector<char> onLine(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
        const OnsetPick &p = (*picks)[size_t(i)];
        onLine[size_t(i)] = p.found && std::fabs(late(i) - delay) <= within;
    }
    auto withSound = [&](int i, int k) { return movesWithSound(i, k) && onLine[size_t(k)]; };
    std::vector<OnsetPick> read = *picks;
    for (int i = 0; i < n; ++i) {
        if (guided(i) || !onLine[size_t(i)] || !(withSound(i, i - 1) || withSound(i, i + 1)))
            continue;
        const OnsetPick &pick = (*picks)[size_t(i)];
        const double to = std::min(pick.onsetMs, airAt(i)) - AirLeadShare * period;
        // The air wave outweighs the first break many times over: the trace
        // is read only up to it, or the onset found is the air wave's.
        TraceSamples before = traceOf(gather, i);
        before.count = std::min(before.count, int(std::floor(before.indexOf(std::min(pick.onsetMs, airAt(i))))) + 1);
        const OnsetPick sooner =
            to > from ? pickInRange(before, from, to, own, WindowEnd::LookBack, Samples::TraceAtSource) : OnsetPick();
        if (sooner.found && sooner.confidence >= settings.minimumConfidence && sooner.onsetMs <= to)
            read[size_t(i)] = sooner;
        else
            read[size_t(i)].confidence = std::min(read[size_t(i)].confidence, doubtful);
    }
    *picks = std::move(read);
}

// A pick doubtful on its trace alone that continues a first break its
// neighbours agree on is confident: on a noisy record most traces' onsets
// stand only a few noise rms high, yet lie within a sample or two of the
// line through their neighbours'. It must show an onset of its own there
// (VouchShare), so a dead or noise-only trace carried onto that line, or a
// pick a cycle late (whose lead is the first lobe, louder than noise),
// stays doubtful, as does a pick off a line its neighbours scatter about
// (statics, a bend, a later arrival taking over). Decided on the picks as
// they stand, all at once, so the order of the traces does not matter.
void vouchByNeighbours(const ShotGather &gather, double period, const OnsetPickerSettings &settings,
                       std::vector<OnsetPick> *picks)
{
    const int n = gather.traceCount();
    std::vector<double> times(static_cast<size_t>(n), NaN);
    for (int i = 0; i < n; ++i)
        if ((*picks)[size_t(i)].found)
            times[size_t(i)] = (*picks)[size_t(i)].onsetMs;
    // The line only where a doubtful pick asks for it: on a strong shot at
    // a few traces and their neighbours.
    Moveout moveout(gather, times, GatherNeighbours);
    std::vector<double> line(static_cast<size_t>(n), NaN);
    std::vector<char> drawn(static_cast<size_t>(n), 0);
    const double tolerance =
        std::max(2 * gather.sampleIntervalMs, usablePeriod(period) ? std::min(VouchMs, RefineShare * period) : VouchMs);
    auto onLine = [&](int k) {
        if (!std::isfinite(times[size_t(k)]))
            return false;
        if (!drawn[size_t(k)]) {
            line[size_t(k)] = moveout.at(k);
            drawn[size_t(k)] = 1;
        }
        return std::fabs(times[size_t(k)] - line[size_t(k)]) <= tolerance;
    };
    OnsetPickerSettings own = settings;
    if (usablePeriod(period))
        own.periodMs = period;
    std::vector<char> vouched(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
        const OnsetPick &p = (*picks)[size_t(i)];
        if (!p.found || p.confidence >= settings.minimumConfidence || !onLine(i))
            continue;
        int neighbours = 0;
        int around[2 * GatherNeighbours];
        for (int k = std::max(0, i - GatherNeighbours); k <= std::min(n - 1, i + GatherNeighbours); ++k)
            if (k != i && std::isfinite(times[size_t(k)]) && sameSideOfSource(gather, i, k))
                around[neighbours++] = k;
        // Enough of them on the line, or too few left to get there.
        const int needed = std::max(VouchingPicks, neighbours / 2 + 1);
        int agreeing = 0;
        for (int m = 0; m < neighbours && agreeing < needed && agreeing + neighbours - m >= needed; ++m)
            agreeing += onLine(around[m]) ? 1 : 0;
        if (agreeing < needed)
            continue;
        const OnsetPick there = pickInRange(traceOf(gather, i), p.onsetMs - tolerance, p.onsetMs + tolerance, own);
        vouched[size_t(i)] = there.found && std::fabs(there.onsetMs - p.onsetMs) <= tolerance &&
                             there.confidence >= VouchShare * settings.minimumConfidence;
    }
    for (int i = 0; i < n; ++i)
        if (vouched[size_t(i)])
            (*picks)[size_t(i)].confidence = settings.minimumConfidence;
}

// A pick on the record's first sample is no onset: with nothing recorded
// before it, it cannot be told from an arrival already under way there, as
// on the traces near the source of a shot fired before the recorder
// started. A pick within the next sample is kept but doubtful: a shallow
// charge's first break at the source comes that early on coarse sampling,
// and so does the swing of an arrival already under way through zero.
void judgeCutOffOnsets(const ShotGather &gather, const OnsetPickerSettings &settings, std::vector<OnsetPick> *picks)
{
    const double doubtful = std::nextafter(settings.minimumConfidence, 0.0);
    for (OnsetPick &p : *picks) {
        if (p.found && !(p.onsetMs > gather.timeOfSample(0)))
            p = OnsetPick();
        else if (p.found && !(p.onsetMs > gather.timeOfSample(1)))
            p.confidence = std::min(p.confidence, doubtful);
    }
}

} // namespace

// The ringing's window and lags in shot periods, and the correlation below
// which its peak is the noise's (see ringingPeriod in the header). Every
// RingingSteps-th sample and lag: the wavelets told apart differ by far
// more than a step.
constexpr double RingingPeriods = 5;
constexpr double RingingLagShares[] = {0.5, 2.5};
constexpr double RingingCorrelation = 0.35;
constexpr int RingingSteps = 10;
double ringingPeriod(const TraceSamples &t, double fromMs, double period)
{
    const double dt = t.sampleIntervalMs;
    const int step = std::max(1, int(period / dt / RingingSteps));
    const int first = int(std::lround(t.indexOf(fromMs)));
    const int length = int(std::lround(RingingPeriods * period / dt));
    const int minLag = std::max(step, int(std::lround(RingingLagShares[0] * period / dt)) / step * step);
    const int maxLag = int(std::lround(RingingLagShares[1] * period / dt));
    if (first < 0 || first + length + maxLag + step >= t.count)
        return NaN;
    auto correlation = [&](int lag) {
        double ab = 0, aa = 0, bb = 0;
        for (int j = first; j < first + length; j += step) {
            const double a = at(t, j), b = at(t, j + lag);
            ab += a * b;
            aa += a * a;
            bb += b * b;
        }
        return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
    };
    // The first peak after the correlation has turned negative: the first
    // lobe's own width is no cycle.
    bool turned = false;
    double previous = correlation(minLag - step), current = correlation(minLag);
    for (int lag = minLag; lag + step <= maxLag; lag += step) {
        const double next = correlation(lag + step);
        turned = turned || current < 0;
        if (turned && current >= previous && current > next) {
            if (current < RingingCorrelation)
                return NaN;
            const double d = previous - 2 * current + next;
            return (lag + (d < 0 ? 0.5 * step * (previous - next) / d : 0.0)) * dt;
        }
        previous = current;
        current = next;
    }
    return NaN;
}

bool ringsAlike(double cycleMs, double otherMs)
{
    return std::max(cycleMs, otherMs) <= UnlikeCycleRatio * std::min(cycleMs, otherMs);
}

TraceSamples traceOf(const ShotGather &gather, int i)
{
    return TraceSamples{gather.trace(i), gather.samplesPerTrace, gather.firstSampleMs, gather.sampleIntervalMs};
}

OnsetPick pickOnset(const TraceSamples &trace, double fromMs, double toMs, const OnsetPickerSettings &settings)
{
    return pickInRange(trace, fromMs, toMs, settings);
}

OnsetPick pickOnsetNear(const TraceSamples &trace, double predictedMs, const OnsetPickerSettings &settings)
{
    return pickInRange(trace, predictedMs - settings.windowMs, predictedMs + settings.windowMs, settings);
}

double snapTime(const TraceSamples &t, double timeMs, double withinMs, PickPhase phase,
                const OnsetPickerSettings &settings)
{
    if (!t.samples || t.count < 3 || !usableInterval(t.sampleIntervalMs) || !(withinMs >= 0) || !std::isfinite(timeMs))
        return NaN;
    if (phase == PickPhase::Onset) {
        OnsetPickerSettings s = settings;
        s.phase = PickPhase::Onset;
        const OnsetPick pick = pickInRange(t, timeMs - withinMs, timeMs + withinMs, s);
        const bool arrival = pick.found && pick.confidence >= s.snapMinimumConfidence;
        return arrival && std::fabs(pick.onsetMs - timeMs) <= withinMs ? pick.onsetMs : NaN;
    }
    const double centre = t.indexOf(timeMs);
    const double reach = withinMs / t.sampleIntervalMs;
    // Bounded in double before converting: a far-off click stays defined.
    const int from = int(std::clamp(std::ceil(centre - reach), 1.0, double(t.count)));
    const int to = int(std::clamp(std::floor(centre + reach), -1.0, double(t.count - 2)));
    // A peak or trough counts when it is at least half the window's
    // strongest of its sign: a wiggle of noise on a flank is not one.
    double strongest = 0;
    for (int i = from; i <= to; ++i)
        strongest = std::max(strongest, phase == PickPhase::FirstPeak ? at(t, i) : -at(t, i));
    double best = NaN;
    for (int i = from; i <= to; ++i) {
        const double a = at(t, i - 1), b = at(t, i), c = at(t, i + 1);
        if (phase != PickPhase::ZeroCrossing && std::fabs(b) < SnapExtremeShare * strongest)
            continue;
        double candidate = NaN;
        if (phase == PickPhase::FirstPeak && b > 0 && b >= a && b > c)
            candidate = parabolicPeak(t, i);
        else if (phase == PickPhase::FirstTrough && b < 0 && b <= a && b < c)
            candidate = parabolicPeak(t, i);
        else if (phase == PickPhase::ZeroCrossing && ((b > 0 && c <= 0) || (b < 0 && c >= 0)))
            candidate = crossing(i, b, c);
        if (std::isfinite(candidate) && std::fabs(candidate - centre) <= reach &&
            (!std::isfinite(best) || std::fabs(candidate - centre) < std::fabs(best - centre)))
            best = candidate;
    }
    return std::isfinite(best) ? t.timeOf(best) : NaN;
}

WaveformCheck checkWaveforms(const ShotGather &gather, const QVector<double> &picksMs,
                             const WaveformCheckSettings &settings)
{
    WaveformCheck check;
    const int n = gather.traceCount();
    check.traces.resize(n);
    if (picksMs.size() != n || !usableInterval(gather.sampleIntervalMs) || gather.samplesPerTrace < 4 ||
        gather.samples.size() < qint64(n) * gather.samplesPerTrace)
        return check;
    auto hasPick = [&](int i) { return std::isfinite(picksMs[i]) && picksMs[i] > gather.firstSampleMs; };

    // First the gather's period from the onsets near the picks, then every
    // onset again in a window wide enough for a pick a period off.
    std::vector<OnsetPick> onsets(static_cast<size_t>(n));
    OnsetPickerSettings first = settings.picker;
    first.phase = PickPhase::Onset;
    QVector<double> periods;
    for (int i = 0; i < n; ++i) {
        if (!hasPick(i))
            continue;
        onsets[size_t(i)] = pickOnsetNear(traceOf(gather, i), picksMs[i], first);
        const OnsetPick &o = onsets[size_t(i)];
        if (o.found && o.confidence >= first.minimumConfidence && std::isfinite(o.periodMs))
            periods.append(o.periodMs);
    }
    const bool given = usablePeriod(settings.picker.periodMs);
    const double period = given ? settings.picker.periodMs : median(periods);
    check.periodMs = period;
    std::vector<double> periodOf(static_cast<size_t>(n), period);
    if (std::isfinite(period)) {
        OnsetPickerSettings second = first;
        second.periodMs = period;
        second.windowMs = std::max(first.windowMs, CheckWindowPeriods * period);
        for (int i = 0; i < n; ++i)
            if (hasPick(i))
                onsets[size_t(i)] = pickOnsetNear(traceOf(gather, i), picksMs[i], second);
    }
    // Each pick is judged with its own trace's period. Field records mix
    // wavelets: an emergent onset rings at a lower pitch than the sharp ones
    // around it, is read late with their period and would pass for a pick
    // a cycle early, and a skip on it is its own cycle off, not theirs. A
    // trace whose onset rings unlike the shot is read again with the median
    // cycle of its like neighbours, when enough of them agree (one trace's
    // cycle alone may be noise drawn out). The cycle is the one of the onset
    // found around the pick, a skipped pick's as well, held against the
    // shot's cycles measured the same way. Only a pick the shot's period
    // finds off its onset by other than about a period is read again: a
    // cycle measured on a ringing tail may come out long too, and a pick
    // the shot's period judges plainly stands judged.
    if (std::isfinite(period) && !given) {
        std::vector<double> ringing(static_cast<size_t>(n), NaN);
        QVector<double> cycles;
        for (int i = 0; i < n; ++i) {
            const OnsetPick &o = onsets[size_t(i)];
            if (hasPick(i) && o.found && o.confidence >= first.minimumConfidence && usablePeriod(wholeCycle(o)))
                cycles.append(ringing[size_t(i)] = wholeCycle(o));
        }
        const double shotCycle = median(cycles);
        QVector<double> like;
        OnsetPickerSettings own = first;
        for (int i = 0; i < n; ++i) {
            const double a = ringing[size_t(i)];
            if (!std::isfinite(a) || ringsAlike(a, shotCycle))
                continue;
            const double off = std::fabs(picksMs[i] - onsets[size_t(i)].onsetMs);
            if (off <= std::max(2 * gather.sampleIntervalMs, period / 5) ||
                std::fabs(off - period) < settings.periodTolerance * period)
                continue;
            like.clear();
            for (int k = std::max(0, i - GatherNeighbours); k <= std::min(n - 1, i + GatherNeighbours); ++k)
                if (std::isfinite(ringing[size_t(k)]) && ringsAlike(a, ringing[size_t(k)]))
                    like.append(ringing[size_t(k)]);
            if (like.size() < MinimumGatherStack)
                continue;
            own.periodMs = period * median(like) / shotCycle;
            own.windowMs = std::max(first.windowMs, CheckWindowPeriods * own.periodMs);
            const OnsetPick again = pickOnsetNear(traceOf(gather, i), picksMs[i], own);
            if (again.found && again.confidence >= first.minimumConfidence) {
                onsets[size_t(i)] = again;
                periodOf[size_t(i)] = own.periodMs;
            }
        }
    }

    auto toleranceOf = [&](int i) {
        const double p = periodOf[size_t(i)];
        return settings.offOnsetToleranceMs > 0 ? settings.offOnsetToleranceMs
                                                : std::max(2 * gather.sampleIntervalMs, std::isfinite(p) ? p / 5 : 0.0);
    };
    // +1 / -1: about a period after / before its onset; 0: not.
    QVector<int> skip(n, 0);
    for (int i = 0; i < n; ++i) {
        WaveformJudgement &j = check.traces[i];
        if (!hasPick(i))
            continue;
        const OnsetPick &o = onsets[size_t(i)];
        const double p = periodOf[size_t(i)];
        j.confidence = o.confidence;
        j.periodMs = p;
        if (!o.found || o.confidence < first.minimumConfidence) {
            j.verdict = WaveformVerdict::TooWeak;
            continue;
        }
        j.onsetMs = o.onsetMs;
        j.displacementMs = picksMs[i] - o.onsetMs;
        j.verdict = std::fabs(j.displacementMs) > toleranceOf(i) ? WaveformVerdict::OffOnset : WaveformVerdict::Good;
        const double offPeriod = std::fabs(std::fabs(j.displacementMs) - p);
        if (std::isfinite(p) && offPeriod < settings.periodTolerance * p)
            skip[i] = j.displacementMs > 0 ? 1 : -1;
    }

    // Neighbours that vouch for a run: picks on their own confident onsets.
    QVector<bool> onOnset(n, false);
    for (int i = 0; i < n; ++i)
        onOnset[i] = check.traces[i].verdict == WaveformVerdict::Good;

    // A run of picks a period off on the same side is a cycle skip when a
    // good neighbour's waveform lines up with the run's onsets better than
    // with its picks and none says otherwise. Where the neighbours side with the picks, the
    // run's own onsets are the odd ones out and the picks stand. Traces too
    // weak to judge neither break a run nor stand beside it.
    auto passable = [&](int i) {
        const WaveformVerdict v = check.traces[i].verdict;
        return v == WaveformVerdict::TooWeak || v == WaveformVerdict::NotJudged;
    };
    // The nearest trace from `from` stepping by `step` that is not passable,
    // within MaximumRunGap passable ones; -1 when none.
    auto nearestJudged = [&](int from, int step) {
        for (int k = from, gap = 0; k >= 0 && k < n; k += step, ++gap) {
            if (!passable(k))
                return k;
            if (gap >= MaximumRunGap)
                break;
        }
        return -1;
    };
    for (int s = 0; s < n;) {
        if (skip[s] == 0) {
            ++s;
            continue;
        }
        int e = s;
        for (int k = nearestJudged(e + 1, 1); k >= 0 && skip[k] == skip[s]; k = nearestJudged(e + 1, 1))
            e = k;
        int confirming = 0, contradicting = 0;
        for (const auto &[outside, inside] :
             {std::pair<int, int>{nearestJudged(s - 1, -1), s}, std::pair<int, int>{nearestJudged(e + 1, 1), e}}) {
            if (outside < 0 || !onOnset[outside])
                continue;
            const TraceSamples a = traceOf(gather, outside), b = traceOf(gather, inside);
            const double anchor = onsets[size_t(outside)].onsetMs;
            const double p = periodOf[size_t(inside)];
            const double atOnsets = bestCorrelation(a, anchor, b, onsets[size_t(inside)].onsetMs - anchor, p);
            const double atPicks = bestCorrelation(a, anchor, b, picksMs[inside] - picksMs[outside], p);
            if (atOnsets >= atPicks + settings.correlationMargin)
                ++confirming;
            else if (atPicks >= atOnsets + settings.correlationMargin)
                ++contradicting;
        }
        const bool skipped = confirming > 0 && contradicting == 0;
        const bool picksStand = contradicting > 0 && confirming == 0;
        for (int i = s; i <= e; ++i) {
            if (skip[i] == 0)
                continue;
            if (skipped)
                check.traces[i].verdict = WaveformVerdict::CycleSkip;
            else if (picksStand)
                check.traces[i].verdict = WaveformVerdict::Good;
        }
        if (skipped)
            ++check.cycleSkipRuns;
        s = e + 1;
    }
    // Without a confident onset in the shot there is no period to line the
    // waveforms up by: its weak traces stay unjudged.
    if (std::isfinite(period))
        judgeWeakByNeighbours(gather, picksMs, period, settings.correlationMargin, skip, &check);
    return check;
}

QVector<OnsetPick> pickGather(const ShotGather &gather, const QVector<double> &predictedMs,
                              const OnsetPickerSettings &settings)
{
    const int n = gather.traceCount();
    std::vector<OnsetPick> picks(static_cast<size_t>(n));
    if (!usableInterval(gather.sampleIntervalMs) || gather.samplesPerTrace < 4 ||
        gather.samples.size() < qint64(n) * gather.samplesPerTrace ||
        (!predictedMs.isEmpty() && predictedMs.size() != n))
        return QVector<OnsetPick>(picks.begin(), picks.end());
    auto predicted = [&](int i) { return predictedMs.isEmpty() ? NaN : predictedMs[i]; };
    const double wholeFrom = gather.firstSampleMs;
    const double wholeTo = gather.timeOfSample(gather.samplesPerTrace - 1);
    auto pickOne = [&](int i, const OnsetPickerSettings &s) {
        const TraceSamples trace = traceOf(gather, i);
        return std::isfinite(predicted(i)) ? searchNear(trace, predicted(i), s)
                                           : pickInRange(trace, wholeFrom, wholeTo, s, WindowEnd::LookBack);
    };
    // Without a period given, the shot's own (the median of its confident
    // picks') is measured first on every few traces, and every trace is then
    // picked knowing it: one trace's lobes measure it roughly, and an
    // arrival that builds up is read half a period before its first lobe's
    // end. It also tells an air wave's or a burst's short lobes from the
    // first break. A shot with too few confident traces in that sample is
    // picked without it first, then traces whose pick rang much shorter
    // (an air wave) or much longer than the median of all its confident
    // picks are searched again with that. Noise louder than a weak first
    // break swings past its own rms only now and then, so a pick on it
    // measures a long cycle from those swings.
    OnsetPickerSettings again = settings;
    auto confidentPeriod = [&](const OnsetPick &p) {
        return p.found && p.confidence >= settings.minimumConfidence && std::isfinite(p.periodMs);
    };
    if (!usablePeriod(settings.periodMs)) {
        QVector<double> periods;
        for (int i = 0; i < n; i += PeriodSampleStep) {
            const OnsetPick p = pickOne(i, settings);
            if (confidentPeriod(p))
                periods.append(wholeCycle(p));
        }
        const double period = median(periods);
        if (periods.size() >= MinimumPeriodSamples && period > 0)
            again.periodMs = period;
    }
    // A period under which most of the shot shows no first break at all
    // was measured on cycles that noise drew out: not the shot's.
    bool measured = usablePeriod(again.periodMs);
    if (measured) {
        int found = 0;
        for (int i = 0; i < n; ++i) {
            picks[size_t(i)] = pickOne(i, again);
            found += picks[size_t(i)].found ? 1 : 0;
        }
        measured = 2 * found >= n || usablePeriod(settings.periodMs);
        if (!measured)
            again.periodMs = settings.periodMs;
    }
    if (!measured) {
        for (int i = 0; i < n; ++i)
            picks[size_t(i)] = pickOne(i, settings);
        QVector<double> periods;
        for (const OnsetPick &p : picks)
            if (confidentPeriod(p))
                periods.append(wholeCycle(p));
        double period = median(periods);
        // A few confident picks on a weak shot may be bursts or a later
        // arrival: their period stands only where the shot's picks as a
        // whole ring close to it (with none, theirs is taken). Searched near
        // a fitted curve's times, three of them are the first break's.
        if (periods.size() < (predictedMs.isEmpty() ? FewPeriodSamples : MinimumPeriodSamples)) {
            QVector<double> all;
            for (const OnsetPick &p : picks)
                if (p.found && std::isfinite(p.periodMs))
                    all.append(wholeCycle(p));
            const double overall = median(all);
            if (all.size() >= MinimumPeriodSamples &&
                !(period >= PeriodAgreement * overall && period * PeriodAgreement <= overall))
                period = overall;
        }
        if (std::isfinite(period) && period > 0) {
            again.periodMs = period;
            for (int i = 0; i < n; ++i) {
                const OnsetPick &p = picks[size_t(i)];
                if (p.found && std::isfinite(p.periodMs) &&
                    (wholeCycle(p) < ShortPeriodShare * period || wholeCycle(p) * ShortPeriodShare > period))
                    picks[size_t(i)] = pickOne(i, again);
            }
        }
    }

    // The neighbours' line: time against offset, or against position when
    // the headers give no offsets.
    bool offsets = false;
    for (int i = 1; i < n && !offsets; ++i)
        offsets = gather.headers[i].offset != gather.headers[0].offset;
    auto abscissa = [&](int i) { return offsets ? gather.headers[i].offset : double(i); };
    auto confident = [&](const OnsetPick &p) { return p.found && p.confidence >= settings.minimumConfidence; };
    // Which own picks the neighbours' lines are drawn through, and the
    // sides are followed from: the confident ones, and on a shot with
    // hardly any, also those on a line with their neighbours' (there a
    // doubtful pick that continues the first break is worth more than a
    // line drawn through a few confident ones far apart).
    std::vector<char> trust(static_cast<size_t>(n));
    int confidentOwn = 0;
    for (int i = 0; i < n; ++i) {
        trust[size_t(i)] = confident(picks[size_t(i)]) ? 1 : 0;
        confidentOwn += trust[size_t(i)];
    }
    if (offsets && confidentOwn < WeakShotShare * n) {
        const std::vector<char> lined = corroborated(gather, picks, CorroborationShare * settings.windowMs);
        for (int i = 0; i < n; ++i)
            trust[size_t(i)] = trust[size_t(i)] || lined[size_t(i)];
    }
    // A pick on the direct wave lies off its neighbours' line across the
    // bend and stays as picked. At the source that wave's lines from both
    // sides meet near time 0, where a line through the neighbours on both
    // sides misses it. A fitted curve's times already follow the bend.
    const std::vector<char> direct =
        offsets && predictedMs.isEmpty() ? onDirectWave(gather, picks) : std::vector<char>(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i)
        if (direct[size_t(i)] == 2) {
            const OnsetPick nearSource = pickOnsetNear(traceOf(gather, i), std::max(0.0, wholeFrom), again);
            if (nearSource.found)
                picks[size_t(i)] = nearSource;
        }
    std::vector<OnsetPick> repicked = picks;
    std::vector<double> slopes;
    auto side = [&](int k) { return offsets ? (abscissa(k) > 0) - (abscissa(k) < 0) : 0; };
    for (int i = 0; i < n; ++i) {
        if (std::isfinite(predicted(i)) || direct[size_t(i)])
            continue;
        QVector<int> near;
        for (int k = i - 1; k >= 0 && near.size() < NeighbourPicks; --k)
            if (trust[size_t(k)])
                near.append(k);
        const int before = near.size();
        for (int k = i + 1; k < n && near.size() < before + NeighbourPicks; ++k)
            if (trust[size_t(k)])
                near.append(k);
        if (near.size() < 2)
            continue;
        // Median slope over the pairs, then the median of the lines through
        // each neighbour at that slope: one wrong neighbour moves neither.
        // Where every neighbour lies across the source the line is drawn
        // against the distance from it: carried on across the source it
        // runs the wrong way, to times before the shot.
        bool across = side(i) != 0;
        for (int k : near)
            across = across && side(k) * side(i) < 0;
        auto at = [&](int k) { return across ? std::fabs(abscissa(k)) : abscissa(k); };
        const double slope = medianPairSlope(
            near.constData(), size_t(near.size()), at, [&](int k) { return picks[size_t(k)].onsetMs; }, &slopes);
        if (std::isnan(slope))
            continue;
        QVector<double> times;
        for (int k : near)
            times.append(picks[size_t(k)].onsetMs + slope * (at(i) - at(k)));
        const double expected = median(times);
        const OnsetPick &own = picks[size_t(i)];
        if (trust[size_t(i)] && std::fabs(own.onsetMs - expected) <= settings.windowMs / 2)
            continue;
        // A trusted pick before the line, though, is the first break under
        // a later, stronger wave whose picks among the neighbours drag the
        // line late; only one sooner by as much than the line through every
        // neighbour on its own side of the source is something else (a
        // burst). The line runs later than a neighbour nearer the source by
        // the moveout between them: the source trace's pick excuses no
        // noise far out. Across the source the first breaks tell nothing.
        double earliest = std::numeric_limits<double>::infinity();
        bool ownSide = false;
        for (int k : near)
            ownSide = ownSide || side(k) * side(i) >= 0;
        for (int k : near)
            if (!ownSide || side(k) * side(i) >= 0)
                earliest = std::min(earliest, picks[size_t(k)].onsetMs + slope * (at(i) - at(k)));
        if (trust[size_t(i)] && own.onsetMs < expected && own.onsetMs >= earliest - settings.windowMs / 2)
            continue;
        // Far from its neighbours' line the trace's own pick was something
        // else (a burst, a later arrival): the one near the line stands,
        // with its own confidence.
        const OnsetPick nearLine = searchNear(traceOf(gather, i), expected, again);
        if (nearLine.found)
            repicked[size_t(i)] = nearLine;
    }
    if (offsets)
        traceOutward(
            gather, again, [&](int i) { return std::isfinite(predicted(i)); },
            [&](int i) {
                // A trace searched again is judged on its new pick's own
                // confidence.
                const OnsetPick &p = repicked[size_t(i)];
                return p.found && (p.onsetMs == picks[size_t(i)].onsetMs ? trust[size_t(i)] != 0 : confident(p));
            },
            &repicked);
    for (int i = 0; i < n; ++i)
        if (direct[size_t(i)])
            repicked[size_t(i)] = picks[size_t(i)];
    // The gather stage needs the shot's period to line waveforms up by and
    // to read an onset half a period before the first lobe's end, which a
    // few percent off moves by a millisecond: the median over every
    // confident pick of the shot where there are enough, closer than the
    // one of the few traces the shot was picked with; else that one, else
    // the median of what the picks measured.
    double period = again.periodMs;
    if (!usablePeriod(settings.periodMs)) {
        QVector<double> periods, all;
        for (const OnsetPick &p : repicked) {
            if (confidentPeriod(p))
                periods.append(wholeCycle(p));
            if (p.found && std::isfinite(p.periodMs))
                all.append(wholeCycle(p));
        }
        const double overall = median(all);
        if (periods.size() >= MinimumPeriodSamples)
            period = median(periods);
        // With hardly a confident pick left, the period the shot was
        // picked with stands only where its picks as a whole ring close to
        // it: a few traces' cycles measure it roughly.
        else if (all.size() >= MinimumPeriodSamples && usablePeriod(period) &&
                 !(period >= PeriodAgreement * overall && period * PeriodAgreement <= overall))
            period = overall;
    }
    if (!usablePeriod(period)) {
        QVector<double> periods;
        for (const OnsetPick &p : repicked)
            if (p.found && std::isfinite(p.periodMs))
                periods.append(wholeCycle(p));
        period = median(periods);
    }
    if (usablePeriod(period) && period >= MinimumIntervalMs * 4) {
        int confidentPicks = 0;
        for (const OnsetPick &p : repicked)
            confidentPicks += confident(p) ? 1 : 0;
        const int passes = confidentPicks < WeakShotShare * n ? GatherPasses : 1;
        // A weak shot searched around a fitted curve's times is first lined
        // up along the robust line through those times: there the curve
        // knows the moveout better than the line through the weak picks.
        std::vector<double> curve;
        if (passes > 1 && !predictedMs.isEmpty())
            curve = moveoutLine(gather, std::vector<double>(predictedMs.begin(), predictedMs.end()), GatherNeighbours);
        std::vector<double> moved(static_cast<size_t>(n), 0.0);
        const std::vector<double> guide(predictedMs.begin(), predictedMs.end());
        for (int pass = 0; pass < passes; ++pass)
            pickOnNeighbourStacks(gather, period, settings, pass == 0 ? curve : std::vector<double>(), guide, direct,
                                  &repicked, &moved, &period);
    }
    vouchByNeighbours(gather, period, settings, &repicked);
    if (offsets) {
        readAtSource(
            gather, period, settings, [&](int i) { return std::isfinite(predicted(i)); }, &repicked);
        keepOffAirWave(
            gather, period, settings, [&](int i) { return std::isfinite(predicted(i)); }, &repicked);
        OnsetPickerSettings held = settings;
        held.periodMs = usablePeriod(period) ? period : settings.periodMs;
        holdNearestToSource(
            gather, held, [&](int i) { return std::isfinite(predicted(i)); },
            [&](int i) { return confident(repicked[size_t(i)]); }, &repicked);
    }
    judgeCutOffOnsets(gather, settings, &repicked);
    return QVector<OnsetPick>(repicked.begin(), repicked.end());
}

} // namespace FbQc
