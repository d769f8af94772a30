// fbtool: make, inspect and check FB (first-break pick) files from the
// command line. The library does the reading and writing; this file parses
// arguments, calls it and prints.
//
// Exit codes: 0 success (and a clean check or qc), 1 check or qc found a
// problem,
// 2 usage error, a file that cannot be read, or output that cannot be
// written. Every failure is one line on stderr starting "fbtool: ".
//
// Numbering is the viewer's: shots by position from 1 ("4 > 1004" is shot
// 4, ffid 1004), records from 1; a pick is named by its record number with
// its fb_no, ffid and channel.

#include "commandline.h"
#include "editcommands.h"
#include "plotcommands.h"
#include "tracecommands.h"
#include "qccommand.h"
#include "pickcommands.h"
#include "seiscommands.h"

#include <fbfile/fbcolumns.h>
#include <fbfile/fbgenerator.h>
#include <fbqc/pickqc.h>
#include <fbqc/qcreporttext.h>
#include <fbfile/shotindex.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QScopedPointer>
#include <QFile>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <limits>
#include <vector>

using namespace FbFile;
using namespace FbQc;

using namespace FbTool;

namespace {

// What "fbtool --help" says after the command table.
const char *const CommandHelpHint = "Run 'fbtool COMMAND --help' for the options of a command.";

// ---------------------------------------------------------------- gen

// The options of gen, and turning their values into generator options.
struct GenOptions
{
    using Opt = QCommandLineOption;
    Opt shots{"shots", "Number of shots.", "N"};
    Opt channels{"channels", "Picks (channels) per shot.", "M"};
    Opt seed{"seed", "Random seed (default 1).", "S", "1"};
    Opt firstFfid{"first-ffid", "ffid of the first shot (default 1001).", "F", "1001"};
    Opt polarity{"polarity", "Header polarity word (default 1).", "P", "1"};
    Opt groupInterval{"group-interval", "Metres between receiver stations (default 25).", "D", "25"};
    Opt shotInterval{"shot-interval", "Stations between shots (default 2).", "K", "2"};
    Opt vary{"vary-source",
             "From its middle record on, shot POS has a different source FIELD (" +
                 FbGenerator::varyingSourceFields().join(", ") + "; default s_elev).",
             "POS[:FIELD]"};
    Opt nan{QStringList{"nan", "nan-coordinate"},
            "The middle record of shot POS holds NaN in FIELD (" + FbGenerator::nonFiniteFields().join(", ") +
                "; default source_x).",
            "POS[:FIELD]"};
    Opt inf{"inf", "As --nan, with infinity.", "POS[:FIELD]"};
    Opt repeat{"repeat-ffid",
               "Shot POS carries the ffid of shot SOURCE (default 1) again; they must be at least 2 apart.",
               "[SOURCE:]POS"};
    Opt repeatPosition{"repeat-position",
                       "Shot POS is fired again from the source position of shot SOURCE (default 1), into the same "
                       "spread, with its own ffid and noise.",
                       "[SOURCE:]POS"};
    Opt truncate{"truncate", "Cut BYTES off the end of the file; fb_count still declares the full count.", "BYTES"};
    Opt declared{"declared-count", "Write N as fb_count instead of the true record count.", "N"};
    // The survey line beyond the defaults.
    Opt spread{"spread", "Receivers on both sides of the source (split, the default) or all ahead of it (end-on).",
               "split|end-on", "split"};
    Opt between{"source-between-stations", "Sources halfway between receiver stations, on a source line of their own."};
    Opt velocities{"velocities", "Flat layers instead of the built-in curve: 2 or 3 velocities in m/s, top first.",
                   "V1,V2[,V3]"};
    Opt thicknesses{"thicknesses", "Thicknesses in m of the layers above the last (with --velocities).", "H1[,H2]"};
    Opt crossovers{"crossovers", "Or the crossover offsets in m where each deeper layer arrives first.", "X1[,X2]"};
    Opt noise{"noise", "Pick noise, uniform in +-MS ms (default 0.5).", "MS", "0.5"};
    Opt sourceStatics{"source-statics", "A static per source station, uniform in +-MS ms.", "MS", "0"};
    Opt receiverStatics{"receiver-statics", "A static per receiver station, uniform in +-MS ms.", "MS", "0"};
    Opt stationStatics{"station-statics",
                       "A static per station, uniform in +-MS ms, the same for a source and a receiver on it.", "MS",
                       "0"};
    Opt elevationVelocity{"elevation-velocity",
                          "Picks follow the topography: each end of the ray later by its height above the datum at "
                          "V m/s (0, the default: a static of about 1 ms at most).",
                          "V", "0"};
    Opt lateralChange{"lateral-change",
                      "Refractors slower by this fraction past the middle of the line (the top layer unchanged).",
                      "FRACTION", "0"};
    Opt gradient{"gradient",
                 "With --velocities: the top layer's velocity grows by K m/s per metre of depth, so the direct "
                 "arrival curves.",
                 "K", "0"};
    Opt dip{"dip", "With --velocities: the interfaces dip along the line by DEG degrees (deeper towards its end).",
            "DEG", "0"};
    Opt hiddenLayer{"hidden-layer",
                    "With --velocities: a layer of V m/s and H m under the top one that never arrives first (slower "
                    "than the top layer, or thin).",
                    "V,H"};
    Opt triggerDelay{"trigger-delay", "Every shot late by MS ms, the same for all.", "MS", "0"};
    Opt sourceDelay{"source-delay", "Every shot late by its own delay in [0, MS) ms (uphole and trigger time).", "MS",
                    "0"};
    Opt missing{"missing", "Leave out this fraction of the picks (channels missing from a shot).", "FRACTION", "0"};
    Opt unpicked{"unpicked", "Store this fraction of the picks as 0 ms (unpicked).", "FRACTION", "0"};
    Opt crossline{"source-crossline", "Sources off the line: each moved crossline by a distance uniform in MIN..MAX m.",
                  "MIN,MAX"};
    Opt receiverLines{"receiver-lines",
                      "A 3-D patch: N parallel receiver lines (default 1, one 2-D line), each with channels / N of "
                      "a shot's channels, and source lines across them every --shot-interval stations.",
                      "N", "1"};
    Opt lineSpacing{"line-spacing", "Metres between the receiver lines of a patch (default 200).", "M", "200"};
    Opt sourcesPerLine{"sources-per-line",
                       "Sources on each source line, evenly from the first receiver line to the last (default: one "
                       "on each receiver line).",
                       "K", "0"};
    Opt feet{"feet", "Coordinates, offsets and elevations in feet instead of metres."};
    Opt offsetFactor{"offset-factor",
                     "Offsets and elevations in 1/F of the coordinates' unit: 1, 10, 100 or 1000 (default 1).", "F",
                     "1"};

    void addTo(QCommandLineParser &p) const
    {
        p.addOptions({shots,           channels,       seed,          firstFfid,    polarity,
                      groupInterval,   shotInterval,   vary,          nan,          inf,
                      repeat,          truncate,       declared,      spread,       between,
                      velocities,      thicknesses,    crossovers,    noise,        sourceStatics,
                      receiverStatics, stationStatics, triggerDelay,  sourceDelay,  missing,
                      unpicked,        crossline,      feet,          offsetFactor, elevationVelocity,
                      lateralChange,   gradient,       dip,           hiddenLayer,  repeatPosition,
                      receiverLines,   lineSpacing,    sourcesPerLine});
    }

    // Fills *o from the parsed values. False, with the reason in *error, at
    // the first value that is not usable.
    bool read(const QCommandLineParser &p, FbGenerator::Options *o, QString *error) const
    {
        constexpr qint64 int32Min = std::numeric_limits<qint32>::min();
        constexpr qint64 int32Max = std::numeric_limits<qint32>::max();
        if (!p.isSet(shots) || !p.isSet(channels))
            return setError(error, QStringLiteral("gen needs --shots and --channels"));
        qint64 v = 0;
        auto number = [&](const Opt &option, qint64 low, qint64 high) {
            if (toInt(p.value(option), low, high, &v))
                return true;
            *error = QStringLiteral("--%1: '%2' is not a number in %3..%4")
                         .arg(option.names().first(), p.value(option))
                         .arg(low)
                         .arg(high);
            return false;
        };
        if (!number(seed, 0, std::numeric_limits<qint64>::max()))
            return false;
        o->seed = quint64(v);
        // Each whole-number option, the range it takes and where it goes.
        const struct
        {
            const Opt &option;
            qint64 low, high;
            int &value;
        } whole[] = {{shots, 1, int32Max, o->shots},
                     {channels, 1, int32Max, o->channels},
                     {firstFfid, int32Min, int32Max, o->firstFfid},
                     {polarity, int32Min, int32Max, o->polarity},
                     {groupInterval, 1, 100000, o->groupInterval},
                     {shotInterval, 1, 100000, o->shotInterval},
                     {receiverLines, 1, 1000, o->receiverLines},
                     {lineSpacing, 1, 100000, o->lineSpacing},
                     {sourcesPerLine, 0, 10000, o->sourcesPerLine}};
        for (const auto &w : whole) {
            if (!number(w.option, w.low, w.high))
                return false;
            w.value = int(v);
        }
        if (p.isSet(truncate)) {
            if (!number(truncate, 0, std::numeric_limits<qint64>::max()))
                return false;
            o->truncateBytes = v;
        }
        if (p.isSet(declared)) {
            if (!number(declared, int32Min, int32Max))
                return false;
            o->lieAboutCount = true;
            o->declaredCount = qint32(v);
        }
        return readLine(p, o, error) && readFaults(p, o, error);
    }

private:
    // The survey line's options; their ranges are the generator's to check.
    bool readLine(const QCommandLineParser &p, FbGenerator::Options *o, QString *error) const
    {
        const QString spreadName = p.value(spread);
        if (spreadName != QLatin1String("split") && spreadName != QLatin1String("end-on"))
            return setError(error, QStringLiteral("--spread: '%1' is not split or end-on").arg(spreadName));
        o->spread = spreadName == QLatin1String("split") ? FbGenerator::Spread::Split : FbGenerator::Spread::EndOn;
        o->sourceBetweenStations = p.isSet(between);
        o->feet = p.isSet(feet);
        qint64 factor = 0;
        if (!toInt(p.value(offsetFactor), 1, 1000, &factor))
            return setError(
                error, QStringLiteral("--offset-factor: '%1' is not 1, 10, 100 or 1000").arg(p.value(offsetFactor)));
        o->offsetFactor = int(factor);
        if (p.isSet(hiddenLayer)) {
            const QStringList pair = p.value(hiddenLayer).split(QLatin1Char(','));
            if (pair.size() != 2 || !toDouble(pair.at(0), &o->hiddenVelocity) ||
                !toDouble(pair.at(1), &o->hiddenThickness) || !(o->hiddenVelocity > 0.0) || !(o->hiddenThickness > 0.0))
                return setError(error, QStringLiteral("--hidden-layer: '%1' is not V,H (m/s and m, both positive)")
                                           .arg(p.value(hiddenLayer)));
        }
        if (p.isSet(crossline)) {
            const QStringList range = p.value(crossline).split(QLatin1Char(','));
            if (range.size() != 2 || !toDouble(range.at(0), &o->sourceCrosslineMin) ||
                !toDouble(range.at(1), &o->sourceCrosslineMax))
                return setError(
                    error, QStringLiteral("--source-crossline: '%1' is not MIN,MAX in metres").arg(p.value(crossline)));
        }
        const struct
        {
            const Opt &option;
            QVector<double> &list;
        } lists[] = {{velocities, o->velocities}, {thicknesses, o->thicknesses}, {crossovers, o->crossovers}};
        for (const auto &l : lists) {
            if (!p.isSet(l.option))
                continue;
            for (const QString &text : p.value(l.option).split(QLatin1Char(','))) {
                double v = 0.0;
                if (!toDouble(text, &v))
                    return setError(error, QStringLiteral("--%1: '%2' is not a list of numbers")
                                               .arg(l.option.names().first(), p.value(l.option)));
                l.list.append(v);
            }
        }
        const struct
        {
            const Opt &option;
            double &value;
        } amounts[] = {{noise, o->noiseMs},
                       {sourceStatics, o->sourceStaticMs},
                       {receiverStatics, o->receiverStaticMs},
                       {stationStatics, o->stationStaticMs},
                       {triggerDelay, o->triggerDelayMs},
                       {sourceDelay, o->sourceDelayMs},
                       {missing, o->missing},
                       {unpicked, o->unpicked},
                       {elevationVelocity, o->elevationVelocity},
                       {lateralChange, o->lateralChange},
                       {gradient, o->gradient},
                       {dip, o->dipDegrees}};
        for (const auto &a : amounts) {
            if (!toDouble(p.value(a.option), &a.value))
                return setError(
                    error,
                    QStringLiteral("--%1: '%2' is not a number").arg(a.option.names().first(), p.value(a.option)));
        }
        return true;
    }

    static bool setError(QString *error, const QString &text)
    {
        *error = text;
        return false;
    }

    // A shot position from 1, as the 0-based shot the generator takes.
    static bool position(const QString &text, int *shot)
    {
        qint64 v = 0;
        if (!toInt(text, 1, std::numeric_limits<int>::max(), &v))
            return false;
        *shot = int(v - 1);
        return true;
    }

    bool readFaults(const QCommandLineParser &p, FbGenerator::Options *o, QString *error) const
    {
        const struct
        {
            const Opt &option;
            const char *defaultField;
            QStringList fields;
            QVector<FbGenerator::FieldFault> &list;
        } faults[] = {{vary, "s_elev", FbGenerator::varyingSourceFields(), o->varyingSource},
                      {nan, "source_x", FbGenerator::nonFiniteFields(), o->nanValues},
                      {inf, "source_x", FbGenerator::nonFiniteFields(), o->infValues}};
        for (const auto &f : faults) {
            const QString name = f.option.names().first();
            for (const QString &text : p.values(f.option)) {
                const QStringList parts = text.split(QLatin1Char(':'));
                FbGenerator::FieldFault fault;
                if (parts.size() > 2 || !position(parts.at(0), &fault.shot))
                    return setError(error, QStringLiteral("--%1: '%2' is not POS or POS:FIELD").arg(name, text));
                const QString field = parts.size() == 2 ? parts.at(1) : QLatin1String(f.defaultField);
                if (!f.fields.contains(field))
                    return setError(error, QStringLiteral("--%1: '%2' is not a field it can change; use one of %3")
                                               .arg(name, field, f.fields.join(QLatin1String(", "))));
                fault.column = FbGenerator::columnOf(field);
                f.list.append(fault);
            }
        }
        for (const QString &text : p.values(repeat)) {
            const QStringList parts = text.split(QLatin1Char(':'));
            FbGenerator::FfidRepeat r;
            if (parts.size() > 2 || (parts.size() == 2 && !position(parts.at(0), &r.source)) ||
                !position(parts.last(), &r.shot))
                return setError(error, QStringLiteral("--repeat-ffid: '%1' is not POS or SOURCE:POS").arg(text));
            o->repeatedFfid.append(r);
        }
        for (const QString &text : p.values(repeatPosition)) {
            const QStringList parts = text.split(QLatin1Char(':'));
            FbGenerator::FfidRepeat r;
            if (parts.size() > 2 || (parts.size() == 2 && !position(parts.at(0), &r.source)) ||
                !position(parts.last(), &r.shot))
                return setError(error, QStringLiteral("--repeat-position: '%1' is not POS or SOURCE:POS").arg(text));
            o->repeatedPosition.append(r);
        }
        return true;
    }
};

int runGen(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("gen"),
                      QStringLiteral("Writes a synthetic FB file: one 2-D line shot with a rolling split spread, or "
                                     "with --receiver-lines a 3-D patch; with --traces also its shot records.\n") +
                          QLatin1String(Numbering) + QStringLiteral(" Fault options may be given more than once."));
    const GenOptions options;
    options.addTo(cmd.parser);
    const PickFaultOptions pickFaults(cmd.parser);
    TraceGenOptions traces(cmd.parser);
    const QString fileName = cmd.parse(args);
    if (fileName.isEmpty())
        return Failed;

    FbGenerator::Options o;
    QString error;
    if (!options.read(cmd.parser, &o, &error) || !pickFaults.read(cmd.parser, &o, &error) ||
        !traces.read(cmd.parser, &o, &error))
        return fail(error);
    FbGenerator::Result result;
    FbGenerator::FileWriter writer(o);
    if (!writer.write(fileName, &result))
        return fail(writer.errorString());
    out() << fileName << ": " << QcReportText::counted(result.records, "record", "records") << ", "
          << QcReportText::counted(o.shots, "shot", "shots") << " of "
          << QcReportText::counted(o.channels, "channel", "channels") << ", " << result.fileSize << " bytes\n";
    if (!traces.write(&error))
        return fail(error);
    return Ok;
}

// ---------------------------------------------------------------- info

int runInfo(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("info"),
                      QStringLiteral("Prints the summary of an FB file. A file without a complete record, or whose "
                                     "header's offset range is reversed, is not an FB file (exit 2)."));
    IndexedFile file;
    if (!file.parse(cmd, args) || !file.open())
        return Failed;
    const ShotIndexScanner &scanner = *file.scanner;
    const FbFileHeader &h = scanner.header();
    // An empty file, a text or another format renamed: no summary would
    // mean anything.
    if (scanner.recordCount() == 0)
        return fail(QStringLiteral("%1: not an FB file: %2 bytes cannot hold a header and one record")
                        .arg(file.name)
                        .arg(scanner.fileSize()));
    if (h.min_offset > h.max_offset)
        return fail(QStringLiteral("%1: not an FB file: the header's offset range %2 .. %3 is reversed")
                        .arg(file.name)
                        .arg(h.min_offset)
                        .arg(h.max_offset));

    QTextStream &o = out();
    o << "File: " << file.name << '\n';
    o << "File size: " << scanner.fileSize() << " bytes\n";
    o << "Records: " << scanner.recordCount() << '\n';
    o << "Shots: " << file.index.size() << '\n';
    o << "Offset range: " << h.min_offset << " .. " << h.max_offset << '\n';
    o << "Polarity: " << (h.polarity > 0 ? "positive" : "negative") << " (" << h.polarity << ")\n";
    if (scanner.isComplete())
        o << "Declared count: " << h.fb_count << " (matches the file size)\n";
    else
        o << "Declared count: " << h.fb_count << " MISMATCH: the file size gives " << scanner.recordCount()
          << " records\n";
    if (scanner.trailingBytes() > 0)
        o << "Partial record: " << scanner.trailingBytes() << " bytes after the last complete record\n";
    return Ok;
}

// ---------------------------------------------------------------- shots

int runShots(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("shots"),
                      QStringLiteral("Prints the shot index: one line per run of records with the same ffid.\n") +
                          QLatin1String(Numbering) + QStringLiteral(" The last record is inclusive."));
    const QCommandLineOption csv(QStringLiteral("csv"), QStringLiteral("Comma-separated values with a title line."));
    cmd.parser.addOption(csv);
    IndexedFile file;
    if (!file.parse(cmd, args) || !file.open())
        return Failed;
    const QVector<ShotIndexEntry> &index = file.index;

    QTextStream &o = out();
    const bool asCsv = cmd.parser.isSet(csv);
    if (asCsv)
        o << "shot,ffid,first,last,records\n";
    else
        o << qSetFieldWidth(8) << "shot" << qSetFieldWidth(12) << "ffid"
          << "first"
          << "last"
          << "records" << qSetFieldWidth(0) << '\n';
    for (int k = 0; k < index.size() && output().ok(); ++k) {
        const ShotIndexEntry &e = index.at(k);
        const qint64 first = qint64(e.firstRecord) + 1, last = qint64(e.lastRecord) + 1;
        if (asCsv)
            o << k + 1 << ',' << e.ffid << ',' << first << ',' << last << ',' << last - first + 1 << '\n';
        else
            o << qSetFieldWidth(8) << k + 1 << qSetFieldWidth(12) << e.ffid << first << last << last - first + 1
              << qSetFieldWidth(0) << '\n';
    }
    return Ok;
}

// ---------------------------------------------------------------- dump

// The dumped fields: the viewer's columns, then the status that the viewer
// shows only as colour.
QVector<const FbLayout::Field *> dumpFields()
{
    QVector<const FbLayout::Field *> fields;
    for (int c = 0; c < FbColumns::Count; ++c)
        fields << &FbColumns::field(c);
    fields << FbLayout::fieldNamed("fb_status");
    return fields;
}

// One dumped column: its field and its width. A source attribute, the same
// in every record of a shot, keeps the text of the last value it showed and
// makes it again only when the value changes.
class DumpColumn
{
public:
    explicit DumpColumn(const FbLayout::Field &field)
        : m_field(&field), m_cached(field.sourceAttribute), m_width(int(qstrlen(field.name)))
    { }

    const FbLayout::Field &field() const { return *m_field; }
    int width() const { return m_width; }

    // Takes the widest text over a shot into the width without formatting
    // every value: a decimal or fixed-point text grows with the value's
    // magnitude, so the extremes (and any text without digits) bound it,
    // and a 'g' text is formatted only when its magnitude allows a text
    // wider than the width so far.
    void measure(const FbRecord &r)
    {
        const double v = m_field->value(r);
        if (m_field->format == FbLayout::CellFormat::Significant6) {
            if (longestSignificant6(v) > m_width)
                m_width = qMax(m_width, textSize(r));
            return;
        }
        if (!std::isfinite(v)) {
            m_width = qMax(m_width, textSize(r));
            return;
        }
        m_min = qMin(m_min, v);
        m_max = qMax(m_max, v);
    }
    // Ends the measuring; from now on texts are right-justified to the
    // width when justify is set.
    void endMeasure(bool justify)
    {
        if (m_min <= m_max)
            m_width = qMax(m_width, qMax(textSize(recordWith(m_min)), textSize(recordWith(m_max))));
        m_justifyTo = justify ? m_width : 0;
    }

    // Writes the cell of r at out and returns its end. It may also write up
    // to 15 bytes past the end, which the caller's buffer must hold: whole
    // 16-byte copies of a kept text are much faster than exact ones.
    char *write(const FbRecord &r, char *out)
    {
        if (!m_cached) {
            // writeFieldText's dispatch, inline: one call less per cell.
            switch (m_field->format) {
            case FbLayout::CellFormat::Decimal:
                return FbColumns::writeDecimal(r.*m_field->intMember, out, m_justifyTo);
            case FbLayout::CellFormat::Fixed2:
                return FbColumns::writeFixed2(r.*m_field->floatMember, out, m_justifyTo);
            case FbLayout::CellFormat::Significant6:
                return FbColumns::writeSignificant6(r.*m_field->floatMember, out, m_justifyTo);
            }
        }
        quint32 bits;
        if (m_field->type == FbLayout::FieldType::Int32)
            bits = quint32(r.*m_field->intMember);
        else
            std::memcpy(&bits, &(r.*m_field->floatMember), sizeof bits);
        if (!m_valid || bits != m_bits) {
            m_cellSize = int(FbColumns::writeFieldText(*m_field, r, m_cell, m_justifyTo) - m_cell);
            m_bits = bits;
            m_valid = true;
        }
        for (int k = 0; k < m_cellSize; k += 16)
            std::memcpy(out + k, m_cell + k, 16);
        return out + m_cellSize;
    }

private:
    // The widest 'g' text with 6 digits of any value of v's sign and
    // magnitude: "12345.6" from 1 on, "0.123457" from 0.1 on, and at most
    // "1.23457e+06" or "0.000123457" (a NaN and the infinities are shorter).
    static int longestSignificant6(double v)
    {
        const double magnitude = std::fabs(v);
        const int sign = v < 0;
        if (magnitude >= 1 && magnitude < 1e6)
            return 7 + sign;
        if (magnitude >= 0.1 && magnitude < 1)
            return 8 + sign;
        return 11 + sign;
    }
    // A record whose field holds v, a value it held before.
    FbRecord recordWith(double v) const
    {
        FbRecord r;
        if (m_field->type == FbLayout::FieldType::Int32)
            r.*m_field->intMember = qint32(v);
        else
            r.*m_field->floatMember = float(v);
        return r;
    }
    int textSize(const FbRecord &r) const
    {
        char text[FbColumns::MaxCellBytes];
        return int(FbColumns::writeFieldText(*m_field, r, text) - text);
    }

    const FbLayout::Field *m_field;
    bool m_cached;
    int m_width;
    int m_justifyTo = 0;
    double m_min = std::numeric_limits<double>::infinity();
    double m_max = -std::numeric_limits<double>::infinity();
    bool m_valid = false;
    quint32 m_bits = 0;
    int m_cellSize = 0;
    // A cell is at most MaxCellBytes, a title being no wider than the
    // widest text; the rest is room for the 16-byte copies.
    char m_cell[(FbColumns::MaxCellBytes + 15) / 16 * 16 + 16] = {};
};

// Prints records first .. first + count - 1 block by block: memory stays
// one read block and one output buffer whatever the shot's size. Text is
// aligned in a first pass that only measures. The cells are formatted
// straight into the output buffer, so that the dump runs at about the speed
// of reading the records. False, after saying why, when the file cannot be
// opened; a failed write shows when the output is flushed.
bool dumpRecords(const QString &fileName, qint64 first, qint64 count, bool asCsv)
{
    std::vector<DumpColumn> columns;
    for (const FbLayout::Field *f : dumpFields())
        columns.emplace_back(*f);
    FbBlockReader reader(fileName);
    if (!reader.open()) {
        fail(QStringLiteral("%1: %2").arg(fileName, reader.errorString()));
        return false;
    }
    FbBlockReader::Block block;
    if (!asCsv) {
        reader.setRange(first, count);
        while (reader.nextBlock(&block)) {
            for (qint64 k = 0; k < block.records; ++k) {
                const FbRecord r = FbLayout::decodeRecord(block.record(k));
                for (DumpColumn &c : columns)
                    c.measure(r);
            }
        }
    }
    for (DumpColumn &c : columns)
        c.endMeasure(!asCsv);

    // Two separator bytes are always copied, and only the first counts in
    // CSV: the next cell overwrites the second.
    const char separator[2] = {asCsv ? ',' : ' ', ' '};
    const int separatorSize = asCsv ? 1 : 2;
    int longestLine = 1 + 16; // the newline, and the slack of the last cell's copy
    for (const DumpColumn &c : columns)
        longestLine += separatorSize + qMax(c.width(), FbColumns::MaxCellBytes);
    QByteArray buffer;
    buffer.resize(qMax(1 << 16, 4 * longestLine));
    char *const begin = buffer.data();
    char *const full = begin + buffer.size() - longestLine; // no room for another line past this
    char *out = begin;
    auto endLine = [&] {
        *out++ = '\n';
        if (out < full)
            return true;
        const bool written = output().write(QByteArray::fromRawData(begin, int(out - begin)));
        out = begin;
        return written;
    };

    for (int c = 0; c < int(columns.size()); ++c) {
        if (c) {
            std::memcpy(out, separator, sizeof separator);
            out += separatorSize;
        }
        const char *title = columns[c].field().name;
        const int size = int(qstrlen(title)), width = asCsv ? 0 : columns[c].width();
        if (size < width) {
            std::memset(out, ' ', size_t(width - size));
            out += width - size;
        }
        out = std::copy(title, title + size, out);
    }
    bool writing = endLine();
    reader.setRange(first, count);
    while (writing && reader.nextBlock(&block)) {
        for (qint64 k = 0; writing && k < block.records; ++k) {
            const FbRecord r = FbLayout::decodeRecord(block.record(k));
            out = columns.front().write(r, out);
            for (auto c = columns.begin() + 1; c != columns.end(); ++c) {
                std::memcpy(out, separator, sizeof separator);
                out = c->write(r, out + separatorSize);
            }
            writing = endLine();
        }
    }
    if (writing)
        output().write(QByteArray::fromRawData(begin, int(out - begin)));
    return true;
}

int runDump(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("dump"),
                      QStringLiteral("Prints the records of one shot with every named field, formatted as the "
                                     "viewer shows them, plus fb_status last.\n") +
                          QLatin1String(Numbering));
    const QCommandLineOption shot(QStringLiteral("shot"), QStringLiteral("The shot at position POS (from 1)."),
                                  QStringLiteral("POS"));
    const QCommandLineOption ffid(QStringLiteral("ffid"), QStringLiteral("The first shot with this ffid."),
                                  QStringLiteral("F"));
    const QCommandLineOption csv(QStringLiteral("csv"), QStringLiteral("Comma-separated values with a title line."));
    cmd.parser.addOptions({shot, ffid, csv});
    IndexedFile file;
    if (!file.parse(cmd, args))
        return Failed;
    if (cmd.parser.isSet(shot) == cmd.parser.isSet(ffid))
        return fail(QStringLiteral("dump needs exactly one of --shot and --ffid"));
    if (!file.open())
        return Failed;
    const QString &fileName = file.name;
    QVector<ShotIndexEntry> &index = file.index;

    qint64 v = 0;
    int row = -1;
    if (cmd.parser.isSet(shot)) {
        if (!toInt(cmd.parser.value(shot), 1, index.size(), &v))
            return fail(
                QStringLiteral("--shot: '%1' is not a shot in 1..%2").arg(cmd.parser.value(shot)).arg(index.size()));
        row = int(v - 1);
    } else {
        if (!toInt(cmd.parser.value(ffid), std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), &v))
            return fail(QStringLiteral("--ffid: '%1' is not a number").arg(cmd.parser.value(ffid)));
        int runs = 0;
        for (int k = 0; k < index.size(); ++k) {
            if (index.at(k).ffid == v && runs++ == 0)
                row = k;
        }
        if (row < 0)
            return fail(QStringLiteral("%1: no shot with ffid %2").arg(fileName).arg(v));
        if (runs > 1)
            std::fprintf(stderr, "fbtool: ffid %lld names %d shots; showing the first, shot %d\n",
                         static_cast<long long>(v), runs, row + 1);
    }

    const ShotIndexEntry e = index.at(row);
    index = QVector<ShotIndexEntry>(); // not needed while the records stream
    if (!dumpRecords(fileName, e.firstRecord, qint64(e.lastRecord) - e.firstRecord + 1, cmd.parser.isSet(csv)))
        return Failed;
    return Ok;
}

// ---------------------------------------------------------------- check

int runCheck(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("check"),
                      QStringLiteral("Quality-control report: a file without a complete record, a header that "
                                     "cannot describe the records, the declared record count against the file "
                                     "size, runs of records that are all zeros, source attributes that vary "
                                     "within a shot, ffids that name more than one shot, NaN or infinite floats, "
                                     "and the pick-status counts. The same checks as qc runs, without judging "
                                     "the picks.\n") +
                          QLatin1String(Numbering) +
                          QStringLiteral(" A pick is named by its record number, fb_no, ffid and channel.\n"
                                         "Exit code 0 when clean, 1 when a problem was found."));
    const QCommandLineOption all(QStringLiteral("all"),
                                 QStringLiteral("List every item, not the first 50 of each kind."));
    cmd.parser.addOption(all);
    const UnitOptions units(cmd.parser);
    const QString fileName = cmd.parse(args);
    if (fileName.isEmpty())
        return Failed;

    // The QC's own checks of what the records hold, without judging picks.
    FbQc::Settings settings;
    settings.judgePicks = false;
    if (!units.read(cmd.parser, &settings.units.metresPerLength, &settings.units.secondsPerTime))
        return Failed;
    FbQc::Analyzer analyzer(fileName, settings);
    FbQc::Report report;
    if (!analyzer.run(&report))
        return fail(QStringLiteral("%1: %2").arg(fileName, analyzer.errorString()));
    QcReportText::writeCheck(out(), fileName, report, cmd.parser.isSet(all) ? -1 : 50);
    return report.clean() ? Ok : Found;
}

// Every command: its name, what "fbtool --help" says of it, and what runs
// it (which gives its own usage line and --help). The top-level help and
// the dispatch both read this table.
struct Command
{
    const char *name;
    const char *summary;
    int (*run)(const QStringList &);
};

const std::vector<Command> &commands()
{
    static const std::vector<Command> table = {
        {"gen", "write a synthetic FB file", runGen},
        {"info", "print a file's summary", runInfo},
        {"shots", "print the shot index", runShots},
        {"dump", "print the records of one shot", runDump},
        {"check", "quality-control report (exit 0 clean, 1 problems found)", runCheck},
        {"qc", "pick QC: fitted curves, outliers, reciprocity (exit 0 clean, 1 found)", runQc},
        {"plot", "one shot's picks against offset with its fitted curve, as an image", runPlot},
        {"map", "sources and receivers in map view, sources coloured by a QC value", runMap},
        {"traces", "one shot's traces from SEG-Y or SEG-2 with its picks on them, as an image", runTraces},
        {"edit", "write a copy with picks changed (edits file, shifts, rejected outliers) and an edit log", runEdit},
        {"export", "write the picks in the unified data format (.sgt) or as a CSV table", runExport},
        {"import", "build an FB file from the unified data format (.sgt)", runImport},
        {"seis", "summarise a SEG-Y file or a folder of SEG-2 files, and match picks to its traces", runSeis},
        {"pick", "pick the first break of every trace of a SEG-Y file or SEG-2 folder into an FB file", runPick},
    };
    return table;
}

QString commandSummary()
{
    QString text = QStringLiteral("Commands:\n");
    for (const Command &c : commands())
        text += QStringLiteral("  %1%2\n").arg(QLatin1String(c.name), -8).arg(QLatin1String(c.summary));
    return text + QLatin1Char('\n') + QLatin1String(CommandHelpHint);
}

// "gen, info, ... or import."
QString commandNames()
{
    QStringList names;
    for (const Command &c : commands())
        names << QLatin1String(c.name);
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last + QLatin1Char('.');
}

} // namespace

int main(int argc, char *argv[])
{
    // Only the drawing commands need a GUI application.
    const QScopedPointer<QCoreApplication> app(createApplication(argc, argv));
    QCoreApplication::setApplicationName(QStringLiteral("fbtool"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SORV_VERSION));

    QStringList args = QCoreApplication::arguments();
    const QString command = args.size() > 1 ? args.at(1) : QString();

    for (const Command &c : commands()) {
        if (command == QLatin1String(c.name)) {
            const int code = c.run(args);
            if (code != Failed && !output().flush())
                return failWrite();
            return code;
        }
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Makes, inspects and checks FB (first-break pick) files.\n") +
                                     QLatin1String(Numbering) + QStringLiteral("\n\n") + commandSummary());
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("COMMAND"), commandNames());
    if (!parser.parse(args))
        return usageError(parser);
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();
    if (command.isEmpty())
        return fail(QStringLiteral("no command; try 'fbtool --help'"));
    return fail(QStringLiteral("unknown command '%1'; try 'fbtool --help'").arg(command));
}
