#include <fbqc/pickqc.h>

#include <fbqc/memoryadvice.h>
#include <fbqc/qcpass.h>

#include <algorithm>
#include <cmath>

using namespace FbFile;

namespace FbQc {

ShotSummary ShotSummaries::at(int shot) const
{
    Q_ASSERT_X(m_index.size() == m_sources.size(), "ShotSummaries::at", "no index attached");
    const ShotIndexEntry &entry = m_index.at(shot);
    const ShotSource &source = m_sources.at(shot);
    ShotSummary s;
    s.ffid = entry.ffid;
    s.picks = entry.lastRecord - entry.firstRecord + 1;
    s.sourceX = source.x;
    s.sourceY = source.y;
    s.sLine = source.line;
    s.sStat = source.stat;
    const auto it =
        std::lower_bound(m_judged.cbegin(), m_judged.cend(), shot, [](const Judged &j, int k) { return j.shot < k; });
    if (it == m_judged.cend() || it->shot != shot) {
        s.notJudged = s.picks;
        s.rmsResidual = float(NaN);
        s.velocity[Negative] = s.velocity[Positive] = float(NaN);
        s.intercept[Negative] = s.intercept[Positive] = float(NaN);
        s.sourceDelay = float(NaN);
        return s;
    }
    s.outliers = it->outliers;
    s.notJudged = it->notJudged;
    s.notPicked = it->notPicked;
    s.nonFinite = it->nonFinite;
    s.varyingColumns = it->varyingColumns;
    s.rmsResidual = it->rmsResidual;
    for (int side = Negative; side <= Positive; ++side) {
        s.velocity[side] = it->velocity[side];
        s.intercept[side] = it->intercept[side];
        s.span[side] = it->span[side];
    }
    s.sourceDelay = it->sourceDelay;
    s.sourceHeight = it->sourceHeight;
    s.heightSlowness = it->heightSlowness;
    s.sourceDepth = it->sourceDepth;
    s.directReachMs = it->directReachMs;
    s.quietPicks = it->quietPicks;
    s.quietSquares = it->quietSquares;
    s.doubtfulSource = it->doubtfulSource;
    return s;
}

ShotSummaries::Judged ShotSummaries::judged(int shot, const ShotSummary &s)
{
    return Judged{shot,
                  s.outliers,
                  s.notJudged,
                  s.notPicked,
                  s.nonFinite,
                  s.varyingColumns,
                  s.rmsResidual,
                  {s.velocity[Negative], s.velocity[Positive]},
                  {s.intercept[Negative], s.intercept[Positive]},
                  {s.span[Negative], s.span[Positive]},
                  s.sourceDelay,
                  s.sourceHeight,
                  s.heightSlowness,
                  s.sourceDepth,
                  s.directReachMs,
                  s.quietPicks,
                  s.quietSquares,
                  s.doubtfulSource};
}

bool ShotSummaries::hasNothing(const ShotSummary &s)
{
    const bool noFit = std::isnan(s.rmsResidual) && std::isnan(s.sourceDelay) && std::isnan(s.velocity[Negative]) &&
                       std::isnan(s.velocity[Positive]) && std::isnan(s.intercept[Negative]) &&
                       std::isnan(s.intercept[Positive]);
    return noFit && s.outliers == 0 && s.notJudged == s.picks && s.notPicked == 0 && s.nonFinite == 0 &&
           s.varyingColumns == 0;
}

void ShotSummaries::append(const ShotSummary &s)
{
    const int shot = m_sources.size();
    m_sources.append(ShotSource{s.sourceX, s.sourceY, s.sLine, s.sStat});
    if (!hasNothing(s))
        m_judged.append(judged(shot, s));
}

void ShotSummaries::replace(int shot, const ShotSummary &s)
{
    m_sources[shot] = ShotSource{s.sourceX, s.sourceY, s.sLine, s.sStat};
    const auto it =
        std::lower_bound(m_judged.begin(), m_judged.end(), shot, [](const Judged &j, int k) { return j.shot < k; });
    const bool present = it != m_judged.end() && it->shot == shot;
    if (hasNothing(s)) {
        if (present)
            m_judged.erase(it);
    } else if (present) {
        *it = judged(shot, s);
    } else {
        m_judged.insert(it, judged(shot, s));
    }
}

std::vector<ShotSummaries::Timing> ShotSummaries::timings() const
{
    std::vector<Timing> timings;
    for (const Judged &j : m_judged) {
        if (std::isfinite(j.sourceDelay) || std::isfinite(j.intercept[Negative]) ||
            std::isfinite(j.intercept[Positive]))
            timings.push_back(Timing{j.shot,
                                     {j.sourceDelay, j.intercept[Negative], j.intercept[Positive]},
                                     j.sourceHeight,
                                     j.heightSlowness,
                                     j.sourceDepth,
                                     j.directReachMs,
                                     {j.velocity[Negative], j.velocity[Positive]},
                                     {j.span[Negative], j.span[Positive]},
                                     j.doubtfulSource});
    }
    return timings;
}

void ShotSummaries::attachIndex(const QVector<ShotIndexEntry> &index)
{
    m_index = index;
}

void ShotSummaries::reserve(int shots)
{
    m_sources.reserve(shots);
    adviseLargePages(m_sources.constData(), size_t(shots) * sizeof(ShotSource));
}

Report::Report() = default;
Report::Report(Report &&) noexcept = default;
Report &Report::operator=(Report &&) noexcept = default;
Report::Report(const Report &) = default;
Report &Report::operator=(const Report &) = default;
Report::~Report() = default;

bool Report::addFinding(const Finding &finding)
{
    return m_findings[int(finding.kind)].append(finding);
}

bool Report::addCandidate(const Finding &candidate)
{
    return m_candidates.append(candidate);
}

void Report::setFindings(Kind kind, FindingList findings)
{
    m_findings[int(kind)] = std::move(findings);
}

bool Report::replaceShot(qint32 shot, const std::vector<Finding> &findings, const std::vector<Finding> &candidates,
                         QString *error)
{
    const auto replace = [&](FindingList *list, const std::vector<Finding> &own) {
        if (list->replaceShot(shot, own))
            return true;
        *error = list->errorString();
        return false;
    };
    std::vector<Finding> own;
    for (Kind kind : shotKinds()) {
        own.clear();
        for (const Finding &f : findings) {
            if (f.kind == kind)
                own.push_back(f);
        }
        if (!replace(&m_findings[int(kind)], own))
            return false;
    }
    return replace(&m_candidates, candidates);
}

qint64 Report::problems() const
{
    qint64 sum = 0;
    for (int k = 0; k < KindCount; ++k) {
        if (kinds()[k].severity == Severity::Problem)
            sum += m_findings[k].size();
    }
    return sum;
}

int Report::problemKinds() const
{
    int sum = 0;
    for (int k = 0; k < KindCount; ++k) {
        if (kinds()[k].severity == Severity::Problem && !m_findings[k].isEmpty())
            ++sum;
    }
    return sum;
}

qint64 Report::trailingBytes() const
{
    return FbLayout::trailingBytes(fileSize, recordCount);
}

const TimingEstimate *Report::timingOf(qint32 shot) const
{
    const auto it = std::lower_bound(m_timing.cbegin(), m_timing.cend(), shot,
                                     [](const TimingEstimate &t, qint32 s) { return t.shot < s; });
    return it != m_timing.cend() && it->shot == shot ? &*it : nullptr;
}

Report::Uphole Report::uphole(qint32 shot) const
{
    if (!m_uphole)
        return Uphole{shot, 0.0f, float(NaN)};
    const auto it = std::lower_bound(m_uphole->cbegin(), m_uphole->cend(), shot,
                                     [](const Uphole &t, qint32 s) { return t.shot < s; });
    return it != m_uphole->cend() && it->shot == shot ? *it : Uphole{shot, 0.0f, float(NaN)};
}

float Report::depthCorrected(const ReciprocalPair &p) const
{
    const Uphole a = uphole(p.shotA), b = uphole(p.shotB);
    if (0.5f * (p.timeAB + p.timeBA) <= 0.5f * (a.directReachMs + b.directReachMs))
        return p.difference();
    return p.difference() + (a.ms - b.ms);
}

// A delay this many times its uncertainty is no chance scatter of its
// pairs; fewer agreeing pairs than this tell their scatter too poorly.
constexpr double NamedOverUncertainty = 3.0;
constexpr int MinPairsForScatter = 6;

bool namedByPairs(const TimingEstimate &t, double toleranceMs)
{
    if (t.pairs < MinTimingPairs || 2 * t.agreeing <= t.pairs)
        return false;
    const double delay = std::abs(double(t.delay));
    if (delay > toleranceMs)
        return true;
    return t.agreeing >= MinPairsForScatter && delay > toleranceMs / 2 &&
           delay > NamedOverUncertainty * double(t.uncertainty);
}

QString timingText(double ms)
{
    // No sign on what rounds to nothing, whichever side it came from.
    const double tenths = std::round(ms * 10.0) / 10.0;
    if (!std::isfinite(tenths))
        return QString();
    const QString digits = QString::number(std::abs(tenths), 'f', 1);
    return tenths > 0 ? QLatin1Char('+') + digits : tenths < 0 ? QLatin1Char('-') + digits : digits;
}

bool Report::flagged(const ReciprocalPair &pair) const
{
    return std::abs(depthCorrected(pair)) > settings.reciprocityMs;
}

qint32 Report::explainedBy(qint32 a, qint32 b, double d) const
{
    if (count(Kind::TimingError) == 0)
        return -1;
    const TimingEstimate *ta = timingOf(a), *tb = timingOf(b);
    const auto late = [this](const TimingEstimate *t) { return t && namedByPairs(*t, settings.reciprocityMs); };
    const bool lateA = late(ta), lateB = late(tb);
    if (!lateA && !lateB)
        return -1;
    const double explained = (ta ? ta->delay : 0.0) - (tb ? tb->delay : 0.0);
    if (std::abs(d - explained) > settings.reciprocityMs)
        return -1;
    return !lateA || (lateB && std::abs(tb->delay) > std::abs(ta->delay)) ? b : a;
}

Analyzer::Analyzer(const QString &fileName, const Settings &settings) : m_fileName(fileName), m_settings(settings) { }

bool Analyzer::run(Report *report, const Progress &progress)
{
    m_error.clear();
    m_cancelled = false;
    if (report)
        *report = Report();
    Report result;
    QcPass pass(m_fileName, m_settings, progress);
    if (!pass.run(&result)) {
        m_cancelled = pass.cancelled();
        m_error = pass.errorString();
        return false;
    }
    if (report)
        *report = std::move(result);
    return true;
}

QString Analyzer::errorString() const
{
    return m_error;
}

bool Analyzer::wasCancelled() const
{
    return m_cancelled;
}

void timesInMilliseconds(FbRecord *records, qint64 count, const Units &units)
{
    if (units.timesInMs())
        return;
    const double toMs = units.milliseconds(1.0);
    for (qint64 k = 0; k < count; ++k)
        records[k].fb_time = float(double(records[k].fb_time) * toMs);
}

} // namespace FbQc
