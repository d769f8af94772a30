#ifndef QCSUMMARY_H
#define QCSUMMARY_H

#include <QCoreApplication>
#include <QString>

struct QcData;

// The QC window's summary of a judged file, as its line under the panels
// shows it: the file, its shots and picks by status, the thresholds; then
// every kind found with its count and what the count means; then the
// shots in the most flagged pairs, as fbtool qc lists them.
class QcSummary
{
    Q_DECLARE_TR_FUNCTIONS(QcSummary)

public:
    static QString text(const QcData &data);
};

#endif // QCSUMMARY_H
