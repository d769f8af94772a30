#ifndef FBGENERATOR_H
#define FBGENERATOR_H

#include "fblayout.h"

#include <QString>
#include <QStringList>
#include <QVector>

// Synthetic FB files: one 2-D line with a rolling split spread, so that the
// files look like a real pick file (coordinates along a bearing, negative
// and positive offsets, end-on spreads at the line ends, a rolling
// topography, first breaks that grow with |offset| along a two-layer
// refraction curve, a mix of pick statuses) and can carry faults on demand.
namespace FbGenerator {

// A fault that touches one field of one shot. shot is 0-based; column is
// one of FbColumns::Column.
struct FieldFault
{
    int shot = 0;
    int column = 0;
};

// Shot row carries the ffid that shot source was given, so that ffid names
// two shots in the file.
struct FfidRepeat
{
    int source = 0;
    int shot = 0;
};

struct Options
{
    int shots = 10;
    int channels = 48;
    quint64 seed = 1;
    qint32 firstFfid = 1001;
    qint32 polarity = 1;
    int groupInterval = 25;  // metres between receiver stations
    int shotInterval = 2;    // receiver stations between neighbouring shots

    // From the middle record of the shot on, the source field moves (a
    // source attribute: s_elev, s_depth, source_x, source_y, s_line, s_stat).
    QVector<FieldFault> varyingSource;
    // The middle record of the shot holds NaN, or infinity, in the float
    // field (source_x, source_y, group_x, group_y, fb_time).
    QVector<FieldFault> nanValues;
    QVector<FieldFault> infValues;
    // Shots that carry another shot's ffid again; the two rows are at least
    // 2 apart, or they would make one longer run instead.
    QVector<FfidRepeat> repeatedFfid;
    // Bytes cut off the end once the file is written; fb_count still
    // declares the full count.
    qint64 truncateBytes = 0;
    // fb_count to write instead of the true record count.
    bool lieAboutCount = false;
    qint32 declaredCount = 0;
};

struct Result
{
    qint64 records = 0;      // complete records left in the file
    qint64 fileSize = 0;
    FbFileHeader header;     // as written
};

// Checks the options against each other: counts in range, fault rows and
// fields that exist. Empty when they are usable, else what is wrong.
QString validate(const Options &options);

// The records of one shot, in file order. Each shot depends on the seed and
// its row only, so any shot can be made without the ones before it.
QVector<FbRecord> shotRecords(const Options &options, int shot);

// Writes files in large blocks:
//   FbGenerator::FileWriter writer(options);
//   if (!writer.write(fileName, &result)) ... writer.errorString();
class FileWriter
{
public:
    explicit FileWriter(const Options &options);
    // False when the options are unusable or the file cannot be written;
    // errorString() says why.
    bool write(const QString &fileName, Result *result = nullptr);
    QString errorString() const { return m_error; }

private:
    Options m_options;
    QString m_error;
};

// The column of a field name ("s_elev", "group_x", ...), -1 if unknown.
int columnOf(const QString &fieldName);
// The names of the fields each kind of fault can touch, in column order.
QStringList varyingSourceFields();
QStringList nonFiniteFields();

} // namespace FbGenerator

#endif // FBGENERATOR_H
