#include "plotcommands.h"

#include "commandline.h"

#include "fbcolumns.h"
#include "pickqc.h"
#include "shotindex.h"
#include "shotrecords.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QPainter>

#include <qwt_color_map.h>
#include <qwt_legend.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_layout.h>
#include <qwt_plot_renderer.h>
#include <qwt_plot_spectrocurve.h>
#include <qwt_scale_widget.h>
#include <qwt_symbol.h>

#include <cmath>

#include <unistd.h>

namespace FbTool {

namespace {

// The viewer's pick-status colours: 0 green, 1 magenta, any other red.
const QColor Status0Colour(0, 255, 0, 120);
const QColor Status1Colour(255, 0, 255, 120);
const QColor OtherStatusColour(255, 0, 0, 120);

// Image formats by file suffix; empty when the suffix is none of them.
QString formatOf(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    return suffix == QLatin1String("png") || suffix == QLatin1String("svg") || suffix == QLatin1String("pdf")
        ? suffix : QString();
}

bool parseSize(const QString &text, QSize *size)
{
    const QStringList parts = text.toLower().split(QLatin1Char('x'));
    qint64 w = 0, h = 0;
    if (parts.size() != 2 || !toInt(parts.at(0), 100, 10000, &w) || !toInt(parts.at(1), 100, 10000, &h))
        return false;
    *size = QSize(int(w), int(h));
    return true;
}

// A PNG gets exactly the asked pixels; SVG and PDF the same layout at 96 dpi.
bool render(QwtPlot &plot, const QString &fileName, const QSize &size, QString *error)
{
    QwtPlotRenderer renderer;
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardCanvasFrame);
    const QString format = formatOf(fileName);
    if (format == QLatin1String("png")) {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        renderer.render(&plot, &painter, QRectF(QPointF(0, 0), size));
        painter.end();
        if (!image.save(fileName, "PNG")) {
            *error = QStringLiteral("cannot write %1").arg(fileName);
            return false;
        }
        return true;
    }
    // The renderer does not report a failed write: look at the file instead.
    QFile::remove(fileName);
    constexpr double Dpi = 96.0;
    renderer.renderDocument(&plot, fileName, format, QSizeF(size) * 25.4 / Dpi, int(Dpi));
    if (QFileInfo(fileName).size() <= 0) {
        *error = QStringLiteral("cannot write %1").arg(fileName);
        return false;
    }
    return true;
}

QwtPlotCurve *addPoints(QwtPlot &plot, const QString &title, const QVector<QPointF> &points, QwtSymbol *symbol)
{
    auto *curve = new QwtPlotCurve(title);
    curve->setStyle(QwtPlotCurve::NoCurve);
    curve->setSymbol(symbol);
    curve->setSamples(points);
    curve->setLegendAttribute(QwtPlotCurve::LegendShowSymbol);
    curve->attach(&plot);
    return curve;
}

QwtSymbol *statusSymbol(const QColor &colour)
{
    QColor edge = colour;
    edge.setAlpha(255);
    return new QwtSymbol(QwtSymbol::Ellipse, QBrush(colour), QPen(edge.darker(130), 1), QSize(8, 8));
}

void setUpPlot(QwtPlot &plot, const QString &title, const QSize &size)
{
    plot.setTitle(title);
    plot.setCanvasBackground(Qt::white);
    plot.setAutoFillBackground(true);
    plot.setPalette(QPalette(Qt::white));
    auto *grid = new QwtPlotGrid;
    grid->setPen(QColor(220, 220, 220), 0, Qt::DotLine);
    grid->attach(&plot);
    plot.resize(size);
}

} // namespace

QCoreApplication *createApplication(int &argc, char **argv)
{
    const QByteArray command = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (command != "plot" && command != "map")
        return new QCoreApplication(argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a session's runtime folder Qt warns on stderr, which would
    // break the one-line error convention; a private one in the temp folder
    // is what it would fall back to anyway.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QDir::tempPath() + QStringLiteral("/runtime-fbtool-") + QString::number(getuid());
        if (QDir().mkpath(runtime) && QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner
                                                                         | QFile::ExeOwner))
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }
    return new QApplication(argc, argv);
}

int runPlot(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("plot"),
                      QStringLiteral("Draws one shot's picks against signed offset: each pick in its status colour "
                                     "(0 green, 1 magenta, other red), the fitted first-break curve of each side "
                                     "as a line, outliers ringed. OUT ends in .png, .svg or .pdf.\n")
                          + QLatin1String(Numbering));
    const QCommandLineOption shot(QStringLiteral("shot"), QStringLiteral("The shot at position N (from 1)."),
                                  QStringLiteral("N"));
    const QCommandLineOption ffid(QStringLiteral("ffid"), QStringLiteral("The first shot with this ffid."),
                                  QStringLiteral("F"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The image to write."), QStringLiteral("OUT"));
    const QCommandLineOption reduce(QStringLiteral("reduce"),
                                    QStringLiteral("Plot reduced time t - |offset|/V, V in offset units per "
                                                   "second."), QStringLiteral("V"));
    const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("Image size in pixels (default 1200x800)."),
                                  QStringLiteral("WxH"), QStringLiteral("1200x800"));
    const QCommandLineOption outlierMs(QStringLiteral("outlier-ms"),
                                       QStringLiteral("Outlier threshold in ms, as for qc (default 8)."),
                                       QStringLiteral("T"), QStringLiteral("8"));
    cmd.parser.addOptions({shot, ffid, output, reduce, size, outlierMs});
    IndexedFile file;
    if (!file.parse(cmd, args))
        return Failed;
    const QString &fileName = file.name;
    const QCommandLineParser &p = cmd.parser;
    if (p.isSet(shot) == p.isSet(ffid))
        return fail(QStringLiteral("plot needs exactly one of --shot and --ffid"));
    const QString outName = p.value(output);
    if (formatOf(outName).isEmpty())
        return fail(QStringLiteral("-o: '%1' does not end in .png, .svg or .pdf").arg(outName));
    QSize pixels;
    if (!parseSize(p.value(size), &pixels))
        return fail(QStringLiteral("--size: '%1' is not WxH in 100..10000").arg(p.value(size)));
    double velocity = 0.0;
    if (p.isSet(reduce) && (!toDouble(p.value(reduce), &velocity) || velocity <= 0))
        return fail(QStringLiteral("--reduce: '%1' is not a positive velocity").arg(p.value(reduce)));
    PickQc::Settings settings;
    if (!toDouble(p.value(outlierMs), &settings.outlierMs) || settings.outlierMs < 0)
        return fail(QStringLiteral("--outlier-ms: '%1' is not a time in ms").arg(p.value(outlierMs)));

    if (!file.open())
        return Failed;
    const QVector<ShotIndexEntry> &index = file.index;
    qint64 v = 0;
    int row = -1;
    if (p.isSet(shot)) {
        if (!toInt(p.value(shot), 1, index.size(), &v))
            return fail(QStringLiteral("--shot: '%1' is not a shot in 1..%2").arg(p.value(shot)).arg(index.size()));
        row = int(v - 1);
    } else {
        if (!toInt(p.value(ffid), std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), &v))
            return fail(QStringLiteral("--ffid: '%1' is not a number").arg(p.value(ffid)));
        for (int k = 0; k < index.size() && row < 0; ++k)
            row = index.at(k).ffid == v ? k : -1;
        if (row < 0)
            return fail(QStringLiteral("%1: no shot with ffid %2").arg(fileName).arg(v));
    }
    const ShotIndexEntry &entry = index.at(row);
    const QVector<FbRecord> records = readShotRecords(fileName, entry.firstRecord, entry.lastRecord);
    if (records.size() != qint64(entry.lastRecord) - entry.firstRecord + 1)
        return fail(QStringLiteral("shot %1 has too many records to draw").arg(row + 1));
    const PickQc::ShotFit fit = PickQc::fitShot(records, settings);

    // Reduced time takes |x|/V off, V per second and times in ms.
    const auto y = [velocity](double x, double t) { return velocity > 0 ? t - std::abs(x) * 1000.0 / velocity : t; };
    QVector<QPointF> byStatus[3], ringed;
    for (int k = 0; k < records.size(); ++k) {
        const FbRecord &r = records.at(k);
        if (!std::isfinite(r.fb_time))
            continue;
        const PickQc::PickVerdict &verdict = fit.picks.at(k);
        const double x = (verdict.side == PickQc::Negative ? -1.0 : 1.0) * std::abs(double(r.offset));
        const QPointF point(x, y(x, r.fb_time));
        byStatus[int(FbColumns::pickClass(r.fb_status))].append(point);
        if (verdict.outlier)
            ringed.append(point);
    }

    QwtPlot plot;
    const QString counts = QStringLiteral("%1 %2, %3 %4")
                               .arg(records.size()).arg(QLatin1String(records.size() == 1 ? "pick" : "picks"))
                               .arg(fit.outliers()).arg(QLatin1String(fit.outliers() == 1 ? "outlier" : "outliers"));
    setUpPlot(plot, QStringLiteral("Shot %1 > %2: ffid %2, %3").arg(row + 1).arg(entry.ffid).arg(counts), pixels);
    plot.setAxisTitle(QwtPlot::xBottom, QStringLiteral("Offset (m), negative side to the left"));
    plot.setAxisTitle(QwtPlot::yLeft, velocity > 0
                          ? QStringLiteral("Reduced time t - |x|/%1 m/s (ms)").arg(velocity)
                          : QStringLiteral("Pick time (ms)"));
    plot.insertLegend(new QwtLegend, QwtPlot::BottomLegend);

    for (int side : {PickQc::Negative, PickQc::Positive}) {
        const PickQc::SideModel &model = fit.sides[side];
        if (!model.judged)
            continue;
        QVector<QPointF> line;
        for (int k = 0; k <= model.segments; ++k) {
            const double x = (side == PickQc::Negative ? -1.0 : 1.0) * model.knotOffset[k];
            line.append(QPointF(x, y(x, model.knotTime[k])));
        }
        auto *curve = new QwtPlotCurve(side == PickQc::Negative ? QStringLiteral("fitted curve")
                                                                : QStringLiteral("fitted curve, positive side"));
        curve->setPen(QColor(0, 0, 200), 2);
        curve->setSamples(line);
        curve->setRenderHint(QwtPlotItem::RenderAntialiased);
        curve->setLegendAttribute(QwtPlotCurve::LegendShowLine);
        curve->setItemAttribute(QwtPlotItem::Legend, side == PickQc::Negative || !fit.sides[0].judged);
        curve->attach(&plot);
    }
    addPoints(plot, QStringLiteral("status 1"), byStatus[int(FbColumns::PickClass::Status1)],
              statusSymbol(Status1Colour));
    addPoints(plot, QStringLiteral("status 0"), byStatus[int(FbColumns::PickClass::Status0)],
              statusSymbol(Status0Colour));
    addPoints(plot, QStringLiteral("other status"), byStatus[int(FbColumns::PickClass::Other)],
              statusSymbol(OtherStatusColour));
    addPoints(plot, QStringLiteral("outlier (> %1 ms)").arg(settings.outlierMs), ringed,
              new QwtSymbol(QwtSymbol::Ellipse, Qt::NoBrush, QPen(Qt::black, 2), QSize(18, 18)));
    plot.replot();

    QString error;
    if (!render(plot, outName, pixels, &error))
        return fail(error);
    out() << outName << ": shot " << (row + 1) << " > " << entry.ffid << ", " << counts << '\n';
    return Ok;
}

int runMap(const QStringList &args)
{
    CommandParser cmd(QStringLiteral("map"),
                      QStringLiteral("Draws sources and receivers in map view at equal axis scale, each source "
                                     "coloured by a per-shot QC value with a colour bar. OUT ends in .png, .svg "
                                     "or .pdf."));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The image to write."), QStringLiteral("OUT"));
    const QCommandLineOption colour(QStringLiteral("color"),
                                    QStringLiteral("What colours the sources: outliers (per shot, the default), "
                                                   "rms (residual of the fit, ms) or picks (per shot)."),
                                    QStringLiteral("VALUE"), QStringLiteral("outliers"));
    const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("Image size in pixels (default 1200x800)."),
                                  QStringLiteral("WxH"), QStringLiteral("1200x800"));
    cmd.parser.addOptions({output, colour, size});
    const QString fileName = cmd.parse(args);
    if (fileName.isEmpty())
        return Failed;
    const QCommandLineParser &p = cmd.parser;
    const QString outName = p.value(output);
    if (formatOf(outName).isEmpty())
        return fail(QStringLiteral("-o: '%1' does not end in .png, .svg or .pdf").arg(outName));
    QSize pixels;
    if (!parseSize(p.value(size), &pixels))
        return fail(QStringLiteral("--size: '%1' is not WxH in 100..10000").arg(p.value(size)));
    enum { Outliers, Rms, Picks } by;
    const QString colourBy = p.value(colour);
    if (colourBy == QLatin1String("outliers"))
        by = Outliers;
    else if (colourBy == QLatin1String("rms"))
        by = Rms;
    else if (colourBy == QLatin1String("picks"))
        by = Picks;
    else
        return fail(QStringLiteral("--color: '%1' is not outliers, rms or picks").arg(colourBy));

    PickQc::Analyzer analyzer(fileName);
    PickQc::Report report;
    if (!analyzer.run(&report))
        return fail(QStringLiteral("%1: %2").arg(fileName, analyzer.errorString()));

    // Receivers: every distinct position, found in a second pass of bounded
    // chunks; positions closer than 0.5 m count as one.
    QHash<QPair<qint64, qint64>, QPointF> receivers;
    constexpr qint32 ChunkRecords = 1 << 14;
    for (qint64 first = 0; first < report.recordCount; first += ChunkRecords) {
        const qint64 last = qMin(report.recordCount, first + ChunkRecords) - 1;
        for (const FbRecord &r : readShotRecords(fileName, qint32(first), qint32(last))) {
            if (std::isfinite(r.group_x) && std::isfinite(r.group_y))
                receivers.insert({std::llround(r.group_x * 2.0), std::llround(r.group_y * 2.0)},
                                 QPointF(r.group_x, r.group_y));
        }
    }

    QVector<QwtPoint3D> sources;
    QVector<QPointF> unfitted;
    // Extent of everything drawn; QRectF cannot grow from a point.
    double left = qInf(), right = -qInf(), bottom = qInf(), top = -qInf();
    const auto include = [&](const QPointF &point) {
        left = qMin(left, point.x());
        right = qMax(right, point.x());
        bottom = qMin(bottom, point.y());
        top = qMax(top, point.y());
    };
    for (const QPointF &point : receivers)
        include(point);
    double high = 0.0;
    for (int k = 0; k < report.shots.size(); ++k) {
        const PickQc::ShotSummary s = report.shots.at(k);
        if (!std::isfinite(s.sourceX) || !std::isfinite(s.sourceY))
            continue;
        const QPointF point(s.sourceX, s.sourceY);
        include(point);
        const double value = by == Outliers ? s.outliers : by == Picks ? s.picks : s.rmsResidual;
        if (!std::isfinite(value)) {
            unfitted.append(point);
            continue;
        }
        sources.append(QwtPoint3D(point.x(), point.y(), value));
        high = qMax(high, value);
    }
    const QwtInterval range(0.0, high > 0 ? high : 1.0);

    const char *const valueTitles[] = {"Outliers per shot", "RMS residual (ms)", "Picks per shot"};
    QwtPlot plot;
    setUpPlot(plot, QStringLiteral("%1: %2 sources, %3 receivers, sources coloured by %4")
                        .arg(QFileInfo(fileName).fileName()).arg(report.shots.size()).arg(receivers.size())
                        .arg(QString::fromLatin1(valueTitles[by]).toLower()), pixels);
    plot.setAxisTitle(QwtPlot::xBottom, QStringLiteral("Easting, x (m)"));
    plot.setAxisTitle(QwtPlot::yLeft, QStringLiteral("Northing, y (m)"));
    plot.insertLegend(new QwtLegend, QwtPlot::BottomLegend);

    auto colourMap = [] {
        auto *map = new QwtLinearColorMap(QColor(40, 60, 200), QColor(220, 0, 0));
        map->addColorStop(0.33, QColor(0, 190, 190));
        map->addColorStop(0.66, QColor(240, 200, 0));
        return map;
    };
    QwtScaleWidget *bar = plot.axisWidget(QwtPlot::yRight);
    bar->setTitle(QString::fromLatin1(valueTitles[by]));
    bar->setColorBarEnabled(true);
    bar->setColorBarWidth(18);
    bar->setColorMap(range, colourMap());
    plot.enableAxis(QwtPlot::yRight);
    plot.setAxisScale(QwtPlot::yRight, range.minValue(), range.maxValue());

    addPoints(plot, QStringLiteral("receiver"), receivers.values().toVector(),
              new QwtSymbol(QwtSymbol::Rect, QBrush(QColor(150, 150, 150)), Qt::NoPen, QSize(3, 3)));
    auto *sourceCurve = new QwtPlotSpectroCurve(QStringLiteral("source"));
    sourceCurve->setColorMap(colourMap());
    sourceCurve->setColorRange(range);
    sourceCurve->setPenWidth(5);
    sourceCurve->setSamples(sources);
    sourceCurve->attach(&plot);
    if (!unfitted.isEmpty())
        addPoints(plot, QStringLiteral("source without a fit"), unfitted,
                  new QwtSymbol(QwtSymbol::XCross, Qt::NoBrush, QPen(Qt::black, 1), QSize(7, 7)));

    // Equal scale: the same metres per pixel on both axes. The canvas size
    // depends on the tick labels, which depend on the scales: settle twice.
    if (left > right)
        left = bottom = 0.0, right = top = 1.0;
    const QPointF centre((left + right) / 2, (bottom + top) / 2);
    const double spanX = qMax(right - left, 1.0) * 1.1, spanY = qMax(top - bottom, 1.0) * 1.1;
    for (int pass = 0; pass < 2; ++pass) {
        plot.updateLayout();
        const QSizeF canvas = plot.plotLayout()->canvasRect().size();
        const double perPixel = qMax(spanX / qMax(canvas.width(), 1.0), spanY / qMax(canvas.height(), 1.0));
        const double halfX = perPixel * canvas.width() / 2, halfY = perPixel * canvas.height() / 2;
        plot.setAxisScale(QwtPlot::xBottom, centre.x() - halfX, centre.x() + halfX);
        plot.setAxisScale(QwtPlot::yLeft, centre.y() - halfY, centre.y() + halfY);
    }
    plot.replot();

    QString error;
    if (!render(plot, outName, pixels, &error))
        return fail(error);
    out() << outName << ": " << report.shots.size() << " sources, " << receivers.size() << " receivers\n";
    return Ok;
}

} // namespace FbTool
