#include "qcdocument.h"

#include "editsession.h"

#include <QStringList>
#include <QTimer>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

// Data the document no longer shows, handed to a worker to free as the
// step that replaced it ends: a report of millions of shots takes a while
// to free, and the views have let go of it by then.
struct QcDocument::LetGo
{
    LetGo(QcDocument *document, std::shared_ptr<const QcData> data) : document(document), data(std::move(data)) { }
    ~LetGo()
    {
        if (data)
            document->letGo(std::move(data));
    }
    QcDocument *document;
    std::shared_ptr<const QcData> data;
};

void QcDocument::letGo(std::shared_ptr<const void> held)
{
    m_letGo.run<bool>([held = std::move(held)](const LatestJob::Ticket &) { return bool(held); }, [](bool) {});
}

QcDocument::QcDocument(QObject *parent) : QObject(parent)
{
    connect(&m_loader, &QcLoader::progressChanged, this, &QcDocument::progressChanged);
    connect(&m_loader, &QcLoader::loaded, this, &QcDocument::onLoaded);
    connect(&m_loader, &QcLoader::failed, this, &QcDocument::onFailed);
}

QcDocument::~QcDocument() = default;

void QcDocument::setSession(EditSession *session)
{
    m_session = session;
    connect(session, &EditSession::judged, this, &QcDocument::onJudged);
    connect(session, &EditSession::picksChanged, this, &QcDocument::picksChanged);
}

QcDocument::Target QcDocument::targetOf(const FbQc::Finding &f)
{
    Target target;
    switch (FbQc::kindInfo(f.kind).scope) {
    case FbQc::Scope::Pick:
        target.record = f.record;
        break;
    case FbQc::Scope::Pair:
        target.partner = f.otherShot;
        break;
    default:
        if (f.kind == FbQc::Kind::VaryingSource)
            target.column = f.column;
        break;
    }
    return target;
}

void QcDocument::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void QcDocument::settle()
{
    setState(m_data ? Loaded : (m_state == Failed ? Failed : Empty));
}

void QcDocument::setSaving(bool saving)
{
    if (saving && m_state == Loaded)
        setState(Saving);
    else if (!saving && m_state == Saving)
        settle();
}

void QcDocument::open(const QString &fileName)
{
    Request request;
    request.fileName = fileName;
    start(request);
}

void QcDocument::start(const Request &request)
{
    m_request = request;
    setState(Loading);
    emit progressChanged(0);
    m_loader.start(request.fileName, m_settings);
}

void QcDocument::cancel()
{
    if (!isLoading())
        return;
    const bool again = m_state == JudgingAgain;
    m_loader.cancel();
    settle();
    if (again || (m_data && m_request.fileName == m_data->fileName)) {
        // The thresholds stay those of the judgement shown.
        m_settings = m_data->report.settings;
        emit thresholdsShown(m_settings);
        emit message(tr("Judging %1 again was cancelled; it stays shown as judged before.").arg(m_data->fileName),
                     false);
    } else {
        emit message(m_data ? tr("Loading %1 was cancelled; %2 stays shown.").arg(m_request.fileName, m_data->fileName)
                            : tr("Loading %1 was cancelled.").arg(m_request.fileName),
                     false);
    }
    emit loadFinished(false);
}

void QcDocument::setTimeUnit(double secondsPerTime)
{
    if (!(secondsPerTime > 0) || secondsPerTime == m_settings.units.secondsPerTime)
        return;
    m_settings.units.secondsPerTime = secondsPerTime;
    if (m_state == Loading) {
        start(m_request);
        return;
    }
    if (!m_data)
        return;
    // Every time the pass kept is in the old unit: read the file again.
    Request request;
    request.fileName = m_data->fileName;
    request.keepEdits = true;
    start(request);
}

void QcDocument::setThresholds(double outlierMs, double reciprocityMs)
{
    m_settings.outlierMs = outlierMs;
    m_settings.reciprocityMs = reciprocityMs;
    // A read under way starts again with them.
    if (m_state == Loading) {
        start(m_request);
        return;
    }
    if (!m_data)
        return;
    const FbQc::Settings &shown = m_data->report.settings;
    if (shown.outlierMs == outlierMs && shown.reciprocityMs == reciprocityMs) {
        // Back to what is shown: what was under way is not wanted.
        if (m_state == JudgingAgain) {
            m_loader.cancel();
            settle();
        }
        return;
    }
    // The edits stay, judged again on top of the new verdicts.
    Request request;
    request.fileName = m_data->fileName;
    request.keepEdits = true;
    if (!m_loader.rejudge(m_data, outlierMs, reciprocityMs)) {
        // Below what the pass kept: the file is judged again from its records.
        start(request);
        return;
    }
    if (m_session)
        request.judgedEdits = m_session->shownEdits();
    m_request = request;
    setState(JudgingAgain);
}

void QcDocument::onFailed(const QString &messageText)
{
    // Judging the shown file again failed: the thresholds stay its own.
    if (m_data && m_request.fileName == m_data->fileName) {
        m_settings = m_data->report.settings;
        emit thresholdsShown(m_settings);
    }
    setState(m_data ? Loaded : Failed);
    const QString said = tr("Cannot open %1: %2").arg(m_request.fileName, messageText);
    emit message(m_request.note.isEmpty() ? said : m_request.note + QLatin1Char(' ') + said, true);
    emit loadFinished(false);
}

void QcDocument::onLoaded(std::shared_ptr<const QcData> loaded)
{
    const bool rejudged = m_state == JudgingAgain;
    const FbQc::Report &judged = loaded->report;
    if (judged.notFbFile()) {
        // Its records are no records: a list of what they hold would mislead.
        setState(m_data ? Loaded : Failed);
        const FbQc::Finding f = judged.findings(FbQc::Kind::NotFbFile).at(0);
        emit message(tr("%1 is not an FB file: %2")
                         .arg(m_request.fileName, FbQc::kindInfo(FbQc::Kind::NotFbFile).describe(f, judged)),
                     true);
        if (m_data) {
            m_settings = m_data->report.settings;
            emit thresholdsShown(m_settings);
        }
        emit loadFinished(false);
        return;
    }
    // The views let go of the previous file's data before it is freed.
    LetGo previous(this, std::move(m_data));
    m_data = std::move(loaded);
    m_takingOver.reset();
    const bool sameFile = previous.data && previous.data->fileName == m_data->fileName;
    // New thresholds keep the edits, judged again on the new verdicts; a
    // file opened anew starts without.
    if (m_session && m_request.keepEdits && sameFile)
        m_session->adopt(m_data, m_request.judgedEdits);
    else
        emit editsReset(m_data);
    setState(Loaded);

    const FbQc::Report &r = m_data->report;
    QStringList said;
    if (!m_request.note.isEmpty())
        said << m_request.note;
    if (!m_data->complete())
        said << tr("The file is incomplete: its header declares %L1 picks, but it holds %L2 complete "
                   "records. The records it holds are judged.")
                    .arg(r.header.fb_count)
                    .arg(r.recordCount);
    emit message(said.join(QLatin1Char(' ')), false);

    // The same file judged again stays on its shot, fitted anew, with the
    // same pick selected and partner shown.
    const bool again = sameFile && m_current >= 0 && m_current < r.index().size();
    Target target;
    if (again) {
        target = m_target;
        if (target.record < 0 && target.column < 0 && m_selectedRecord >= 0 && m_shown == m_current)
            target.record = m_selectedRecord;
        if (target.partner < 0)
            target.partner = m_partner;
    }
    // (Judged again before its first shot was shown, it is taken over whole.)
    if (rejudged && m_current >= 0) {
        emit fileShown(m_data, false);
        m_target = target;
        emit currentShotChanged(m_current);
        // The survey views a turn later, as for a new file.
        m_takingOver = std::make_shared<int>(0);
        QTimer::singleShot(0, this, [this, token = std::weak_ptr<int>(m_takingOver)] {
            if (token.expired())
                return;
            m_takingOver.reset();
            emit surveyShown(m_data, false);
            emit loadFinished(true);
        });
        return;
    }
    emit fileShown(m_data, true);
    const int first = again ? m_current : 0;
    m_current = m_shown = -1;
    m_selectedRecord = -1;
    m_partner = -1;
    m_takingOver = std::make_shared<int>(0);
    QTimer::singleShot(0, this, [this, first, target, token = std::weak_ptr<int>(m_takingOver)] {
        if (!token.expired())
            takeOver(first, target);
    });
}

void QcDocument::takeOver(int first, const Target &target)
{
    m_takingOver.reset();
    emit surveyShown(m_data, true);
    goTo(first, target);
    emit loadFinished(true);
}

void QcDocument::onJudged(std::shared_ptr<const QcData> judged)
{
    if (!m_data || !judged || judged->fileName != m_data->fileName)
        return;
    // The views let go of the previous data before it is freed.
    LetGo previous(this, std::move(m_data));
    m_data = std::move(judged);
    emit verdictsChanged(m_data);
}

void QcDocument::goTo(int shot, const Target &target)
{
    if (!m_data || shot < 0 || shot >= m_data->report.index().size())
        return;
    m_target = target;
    if (shot != m_current) {
        m_current = shot;
        emit currentShotChanged(shot);
    } else if (m_shown == shot) {
        emit targetChanged();
    }
}

QcDocument::Target QcDocument::takeTarget()
{
    const Target target = m_target;
    m_target = Target();
    return target;
}

void QcDocument::setShown(int shot)
{
    m_shown = shot;
    emit shotShown(shot);
}

bool QcDocument::showWaveformVerdicts(const std::shared_ptr<const QcData> &base, std::shared_ptr<const QcData> judged)
{
    if (!base || base != m_data || !judged)
        return false;
    m_data = std::move(judged);
    emit verdictsChanged(m_data);
    return true;
}
