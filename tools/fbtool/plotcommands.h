#ifndef FBTOOL_PLOTCOMMANDS_H
#define FBTOOL_PLOTCOMMANDS_H

// fbtool plot and map: the view library's shot plot, survey map and
// survey-wide views, drawn offscreen into PNG, SVG or PDF files.

#include <QStringList>

class QCoreApplication;

namespace FbTool {

// The application object for the command in argv[1]: a GUI application for
// plot and map, which draw (on the offscreen platform when no display is
// set, so that they work headless), a core application for every other.
QCoreApplication *createApplication(int &argc, char **argv);

// "fbtool plot FILE (--shot N | --ffid F) -o OUT [--reduce V] [--residuals]
// [--offset-unit U] [--size WxH]": one shot as the QC window's shot plot
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
