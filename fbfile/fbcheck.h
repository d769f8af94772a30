#ifndef FBCHECK_H
#define FBCHECK_H

#include "fblayout.h"

#include <QString>
#include <QVector>

// Quality control of an FB file in one sequential pass with a bounded
// buffer: the things that make a pick file suspect although every reader
// still accepts it.
namespace FbCheck {

// A source attribute that is not constant within one shot.
struct SourceVariation
{
    qint64 row = 0;          // shot row in the index
    qint32 ffid = 0;
    qint64 firstRecord = 0;
    qint64 records = 0;      // records in the shot
    int column = 0;          // FbColumns::Column
    qint64 differing = 0;    // records whose value is not equal to the first record's
};

// An ffid whose records are not one run: it names more than one shot.
struct RepeatedFfid
{
    qint32 ffid = 0;
    QVector<qint64> rows;    // shot rows, in file order
};

// A float that is NaN or infinite.
struct NonFinite
{
    qint64 record = 0;
    qint32 ffid = 0;
    qint32 channel = 0;
    int column = 0;          // FbColumns::Column
    float value = 0.0f;
};

struct Report
{
    FbFileHeader header;
    qint64 fileSize = 0;
    qint64 recordCount = 0;
    qint64 shots = 0;
    QVector<SourceVariation> sourceVariations;
    QVector<RepeatedFfid> repeatedFfids;
    qint64 status0 = 0;
    qint64 status1 = 0;
    qint64 statusOther = 0;
    // Every non-finite value is counted; the first MaxListed are kept.
    QVector<NonFinite> nonFinite;
    qint64 nonFiniteCount = 0;

    static constexpr int MaxListed = 1000;

    bool countMatches() const { return header.fb_count == recordCount; }
    // Bytes after the last complete record: a partial record.
    qint64 trailingBytes() const;
    // Number of kinds of problem found (the pick-status counts are not one).
    int findings() const;
    bool clean() const { return findings() == 0; }
};

// Checks the file. False, with the reason in *error, when it cannot be
// opened.
bool checkFile(const QString &fileName, Report *report, QString *error);

// The report as text for a terminal, at most maxItems lines per list.
QString formatReport(const QString &fileName, const Report &report, int maxItems = 50);

} // namespace FbCheck

#endif // FBCHECK_H
