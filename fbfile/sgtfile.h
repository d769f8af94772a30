#ifndef FBFILE_SGTFILE_H
#define FBFILE_SGTFILE_H

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QVector>

namespace FbFile {

// A sensor of the unified data format: a position in metres. Columns a file
// does not name read as 0.
struct SgtSensor
{
    double x = 0.0;
    double y = 0.0;
    double z = 0.0; // elevation
};

// One traveltime: the sensors of the source and the receiver (0-based here,
// from 1 in the text) and the time in seconds.
struct SgtDatum
{
    qint32 s = 0;
    qint32 g = 0;
    double t = 0.0;
    int line = 0; // where read() found it
};
} // namespace FbFile

Q_DECLARE_TYPEINFO(FbFile::SgtSensor, Q_PRIMITIVE_TYPE);
Q_DECLARE_TYPEINFO(FbFile::SgtDatum, Q_PRIMITIVE_TYPE);

namespace FbFile {

// The unified data format (.sgt) of traveltime inversion: sensor positions,
// then traveltimes between pairs of them. The text:
//
//   <number of sensors>
//   # x z                  the token line: the sensor columns, of x, y, z
//   x1 z1
//   ...
//   <number of data>
//   # s g t                the data columns in any order; more (err, ...) may follow
//   <s> <g> <t>            s, g: sensor numbers from 1; t: seconds
//
// '#' starts a comment anywhere; blank lines are ignored. A '#' line right
// after a count is its token line when its words are column names (x, y, z
// for sensors; s, g, t and other names for data), else a comment. Without
// a token line the sensors are "x y" (two numbers a line) or "x y z"
// (three), and the data "s g t" followed by anything.
//
// read() fails, with errorString() naming the file and the line, on a count
// that is not a whole number, a line with the wrong number of values, a
// value that does not parse whole or is not finite, a sensor number
// outside 1..sensors, fewer lines than a count announced, or text after the
// last datum.
//
// write() and head() write the sensor columns as set (x, y and z, in that
// order), numbers in the shortest text that reads back to the same value
// (positions and times as float32, which is what an FB file holds).
//
// Usage:
//   SgtFile sgt;
//   if (!sgt.read(name)) ... sgt.errorString();
//   for (const SgtDatum &d : sgt.data()) use(sgt.sensors().at(d.s), sgt.sensors().at(d.g), d.t);
class SgtFile
{
    Q_DECLARE_TR_FUNCTIONS(SgtFile)

public:
    // The sensor columns that may be named.
    enum Column { X = 1, Y = 2, Z = 4 };

    bool read(const QString &fileName);
    // Writes the whole file through FbOutputFile; protect names files it
    // must not replace.
    bool write(const QString &fileName, const QStringList &protect = QStringList());
    QString errorString() const { return m_error; }

    // Which of X, Y and Z the file names (read) or writes (write).
    int columns() const { return m_columns; }
    void setColumns(int columns) { m_columns = columns; }
    const QVector<SgtSensor> &sensors() const { return m_sensors; }
    void setSensors(const QVector<SgtSensor> &sensors) { m_sensors = sensors; }
    const QVector<SgtDatum> &data() const { return m_data; }
    void setData(const QVector<SgtDatum> &data) { m_data = data; }

    // The text before the data lines: the sensor count, token line and
    // sensors, then the data count and the "# s g t" line; for a writer
    // that streams its data.
    static QByteArray head(int columns, const QVector<SgtSensor> &sensors, qint64 dataCount);
    // One data line at out ("s g t\n", s and g 0-based here); returns its
    // end. out must hold MaxDatumBytes.
    static constexpr int MaxDatumBytes = 64;
    static char *writeDatum(qint32 s, qint32 g, double t, char *out);

private:
    bool fail(int line, const QString &why);

    QString m_fileName;
    int m_columns = X | Y | Z;
    QVector<SgtSensor> m_sensors;
    QVector<SgtDatum> m_data;
    QString m_error;
};

} // namespace FbFile

#endif // FBFILE_SGTFILE_H
