#ifndef FBQC_QCSESSION_H
#define FBQC_QCSESSION_H

#include <fbqc/editplan.h>
#include <fbqc/pickqc.h>

#include <QCoreApplication>
#include <QString>
#include <QVector>

#include <atomic>
#include <memory>

// One judged file and the user's edits of its picks: the report as the pass
// made it, judged again as edits and thresholds change, without reading
// the whole file again.
//
// Promises: after any sequence of setEdits() and setThresholds(), report()
// holds what a fresh pass with those thresholds over a copy of the file
// corrected by edits() would find (findings, shot summaries, pick counts,
// compared pairs and repeats, timing estimates), as long as the edits only
// change picks the file has: a pick restored does not bring back a pair
// the file never compared (the receivers the pass collected for the map
// and their residuals stay as the file gave them; the receivers' statics
// the timing errors use follow the edits). Only what the change can reach is
// judged again: the shots whose picks changed, their pairs with their
// partners, then the timing errors and flagged pairs of the whole file.
//
// A copy shares the report's lists until one of the two changes: the
// window copies the session it shows and judges the copy on a worker.
// One session is for one thread at a time. setEdits() and setThresholds()
// that fail (the file cannot be read, a list cannot be kept on disk, a
// cancel) leave the session half judged: drop it and keep the one shown.
//
// Usage:
//   FbQc::QcSession session;
//   session.load(fileName, std::move(report));      // as Analyzer::run() left it
//   FbQc::EditPlan plan(fileName, session.report().index(), session.edits(), FbQc::EditPlan::Picks);
//   plan.reject({record}, reason);
//   FbQc::PickEdits edits = session.edits();
//   for (const FbQc::PickChange &c : plan.changes()) edits.insert(c.record, c.after);
//   if (!session.setEdits(edits, &error)) ...;
//   if (!session.setThresholds(4.0, 3.0)) ... run the pass again;
namespace FbQc {

class QcSession
{
    Q_DECLARE_TR_FUNCTIONS(FbQc::QcSession)

public:
    // Edited shots are judged a batch at a time, about this many findings
    // of their own each; a cancel is heard between batches.
    static constexpr qint64 DefaultBatchFindings = 65536;

    QcSession();

    // A report the pass made of fileName, with no edit.
    void load(const QString &fileName, Report report);
    // A report of fileName that holds the verdicts of edits already, as a
    // window shows it; filePairs/fileRepeats: what the pass compared in the
    // file itself (pairs an edit ended come back from them).
    void resume(const QString &fileName, Report report, const PickEdits &edits,
                const QVector<ReciprocalPair> &filePairs, const QVector<RepeatPair> &fileRepeats);

    const QString &fileName() const { return m_fileName; }
    const Report &report() const { return m_report; }
    // The report, leaving the session empty.
    Report takeReport();
    // The edits report() holds the verdicts of.
    const PickEdits &edits() const { return m_edits; }
    const QVector<ReciprocalPair> &filePairs() const { return m_filePairs; }
    const QVector<RepeatPair> &fileRepeats() const { return m_fileRepeats; }

    // Tests set it small to judge one shot at a time.
    void setBatchFindings(qint64 findings) { m_batchFindings = findings; }

    // Judges again with the edits as they now stand: the shots whose picks
    // differ from those report() was judged with. False with *error.
    bool setEdits(const PickEdits &edits, QString *error, const FbFile::Progress &progress = FbFile::Progress());
    // New thresholds, from what the pass kept; false, with nothing changed,
    // when the outlier threshold is below the report's candidate floor:
    // the file must be judged again by the pass.
    bool setThresholds(double outlierMs, double reciprocityMs);

    // The shot (0-based) of index that holds record, or -1.
    static int shotOf(const QVector<FbFile::ShotIndexEntry> &index, qint32 record);
    // The records of shot as edits() leaves them (read from the file).
    QVector<FbFile::FbRecord> records(int shot) const;

    // The shots (ascending) of index whose picks differ between a and b.
    static QVector<qint32> changedShots(const PickEdits &a, const PickEdits &b,
                                        const QVector<FbFile::ShotIndexEntry> &index);

private:
    bool judgeShots(const QVector<qint32> &shots, const PickEdits &after, QString *error,
                    const FbFile::Progress &progress);

    QString m_fileName;
    Report m_report;
    PickEdits m_edits;
    QVector<ReciprocalPair> m_filePairs;
    QVector<RepeatPair> m_fileRepeats;
    qint64 m_batchFindings = DefaultBatchFindings;
};

} // namespace FbQc

#endif // FBQC_QCSESSION_H
