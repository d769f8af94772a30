#include "plotcommands.h"

#include <fbqc/offsettally.h>

#include "commandline.h"

#include <fbview/imageexport.h>
#include <fbqc/pickqc.h>
#include <fbview/qcmapvalues.h>
#include <fbqc/qcreporttext.h>
#include <fbfile/shotindex.h>
#include <fbview/shotplot.h>
#include <fbfile/shotrecords.h>
#include <fbview/stationaxis.h>
#include <fbview/stationresidualview.h>
#include <fbview/stationshotbuilder.h>
#include <fbview/stationshotview.h>
#include <fbview/surveymap.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <limits>

#include <unistd.h>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

namespace FbTool {

namespace {

bool parseSize(const QString &text, QSize *size)
{
    const QStringList parts = text.toLower().split(QLatin1Char('x'));
    qint64 w = 0, h = 0;
    if (parts.size() != 2 || !toInt(parts.at(0), ImageExport::MinSide, ImageExport::MaxSide, &w) ||
        !toInt(parts.at(1), ImageExport::MinSide, ImageExport::MaxSide, &h))
        return false;
    *size = QSize(int(w), int(h));
    return true;
}

} // namespace

QCommandLineOption sizeOption()
{
    return QCommandLineOption(QStringLiteral("size"),
                              QStringLiteral("Image size in pixels, each side %1..%2 (default %3x%4).")
                                  .arg(ImageExport::MinSide)
                                  .arg(ImageExport::MaxSide)
                                  .arg(ImageExport::DefaultWidth)
                                  .arg(ImageExport::DefaultHeight),
                              QStringLiteral("WxH"),
                              QStringLiteral("%1x%2").arg(ImageExport::DefaultWidth).arg(ImageExport::DefaultHeight));
}

// The options plot and map share: the image and its size. False after
// reporting a usage error or an image that would replace the input.
bool imageOptions(const QCommandLineParser &p, const QCommandLineOption &output, const QCommandLineOption &size,
                  const QStringList &inputs, QString *outName, QSize *pixels)
{
    *outName = p.value(output);
    if (!ImageExport::knowsSuffix(*outName)) {
        fail(QStringLiteral("-o: '%1' does not end in .png, .svg or .pdf").arg(*outName));
        return false;
    }
    if (!outputIsNotInput(*outName, inputs))
        return false;
    if (!parseSize(p.value(size), pixels)) {
        fail(QStringLiteral("--size: '%1' is not WxH, each in %2..%3")
                 .arg(p.value(size))
                 .arg(ImageExport::MinSide)
                 .arg(ImageExport::MaxSide));
        return false;
    }
    return true;
}

// Draws the widget at the image's size, as the QC window's export does;
// never over the input.
bool writeImage(QwtPlot *plot, const QString &outName, const QSize &pixels, const QStringList &inputs)
{
    plot->resize(pixels);
    ImageExport image;
    if (!image.write(plot, outName, pixels, inputs)) {
        fail(image.errorString());
        return false;
    }
    return true;
}

QCoreApplication *createApplication(int &argc, char **argv)
{
    const QByteArray command = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (command != "plot" && command != "map" && command != "traces")
        return new QCoreApplication(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a session's runtime folder Qt warns on stderr, which would
    // break the one-line error convention; a private one in the temp folder
    // is what it would fall back to anyway.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QDir::tempPath() + QStringLiteral("/runtime-fbtool-") + QString::number(getuid());
        if (QDir().mkpath(runtime) &&
            QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }
    return new QApplication(argc, argv);
}

int chooseShot(const QCommandLineParser &p, const QCommandLineOption &shot, const QCommandLineOption &ffid,
               const QString &fileName, const QVector<ShotIndexEntry> &index)
{
    qint64 v = 0;
    if (p.isSet(shot)) {
        if (!toInt(p.value(shot), 1, index.size(), &v)) {
            fail(QStringLiteral("--shot: '%1' is not a shot in 1..%2").arg(p.value(shot)).arg(index.size()));
            return -1;
        }
        return int(v - 1);
    }
    if (!toInt(p.value(ffid), std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), &v)) {
        fail(QStringLiteral("--ffid: '%1' is not a number").arg(p.value(ffid)));
        return -1;
    }
    for (int k = 0; k < index.size(); ++k) {
        if (index.at(k).ffid == v)
            return k;
    }
    fail(QStringLiteral("%1: no shot with ffid %2").arg(fileName).arg(v));
    return -1;
}

int runPlot(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("plot"),
                      QStringLiteral("Draws one shot's picks against signed offset as the QC window does: each pick "
                                     "in its status colour (0 green, 1 magenta, other red), the fitted first-break "
                                     "curve of each side with each segment's apparent velocity and the intercept, "
                                     "outliers ringed, a legend. Where the picks followed the topography, picks "
                                     "and curve are drawn at the source's height, as the fit corrects them, or as "
                                     "picked with --as-picked; the time axis says which. OUT ends in .png, .svg or "
                                     ".pdf.\n") +
                          QLatin1String(Numbering));
    const QCommandLineOption shot(QStringLiteral("shot"), QStringLiteral("The shot at position N (from 1)."),
                                  QStringLiteral("N"));
    const QCommandLineOption ffid(QStringLiteral("ffid"), QStringLiteral("The first shot with this ffid."),
                                  QStringLiteral("F"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The image to write."), QStringLiteral("OUT"));
    const QCommandLineOption reduce(QStringLiteral("reduce"),
                                    QStringLiteral("Plot reduced time t - |offset|/V, V in offset units per "
                                                   "second."),
                                    QStringLiteral("V"));
    const QCommandLineOption residuals(QStringLiteral("residuals"),
                                       QStringLiteral("Plot each pick's residual (time - fitted curve) instead of "
                                                      "its time."));
    const QCommandLineOption asPicked(QStringLiteral("as-picked"),
                                      QStringLiteral("On a line whose picks follow the topography, draw the times as "
                                                     "picked, the curve following the ground, instead of at the "
                                                     "source's height."));
    const QCommandLineOption size = sizeOption();
    const QCommandLineOption outlierMs =
        thresholdOption(Threshold::Outlier, QStringLiteral("Outlier threshold in ms, as for qc (default %1)."));
    cmd.parser.addOptions({shot, ffid, output, reduce, residuals, asPicked, size, outlierMs});
    // The coordinates' unit names the offset axis; velocities are written
    // in m/s from it and the offsets' finer unit the shot shows.
    const UnitOptions units(cmd.parser);
    IndexedFile file;
    if (!file.parse(cmd, args))
        return Failed;
    const QString &fileName = file.name;
    const QCommandLineParser &p = cmd.parser;
    if (p.isSet(shot) == p.isSet(ffid))
        return fail(QStringLiteral("plot needs exactly one of --shot and --ffid"));
    QString outName;
    QSize pixels;
    if (!imageOptions(p, output, size, {fileName}, &outName, &pixels))
        return Failed;
    double velocity = 0.0;
    if (p.isSet(reduce) && (!toDouble(p.value(reduce), &velocity) || velocity <= 0))
        return fail(QStringLiteral("--reduce: '%1' is not a positive velocity").arg(p.value(reduce)));
    FbQc::Settings settings;
    if (!units.read(p, &settings.units.metresPerLength, &settings.units.secondsPerTime))
        return Failed;
    const QString unit = p.value(units.length).trimmed();
    if (!toDouble(p.value(outlierMs), &settings.outlierMs) || settings.outlierMs < 0)
        return fail(QStringLiteral("--outlier-ms: '%1' is not a time in ms").arg(p.value(outlierMs)));

    if (!file.open())
        return Failed;
    const QVector<ShotIndexEntry> &index = file.index;
    const int row = chooseShot(p, shot, ffid, fileName, index);
    if (row < 0)
        return Failed;
    const ShotIndexEntry &entry = index.at(row);
    QVector<FbRecord> records = readShotRecords(fileName, entry.firstRecord, entry.lastRecord);
    if (records.size() != qint64(entry.lastRecord) - entry.firstRecord + 1)
        return fail(QStringLiteral("shot %1 has too many records to draw").arg(row + 1));
    // Fitted and drawn in ms, as the QC judges them.
    FbQc::timesInMilliseconds(records.data(), records.size(), settings.units);
    const FbQc::ShotFit fit = FbQc::fitShot(records, settings);

    FbQc::OffsetTally tally;
    for (const FbRecord &r : records)
        tally.add(r);
    settings.units.offsetFactor = tally.found() ? tally.factor() : 1;
    ShotPlot plot;
    plot.setOffsetUnit(
        settings.units.offsetFactor == 1 ? unit : QStringLiteral("1/%1 %2").arg(settings.units.offsetFactor).arg(unit));
    plot.setUnits(settings.units);
    plot.setOutlierThreshold(settings.outlierMs);
    plot.setReductionVelocity(velocity);
    plot.setMode(p.isSet(residuals) ? ShotPlot::Residuals : ShotPlot::Times);
    plot.setHeights(p.isSet(asPicked) ? ShotPlot::AsPicked : ShotPlot::AtSource);
    plot.setShot(records, fit, row, entry.ffid);
    if (!writeImage(&plot, outName, pixels, {fileName}))
        return Failed;
    out() << outName << ": shot " << (row + 1) << " > " << entry.ffid << ", " << records.size()
          << (records.size() == 1 ? " pick, " : " picks, ") << fit.outliers()
          << (fit.outliers() == 1 ? " outlier\n" : " outliers\n");
    return Ok;
}

int runMap(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("map"),
                      QStringLiteral("Draws a survey-wide view of the file as the QC window does. OUT ends in .png, "
                                     ".svg or .pdf. Views:\n"
                                     "  map        sources and receivers in map view at equal axis scale, each "
                                     "source coloured by a per-shot QC value (--color) with a colour bar, shots with "
                                     "a value above 0 larger and on top (the default);\n"
                                     "  receivers  each receiver's mean residual over every shot that recorded it, "
                                     "against its station, with the rms as a band; receivers whose mean is beyond "
                                     "half the outlier threshold larger, late red, early blue;\n"
                                     "  stations   receiver stations across, shots down: each reciprocal pair's "
                                     "difference at each shot's row and the other's source station, so that a late "
                                     "shot is a red row and a blue column;\n"
                                     "  residuals  the same image of every judged pick's residual at its shot and "
                                     "station (holds 16 bytes a judged pick)."));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The image to write."), QStringLiteral("OUT"));
    const QCommandLineOption view(QStringLiteral("view"),
                                  QStringLiteral("What to draw: map (the default), receivers, stations or residuals."),
                                  QStringLiteral("VIEW"), QStringLiteral("map"));
    const QCommandLineOption colour(QStringLiteral("color"),
                                    QStringLiteral("What colours the sources of the map: outliers (per shot, the "
                                                   "default), rms (residual of the fit, ms), picks (per shot), pairs "
                                                   "(flagged reciprocal pairs per shot) or timing (estimated "
                                                   "timing error, ms)."),
                                    QStringLiteral("VALUE"), QStringLiteral("outliers"));
    const QCommandLineOption outlierMs =
        thresholdOption(Threshold::Outlier, QStringLiteral("Outlier threshold in ms, as for qc (default %1)."));
    const QCommandLineOption reciprocityMs =
        thresholdOption(Threshold::Reciprocity, QStringLiteral("Reciprocity tolerance in ms, as for qc (default "
                                                               "%1); the stations view's colour bar spans it."));
    const QCommandLineOption size = sizeOption();
    cmd.parser.addOptions({output, view, colour, outlierMs, reciprocityMs, size});
    // The coordinates' unit names the axes; times enter the QC in ms.
    const UnitOptions units(cmd.parser);
    const QString fileName = cmd.parse(args);
    if (fileName.isEmpty())
        return Failed;
    const QCommandLineParser &p = cmd.parser;
    QString outName;
    QSize pixels;
    if (!imageOptions(p, output, size, {fileName}, &outName, &pixels))
        return Failed;
    enum View { Map, Receivers, Stations, Residuals, ViewCount };
    const char *const viewKeys[ViewCount] = {"map", "receivers", "stations", "residuals"};
    int shown = 0;
    while (shown < ViewCount && p.value(view) != QLatin1String(viewKeys[shown]))
        ++shown;
    if (shown == ViewCount)
        return fail(QStringLiteral("--view: '%1' is not map, receivers, stations or residuals").arg(p.value(view)));
    const QString colourBy = p.value(colour);
    int quantity = 0;
    while (quantity < QcMapValues::QuantityCount && colourBy != QLatin1String(QcMapValues::keys[quantity]))
        ++quantity;
    if (quantity == QcMapValues::QuantityCount)
        return fail(QStringLiteral("--color: '%1' is not outliers, rms, picks, pairs or timing").arg(colourBy));
    if (p.isSet(colour) && shown != Map)
        return fail(QStringLiteral("--color colours the map only, not --view %1").arg(p.value(view)));
    // One read of the file judges it and collects its receivers.
    FbQc::Settings settings;
    settings.collectReceivers = true;
    const struct
    {
        const QCommandLineOption &option;
        double *value;
    } thresholds[] = {{outlierMs, &settings.outlierMs}, {reciprocityMs, &settings.reciprocityMs}};
    for (const auto &t : thresholds) {
        if (!toDouble(p.value(t.option), t.value) || *t.value < 0)
            return fail(
                QStringLiteral("--%1: '%2' is not a time in ms").arg(t.option.names().first(), p.value(t.option)));
    }
    if (!units.read(p, &settings.units.metresPerLength, &settings.units.secondsPerTime))
        return Failed;
    const QString unit = p.value(units.length).trimmed();

    FbQc::Analyzer analyzer(fileName, settings);
    FbQc::Report report;
    if (!analyzer.run(&report))
        return fail(QStringLiteral("%1: %2").arg(fileName, analyzer.errorString()));
    const QString name = QFileInfo(fileName).fileName();
    if (shown == Map) {
        const SurveyMapData data = QcMapValues::survey(report);
        SurveyMap map;
        const QString counts = QcReportText::counted(data.shotCount(), "source", "sources") + QStringLiteral(", ") +
                               QcReportText::counted(data.receivers().size(), "receiver", "receivers");
        map.setTitle(name + QStringLiteral(": ") + counts);
        map.resize(pixels);
        map.setCoordinateUnit(unit);
        map.setSurvey(data);
        map.setValues(QcMapValues::values(report, QcMapValues::Quantity(quantity)));
        if (!writeImage(&map, outName, pixels, {fileName}))
            return Failed;
        out() << outName << ": " << counts << '\n';
        return Ok;
    }

    StationAxis axis = StationAxis::build(report);
    axis.setLengthUnit(unit);
    if (shown == Receivers) {
        StationResidualView receivers;
        receivers.resize(pixels);
        receivers.setAxis(axis);
        receivers.setThreshold(settings.outlierMs / 2);
        int beyond = 0;
        for (int k = 0; k < axis.receivers().size(); ++k)
            beyond += receivers.standsOut(k) ? 1 : 0;
        const QString counts =
            QcReportText::counted(axis.receivers().size(), "receiver", "receivers") +
            QStringLiteral(", %1 with a mean residual beyond %2 ms").arg(beyond).arg(settings.outlierMs / 2);
        receivers.setTitle(name + QStringLiteral(": ") + counts);
        if (!writeImage(&receivers, outName, pixels, {fileName}))
            return Failed;
        out() << outName << ": " << counts << '\n';
        return Ok;
    }

    StationShotView image;
    image.resize(pixels);
    image.setSurvey(axis, report.index());
    QString what;
    if (shown == Stations) {
        image.setDifferences(report);
        what = QcReportText::counted(report.pairs().size(), "compared pair", "compared pairs");
    } else {
        const StationShotCells cells =
            StationShotBuilder::build(fileName, report.index(), axis, settings, 0, report.index().size() - 1);
        image.setResidualCells(cells);
        image.setKind(StationShotView::Residuals);
        what = QcReportText::counted(cells.cells.size(), "judged pick", "judged picks");
    }
    what = QcReportText::counted(report.index().size(), "shot", "shots") + QStringLiteral(", ") + what;
    image.setTitle(name + QStringLiteral(": ") + what);
    if (!writeImage(&image, outName, pixels, {fileName}))
        return Failed;
    out() << outName << ": " << what << "\n";
    return Ok;
}

} // namespace FbTool
