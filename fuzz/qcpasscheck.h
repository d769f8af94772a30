#ifndef QCPASSCHECK_H
#define QCPASSCHECK_H

#include <QString>

// Runs the QC pass over an FB file, however damaged, the way fbtool qc and
// the QC window do, and checks what must hold for any file:
// - the pass's shot index is the index scanner's;
// - the pick-status counts add up to the records, and no count is negative;
// - the findings are the same whether recent shots are held (32 MiB) or
//   every partner is read again (0 bytes), and whether the pass runs on
//   one thread or on three;
// - every shot's outliers are those fitShot() finds in its records;
// - the check (no judging) finds the same varying sources, non-finite
//   values and repeated ffids;
// - the CSV tables and both text reports can be written.
// Returns an empty string when all holds, else what broke.
QString checkQcPass(const QString &fileName);

#endif // QCPASSCHECK_H
