#ifndef TRACESPANEL_H
#define TRACESPANEL_H

#include "qcdocument.h"
#include <fbtrace/tracematch.h>
#include "tracessource.h"
#include <fbqc/waveformqc.h>

#include <QWidget>

#include <memory>

namespace FbView {
class GatherPanel;
}
namespace FbView {
class GatherView;
}
namespace FbQc {
class LatestJob;
}
class ProgressRow;
class QLabel;
class QPushButton;
namespace FbTrace {
class TraceDataSet;
}
class TraceFiller;

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
// A panel short of height (a small screen's tab) gives the gather the
// height: its controls go beside it and the status line keeps to one line
// (the whole of it in its tool tip).
//
// With no traces open an "Open Traces..." button (traceOpen) asks for them.
// Beside the shot (setSlimWhenEmpty), such a panel gives its width to the
// shot: a slim strip of a short hint and the button instead of an empty
// gather.
//
// The traces nobody picked are filled from their onsets by the TraceFiller
// ("Pick This Shot", "Pick the File" in the gather's context menu), as
// edits of the document's session.
//
// With traces open and matched, every matched pick of the data shown is
// judged against its trace (FbQc::WaveformJudge, off the UI thread with
// progress and Cancel) and the findings (off the onset, cycle skips, weak
// first breaks) join the problem list through the document; whenever the
// document shows other verdicts (an edit judged, new thresholds), they are
// judged again.

// Picks are changed from the traces by the TraceRepicker (the view's
// gestures and keys, suggestions), as edits of the document's session.
//
// Selection goes through the document: a click on a picked trace asks the
// document to select that record; the record the document selects is
// marked in the traces.
//
// The status line (traceStatus) never guesses: it says that no traces are
// open, that a shot has none, how many picks have no trace and traces no
// pick, names a data set that matches no pick of the file, and says when
// the traces look shifted against the picks by a constant (measured on the
// picks' onsets, never applied).
class TracesPanel : public QWidget
{
    Q_OBJECT

public:
    explicit TracesPanel(QcDocument *document, QWidget *parent = nullptr);
    ~TracesPanel() override;

    FbView::GatherPanel *gatherPanel() const { return m_gather; }
    FbView::GatherView *view() const;
    TraceFiller *filler() const { return m_filler; }

    TraceRepicker *repicker() const { return m_repicker; }

    void openTraces(const TracesSource &source);
    // firstSampleMs NaN: the format's own time of the first sample.
    void openTraces(const QString &path, double firstSampleMs = qQNaN());
    void cancelOpening();
    bool isOpening() const;
    // The waveform checks run over the data shown.
    bool isJudging() const;
    // The data set shown, empty when none.
    QString tracesPath() const;
    // The time of the shown data set's first sample (ms), NaN when none is open.
    double firstSampleMs() const;
    // How the data set shown was read and is matched (its path empty when none is open).
    TracesSource source() const { return m_source; }
    QString status() const;
    // The shot whose traces (or whose lack of them) are shown, -1 for none.
    int shownShot() const { return m_shownShot; }
    // Whether, with no traces open, the panel narrows to a strip.
    void setSlimWhenEmpty(bool slim);
    bool isSlim() const { return m_slim; }
    // A tab's panel is short whatever its height: a window too small for
    // the panels side by side has no height to spare for the controls.
    void setInTab(bool inTab);

signals:
    // A data set was indexed and is shown; kept per project by the window.
    void opened(const TracesSource &source);
    void message(const QString &text, bool error);
    // The traces of the document's shown shot, or the reason there are none, are shown.
    void shotShown(int shot);
    // The strip's button: traces to open are asked for.
    void openRequested();
    // The panel narrowed to a strip, or widened again for the traces.
    void slimChanged(bool slim);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void setStatusText(const QString &text);
    void updateSlim();
    void updateShort();
    void requestShot();
    void showShot(const std::shared_ptr<const TracesShot> &shot);
    void matchFile();
    void judgeWaveforms();
    void showStatus();
    void onSelectionChanged(qint32 record);
    void onRowClicked(int row);

    QcDocument *m_document;
    FbView::GatherPanel *m_gather = nullptr;
    TraceFiller *m_filler = nullptr;

    TraceRepicker *m_repicker = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_openButton = nullptr;
    bool m_slimWhenEmpty = false;
    bool m_slim = false;
    bool m_inTab = false;
    QString m_statusText;
    // Short of height: the status on one line, the gather's controls beside it.
    bool m_short = false;
    ProgressRow *m_progressRow = nullptr;
    FbQc::LatestJob *m_openJob = nullptr;
    FbQc::LatestJob *m_matchJob = nullptr;
    FbQc::LatestJob *m_shotJob = nullptr;
    FbQc::LatestJob *m_waveformJob = nullptr;
    // The data shown with the waveform findings this panel judged last.
    std::shared_ptr<const QcData> m_waveformData;

    std::shared_ptr<const FbTrace::TraceDataSet> m_data;
    TracesSource m_source;
    // The whole file against the data set, for the FB file m_matchedFile.
    bool m_hasMatch = false;
    QString m_matchedFile;
    FbTrace::TraceMatchResult m_match;
    std::shared_ptr<const QVector<int>> m_traceShots; // per FB shot, its data-set shot
    FbQc::TimeShift m_shift;
    // The shot shown: its first record, and its picks and traces unmatched.
    int m_shownShot = -1;
    qint32 m_firstRecord = -1;
    QString m_shotStatus;
};

#endif // TRACESPANEL_H
