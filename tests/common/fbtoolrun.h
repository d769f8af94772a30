#ifndef FBTOOLRUN_H
#define FBTOOLRUN_H

// fbtool run as a user runs it: the program named by the FBTOOL variable,
// waited for up to a minute (longer under sanitizers). A run that did not
// finish normally has exit code -1.

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace FbTest {

struct Run
{
    int exitCode = -1;
    QString out, err;
};

// Runs fbtool in the given process, so that a caller may set limits or
// redirect its output first.
inline Run fbtool(const QStringList &args, QProcess &process)
{
    process.start(qEnvironmentVariable("FBTOOL"), args);
    if (!process.waitForFinished(60000 * FBTEST_TIME_FACTOR) || process.exitStatus() != QProcess::NormalExit)
        return Run();
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

inline Run fbtool(const QStringList &args)
{
    QProcess process;
    return fbtool(args, process);
}

// A file's bytes, or none when it cannot be read.
inline QByteArray contents(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace FbTest

#endif // FBTOOLRUN_H
