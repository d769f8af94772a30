#include "pickqc.h"

#include "fbcolumns.h"
#include "firstbreakfit.h"
#include "qcpass.h"

#include <cmath>

namespace PickQc {

double SideModel::timeAt(double absOffset) const
{
    if (!judged || segments < 1)
        return NaN;
    int s = 0;
    while (s < segments - 1 && absOffset > knotOffset[s + 1])
        ++s;
    const double width = knotOffset[s + 1] - knotOffset[s];
    const double slope = width > 0.0 ? (knotTime[s + 1] - knotTime[s]) / width : 0.0;
    return knotTime[s] + slope * (absOffset - knotOffset[s]);
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

ShotFit fitShot(const QVector<FbRecord> &records, const Settings &settings)
{
    ShotFit fit;
    ShotFitter fitter;
    fitter.fit(records.constData(), records.size(), settings, &fit);
    return fit;
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
