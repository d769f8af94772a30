#include "pickqc.h"

#include "fbcolumns.h"
#include "firstbreakfit.h"
#include "qcpass.h"

#include <algorithm>
#include <cmath>

namespace PickQc {

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
    const auto it = std::lower_bound(m_judged.cbegin(), m_judged.cend(), shot,
                                     [](const Judged &j, int k) { return j.shot < k; });
    if (it == m_judged.cend() || it->shot != shot) {
        s.notJudged = s.picks;
        s.rmsResidual = float(NaN);
        s.velocity[Negative] = s.velocity[Positive] = float(NaN);
        s.intercept[Negative] = s.intercept[Positive] = float(NaN);
        return s;
    }
    s.outliers = it->outliers;
    s.notJudged = it->notJudged;
    s.nonFinite = it->nonFinite;
    s.varyingColumns = it->varyingColumns;
    s.rmsResidual = it->rmsResidual;
    for (int side = Negative; side <= Positive; ++side) {
        s.velocity[side] = it->velocity[side];
        s.intercept[side] = it->intercept[side];
    }
    return s;
}

void ShotSummaries::append(const ShotSummary &s)
{
    const int shot = m_sources.size();
    m_sources.append(ShotSource{s.sourceX, s.sourceY, s.sLine, s.sStat});
    const bool noFit = std::isnan(s.rmsResidual) && std::isnan(s.velocity[Negative])
                    && std::isnan(s.velocity[Positive]) && std::isnan(s.intercept[Negative])
                    && std::isnan(s.intercept[Positive]);
    if (noFit && s.outliers == 0 && s.notJudged == s.picks && s.nonFinite == 0 && s.varyingColumns == 0)
        return;
    m_judged.append(Judged{shot, s.outliers, s.notJudged, s.nonFinite, s.varyingColumns, s.rmsResidual,
                           {s.velocity[Negative], s.velocity[Positive]},
                           {s.intercept[Negative], s.intercept[Positive]}});
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

int Report::flaggedPairs() const
{
    int count = 0;
    for (const ReciprocalPair &pair : pairs)
        count += pair.flagged ? 1 : 0;
    return count;
}

bool Report::clean() const
{
    return outliers.isEmpty() && flaggedPairs() == 0 && sourceVariations.isEmpty() && badValues.isEmpty()
        && repeatedFfids.isEmpty();
}

Analyzer::Analyzer(const QString &fileName, const Settings &settings)
    : m_fileName(fileName)
    , m_settings(settings)
{
}

bool Analyzer::run(Report *report, const Progress &progress, const std::atomic_bool *cancel)
{
    m_error.clear();
    m_cancelled = false;
    if (report)
        *report = Report();
    Report result;
    QcPass pass(m_fileName, m_settings, progress, cancel);
    const QcPass::Outcome outcome = pass.run(&result);
    if (outcome != QcPass::Done) {
        m_cancelled = outcome == QcPass::Cancelled;
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

} // namespace PickQc
