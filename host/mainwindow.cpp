#include "mainwindow.h"

#include "aboutpluginsdialog.h"
#include "pluginregistry.h"

#include <SorvBase/sorvdialog.h>
#include <SorvPlugins/sorvgeneralplugin.h>
#include <SorvBase/sorvprojectmanager.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>

MainWindow::MainWindow(const PluginRegistry &registry, QWidget *parent) : QMainWindow(parent), m_registry(registry)
{
    QMenu *fileMenu = menuBar()->addMenu(tr("&File"));
    QAction *openAction = fileMenu->addAction(tr("&Open Project..."), this, &MainWindow::openProject);
    openAction->setShortcut(QKeySequence::Open);
    m_closeProjectAction = fileMenu->addAction(tr("&Close Project"), this, &MainWindow::closeProject);
    fileMenu->addSeparator();
    QAction *quitAction = fileMenu->addAction(tr("&Quit"), this, &QWidget::close);
    quitAction->setObjectName(QStringLiteral("quitAction"));
    quitAction->setShortcut(QKeySequence::Quit);

    m_pluginMenu = menuBar()->addMenu(tr("&Plug-ins"));
    m_pluginToolBar = addToolBar(tr("Plug-ins"));
    m_pluginToolBar->setObjectName(QStringLiteral("pluginToolBar"));
    m_pluginToolBar->setIconSize(QSize(24, 24));
    m_pluginToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    QMenu *helpMenu = menuBar()->addMenu(tr("&Help"));
    QAction *guideAction = helpMenu->addAction(tr("&User Guide"), this, &MainWindow::showUserGuide);
    guideAction->setShortcut(QKeySequence::HelpContents);
    helpMenu->addSeparator();
    helpMenu->addAction(tr("About &Plug-ins..."), this, &MainWindow::showAboutPlugins);

    m_projectLabel = new QLabel(this);
    m_projectLabel->setAlignment(Qt::AlignCenter);
    m_projectLabel->setMargin(24);
    setCentralWidget(m_projectLabel);

    createPluginActions();

    connect(&SorvProjectManager::instance(), &SorvProjectManager::projectChanged, this, &MainWindow::projectChanged);
    projectChanged();
    resize(640, 360);
}

MainWindow::~MainWindow() = default;

void MainWindow::closeEvent(QCloseEvent *event)
{
    // Quitting closes every other window first, each as its own close
    // would: one with unsaved work asks, and a cancel there keeps sorv open.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window == this || !window->isVisible())
            continue;
        if (!window->close() && window->isVisible()) {
            event->ignore();
            return;
        }
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::createPluginActions()
{
    const QVector<PluginRecord> loaded = m_registry.loadedInMenuOrder();
    for (const PluginRecord &record : loaded) {
        QAction *action = record.plugin->createAction();
        if (!action)
            continue;
        // The plug-in hands the action over; the window's children die with it.
        action->setParent(this);
        m_pluginMenu->addAction(action);
        m_pluginToolBar->addAction(action);
        m_pluginActions << action;
        if (record.needProject)
            m_projectActions << action;
    }
    if (m_pluginActions.isEmpty()) {
        QAction *none = m_pluginMenu->addAction(tr("No plug-in loaded"));
        none->setEnabled(false);
    }

    int failed = 0;
    for (const PluginRecord &record : m_registry.records()) {
        if (record.status != PluginRecord::Loaded)
            ++failed;
    }
    const QString loadedText = tr("Plug-ins loaded: %1").arg(m_pluginActions.size());
    statusBar()->showMessage(
        failed == 0 ? loadedText : tr("%1; libraries refused: %2 (Help > About Plug-ins)").arg(loadedText).arg(failed));
}

void MainWindow::openProject()
{
    const QString start = SorvProjectManager::instance().define().projectDir;
    const QString dir =
        QFileDialog::getExistingDirectory(this, tr("Open Project"), start.isEmpty() ? QDir::homePath() : start);
    if (dir.isEmpty())
        return;
    if (!SorvProjectManager::instance().openProject(dir))
        QMessageBox::warning(this, tr("Open Project"), tr("%1 is not a folder that can be opened.").arg(dir));
}

void MainWindow::closeProject()
{
    SorvProjectManager::instance().closeProject();
}

void MainWindow::showAboutPlugins()
{
    AboutPluginsDialog dialog(m_registry, this);
    dialog.exec();
}

void MainWindow::showUserGuide()
{
    SorvDialog::openHelpPage(QStringLiteral("index.html"), this);
}

void MainWindow::projectChanged()
{
    const SorvProjectDefine &project = SorvProjectManager::instance().define();
    const bool open = SorvProjectManager::instance().isProjectOpen();
    setWindowTitle(open ? tr("%1 - Sorv").arg(project.projectName) : tr("Sorv (no project)"));
    m_projectLabel->setText(open ? tr("Project: %1").arg(QDir::toNativeSeparators(project.projectDir))
                                 : tr("No project is open. File > Open Project... opens a folder as a project."));
    m_closeProjectAction->setEnabled(open);
    for (QAction *action : qAsConst(m_projectActions))
        action->setEnabled(open);
}
