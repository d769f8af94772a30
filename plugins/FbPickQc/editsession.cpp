#include "editsession.h"

#include <fbfile/fbpicks.h>
#include <fbqc/qcsession.h>
#include <fbfile/shotrecords.h>

#include <algorithm>
#include <cmath>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

namespace {

// What one judging run needs, all of it its own: the run may outlive the
// session's state.
struct JudgeInput
{
    std::shared_ptr<const QcData> base;
    PickEdits before; // the edits base was judged with
    PickEdits after;
    QVector<FbQc::ReciprocalPair> filePairs;
    QVector<FbQc::RepeatPair> fileRepeats;
    qint64 batchFindings = 0;
};

// Runs on a worker: the shown report (shared until changed) judged again
// as after leaves its picks.
std::shared_ptr<const QcData> judgeAgain(const JudgeInput &in, const Progress &progress, QString *error)
{
    FbQc::QcSession session;
    session.resume(in.base->fileName, in.base->report, in.before, in.filePairs, in.fileRepeats);
    session.setBatchFindings(in.batchFindings);
    if (!session.setEdits(in.after, error, progress) || progress.cancelled())
        return nullptr;
    auto data = std::make_shared<QcData>();
    data->fileName = in.base->fileName;
    data->identity = in.base->identity;
    data->map = in.base->map;
    data->stations = in.base->stations;
    data->report = session.takeReport();
    data->problems = std::make_shared<const ProblemList>(ProblemList::fromReport(data->report));
    return data;
}

} // namespace

EditSession::EditSession(QObject *parent)
    : QObject(parent), m_rejectStatus(FbPicks::DefaultRejectStatus),
      m_judge(LatestJob::Concurrent, nullptr, LatestJob::Wait)
{ }

EditSession::~EditSession() = default;

void EditSession::reset(std::shared_ptr<const QcData> data)
{
    m_judge.cancel();
    m_stack.clear();
    m_edits.clear();
    m_shownEdits.clear();
    m_pending = false;
    m_shown = std::move(data);
    m_filePairs = m_shown ? m_shown->report.pairs() : QVector<FbQc::ReciprocalPair>();
    m_fileRepeats = m_shown ? m_shown->report.repeats() : QVector<FbQc::RepeatPair>();
    emit judgingChanged(false);
}

const PickEdit *EditSession::editOf(qint32 record) const
{
    const auto it = m_edits.constFind(record);
    return it == m_edits.cend() ? nullptr : &*it;
}

bool EditSession::setRejectStatus(qint32 status)
{
    if (FbPicks::isAccepted(status))
        return false;
    m_rejectStatus = status;
    return true;
}

int EditSession::shotOf(qint32 record) const
{
    if (!m_shown)
        return -1;
    return FbQc::QcSession::shotOf(m_shown->report.index(), record);
}

QVector<FbRecord> EditSession::records(int shot) const
{
    if (!m_shown || shot < 0 || shot >= m_shown->report.index().size())
        return {};
    const ShotIndexEntry &e = m_shown->report.index().at(shot);
    QVector<FbRecord> records = readShotRecords(m_shown->fileName, e.firstRecord, e.lastRecord);
    FbQc::applyEdits(m_edits, &records, e.firstRecord);
    FbQc::timesInMilliseconds(records.data(), records.size(), m_shown->report.settings.units);
    return records;
}

FbQc::EditPlan EditSession::plan() const
{
    FbQc::EditPlan plan(m_shown ? m_shown->fileName : QString(),
                        m_shown ? m_shown->report.index() : QVector<ShotIndexEntry>(), m_edits, FbQc::EditPlan::Picks);
    plan.setRejectStatus(m_rejectStatus);
    if (m_shown)
        plan.setSecondsPerTime(m_shown->report.settings.units.secondsPerTime);
    return plan;
}

float EditSession::storedTime(float ms) const
{
    const double secondsPerTime = m_shown ? m_shown->report.settings.units.secondsPerTime : 0.001;
    return secondsPerTime == 0.001 ? ms : float(double(ms) * 0.001 / secondsPerTime);
}

int EditSession::push(const QString &text, const FbQc::EditPlan &plan, bool planned)
{
    if (!planned) {
        emit failed(plan.errorString());
        return 0;
    }
    QVector<PickChange> changes = plan.changes();
    if (changes.isEmpty())
        return 0;
    const int n = changes.size();
    m_stack.push(new PickEditCommand(this, text, std::move(changes)));
    return n;
}

namespace {

// "pick 21 (ffid 1003, channel 5)" for one pick, as the history names a step
// of one pick; empty for more.
QString onePick(const QVector<PickChange> &changes)
{
    if (changes.size() != 1)
        return QString();
    const PickChange &c = changes.first();
    return EditSession::tr("pick %1 (ffid %2, channel %3)").arg(qint64(c.record) + 1).arg(c.ffid).arg(c.channel);
}

} // namespace

int EditSession::rejectPicks(const QVector<qint32> &records)
{
    if (!m_shown)
        return 0;
    FbQc::EditPlan p = plan();
    const bool ok = p.reject(records, QStringLiteral("rejected in the QC window"));
    const QString pick = onePick(p.changes());
    return push(pick.isEmpty() ? tr("Reject picks (%n)", "", p.changes().size()) : tr("Reject %1").arg(pick), p, ok);
}

int EditSession::restorePicks(const QVector<qint32> &records)
{
    if (!m_shown)
        return 0;
    FbQc::EditPlan p = plan();
    const bool ok = p.restore(records, QStringLiteral("restored in the QC window"));
    const QString pick = onePick(p.changes());
    return push(pick.isEmpty() ? tr("Restore picks (%n)", "", p.changes().size()) : tr("Restore %1").arg(pick), p, ok);
}

bool EditSession::setTime(qint32 record, float ms)
{
    if (!m_shown)
        return false;
    FbQc::EditPlan p = plan();
    const bool ok = p.retime(record, storedTime(ms), QStringLiteral("typed in the QC window"));
    const PickChange c = p.changes().value(0);
    return push(tr("fb_time of record %1 (ffid %2, channel %3): %4 ms")
                    .arg(qint64(record) + 1)
                    .arg(c.ffid)
                    .arg(c.channel)
                    .arg(double(ms)),
                p, ok) > 0;
}

int EditSession::setTimes(const QVector<QPair<qint32, float>> &times, const QString &text, const QString &reason)
{
    if (!m_shown || times.isEmpty())
        return 0;
    QVector<QPair<qint32, float>> stored = times;
    for (auto &t : stored)
        t.second = storedTime(t.second);
    FbQc::EditPlan p = plan();
    const bool ok = p.retime(stored, reason);
    return push(text, p, ok);
}

int EditSession::shiftShot(int shot, double ms)
{
    if (!m_shown || shot < 0 || shot >= m_shown->report.index().size() || ms == 0.0 || !std::isfinite(ms))
        return 0;
    const qint32 ffid = m_shown->report.index().at(shot).ffid;
    FbQc::EditPlan p = plan();
    const bool ok = p.shiftShot(shot, ms, FbQc::EditPlan::shiftReason(ffid, ms));
    return push(tr("Shift shot %1 (ffid %2) by %3 ms").arg(shot + 1).arg(ffid).arg(FbQc::signedMs(ms)), p, ok);
}

int EditSession::rejectOutliers(const QVector<FbQc::Finding> &outliers, int shot)
{
    if (!m_shown)
        return 0;
    FbQc::EditPlan p = plan();
    const bool ok = p.rejectOutliers(outliers, m_shown->report.settings.outlierMs);
    const int n = p.changes().size();
    return push(shot >= 0 ? tr("Reject outliers of shot %1 (%n)", "", n).arg(shot + 1)
                          : tr("Reject outliers of the file (%n)", "", n),
                p, ok);
}

std::function<EditSession::Planned(const Progress &)> EditSession::planFileOutliers() const
{
    if (!m_shown)
        return {};
    FbQc::EditPlan p = plan();
    return [p, data = m_shown, before = m_edits](const Progress &progress) mutable {
        Planned planned;
        planned.before = before;
        const FbQc::FindingList &outliers = data->report.findings(FbQc::Kind::Outlier);
        QVector<qint32> findingShots;
        {
            FbQc::FindingList::Reader reader(outliers);
            while (const FbQc::Finding *f = reader.next()) {
                if (findingShots.isEmpty() || findingShots.last() != f->shot)
                    findingShots.append(f->shot);
            }
        }
        std::sort(findingShots.begin(), findingShots.end());
        planned.shotsOfFindings = std::unique(findingShots.begin(), findingShots.end()) - findingShots.begin();
        if (!progress.reportPercent(10))
            return Planned();
        if (!p.rejectOutliers(outliers, data->report.settings.outlierMs)) {
            planned.error = p.errorString();
            return planned;
        }
        if (!progress.reportPercent(70))
            return Planned();
        const QVector<PickChange> changes = p.changes();
        planned.picks = changes.size();
        planned.text = tr("Reject outliers of the file (%n)", "", int(planned.picks));
        planned.after = before;
        for (const PickChange &c : changes) {
            if (c.after.isEmpty())
                planned.after.remove(c.record);
            else
                planned.after.insert(c.record, c.after);
            const int shot = FbQc::QcSession::shotOf(data->report.index(), c.record);
            if (shot >= 0 && (planned.shots.isEmpty() || planned.shots.last() != shot))
                planned.shots.append(shot);
        }
        std::sort(planned.shots.begin(), planned.shots.end());
        planned.shots.erase(std::unique(planned.shots.begin(), planned.shots.end()), planned.shots.end());
        progress.reportPercent(100);
        return planned;
    };
}

qint64 EditSession::pushPlanned(Planned planned)
{
    if (!planned.error.isEmpty()) {
        emit failed(planned.error);
        return 0;
    }
    // Same edits share their data: a step planned over edits that changed
    // since would undo those changes.
    if (!planned.before.isSharedWith(m_edits) && planned.before != m_edits) {
        emit failed(tr("The picks were edited while the step was planned: nothing was changed. Try again."));
        return 0;
    }
    if (planned.picks == 0)
        return 0;
    const qint64 n = planned.picks;
    m_stack.push(new PickEditCommand(this, planned.text, std::move(planned.before), std::move(planned.after),
                                     std::move(planned.shots), n));
    return n;
}

void EditSession::applyEdits(const PickEdits &edits, const QVector<qint32> &shots)
{
    m_edits = edits;
    m_pending = true;
    emit picksChanged(shots);
    startJudging();
}

void EditSession::applyChanges(const QVector<PickChange> &changes, bool after)
{
    QVector<qint32> shots;
    for (const PickChange &c : changes) {
        const PickEdit &edit = after ? c.after : c.before;
        if (edit.isEmpty())
            m_edits.remove(c.record);
        else
            m_edits.insert(c.record, edit);
        const int shot = shotOf(c.record);
        if (shot >= 0 && (shots.isEmpty() || shots.last() != shot))
            shots.append(shot);
    }
    std::sort(shots.begin(), shots.end());
    shots.erase(std::unique(shots.begin(), shots.end()), shots.end());
    m_pending = true;
    emit picksChanged(shots);
    startJudging();
}

void EditSession::adopt(std::shared_ptr<const QcData> data, const PickEdits &judgedEdits)
{
    // A run under way judges on the old thresholds: the shots whose edits
    // data does not hold are judged again below.
    m_judge.cancel();
    m_shown = std::move(data);
    m_shownEdits = judgedEdits;
    m_pending = true;
    startJudging();
    emit judgingChanged(m_judge.isRunning());
}

void EditSession::startJudging()
{
    if (m_judge.isRunning() || !m_pending || !m_shown)
        return;
    JudgeInput in;
    in.base = m_shown;
    in.before = m_shownEdits;
    in.after = m_edits;
    in.filePairs = m_filePairs;
    in.fileRepeats = m_fileRepeats;
    in.batchFindings = m_batchFindings;
    m_pending = false;
    struct Judged
    {
        std::shared_ptr<const QcData> data;
        QString error;
    };
    m_judge.run<Judged>(
        [in](const LatestJob::Ticket &ticket) {
            Judged judged;
            judged.data = judgeAgain(in, ticket.progress(), &judged.error);
            return judged;
        },
        [this, after = in.after](const Judged &judged) { judgingDone(judged.data, after, judged.error); });
    emit judgingChanged(true);
}

void EditSession::judgingDone(const std::shared_ptr<const QcData> &data, const PickEdits &judgedEdits,
                              const QString &error)
{
    if (data) {
        m_shown = data;
        m_shownEdits = judgedEdits;
        emit judged(data);
    } else {
        // Judged again with the next change.
        m_pending = true;
        emit judgeFailed(tr("The edited shots could not be judged again: %1").arg(error));
        emit judgingChanged(false);
        return;
    }
    startJudging();
    if (!m_judge.isRunning())
        emit judgingChanged(false);
}
