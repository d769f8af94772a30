#ifndef FBQC_QCCSV_H
#define FBQC_QCCSV_H

#include <fbqc/pickqc.h>

#include <QString>
#include <QStringList>

namespace FbQc {

// Writes a report's findings as CSV tables, the ones that fbtool qc --csv
// and the QC window's export give (plain C-locale decimals, times in ms,
// 1-based shot and record numbers, an empty field where a value does not
// apply, '\n' line ends; the shots' velocities in m/s and intercepts in ms
// through Report::units, the offsets as stored): outliers.csv, reciprocity.csv (every compared
// pair), repeats.csv (every compared repeat), shots.csv and problems.csv
// (every other kind of finding), into a folder, which is made if needed.
//
// The rows are formatted as bytes into one buffer and written in blocks of
// about a megabyte, so a table of millions of shots costs about as much as
// writing its bytes; memory stays bounded whatever the report's size.
//
// write() is false, with the reason in errorString() (translated in the
// context "QcCsv"), when the folder cannot be made or a table cannot be
// opened or written. All or nothing: the tables are written under
// temporary names and renamed over the old ones only when every one is
// written, so a write that fails part-way (a full disk) leaves the folder
// as it was; only a table that is not a regular file (a device, a pipe),
// which can only be written in place, gets what was written of it. A table that would be, by any path or link, one of the
// protected files (the input) is refused before anything is written.
//
// Usage:
//   QcCsv::Tables tables;
//   if (!tables.write(folder, report)) ... tables.errorString();
namespace QcCsv {

class Tables
{
public:
    bool write(const QString &dirName, const FbQc::Report &report, const QStringList &protect = QStringList());
    QString errorString() const { return m_error; }

    // The names of the tables, as written into the folder.
    static QStringList fileNames();
    // What write() checks before its first row, to be asked before a long
    // pass: false, with errorString() set, when a table in dirName would be
    // one of protect, the folder cannot be made, an existing table cannot be
    // written or the folder takes no new file. Makes the folder; writes no
    // table.
    bool prepare(const QString &dirName, const QStringList &protect);

private:
    QString m_error;
};

// A plain decimal with at most `decimals` places and no trailing zeros
// (no point when nothing is left after it), "0" for any value that rounds
// to zero whatever its sign; empty for a value that is not finite.
QString decimal(double value, int decimals);

// The same text as decimal() for a float, written as bytes at out (not
// zero-terminated), for bulk output. A value halfway between two texts
// rounds away from zero ("0.063" for 0.0625 with 3 decimals), as decimal()
// does; a float of 2^56 or more is an integer and is written with all its
// digits. decimals must be in 0..9. Writes at most MaxDecimalBytes and
// returns the end of what it wrote (out itself for a value not finite).
//
//   char cell[QcCsv::MaxDecimalBytes];
//   const char *end = QcCsv::writeDecimal(residual, 3, cell);
constexpr int MaxDecimalBytes = 48; // the longest is -FLT_MAX with its 39 digits
char *writeDecimal(float value, int decimals, char *out);

} // namespace QcCsv

} // namespace FbQc

#endif // FBQC_QCCSV_H
