#ifndef FBTOOL_TRACECOMMANDS_H
#define FBTOOL_TRACECOMMANDS_H

// fbtool traces: a shot's traces from a SEG-Y file or a folder of SEG-2
// files, drawn with its picks as the QC window's traces panel shows them.

#include <QStringList>

namespace FbTool {

// "fbtool traces FB --seismic DATA (--shot N | --ffid F) -o OUT
// [--display wiggle|area|density|density-rwb] [--agc MS] [--clip C]
// [--window T0:T1] [--reduce V] [--size WxH] [--first-sample MS]": the
// traces of the FB file's shot (found in DATA by its ffid) with the picks
// on them in their status colours, the fitted first-break curve and the
// outliers ringed, written as PNG, SVG or PDF without a display.
int runTraces(const QStringList &args);

} // namespace FbTool

#endif // FBTOOL_TRACECOMMANDS_H
