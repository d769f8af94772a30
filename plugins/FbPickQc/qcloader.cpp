#include "qcloader.h"

#include "qcmapvalues.h"

#include <QThread>

struct QcLoader::Run
{
    QString fileName;
    PickQc::Settings settings;
    std::atomic_bool cancel{false};
};

QcLoader::QcLoader(QObject *parent)
    : QObject(parent)
{
}

QcLoader::~QcLoader()
{
    cancel();
    finishThread();
}

void QcLoader::start(const QString &fileName, const PickQc::Settings &settings)
{
    cancel();
    // A cancelled run notices within milliseconds, so this wait is short.
    finishThread();
    m_run = std::make_shared<Run>();
    m_run->fileName = fileName;
    m_run->settings = settings;
    m_running = true;
    const std::shared_ptr<Run> run = m_run;
    m_thread = QThread::create([run, this] { work(run, this); });
    m_thread->start();
}

void QcLoader::cancel()
{
    if (m_run)
        m_run->cancel = true;
    m_run.reset();
    m_running = false;
}

void QcLoader::finishThread()
{
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

// Runs on the worker thread. Results travel to the loader as queued calls
// that check the run is still the current one, so a cancelled run is
// silent; the loader outlives the thread (its destructor waits).
void QcLoader::work(const std::shared_ptr<Run> &run, QcLoader *loader)
{
    auto post = [run, loader](auto &&call) {
        QMetaObject::invokeMethod(loader, [run, loader, call] {
            if (loader->m_run == run)
                call();
        }, Qt::QueuedConnection);
    };

    int lastPercent = -1;
    auto report = [&](int percent) {
        if (percent == lastPercent)
            return;
        lastPercent = percent;
        post([loader, percent] { emit loader->progressChanged(percent); });
    };

    auto data = std::make_shared<QcData>();
    data->fileName = run->fileName;
    PickQc::Settings settings = run->settings;
    settings.collectReceivers = true;
    PickQc::Analyzer analyzer(run->fileName, settings);
    const bool ok = analyzer.run(&data->report, report, &run->cancel);
    if (run->cancel)
        return;
    if (!ok) {
        const QString message = analyzer.errorString();
        post([loader, message] { emit loader->failed(message); });
        return;
    }
    data->problems = ProblemList::fromReport(data->report);
    if (run->cancel)
        return;
    data->map = QcMapValues::survey(data->report, [&run] { return !run->cancel; });
    if (run->cancel)
        return;
    data->stations = StationAxis::build(data->report, [&run] { return !run->cancel; });
    if (run->cancel)
        return;
    report(100);
    std::shared_ptr<const QcData> result = data;
    post([loader, result] {
        loader->m_running = false;
        emit loader->loaded(result);
    });
}
