#ifndef BENCHPROCESS_H
#define BENCHPROCESS_H

#include <QByteArray>
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
    double seconds = -1.0;   // wall time; negative when the process did not exit normally
    double cpu = 0.0;        // user + system seconds, less sensitive to a loaded machine
    qint64 peakKiB = 0;      // the child's peak resident memory
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
    sample.cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
               + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return sample;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

} // namespace BenchProcess

#endif // BENCHPROCESS_H
