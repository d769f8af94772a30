#ifndef FBFILE_FBCSVEXPORT_H
#define FBFILE_FBCSVEXPORT_H

#include <fbfile/progress.h>

#include <QCoreApplication>
#include <QString>

namespace FbFile {

// Every record of an FB file as a CSV table, for spreadsheets and scripts:
// a title line "record," followed by the named fields in file order (the
// field table, fb_status included), then one row per record, the record
// numbered from 1, C-locale, integers in decimal and floats in the shortest
// text that reads back to the same bits (nan, inf, -inf), '\n' line ends.
// Rejected and unpicked picks are rows like any other: fb_status and
// fb_time say what they are. The header words and a partial last record
// are not part of the table.
//
// The file is read in blocks and the table written through FbOutputFile
// (nothing under the target's name on failure, never over the input);
// false with errorString() when the file cannot be read, was cut or
// rewritten while it was read, the table cannot be written or the
// progress was cancelled (checked every block).
//
// Usage:
//   FbCsvExport table;
//   if (!table.write(fbName, csvName, progress)) ... table.errorString();
class FbCsvExport
{
    Q_DECLARE_TR_FUNCTIONS(FbCsvExport)

public:
    bool write(const QString &fbName, const QString &csvName, const Progress &progress = Progress());
    qint64 records() const { return m_records; }
    QString errorString() const { return m_error; }
    bool wasCancelled() const { return m_cancelled; }

private:
    qint64 m_records = 0;
    QString m_error;
    bool m_cancelled = false;
};

} // namespace FbFile

#endif // FBFILE_FBCSVEXPORT_H
