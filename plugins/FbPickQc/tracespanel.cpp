#include "tracespanel.h"
#include "progressrow.h"

#include "editsession.h"
#include <fbview/gatherpanel.h>
#include <fbview/gatherview.h>
#include <fbqc/latestjob.h>
#include "pickedit.h"
#include "shotloader.h"
#include <fbfile/shotrecords.h>
#include "tracefiller.h"
#include <fbtrace/tracedataset.h>
#include "tracerepicker.h"
#include <fbqc/waveformqc.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

#include <qwt_text_label.h>

#include <algorithm>
#include <limits>

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;
using namespace FbView;

// One shot as the traces panel shows it: the records and fit as the edits
// leave them, the shot's traces, and each record's trace.
struct TracesShot
{
    int shot = -1;
    qint32 ffid = 0;
    LoadedShot loaded;
    int traceShot = -1; // position in the data set, -1: the ffid has no traces
    QString error;      // the traces could not be read
    ShotGather gather;
    QVector<int> rowTrace;
    std::shared_ptr<const TraceDataSet> data;
};

namespace {

struct OpenedTraces
{
    std::shared_ptr<const TraceDataSet> data;
    QString error;
    QStringList warnings;
};

struct MatchedFile
{
    bool ok = false;
    QString error;
    QString fileName;
    TraceMatchResult result;
    std::shared_ptr<const QVector<int>> traceShots; // per FB shot, its data-set shot
    std::shared_ptr<const TraceDataSet> data;
};

struct JudgedWaveforms
{
    std::shared_ptr<const QcData> base;
    std::shared_ptr<const QcData> judged; // null: failed or cancelled
    QString error;
    FbQc::TimeShift shift;
    std::shared_ptr<const TraceDataSet> data;
};

// Below this height, or in a tab, the panel gives the gather all it can.
constexpr int ShortHeight = 480;

int plural(qint64 n)
{
    return int(qMin<qint64>(n, std::numeric_limits<int>::max()));
}

} // namespace

TracesPanel::TracesPanel(QcDocument *document, QWidget *parent) : QWidget(parent), m_document(document)
{
    qRegisterMetaType<TracesSource>();
    m_gather = new GatherPanel;
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("traceStatus"));
    m_status->setWordWrap(true);
    // Its text never widens the panel: wrapped, or cut to one line.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_progressRow = new ProgressRow(QStringLiteral("trace"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_status);
    layout->addWidget(m_progressRow);
    m_filler = new TraceFiller(document, view(), this);
    layout->addWidget(m_filler->progressRow());
    connect(m_filler, &TraceFiller::message, this, &TracesPanel::message);

    // Re-picking from the traces: its menu among the gather's controls, its progress under ours.
    m_repicker = new TraceRepicker(document, m_gather, this);
    layout->addWidget(m_repicker->progressRow());
    connect(m_repicker, &TraceRepicker::message, this, &TracesPanel::message);
    layout->addWidget(m_gather, 1);
    m_openButton = new QPushButton(tr("Open Traces..."));
    m_openButton->setObjectName(QStringLiteral("traceOpen"));
    m_openButton->setToolTip(tr("Shows a SEG-Y file or a folder of SEG-2 files under the picks"));
    layout->addWidget(m_openButton, 0, Qt::AlignLeft);
    // The strip's hint and button at its top; in a tab the button under
    // the empty gather.
    layout->addStretch();
    connect(m_openButton, &QPushButton::clicked, this, &TracesPanel::openRequested);
    // The gather's title in the window's own font, bold, as the shot plot's:
    // on one line in the narrow column the traces take beside the shot.
    QFont titleFont = font();
    titleFont.setBold(true);
    view()->titleLabel()->setFont(titleFont);

    m_openJob = new LatestJob(LatestJob::Serial, this);
    m_matchJob = new LatestJob(LatestJob::Serial, this);
    m_shotJob = new LatestJob(LatestJob::Serial, this);
    m_waveformJob = new LatestJob(LatestJob::Serial, this);
    for (LatestJob *job : {m_openJob, m_matchJob, m_waveformJob})
        connect(job, &LatestJob::progressChanged, m_progressRow->bar(), &QProgressBar::setValue);
    connect(m_progressRow, &ProgressRow::cancelClicked, this, &TracesPanel::cancelOpening);
    connect(view(), &GatherView::rowClicked, this, &TracesPanel::onRowClicked);
    connect(document, &QcDocument::selectionChanged, this, &TracesPanel::onSelectionChanged);
    connect(document, &QcDocument::shotShown, this, &TracesPanel::requestShot);
    connect(document, &QcDocument::fileShown, this, &TracesPanel::matchFile);
    connect(document, &QcDocument::fileShown, this, &TracesPanel::judgeWaveforms);
    connect(document, &QcDocument::verdictsChanged, this, &TracesPanel::judgeWaveforms);
    connect(document, &QcDocument::picksChanged, this, [this](const QVector<qint32> &shots) {
        if (shots.contains(m_document->shownShot()))
            requestShot();
    });
    view()->clear();
    showStatus();
}

TracesPanel::~TracesPanel() = default;

GatherView *TracesPanel::view() const
{
    return m_gather->view();
}

void TracesPanel::openTraces(const QString &path, double firstSampleMs)
{
    TracesSource source;
    source.path = path;
    source.firstSampleMs = firstSampleMs;
    openTraces(source);
}

void TracesPanel::openTraces(const TracesSource &source)
{
    m_matchJob->cancel();
    m_progressRow->start();
    // Indexed on no more threads than the QC pass is given.
    TraceDataSet::Options options = source.dataSetOptions();
    options.threads = m_document->settings().threads;
    m_openJob->run<OpenedTraces>(
        [source, options](const LatestJob::Ticket &ticket) {
            OpenedTraces result;
            auto data = std::make_shared<TraceDataSet>();
            data->setOptions(options);
            if (std::isfinite(source.firstSampleMs))
                data->setFirstSampleMs(source.firstSampleMs);
            if (data->open(source.path, ticket.progress())) {
                result.warnings = data->warnings();
                result.data = std::move(data);
            } else {
                result.error = data->errorString();
            }
            return result;
        },
        [this, source](OpenedTraces result) {
            m_progressRow->hide();
            const QString name = QDir::toNativeSeparators(source.path);
            if (!result.data) {
                emit message(tr("%1 cannot be opened as traces: %2").arg(name, result.error), true);
                return;
            }
            m_data = std::move(result.data);
            m_source = source;
            m_filler->setDataSet(m_data, source.match);
            m_repicker->setDataSet(m_data, source.match);
            m_hasMatch = false;
            m_matchedFile.clear();
            m_traceShots.reset();
            m_waveformData.reset();
            m_shift = FbQc::TimeShift();
            updateSlim();
            emit opened(source);
            emit message(result.warnings.isEmpty() ? QString() : result.warnings.join(QLatin1Char(' ')), false);
            showStatus();
            matchFile();
            requestShot();
        });
}

void TracesPanel::cancelOpening()
{
    const bool opening = m_openJob->isRunning();
    m_openJob->cancel();
    m_matchJob->cancel();
    m_waveformJob->cancel();
    m_progressRow->hide();
    if (opening)
        emit message(tr("Opening the traces was cancelled; the traces shown stay."), false);
}

bool TracesPanel::isOpening() const
{
    return m_openJob->isRunning() || m_matchJob->isRunning();
}

bool TracesPanel::isJudging() const
{
    return m_waveformJob->isRunning();
}

QString TracesPanel::tracesPath() const
{
    return m_data ? m_data->path() : QString();
}

double TracesPanel::firstSampleMs() const
{
    return m_data ? m_data->firstSampleMs() : qQNaN();
}

QString TracesPanel::status() const
{
    return m_statusText;
}

void TracesPanel::setStatusText(const QString &text)
{
    m_statusText = text;
    // A short panel leaves the gather its height: the status cut to one
    // line, or, with no traces open, the hint on how to open them written
    // whole in the empty gather instead.
    // A slim strip has the height to wrap it whole.
    const bool oneLine = m_short && !m_slim;
    const bool inView = oneLine && !m_data;
    if (!m_data)
        view()->clear(inView ? text : QString());
    m_status->setVisible(!inView);
    m_status->setWordWrap(!oneLine);
    m_status->setToolTip(oneLine ? text : QString());
    m_status->setText(oneLine
                          ? m_status->fontMetrics().elidedText(
                                QString(text).replace(QLatin1Char('\n'), QLatin1String("  ")), Qt::ElideRight, width())
                          : text);
}

void TracesPanel::setSlimWhenEmpty(bool slim)
{
    m_slimWhenEmpty = slim;
    updateSlim();
}

void TracesPanel::setInTab(bool inTab)
{
    m_inTab = inTab;
    updateShort();
}

void TracesPanel::updateShort()
{
    const bool isShort = m_inTab || height() < ShortHeight;
    if (isShort != m_short) {
        m_short = isShort;
        m_gather->setControlsBeside(isShort);
    }
    setStatusText(m_statusText);
}

void TracesPanel::updateSlim()
{
    const bool slim = m_slimWhenEmpty && !m_data;
    if (slim == m_slim)
        return;
    m_slim = slim;
    m_gather->setVisible(!slim);
    // Wide enough for the button and a few words of the hint a line.
    setMaximumWidth(slim ? std::max(m_openButton->sizeHint().width(), 14 * fontMetrics().averageCharWidth()) +
                               fontMetrics().averageCharWidth()
                         : QWIDGETSIZE_MAX);
    showStatus();
    emit slimChanged(slim);
}

void TracesPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateShort();
}

// Matches the whole file once per data set and file: the counts say how far
// the traces can be trusted to belong to these picks.
void TracesPanel::matchFile()
{
    const std::shared_ptr<const QcData> &data = m_document->data();
    if (!m_data || !data || (m_hasMatch && m_matchedFile == data->fileName))
        return;
    m_hasMatch = false;
    m_progressRow->start();
    const std::shared_ptr<const TraceDataSet> traces = m_data;
    const QString fileName = data->fileName;
    const TraceMatchSettings match = m_source.match;
    const QVector<ShotIndexEntry> index = data->report.index();
    m_matchJob->run<MatchedFile>(
        [traces, fileName, match, index](const LatestJob::Ticket &ticket) {
            MatchedFile matched;
            matched.fileName = fileName;
            matched.data = traces;
            TraceMatcher matcher(match);
            matched.ok = matcher.match(*traces, fileName, &matched.result, ticket.progress());
            matched.error = matcher.errorString();
            if (matched.ok)
                matched.traceShots =
                    std::make_shared<const QVector<int>>(traceShotsOf(*traces, fileName, index, match));
            return matched;
        },
        [this](MatchedFile matched) {
            m_progressRow->setVisible(m_openJob->isRunning());
            if (matched.data != m_data)
                return;
            if (!matched.ok) {
                emit message(tr("The picks cannot be matched to the traces: %1").arg(matched.error), true);
                return;
            }
            m_match = matched.result;
            m_traceShots = matched.traceShots;
            m_hasMatch = true;
            m_matchedFile = matched.fileName;
            const TraceMatchResult &r = m_match;
            const QString fbName = QFileInfo(matched.fileName).fileName();
            const QString tracesName = QFileInfo(m_data->path()).fileName();
            if (r.picks > 0 && r.matched == 0 && m_source.match.by == TraceMatchSettings::By::Position)
                emit message(tr("No pick of %1 matches a trace of %2 by source and receiver position within %3 m.")
                                 .arg(fbName, tracesName)
                                 .arg(m_source.match.toleranceM),
                             true);
            else if (r.picks > 0 && r.matched == 0)
                emit message(tr("No pick of %1 matches a trace of %2 by ffid and channel: the picks' ffids run "
                                "from %3 to %4, the traces' from %5 to %6.")
                                 .arg(fbName, tracesName)
                                 .arg(r.pickFfidMin)
                                 .arg(r.pickFfidMax)
                                 .arg(r.traceFfidMin)
                                 .arg(r.traceFfidMax),
                             true);
            showStatus();
            judgeWaveforms();
        });
}

// Judges every matched pick of the data shown against its trace, whenever
// the data shown is not the one judged last (a new file, new thresholds, an
// edit judged): the waveform findings then never stay stale.
void TracesPanel::judgeWaveforms()
{
    const std::shared_ptr<const QcData> base = m_document->data();
    if (!m_data || !base || base == m_waveformData || !m_hasMatch || m_matchedFile != base->fileName ||
        m_match.matched == 0)
        return;
    const std::shared_ptr<const TraceDataSet> traces = m_data;
    // The edits the verdicts shown were judged with.
    const PickEdits edits = m_document->session() ? m_document->session()->shownEdits() : PickEdits();
    FbQc::WaveformQcSettings settings;
    settings.match = m_source.match;
    settings.threads = base->report.settings.threads;
    m_progressRow->start();
    m_waveformJob->run<JudgedWaveforms>(
        [base, traces, edits, settings](const LatestJob::Ticket &ticket) {
            JudgedWaveforms result;
            result.base = base;
            result.data = traces;
            const QString fileName = base->fileName;
            const QVector<ShotIndexEntry> &index = base->report.index();
            const FbQc::Units units = base->report.settings.units;
            const FbQc::RecordsOf records = [fileName, index, edits, units](qint32 shot) {
                const ShotIndexEntry &e = index.at(shot);
                QVector<FbRecord> r = readShotRecords(fileName, e.firstRecord, e.lastRecord);
                FbQc::applyEdits(edits, &r, e.firstRecord);
                // The traces' time axis is in ms, whatever the file's unit.
                FbQc::timesInMilliseconds(r.data(), r.size(), units);
                return r;
            };
            auto judged = std::make_shared<QcData>(*base);
            FbQc::WaveformJudge judge(settings);
            if (!judge.run(&judged->report, records, *traces, ticket.progress())) {
                result.error = judge.errorString();
                return result;
            }
            judged->problems = std::make_shared<const ProblemList>(ProblemList::fromReport(judged->report));
            result.shift = judge.summary().shift;
            result.judged = std::move(judged);
            return result;
        },
        [this](JudgedWaveforms result) {
            m_progressRow->setVisible(m_openJob->isRunning() || m_matchJob->isRunning());
            if (result.data != m_data || result.base != m_document->data())
                return;
            if (!result.judged) {
                emit message(tr("The picks cannot be judged against the traces: %1").arg(result.error), true);
                return;
            }
            m_shift = result.shift;
            m_waveformData = result.judged;
            m_document->showWaveformVerdicts(result.base, result.judged);
            showStatus();
        });
}

// Reads the document's shown shot and its traces; a later shot supersedes it.
void TracesPanel::requestShot()
{
    const std::shared_ptr<const QcData> &data = m_document->data();
    const int shot = m_document->shownShot();
    if (!data || shot < 0 || shot >= data->report.index().size())
        return;
    if (!m_data) {
        m_shotJob->cancel();
        m_shownShot = shot;
        m_shotStatus.clear();
        m_repicker->clearShot();
        view()->clear();
        showStatus();
        emit shotShown(shot);
        return;
    }
    const std::shared_ptr<const TraceDataSet> traces = m_data;
    const ShotIndexEntry entry = data->report.index().at(shot);
    const QString fileName = data->fileName;
    const FbQc::Settings settings = data->report.settings;
    const PickEdits edits = m_document->session() ? m_document->session()->edits() : PickEdits();
    const TraceMatchSettings match = m_source.match;
    // The file's pairing once it is made; until then the shot pairs on its own.
    const std::shared_ptr<const QVector<int>> traceShots =
        m_hasMatch && m_matchedFile == fileName ? m_traceShots : nullptr;
    const QVector<ShotIndexEntry> index = data->report.index();
    m_shotJob->run<std::shared_ptr<const TracesShot>>(
        [=](const LatestJob::Ticket &ticket) {
            auto result = std::make_shared<TracesShot>();
            result->shot = shot;
            result->ffid = entry.ffid;
            result->data = traces;
            result->loaded = ShotLoader::load(fileName, entry, shot, settings, edits);
            if (ticket.cancelled())
                return std::shared_ptr<const TracesShot>(result);
            const QVector<FbRecord> &records = result->loaded.table.records;
            if (records.isEmpty())
                result->traceShot = -1;
            else if (traceShots)
                result->traceShot = traceShots->value(shot, -1);
            else
                result->traceShot = traceShotsOf(*traces, fileName, index.mid(0, shot + 1), match).value(shot, -1);
            if (result->traceShot >= 0) {
                if (traces->readShot(result->traceShot, &result->gather, &result->error))
                    result->rowTrace = matchRecordsToGather(result->loaded.table.records, result->gather, match);
                else if (result->error.isEmpty())
                    result->error = tr("unreadable");
            }
            return std::shared_ptr<const TracesShot>(result);
        },
        [this](std::shared_ptr<const TracesShot> shot) { showShot(shot); });
}

void TracesPanel::showShot(const std::shared_ptr<const TracesShot> &shot)
{
    // A shot the document no longer shows, or traces since replaced: the
    // request for the current ones is on its way.
    if (shot->shot != m_document->shownShot() || shot->data != m_data)
        return;
    m_shownShot = shot->shot;
    m_firstRecord = shot->loaded.table.firstRecord;
    m_filler->setShot(-1, ShotGather(), {});
    m_repicker->clearShot();
    if (shot->traceShot < 0) {
        m_shotStatus = tr("Shot ffid %1 has no traces in the data set.").arg(shot->ffid);
        view()->clear(m_shotStatus);
    } else if (!shot->error.isEmpty()) {
        m_shotStatus = tr("The traces of ffid %1 cannot be read: %2").arg(shot->ffid).arg(shot->error);
        view()->clear(m_shotStatus);
        emit message(m_shotStatus, true);
    } else {
        const QVector<FbRecord> &records = shot->loaded.table.records;
        view()->setShot(shot->gather, records, shot->loaded.table.fit, shot->rowTrace, shot->shot);
        m_filler->setShot(shot->shot, shot->gather, shot->rowTrace);
        m_repicker->setShot(shot->shot, m_firstRecord);
        QSet<int> picked;
        qint64 withoutTrace = 0;
        for (int trace : shot->rowTrace) {
            if (trace < 0)
                ++withoutTrace;
            else
                picked.insert(trace);
        }
        const qint64 withoutPick = shot->gather.traceCount() - picked.size();
        m_shotStatus = withoutTrace == 0 && withoutPick == 0
                           ? tr("Every pick of this shot has its trace.")
                           : tr("This shot: %1, %2.")
                                 .arg(tr("%Ln pick(s) without a trace", nullptr, plural(withoutTrace)),
                                      tr("%Ln trace(s) without a pick", nullptr, plural(withoutPick)));
        onSelectionChanged(m_document->selectedRecord());
    }
    showStatus();
    emit shotShown(shot->shot);
}

void TracesPanel::showStatus()
{
    m_openButton->setVisible(!m_data);
    if (!m_data) {
        // The strip's button says the rest, its tool tip what it shows.
        setStatusText(m_slim ? tr("No traces are open.")
                             : tr("No traces are open: File > Open Traces... shows a SEG-Y file or a folder of "
                                  "SEG-2 files under the picks."));
        return;
    }
    QStringList lines;
    lines << tr("%1 (%2): %3 in %4")
                 .arg(QFileInfo(m_data->path()).fileName(), m_data->formatName(),
                      tr("%Ln trace(s)", nullptr, plural(m_data->traceCount())),
                      tr("%Ln shot(s)", nullptr, m_data->shotCount()));
    if (m_hasMatch)
        lines << tr("%1 of %2 matched; %3, %4.")
                     .arg(QLocale().toString(m_match.matched), tr("%Ln pick(s)", nullptr, plural(m_match.picks)),
                          tr("%Ln pick(s) without a trace", nullptr, plural(m_match.picksWithoutTrace)),
                          tr("%Ln trace(s) without a pick", nullptr, plural(m_match.tracesWithoutPick)));
    if (m_hasMatch && m_shift.shifted)
        lines << FbQc::describeShift(m_shift);
    if (!m_shotStatus.isEmpty())
        lines << m_shotStatus;
    setStatusText(lines.join(QLatin1Char('\n')));
}

void TracesPanel::onSelectionChanged(qint32 record)
{
    if (m_shownShot < 0 || m_shownShot != m_document->shownShot())
        return;
    const qint64 row = record < 0 ? -1 : qint64(record) - m_firstRecord;
    view()->setSelectedRow(row >= 0 && row < std::numeric_limits<int>::max() ? int(row) : -1);
}

// A click on a picked trace selects its record for every panel.
void TracesPanel::onRowClicked(int row)
{
    if (m_shownShot < 0 || m_shownShot != m_document->shownShot() || row < 0)
        return;
    QcDocument::Target target;
    target.record = qint32(m_firstRecord + row);
    m_document->goTo(m_shownShot, target);
}
