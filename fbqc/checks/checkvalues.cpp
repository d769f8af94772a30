#include <fbqc/checks/checks.h>

#include <fbfile/fbcolumns.h>
#include <fbqc/pickqc.h>

#include <QCoreApplication>

#include <cmath>
#include <vector>

using namespace FbFile;

// Values a pick file must not hold: a NaN or infinite float in any float
// field. Every float field of the field table is checked, so a field added
// to the table is checked too.
namespace FbQc {

namespace {

const std::vector<int> &floatColumns()
{
    static const std::vector<int> columns = [] {
        std::vector<int> c;
        for (int column = 0; column < FbColumns::Count; ++column) {
            if (FbColumns::field(column).type == FbLayout::FieldType::Float32)
                c.push_back(column);
        }
        return c;
    }();
    return columns;
}

} // namespace

void checkNonFinite(const ShotData &shot, const Settings &, Findings *out)
{
    const std::vector<int> &columns = floatColumns();
    for (int i = 0; i < shot.n; ++i) {
        const FbRecord &r = shot.records[i];
        // Most records are fine: one test of all their floats first.
        if (std::isfinite(r.source_x + r.source_y + r.group_x + r.group_y + r.fb_time))
            continue;
        for (int column : columns) {
            const float v = r.*FbColumns::field(column).floatMember;
            if (std::isfinite(v))
                continue;
            Finding f = pickFinding(Kind::NonFinite, shot, i);
            f.column = qint8(column);
            f.value = v;
            out->push_back(f);
        }
    }
}

QString describeNonFinite(const Finding &f, const Report &report)
{
    return QCoreApplication::translate("FbQc::Kind", "%1: %2 = %3")
        .arg(pickName(report, f), QLatin1String(FbColumns::titles[f.column]), QString::number(double(f.value)));
}

} // namespace FbQc
