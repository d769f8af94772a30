#ifndef EDITPLAN_H
#define EDITPLAN_H

#include "fbeditwriter.h"
#include "fblayout.h"
#include "shotindex.h"

#include <QCoreApplication>
#include <QHash>
#include <QMap>
#include <QString>
#include <QVector>

// Changing picks: the one set of rules that `fbtool edit` and the QC
// window share, and the form an edit of a pick takes.
namespace PickQc {

class FindingList;
class Report;
struct Finding;

// What a user changed of one pick beside what the file holds: an edited
// fb_time, an edited fb_status, or both. A field not edited keeps the
// file's word. The file's own words are kept with the edit, for restoring
// and for checking, when a corrected copy is written, that the file still
// holds them.
struct PickEdit
{
    float fileTime = 0.0f;
    qint32 fileStatus = 0;
    bool timeEdited = false;
    bool statusEdited = false;
    float time = 0.0f;
    qint32 status = 0;
    // Why, as the edit log says it.
    QString timeReason;
    QString statusReason;

    bool isEmpty() const { return !timeEdited && !statusEdited; }
    // The record's words as the edit leaves them.
    float timeNow() const { return timeEdited ? time : fileTime; }
    qint32 statusNow() const { return statusEdited ? status : fileStatus; }
    // The same edit with every field that equals the file's word (bit for
    // bit) dropped: an edit is only ever a difference from the file.
    PickEdit normalized() const;
    bool operator==(const PickEdit &other) const;
};

// The edits of a file by record number (0-based), sparse: a file of
// millions of picks with a few edits holds a few entries. Implicitly
// shared, so a snapshot for a worker thread costs nothing until the next
// change.
using PickEdits = QMap<qint32, PickEdit>;

// records (firstRecord .. firstRecord + size - 1 of the file) as edits
// leave them.
void applyEdits(const PickEdits &edits, QVector<FbRecord> *records, qint32 firstRecord);

// One pick as an action leaves it: its edit before and after (an empty
// edit: the file's words), and the pick's name.
struct PickChange
{
    qint32 record = 0;
    PickEdit before;
    PickEdit after;
    qint32 ffid = 0;
    qint32 channel = 0;
};

// "+5", "-2.5": a signed time in ms, as reasons and messages write it.
QString signedMs(double ms);

// What restoring a pick that the file itself rejected sets: a pick in use.
constexpr qint32 RestoredStatus = 1;

// One plan of edits over a file's picks as some edits already leave them.
// The rules:
// - reject sets the reject status (any status but 0 and 1) on picks in
//   use; a pick already rejected is left;
// - restore puts back the file's status of a pick the edits rejected, and
//   RestoredStatus on one the file itself rejected;
// - retime sets one pick's time;
// - a shot shift adds to the time of every pick of the shot but the traces
//   nobody picked (a time of 0 or less away from the source) and times
//   that are no number, which keep theirs (keptTimes() counts them);
// - fixing timing errors shifts each shot with one by minus its delay;
// - rejecting outliers rejects each one, its residual and the threshold
//   as the reason.
// A time or status equal to the file's is no edit. Later steps see what
// earlier ones left (a shift adds to a retimed pick's new time).
//
// What the plan keeps is chosen up front: Picks, each changed pick once
// with its edit before and after (an undo step of the window); Words, every
// word set in the order the steps set it, with its reason (the edit writer
// and its log, as fbtool writes them; several edits of one word are kept,
// the last one wins). With Words alone, a reject or outlier step reads
// nothing from the file, so millions of them cost only their words.
//
// Plain, no Qt event loop: runs on any thread, one plan per thread. The
// file is read in ranges of neighbouring records, once per step. A step is
// false, with errorString(), when the file cannot be read or a record or
// shot is not in it; the plan then holds the steps before it.
//
// Usage:
//   PickQc::EditPlan plan(fileName, report.index, session.edits(), PickQc::EditPlan::Picks);
//   if (!plan.reject({record}, reason)) ... plan.errorString();
//   push(plan.changes());
class EditPlan
{
    Q_DECLARE_TR_FUNCTIONS(PickQc::EditPlan)

public:
    enum Keep { Picks = 1, Words = 2 };

    EditPlan(const QString &fileName, const QVector<ShotIndexEntry> &index, const PickEdits &edits, int keep);

    // The shots that shiftShot() numbers, when not given at construction.
    void setIndex(const QVector<ShotIndexEntry> &index) { m_index = index; }
    // Any status but 0 and 1; false, keeping the status, otherwise.
    bool setRejectStatus(qint32 status);
    qint32 rejectStatus() const { return m_rejectStatus; }

    bool reject(const QVector<qint32> &records, const QString &reason);
    bool restore(const QVector<qint32> &records, const QString &reason);
    bool retime(qint32 record, float ms, const QString &reason);
    bool shiftShot(int shot, double ms, const QString &reason);
    bool fixTiming(const Report &report);
    // outliers: Outlier findings of the file (record, residual).
    bool rejectOutliers(const QVector<Finding> &outliers, double thresholdMs);
    bool rejectOutliers(const FindingList &outliers, double thresholdMs);
    // A word from an edit list, as it stands (Words only): later shifts add
    // to a time it sets.
    void addWord(const FbEdit &word, const QString &reason);

    // Each pick whose edit the plan changed, once, in the order first
    // changed; picks it left as they were are not listed.
    QVector<PickChange> changes() const;
    const QVector<FbEdit> &words() const { return m_words; }
    // Why words()[word] was set, as the edit log says it.
    QString reason(int word) const;
    qint64 keptTimes() const { return m_keptTimes; }
    QString errorString() const { return m_error; }

    static QString shiftReason(qint32 ffid, double ms);
    static QString outlierReason(double residualMs, double thresholdMs);

private:
    struct Outlier
    {
        qint32 record;
        float residual;
    };
    // A word's reason, kept small: millions of rejected outliers each have
    // their own residual but share the rest of the text.
    struct Why
    {
        float residual; // of an outlier
        qint32 text;    // in m_texts: the whole reason, or an outlier's threshold
        bool outlier;
    };
    qint32 text(const QString &reason);
    bool rejectOutliers(const QVector<Outlier> &outliers, double thresholdMs);
    // Calls visit(record, file's record) for the given records (ascending).
    template<typename Visit>
    bool read(const QVector<qint32> &records, Visit visit);
    PickEdit current(qint32 record, const FbRecord &file) const;
    void change(qint32 record, const FbRecord &file, const PickEdit &after);
    void word(const FbEdit &edit, const Why &why);
    bool fail(const QString &why);

    QString m_fileName;
    QVector<ShotIndexEntry> m_index;
    PickEdits m_base;
    int m_keep;
    qint32 m_rejectStatus;
    QVector<PickChange> m_changes;
    QHash<qint32, int> m_changeOf; // record -> its entry of m_changes
    QVector<FbEdit> m_words;
    QVector<Why> m_whys;
    QStringList m_texts;
    QHash<QString, qint32> m_textIndex;
    QHash<qint32, float> m_times; // Words: fb_time as the words so far leave it
    qint64 m_keptTimes = 0;
    QString m_error;
};

} // namespace PickQc

Q_DECLARE_TYPEINFO(PickQc::PickChange, Q_MOVABLE_TYPE);

#endif // EDITPLAN_H
