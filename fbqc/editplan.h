#ifndef FBQC_EDITPLAN_H
#define FBQC_EDITPLAN_H

#include <fbfile/fbeditwriter.h>
#include <fbfile/fblayout.h>
#include <fbqc/findinglist.h>
#include <fbfile/shotindex.h>

#include <QCoreApplication>
#include <QHash>
#include <QMap>
#include <QString>
#include <QVector>

// Changing picks: the one set of rules that `fbtool edit` and the QC
// window share, and the form an edit of a pick takes.
namespace FbQc {

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
void applyEdits(const PickEdits &edits, QVector<FbFile::FbRecord> *records, qint32 firstRecord);

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
// - retime sets a pick's time;
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
// with its edit before and after (an undo step of the window); Words, the
// words to set, for the edit writer and its log as fbtool writes them:
// the plan is then the writer's FbEditSource, handing out each block's
// words in the order the steps set them, each with its reason (several
// edits of one word are kept, the last one wins). With Words alone, steps
// are kept as steps (a shot shift, an outlier list shared with the
// report) and their words made only block by block as the file is
// copied, so millions of them cost no more than a block's; a shift then
// adds to the time the words before it leave, read from the block.
//
// Plain, no Qt event loop: runs on any thread, one plan per thread. The
// file is read in ranges of neighbouring records, once per step (Picks).
// A step is false, with errorString(), when the file cannot be read or a
// record or shot is not in it; the plan then holds the steps before it.
//
// Usage:
//   FbQc::EditPlan plan(fileName, report.index(), session.edits(), FbQc::EditPlan::Picks);
//   if (!plan.reject({record}, reason)) ... plan.errorString();
//   push(plan.changes());
class EditPlan : public FbFile::FbEditSource
{
    Q_DECLARE_TR_FUNCTIONS(FbQc::EditPlan)

public:
    enum Keep { Picks = 1, Words = 2 };

    EditPlan(const QString &fileName, const QVector<FbFile::ShotIndexEntry> &index, const PickEdits &edits, int keep);

    // The shots that shiftShot() numbers, when not given at construction.
    void setIndex(const QVector<FbFile::ShotIndexEntry> &index) { m_index = index; }
    // Any status but 0 and 1; false, keeping the status, otherwise.
    bool setRejectStatus(qint32 status);
    qint32 rejectStatus() const { return m_rejectStatus; }
    // fb_time's unit in seconds (default ms). Shifts and timing errors are
    // given in ms and written into the file in its own unit.
    void setSecondsPerTime(double seconds) { m_storedPerMs = 0.001 / seconds; }

    bool reject(const QVector<qint32> &records, const QString &reason);
    bool restore(const QVector<qint32> &records, const QString &reason);
    bool retime(qint32 record, float ms, const QString &reason);
    // Many picks' times in one pass over the file, neighbouring records read
    // together: as retime() of each in turn (a record given twice takes its
    // last time), but the changes listed in record order.
    bool retime(const QVector<QPair<qint32, float>> &times, const QString &reason);
    bool shiftShot(int shot, double ms, const QString &reason);
    bool fixTiming(const Report &report);
    // outliers: Outlier findings of the file (record, residual).
    bool rejectOutliers(const QVector<Finding> &outliers, double thresholdMs);
    bool rejectOutliers(const FindingList &outliers, double thresholdMs);
    // A word from an edit list, as it stands (Words only): later shifts add
    // to a time it sets.
    void addWord(const FbFile::FbEdit &word, const QString &reason);

    // Each pick whose edit the plan changed, once, in the order first
    // changed; picks it left as they were are not listed.
    QVector<PickChange> changes() const;

    // Words: the writer's source. reason(k) says why the k-th word of the
    // block last handed out was set, as the edit log says it.
    bool start(const FbFile::FbEditWriter &writer, qint64 recordCount, QString *error) override;
    void block(qint64 first, qint64 count, const char *records, QVector<FbFile::FbEdit> *edits) override;
    QString reason(int k) const;
    // Times a shift left as they were (unpicked, not a number): with Words
    // alone, counted as the words are handed out.
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
    // A step of a Words plan: a run of listed words (m_words[first ..
    // end - 1]), a shift of records first .. end - 1, or an outlier list.
    struct Step
    {
        enum Type { Listed, Shift, Outliers };
        Step(Type type, qint32 first, qint32 end) : type(type), first(first), end(end) { }
        Type type;
        qint32 first;
        qint32 end;
        double delta = 0.0;      // Shift, in fb_time's unit
        qint32 text = 0;         // Shift: reason; Outliers: threshold
        FindingList list;        // Outliers, when in record order
        QVector<Outlier> sorted; // Outliers otherwise, sorted by record
        // Where the next block starts: a word of order, a finding.
        QVector<int> order; // Listed: the run in file order
        qint64 next = 0;
    };
    qint32 text(const QString &reason);
    Step &listedStep();
    void put(const FbFile::FbEdit &edit, const Why &why, QVector<FbFile::FbEdit> *edits);
    // Calls visit(record, file's record) for the given records (ascending).
    template<typename Visit>
    bool read(const QVector<qint32> &records, Visit visit);
    PickEdit current(qint32 record, const FbFile::FbRecord &file) const;
    void change(qint32 record, const FbFile::FbRecord &file, const PickEdit &after);
    void word(const FbFile::FbEdit &edit, const Why &why);
    bool fail(const QString &why);

    QString m_fileName;
    QVector<FbFile::ShotIndexEntry> m_index;
    PickEdits m_base;
    int m_keep;
    qint32 m_rejectStatus;
    double m_storedPerMs = 1.0;
    QVector<PickChange> m_changes;
    QHash<qint32, int> m_changeOf; // record -> its entry of m_changes
    QVector<FbFile::FbEdit> m_words;
    QVector<Why> m_whys;
    QStringList m_texts;
    QHash<QString, qint32> m_textIndex;
    QVector<Step> m_steps;
    QVector<Why> m_blockWhys;    // of the block last handed out
    QVector<float> m_blockTimes; // fb_time of its records as the steps so far leave it
    qint64 m_blockFirst = 0;
    qint64 m_keptTimes = 0;
    QString m_error;
};

} // namespace FbQc

Q_DECLARE_TYPEINFO(FbQc::PickChange, Q_MOVABLE_TYPE);

#endif // FBQC_EDITPLAN_H
