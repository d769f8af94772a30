#ifndef FBQC_QCREPORTTEXT_H
#define FBQC_QCREPORTTEXT_H

#include <fbqc/pickqc.h>

#include <QString>

class QTextStream;

namespace FbQc {

// A QC report as text for a terminal, one item per line: what `fbtool
// check` and `fbtool qc` print. Both go through the kind table, so a new
// kind of finding is printed without a line here.
//
//   QcReportText::writeCheck(out, fileName, report, 50);   // check: the first 50 of each kind
//   QcReportText::writeQc(out, fileName, report, 10);      // qc: the 10 worst of each kind
//
// Shots and records are numbered from 1, as the viewer does.
namespace QcReportText {

// What the records hold: counts, the header against the file, and every
// kind of finding with its first `listed` items (negative lists all), each
// list followed by how many more it left out.
void writeCheck(QTextStream &out, const QString &fileName, const FbQc::Report &report, qint64 listed);

// The judged picks: thresholds, counts, shot timing errors first, then
// every kind with its `listed` worst items, the shots in the most flagged
// pairs and the shots with the highest rms residual.
void writeQc(QTextStream &out, const QString &fileName, const FbQc::Report &report, int listed);

// "1 shot", "2 shots": a count with its noun, singular for one.
QString counted(qint64 n, const char *singular, const char *plural);

} // namespace QcReportText

} // namespace FbQc

#endif // FBQC_QCREPORTTEXT_H
