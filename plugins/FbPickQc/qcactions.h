#ifndef QCACTIONS_H
#define QCACTIONS_H

#include <QList>
#include <QObject>

class FbPickQcWindow;
class PickEditor;
class QAction;
class QMenu;
class QMenuBar;
class QwtPlot;
class QcDocument;
class ShotPanel;
class SurveyPanel;
class TracesPanel;
struct TracesSource;

// The QC window's menus and what their entries open: the File menu (open,
// open traces, the exports, the editor's save, export and import, close)
// and the editor's Edit menu, with the file dialogs they ask through.
// Dialogs start beside the loaded file, else in the project folder.
// Failures are said through message(), never in boxes.
//
// Usage:
//   auto *actions = new QcActions(window, document, shotPanel, surveyPanel, tracesPanel, editor);
//   layout->setMenuBar(actions->menuBar());
//   actions->updateActions();      // whenever a shot is shown or none is
class QcActions : public QObject
{
    Q_OBJECT

public:
    // Per-project keys of the shot records under the picks, and of the time
    // of their first sample when the user set it (absent: the format's).
    static const char *const TracesKey;
    static const char *const FirstSampleKey;
    // How they are read and matched (TracesSource's map).
    static const char *const TracesReadingKey;
    static const char *const TimeUnitKey; // fb_time's unit: ms, s or us

    QcActions(FbPickQcWindow *window, QcDocument *document, ShotPanel *shot, SurveyPanel *survey, TracesPanel *traces,
              PickEditor *editor);

    QMenuBar *menuBar() const { return m_menuBar; }
    // The exports need a shot shown.
    void updateActions();
    void openFileDialog();
    // Opens the shot records the project kept, if any.
    void reopenTraces();
    // Asks for shot records to show under the picks.
    void openTracesDialog();

signals:
    void message(const QString &text, bool error);

private:
    void addTimeUnitMenu(QMenu *fileMenu);
    // The traces the project keeps, with how they are read and matched.
    TracesSource keptTraces() const;
    void exportDialog(QwtPlot *plot, const QString &title, const QString &what);
    void exportProblemsDialog();
    QString startDir() const;

    FbPickQcWindow *m_window;
    QcDocument *m_document;
    ShotPanel *m_shot;
    SurveyPanel *m_survey;
    TracesPanel *m_traces;
    QMenuBar *m_menuBar;
    QList<QAction *> m_exportActions;
};

#endif // QCACTIONS_H
