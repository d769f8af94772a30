#include "seiscommands.h"

#include "commandline.h"

#include <fbtrace/tracedataset.h>
#include <fbtrace/tracegenerator.h>
#include <fbtrace/tracematch.h>
#include <fbqc/waveformqc.h>

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <limits>

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;

namespace FbTool {

namespace {

// "NAME FFID" a line, '#' starting a comment: which ffid each SEG-2 file
// of a folder holds.
bool readFfidTable(const QString &fileName, QHash<QString, qint32> *table, QString *error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read %1: %2").arg(fileName, file.errorString());
        return false;
    }
    int line = 0;
    while (!file.atEnd()) {
        ++line;
        const QString text = QString::fromUtf8(file.readLine()).section(QLatin1Char('#'), 0, 0).trimmed();
        if (text.isEmpty())
            continue;
        const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        qint64 ffid = 0;
        if (words.size() != 2 ||
            !toInt(words[1], std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), &ffid)) {
            *error = QStringLiteral("%1:%2: expected a file name and an ffid").arg(fileName).arg(line);
            return false;
        }
        table->insert(words[0], qint32(ffid));
    }
    return true;
}

QString plural(qint64 n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace

QStringList seismicInputs(const QString &path)
{
    QStringList files{path};
    const QDir folder(path);
    if (QFileInfo(path).isDir()) {
        for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
            files << folder.filePath(name);
    }
    return files;
}

void printShift(QTextStream &o, const FbQc::TimeShift &shift)
{
    if (shift.traces == 0)
        return;
    o << "Picks against onsets: median " << QString::number(shift.medianMs, 'f', 2) << " ms over " << shift.traces
      << " confident traces\n";
    if (shift.shifted)
        o << "Warning: " << FbQc::describeShift(shift) << " See --first-sample.\n";
}

TraceOpenOptions::TraceOpenOptions(QCommandLineParser &parser)
    : firstSample(QStringLiteral("first-sample"),
                  QStringLiteral("The time of every trace's first sample in ms, in place of the format's delay."),
                  QStringLiteral("MS")),
      ffidByte(QStringLiteral("ffid-byte"),
               QStringLiteral("SEG-Y: the trace header byte where the ffid starts (default 9)."), QStringLiteral("N"),
               QStringLiteral("9")),
      channelByte(QStringLiteral("channel-byte"),
                  QStringLiteral("SEG-Y: the trace header byte where the channel starts (default 13)."),
                  QStringLiteral("N"), QStringLiteral("13")),
      ffidTable(QStringLiteral("ffid-table"),
                QStringLiteral("SEG-2: a text file of 'FILENAME FFID' lines giving each file's ffid."),
                QStringLiteral("FILE"))
{
    parser.addOptions({firstSample, ffidByte, channelByte, ffidTable});
}

bool TraceOpenOptions::open(const QCommandLineParser &p, const QString &path, TraceDataSet *data, QString *error,
                            int threads) const
{
    TraceDataSet::Options options;
    options.threads = threads;
    qint64 v = 0;
    if (!toInt(p.value(ffidByte), 1, 237, &v)) {
        *error = QStringLiteral("--ffid-byte: '%1' is not a byte in 1..237").arg(p.value(ffidByte));
        return false;
    }
    options.ffidByte = int(v);
    if (!toInt(p.value(channelByte), 1, 237, &v)) {
        *error = QStringLiteral("--channel-byte: '%1' is not a byte in 1..237").arg(p.value(channelByte));
        return false;
    }
    options.channelByte = int(v);
    if (p.isSet(ffidTable) && !readFfidTable(p.value(ffidTable), &options.seg2Ffids, error))
        return false;
    double firstSampleMs = 0;
    if (p.isSet(firstSample) && !toDouble(p.value(firstSample), &firstSampleMs)) {
        *error = QStringLiteral("--first-sample: '%1' is not a number").arg(p.value(firstSample));
        return false;
    }
    data->setOptions(options);
    if (!data->open(path)) {
        *error = data->errorString();
        return false;
    }
    if (p.isSet(firstSample))
        data->setFirstSampleMs(firstSampleMs);
    return true;
}

TraceMatchOptions::TraceMatchOptions(QCommandLineParser &parser)
    : by(QStringLiteral("by"),
         QStringLiteral("Match picks to traces by ffid and channel (keys, the default) or by source and receiver "
                        "position (position), for traces whose ffids were renumbered."),
         QStringLiteral("keys|position"), QStringLiteral("keys")),
      tolerance(QStringLiteral("tolerance"),
                QStringLiteral("With --by position: distance in m within which positions match (default 1)."),
                QStringLiteral("M"), QStringLiteral("1"))
{
    parser.addOptions({by, tolerance});
}

bool TraceMatchOptions::read(const QCommandLineParser &parser, TraceMatchSettings *settings, QString *error) const
{
    const QString method = parser.value(by);
    if (method != QLatin1String("keys") && method != QLatin1String("position")) {
        *error = QStringLiteral("--by: '%1' is not keys or position").arg(method);
        return false;
    }
    settings->by = method == QLatin1String("keys") ? TraceMatchSettings::By::Keys : TraceMatchSettings::By::Position;
    if (!toDouble(parser.value(tolerance), &settings->toleranceM) || !(settings->toleranceM > 0)) {
        *error = QStringLiteral("--tolerance: '%1' is not a positive number").arg(parser.value(tolerance));
        return false;
    }
    return true;
}

int runSeis(const QStringList &args)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Prints what a seismic data set holds: format, revision, sample format, traces, shots, samples per trace "
        "and sample interval. DATA is a SEG-Y file or a folder of SEG-2 files (or one SEG-2 file); the format is "
        "told from the content. With --match, counts the picks of an FB file that find their trace and the traces "
        "without a pick, and lists the first of those that do not match.\n"
        "Exit code 0, 1 when no pick matches any trace, 2 when a file cannot be read."));
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = p.addHelpOption();
    p.addPositionalArgument(QStringLiteral("seis"), QStringLiteral("The command."), QStringLiteral("seis"));
    p.addPositionalArgument(QStringLiteral("DATA"), QStringLiteral("A SEG-Y file or a folder of SEG-2 files."));
    const QCommandLineOption match(QStringLiteral("match"), QStringLiteral("Match the picks of this FB file."),
                                   QStringLiteral("FB"));
    p.addOption(match);
    const TraceMatchOptions matchOptions(p);
    const TraceOpenOptions open(p);
    if (!p.parse(args))
        return usageError(p);
    if (p.isSet(help))
        p.showHelp(0);
    const QStringList positional = p.positionalArguments();
    if (positional.size() != 2)
        return fail(positional.size() < 2 ? QStringLiteral("missing DATA") : QStringLiteral("too many arguments"));
    const QString path = positional.at(1);

    TraceMatchSettings settings;
    QString error;
    if (!matchOptions.read(p, &settings, &error))
        return fail(error);

    TraceDataSet data;
    if (!open.open(p, path, &data, &error))
        return fail(error);

    QTextStream &o = out();
    o << "Data: " << path << '\n';
    o << "Format: " << data.formatName() << " revision " << data.revision() << ", " << data.byteOrderName();
    if (data.format() == TraceDataSet::Format::SegY)
        o << ", " << data.textHeaderEncoding() << " textual header";
    else
        o << ", " << plural(data.fileCount(), "file", "files");
    o << '\n';
    o << "Sample format: " << data.sampleFormatName() << '\n';
    o << "Traces: " << data.traceCount() << '\n';
    o << "Shots: " << data.shotCount() << '\n';
    o << "Samples per trace: " << data.samplesPerTrace() << '\n';
    o << "Sample interval: " << data.sampleIntervalMs() << " ms\n";
    o << "First sample: " << data.firstSampleMs() << " ms" << (data.firstSampleOverridden() ? " (--first-sample)" : "")
      << '\n';
    o << "Index: " << TraceDataSet::indexBytesPerTrace() << " bytes a trace\n";
    for (const QString &w : data.warnings())
        o << "Warning: " << w << '\n';
    if (!p.isSet(match))
        return Ok;

    const QString fb = p.value(match);
    TraceMatcher matcher(settings);
    TraceMatchResult r;
    if (!matcher.match(data, fb, &r))
        return fail(QStringLiteral("%1: %2").arg(fb, matcher.errorString()));
    o << "Picks: " << r.picks << " in " << fb << '\n';
    o << "Matched " << (settings.by == TraceMatchSettings::By::Keys ? "by ffid and channel" : "by position") << ": "
      << r.matched << '\n';
    o << "Picks without a trace: " << r.picksWithoutTrace << '\n';
    o << "Traces without a pick: " << r.tracesWithoutPick << '\n';
    for (const TraceMatchItem &i : qAsConst(r.firstPicksWithoutTrace))
        o << "  pick " << i.index + 1 << " (ffid " << i.ffid << ", channel " << i.channel << "): no trace\n";
    if (r.picksWithoutTrace > r.firstPicksWithoutTrace.size())
        o << "  ... and " << r.picksWithoutTrace - r.firstPicksWithoutTrace.size() << " more picks\n";
    for (const TraceMatchItem &i : qAsConst(r.firstTracesWithoutPick))
        o << "  trace " << i.index + 1 << " (ffid " << i.ffid << ", channel " << i.channel << "): no pick\n";
    if (r.tracesWithoutPick > r.firstTracesWithoutPick.size())
        o << "  ... and " << r.tracesWithoutPick - r.firstTracesWithoutPick.size() << " more traces\n";
    if (r.matched > 0) {
        ShotIndexScanner scanner(fb);
        if (!scanner.open())
            return fail(QStringLiteral("%1: %2").arg(fb, scanner.errorString()));
        const QVector<ShotIndexEntry> index = scanner.scan();
        FbQc::WaveformQcSettings waveform;
        waveform.match = settings;
        FbQc::WaveformJudge judge(waveform);
        if (!judge.run(index, FbQc::recordsFromFile(fb, index), data, nullptr))
            return fail(QStringLiteral("%1: %2").arg(path, judge.errorString()));
        printShift(o, judge.summary().shift);
    }
    if (r.matched == 0 && r.picks > 0) {
        o << "No pick matches a trace: the picks' ffids run " << r.pickFfidMin << ".." << r.pickFfidMax
          << ", the traces' " << r.traceFfidMin << ".." << r.traceFfidMax << '\n';
        return Found;
    }
    return Ok;
}

struct TraceGenOptions::Private
{
    QString path;
    FbGenerator::Options line;
    TraceGenerator::Options traces;
};

TraceGenOptions::TraceGenOptions(QCommandLineParser &parser)
    : traces(QStringLiteral("traces"),
             QStringLiteral("Also write shot records whose first arrivals lie at the true pick times: a SEG-Y file, "
                            "or a folder of SEG-2 files."),
             QStringLiteral("OUT")),
      format(QStringLiteral("traces-format"), QStringLiteral("segy (the default) or seg2."), QStringLiteral("FORMAT"),
             QStringLiteral("segy")),
      cycleSkip(QStringLiteral("cycle-skip"),
                QStringLiteral("The picks of channels CH1 to CH2 of shot POS are one period late; the traces keep "
                               "the true onset."),
                QStringLiteral("POS:CH1-CH2")),
      mispick(QStringLiteral("mispick"),
              QStringLiteral("The pick of channel CH of shot POS is off by MS ms; the trace keeps the true onset."),
              QStringLiteral("POS:CH:MS")),
      frequency(QStringLiteral("frequency"), QStringLiteral("The wavelet's dominant frequency in Hz (default 40)."),
                QStringLiteral("HZ"), QStringLiteral("40")),
      tracePolarity(QStringLiteral("trace-polarity"),
                    QStringLiteral("The first motion: normal (up, the default) or reversed."),
                    QStringLiteral("normal|reversed"), QStringLiteral("normal")),
      snr(QStringLiteral("snr"), QStringLiteral("First arrival's peak over the noise's rms (default 10; 0: no noise)."),
          QStringLiteral("RATIO"), QStringLiteral("10")),
      interval(QStringLiteral("sample-interval"), QStringLiteral("Trace sample interval in ms (default 0.5)."),
               QStringLiteral("MS"), QStringLiteral("0.5")),
      length(QStringLiteral("trace-length"),
             QStringLiteral("Trace length in ms (default: the latest first break and 250 ms more)."),
             QStringLiteral("MS"), QStringLiteral("0")),
      emergent(QStringLiteral("emergent"),
               QStringLiteral("That share of the traces, drawn by the seed, has an emergent low-frequency onset "
                              "(default 0)."),
               QStringLiteral("FRACTION"), QStringLiteral("0")),
      clipNear(QStringLiteral("clip-near"),
               QStringLiteral("Traces within M metres of the source are clipped, as a saturated recorder clips them "
                              "(default 0: none)."),
               QStringLiteral("M"), QStringLiteral("0")),
      hum(QStringLiteral("hum"),
          QStringLiteral("A hum at HZ on the channels beyond half the shot's longest offset; AMP of the first "
                         "arrival's peak (default %1).")
              .arg(TraceGenerator::DefaultHumAmplitude),
          QStringLiteral("HZ[:AMP]")),
      airWave(QStringLiteral("air-wave"),
              QStringLiteral("An air wave arriving at |offset| / %1 m/s; on ground slower than sound it comes "
                             "before the first break.")
                  .arg(TraceGenerator::AirSpeedMps)),
      airWaveAmplitude(QStringLiteral("air-wave-amplitude"),
                       QStringLiteral("The air wave's peak over the first arrival's (default %1).")
                           .arg(TraceGenerator::DefaultAirWaveAmplitude),
                       QStringLiteral("AMP"), QString::number(TraceGenerator::DefaultAirWaveAmplitude)),
      d(std::make_shared<Private>())
{
    parser.addOptions({traces, format, cycleSkip, mispick, frequency, tracePolarity, snr, interval, length, emergent,
                       clipNear, hum, airWave, airWaveAmplitude});
}

bool TraceGenOptions::read(const QCommandLineParser &p, FbGenerator::Options *fb, QString *error)
{
    TraceGenerator::Options &t = d->traces;
    const QString formatName = p.value(format);
    if (formatName != QLatin1String("segy") && formatName != QLatin1String("seg2")) {
        *error = QStringLiteral("--traces-format: '%1' is not segy or seg2").arg(formatName);
        return false;
    }
    t.format = formatName == QLatin1String("segy") ? TraceGenerator::Format::SegY : TraceGenerator::Format::Seg2;
    const QString polarity = p.value(tracePolarity);
    if (polarity != QLatin1String("normal") && polarity != QLatin1String("reversed")) {
        *error = QStringLiteral("--trace-polarity: '%1' is not normal or reversed").arg(polarity);
        return false;
    }
    t.polarity = polarity == QLatin1String("normal") ? 1 : -1;
    const struct
    {
        const QCommandLineOption &option;
        double &value;
    } numbers[] = {{frequency, t.dominantHz},
                   {snr, t.signalToNoise},
                   {interval, t.sampleIntervalMs},
                   {length, t.lengthMs},
                   {emergent, t.emergentShare},
                   {clipNear, t.clipNearM},
                   {airWaveAmplitude, t.airWaveAmplitude}};
    for (const auto &n : numbers) {
        if (!toDouble(p.value(n.option), &n.value)) {
            *error = QStringLiteral("--%1: '%2' is not a number").arg(n.option.names().first(), p.value(n.option));
            return false;
        }
    }
    if (p.isSet(hum)) {
        const QStringList parts = p.value(hum).split(QLatin1Char(':'));
        if (parts.size() > 2 || !toDouble(parts[0], &t.humHz) || !(t.humHz > 0) ||
            (parts.size() == 2 && !toDouble(parts[1], &t.humAmplitude))) {
            *error = QStringLiteral("--hum: '%1' is not HZ[:AMP]").arg(p.value(hum));
            return false;
        }
    }
    t.airWave = p.isSet(airWave);
    qint64 shot = 0, first = 0, last = 0;
    for (const QString &text : p.values(cycleSkip)) {
        const QStringList parts = text.split(QLatin1Char(':'));
        const QStringList run = parts.value(1).split(QLatin1Char('-'));
        if (parts.size() != 2 || run.size() != 2 || !toInt(parts[0], 1, std::numeric_limits<int>::max(), &shot) ||
            !toInt(run[0], 1, std::numeric_limits<int>::max(), &first) ||
            !toInt(run[1], 1, std::numeric_limits<int>::max(), &last)) {
            *error = QStringLiteral("--cycle-skip: '%1' is not POS:CH1-CH2").arg(text);
            return false;
        }
        t.cycleSkips.append({int(shot - 1), int(first), int(last)});
    }
    for (const QString &text : p.values(mispick)) {
        const QStringList parts = text.split(QLatin1Char(':'));
        double ms = 0;
        if (parts.size() != 3 || !toInt(parts[0], 1, std::numeric_limits<int>::max(), &shot) ||
            !toInt(parts[1], 1, std::numeric_limits<int>::max(), &first) || !toDouble(parts[2], &ms)) {
            *error = QStringLiteral("--mispick: '%1' is not POS:CH:MS").arg(text);
            return false;
        }
        t.mispicks.append({int(shot - 1), int(first), ms});
    }
    const QString invalid = TraceGenerator::validate(*fb, t);
    if (!invalid.isEmpty()) {
        *error = invalid;
        return false;
    }
    d->path = p.value(traces);
    // Checked before the FB file is written, so that neither is left half done.
    if (!d->path.isEmpty()) {
        const QString problem = TraceGenerator::targetProblem(*fb, t, d->path);
        if (!problem.isEmpty()) {
            *error = problem;
            return false;
        }
    }
    d->line = *fb;
    *fb = TraceGenerator::pickOptions(*fb, t);
    return true;
}

bool TraceGenOptions::write(QString *error)
{
    if (d->path.isEmpty())
        return true;
    TraceGenerator::Writer writer;
    if (!writer.write(d->line, d->traces, d->path)) {
        *error = writer.errorString();
        return false;
    }
    out() << d->path << ": " << (d->traces.format == TraceGenerator::Format::SegY ? "SEG-Y, " : "SEG-2 files, ")
          << d->line.shots * qint64(d->line.channels) << " traces of " << writer.samplesPerTrace() << " samples at "
          << d->traces.sampleIntervalMs << " ms\n";
    return true;
}

} // namespace FbTool
