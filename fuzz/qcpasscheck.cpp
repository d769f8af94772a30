#include "qcpasscheck.h"

#include <fbqc/pickqc.h>
#include <fbfile/fbpicks.h>
#include <fbqc/qccsv.h>
#include <fbqc/qcreporttext.h>
#include <fbfile/shotindex.h>
#include <fbfile/shotrecords.h>

#include <QTemporaryDir>
#include <QTextStream>

#include <cstring>

using namespace FbFile;

namespace {

using namespace FbQc;

bool judge(const QString &fileName, const Settings &settings, Report *report, QString *error)
{
    Analyzer analyzer(fileName, settings);
    if (analyzer.run(report))
        return true;
    *error = analyzer.errorString();
    return false;
}

// The same findings of every kind, field by field, and the same pairs.
QString compare(const Report &a, const Report &b, const char *what)
{
    if (a.index() != b.index() || a.pairs().size() != b.pairs().size() || a.repeats().size() != b.repeats().size())
        return QStringLiteral("index or pairs differ %1").arg(QLatin1String(what));
    for (int k = 0; k < a.pairs().size(); ++k) {
        if (std::memcmp(&a.pairs()[k], &b.pairs()[k], sizeof(ReciprocalPair)) != 0)
            return QStringLiteral("pair %1 differs %2").arg(k).arg(QLatin1String(what));
    }
    for (int kind = 0; kind < KindCount; ++kind) {
        const FindingList &x = a.findings(Kind(kind)), &y = b.findings(Kind(kind));
        if (x.size() != y.size())
            return QStringLiteral("%1 %2 findings against %3 %4")
                .arg(x.size())
                .arg(QLatin1String(kinds()[kind].key))
                .arg(y.size())
                .arg(QLatin1String(what));
        FindingList::Reader rx(x), ry(y);
        for (qint64 k = 0; k < x.size(); ++k) {
            const Finding *f = rx.next(), *g = ry.next();
            if (!f || !g || std::memcmp(f, g, sizeof(Finding)) != 0)
                return QStringLiteral("%1 finding %2 differs %3")
                    .arg(QLatin1String(kinds()[kind].key))
                    .arg(k)
                    .arg(QLatin1String(what));
        }
    }
    return QString();
}

} // namespace

QString checkQcPass(const QString &fileName)
{
    ShotIndexScanner scanner(fileName);
    if (!scanner.open() || !scanner.recordCountFits() || scanner.recordCount() == 0)
        return QString();
    const QVector<ShotIndexEntry> index = scanner.scan();

    Settings settings;
    settings.threads = 1;
    Report report;
    QString error;
    if (!judge(fileName, settings, &report, &error))
        return QStringLiteral("the pass cannot judge what the index read: %1").arg(error);
    if (report.index() != index)
        return QStringLiteral("the pass's index differs from the scanner's");
    if (report.status0 < 0 || report.status1 < 0 || report.statusOther < 0 ||
        report.status0 + report.status1 + report.statusOther != report.recordCount ||
        report.notJudged > report.recordCount || report.notPicked > report.notJudged)
        return QStringLiteral("the pick counts do not add up");

    for (const auto &variant : {std::make_pair(qint64(0), 1), std::make_pair(qint64(32) << 20, 3)}) {
        Settings other = settings;
        other.recentBytes = variant.first;
        other.threads = variant.second;
        Report again;
        if (!judge(fileName, other, &again, &error))
            return QStringLiteral("a second pass failed: %1").arg(error);
        const QString difference = compare(report, again, variant.first == 0 ? "with nothing held" : "on 3 threads");
        if (!difference.isEmpty())
            return difference;
    }

    // Each shot's outliers are those of its own fit.
    std::vector<qint64> perShot(size_t(index.size()), 0);
    FindingList::Reader outliers(report.findings(Kind::Outlier));
    while (const Finding *f = outliers.next())
        ++perShot[size_t(f->shot)];
    for (int s = 0; s < index.size(); ++s) {
        const QVector<FbRecord> records = readShotRecords(fileName, index[s].firstRecord, index[s].lastRecord);
        const ShotFit fit = fitShot(records, settings);
        qint64 own = 0;
        for (int i = 0; i < records.size() && i < fit.picks.size(); ++i)
            own += fit.picks[i].outlier && FbPicks::isLive(records[i]) ? 1 : 0;
        if (own != perShot[size_t(s)] || report.shots().at(s).outliers != own)
            return QStringLiteral("shot %1 has %2 outliers in the pass, %3 in its own fit")
                .arg(s)
                .arg(perShot[size_t(s)])
                .arg(own);
    }

    // The check finds what the records hold alike.
    Settings checkOnly = settings;
    checkOnly.judgePicks = false;
    Report check;
    if (!judge(fileName, checkOnly, &check, &error))
        return QStringLiteral("the check failed where the pass did not: %1").arg(error);
    for (Kind kind : {Kind::VaryingSource, Kind::NonFinite, Kind::RepeatedFfid, Kind::ZeroFilled, Kind::NotFbFile}) {
        if (check.count(kind) != report.count(kind))
            return QStringLiteral("check and qc count %1 differently").arg(QLatin1String(kindInfo(kind).key));
    }

    QTemporaryDir dir;
    QcCsv::Tables tables;
    if (!tables.write(dir.path(), report))
        return QStringLiteral("the tables cannot be written: %1").arg(tables.errorString());
    QString text;
    QTextStream out(&text);
    QcReportText::writeQc(out, fileName, report, 3);
    QcReportText::writeCheck(out, fileName, check, 3);
    out.flush();
    if (text.count(QLatin1String("Result: ")) != 2)
        return QStringLiteral("a report is cut short");
    return QString();
}
