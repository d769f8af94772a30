#include <fbqc/qcreporttext.h>

#include <fbqc/qccsv.h>
#include <fbfile/sgtconverter.h>

#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

using namespace FbFile;

namespace FbQc {

namespace QcReportText {

using namespace FbQc;

namespace {

// A share in percent with two decimals, or two significant digits when
// that would read 0 for a part that is not 0.
QString percent(qint64 part, qint64 whole)
{
    if (whole <= 0)
        return QStringLiteral("0%");
    const double value = 100.0 * double(part) / double(whole);
    const QString text = value > 0.0 && value < 0.005 ? QString::number(value, 'g', 2) : QcCsv::decimal(value, 2);
    return text + QLatin1Char('%');
}

// The name of a unit of the tables of names, or the factor itself.
QString unitName(double factor, const QStringList &names, bool (*lookup)(const QString &, double *))
{
    for (const QString &name : names) {
        double f = 0.0;
        if (lookup(name, &f) && f == factor)
            return name;
    }
    return QString::number(factor);
}

// What the numbers of the file are in, when that is other than metres for
// every length and ms: the reader of velocities and distances needs it.
void writeUnits(QTextStream &out, const Report &r)
{
    const Units &u = r.units;
    if (u.offsetFactor == 1 && u.metresPerLength == 1.0 && u.secondsPerTime == 0.001)
        return;
    out << "Units: coordinates in "
        << unitName(u.metresPerLength, SgtConverter::lengthUnitNames(), &SgtConverter::lengthUnit) << ", ";
    if (u.offsetFactor == 1)
        out << "offsets and elevations in the same unit";
    else
        out << "offsets and elevations in 1/" << u.offsetFactor << " of the coordinates' unit";
    out << ", times in " << unitName(u.secondsPerTime, SgtConverter::timeUnitNames(), &SgtConverter::timeUnit) << '\n';
}

QString shotName(const Report &r, qint32 shot)
{
    return QStringLiteral("shot %1 > %2").arg(qint64(shot) + 1).arg(r.index().at(shot).ffid);
}

// Items of a kind: one finding each, or for a grouped kind the findings
// that share an otherShot (they come together).
qint64 itemCount(const Report &r, const KindInfo &kind)
{
    if (!kind.grouped)
        return r.count(kind.kind);
    qint64 items = 0;
    qint32 last = -2;
    FindingList::Reader reader(r.findings(kind.kind));
    while (const Finding *f = reader.next()) {
        items += f->otherShot != last ? 1 : 0;
        last = f->otherShot;
    }
    return items;
}

// Positions of the `listed` items with the highest key, highest first,
// ties in file order; a bounded selection, so that a list of millions
// costs no copy of it.
std::vector<qint64> worst(qint64 count, int listed, const std::function<double(qint64)> &key)
{
    std::vector<std::pair<double, qint64>> top;
    for (qint64 k = 0; k < count; ++k) {
        const double v = key(k);
        if (qint64(top.size()) == listed && !(v > top.back().first))
            continue;
        const auto at =
            std::upper_bound(top.begin(), top.end(), v, [](double value, const auto &t) { return value > t.first; });
        top.insert(at, {v, k});
        if (qint64(top.size()) > listed)
            top.pop_back();
    }
    std::vector<qint64> rows;
    for (const auto &t : top)
        rows.push_back(t.second);
    return rows;
}

// The lines of a grouped kind: "ffid F names N shots:" and its shots.
void writeGroups(QTextStream &out, const Report &r, const KindInfo &kind, qint64 listed)
{
    FindingList::Reader reader(r.findings(kind.kind));
    const Finding *f = reader.next();
    qint64 groups = 0;
    while (f) {
        const qint32 first = f->otherShot;
        const qint64 shots = f->count;
        const bool shown = listed < 0 || groups < listed;
        const qint32 ffid = r.index().at(first).ffid;
        if (shown) {
            out << "  ffid " << ffid << " names " << shots << " shots:\n";
            out << "    " << shotName(r, first) << '\n';
        }
        qint64 written = 1;
        for (; f && f->otherShot == first; f = reader.next()) {
            if (shown && (listed < 0 || written < listed)) {
                out << "    " << shotName(r, f->shot) << '\n';
                ++written;
            }
        }
        if (shown && shots > written)
            out << "    ... and " << shots - written << " more\n";
        ++groups;
    }
    const qint64 total = groups;
    if (listed >= 0 && total > listed)
        out << "  ... and " << total - listed << " more\n";
}

} // namespace

void writeCheck(QTextStream &out, const QString &fileName, const Report &r, qint64 listed)
{
    out << "File: " << fileName << '\n';
    out << "Records: " << r.recordCount << '\n';
    out << "Shots: " << r.index().size() << '\n';
    const auto fileLine = [&](Kind kind) {
        FindingList::Reader reader(r.findings(kind));
        while (const Finding *f = reader.next())
            out << kindInfo(kind).describe(*f, r) << '\n';
    };
    fileLine(Kind::NoRecords);
    if (r.count(Kind::CountMismatch) == 0)
        out << "Declared count: " << r.header.fb_count << " (matches the file size)\n";
    fileLine(Kind::CountMismatch);
    fileLine(Kind::PartialRecord);
    if (r.count(Kind::NotFbFile) == 0)
        out << "Header offset range: " << r.header.min_offset << " .. " << r.header.max_offset << '\n';
    fileLine(Kind::NotFbFile);
    writeUnits(out, r);
    fileLine(Kind::OffsetUnit);

    bool statusWritten = false;
    for (int k = 0; k < KindCount; ++k) {
        const KindInfo &kind = kinds()[k];
        if (kind.scope == Scope::File || kind.judgedOnly)
            continue;
        // The pick counts come before the findings about picks.
        if (kind.scope == Scope::Pick && !statusWritten) {
            out << "Pick status: 0: " << r.status0 << ", 1: " << r.status1 << ", other: " << r.statusOther << '\n';
            statusWritten = true;
        }
        out << QLatin1String(kind.titleText) << ": " << itemCount(r, kind) << '\n';
        if (kind.grouped) {
            writeGroups(out, r, kind, listed);
            continue;
        }
        FindingList::Reader reader(r.findings(kind.kind));
        qint64 written = 0;
        for (const Finding *f = reader.next(); f && (listed < 0 || written < listed); f = reader.next(), ++written)
            out << "  " << kind.describe(*f, r) << '\n';
        if (r.count(kind.kind) > written)
            out << "  ... and " << r.count(kind.kind) - written << " more\n";
    }

    const int problems = r.problemKinds();
    if (problems == 0)
        out << "Result: clean\n";
    else
        out << "Result: " << problems << (problems == 1 ? " problem" : " problems") << " found\n";
}

QString counted(qint64 n, const char *singular, const char *plural)
{
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? singular : plural);
}

void writeQc(QTextStream &out, const QString &fileName, const Report &r, int listed)
{
    const qint64 picks = r.status0 + r.status1 + r.statusOther;
    const qint64 judged = picks - r.notJudged;
    out << "File: " << fileName << '\n';
    out << "Records: " << r.recordCount << " in " << counted(r.index().size(), "shot", "shots") << '\n';
    out << "Thresholds: outlier " << QcCsv::decimal(r.settings.outlierMs, 3) << " ms, reciprocity "
        << QcCsv::decimal(r.settings.reciprocityMs, 3) << " ms\n";
    writeUnits(out, r);
    out << "Pick status: 0: " << r.status0 << " (" << percent(r.status0, picks) << "), 1: " << r.status1 << " ("
        << percent(r.status1, picks) << "), other: " << r.statusOther << " (" << percent(r.statusOther, picks) << ")\n";
    out << "Not picked: " << r.notPicked << " (a time of 0 or less away from the source)\n";
    out << "Judged picks: " << judged << ", not judged: " << r.notJudged << " (a status other than 0 or 1, not picked, "
        << "not finite, or on a side with fewer than " << MinPicksPerSide << " picks; near the source such a side "
        << "is judged against the other side's curve where most of its picks agree with it)\n";
    for (int k = 0; k < KindCount; ++k) {
        const KindInfo &kind = kinds()[k];
        if (kind.scope != Scope::File)
            continue;
        FindingList::Reader reader(r.findings(kind.kind));
        while (const Finding *f = reader.next())
            out << kind.describe(*f, r) << '\n';
    }

    qint64 explained = 0;
    {
        FindingList::Reader reader(r.findings(Kind::Reciprocity));
        while (const Finding *f = reader.next())
            explained += (f->flags & Explained) ? 1 : 0;
    }
    // What a count means for some kinds, beside it.
    const auto context = [&](Kind kind) -> QString {
        switch (kind) {
        case Kind::Outlier:
            return QStringLiteral(" (%1 of judged picks)").arg(percent(r.count(kind), judged));
        case Kind::Reciprocity:
            return QStringLiteral(" of %1 compared (%2 explained by shot timing errors)")
                .arg(r.pairs().size())
                .arg(explained);
        case Kind::Repeat:
            return QStringLiteral(" of %1 compared").arg(r.repeats().size());
        default:
            return QString();
        }
    };
    const auto more = [&](qint64 total, qint64 shown) {
        if (total > shown)
            out << "  ... " << (total - shown) << " more; --csv lists every one\n";
    };

    for (int k = 0; k < KindCount; ++k) {
        const KindInfo &kind = kinds()[k];
        if (kind.scope == Scope::File || (readsTraces(kind.kind) && !r.tracesJudged))
            continue;
        const FindingList &list = r.findings(kind.kind);
        out << QLatin1String(kind.titleText) << ": " << itemCount(r, kind) << context(kind.kind) << '\n';
        if (kind.grouped) {
            writeGroups(out, r, kind, listed);
            continue;
        }
        // The worst first; a kind without a weight worth ranking by keeps file order.
        const std::vector<qint64> rows = worst(list.size(), listed, [&](qint64 i) { return kind.weight(list.at(i)); });
        for (qint64 i : rows)
            out << "  " << kind.describe(list.at(i), r) << '\n';
        more(list.size(), qint64(rows.size()));
    }

    if (r.count(Kind::Reciprocity) > 0) {
        // A shot with a timing error disagrees with every neighbour, a bad
        // pick with one: count flagged pairs per shot to tell them apart.
        std::vector<qint32> perShot(size_t(r.index().size()), 0);
        FindingList::Reader reader(r.findings(Kind::Reciprocity));
        // A pair a timing error explains counts against that shot only.
        while (const Finding *f = reader.next()) {
            ++perShot[size_t(f->shot)];
            if (!(f->flags & Explained))
                ++perShot[size_t(f->otherShot)];
        }
        out << "Shots in the most flagged pairs:\n";
        for (qint64 s : worst(qint64(perShot.size()), listed, [&](qint64 s) { return double(perShot[size_t(s)]); })) {
            if (perShot[size_t(s)] == 0)
                break;
            const TimingEstimate *t = r.timingOf(qint32(s));
            out << "  " << shotName(r, qint32(s)) << ": "
                << counted(perShot[size_t(s)], "flagged pair", "flagged pairs");
            if (t)
                out << ", estimated timing error " << timingText(t->delay) << " ms";
            out << '\n';
        }
    }

    // Only shots with something to them can have a fit: millions of
    // one-pick shots are not looked up one by one.
    int fitted = 0;
    for (int k = 0; k < r.shots().judgedCount(); ++k)
        fitted += std::isfinite(r.shots().at(r.shots().judgedShot(k)).rmsResidual) ? 1 : 0;
    out << "Shots with a fit: " << fitted << " of " << r.shots().size()
        << (fitted ? "; highest rms residual:\n" : "\n");
    for (qint64 j : worst(r.shots().judgedCount(), listed, [&r](qint64 j) {
             const float rms = r.shots().at(r.shots().judgedShot(int(j))).rmsResidual;
             return std::isfinite(rms) ? double(rms) : -1.0;
         })) {
        const qint32 k = r.shots().judgedShot(int(j));
        const ShotSummary s = r.shots().at(k);
        if (!std::isfinite(s.rmsResidual))
            break;
        out << "  " << shotName(r, qint32(k)) << ": rms " << QcCsv::decimal(s.rmsResidual, 2) << " ms, "
            << counted(s.picks, "pick", "picks") << ", " << counted(s.outliers, "outlier", "outliers") << '\n';
    }

    const qint64 problems = r.problems();
    if (problems == 0)
        out << "Result: clean\n";
    else
        out << "Result: " << problems << (problems == 1 ? " problem" : " problems") << " found\n";
}

} // namespace QcReportText

} // namespace FbQc
