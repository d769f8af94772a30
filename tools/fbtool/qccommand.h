#ifndef FBTOOL_QCCOMMAND_H
#define FBTOOL_QCCOMMAND_H

// fbtool qc: the pick QC pass over a whole file as a text report and CSV
// tables; and the generator options that plant what that pass must find.

#include <QCommandLineOption>
#include <QStringList>

class QCommandLineParser;
namespace FbFile::FbGenerator {
struct Options;
}

namespace FbTool {

// "fbtool qc FILE [--outlier-ms T] [--reciprocity-ms T] [--csv DIR]".
// Exit 0 when nothing is found, 1 when something is, 2 when the file cannot
// be read or a CSV table cannot be written.
int runQc(const QStringList &args);

// gen's --spike POS:CHANNEL:MS, --shift POS:MS and --skip-run
// POS:CHANNEL:COUNT:MS, shots by position from 1.
struct PickFaultOptions
{
    QCommandLineOption spike;
    QCommandLineOption shift;
    QCommandLineOption skipRun;

    // Adds both options to gen's parser.
    explicit PickFaultOptions(QCommandLineParser &parser);
    // Moves the parsed values into options; false with the reason in *error
    // for a value that is not of the option's form. Ranges are the
    // generator's to check.
    bool read(const QCommandLineParser &parser, FbFile::FbGenerator::Options *options, QString *error) const;
};

} // namespace FbTool

#endif // FBTOOL_QCCOMMAND_H
