#include <fbqc/offsettally.h>

#include <cmath>

using namespace FbFile;

namespace FbQc {

constexpr int OffsetTally::Factors[];

void OffsetTally::add(const FbRecord &r)
{
    if (r.offset == 0)
        return;
    const double dx = double(r.group_x) - r.source_x, dy = double(r.group_y) - r.source_y;
    const double d2 = dx * dx + dy * dy;
    if (!(d2 > 0) || !std::isfinite(d2))
        return;
    ++m_examined;
    // Squares compared, no root taken: this runs for every record.
    const double o2 = double(r.offset) * r.offset;
    constexpr double low = (1.0 - AgreeFraction) * (1.0 - AgreeFraction);
    constexpr double high = (1.0 + AgreeFraction) * (1.0 + AgreeFraction);
    for (int k = 0; k < FactorCount; ++k) {
        const double f2 = double(Factors[k]) * Factors[k] * d2;
        if (o2 >= low * f2 && o2 <= high * f2) {
            ++m_agree[k];
            return;
        }
    }
}

void OffsetTally::add(const OffsetTally &other)
{
    m_examined += other.m_examined;
    for (int k = 0; k < FactorCount; ++k)
        m_agree[k] += other.m_agree[k];
}

int OffsetTally::factor() const
{
    int best = 0;
    for (int k = 1; k < FactorCount; ++k) {
        if (m_agree[k] > m_agree[best])
            best = k;
    }
    return Factors[best];
}

bool OffsetTally::found() const
{
    if (unknown())
        return false;
    int best = 0;
    for (int k = 1; k < FactorCount; ++k) {
        if (m_agree[k] > m_agree[best])
            best = k;
    }
    return double(m_agree[best]) >= FoundShare * double(m_examined);
}

} // namespace FbQc
