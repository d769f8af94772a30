#include "tracecommands.h"

#include "commandline.h"
#include "plotcommands.h"
#include "seiscommands.h"

#include <fbview/gatherview.h>
#include <fbqc/pickqc.h>
#include <fbfile/shotrecords.h>
#include <fbtrace/tracedataset.h>
#include <fbtrace/tracematch.h>

#include <QCommandLineParser>
#include <QSize>

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;
using namespace FbView;

namespace FbTool {

namespace {

// The names --display takes, in the order the help lists them.
const struct
{
    const char *name;
    GatherRenderer::Display display;
} Displays[] = {
    {"wiggle", GatherRenderer::Display::Wiggle},
    {"area", GatherRenderer::Display::VariableArea},
    {"density", GatherRenderer::Display::DensityGrey},
    {"density-rwb", GatherRenderer::Display::DensityRedBlue},
};

bool parseWindow(const QString &text, double *t0, double *t1)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    return parts.size() == 2 && toDouble(parts.at(0), t0) && toDouble(parts.at(1), t1) && *t0 < *t1;
}

} // namespace

int runTraces(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("traces"),
                      QStringLiteral("Draws one shot's traces with its picks as the QC window's traces panel does: "
                                     "the traces of the FB file's shot, found in DATA (a SEG-Y file or a folder of "
                                     "SEG-2 files) by its ffid (by its source position with --by position), each "
                                     "normalised to its peak, by signed offset; each pick on its trace (matched by "
                                     "ffid and channel, or as --by says) in its status colour (0 green, "
                                     "1 magenta, other red), the fitted first-break curve, outliers ringed. Times are "
                                     "drawn in ms whatever fb_time's unit (--time-unit). OUT ends in .png, .svg or "
                                     ".pdf.\n") +
                          QLatin1String(Numbering));
    const QCommandLineOption seismic(QStringLiteral("seismic"),
                                     QStringLiteral("The shot records: a SEG-Y file or a folder of SEG-2 files."),
                                     QStringLiteral("DATA"));
    const QCommandLineOption shot(QStringLiteral("shot"), QStringLiteral("The FB file's shot at position N (from 1)."),
                                  QStringLiteral("N"));
    const QCommandLineOption ffid(QStringLiteral("ffid"), QStringLiteral("The FB file's first shot with this ffid."),
                                  QStringLiteral("F"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The image to write."), QStringLiteral("OUT"));
    QStringList displayNames;
    for (const auto &d : Displays)
        displayNames << QLatin1String(d.name);
    const QCommandLineOption display(QStringLiteral("display"),
                                     QStringLiteral("How traces are drawn: %1 (default wiggle; area fills the "
                                                    "positive lobes, density is grey, density-rwb red, white and "
                                                    "blue).")
                                         .arg(displayNames.join(QStringLiteral(", "))),
                                     QStringLiteral("D"), QStringLiteral("wiggle"));
    const QCommandLineOption agc(
        QStringLiteral("agc"), QStringLiteral("Automatic gain control over a window of MS ms."), QStringLiteral("MS"));
    const QCommandLineOption clip(QStringLiteral("clip"),
                                  QStringLiteral("Cut amplitudes beyond C trace spacings (default 1)."),
                                  QStringLiteral("C"), QStringLiteral("1"));
    const QCommandLineOption window(QStringLiteral("window"),
                                    QStringLiteral("Show time T0 to T1 ms (reduced time with --reduce); default: "
                                                   "around the picks."),
                                    QStringLiteral("T0:T1"));
    const QCommandLineOption reduce(QStringLiteral("reduce"),
                                    QStringLiteral("Reduced time t - |offset|/V, V in offset units per second."),
                                    QStringLiteral("V"));
    const QCommandLineOption size = sizeOption();
    const QCommandLineOption firstSample(QStringLiteral("first-sample"),
                                         QStringLiteral("The time of every trace's first sample in ms, in place of "
                                                        "the one the data set gives."),
                                         QStringLiteral("MS"));
    cmd.parser.addOptions({seismic, shot, ffid, output, display, agc, clip, window, reduce, size, firstSample});
    const UnitOptions units(cmd.parser);
    const TraceMatchOptions matchOptions(cmd.parser);
    IndexedFile file;
    if (!file.parse(cmd, args))
        return Failed;
    const QCommandLineParser &p = cmd.parser;
    if (!p.isSet(seismic) || p.value(seismic).isEmpty())
        return fail(QStringLiteral("traces needs --seismic DATA"));
    if (p.isSet(shot) == p.isSet(ffid))
        return fail(QStringLiteral("traces needs exactly one of --shot and --ffid"));
    QString outName;
    QSize pixels;
    const QStringList inputs = QStringList{file.name} + seismicInputs(p.value(seismic));
    if (!imageOptions(p, output, size, inputs, &outName, &pixels))
        return Failed;
    int shown = -1;
    for (int k = 0; k < int(std::size(Displays)); ++k)
        shown = p.value(display) == QLatin1String(Displays[k].name) ? k : shown;
    if (shown < 0)
        return fail(QStringLiteral("--display: '%1' is not one of %2")
                        .arg(p.value(display), displayNames.join(QStringLiteral(", "))));
    GatherRenderer::Scaling scaling;
    if (p.isSet(agc) && (!toDouble(p.value(agc), &scaling.agcWindowMs) || scaling.agcWindowMs <= 0))
        return fail(QStringLiteral("--agc: '%1' is not a positive window in ms").arg(p.value(agc)));
    if (!toDouble(p.value(clip), &scaling.clip) || scaling.clip <= 0)
        return fail(QStringLiteral("--clip: '%1' is not a positive number").arg(p.value(clip)));
    double t0 = 0, t1 = 0;
    if (p.isSet(window) && !parseWindow(p.value(window), &t0, &t1))
        return fail(QStringLiteral("--window: '%1' is not T0:T1 in ms with T0 < T1").arg(p.value(window)));
    double velocity = 0.0;
    if (p.isSet(reduce) && (!toDouble(p.value(reduce), &velocity) || velocity <= 0))
        return fail(QStringLiteral("--reduce: '%1' is not a positive velocity").arg(p.value(reduce)));
    double firstSampleMs = 0;
    if (p.isSet(firstSample) && !toDouble(p.value(firstSample), &firstSampleMs))
        return fail(QStringLiteral("--first-sample: '%1' is not a time in ms").arg(p.value(firstSample)));
    TraceMatchSettings match;
    QString error;
    if (!matchOptions.read(p, &match, &error))
        return fail(error);
    FbQc::Units fileUnits;
    if (!units.read(p, &fileUnits.metresPerLength, &fileUnits.secondsPerTime))
        return Failed;

    if (!file.open())
        return Failed;
    const int row = chooseShot(p, shot, ffid, file.name, file.index);
    if (row < 0)
        return Failed;
    const ShotIndexEntry &entry = file.index.at(row);
    QVector<FbRecord> records = readShotRecords(file.name, entry.firstRecord, entry.lastRecord);
    if (records.size() != qint64(entry.lastRecord) - entry.firstRecord + 1)
        return fail(QStringLiteral("shot %1 has too many records to draw").arg(row + 1));
    // The traces' time axis is in ms, whatever unit the file's picks are in.
    FbQc::timesInMilliseconds(records.data(), records.size(), fileUnits);

    TraceDataSet data;
    if (p.isSet(firstSample))
        data.setFirstSampleMs(firstSampleMs);
    if (!data.open(p.value(seismic)))
        return fail(data.errorString());
    // Pairing runs over the shots before this one too: a shot fired again
    // from one position (or an ffid used twice) takes its own turn's traces.
    const int dataShot = traceShotsOf(data, file.name, file.index.mid(0, row + 1), match).value(row, -1);
    if (dataShot < 0)
        return fail(match.by == TraceMatchSettings::By::Keys
                        ? QStringLiteral("%1: no shot with ffid %2").arg(p.value(seismic)).arg(entry.ffid)
                        : QStringLiteral("%1: no shot fired within %2 m of shot %3's source")
                              .arg(p.value(seismic))
                              .arg(match.toleranceM)
                              .arg(row + 1));
    ShotGather gather;
    if (!data.readShot(dataShot, &gather))
        return fail(data.errorString());
    const QVector<int> rowTrace = matchRecordsToGather(records, gather, match);

    GatherView view;
    view.setScaling(scaling);
    view.setDisplay(Displays[shown].display);
    view.setReductionVelocity(velocity);
    view.setShot(gather, records, FbQc::fitShot(records), rowTrace, row);
    view.waitUntilReady();
    if (p.isSet(window))
        view.setTimeWindow(t0, t1);
    if (!writeImage(&view, outName, pixels, inputs))
        return Failed;
    const int onTraces = int(std::count_if(rowTrace.cbegin(), rowTrace.cend(), [](int t) { return t >= 0; }));
    for (const QString &warning : data.warnings())
        out() << p.value(seismic) << ": " << warning << '\n';
    out() << outName << ": shot " << (row + 1) << " > " << entry.ffid << ", " << gather.traceCount()
          << (gather.traceCount() == 1 ? " trace, " : " traces, ") << onTraces << " of " << records.size()
          << (records.size() == 1 ? " pick" : " picks") << " on a trace\n";
    return Ok;
}

} // namespace FbTool
