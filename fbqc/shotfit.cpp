#include "shotfit.h"

#include "firstbreakfit.h"

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

ShotFit fitShot(const QVector<FbRecord> &records, const Settings &settings)
{
    ShotFit fit;
    ShotFitter fitter;
    fitter.fit(records.constData(), records.size(), settings, &fit);
    return fit;
}

} // namespace PickQc
