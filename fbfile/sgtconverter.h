#ifndef FBFILE_SGTCONVERTER_H
#define FBFILE_SGTCONVERTER_H

#include <fbfile/progress.h>
#include <fbfile/sgtfile.h>

#include <QCoreApplication>
#include <QString>
#include <QStringList>

namespace FbFile {

// Picks of an FB file to the unified data format (.sgt) that traveltime
// inversion reads, and back.
//
// Units: the unified data format holds metres and seconds; an FB file holds
// its coordinates, elevations and offsets in a length unit of its own and
// its times in a time unit of its own (Options; by default m and ms).
//
// Export (FB -> .sgt), three passes over the file in blocks:
// - picks in use only: a rejected status (other than 0 and 1), a time that
//   is not a positive finite number (an unpicked trace, FbPicks::isUnpicked,
//   or a zero-offset delay), and non-finite coordinates are left out, each
//   counted;
// - sensors are the sources (source_x, source_y, s_elev) and receivers
//   (group_x, group_y, g_elev) of the written picks, merged by horizontal
//   position: positions closer than the merge tolerance are one sensor,
//   which keeps the place of the first of them. By default the tolerance is
//   half the survey's smallest station spacing, so that no two stations of
//   the file become one however closely they stand, while a source at a
//   receiver's station is that receiver. A pick whose source and receiver
//   are one sensor holds no traveltime between two places and is left out
//   (counted). s_depth is not applied: sensors sit at the surface;
// - sensors are numbered sources first, in the order the shots of the file
//   use them, then the other positions as met: import makes the same shots
//   in the same order again;
// - sensor positions are "x y z", or with profile set "x z" where x is the
//   distance along the line (the map position projected on the line's
//   direction, lineDirection()) from the line's first sensor;
// - memory grows with the number of distinct positions, not with the picks.
//
// Import (.sgt -> FB): one shot per source sensor (ffid and s_stat its
// sensor number), in sensor order, its records in the order of the file's
// traveltimes (channel from 1, g_stat the receiver's sensor number, line
// numbers 1); offsets are the horizontal distance, signed by the direction
// along the line, and rounded to the FB length unit like the elevations (z,
// 0 when the file names none); coordinates are float32 in the FB length
// unit, times in the FB time unit, each the float that turns back into the
// same value, so that export after import writes the same numbers; every
// pick gets status 1 and fb_no its record number from 1; the header
// declares the record count, polarity 1 and the offset range of the
// records. A traveltime of 0 or less is kept as it is, which an FB file
// reads as unpicked. Memory holds the traveltimes (SgtFile) and one block
// of records, never the whole FB file. A sensor beyond what a float32
// coordinate holds in the FB unit is refused.
//
// Both write through FbOutputFile (nothing under the target's name on
// failure, never over the input) and fail with errorString() saying why:
// the input cannot be read (an .sgt's errors name the line), an offset or
// elevation does not fit the FB file's int32 words, a coordinate its float
// words, the file changed (was cut or rewritten) while it was read, the
// target cannot be written, or the progress was cancelled.
//
// Usage:
//   SgtConverter converter(options);
//   if (!converter.exportSgt(fbName, sgtName, progress)) ... converter.errorString();
//   converter.exportCounts().written ...
class SgtConverter
{
    Q_DECLARE_TR_FUNCTIONS(SgtConverter)

public:
    struct Options
    {
        double lengthUnit = 1.0;      // metres per FB length unit
        double timeUnit = 0.001;      // seconds per FB time unit
        double mergeTolerance = -1.0; // metres, export only; below 0: half the smallest station spacing
        bool profile = false;         // export "x z" along the line instead of "x y z"
    };

    struct ExportCounts
    {
        int sensors = 0;
        qint64 written = 0;
        qint64 rejected = 0;    // status other than 0 and 1
        qint64 noTime = 0;      // unpicked, or a time not above 0 or not finite
        qint64 badPosition = 0; // a coordinate not finite
        qint64 atSource = 0;    // source and receiver one sensor
    };

    // The FB units that can be named: a length unit in metres, a time unit
    // in seconds. False for a name that is not one.
    static bool lengthUnit(const QString &name, double *metres);
    static bool timeUnit(const QString &name, double *seconds);
    static QStringList lengthUnitNames();
    static QStringList timeUnitNames();

    // The unit direction (*dx, *dy) of the line the sensors lie along: their
    // principal axis, pointing towards growing x (growing y when the line
    // runs north-south); (1, 0) for fewer than two distinct positions.
    static void lineDirection(const QVector<SgtSensor> &sensors, double *dx, double *dy);

    SgtConverter();
    explicit SgtConverter(const Options &options);

    bool exportSgt(const QString &fbName, const QString &sgtName, const Progress &progress = Progress());
    const ExportCounts &exportCounts() const { return m_counts; }
    // The merge tolerance the last export used, in metres.
    double mergeToleranceUsed() const { return m_tolerance; }

    bool importSgt(const QString &sgtName, const QString &fbName);
    qint64 importedRecords() const { return m_importedRecords; }
    int importedShots() const { return m_importedShots; }

    QString errorString() const { return m_error; }
    bool wasCancelled() const { return m_cancelled; }

private:
    Options m_options;
    ExportCounts m_counts;
    double m_tolerance = 0;
    qint64 m_importedRecords = 0;
    int m_importedShots = 0;
    QString m_error;
    bool m_cancelled = false;
};

} // namespace FbFile

#endif // FBFILE_SGTCONVERTER_H
