#include <fbqc/checks/checks.h>

#include <fbqc/pickqc.h>
#include <fbqc/qccsv.h>

#include <QCoreApplication>

using namespace FbFile;

// The integer lengths of a file (offset, elevations, source depth) may be
// in a finer unit than its float coordinates: whole centimetres beside
// metres. The factor is the one most offsets agree with as multiples of the
// source-receiver distance; a file whose offsets agree with none of them
// has offsets or coordinates that cannot both be right.
namespace FbQc {

void checkOffsetUnit(Report *r)
{
    r->units = r->settings.units;
    const OffsetTally &t = r->offsets;
    if (r->units.offsetFactor <= 0)
        r->units.offsetFactor = t.found() ? t.factor() : 1;
    if (t.unknown() || t.found())
        return;
    Finding f;
    f.kind = Kind::OffsetUnit;
    f.count = t.examined();
    f.a = float(t.factor());
    int best = 0;
    for (int k = 0; k < OffsetTally::FactorCount; ++k) {
        if (OffsetTally::Factors[k] == t.factor())
            best = k;
    }
    f.value = float(100.0 * double(t.agreeing(best)) / double(t.examined()));
    r->addFinding(f);
}

QString describeOffsetUnit(const Finding &f, const Report &)
{
    return QCoreApplication::translate("FbQc::Kind",
                                       "Offsets agree with no unit of the coordinates: of %1 offsets, %2% are "
                                       "%3 times the distance between source and receiver, the most of any of "
                                       "1, 10, 100 and 1000")
        .arg(f.count)
        .arg(QcCsv::decimal(f.value, 1))
        .arg(qint64(f.a));
}

} // namespace FbQc
