#ifndef FBTOOL_PLOTCOMMANDS_H
#define FBTOOL_PLOTCOMMANDS_H

// fbtool plot and map: the view library's shot plot, survey map and
// survey-wide views, drawn offscreen into PNG, SVG or PDF files.

#include <fbfile/shotindex.h>

#include <QStringList>
#include <QVector>

class QCommandLineOption;
class QCommandLineParser;
class QCoreApplication;
class QSize;
class QwtPlot;

namespace FbTool {

// What the commands that draw share: --size, the image options (-o and
// --size; false after reporting a usage error or an image that would
// replace one of the inputs), the shot of --shot or --ffid (its row in
// index, or -1 after reporting why not), and writing the widget at the
// image's size as the QC window's export does, never over an input (false
// after reporting why not).
QCommandLineOption sizeOption();
bool imageOptions(const QCommandLineParser &p, const QCommandLineOption &output, const QCommandLineOption &size,
                  const QStringList &inputs, QString *outName, QSize *pixels);
int chooseShot(const QCommandLineParser &p, const QCommandLineOption &shot, const QCommandLineOption &ffid,
               const QString &fileName, const QVector<FbFile::ShotIndexEntry> &index);
bool writeImage(QwtPlot *plot, const QString &outName, const QSize &pixels, const QStringList &inputs);

// The application object for the command in argv[1]: a GUI application for
// plot, map and traces, which draw (on the offscreen platform when no display is
// set, so that they work headless), a core application for every other.
QCoreApplication *createApplication(int &argc, char **argv);

// "fbtool plot FILE (--shot N | --ffid F) -o OUT [--reduce V] [--residuals]
// [--length-unit U] [--time-unit U] [--size WxH]": one shot as the QC window's shot plot
// draws it, written as an image the way the window exports it.
int runPlot(const QStringList &args);

// "fbtool map FILE -o OUT [--view map|receivers|stations|residuals]
// [--color outliers|rms|picks|pairs|timing] [--outlier-ms T]
// [--reciprocity-ms T] [--size WxH]": one of the QC window's survey-wide
// views of the file: the survey map, sources coloured by a per-shot QC
// value; each receiver's mean residual; or the stations-by-shots image of
// reciprocal differences or of residuals.
int runMap(const QStringList &args);

} // namespace FbTool

#endif // FBTOOL_PLOTCOMMANDS_H
