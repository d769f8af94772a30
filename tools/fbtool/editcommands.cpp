#include "editcommands.h"

#include "commandline.h"

#include <fbfile/editlog.h>
#include <fbqc/editplan.h>
#include <fbfile/fbblockreader.h>
#include <fbfile/fbcsvexport.h>
#include <fbfile/fbeditwriter.h>
#include <fbfile/fbpicks.h>
#include <fbqc/pickqc.h>
#include <fbqc/qcreporttext.h>
#include <fbfile/sgtconverter.h>
#include <fbfile/shotindex.h>

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <limits>

using namespace FbFile;
using namespace FbQc;

namespace FbTool {

namespace {

const char *const Units =
    "Units: the unified data format (.sgt) holds sensor positions in metres and traveltimes in seconds; an FB "
    "file holds coordinates, elevations and offsets in its own length unit (--length-unit) and fb_time in its "
    "own time unit (--time-unit).";

QCommandLineOption outputOption(const QString &what)
{
    return QCommandLineOption(QStringList{QStringLiteral("o"), QStringLiteral("output")}, what, QStringLiteral("OUT"));
}

// ---------------------------------------------------------------- edit

// The pick's name and the change, as the dry run lists it.
QString changeLine(const EditLogRow &row)
{
    return QStringLiteral("record %1 (fb_no %2, ffid %3, channel %4): %5 %6 -> %7%8")
        .arg(qint64(row.record) + 1)
        .arg(row.fbNo)
        .arg(row.ffid)
        .arg(row.channel)
        .arg(QLatin1String(row.field->name), FbEditWriter::valueText(*row.field, row.oldBits),
             FbEditWriter::valueText(*row.field, row.newBits),
             row.reason.isEmpty() ? QString() : QStringLiteral("  (%1)").arg(row.reason));
}

} // namespace

int runEdit(const QStringList &args)
{
    CommandParser cmd(
        QStringLiteral("edit"),
        QStringLiteral(
            "Writes a copy of an FB file with picks changed: new times and statuses from an edits file, whole "
            "shots shifted in time, outliers rejected. Only fb_time and fb_status change; every other byte is "
            "copied as it is. The output is written under a temporary name and renamed at the end, so a failure "
            "leaves nothing behind; it is never the input file.\n"
            "The sources apply in this order: --edits (its rows in order), then each --shift in the order given "
            "(adding to the time the edits before left), then --fix-timing, then --reject-outliers (both as pick "
            "QC judges the input); of several edits of one word the last one wins.\n"
            "Shifts, timing errors and thresholds are in ms whatever fb_time's unit (--time-unit); a shift is "
            "written into the copy in the file's own unit. Times in --edits are fb_time values as stored.\n"
            "Unless --no-log, the edit log OUT.edits.csv (or --log) lists every changed word: "
            "record,fb_no,ffid,channel,field,old,new,reason. Given to --edits, it makes the same file again from "
            "the same input; its old values are checked against the input, so a log made for another file is "
            "refused.\n") +
            QLatin1String(Numbering));
    const QCommandLineOption output = outputOption(QStringLiteral("The edited FB file to write."));
    const QCommandLineOption edits(
        QStringLiteral("edits"),
        QStringLiteral("Apply the rows of an edit log or of a hand-made CSV list with at least the columns "
                       "record,field,new (the header names decide; old, when given, must match the input)."),
        QStringLiteral("CSV"));
    const QCommandLineOption shift(
        QStringLiteral("shift"),
        QStringLiteral("Add MS ms to every pick time of the shot with this ffid, of every shot carrying it when "
                       "it names several; unpicked traces keep their time. May be repeated."),
        QStringLiteral("FFID:MS"));
    const QCommandLineOption rejectOutliers(
        QStringLiteral("reject-outliers"),
        QStringLiteral("Set the status of every outlier that pick QC finds in the input to the reject status."));
    const QCommandLineOption fixTiming(
        QStringLiteral("fix-timing"),
        QStringLiteral("Take every shot timing error that pick QC names in the input off the shot's picks "
                       "(a shot found 9 ms late is shifted by -9 ms)."));
    const QCommandLineOption outlierMs = thresholdOption(
        Threshold::Outlier, QStringLiteral("Outlier threshold for --reject-outliers in ms (default %1)."));
    const QCommandLineOption reciprocityMs = thresholdOption(
        Threshold::Reciprocity,
        QStringLiteral("Reciprocity tolerance for --fix-timing in ms (default %1): smaller delays are left, "
                       "unless above half of it and known to a third of their size."));
    const QCommandLineOption rejectStatus(
        QStringLiteral("reject-status"),
        QStringLiteral("The fb_status that rejects a pick: any value but 0 and 1 (default %1).")
            .arg(FbPicks::DefaultRejectStatus),
        QStringLiteral("N"), QString::number(FbPicks::DefaultRejectStatus));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("Write the edit log here instead of OUT.edits.csv."),
                                 QStringLiteral("CSV"));
    const QCommandLineOption noLog(QStringLiteral("no-log"), QStringLiteral("Write no edit log."));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"),
                                    QStringLiteral("List every change that would be made and write nothing."));
    cmd.parser.addOptions(
        {output, edits, shift, fixTiming, rejectOutliers, outlierMs, reciprocityMs, rejectStatus, log, noLog, dryRun});
    const UnitOptions units(cmd.parser);
    const QString fileName = cmd.parse(args);
    if (fileName.isEmpty())
        return Failed;
    const QCommandLineParser &p = cmd.parser;
    const bool dry = p.isSet(dryRun);
    if (!p.isSet(edits) && !p.isSet(shift) && !p.isSet(fixTiming) && !p.isSet(rejectOutliers))
        return fail(QStringLiteral("nothing to edit: give --edits, --shift, --fix-timing or --reject-outliers"));
    if (!dry && !p.isSet(output))
        return fail(QStringLiteral("edit needs -o OUT (or --dry-run)"));
    if (p.isSet(log) && p.isSet(noLog))
        return fail(QStringLiteral("--log and --no-log exclude each other"));
    for (const QCommandLineOption *o : {&outlierMs, &rejectStatus}) {
        if (p.isSet(*o) && !p.isSet(rejectOutliers))
            return fail(QStringLiteral("--%1 needs --reject-outliers").arg(o->names().first()));
    }
    qint64 status = 0;
    if (!toInt(p.value(rejectStatus), std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(),
               &status) ||
        FbPicks::isAccepted(qint32(status)))
        return fail(
            QStringLiteral("--reject-status: '%1' is not a status other than 0 and 1").arg(p.value(rejectStatus)));
    FbQc::Settings settings;
    if (!toDouble(p.value(outlierMs), &settings.outlierMs) || settings.outlierMs < 0)
        return fail(QStringLiteral("--outlier-ms: '%1' is not a time in ms").arg(p.value(outlierMs)));
    if (!toDouble(p.value(reciprocityMs), &settings.reciprocityMs) || settings.reciprocityMs < 0)
        return fail(QStringLiteral("--reciprocity-ms: '%1' is not a time in ms").arg(p.value(reciprocityMs)));
    if (p.isSet(reciprocityMs) && !p.isSet(fixTiming))
        return fail(QStringLiteral("--reciprocity-ms needs --fix-timing"));
    if (!units.read(p, &settings.units.metresPerLength, &settings.units.secondsPerTime))
        return Failed;
    QVector<QPair<qint32, double>> shiftValues;
    for (const QString &text : p.values(shift)) {
        const int colon = text.lastIndexOf(QLatin1Char(':'));
        qint64 ffid = 0;
        double ms = 0.0;
        if (colon < 0 ||
            !toInt(text.left(colon), std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), &ffid) ||
            !toDouble(text.mid(colon + 1), &ms))
            return fail(QStringLiteral("--shift: '%1' is not FFID:MS").arg(text));
        shiftValues.append({qint32(ffid), ms});
    }
    const QString outName = p.value(output);
    const QString logName = dry || p.isSet(noLog) ? QString()
                            : p.isSet(log)        ? p.value(log)
                                                  : outName + QStringLiteral(".edits.csv");
    if (!logName.isEmpty() && QFileInfo(logName).absoluteFilePath() == QFileInfo(outName).absoluteFilePath())
        return fail(QStringLiteral("--log: the log cannot be the output %1").arg(outName));
    // The input as it is before anything reads it: the edits judged on it
    // are written only from these very bytes.
    const FbFileIdentity judged = FbFileIdentity::of(fileName);

    // Every word in the order the sources apply, each with why.
    FbQc::EditPlan plan(fileName, {}, {}, FbQc::EditPlan::Words);
    plan.setRejectStatus(qint32(status));
    plan.setSecondsPerTime(settings.units.secondsPerTime);
    if (p.isSet(edits)) {
        EditLog list;
        if (!list.read(p.value(edits)))
            return fail(list.errorString());
        // A row without a reason is named by its line when the log is written.
        const QVector<FbEdit> rows = list.edits();
        for (int k = 0; k < rows.size(); ++k)
            plan.addWord(rows.at(k), list.rows().at(k).reason);
    }
    if (!shiftValues.isEmpty()) {
        ShotIndexScanner scanner(fileName);
        if (!scanner.open())
            return fail(QStringLiteral("%1: %2").arg(fileName, scanner.errorString()));
        if (!scanner.recordCountFits())
            return fail(
                QStringLiteral("%1: %2 records, more than can be numbered").arg(fileName).arg(scanner.recordCount()));
        const QVector<ShotIndexEntry> index = scanner.scan();
        plan.setIndex(index);
        for (const auto &value : shiftValues) {
            QVector<int> shots;
            for (int k = 0; k < index.size(); ++k) {
                if (index.at(k).ffid == value.first)
                    shots.append(k);
            }
            if (shots.isEmpty())
                return fail(QStringLiteral("--shift: %1 has no shot with ffid %2").arg(fileName).arg(value.first));
            for (int shot : qAsConst(shots)) {
                if (!plan.shiftShot(shot, value.second, FbQc::EditPlan::shiftReason(value.first, value.second)))
                    return fail(plan.errorString());
            }
        }
    }
    if (p.isSet(rejectOutliers) || p.isSet(fixTiming)) {
        // What the QC finds in the input, as fbtool qc would.
        FbQc::Analyzer analyzer(fileName, settings);
        FbQc::Report report;
        if (!analyzer.run(&report))
            return fail(QStringLiteral("%1: %2").arg(fileName, analyzer.errorString()));
        plan.setIndex(report.index());
        if (p.isSet(fixTiming) && !plan.fixTiming(report))
            return fail(plan.errorString());
        if (p.isSet(rejectOutliers) && !plan.rejectOutliers(report.findings(FbQc::Kind::Outlier), settings.outlierMs))
            return fail(plan.errorString());
    }
    FbEditWriter writer(fileName);
    writer.setEditSource(&plan);
    writer.setSource(judged);
    if (p.isSet(edits))
        writer.setListName(p.value(edits));

    // Each changed word as the writer applies it, in file order, with why:
    // every edit of it, in the order they applied. Rows go to the log (or
    // the dry run's list) one at a time, block by block: a run that
    // rejects millions of picks never holds them.
    qint64 changed = 0, same = 0, times = 0;
    const QString lineOf = QFileInfo(p.value(edits)).fileName() + QStringLiteral(" line ");
    std::function<bool(const EditLogRow &, QString *)> use;
    writer.setWordWritten(
        [&](const FbEditWriter::Applied &a, const QVector<FbEdit> &list, const int *order, int count, QString *error) {
            const FbEdit &e = list.at(a.edit);
            if (e.bits == a.oldBits) {
                ++same;
                return true;
            }
            EditLogRow row = EditLogRow::applied(a, e);
            for (int k = 0; k < count; ++k) {
                const QString reason = plan.reason(order[k]);
                if (k > 0)
                    row.reason += QStringLiteral("; ");
                row.reason += reason.isEmpty() ? lineOf + QString::number(list.at(order[k]).line) : reason;
            }
            ++changed;
            times += e.field == FbEdit::timeField() ? 1 : 0;
            return use(row, error);
        });
    const auto logFailed = [&](const EditLog::Writer &logFile, QString *error) {
        *error = QStringLiteral("%1 was not written, as its log cannot be: %2").arg(outName, logFile.errorString());
        return false;
    };
    bool ok = false;
    if (dry) {
        // Checked whole first, then listed: a list cut short by a bad word
        // is never printed.
        use = [](const EditLogRow &, QString *) { return true; };
        ok = writer.inspect();
        if (ok) {
            changed = same = times = 0;
            QTextStream &o = out();
            use = [&o](const EditLogRow &row, QString *) {
                o << changeLine(row) << '\n';
                return true;
            };
            ok = writer.inspect();
        }
    } else {
        // The log fills beside the copy under a temporary name and takes
        // its own first, so that a log that cannot be written leaves an
        // existing output as it was.
        EditLog::Writer logFile(logName);
        bool logOpen = false;
        const auto openLog = [&](QString *error) {
            if (logName.isEmpty() || logOpen)
                return true;
            logOpen = logFile.open({fileName, outName});
            return logOpen || logFailed(logFile, error);
        };
        use = [&](const EditLogRow &row, QString *error) {
            if (!openLog(error))
                return false;
            if (!logName.isEmpty())
                logFile.add(row);
            return true;
        };
        writer.setBeforeCommit([&](QString *error) {
            if (!openLog(error))
                return false;
            return logName.isEmpty() || logFile.commit() || logFailed(logFile, error);
        });
        ok = writer.write(outName);
    }
    if (!ok)
        return fail(writer.errorString());
    const qint64 keptTimes = plan.keptTimes();

    QTextStream &o = out();
    o << (dry ? "Would change " : "Changed ") << changed << (changed == 1 ? " word" : " words") << " (" << times
      << " fb_time, " << changed - times << " fb_status) of " << fileName;
    if (!dry)
        o << " into " << outName;
    o << '\n';
    if (same > 0)
        o << "Unchanged: " << same << (same == 1 ? " word already held" : " words already held") << " its new value\n";
    if (keptTimes > 0)
        o << "Not shifted: "
          << FbQc::QcReportText::counted(keptTimes, "unpicked or non-finite time", "unpicked or non-finite times")
          << '\n';
    if (!logName.isEmpty())
        o << "Log: " << logName << '\n';
    if (dry)
        o << "Dry run: nothing written\n";
    return Ok;
}

// ---------------------------------------------------------------- export

int runExport(const QStringList &args)
{
    CommandParser cmd(
        QStringLiteral("export"),
        QStringLiteral(
            "Writes the picks of an FB file for the tools that come next.\n"
            "--format sgt: the unified data format (.sgt) of traveltime inversion: the sensors (sources and "
            "receivers merged by position, sources first in the order of the shots) as \"x y z\", or \"x z\" "
            "with --positions profile, x the distance along the line from its first sensor, "
            "then one \"s g t\" line per pick. Picks with a status other than 0 and 1 (rejected), traces without "
            "a positive time (unpicked), picks at a non-finite position and picks whose source and receiver are "
            "one sensor are left out. Sensors sit at the surface: s_depth is not applied.\n"
            "--format csv: every record with every named field, for spreadsheets and scripts: record (from 1), "
            "then the fields in file order, values exactly as stored.\n") +
            QLatin1String(Units));
    const QCommandLineOption output = outputOption(QStringLiteral("The file to write."));
    const QCommandLineOption format(QStringLiteral("format"),
                                    QStringLiteral("sgt or csv (default: by the suffix of OUT)."), QStringLiteral("F"));
    const QCommandLineOption tolerance(
        QStringLiteral("merge-tolerance"),
        QStringLiteral("Positions closer than D metres horizontally are one sensor (default: half the smallest "
                       "spacing between two stations of the file, so no two stations merge)."),
        QStringLiteral("D"));
    const QCommandLineOption positions(
        QStringLiteral("positions"),
        QStringLiteral("map: sensors as \"x y z\" (default); profile: as \"x z\", x along the line from its start."),
        QStringLiteral("map|profile"), QStringLiteral("map"));
    cmd.parser.addOptions({output, format, tolerance, positions});
    const UnitOptions units(cmd.parser);
    const QString fileName = cmd.parse(args);
    if (fileName.isEmpty())
        return Failed;
    const QCommandLineParser &p = cmd.parser;
    if (!p.isSet(output))
        return fail(QStringLiteral("export needs -o OUT"));
    const QString outName = p.value(output);
    const QString kind = p.isSet(format) ? p.value(format) : QFileInfo(outName).suffix().toLower();
    if (kind != QLatin1String("sgt") && kind != QLatin1String("csv"))
        return fail(p.isSet(format) ? QStringLiteral("--format: '%1' is not sgt or csv").arg(kind)
                                    : QStringLiteral("give --format sgt or csv, or an OUT ending .sgt or .csv"));

    if (kind == QLatin1String("csv")) {
        for (const QCommandLineOption *o : {&tolerance, &positions, &units.length, &units.time}) {
            if (p.isSet(*o))
                return fail(QStringLiteral("--%1 applies to --format sgt only").arg(o->names().first()));
        }
        FbCsvExport table;
        if (!table.write(fileName, outName))
            return fail(table.errorString());
        out() << "Wrote " << FbQc::QcReportText::counted(table.records(), "record", "records") << " of " << fileName
              << " to " << outName << '\n';
        return Ok;
    }

    SgtConverter::Options options;
    if (!units.read(p, &options.lengthUnit, &options.timeUnit))
        return Failed;
    if (p.isSet(tolerance) && (!toDouble(p.value(tolerance), &options.mergeTolerance) || options.mergeTolerance < 0))
        return fail(QStringLiteral("--merge-tolerance: '%1' is not a distance in metres").arg(p.value(tolerance)));
    if (p.value(positions) != QLatin1String("map") && p.value(positions) != QLatin1String("profile"))
        return fail(QStringLiteral("--positions: '%1' is not map or profile").arg(p.value(positions)));
    options.profile = p.value(positions) == QLatin1String("profile");
    SgtConverter converter(options);
    if (!converter.exportSgt(fileName, outName))
        return fail(converter.errorString());
    const SgtConverter::ExportCounts &c = converter.exportCounts();
    QTextStream &o = out();
    o << "Wrote " << FbQc::QcReportText::counted(c.written, "pick", "picks") << " between "
      << FbQc::QcReportText::counted(c.sensors, "sensor", "sensors") << " of " << fileName << " to " << outName << '\n';
    o << "Left out: " << c.rejected << " rejected (status other than 0 and 1), " << c.noTime
      << " without a positive time (unpicked), " << c.badPosition << " at a non-finite position, " << c.atSource
      << " whose source and receiver are one sensor\n";
    o << "Merge tolerance: " << converter.mergeToleranceUsed() << " m\n";
    return Ok;
}

// ---------------------------------------------------------------- import

int runImport(const QStringList &args)
{
    CommandParser cmd(
        QStringLiteral("import"),
        QStringLiteral(
            "Builds an FB file from a file of the unified data format (.sgt): one shot per source sensor (ffid "
            "and s_stat its sensor number), in sensor order, with one record per traveltime in the file's order "
            "(channel from 1, g_stat the sensor number), offsets signed along the line, elevations from z (0 "
            "without), status 1, and a header that declares the record count and the offset range. A traveltime "
            "of 0 or less stays as it is, which reads as unpicked.\n") +
            QLatin1String(Units));
    cmd.parser.clearPositionalArguments();
    cmd.parser.addPositionalArgument(QStringLiteral("import"), QStringLiteral("The command."),
                                     QStringLiteral("import"));
    cmd.parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The .sgt file."));
    const QCommandLineOption output = outputOption(QStringLiteral("The FB file to write."));
    cmd.parser.addOption(output);
    const UnitOptions units(cmd.parser);
    const QString fileName = cmd.parse(args);
    if (fileName.isEmpty())
        return Failed;
    if (!cmd.parser.isSet(output))
        return fail(QStringLiteral("import needs -o OUT"));
    SgtConverter::Options options;
    if (!units.read(cmd.parser, &options.lengthUnit, &options.timeUnit))
        return Failed;
    SgtConverter converter(options);
    const QString outName = cmd.parser.value(output);
    if (!converter.importSgt(fileName, outName))
        return fail(converter.errorString());
    out() << "Wrote " << FbQc::QcReportText::counted(converter.importedRecords(), "record", "records") << " in "
          << FbQc::QcReportText::counted(converter.importedShots(), "shot", "shots") << " of " << fileName << " to "
          << outName << '\n';
    return Ok;
}

} // namespace FbTool
