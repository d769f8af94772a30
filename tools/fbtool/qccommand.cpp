#include "qccommand.h"

#include "commandline.h"

#include "fbcolumns.h"
#include "fbgenerator.h"
#include "pickqc.h"
#include "qccsv.h"

#include <QCommandLineParser>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <limits>

namespace FbTool {

namespace {

using QcCsv::decimal;

// Items of each kind that the text report lists; the CSV tables hold all.
constexpr int Listed = 10;


QString signedMs(double value)
{
    return (value > 0 ? QStringLiteral("+") : QString()) + decimal(value, 2);
}

QString percent(qint64 part, qint64 whole)
{
    return whole > 0 ? decimal(100.0 * part / whole, 2) + QLatin1Char('%') : QStringLiteral("0%");
}

// "shot 4 > 1004": the 1-based position and the ffid, as the viewer lists shots.
QString shotName(const PickQc::Report &report, int shot)
{
    return QStringLiteral("shot %1 > %2").arg(shot + 1).arg(report.index.at(shot).ffid);
}

// Positions 0..count-1 of the `Listed` items with the highest key, highest
// first; a bounded selection, so a file of millions of shots costs no
// second copy of its summaries.
QVector<int> worst(int count, const std::function<double(int)> &key)
{
    QVector<QPair<double, int>> top;
    for (int k = 0; k < count; ++k) {
        const double v = key(k);
        if (top.size() == Listed && !(v > top.last().first))
            continue;
        const auto at = std::upper_bound(top.begin(), top.end(), v,
                                         [](double value, const QPair<double, int> &t) { return value > t.first; });
        top.insert(at, qMakePair(v, k));
        if (top.size() > Listed)
            top.removeLast();
    }
    QVector<int> rows;
    for (const auto &t : top)
        rows.append(t.second);
    return rows;
}

// Says how many of a kind the text report left out.
void more(QTextStream &o, qint64 total)
{
    if (total > Listed)
        o << "  ... " << (total - Listed) << " more; --csv lists every one\n";
}

void printReport(QTextStream &o, const QString &fileName, const PickQc::Report &r)
{
    const qint64 judged = r.status0 + r.status1 + r.statusOther - r.notJudged;
    o << "File: " << fileName << '\n';
    o << "Records: " << r.recordCount << " in " << r.index.size() << " shots\n";
    o << "Thresholds: outlier " << decimal(r.settings.outlierMs, 3) << " ms, reciprocity "
      << decimal(r.settings.reciprocityMs, 3) << " ms\n";
    const qint64 picks = r.status0 + r.status1 + r.statusOther;
    o << "Pick status: 0: " << r.status0 << " (" << percent(r.status0, picks) << "), 1: " << r.status1 << " ("
      << percent(r.status1, picks) << "), other: " << r.statusOther << " (" << percent(r.statusOther, picks) << ")\n";
    o << "Judged picks: " << judged << ", not judged: " << r.notJudged
      << " (on sides with fewer than " << PickQc::MinPicksPerSide << " picks, or not finite)\n";

    o << "Outliers: " << r.outliers.size() << " (" << percent(r.outliers.size(), judged) << " of judged picks)\n";
    for (int k : worst(r.outliers.size(), [&r](int k) { return std::abs(r.outliers.at(k).residual); })) {
        const PickQc::Outlier &x = r.outliers.at(k);
        o << "  " << shotName(r, x.shot) << ", record " << (qint64(x.record) + 1) << " (fb_no " << x.fbNo
          << ", channel " << x.channel << "), offset " << x.offset << ": fb_time " << decimal(x.fbTime, 3)
          << " ms, model " << decimal(x.modelTime, 2) << " ms, residual " << signedMs(x.residual) << " ms\n";
    }
    more(o, r.outliers.size());

    const int flagged = r.flaggedPairs();
    o << "Reciprocal pairs: " << r.pairs.size() << " compared, " << flagged << " flagged\n";
    QVector<int> flaggedRows = worst(r.pairs.size(), [&r](int k) { return double(r.pairs.at(k).difference); });
    for (int k : flaggedRows) {
        const PickQc::ReciprocalPair &p = r.pairs.at(k);
        if (!p.flagged)
            break;
        o << "  " << shotName(r, p.shotA) << " and " << shotName(r, p.shotB) << ": " << decimal(p.timeAB, 2)
          << " against " << decimal(p.timeBA, 2) << " ms, difference " << decimal(p.difference, 2) << " ms\n";
    }
    more(o, flagged);
    if (flagged > 0) {
        // A shot with a timing error disagrees with every neighbour, a bad
        // pick with one: count flagged pairs per shot to tell them apart.
        QVector<int> perShot(r.shots.size(), 0);
        for (const PickQc::ReciprocalPair &p : r.pairs) {
            if (p.flagged)
                ++perShot[p.shotA], ++perShot[p.shotB];
        }
        o << "Shots in the most flagged pairs:\n";
        for (int k : worst(perShot.size(), [&perShot](int k) { return double(perShot.at(k)); })) {
            if (perShot.at(k) == 0)
                break;
            o << "  " << shotName(r, k) << ": " << perShot.at(k) << " flagged pairs\n";
        }
    }

    int fitted = 0;
    for (int k = 0; k < r.shots.size(); ++k)
        fitted += std::isfinite(r.shots.at(k).rmsResidual) ? 1 : 0;
    o << "Shots with a fit: " << fitted << " of " << r.shots.size() << (fitted ? "; highest rms residual:\n" : "\n");
    for (int k : worst(r.shots.size(), [&r](int k) {
             const float rms = r.shots.at(k).rmsResidual;
             return std::isfinite(rms) ? double(rms) : -1.0;
         })) {
        const PickQc::ShotSummary &s = r.shots.at(k);
        if (!std::isfinite(s.rmsResidual))
            break;
        o << "  " << shotName(r, k) << ": rms " << decimal(s.rmsResidual, 2) << " ms, " << s.picks << " picks, "
          << s.outliers << " outliers\n";
    }

    o << "Varying source attributes: " << r.sourceVariations.size() << '\n';
    for (int k = 0; k < qMin(Listed, r.sourceVariations.size()); ++k) {
        const PickQc::SourceVariation &v = r.sourceVariations.at(k);
        o << "  " << shotName(r, v.shot) << ": " << FbColumns::titles[v.column] << " differs in " << v.differing
          << " records\n";
    }
    more(o, r.sourceVariations.size());
    o << "Repeated ffids: " << r.repeatedFfids.size() << '\n';
    for (int k = 0; k < qMin(Listed, r.repeatedFfids.size()); ++k) {
        const PickQc::RepeatedFfid &f = r.repeatedFfids.at(k);
        o << "  ffid " << f.ffid << " at shots";
        for (qint32 shot : f.shots)
            o << ' ' << (shot + 1);
        o << '\n';
    }
    more(o, r.repeatedFfids.size());
    o << "Bad values (not finite, or negative times): " << r.badValues.size() << '\n';
    for (int k = 0; k < qMin(Listed, r.badValues.size()); ++k) {
        const PickQc::BadValue &b = r.badValues.at(k);
        o << "  " << shotName(r, b.shot) << ", record " << (qint64(b.record) + 1) << ": "
          << FbColumns::titles[b.column] << " = " << QString::number(b.value) << '\n';
    }
    more(o, r.badValues.size());

    const int problems = r.outliers.size() + flagged + r.sourceVariations.size() + r.repeatedFfids.size()
                       + r.badValues.size();
    if (r.clean())
        o << "Result: clean\n";
    else
        o << "Result: " << problems << (problems == 1 ? " problem" : " problems") << " found\n";
}

// Writes one table; false with the reason in *error.
// "POS:MS" or "POS:CHANNEL:MS" into its numbers; POS stays 1-based here.
bool splitFault(const QString &text, int numbers, qint64 *row, qint64 *channel, double *ms)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != numbers)
        return false;
    const qint64 intMax = std::numeric_limits<int>::max();
    return toInt(parts.first(), 1, intMax, row) && (numbers == 2 || toInt(parts.at(1), 1, intMax, channel))
        && toDouble(parts.last(), ms);
}

} // namespace

int runQc(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("qc"),
                      QStringLiteral("Pick QC: fits each shot's first breaks against offset, on each side of the "
                                     "source, flags picks far from the fitted curve (outliers) and pairs of shots "
                                     "whose reciprocal times disagree, and counts pick statuses, varying source "
                                     "attributes, repeated ffids and bad values.\n"
                                     "A pick is named by its record number, fb_no and channel.\n")
                          + QLatin1String(Numbering)
                          + QStringLiteral("\nExit code 0 when nothing is found, 1 when something is, 2 on error."));
    const QCommandLineOption outlierMs(QStringLiteral("outlier-ms"),
                                       QStringLiteral("Outlier threshold on |fb_time - model| in ms (default 8)."),
                                       QStringLiteral("T"), QStringLiteral("8"));
    const QCommandLineOption reciprocityMs(QStringLiteral("reciprocity-ms"),
                                           QStringLiteral("Reciprocity tolerance in ms (default 5)."),
                                           QStringLiteral("T"), QStringLiteral("5"));
    const QCommandLineOption csv(QStringLiteral("csv"),
                                 QStringLiteral("Also write outliers.csv, reciprocity.csv and shots.csv into DIR."),
                                 QStringLiteral("DIR"));
    cmd.parser.addOptions({outlierMs, reciprocityMs, csv});
    const QString fileName = cmd.parse(args);
    if (fileName.isEmpty())
        return Failed;

    PickQc::Settings settings;
    const struct { const QCommandLineOption &option; double *value; } thresholds[] = {
        {outlierMs, &settings.outlierMs}, {reciprocityMs, &settings.reciprocityMs}};
    for (const auto &t : thresholds) {
        const QString text = cmd.parser.value(t.option);
        if (!toDouble(text, t.value) || *t.value < 0)
            return fail(QStringLiteral("--%1: '%2' is not a time in ms").arg(t.option.names().first(), text));
    }

    PickQc::Analyzer analyzer(fileName, settings);
    PickQc::Report report;
    if (!analyzer.run(&report))
        return fail(QStringLiteral("%1: %2").arg(fileName, analyzer.errorString()));

    printReport(out(), fileName, report);
    if (!output().flush())
        return failWrite();
    QString error;
    if (cmd.parser.isSet(csv) && !QcCsv::writeTables(cmd.parser.value(csv), report, &error))
        return fail(error);
    return report.clean() ? Ok : Found;
}

PickFaultOptions::PickFaultOptions(QCommandLineParser &parser)
    : spike(QStringLiteral("spike"),
            QStringLiteral("The pick of channel CHANNEL in shot POS is off by MS ms, as a cycle skip; qc finds "
                           "it as an outlier."),
            QStringLiteral("POS:CHANNEL:MS"))
    , shift(QStringLiteral("shift"),
            QStringLiteral("Every pick of shot POS is late by MS ms (early when negative), as a timing error; "
                           "qc finds it through reciprocity, not as outliers."),
            QStringLiteral("POS:MS"))
{
    parser.addOptions({spike, shift});
}

bool PickFaultOptions::read(const QCommandLineParser &parser, FbGenerator::Options *options, QString *error) const
{
    qint64 row = 0, channel = 0;
    double ms = 0.0;
    for (const QString &text : parser.values(spike)) {
        if (!splitFault(text, 3, &row, &channel, &ms)) {
            *error = QStringLiteral("--spike: '%1' is not POS:CHANNEL:MS").arg(text);
            return false;
        }
        options->spikes.append({int(row - 1), int(channel), ms});
    }
    for (const QString &text : parser.values(shift)) {
        if (!splitFault(text, 2, &row, &channel, &ms)) {
            *error = QStringLiteral("--shift: '%1' is not POS:MS").arg(text);
            return false;
        }
        options->shifts.append({int(row - 1), ms});
    }
    return true;
}

} // namespace FbTool
