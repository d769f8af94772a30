#ifndef EDITSESSION_H
#define EDITSESSION_H

#include <fbqc/latestjob.h>
#include "pickedit.h"
#include <fbfile/progress.h>
#include "pickeditcommand.h"
#include "qcloader.h"
#include <fbqc/qcsession.h>

#include <QObject>
#include <QUndoStack>

#include <functional>
#include <memory>

// The picks a user changes in the QC window, over one loaded file: a sparse
// list of edits on top of the file (which is never written), an undo stack
// with one command per action, and the edited shots judged again.
//
// Reading: records() and PickEditing::apply() give a shot's records as the
// edits leave them, for the table, the plot and judging.
//
// Actions: rejectPicks(), restorePicks(), setTime(), shiftShot() and
// rejectOutliers() each push one command (nothing when they change no pick)
// and return the picks changed. Reject sets the reject status (a status
// other than 0 and 1; FbPicks::DefaultRejectStatus unless set) on picks in
// use; restore puts back the file's status of a pick the session rejected,
// and RestoredStatus on one the file itself rejected. A shift adds to the
// time of every pick of a shot but the traces nobody picked (a time of 0 or
// less away from the source, or no number), which keep theirs. A time equal
// to the file's, a status equal to the file's, is no edit. Times and shifts
// are given in ms and stored in the file's time unit (the shown verdicts'
// settings).
//
// Judging: after every change (an action, undo, redo) picksChanged() names
// the shots whose records changed at once; then a FbQc::QcSession over
// the shown report (shared until changed) judges again, on a worker
// thread, the shots whose edits differ from those the shown data holds
// the verdicts of, with their reciprocal pairs, and judged() hands over
// the new data. Changes made meanwhile are judged in one more run as soon
// as that one ends, so every change is judged and the last judged()
// reflects every edit. Pairs the file compared come back when an undo or a
// restore brings their picks back, so undoing every edit gives the
// verdicts of the file again. Failures of judging (a full disk for
// findings) are said by judgeFailed().
//
// Large actions (every outlier of the file) are planned off the UI thread:
// planFileOutliers() takes what the plan needs, the returned function runs
// on a worker, and pushPlanned() makes its result one step on the UI
// thread. Such a step keeps the edits before and after it whole, so that
// doing and undoing it costs the same however many picks it changes.
//
// Usage:
//   EditSession session;
//   connect(&session, &EditSession::judged, window, &Window::showJudged);
//   session.reset(loadedData);
//   session.rejectPicks({record});          // Ctrl+Z: session.undoStack()->undo()
//   QVector<FbRecord> records = session.records(shot);
class EditSession : public QObject
{
    Q_OBJECT

public:
    // What restoring a pick that the file itself rejected sets: a pick in use.
    static constexpr qint32 RestoredStatus = FbQc::RestoredStatus;
    static constexpr qint64 DefaultBatchFindings = FbQc::QcSession::DefaultBatchFindings;

    explicit EditSession(QObject *parent = nullptr);
    ~EditSession() override;

    // A newly loaded file: no edits, an empty history, nothing judged.
    void reset(std::shared_ptr<const QcData> data);
    // The same file judged again with other thresholds: data holds the
    // verdicts of judgedEdits (the edits the data judged again was shown
    // with, or none when the file was read again). The edits and their
    // history stay, and every edited shot is judged again on data.
    void adopt(std::shared_ptr<const QcData> data, const PickEdits &judgedEdits);
    // The edits the shown data holds the verdicts of.
    const PickEdits &shownEdits() const { return m_shownEdits; }
    // The data as last judged (the loaded data until an edit was judged).
    std::shared_ptr<const QcData> data() const { return m_shown; }

    QUndoStack *undoStack() { return &m_stack; }
    // Edits that no corrected copy holds yet.
    bool isModified() const { return !m_stack.isClean(); }
    // The edits as they stand are in a copy.
    void markSaved() { m_stack.setClean(); }
    const PickEdits &edits() const { return m_edits; }
    // The edit of record, or nullptr.
    const PickEdit *editOf(qint32 record) const;
    bool isJudging() const { return m_judge.isRunning(); }
    // Many edited shots are judged a batch at a time, each batch holding
    // about this many findings of their own (DefaultBatchFindings); tests
    // set it small to judge one shot at a time.
    void setBatchFindings(qint64 findings) { m_batchFindings = findings; }

    qint32 rejectStatus() const { return m_rejectStatus; }
    // False, keeping the status, for 0 and 1 (statuses in use).
    bool setRejectStatus(qint32 status);

    // The shot (0-based) that holds record, or -1.
    int shotOf(qint32 record) const;
    // The records of shot as the edits leave them (read from the file),
    // times in ms.
    QVector<FbFile::FbRecord> records(int shot) const;

    int rejectPicks(const QVector<qint32> &records);
    int restorePicks(const QVector<qint32> &records);
    bool setTime(qint32 record, float ms);
    // Several picks' times set as one step (a line drawn across traces,
    // suggestions accepted): text names the step in the history, reason
    // each word in the edit log. Returns the picks changed.
    int setTimes(const QVector<QPair<qint32, float>> &times, const QString &text, const QString &reason);
    int shiftShot(int shot, double ms);
    // outliers: Outlier findings (record, residual); shot: the shot they
    // are of, or -1 for the file, as the history names the step.
    int rejectOutliers(const QVector<FbQc::Finding> &outliers, int shot);

    // An action planned off the UI thread, to push as one step.
    struct Planned
    {
        QString text;               // the step's name in the history
        QString error;              // why the plan failed; empty when it did not
        PickEdits before;           // the edits it was planned over
        PickEdits after;            // the edits once it is done
        QVector<qint32> shots;      // the shots it changes (ascending)
        qint64 picks = 0;           // the picks it changes
        qint64 shotsOfFindings = 0; // the shots its findings came from
    };
    // The rejection of every outlier the shown verdicts hold, as a function
    // for any thread (empty when there is no file); it stops early, with an
    // empty plan, when progress is cancelled.
    std::function<Planned(const FbFile::Progress &progress)> planFileOutliers() const;
    // Pushes a plan as one step and returns the picks it changes: 0 when it
    // changes none, failed (said by failed()), or was planned over other
    // edits than those that stand now (said by failed() too).
    qint64 pushPlanned(Planned planned);

signals:
    // The records of these shots (ascending) changed.
    void picksChanged(const QVector<qint32> &shots);
    void judged(std::shared_ptr<const QcData> data);
    void judgingChanged(bool judging);
    void judgeFailed(const QString &message);
    // An action could not read the file.
    void failed(const QString &message);

private:
    friend class PickEditCommand;
    void applyChanges(const QVector<PickChange> &changes, bool after);
    // A planned step done or undone: the edits become edits whole.
    void applyEdits(const PickEdits &edits, const QVector<qint32> &shots);
    // A plan over the edits as they stand.
    FbQc::EditPlan plan() const;
    // A time in ms as fb_time stores it.
    float storedTime(float ms) const;
    // Pushes one command for the picks the plan changed; returns how many.
    // With planned false, says why the plan failed and pushes nothing.
    int push(const QString &text, const FbQc::EditPlan &plan, bool planned);
    void startJudging();
    void judgingDone(const std::shared_ptr<const QcData> &data, const PickEdits &judgedEdits, const QString &error);

    QUndoStack m_stack;
    PickEdits m_edits;
    qint32 m_rejectStatus;
    // What is shown, and the edits it was judged with.
    std::shared_ptr<const QcData> m_shown;
    PickEdits m_shownEdits;
    // The pairs the file compared, which an undo may bring back.
    QVector<FbQc::ReciprocalPair> m_filePairs;
    QVector<FbQc::RepeatPair> m_fileRepeats;
    qint64 m_batchFindings = DefaultBatchFindings;
    bool m_pending = false; // edits changed since the running or last judging began
    // Waits for its worker on destruction, before the members above go:
    // a judging cancelled late still ends before the session does.
    FbQc::LatestJob m_judge;
};

#endif // EDITSESSION_H
