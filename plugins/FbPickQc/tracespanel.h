#ifndef TRACESPANEL_H
#define TRACESPANEL_H

#include "qcdocument.h"
#include "tracematch.h"

#include <QWidget>

#include <memory>

class GatherPanel;
class GatherView;
class LatestJob;
class QLabel;
class QProgressBar;
class TraceDataSet;
class TraceRepicker;
struct TracesShot;

// The shot records under the QC window's picks: the gather of the shot the
// document shows (GatherPanel, view object name traceView) with its picks
// in their status colours, the fitted curve and the selected pick, and a
// line saying what is open and how the picks match the traces.
//
// openTraces() indexes a SEG-Y file or a folder of SEG-2 files off the UI
// thread with progress and Cancel (traceProgress, traceCancel); the data
// set shown stays until the new one is indexed, and stays too when the new
// one fails or is cancelled, with the reason said once through message().
// Each shot the document shows is read off the UI thread (the latest shot
// wins) with its records as the edits leave them, and matched trace by
// trace; the whole file is matched once per data set and FB file.
//
// Picks are changed from the traces by the TraceRepicker (the view's
// gestures and keys, suggestions), as edits of the document's session.
//
// Selection goes through the document: a click on a picked trace asks the
// document to select that record; the record the document selects is
// marked in the traces.
//
// The status line (traceStatus) never guesses: it says that no traces are
// open, that a shot has none, how many picks have no trace and traces no
// pick, and names a data set that matches no pick of the file.
class TracesPanel : public QWidget
{
    Q_OBJECT

public:
    explicit TracesPanel(QcDocument *document, QWidget *parent = nullptr);
    ~TracesPanel() override;

    GatherPanel *gatherPanel() const { return m_gather; }
    GatherView *view() const;
    TraceRepicker *repicker() const { return m_repicker; }

    // firstSampleMs NaN: the format's own time of the first sample.
    void openTraces(const QString &path, double firstSampleMs = qQNaN());
    void cancelOpening();
    bool isOpening() const;
    // The data set shown, empty when none.
    QString tracesPath() const;
    // The time of the shown data set's first sample (ms), NaN when none is open.
    double firstSampleMs() const;
    QString status() const;
    // The shot whose traces (or whose lack of them) are shown, -1 for none.
    int shownShot() const { return m_shownShot; }

signals:
    // A data set was indexed and is shown; kept per project by the window.
    void opened(const QString &path, double firstSampleMs);
    void message(const QString &text, bool error);
    // The traces of the document's shown shot, or the reason there are none, are shown.
    void shotShown(int shot);

private:
    void requestShot();
    void showShot(const std::shared_ptr<const TracesShot> &shot);
    void matchFile();
    void showStatus();
    void onSelectionChanged(qint32 record);
    void onRowClicked(int row);

    QcDocument *m_document;
    GatherPanel *m_gather = nullptr;
    TraceRepicker *m_repicker = nullptr;
    QLabel *m_status = nullptr;
    QWidget *m_progressRow = nullptr;
    QProgressBar *m_progress = nullptr;
    LatestJob *m_openJob = nullptr;
    LatestJob *m_matchJob = nullptr;
    LatestJob *m_shotJob = nullptr;

    std::shared_ptr<const TraceDataSet> m_data;
    double m_firstSampleMs = qQNaN();
    // The whole file against the data set, for the FB file m_matchedFile.
    bool m_hasMatch = false;
    QString m_matchedFile;
    TraceMatchResult m_match;
    // The shot shown: its first record, and its picks and traces unmatched.
    int m_shownShot = -1;
    qint32 m_firstRecord = -1;
    QString m_shotStatus;
};

#endif // TRACESPANEL_H
