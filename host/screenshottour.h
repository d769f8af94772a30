#ifndef SCREENSHOTTOUR_H
#define SCREENSHOTTOUR_H

#include <QDir>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTimer>

class MainWindow;
class QWidget;

// Walks through the host as a user would and writes a PNG of each window
// it meets, for demos and the help pages (sorv --screenshots DIR): the
// main window; then for each plug-in command, in menu order, the window it
// opens, and when that is a modal dialog, the window that its default
// button (OK) opens; last the help window on the user guide. Each picture
// is named after its window's object name in lower case, such as
// "sorv.png" for the main window, "browsefbfiledialog.png" or
// "fbpickqcwindow.png".
//
// A window is taken once it has settled: shown, with no progress dialog or
// progress bar in sight for half a second, so that a plug-in that works on
// a thread is taken with its result. Each window is closed again before the
// next command. A message box met on the way is taken too and closed.
//
//     ScreenshotTour tour(&window, dir);
//     QObject::connect(&tour, &ScreenshotTour::finished, [](bool ok) { qApp->exit(ok ? 0 : 1); });
//     tour.start();
//
// finished(false) when a command opened no window, a picture could not be
// written or a window did not settle within the time limit; the reason is
// then in errors(). The paths written are in written(), in order.
class ScreenshotTour : public QObject
{
    Q_OBJECT

public:
    ScreenshotTour(MainWindow *window, const QString &dir, QObject *parent = nullptr);

    void start();
    QStringList written() const { return m_written; }
    QStringList errors() const { return m_errors; }

    // How long one window may take to appear or to settle (ms).
    void setTimeLimit(int ms) { m_limitMs = ms; }

signals:
    // A picture was written to path.
    void shot(const QString &path);
    void finished(bool ok);

private:
    enum class Stage { Main, Command, First, Second, Help, Done };

    void poll();
    void beginCommand();
    void closeCommandWindows();
    void finishCommand();
    bool shoot(QWidget *window);
    bool settled();
    bool expired(const QString &what);
    QWidget *newWindow() const;
    QSet<QWidget *> visibleWindows() const;
    void enter(Stage stage);

    MainWindow *m_window;
    QDir m_dir;
    QTimer m_timer;
    QElapsedTimer m_sinceStage;
    QElapsedTimer m_quiet; // since a progress indicator was last in sight
    Stage m_stage = Stage::Main;
    int m_command = 0; // the next command
    QString m_commandName;
    int m_limitMs = 120000;
    QSet<QWidget *> m_known; // windows open before the current command
    QPointer<QWidget> m_first;
    QPointer<QWidget> m_second;
    QStringList m_written;
    QStringList m_errors;
};

#endif // SCREENSHOTTOUR_H
