#ifndef QCCSV_H
#define QCCSV_H

#include "pickqc.h"

#include <QString>

// Writes a report's findings as three CSV tables, the ones that fbtool qc
// --csv and the QC window's export give (plain C-locale decimals, times in ms,
// 1-based shot and record numbers, an empty field where a side has no fit):
// outliers.csv, reciprocity.csv (every compared pair) and shots.csv, into
// folder dirName, which is made if needed. False, with the reason in *error,
// when a file cannot be written.
namespace QcCsv {

bool writeTables(const QString &dirName, const PickQc::Report &report, QString *error);

// A plain decimal with at most `decimals` places and no trailing zeros;
// empty for a value that is not finite.
QString decimal(double value, int decimals);

} // namespace QcCsv

#endif // QCCSV_H
