// fbtool: make, inspect and check FB (first-break pick) files from the
// command line.
//
// Exit codes: 0 success (and a clean check or qc), 1 check or qc found a
// problem, 2 usage error or a file that cannot be read or written.

#include "commandline.h"
#include "plotcommands.h"
#include "qccommand.h"

#include "fbcheck.h"
#include "fbcolumns.h"
#include "fblayout.h"
#include "fbgenerator.h"
#include "shotindex.h"
#include "shotrecords.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QScopedPointer>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

using namespace FbTool;

namespace {

const char *const CommandSummary =
    "Commands:\n"
    "  gen     write a synthetic FB file\n"
    "  info    print a file's summary\n"
    "  shots   print the shot index\n"
    "  dump    print the records of one shot\n"
    "  check   quality-control report (exit 0 clean, 1 problems found)\n"
    "  qc      pick QC: fitted curves, outliers, reciprocity (exit 0 clean, 1 found)\n"
    "  plot    one shot's picks against offset with its fitted curve, as an image\n"
    "  map     sources and receivers in map view, sources coloured by a QC value\n"
    "\n"
    "Run 'fbtool COMMAND --help' for the options of a command.";

// "ROW" or "ROW:FIELD"; FIELD defaults to defaultField.
bool parseFault(const QString &text, const QString &defaultField, FbGenerator::FieldFault *fault)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() > 2)
        return false;
    qint64 row = 0;
    if (!toInt(parts.at(0), 0, std::numeric_limits<int>::max(), &row))
        return false;
    fault->shot = static_cast<int>(row);
    fault->column = FbGenerator::columnOf(parts.size() == 2 ? parts.at(1) : defaultField);
    return fault->column >= 0;
}

// Opens the file and builds its index; reports and returns false when it
// cannot.
bool loadIndex(ShotIndexScanner &scanner, const QString &fileName, QVector<ShotIndexEntry> *index)
{
    if (!scanner.open()) {
        fail(QStringLiteral("cannot open %1: %2").arg(fileName, scanner.errorString()));
        return false;
    }
    if (!scanner.recordCountFits()) {
        fail(QStringLiteral("%1 holds %2 records, more than can be numbered").arg(fileName).arg(scanner.recordCount()));
        return false;
    }
    *index = scanner.scan();
    return true;
}

// ---------------------------------------------------------------- gen

int runGen(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("gen"),
                      QStringLiteral("Writes a synthetic FB file: one 2-D line shot with a rolling split spread.\n"
                                     "Shot rows are 0-based. Fault options may be given more than once."));
    QCommandLineParser &p = cmd.parser;
    const QCommandLineOption shots(QStringLiteral("shots"), QStringLiteral("Number of shots."), QStringLiteral("N"));
    const QCommandLineOption channels(QStringLiteral("channels"), QStringLiteral("Picks (channels) per shot."), QStringLiteral("M"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Random seed (default 1)."), QStringLiteral("S"), QStringLiteral("1"));
    const QCommandLineOption firstFfid(QStringLiteral("first-ffid"), QStringLiteral("ffid of the first shot (default 1001)."), QStringLiteral("F"), QStringLiteral("1001"));
    const QCommandLineOption polarity(QStringLiteral("polarity"), QStringLiteral("Header polarity word (default 1)."), QStringLiteral("P"), QStringLiteral("1"));
    const QCommandLineOption groupInterval(QStringLiteral("group-interval"), QStringLiteral("Metres between receiver stations (default 25)."), QStringLiteral("D"), QStringLiteral("25"));
    const QCommandLineOption shotInterval(QStringLiteral("shot-interval"), QStringLiteral("Stations between shots (default 2)."), QStringLiteral("K"), QStringLiteral("2"));
    const QCommandLineOption vary(QStringLiteral("vary-source"),
                                  QStringLiteral("From its middle record on, shot ROW has a different source FIELD "
                                                 "(s_elev, s_depth, source_x, source_y, s_line, s_stat; default s_elev)."),
                                  QStringLiteral("ROW[:FIELD]"));
    const QCommandLineOption nan(QStringList{QStringLiteral("nan"), QStringLiteral("nan-coordinate")},
                                 QStringLiteral("The middle record of shot ROW holds NaN in FIELD "
                                                "(source_x, source_y, group_x, group_y, fb_time; default source_x)."),
                                 QStringLiteral("ROW[:FIELD]"));
    const QCommandLineOption inf(QStringLiteral("inf"), QStringLiteral("As --nan, with infinity."), QStringLiteral("ROW[:FIELD]"));
    const QCommandLineOption repeat(QStringLiteral("repeat-ffid"),
                                    QStringLiteral("Shot ROW carries the ffid of shot SOURCE (default 0) again; "
                                                   "the rows must be at least 2 apart."),
                                    QStringLiteral("[SOURCE:]ROW"));
    const QCommandLineOption truncate(QStringLiteral("truncate"),
                                      QStringLiteral("Cut BYTES off the end of the file; fb_count still declares the full count."),
                                      QStringLiteral("BYTES"));
    const QCommandLineOption declared(QStringLiteral("declared-count"),
                                      QStringLiteral("Write N as fb_count instead of the true record count."), QStringLiteral("N"));
    p.addOptions({shots, channels, seed, firstFfid, polarity, groupInterval, shotInterval, vary, nan, inf, repeat, truncate, declared});
    const PickFaultOptions pickFaults(p);

    const QString fileName = cmd.parse(args);
    if (fileName.isEmpty())
        return Failed;
    if (!p.isSet(shots) || !p.isSet(channels))
        return fail(QStringLiteral("gen needs --shots and --channels"));

    QString error;
    const qint64 int32Min = std::numeric_limits<qint32>::min();
    const qint64 int32Max = std::numeric_limits<qint32>::max();
    FbGenerator::Options o;
    qint64 v = 0;
    auto number = [&](const QCommandLineOption &option, qint64 low, qint64 high) {
        if (!toInt(p.value(option), low, high, &v)) {
            error = QStringLiteral("--%1: '%2' is not a number in %3..%4")
                        .arg(option.names().first(), p.value(option)).arg(low).arg(high);
            return false;
        }
        return true;
    };
    if (!number(shots, 1, int32Max)) return fail(error);
    o.shots = int(v);
    if (!number(channels, 1, int32Max)) return fail(error);
    o.channels = int(v);
    if (!number(seed, 0, std::numeric_limits<qint64>::max())) return fail(error);
    o.seed = quint64(v);
    if (!number(firstFfid, int32Min, int32Max)) return fail(error);
    o.firstFfid = qint32(v);
    if (!number(polarity, int32Min, int32Max)) return fail(error);
    o.polarity = qint32(v);
    if (!number(groupInterval, 1, 100000)) return fail(error);
    o.groupInterval = int(v);
    if (!number(shotInterval, 1, 100000)) return fail(error);
    o.shotInterval = int(v);
    if (p.isSet(truncate)) {
        if (!number(truncate, 0, std::numeric_limits<qint64>::max())) return fail(error);
        o.truncateBytes = v;
    }
    if (p.isSet(declared)) {
        if (!number(declared, int32Min, int32Max)) return fail(error);
        o.lieAboutCount = true;
        o.declaredCount = qint32(v);
    }
    struct FaultOption { const QCommandLineOption *option; const char *defaultField; QVector<FbGenerator::FieldFault> *list; };
    const FaultOption faults[] = {{&vary, "s_elev", &o.varyingSource}, {&nan, "source_x", &o.nanValues}, {&inf, "source_x", &o.infValues}};
    for (const FaultOption &f : faults) {
        for (const QString &text : p.values(*f.option)) {
            FbGenerator::FieldFault fault;
            if (!parseFault(text, QLatin1String(f.defaultField), &fault))
                return fail(QStringLiteral("--%1: '%2' is not ROW or ROW:FIELD").arg(f.option->names().first(), text));
            f.list->append(fault);
        }
    }
    for (const QString &text : p.values(repeat)) {
        const QStringList rows = text.split(QLatin1Char(':'));
        FbGenerator::FfidRepeat r;
        qint64 source = 0;
        if (rows.size() > 2 || (rows.size() == 2 && !toInt(rows.at(0), 0, int32Max, &source))
            || !toInt(rows.last(), 0, int32Max, &v))
            return fail(QStringLiteral("--repeat-ffid: '%1' is not ROW or SOURCE:ROW").arg(text));
        r.source = int(source);
        r.shot = int(v);
        o.repeatedFfid.append(r);
    }

    if (!pickFaults.read(p, &o, &error))
        return fail(error);

    FbGenerator::Result result;
    FbGenerator::FileWriter writer(o);
    if (!writer.write(fileName, &result))
        return fail(writer.errorString());
    out() << fileName << ": " << result.records << " records, " << o.shots << " shots of " << o.channels
          << " channels, " << result.fileSize << " bytes\n";
    return Ok;
}

// ---------------------------------------------------------------- info

int runInfo(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("info"), QStringLiteral("Prints the summary of an FB file."));
    const QString fileName = cmd.parse(args);
    if (fileName.isEmpty())
        return Failed;

    ShotIndexScanner scanner(fileName);
    QVector<ShotIndexEntry> index;
    if (!loadIndex(scanner, fileName, &index))
        return Failed;
    const FbFileHeader &h = scanner.header();
    const qint64 trailing = scanner.fileSize() < FbLayout::HeaderSize
        ? 0 : scanner.fileSize() - FbLayout::HeaderSize - scanner.recordCount() * FbLayout::RecordSize;

    QTextStream &o = out();
    o << "File: " << fileName << '\n';
    o << "File size: " << scanner.fileSize() << " bytes\n";
    o << "Records: " << scanner.recordCount() << '\n';
    o << "Shots: " << index.size() << '\n';
    o << "Offset range: " << h.min_offset << " .. " << h.max_offset << '\n';
    o << "Polarity: " << (h.polarity > 0 ? "positive" : "negative") << " (" << h.polarity << ")\n";
    if (scanner.isComplete())
        o << "Declared count: " << h.fb_count << " (matches the file size)\n";
    else
        o << "Declared count: " << h.fb_count << " MISMATCH: the file size gives " << scanner.recordCount()
          << " records\n";
    if (trailing > 0)
        o << "Partial record: " << trailing << " bytes after the last complete record\n";
    return Ok;
}

// ---------------------------------------------------------------- shots

int runShots(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("shots"),
                      QStringLiteral("Prints the shot index: one row per run of records with the same ffid.\n"
                                     "Rows and record numbers are 0-based; last is inclusive."));
    const QCommandLineOption csv(QStringLiteral("csv"), QStringLiteral("Comma-separated values with a title line."));
    cmd.parser.addOption(csv);
    const QString fileName = cmd.parse(args);
    if (fileName.isEmpty())
        return Failed;

    ShotIndexScanner scanner(fileName);
    QVector<ShotIndexEntry> index;
    if (!loadIndex(scanner, fileName, &index))
        return Failed;

    QTextStream &o = out();
    const bool asCsv = cmd.parser.isSet(csv);
    if (asCsv)
        o << "row,ffid,first,last,records\n";
    else
        o << qSetFieldWidth(8) << "row" << qSetFieldWidth(12) << "ffid" << "first" << "last" << "records"
          << qSetFieldWidth(0) << '\n';
    for (int row = 0; row < index.size(); ++row) {
        const ShotIndexEntry &e = index.at(row);
        const qint64 records = qint64(e.lastRecord) - e.firstRecord + 1;
        if (asCsv)
            o << row << ',' << e.ffid << ',' << e.firstRecord << ',' << e.lastRecord << ',' << records << '\n';
        else
            o << qSetFieldWidth(8) << row << qSetFieldWidth(12) << e.ffid << e.firstRecord << e.lastRecord
              << records << qSetFieldWidth(0) << '\n';
    }
    return Ok;
}

// ---------------------------------------------------------------- dump

int runDump(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("dump"),
                      QStringLiteral("Prints the records of one shot with every named field, formatted as the "
                                     "viewer shows them, plus fb_status last."));
    const QCommandLineOption shot(QStringLiteral("shot"), QStringLiteral("Shot row in the index (0-based)."), QStringLiteral("ROW"));
    const QCommandLineOption ffid(QStringLiteral("ffid"), QStringLiteral("The first shot with this ffid."), QStringLiteral("F"));
    const QCommandLineOption csv(QStringLiteral("csv"), QStringLiteral("Comma-separated values with a title line."));
    cmd.parser.addOptions({shot, ffid, csv});
    const QString fileName = cmd.parse(args);
    if (fileName.isEmpty())
        return Failed;
    if (cmd.parser.isSet(shot) == cmd.parser.isSet(ffid))
        return fail(QStringLiteral("dump needs exactly one of --shot and --ffid"));

    ShotIndexScanner scanner(fileName);
    QVector<ShotIndexEntry> index;
    if (!loadIndex(scanner, fileName, &index))
        return Failed;

    qint64 v = 0;
    int row = -1;
    if (cmd.parser.isSet(shot)) {
        if (!toInt(cmd.parser.value(shot), 0, index.size() - 1, &v))
            return fail(QStringLiteral("--shot: '%1' is not a row in 0..%2").arg(cmd.parser.value(shot)).arg(index.size() - 1));
        row = int(v);
    } else {
        if (!toInt(cmd.parser.value(ffid), std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), &v))
            return fail(QStringLiteral("--ffid: '%1' is not a number").arg(cmd.parser.value(ffid)));
        int runs = 0;
        for (int k = 0; k < index.size(); ++k) {
            if (index.at(k).ffid == v && runs++ == 0)
                row = k;
        }
        if (row < 0)
            return fail(QStringLiteral("no shot with ffid %1 in %2").arg(v).arg(fileName));
        if (runs > 1)
            std::fprintf(stderr, "fbtool: ffid %lld names %d shots; showing the first, row %d\n",
                         static_cast<long long>(v), runs, row);
    }

    const ShotIndexEntry &e = index.at(row);
    const QVector<FbRecord> records = readShotRecords(fileName, e.firstRecord, e.lastRecord);
    if (records.size() != qint64(e.lastRecord) - e.firstRecord + 1)
        return fail(QStringLiteral("shot row %1 has too many records to show").arg(row));

    // Viewer columns, then the status that the viewer shows only as colour.
    QVector<QStringList> rows;
    QStringList titles;
    for (int c = 0; c < FbColumns::Count; ++c)
        titles << QLatin1String(FbColumns::titles[c]);
    titles << QStringLiteral("fb_status");
    rows.reserve(records.size() + 1);
    rows.append(titles);
    for (const FbRecord &r : records) {
        QStringList cells;
        for (int c = 0; c < FbColumns::Count; ++c)
            cells << FbColumns::cellText(r, c);
        cells << QString::number(r.fb_status);
        rows.append(cells);
    }

    QTextStream &o = out();
    if (cmd.parser.isSet(csv)) {
        for (const QStringList &cells : qAsConst(rows))
            o << cells.join(QLatin1Char(',')) << '\n';
        return Ok;
    }
    QVector<int> widths(titles.size(), 0);
    for (const QStringList &cells : qAsConst(rows))
        for (int c = 0; c < cells.size(); ++c)
            widths[c] = qMax(widths[c], cells.at(c).size());
    for (const QStringList &cells : qAsConst(rows)) {
        for (int c = 0; c < cells.size(); ++c)
            o << (c ? "  " : "") << cells.at(c).rightJustified(widths.at(c));
        o << '\n';
    }
    return Ok;
}

// ---------------------------------------------------------------- check

int runCheck(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("check"),
                      QStringLiteral("Quality-control report: source attributes that vary within a shot, ffids "
                                     "that name more than one shot, pick-status counts, NaN or infinite floats, "
                                     "and the declared record count against the file size.\n"
                                     "Exit code 0 when clean, 1 when a problem was found."));
    const QCommandLineOption all(QStringLiteral("all"), QStringLiteral("List every item, not the first 50 of each kind."));
    cmd.parser.addOption(all);
    const QString fileName = cmd.parse(args);
    if (fileName.isEmpty())
        return Failed;

    FbCheck::FileCheck check(fileName);
    check.setListLimit(cmd.parser.isSet(all) ? -1 : 50);
    FbCheck::Report report;
    if (!check.run(&report))
        return fail(check.errorString());
    FbCheck::writeReport(out(), fileName, report);
    return report.clean() ? Ok : Found;
}

} // namespace

int main(int argc, char *argv[])
{
    // Only the drawing commands need a GUI application.
    const QScopedPointer<QCoreApplication> app(createApplication(argc, argv));
    QCoreApplication::setApplicationName(QStringLiteral("fbtool"));

    QStringList args = QCoreApplication::arguments();
    const QString command = args.size() > 1 ? args.at(1) : QString();

    using Runner = int (*)(const QStringList &);
    const struct { const char *name; Runner run; } commands[] = {
        {"gen", runGen}, {"info", runInfo}, {"shots", runShots}, {"dump", runDump}, {"check", runCheck},
        {"qc", runQc}, {"plot", runPlot}, {"map", runMap},
    };
    for (const auto &c : commands) {
        if (command == QLatin1String(c.name)) {
            const int code = c.run(args);
            out().flush();
            return code;
        }
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Makes, inspects and checks FB (first-break pick) files.\n\n")
                                     + QLatin1String(CommandSummary));
    const QCommandLineOption help = parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("COMMAND"), QStringLiteral("gen, info, shots, dump, check, qc, plot or map."));
    if (!parser.parse(args))
        return fail(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(0);
    if (command.isEmpty())
        return fail(QStringLiteral("no command; try 'fbtool --help'"));
    return fail(QStringLiteral("unknown command '%1'; try 'fbtool --help'").arg(command));
}
