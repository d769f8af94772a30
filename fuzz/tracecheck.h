#ifndef TRACECHECK_H
#define TRACECHECK_H

#include <QString>

// Opens a file as a trace data set, alone and as the one file of a SEG-2
// folder, and reads every shot; checks what must hold for any bytes:
// - an open either fails with a message or gives traces, shots that cover
//   them in order without gap, a sample interval in (0, the maximum] and
//   samples per trace;
// - each shot either fails with a message or fills a gather of its traces,
//   every header carrying the shot's ffid and every sample a finite number.
// Returns an empty string when all holds, else what broke.
QString checkTraceFile(const QString &fileName);

#endif // TRACECHECK_H
