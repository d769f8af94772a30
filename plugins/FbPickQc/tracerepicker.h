#ifndef TRACEREPICKER_H
#define TRACEREPICKER_H

#include "progressrow.h"
#include "qcdocument.h"
#include <fbqc/repick.h>
#include <fbtrace/tracematch.h>

#include <QHash>
#include <QObject>

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
class QAction;
class QWidget;
namespace FbTrace {
class TraceDataSet;
}

// Picks changed from the traces panel, each change one step of the QC
// window's edits (undo, the corrected copy and its log, the verdicts judged
// again): what the gather view's gestures and keys ask for (a click, a line
// drawn, a nudge, reject and restore) becomes an edit of the document's
// session; nothing else changes a pick.
//
// Suggestions: "Re-pick Outliers" proposes new times, read from the traces
// (FbQc::suggestRepicks), for the flagged picks of the shot shown
// (at once) or of the whole file (off the UI thread, with progress and
// Cancel; one shot's traces in memory at a time). They are drawn beside
// their picks until Accept Suggestions sets them all as one step, or
// Dismiss drops them; a new file drops them too.
//
// The actions are the menu of the panel's Pick button. Object names:
// traceRepickShot, traceRepickFile, traceAcceptSuggestions,
// traceDismissSuggestions (the actions), traceRepickProgress,
// traceRepickCancel.
//
//   auto *repicker = new TraceRepicker(document, gatherPanel, this);
//   layout->addWidget(repicker->progressRow());
//   repicker->setDataSet(data, match);           // traces opened
//   repicker->setShot(shot, firstRecord);        // after view->setShot()
class TraceRepicker : public QObject
{
    Q_OBJECT

public:
    TraceRepicker(QcDocument *document, FbView::GatherPanel *panel, QObject *parent = nullptr);
    ~TraceRepicker() override;

    void setDataSet(std::shared_ptr<const FbTrace::TraceDataSet> data, const FbTrace::TraceMatchSettings &match);
    // The view shows the records of shot from file record firstRecord on.
    void setShot(int shot, qint32 firstRecord);
    // The shot's traces are gone from the view.
    void clearShot();
    QWidget *progressRow() const { return m_progressRow; }

    // The new times proposed, by file record.
    int suggestionCount() const { return m_suggested.size(); }
    void suggestForShot();
    void suggestForFile();
    bool isSuggesting() const;
    void acceptSuggestions();
    void dismissSuggestions();

signals:
    void message(const QString &text, bool error);

private:
    struct Proposed
    {
        double oldMs;
        double newMs;
    };
    FbView::GatherView *view() const;
    bool shotShown() const;
    qint32 recordOf(int row) const { return m_firstRecord + row; }
    void onTimesPicked(const QVector<int> &rows, const QVector<double> &timesMs, int gesture);
    void showSuggestions();
    void updateActions();
    void said(int count, bool file);

    QcDocument *m_document;
    FbView::GatherPanel *m_panel;
    std::shared_ptr<const FbTrace::TraceDataSet> m_data;
    FbTrace::TraceMatchSettings m_match;
    int m_shot = -1;
    qint32 m_firstRecord = -1;
    QHash<qint32, Proposed> m_suggested;

    FbQc::LatestJob *m_job = nullptr;
    ProgressRow *m_progressRow = nullptr;
    QAction *m_forShot = nullptr;
    QAction *m_forFile = nullptr;
    QAction *m_accept = nullptr;
    QAction *m_dismiss = nullptr;
};

#endif // TRACEREPICKER_H
