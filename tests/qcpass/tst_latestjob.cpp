#include <fbqc/latestjob.h>

#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace FbFile;
using namespace FbQc;

// The one background job: the latest request wins, results and progress
// reach the owner's thread only for that request, a serial job never piles
// up superseded work, and the owner's end waits for its workers or not, as
// asked.
namespace {

// A flag one thread waits on and another raises: plain atomics, which a
// thread checker sees through.
void waitFor(const std::atomic_bool &flag)
{
    while (!flag)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace

class TestLatestJob : public QObject
{
    Q_OBJECT

private slots:
    void latestRequestWins_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("cancelLast"); // cancel() after the last request
        QTest::addColumn<int>("delivered");   // the request whose result arrives; -1: none
        QTest::addColumn<int>("ran");         // requests whose work ran (-1: any number)
        QTest::addColumn<bool>("silent");     // the work reports through progress().silent()
        QTest::newRow("serial: the middle one never runs") << int(LatestJob::Serial) << false << 2 << 2 << false;
        QTest::newRow("concurrent: only the last delivers") << int(LatestJob::Concurrent) << false << 2 << -1 << false;
        QTest::newRow("serial, cancelled: nothing arrives") << int(LatestJob::Serial) << true << -1 << -1 << false;
        QTest::newRow("concurrent, cancelled") << int(LatestJob::Concurrent) << true << -1 << -1 << false;
        QTest::newRow("silent: no percent, superseded still heard")
            << int(LatestJob::Serial) << false << 2 << 2 << true;
    }

    void latestRequestWins()
    {
        QFETCH(int, mode);
        QFETCH(bool, cancelLast);
        QFETCH(int, delivered);
        QFETCH(int, ran);
        QFETCH(bool, silent);
        LatestJob job{LatestJob::Mode(mode)};
        std::atomic_bool gate{false}, started{false}, firstGoesOn{true};
        std::atomic_int runs{0};
        QVector<int> results, progress;
        connect(&job, &LatestJob::progressChanged, this, [&](int percent) { progress << percent; });
        for (int request = 0; request < 3; ++request) {
            job.run<int>(
                [&gate, &started, &runs, &firstGoesOn, silent, request](const LatestJob::Ticket &ticket) {
                    ++runs;
                    // The first holds its worker until the others are asked.
                    if (request == 0) {
                        started = true;
                        waitFor(gate);
                    }
                    const Progress progress = silent ? ticket.progress().silent() : ticket.progress();
                    const bool goOn = progress.report(request + 1, 3);
                    if (request == 0)
                        firstGoesOn = goOn;
                    return request;
                },
                [&results](int result) { results << result; });
            if (request == 0)
                waitFor(started);
        }
        if (cancelLast)
            job.cancel();
        gate = true;
        QTRY_VERIFY(!job.isRunning());
        // Anything late would have arrived by now.
        QTest::qWait(50);
        QCOMPARE(results, delivered < 0 ? QVector<int>() : QVector<int>{delivered});
        // Progress only of the request delivered: 100% of the third.
        QCOMPARE(progress, delivered < 0 || silent ? QVector<int>() : QVector<int>{100});
        // The first was superseded while it waited: its work is told to stop.
        QVERIFY(!firstGoesOn);
        if (ran >= 0)
            QCOMPARE(runs.load(), ran);
    }

    // Destroyed while its work runs: Wait returns once the work is over,
    // DontWait at once, the work ending later on its own; neither delivers.
    void endingWaitsAsAsked_data()
    {
        QTest::addColumn<int>("ending");
        QTest::newRow("wait") << int(LatestJob::Wait);
        QTest::newRow("don't wait") << int(LatestJob::DontWait);
    }

    void endingWaitsAsAsked()
    {
        QFETCH(int, ending);
        auto gate = std::make_shared<std::atomic_bool>(false);
        auto done = std::make_shared<std::atomic_bool>(false);
        auto started = std::make_shared<std::atomic_bool>(false);
        bool delivered = false;
        auto *job = new LatestJob(LatestJob::Serial, nullptr, LatestJob::Ending(ending));
        job->run<bool>(
            [gate, done, started](const LatestJob::Ticket &ticket) {
                *started = true;
                waitFor(*gate);
                done->store(true);
                return !ticket.cancelled();
            },
            [&delivered](bool) { delivered = true; });
        waitFor(*started);
        std::thread opener([gate] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            *gate = true;
        });
        delete job;
        QCOMPARE(done->load(), ending == LatestJob::Wait);
        opener.join();
        QTRY_VERIFY(done->load());
        QTest::qWait(20);
        QVERIFY(!delivered);
    }
};

QTEST_GUILESS_MAIN(TestLatestJob)
#include "tst_latestjob.moc"
