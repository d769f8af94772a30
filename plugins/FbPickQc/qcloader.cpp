#include "qcloader.h"

#include <fbqc/latestjob.h>
#include <fbview/qcmapvalues.h>
#include <fbview/shotlistmodel.h>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

namespace {

// What a run hands the window: the data, or why there is none.
struct Outcome
{
    std::shared_ptr<const QcData> data;
    QString error;
};

// Hands a run's outcome to the window, on the UI thread.
void deliver(QcLoader *loader, Outcome outcome)
{
    if (outcome.data)
        emit loader->loaded(std::move(outcome.data));
    else
        emit loader->failed(outcome.error);
}

} // namespace

QcLoader::QcLoader(QObject *parent) : QObject(parent), m_job(new LatestJob(LatestJob::Concurrent, this))
{
    connect(m_job, &LatestJob::progressChanged, this, &QcLoader::progressChanged);
}

QcLoader::~QcLoader() = default;

void QcLoader::cancel()
{
    m_job->cancel();
}

bool QcLoader::isRunning() const
{
    return m_job->isRunning();
}

void QcLoader::start(const QString &fileName, const FbQc::Settings &settings)
{
    m_job->run<Outcome>(
        [fileName, settings](const LatestJob::Ticket &ticket) {
            const Progress progress = ticket.progress();
            Outcome outcome;
            auto data = std::make_shared<QcData>();
            data->fileName = fileName;
            // Before the pass reads it: a file replaced meanwhile has
            // another identity, and no copy is made from it.
            data->identity = FbFileIdentity::of(fileName);
            FbQc::Settings judged = settings;
            judged.collectReceivers = true;
            FbQc::Analyzer analyzer(fileName, judged);
            if (!analyzer.run(&data->report, progress)) {
                outcome.error = analyzer.errorString();
                return outcome;
            }
            data->problems = std::make_shared<const ProblemList>(ProblemList::fromReport(data->report, progress));
            if (ticket.cancelled())
                return outcome;
            data->map = QcMapValues::survey(data->report, progress);
            if (ticket.cancelled())
                return outcome;
            data->stations = StationAxis::build(data->report, progress);
            data->shotTextLength = ShotListModel::longestTextLength(data->report.index());
            progress.reportPercent(100);
            outcome.data = std::move(data);
            return outcome;
        },
        [this](Outcome outcome) { deliver(this, std::move(outcome)); });
}

bool QcLoader::copyForRejudging(const FbQc::Report &r, double, double, FbQc::Report *copy, QString *,
                                const Progress &progress)
{
    // Its lists are shared with the shown report until rejudge() makes
    // those of the new thresholds anew.
    *copy = r;
    return !progress.cancelled();
}

bool QcLoader::rejudge(const std::shared_ptr<const QcData> &data, double outlierMs, double reciprocityMs)
{
    if (!data || outlierMs < data->report.candidateFloorMs())
        return false;
    m_job->run<Outcome>(
        [data, outlierMs, reciprocityMs](const LatestJob::Ticket &ticket) {
            // No percent: judging again from what the pass kept is quick.
            const Progress progress = ticket.progress().silent();
            Outcome outcome;
            const FbQc::Report &from = data->report;
            auto fresh = std::make_shared<QcData>();
            fresh->fileName = data->fileName;
            fresh->identity = data->identity;
            fresh->map = data->map;
            fresh->stations = data->stations;
            fresh->shotTextLength = data->shotTextLength;
            FbQc::Report &to = fresh->report;
            if (!copyForRejudging(from, outlierMs, reciprocityMs, &to, &outcome.error, progress))
                return outcome;
            FbQc::rejudge(&to, outlierMs, reciprocityMs);
            fresh->problems = std::make_shared<const ProblemList>(ProblemList::fromReport(to, progress));
            outcome.data = std::move(fresh);
            return outcome;
        },
        [this](Outcome outcome) { deliver(this, std::move(outcome)); });
    return true;
}
