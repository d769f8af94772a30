#ifndef BENCHTIMING_H
#define BENCHTIMING_H

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <vector>

// What the benchmarks that time work inside their own process share: the
// median of a few runs, the time of one, and the longest wait the UI
// thread's event loop sees meanwhile.
namespace BenchTiming {

// The middle value (the mean of the two middle ones for an even count);
// 0 for none.
inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Milliseconds that f takes.
inline double timeMs(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

// The longest gap between ticks of a 10 ms timer while the event loop runs:
// how long a user would have waited for the window to answer.
//
//   UiProbe probe;
//   probe.start();
//   ... run the event loop while the work goes on ...
//   const double gapMs = probe.stop();
struct UiProbe
{
    double longestMs = 0.0;
    double longestAtMs = 0.0; // when the longest gap ended, from start()
    QElapsedTimer clock;
    QTimer timer;
    qint64 last = 0;

    UiProbe()
    {
        timer.setInterval(10);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
    }
    void tick()
    {
        const qint64 now = clock.nsecsElapsed();
        if ((now - last) / 1e6 > longestMs) {
            longestMs = (now - last) / 1e6;
            longestAtMs = now / 1e6;
        }
        last = now;
    }
    void start()
    {
        longestMs = 0.0;
        clock.start();
        last = 0;
        timer.start();
    }
    // Stops after one more turn of the event loop, whose wait counts too.
    double stop()
    {
        QEventLoop after;
        QTimer::singleShot(20, &after, &QEventLoop::quit);
        after.exec();
        tick();
        timer.stop();
        return longestMs;
    }
};

// Runs the event loop until signal fires (or timeoutMs passes); true when it fired.
template<typename Object, typename Signal>
bool waitFor(Object *object, Signal signal, int timeoutMs = 600000)
{
    QEventLoop loop;
    bool fired = false;
    const auto connection = QObject::connect(object, signal, &loop, [&] {
        fired = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    return fired;
}

} // namespace BenchTiming

#endif // BENCHTIMING_H
