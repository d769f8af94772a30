#ifndef FBFILE_SHOTRECORDS_H
#define FBFILE_SHOTRECORDS_H

#include <fbfile/fblayout.h>

#include <QString>
#include <QVector>

namespace FbFile {

// Reads records firstRecord..lastRecord (inclusive) of an FB file with one
// seek and one read into a zero-filled buffer. Only a regular file is
// opened, without blocking: a FIFO or device put in the file's place reads
// as nothing. Records, or parts of them, that the file does not hold
// (it cannot be opened, or it is shorter than the index says) read as
// zeros; nothing is reported. A range with
// lastRecord < firstRecord gives no records and reads nothing, and so does a
// shot of more than maxShotRecords() records.
QVector<FbRecord> readShotRecords(const QString &fileName, qint32 firstRecord, qint32 lastRecord);

// The same from a file its caller opened once for many shots. A file that
// is not open reads as zeros.
class FbInputFile;
QVector<FbRecord> readShotRecords(FbInputFile *input, qint32 firstRecord, qint32 lastRecord);

// The most records one shot may have to be read into memory at all.
qint32 maxShotRecords();

} // namespace FbFile

#endif // FBFILE_SHOTRECORDS_H
