#ifndef TRACEFILLER_H
#define TRACEFILLER_H

#include <fbqc/onsetpicker.h>
#include "progressrow.h"
#include "qcdocument.h"
#include <fbtrace/tracematch.h>

#include <QObject>
#include <QPair>
#include <QVector>

#include <memory>

namespace FbQc {
class LatestJob;
}
class QAction;
class QWidget;
namespace FbTrace {
class TraceDataSet;
}

// Picks for the traces nobody picked, read from the waveforms: a record
// whose time marks an unpicked trace (0 or less away from the source) and
// whose trace is matched takes that trace's onset, found by the onset
// picker over the whole shot (FbQc::pickGather, guided by its
// neighbours' onsets). Only confident onsets are taken; a doubtful one
// leaves its trace unpicked and is counted, as is a record with no trace.
// Picks already made are never changed.
struct TraceFill
{
    QVector<QPair<qint32, float>> times; // file record, new time in ms
    qint64 unpicked = 0;                 // records that were unpicked
    qint64 doubtful = 0;                 // of those, traces whose onset is not confident
    qint64 withoutTrace = 0;             // of those, records with no matched trace

    // Fills one shot: its records (as the edits leave them) from file record
    // firstRecord on, its gather, and each record's trace (rowTrace[i], -1:
    // none). The picker sees the records' offsets (metresPerOffset: their
    // unit), not the headers'. Appends to this, so that shots add up.
    void addShot(const QVector<FbFile::FbRecord> &records, qint32 firstRecord, const FbTrace::ShotGather &gather,
                 const QVector<int> &rowTrace, double metresPerOffset, const FbQc::OnsetPickerSettings &settings = {});
    void add(const TraceFill &other);
};

// "Pick This Shot" and "Pick the File" of the traces panel: the unpicked
// traces of the shot shown (at once) or of every shot (off the UI thread on
// the pool's threads, with progress and Cancel; a shot's traces in memory
// per thread) filled by TraceFill, and set as one step of the document's
// edits (undo takes them all back). What was filled and left is said
// through message(). The file's result is the same for every number of
// threads: shots are filled in parallel and their picks taken in shot order.
//
// Object names: tracePickShot, tracePickFile (the actions, also in the
// gather view's context menu), tracePickProgress, tracePickCancel.
//
//   auto *filler = new TraceFiller(document, view, this);
//   layout->addWidget(filler->progressRow());
//   filler->setDataSet(data, match);         // traces opened
//   filler->setShot(shot, gather, rowTrace); // the shot shown
class TraceFiller : public QObject
{
    Q_OBJECT

public:
    TraceFiller(QcDocument *document, QWidget *view, QObject *parent = nullptr);
    ~TraceFiller() override;

    void setDataSet(std::shared_ptr<const FbTrace::TraceDataSet> data, const FbTrace::TraceMatchSettings &match);
    // The shot shown with its traces; shot -1: none.
    void setShot(int shot, const FbTrace::ShotGather &gather, const QVector<int> &rowTrace);
    QWidget *progressRow() const { return m_progressRow; }
    QAction *pickShotAction() const { return m_pickShot; }
    QAction *pickFileAction() const { return m_pickFile; }

    void pickShot();
    void pickFile();
    void cancel();
    bool isPicking() const;

signals:
    void message(const QString &text, bool error);

private:
    void apply(const TraceFill &fill, const QString &step, const QString &where);
    void updateActions();

    QcDocument *m_document;
    std::shared_ptr<const FbTrace::TraceDataSet> m_data;
    FbTrace::TraceMatchSettings m_match;
    int m_shot = -1;
    FbTrace::ShotGather m_gather;
    QVector<int> m_rowTrace;

    FbQc::LatestJob *m_job = nullptr;
    ProgressRow *m_progressRow = nullptr;
    QAction *m_pickShot = nullptr;
    QAction *m_pickFile = nullptr;
};

#endif // TRACEFILLER_H
