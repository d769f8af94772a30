#include <fbqc/shotfit.h>

#include <fbqc/firstbreakfit.h>

using namespace FbFile;

namespace FbQc {

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

double SideModel::segmentVelocity(int k) const
{
    if (!judged || k < 0 || k >= segments || !(measured & (1u << k)))
        return NaN;
    const double width = knotOffset[k + 1] - knotOffset[k];
    const double rise = knotTime[k + 1] - knotTime[k];
    return width > 0.0 && rise > 0.0 ? 1000.0 * width / rise : NaN;
}

double SideModel::segmentIntercept(int k) const
{
    if (!judged || k < 0 || k >= segments)
        return NaN;
    const double width = knotOffset[k + 1] - knotOffset[k];
    const double slope = width > 0.0 ? (knotTime[k + 1] - knotTime[k]) / width : 0.0;
    return knotTime[k] - slope * knotOffset[k];
}

ShotFit fitShot(const QVector<FbRecord> &records, const Settings &settings)
{
    ShotFit fit;
    ShotFitter fitter;
    fitter.fit(records.constData(), records.size(), settings, &fit);
    return fit;
}

} // namespace FbQc
