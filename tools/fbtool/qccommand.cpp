#include "qccommand.h"

#include "commandline.h"

#include <fbfile/fbcolumns.h>
#include <fbfile/fbgenerator.h>
#include <fbqc/pickqc.h>
#include <fbqc/qccsv.h>
#include <fbqc/qcreporttext.h>
#include "seiscommands.h"
#include <fbtrace/tracedataset.h>
#include <fbqc/waveformqc.h>

#include <QCommandLineParser>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <limits>

#include <unistd.h>

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;

namespace FbTool {

namespace {

// Items of each kind that the text report lists; the CSV tables hold all.
constexpr int Listed = 10;

// "POS:MS" or "POS:CHANNEL:MS" into its numbers; POS stays 1-based here.
bool splitFault(const QString &text, int numbers, qint64 *row, qint64 *channel, double *ms)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != numbers)
        return false;
    const qint64 intMax = std::numeric_limits<int>::max();
    return toInt(parts.first(), 1, intMax, row) && (numbers == 2 || toInt(parts.at(1), 1, intMax, channel)) &&
           toDouble(parts.last(), ms);
}

} // namespace

int runQc(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("qc"),
                      QStringLiteral("Pick QC: fits each shot's first breaks against offset, on each side of the "
                                     "source, flags picks far from the fitted curve (outliers) and pairs of shots "
                                     "whose reciprocal times disagree, and counts pick statuses, varying source "
                                     "attributes, repeated ffids and bad values. With --seismic, also judges each "
                                     "pick against its own trace: picks off their trace's onset, runs of picks one "
                                     "period off (cycle skips) and first breaks too weak to judge.\n"
                                     "A pick is named by its record number, fb_no and channel.\n") +
                          QLatin1String(Numbering) +
                          QStringLiteral("\nExit code 0 when nothing is found, 1 when something is, 2 on error."));
    const QCommandLineOption outlierMs = thresholdOption(
        Threshold::Outlier, QStringLiteral("Outlier threshold on |fb_time - model| in ms (default %1)."));
    const QCommandLineOption reciprocityMs =
        thresholdOption(Threshold::Reciprocity, QStringLiteral("Reciprocity tolerance in ms (default %1)."));
    const QCommandLineOption csv(QStringLiteral("csv"),
                                 QStringLiteral("Also write every finding into DIR: outliers.csv, reciprocity.csv "
                                                "(every compared pair), repeats.csv (every compared re-shot), "
                                                "shots.csv and problems.csv (every other finding)."),
                                 QStringLiteral("DIR"));
    const QCommandLineOption threads(QStringLiteral("threads"),
                                     QStringLiteral("Threads to judge with (default: one per core). The "
                                                    "findings are the same for every number."),
                                     QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption seismic(QStringLiteral("seismic"),
                                     QStringLiteral("Judge the picks against the traces of this data set (a SEG-Y "
                                                    "file or a folder of SEG-2 files), matched by ffid and "
                                                    "channel or as --by says."),
                                     QStringLiteral("DATA"));
    cmd.parser.addOptions({outlierMs, reciprocityMs, csv, threads, seismic});
    const UnitOptions units(cmd.parser);
    const TraceOpenOptions traceOptions(cmd.parser);
    const TraceMatchOptions matchOptions(cmd.parser);
    const QString fileName = cmd.parse(args);
    if (fileName.isEmpty())
        return Failed;

    FbQc::Settings settings;
    const struct
    {
        const QCommandLineOption &option;
        double *value;
    } thresholds[] = {{outlierMs, &settings.outlierMs}, {reciprocityMs, &settings.reciprocityMs}};
    for (const auto &t : thresholds) {
        const QString text = cmd.parser.value(t.option);
        if (!toDouble(text, t.value) || *t.value < 0)
            return fail(QStringLiteral("--%1: '%2' is not a time in ms").arg(t.option.names().first(), text));
    }

    qint64 threadCount = 0;
    if (!toInt(cmd.parser.value(threads), 0, 1024, &threadCount))
        return fail(QStringLiteral("--threads: '%1' is not a number of threads").arg(cmd.parser.value(threads)));
    settings.threads = int(threadCount);
    if (!units.read(cmd.parser, &settings.units.metresPerLength, &settings.units.secondsPerTime))
        return Failed;
    FbQc::WaveformQcSettings waveform;
    waveform.threads = settings.threads;
    QString matchError;
    if (!matchOptions.read(cmd.parser, &waveform.match, &matchError))
        return fail(matchError);
    // No table may be an input, the traces' files included; a folder the
    // tables cannot go into is said before the pass, not after it.
    QStringList inputs{fileName};
    if (cmd.parser.isSet(seismic))
        inputs << seismicInputs(cmd.parser.value(seismic));
    QcCsv::Tables tables;
    if (cmd.parser.isSet(csv) && !tables.prepare(cmd.parser.value(csv), inputs))
        return fail(tables.errorString());

    FbQc::Analyzer analyzer(fileName, settings);
    FbQc::Report report;
    if (!analyzer.run(&report))
        return fail(QStringLiteral("%1: %2").arg(fileName, analyzer.errorString()));

    QString tracesText; // what the traces said, printed with the report
    if (cmd.parser.isSet(seismic)) {
        const QString path = cmd.parser.value(seismic);
        TraceDataSet data;
        QString error;
        if (!traceOptions.open(cmd.parser, path, &data, &error, settings.threads))
            return fail(error);
        FbQc::WaveformJudge judge(waveform);
        // Judging every trace takes a while on a large data set: a terminal sees it move.
        const bool terminal = isatty(STDERR_FILENO);
        QTextStream err(stderr);
        const Progress progress(terminal ? Progress::Observer([&err](int percent) {
            err << "\rjudging against the traces " << percent << "%" << Qt::flush;
        })
                                         : Progress::Observer());
        // Picks against the traces' ms, whatever unit the file's times are in.
        const FbQc::RecordsOf fromFile = FbQc::recordsFromFile(fileName, report.index());
        const FbQc::Units fileUnits = settings.units;
        const FbQc::RecordsOf inMs = [fromFile, fileUnits](qint32 shot) {
            QVector<FbRecord> records = fromFile(shot);
            FbQc::timesInMilliseconds(records.data(), records.size(), fileUnits);
            return records;
        };
        const bool judged = judge.run(&report, inMs, data, progress);
        if (terminal)
            err << "\r                                  \r" << Qt::flush;
        if (!judged)
            return fail(QStringLiteral("%1: %2").arg(path, judge.errorString()));
        const FbQc::WaveformSummary &w = judge.summary();
        QTextStream o(&tracesText);
        o << "Traces: " << path << " (" << data.formatName() << ", " << data.shotCount() << " shots, "
          << data.traceCount() << " traces, first sample " << data.firstSampleMs() << " ms)\n";
        o << "Picks with a trace: " << w.matched << " of " << w.picks << ", judged against it: " << w.judged
          << "; shots without traces: " << w.shotsWithoutTraces << '\n';
        printShift(o, w.shift);
    }
    // Tables first: a failing one (a full disk) stops the command before any
    // report is printed, so a report on stdout always comes with its tables.
    if (cmd.parser.isSet(csv) && !tables.write(cmd.parser.value(csv), report, inputs))
        return fail(tables.errorString());
    out() << tracesText;
    QcReportText::writeQc(out(), fileName, report, Listed);
    if (!output().flush())
        return failWrite();
    return report.clean() ? Ok : Found;
}

PickFaultOptions::PickFaultOptions(QCommandLineParser &parser)
    : spike(QStringLiteral("spike"),
            QStringLiteral("The pick of channel CHANNEL in shot POS is off by MS ms, as a cycle skip; qc finds "
                           "it as an outlier."),
            QStringLiteral("POS:CHANNEL:MS")),
      shift(QStringLiteral("shift"),
            QStringLiteral("Every pick of shot POS is late by MS ms (early when negative), as a timing error; "
                           "qc finds it through reciprocity, not as outliers."),
            QStringLiteral("POS:MS")),
      skipRun(QStringLiteral("skip-run"),
              QStringLiteral("COUNT neighbouring picks of shot POS from channel CHANNEL on are late by MS ms, as a "
                             "cycle skip along part of the spread."),
              QStringLiteral("POS:CHANNEL:COUNT:MS"))
{
    parser.addOptions({spike, shift, skipRun});
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
    for (const QString &text : parser.values(skipRun)) {
        // POS:CHANNEL:COUNT:MS: the count read as the middle number of a spike.
        const int colon = text.indexOf(QLatin1Char(':'));
        qint64 first = 0, count = 0;
        if (colon < 0 || !splitFault(text.mid(colon + 1), 3, &first, &count, &ms) ||
            !toInt(text.left(colon), 1, std::numeric_limits<int>::max(), &row)) {
            *error = QStringLiteral("--skip-run: '%1' is not POS:CHANNEL:COUNT:MS").arg(text);
            return false;
        }
        options->skipRuns.append({int(row - 1), int(first), int(count), ms});
    }
    return true;
}

} // namespace FbTool
