#ifndef FBCHECK_H
#define FBCHECK_H

#include "fblayout.h"

#include <QString>
#include <QVector>

class QTextStream;

// Quality control of an FB file in one sequential pass with a bounded
// buffer: the things that make a pick file suspect although every reader
// still accepts it, and the things that say it is no pick file at all.
//
// Usage:
//   FbCheck::FileCheck check(fileName);
//   check.setListLimit(-1);                 // keep every item, not the first 50
//   FbCheck::Report report;
//   if (!check.run(&report)) ... check.errorString();
//   FbCheck::writeReport(out, fileName, report);
//   return report.clean() ? 0 : 1;
//
// Shots and records are numbered from 0 here; the written report numbers
// them from 1, as the viewer does.
namespace FbCheck {

// A source attribute that is not constant within one shot.
struct SourceVariation
{
    qint64 shot = 0;         // index entry
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
    qint64 shotCount = 0;    // shots it names
    QVector<qint64> shots;   // index entries in file order, the first listLimit of them
};

// A float that is NaN or infinite.
struct NonFinite
{
    qint64 record = 0;
    qint32 fbNo = 0;
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
    // Index entries, counted as the shot index counts them: a file without
    // a complete record is one shot without records.
    qint64 shots = 0;
    // The range of the records' offsets; meaningful when recordCount > 0.
    qint32 minOffset = 0;
    qint32 maxOffset = 0;
    // Every item is counted; the first listLimit of each list are kept.
    QVector<SourceVariation> sourceVariations;
    qint64 sourceVariationCount = 0;
    QVector<RepeatedFfid> repeatedFfids;
    qint64 repeatedFfidCount = 0;
    QVector<NonFinite> nonFinite;
    qint64 nonFiniteCount = 0;
    qint64 status0 = 0;
    qint64 status1 = 0;
    qint64 statusOther = 0;

    bool countMatches() const { return header.fb_count == recordCount; }
    // Bytes after the last complete record: a partial record.
    qint64 trailingBytes() const;
    // The header's offset range runs backwards: it can describe no record.
    bool offsetRangeReversed() const { return header.min_offset > header.max_offset; }
    // Some record's offset lies outside the header's range.
    bool offsetsOutsideRange() const;
    // Number of kinds of problem found (the pick-status counts are not one).
    int findings() const;
    bool clean() const { return findings() == 0; }
};

class FileCheck
{
public:
    explicit FileCheck(const QString &fileName);

    // Items kept per list (and per repeated ffid's shots); negative keeps
    // every one. 50 unless set.
    void setListLimit(qint64 items);

    // Checks the file. False when it is not a regular file or cannot be
    // opened; errorString() says why.
    bool run(Report *report);
    QString errorString() const { return m_error; }

private:
    QString m_fileName;
    QString m_error;
    qint64 m_listLimit = 50;
};

// Writes the report for a terminal, one item per line, each list followed
// by how many more were found than it holds.
void writeReport(QTextStream &out, const QString &fileName, const Report &report);

} // namespace FbCheck

#endif // FBCHECK_H
