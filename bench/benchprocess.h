#ifndef BENCHPROCESS_H
#define BENCHPROCESS_H

#include "benchtiming.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <sys/resource.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

// What the benchmarks that time whole processes share: one run of a program
// measured from outside, as a user's shell would see it, and the median of
// a few such runs.
namespace BenchProcess {

struct Sample
{
    double seconds = -1.0; // wall time; negative when the process did not exit normally
    double cpu = 0.0;      // user + system seconds, less sensitive to a loaded machine
    qint64 peakKiB = 0;    // the child's peak resident memory
    int exitCode = -1;
};

// Runs program with args, stdout and stderr to /dev/null, and measures it.
inline Sample run(const QString &program, const QStringList &args)
{
    std::vector<QByteArray> words{program.toLocal8Bit()};
    for (const QString &a : args)
        words.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0) {
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Sample sample;
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return sample;
    const double elapsed = timer.nsecsElapsed() / 1e9;
    if (!WIFEXITED(status))
        return sample;
    sample.exitCode = WEXITSTATUS(status);
    sample.seconds = elapsed;
    sample.peakKiB = usage.ru_maxrss;
    sample.cpu =
        usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return sample;
}

using BenchTiming::median;

// What a whole-process benchmark is told on its command line.
struct Options
{
    int repetitions = 5;
    QString fbtool;   // the fbtool to run
    QString dirName;  // where its files are kept; made if needed
    QString baseline; // an earlier fbtool to measure beside it; empty for none
};

// Parses --repeat N, --dir DIR (dirHelp says what is kept there; without
// it, temporaryDir) and --fbtool PATH (default: the one beside the
// benchmark), and with withBaseline --baseline PATH (an earlier fbtool
// measured in the same run). Exits, as QCommandLineParser does, on --help
// or a bad option, and with a message when the folder cannot be made.
inline Options parseOptions(const QCoreApplication &app, const QString &description, const QString &dirHelp,
                            const QString &temporaryDir, bool withBaseline = false)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    const QCommandLineOption repeat(QStringLiteral("repeat"), QStringLiteral("Runs of each (default 5)."),
                                    QStringLiteral("N"), QStringLiteral("5"));
    const QCommandLineOption dir(QStringLiteral("dir"), dirHelp, QStringLiteral("DIR"));
    const QCommandLineOption tool(QStringLiteral("fbtool"),
                                  QStringLiteral("The fbtool to run (default: the one beside this program)."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption baseline(QStringLiteral("baseline"),
                                      QStringLiteral("An earlier fbtool to measure in the same run, for a "
                                                     "before/after comparison."),
                                      QStringLiteral("PATH"));
    parser.addOptions({repeat, dir, tool});
    if (withBaseline)
        parser.addOption(baseline);
    parser.process(app);
    Options options;
    options.repetitions = qMax(1, parser.value(repeat).toInt());
    options.fbtool =
        parser.isSet(tool) ? parser.value(tool) : QCoreApplication::applicationDirPath() + QStringLiteral("/fbtool");
    options.dirName = parser.isSet(dir) ? parser.value(dir) : temporaryDir;
    if (withBaseline)
        options.baseline = parser.value(baseline);
    if (!QDir().mkpath(options.dirName))
        qFatal("no folder for the benchmark's files");
    return options;
}

} // namespace BenchProcess

#endif // BENCHPROCESS_H
