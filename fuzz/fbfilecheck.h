#ifndef FBFILECHECK_H
#define FBFILECHECK_H

#include <QString>

// Runs everything the plug-in does with an FB file that needs no window:
// header, record count, shot index, and the records of every shot, and
// checks what must hold for any file, however damaged:
// - the index covers records 0..N-1 in order without gap or overlap,
//   first <= last in every entry, neighbouring ffids differ;
// - a file without a complete record gives the one entry {ffid, 0, -1};
// - every record read back for a shot carries that shot's ffid, and each
//   of its fields has a cell text;
// - the check counts the same records, shots and repeated ffids as the
//   index, never calls a file without records clean, and writes its report.
// Returns an empty string when all holds, else what broke.
QString checkFbFile(const QString &fileName);

#endif // FBFILECHECK_H
