#ifndef FBTOOL_PLOTCOMMANDS_H
#define FBTOOL_PLOTCOMMANDS_H

// fbtool plot and map: pick QC drawn into PNG, SVG or PDF files.

#include <QStringList>

class QCoreApplication;

namespace FbTool {

// The application object for the command in argv[1]: a GUI application for
// plot and map, which draw (on the offscreen platform when no display is
// set, so that they work headless), a core application for every other.
QCoreApplication *createApplication(int &argc, char **argv);

// "fbtool plot FILE (--shot N | --ffid F) -o OUT [--reduce V] [--size WxH]":
// one shot's picks against signed offset in the viewer's status colours,
// the fitted curve of each side, outliers ringed.
int runPlot(const QStringList &args);

// "fbtool map FILE -o OUT [--color outliers|rms|picks]": sources and
// receivers at equal axis scale, sources coloured by a per-shot QC value.
int runMap(const QStringList &args);

} // namespace FbTool

#endif // FBTOOL_PLOTCOMMANDS_H
