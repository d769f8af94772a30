#ifndef STATUSAREA_H
#define STATUSAREA_H

#include "summarystack.h"

class QLabel;
class QProgressBar;
class QcDocument;

// The foot of the QC window: the file's summary, and in its place while
// work runs the judging's progress with Cancel (loading, judging again) or
// the editor's task row (a copy, an export, a plan). It follows the
// QcDocument's state; the panes above keep their size as pages change.
//
// Usage:
//   auto *foot = new StatusArea(&document, editor->taskRow());
//   layout->addWidget(foot);
class StatusArea : public SummaryStack
{
public:
    StatusArea(QcDocument *document, QWidget *taskRow);

private:
    void showState(int state);
    void showSummary();

    QcDocument *m_document;
    QWidget *m_taskRow;
    QLabel *m_summary;
    QWidget *m_loadingRow;
    QProgressBar *m_progress;
};

#endif // STATUSAREA_H
