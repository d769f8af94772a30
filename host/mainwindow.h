#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QVector>

class PluginRegistry;
class QAction;
class QLabel;
class QMenu;
class QToolBar;

// The host's window: the plug-ins' actions in a menu and on a toolbar,
// the project commands, and the list of libraries found. Closing it (File >
// Quit) closes every other window of the application first; when one of
// them stays open (its user cancelled), the host stays open too.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The registry must outlive the window; its loaded plug-ins give the
    // actions, which the window owns.
    explicit MainWindow(const PluginRegistry &registry, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The plug-ins' actions in menu order.
    QVector<QAction *> pluginActions() const { return m_pluginActions; }

public slots:
    void openProject();
    void closeProject();
    void showAboutPlugins();
    // The help index, in the user-interface language where it is translated.
    void showUserGuide();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void projectChanged();

private:
    void createPluginActions();

    const PluginRegistry &m_registry;
    QMenu *m_pluginMenu = nullptr;
    QToolBar *m_pluginToolBar = nullptr;
    QAction *m_closeProjectAction = nullptr;
    QLabel *m_projectLabel = nullptr;
    QVector<QAction *> m_pluginActions;
    // Actions of the plug-ins that only work inside an open project.
    QVector<QAction *> m_projectActions;
};

#endif // MAINWINDOW_H
