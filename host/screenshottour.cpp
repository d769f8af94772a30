#include "screenshottour.h"

#include "mainwindow.h"

#include <SorvBase/sorvhelpwindow.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QWindow>

namespace {

// How long a window must stay free of progress indicators to count as done.
constexpr int quietMs = 500;

// Closes a window the way its own Close or Cancel would, after the current
// event: a modal dialog returns from its exec() only once its caller runs on.
void closeLater(QWidget *window)
{
    if (!window || !window->isVisible())
        return;
    if (qobject_cast<QMessageBox *>(window))
        QMetaObject::invokeMethod(window, "accept", Qt::QueuedConnection);
    else if (qobject_cast<QDialog *>(window))
        QMetaObject::invokeMethod(window, "reject", Qt::QueuedConnection);
    else
        QMetaObject::invokeMethod(window, "close", Qt::QueuedConnection);
}

bool isGone(const QWidget *window)
{
    return !window || !window->isVisible();
}

} // namespace

ScreenshotTour::ScreenshotTour(MainWindow *window, const QString &dir, QObject *parent)
    : QObject(parent), m_window(window), m_dir(dir)
{
    m_timer.setInterval(50);
    connect(&m_timer, &QTimer::timeout, this, &ScreenshotTour::poll);
}

void ScreenshotTour::start()
{
    if (!m_dir.mkpath(QStringLiteral("."))) {
        m_errors << tr("cannot make the folder %1").arg(QDir::toNativeSeparators(m_dir.absolutePath()));
        enter(Stage::Done);
        return;
    }
    enter(Stage::Main);
    m_timer.start();
}

void ScreenshotTour::enter(Stage stage)
{
    m_stage = stage;
    m_sinceStage.start();
    m_quiet.invalidate();
    if (stage == Stage::Help)
        QMetaObject::invokeMethod(m_window, "showUserGuide", Qt::QueuedConnection);
    if (stage == Stage::Done) {
        m_timer.stop();
        emit finished(m_errors.isEmpty());
    }
}

void ScreenshotTour::poll()
{
    switch (m_stage) {
    case Stage::Main:
        if (settled()) {
            shoot(m_window);
            enter(Stage::Command);
        } else if (expired(tr("the main window"))) {
            enter(Stage::Done);
        }
        return;
    case Stage::Command:
        beginCommand();
        return;
    case Stage::First:
    case Stage::Second: {
        QPointer<QWidget> &current = m_stage == Stage::First ? m_first : m_second;
        if (!current) {
            QWidget *window = newWindow();
            if (auto *box = qobject_cast<QMessageBox *>(window)) {
                // A warning on the way: taken, answered, and the command goes on.
                shoot(box);
                closeLater(box);
                m_known << box;
            } else if (window) {
                current = window;
                m_quiet.invalidate();
            } else if (expired(m_stage == Stage::First ? tr("the window of \"%1\"").arg(m_commandName)
                                                       : tr("the window that OK opens in \"%1\"").arg(m_commandName))) {
                closeCommandWindows();
            }
            return;
        }
        if (!settled()) {
            if (expired(current->windowTitle()))
                closeCommandWindows();
            return;
        }
        shoot(current);
        // A modal dialog asks for something before it shows its result: go
        // on with its default button, as a user pressing Enter would.
        QPushButton *defaultButton = nullptr;
        if (m_stage == Stage::First && current->isModal()) {
            const QList<QPushButton *> buttons = current->findChildren<QPushButton *>();
            for (QPushButton *button : buttons) {
                if (button->isDefault() && button->isEnabled() && button->isVisible())
                    defaultButton = button;
            }
        }
        if (defaultButton) {
            m_known = visibleWindows();
            QMetaObject::invokeMethod(defaultButton, "click", Qt::QueuedConnection);
            enter(Stage::Second);
        } else {
            closeCommandWindows();
        }
        return;
    }
    case Stage::Help: {
        SorvHelpWindow *help = SorvHelpWindow::instance();
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            // No help installed: the box says where it was looked for.
            m_errors << box->text();
            closeLater(box);
            enter(Stage::Done);
        } else if (help->isVisible() && settled()) {
            shoot(help);
            help->close();
            enter(Stage::Done);
        } else if (expired(tr("the help window"))) {
            enter(Stage::Done);
        }
        return;
    }
    case Stage::Done:
        return;
    }
}

void ScreenshotTour::beginCommand()
{
    // The last command's windows go first; a modal one returns from its
    // exec() only after its caller has run on.
    if (!isGone(m_second)) {
        closeLater(m_second);
        return;
    }
    if (!isGone(m_first)) {
        closeLater(m_first);
        return;
    }
    m_first.clear();
    m_second.clear();
    const QVector<QAction *> actions = m_window->pluginActions();
    if (m_command >= actions.size()) {
        enter(Stage::Help);
        return;
    }
    QAction *action = actions.at(m_command++);
    m_commandName = action->text();
    m_known = visibleWindows();
    if (!action->isEnabled()) {
        m_errors << tr("\"%1\" is disabled").arg(action->text());
        return;
    }
    // Queued: a command that runs a modal dialog returns only when it closes.
    QMetaObject::invokeMethod(action, "trigger", Qt::QueuedConnection);
    enter(Stage::First);
}

void ScreenshotTour::closeCommandWindows()
{
    // beginCommand() closes them, the second first, and waits for each.
    enter(Stage::Command);
}

bool ScreenshotTour::shoot(QWidget *window)
{
    QString name = window == m_window ? QStringLiteral("sorv") : window->objectName().toLower();
    if (name.isEmpty())
        name = QString::fromLatin1(window->metaObject()->className()).toLower();
    QString path = m_dir.absoluteFilePath(name + QStringLiteral(".png"));
    for (int n = 2; m_written.contains(path); ++n)
        path = m_dir.absoluteFilePath(QStringLiteral("%1-%2.png").arg(name).arg(n));
    if (!window->grab().save(path, "PNG")) {
        m_errors << tr("cannot write %1").arg(QDir::toNativeSeparators(path));
        return false;
    }
    m_written << path;
    emit shot(path);
    return true;
}

bool ScreenshotTour::settled()
{
    bool busy = false;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (!window->isVisible())
            continue;
        if (qobject_cast<QProgressDialog *>(window))
            busy = true;
        const QList<QProgressBar *> bars = window->findChildren<QProgressBar *>();
        for (QProgressBar *bar : bars)
            busy = busy || bar->isVisible();
        if (window->windowHandle() && !window->windowHandle()->isExposed())
            busy = true;
    }
    if (busy || !m_quiet.isValid())
        m_quiet.start();
    return !busy && m_quiet.elapsed() >= quietMs;
}

bool ScreenshotTour::expired(const QString &what)
{
    if (m_sinceStage.elapsed() < m_limitMs)
        return false;
    m_errors << tr("%1 did not appear or settle within %2 s").arg(what).arg(m_limitMs / 1000);
    return true;
}

QWidget *ScreenshotTour::newWindow() const
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        const Qt::WindowType type = window->windowType();
        if (window->isVisible() && (type == Qt::Window || type == Qt::Dialog) && window != m_window &&
            window != m_first && !m_known.contains(window) && !qobject_cast<QProgressDialog *>(window))
            return window;
    }
    return nullptr;
}

QSet<QWidget *> ScreenshotTour::visibleWindows() const
{
    QSet<QWidget *> windows;
    const QWidgetList all = QApplication::topLevelWidgets();
    for (QWidget *window : all) {
        if (window->isVisible())
            windows << window;
    }
    return windows;
}
