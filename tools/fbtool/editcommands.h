#ifndef FBTOOL_EDITCOMMANDS_H
#define FBTOOL_EDITCOMMANDS_H

// fbtool edit, export and import: changing picks and handing them on.

#include <QStringList>

namespace FbTool {

// "fbtool edit IN -o OUT [--edits CSV] [--shift FFID:MS]... [--reject-outliers
// [--outlier-ms T]] [--reject-status N] [--log CSV | --no-log] [--dry-run]".
// Exit 0 when written (or, with --dry-run, listed), 2 on any failure, with
// nothing written.
int runEdit(const QStringList &args);

// "fbtool export IN -o OUT [--format sgt|csv] [--merge-tolerance D]
// [--positions map|profile] [--length-unit U] [--time-unit U]".
int runExport(const QStringList &args);

// "fbtool import IN.sgt -o OUT [--length-unit U] [--time-unit U]".
int runImport(const QStringList &args);

} // namespace FbTool

#endif // FBTOOL_EDITCOMMANDS_H
