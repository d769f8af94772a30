#ifndef FBTOOLRUN_H
#define FBTOOLRUN_H

// fbtool run as a user runs it: the program named by the FBTOOL variable,
// waited for up to a minute (longer under sanitizers). A run that did not
// finish normally has exit code -1.

#include "fbtestfile.h"

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <signal.h>
#include <sys/resource.h>

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

// Where a run may write: its standard output to stdoutFile (a full device,
// say) when given, and with fileBytes > 0 no file past that many bytes, as
// on a full disk.
struct Limits
{
    QString stdoutFile;
    qint64 fileBytes = 0;
};

class LimitedProcess : public QProcess
{
public:
    explicit LimitedProcess(const Limits &limits) : m_fileBytes(limits.fileBytes)
    {
        if (!limits.stdoutFile.isEmpty())
            setStandardOutputFile(limits.stdoutFile);
    }

protected:
    void setupChildProcess() override
    {
        if (m_fileBytes <= 0)
            return;
        ::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of killing
        const rlimit limit{rlim_t(m_fileBytes), rlim_t(m_fileBytes)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }

private:
    qint64 m_fileBytes;
};

inline Run fbtool(const QStringList &args, const Limits &limits)
{
    LimitedProcess process(limits);
    return fbtool(args, process);
}

// Whether fbtool refused as it always refuses: exit code 2, nothing on
// stdout, one line on stderr that starts "fbtool: " with a lower-case word
// or a path, and holds errorPart. Use as QVERIFY2(refused(run, part), qPrintable(run.err)).
inline bool refused(const Run &run, const QString &errorPart)
{
    static const QRegularExpression start(QStringLiteral("^fbtool: [a-z/-]"));
    return run.exitCode == 2 && run.out.isEmpty() && run.err.count(QLatin1Char('\n')) == 1 &&
           start.match(run.err).hasMatch() && run.err.contains(errorPart);
}

} // namespace FbTest

#endif // FBTOOLRUN_H
