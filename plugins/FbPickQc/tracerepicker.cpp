#include "tracerepicker.h"

#include "editsession.h"
#include <fbview/gatherpanel.h>
#include <fbview/gatherview.h>
#include <fbqc/latestjob.h>
#include "shotloader.h"
#include <fbtrace/tracedataset.h>
#include <fbtrace/tracematch.h>

#include <QAction>
#include <QMenu>
#include <QProgressBar>

#include <algorithm>

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;
using namespace FbView;

namespace {

// Why each word changed, as the corrected copy's log says it.
const char *const PickedReason = "picked on the traces in the QC window";
const char *const NudgedReason = "nudged on the traces in the QC window";
const char *const SuggestedReason = "suggested from the traces in the QC window";

// What a run over the file proposes, by file record.
struct FileSuggestions
{
    QVector<QPair<qint32, FbQc::Suggestion>> proposed;
    QString error;
};

} // namespace

TraceRepicker::TraceRepicker(QcDocument *document, GatherPanel *panel, QObject *parent)
    : QObject(parent), m_document(document), m_panel(panel)
{
    m_job = new LatestJob(LatestJob::Serial, this);

    m_forShot = new QAction(tr("Re-pick Outliers of This Shot from the Traces"), this);
    m_forShot->setObjectName(QStringLiteral("traceRepickShot"));
    m_forShot->setToolTip(tr("Propose new times, read from this shot's traces, for the picks the fit flags or "
                             "the waveforms disown"));
    m_forFile = new QAction(tr("Re-pick Outliers of the File from the Traces"), this);
    m_forFile->setObjectName(QStringLiteral("traceRepickFile"));
    m_forFile->setToolTip(tr("The same for every shot of the file that has traces"));
    m_accept = new QAction(tr("Accept Suggestions"), this);
    m_accept->setObjectName(QStringLiteral("traceAcceptSuggestions"));
    m_accept->setToolTip(tr("Set every proposed time, as one edit"));
    m_dismiss = new QAction(tr("Dismiss Suggestions"), this);
    m_dismiss->setObjectName(QStringLiteral("traceDismissSuggestions"));

    // In the Pick button's menu: picking by hand and by suggestion in one place.
    QMenu *menu = panel->pickMenu();
    menu->addSeparator();
    menu->addAction(m_forShot);
    menu->addAction(m_forFile);
    menu->addSeparator();
    menu->addAction(m_accept);
    menu->addAction(m_dismiss);

    m_progressRow = new ProgressRow(QStringLiteral("traceRepick"));
    connect(m_job, &LatestJob::progressChanged, m_progressRow->bar(), &QProgressBar::setValue);
    connect(m_progressRow, &ProgressRow::cancelClicked, this, [this] {
        m_job->cancel();
        m_progressRow->hide();
        updateActions();
        emit message(tr("Re-picking the file was cancelled."), false);
    });
    connect(m_forShot, &QAction::triggered, this, &TraceRepicker::suggestForShot);
    connect(m_forFile, &QAction::triggered, this, &TraceRepicker::suggestForFile);
    connect(m_accept, &QAction::triggered, this, &TraceRepicker::acceptSuggestions);
    connect(m_dismiss, &QAction::triggered, this, &TraceRepicker::dismissSuggestions);

    GatherView *v = view();
    connect(v, &GatherView::timesPicked, this,
            [this](const QVector<int> &rows, const QVector<double> &times, GatherView::Gesture gesture) {
                onTimesPicked(rows, times, int(gesture));
            });
    connect(v, &GatherView::rejectRequested, this, [this](int row) {
        if (shotShown() && m_document->session())
            m_document->session()->rejectPicks({recordOf(row)});
    });
    connect(v, &GatherView::restoreRequested, this, [this](int row) {
        if (shotShown() && m_document->session())
            m_document->session()->restorePicks({recordOf(row)});
    });
    connect(document, &QcDocument::fileShown, this, [this](const std::shared_ptr<const QcData> &, bool newFile) {
        if (newFile) {
            m_job->cancel();
            m_progressRow->hide();
            m_suggested.clear();
            showSuggestions();
        }
    });
    updateActions();
}

TraceRepicker::~TraceRepicker() = default;

GatherView *TraceRepicker::view() const
{
    return m_panel->view();
}

void TraceRepicker::setDataSet(std::shared_ptr<const TraceDataSet> data, const TraceMatchSettings &match)
{
    m_job->cancel();
    m_progressRow->hide();
    m_data = std::move(data);
    m_match = match;
    m_suggested.clear();
    clearShot();
}

void TraceRepicker::setShot(int shot, qint32 firstRecord)
{
    m_shot = shot;
    m_firstRecord = firstRecord;
    showSuggestions();
    updateActions();
}

void TraceRepicker::clearShot()
{
    m_shot = -1;
    m_firstRecord = -1;
    updateActions();
}

bool TraceRepicker::shotShown() const
{
    return m_shot >= 0 && m_shot == m_document->shownShot() && view()->gather().traceCount() > 0;
}

bool TraceRepicker::isSuggesting() const
{
    return m_job->isRunning();
}

void TraceRepicker::onTimesPicked(const QVector<int> &rows, const QVector<double> &timesMs, int gesture)
{
    EditSession *session = m_document->session();
    if (!shotShown() || !session || rows.isEmpty() || rows.size() != timesMs.size())
        return;
    QVector<QPair<qint32, float>> times;
    for (int i = 0; i < rows.size(); ++i)
        times.append({recordOf(rows.at(i)), float(timesMs.at(i))});
    const auto g = GatherView::Gesture(gesture);
    if (g == GatherView::Gesture::Drag) {
        session->setTimes(times, tr("Pick %n trace(s) along a line", "", times.size()), QLatin1String(PickedReason));
        return;
    }
    const FbRecord &r = view()->records().at(rows.first());
    const QString pick =
        tr("record %1 (ffid %2, channel %3)").arg(qint64(times.first().first) + 1).arg(r.ffid).arg(r.channel);
    const QString ms = QLocale().toString(double(times.first().second), 'f', 2);
    if (g == GatherView::Gesture::Nudge)
        session->setTimes(times, tr("Nudge %1 to %2 ms").arg(pick, ms), QLatin1String(NudgedReason));
    else
        session->setTimes(times, tr("Pick %1 on its trace: %2 ms").arg(pick, ms), QLatin1String(PickedReason));
}

void TraceRepicker::suggestForShot()
{
    if (!shotShown())
        return;
    GatherView *v = view();
    const QVector<FbRecord> &records = v->records();
    QVector<int> rowTrace(records.size());
    for (int row = 0; row < records.size(); ++row)
        rowTrace[row] = v->traceOfRow(row);
    const QVector<FbQc::Suggestion> found = FbQc::suggestRepicks(v->gather(), records, rowTrace, v->fit(), v->snap());
    for (int row = 0; row < records.size(); ++row)
        m_suggested.remove(recordOf(row));
    for (const FbQc::Suggestion &s : found)
        m_suggested.insert(recordOf(s.row), {s.oldMs, s.newMs});
    showSuggestions();
    said(found.size(), false);
}

void TraceRepicker::suggestForFile()
{
    const std::shared_ptr<const QcData> data = m_document->data();
    if (!m_data || !data)
        return;
    const std::shared_ptr<const TraceDataSet> traces = m_data;
    const QString fileName = data->fileName;
    const QVector<ShotIndexEntry> index = data->report.index();
    const FbQc::Settings settings = data->report.settings;
    const PickEdits edits = m_document->session() ? m_document->session()->edits() : PickEdits();
    const FbQc::SnapSettings snap = view()->snap();
    const TraceMatchSettings match = m_match;
    m_progressRow->start();
    m_job->run<FileSuggestions>(
        [=](const LatestJob::Ticket &ticket) {
            FileSuggestions result;
            const Progress progress = ticket.progress();
            const QVector<int> traceShots = traceShotsOf(*traces, fileName, index, match);
            for (int shot = 0; shot < index.size(); ++shot) {
                if (!progress.report(shot, index.size()))
                    break;
                const ShotIndexEntry &entry = index.at(shot);
                const int traceShot = traceShots.value(shot, -1);
                if (traceShot < 0)
                    continue;
                const LoadedShot loaded = ShotLoader::load(fileName, entry, shot, settings, edits);
                if (loaded.state != LoadedShot::Judged)
                    continue;
                ShotGather gather;
                QString error;
                if (!traces->readShot(traceShot, &gather, &error)) {
                    result.error = error;
                    break;
                }
                const QVector<FbRecord> &records = loaded.table.records;
                const QVector<int> rowTrace = matchRecordsToGather(records, gather, match);
                for (const FbQc::Suggestion &s :
                     FbQc::suggestRepicks(gather, records, rowTrace, loaded.table.fit, snap))
                    result.proposed.append({loaded.table.firstRecord + s.row, s});
            }
            return result;
        },
        [this](FileSuggestions result) {
            m_progressRow->hide();
            if (!result.error.isEmpty()) {
                emit message(tr("The traces cannot be read: %1").arg(result.error), true);
                updateActions();
                return;
            }
            m_suggested.clear();
            for (const auto &p : qAsConst(result.proposed))
                m_suggested.insert(p.first, {p.second.oldMs, p.second.newMs});
            showSuggestions();
            said(result.proposed.size(), true);
        });
    updateActions();
}

void TraceRepicker::acceptSuggestions()
{
    EditSession *session = m_document->session();
    if (m_suggested.isEmpty() || !session)
        return;
    QVector<QPair<qint32, float>> times;
    for (auto it = m_suggested.cbegin(); it != m_suggested.cend(); ++it)
        times.append({it.key(), float(it->newMs)});
    std::sort(times.begin(), times.end());
    m_suggested.clear();
    showSuggestions();
    const int n = session->setTimes(times, tr("Accept suggestions from the traces (%n)", "", times.size()),
                                    QLatin1String(SuggestedReason));
    emit message(tr("%n pick(s) re-picked from the traces.", "", n), false);
}

void TraceRepicker::dismissSuggestions()
{
    m_suggested.clear();
    showSuggestions();
}

void TraceRepicker::showSuggestions()
{
    QVector<FbQc::Suggestion> shown;
    if (m_shot >= 0) {
        const int rows = view()->records().size();
        for (auto it = m_suggested.cbegin(); it != m_suggested.cend(); ++it) {
            const qint64 row = qint64(it.key()) - m_firstRecord;
            if (row >= 0 && row < rows)
                shown.append({int(row), it->oldMs, it->newMs});
        }
        std::sort(shown.begin(), shown.end(),
                  [](const FbQc::Suggestion &a, const FbQc::Suggestion &b) { return a.row < b.row; });
    }
    view()->setSuggestions(shown);
    updateActions();
}

void TraceRepicker::updateActions()
{
    m_forShot->setEnabled(shotShown());
    m_forFile->setEnabled(m_data && m_document->data() && !m_job->isRunning());
    m_accept->setEnabled(!m_suggested.isEmpty());
    m_dismiss->setEnabled(!m_suggested.isEmpty());
}

void TraceRepicker::said(int count, bool file)
{
    if (count == 0)
        emit message(file ? tr("The traces propose no new time for the file's flagged picks.")
                          : tr("The traces propose no new time for this shot's flagged picks."),
                     false);
    else
        emit message(file
                         ? tr("%n new time(s) proposed for the file: Pick > Accept Suggestions sets them.", "", count)
                         : tr("%n new time(s) proposed for this shot: Pick > Accept Suggestions sets them.", "", count),
                     false);
}
