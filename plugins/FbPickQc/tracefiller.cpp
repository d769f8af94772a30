#include "tracefiller.h"

#include "editsession.h"
#include <fbfile/fbpicks.h>
#include <fbqc/latestjob.h>
#include <fbfile/shotrecords.h>
#include <fbtrace/tracedataset.h>
#include <fbqc/workerpool.h>

#include <QAction>
#include <QProgressBar>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;
using namespace FbView;

namespace {

// Shots filled per thread between two looks at Cancel and progress.
constexpr int ShotsPerThread = 4;

int plural(qint64 n)
{
    return int(std::min<qint64>(n, std::numeric_limits<int>::max()));
}

} // namespace

void TraceFill::addShot(const QVector<FbRecord> &records, qint32 firstRecord, const ShotGather &gather,
                        const QVector<int> &rowTrace, double metresPerOffset, const FbQc::OnsetPickerSettings &settings)
{
    QVector<int> rows;
    for (int i = 0; i < records.size(); ++i) {
        if (!FbPicks::isUnpicked(records.at(i)))
            continue;
        ++unpicked;
        const int trace = rowTrace.value(i, -1);
        if (trace < 0 || trace >= gather.traceCount())
            ++withoutTrace;
        else
            rows.append(i);
    }
    // The picker reads the whole shot only when there is something to fill.
    if (rows.isEmpty())
        return;
    // The samples stay shared; only the headers are copied.
    ShotGather placed = gather;
    for (int i = 0; i < records.size(); ++i) {
        const int trace = rowTrace.value(i, -1);
        if (trace >= 0 && trace < placed.traceCount())
            takeRecordOffset(&placed.headers[trace], records.at(i), metresPerOffset);
    }
    const QVector<FbQc::OnsetPick> picks = FbQc::pickGather(placed, {}, settings);
    for (int i : rows) {
        const FbQc::OnsetPick &p = picks.at(rowTrace.at(i));
        if (p.found && p.confidence >= settings.minimumConfidence && std::isfinite(p.timeMs) && p.timeMs > 0)
            times.append({firstRecord + i, float(p.timeMs)});
        else
            ++doubtful;
    }
}

void TraceFill::add(const TraceFill &other)
{
    times += other.times;
    unpicked += other.unpicked;
    doubtful += other.doubtful;
    withoutTrace += other.withoutTrace;
}

TraceFiller::TraceFiller(QcDocument *document, QWidget *view, QObject *parent) : QObject(parent), m_document(document)
{
    m_pickShot = new QAction(tr("Pick This Shot"), this);
    m_pickShot->setObjectName(QStringLiteral("tracePickShot"));
    m_pickShot->setToolTip(tr("Pick the traces of this shot that have no pick, from their onsets"));
    m_pickFile = new QAction(tr("Pick the File"), this);
    m_pickFile->setObjectName(QStringLiteral("tracePickFile"));
    m_pickFile->setToolTip(tr("Pick every trace of the file that has no pick, from its onset"));
    view->addAction(m_pickShot);
    view->addAction(m_pickFile);
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(m_pickShot, &QAction::triggered, this, &TraceFiller::pickShot);
    connect(m_pickFile, &QAction::triggered, this, &TraceFiller::pickFile);

    m_progressRow = new ProgressRow(QStringLiteral("tracePick"));
    m_progressRow->bar()->setFormat(tr("Picking the file: %p%"));
    connect(m_progressRow, &ProgressRow::cancelClicked, this, &TraceFiller::cancel);

    m_job = new LatestJob(LatestJob::Serial, this);
    connect(m_job, &LatestJob::progressChanged, m_progressRow->bar(), &QProgressBar::setValue);
    connect(document, &QcDocument::fileShown, this, [this] {
        cancel();
        updateActions();
    });
    connect(document, &QcDocument::stateChanged, this, &TraceFiller::updateActions);
    updateActions();
}

TraceFiller::~TraceFiller() = default;

void TraceFiller::setDataSet(std::shared_ptr<const TraceDataSet> data, const TraceMatchSettings &match)
{
    cancel();
    m_data = std::move(data);
    m_match = match;
    setShot(-1, ShotGather(), {});
}

void TraceFiller::setShot(int shot, const ShotGather &gather, const QVector<int> &rowTrace)
{
    m_shot = shot;
    m_gather = gather;
    m_rowTrace = rowTrace;
    updateActions();
}

bool TraceFiller::isPicking() const
{
    return m_job->isRunning();
}

void TraceFiller::cancel()
{
    const bool running = m_job->isRunning();
    m_job->cancel();
    m_progressRow->hide();
    if (running)
        emit message(tr("Picking the file was cancelled; no pick changed."), false);
    updateActions();
}

void TraceFiller::updateActions()
{
    const bool ready = m_data && m_document->session() && m_document->state() == QcDocument::Loaded && !isPicking();
    m_pickShot->setEnabled(ready && m_shot >= 0 && m_shot == m_document->shownShot());
    m_pickFile->setEnabled(ready);
}

void TraceFiller::pickShot()
{
    EditSession *session = m_document->session();
    if (!m_data || !session || m_shot < 0 || m_shot != m_document->shownShot())
        return;
    TraceFill fill;
    fill.addShot(session->records(m_shot), m_document->data()->report.index().at(m_shot).firstRecord, m_gather,
                 m_rowTrace, m_document->data()->report.units.metresPerOffset());
    const qint32 ffid = m_document->data()->report.index().at(m_shot).ffid;
    apply(fill, tr("Pick shot %1 (ffid %2) from its traces").arg(m_shot + 1).arg(ffid), tr("this shot"));
}

void TraceFiller::pickFile()
{
    const std::shared_ptr<const QcData> &data = m_document->data();
    if (!m_data || !data || !m_document->session() || isPicking())
        return;
    const std::shared_ptr<const TraceDataSet> traces = m_data;
    const QString fileName = data->fileName;
    const QVector<ShotIndexEntry> index = data->report.index();
    const PickEdits edits = m_document->session()->edits();
    const TraceMatchSettings match = m_match;
    const double metresPerOffset = data->report.units.metresPerOffset();
    const int threads =
        data->report.settings.threads > 0 ? data->report.settings.threads : std::max(1, QThread::idealThreadCount());
    m_progressRow->start();
    m_job->run<std::shared_ptr<TraceFill>>(
        [=](const LatestJob::Ticket &ticket) {
            auto total = std::make_shared<TraceFill>();
            const Progress progress = ticket.progress();
            const QVector<int> traceShots = traceShotsOf(*traces, fileName, index, match);
            WorkerPool pool(threads);
            const int batch = threads * ShotsPerThread;
            for (int first = 0; first < index.size(); first += batch) {
                const int count = std::min(batch, int(index.size()) - first);
                std::vector<TraceFill> fills(static_cast<size_t>(count));
                WorkerPool::Task task(size_t(count), [&](size_t k) {
                    if (progress.cancelled())
                        return;
                    const ShotIndexEntry &e = index.at(first + int(k));
                    QVector<FbRecord> records = readShotRecords(fileName, e.firstRecord, e.lastRecord);
                    FbQc::applyEdits(edits, &records, e.firstRecord);
                    if (!std::any_of(records.cbegin(), records.cend(), FbPicks::isUnpicked))
                        return;
                    const int shot = traceShots.value(first + int(k), -1);
                    ShotGather gather;
                    QString error;
                    if (shot < 0 || !traces->readShot(shot, &gather, &error)) {
                        fills[k].addShot(records, e.firstRecord, ShotGather(), {}, metresPerOffset);
                        return;
                    }
                    fills[k].addShot(records, e.firstRecord, gather, matchRecordsToGather(records, gather, match),
                                     metresPerOffset);
                });
                pool.post(&task);
                pool.wait(&task);
                if (!progress.report(first + count, index.size()))
                    return std::shared_ptr<TraceFill>();
                // In shot order, whichever thread filled which shot.
                for (const TraceFill &f : fills)
                    total->add(f);
            }
            return total;
        },
        [this](std::shared_ptr<TraceFill> fill) {
            m_progressRow->hide();
            updateActions();
            if (fill)
                apply(*fill, tr("Pick the file from its traces"), tr("the file"));
        });
    updateActions();
}

void TraceFiller::apply(const TraceFill &fill, const QString &step, const QString &where)
{
    EditSession *session = m_document->session();
    const int set = session && !fill.times.isEmpty()
                        ? session->setTimes(fill.times, step, QStringLiteral("picked from its trace's onset"))
                        : 0;
    QStringList left;
    if (fill.doubtful > 0)
        left << tr("%Ln trace(s) without a confident onset", nullptr, plural(fill.doubtful));
    if (fill.withoutTrace > 0)
        left << tr("%Ln pick(s) without a trace", nullptr, plural(fill.withoutTrace));
    QString text = fill.unpicked == 0 ? tr("Every trace of %1 has a pick.").arg(where)
                                      : tr("%Ln unpicked trace(s) of %1 picked", nullptr, set).arg(where);
    if (!left.isEmpty())
        text += tr("; left unpicked: %1").arg(left.join(QLatin1String(", ")));
    emit message(text + QLatin1Char('.'), false);
}
