#ifndef SORVHELPWINDOW_H
#define SORVHELPWINDOW_H

#include <SorvBase/sorvbase_global.h>

#include <QString>
#include <QWidget>

QT_BEGIN_NAMESPACE
class QAction;
class QLabel;
class QTextBrowser;
class QUrl;
QT_END_NAMESPACE

// The application's one help window: the suite's help pages shown inside
// the application, so that help needs no web browser. Back, Forward and
// Home (the index page of the user-interface language) move through the
// pages; "Open in Browser" hands the page to the system's browser and is
// shown only while one can be started (xdg-open on the PATH). Links to
// other help pages open in the window; a link to a page that cannot be
// read, or to the web without a browser, says why in the window.
//
// Plug-ins reach it through SorvDialog::openHelpPage(), which finds the
// page in the help folders:
//
//     SorvDialog::openHelpPage(QStringLiteral("mywindow.html"), this);
//
// The window is made on first use and reused, raised, by every later call.
// While a modal dialog runs, the window is made that dialog's child, so
// that it takes input beside it, and stands on its own again when the
// dialog closes. Esc, Ctrl+W and its Close button close it as a dialog
// closes. Closing the window hides it; it keeps its place and history for
// the next call.
class SORVBASE_EXPORT SorvHelpWindow : public QWidget
{
    Q_OBJECT

public:
    // The one window, made with no parent on the first call.
    static SorvHelpWindow *instance();

    // Shows the page at the absolute path `path`, and shows and raises the
    // window; on its first showing it is placed over `anchor`'s window (or
    // the active window). Returns false, leaving the window as it was, when
    // the file cannot be read; errorString() then gives the reason.
    bool showPage(const QString &path, QWidget *anchor = nullptr);
    QString errorString() const;
    // Shows and raises the window, as showPage() does, with text over the
    // help index: why the page asked for is not there, said without holding
    // up the window that asked.
    void showNote(const QString &text, QWidget *anchor = nullptr);

    // The page shown, as a file URL; empty before the first page.
    QUrl source() const;

    // Whether a system browser can be started for "Open in Browser".
    static bool systemBrowserAvailable();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit SorvHelpWindow(QWidget *parent = nullptr);

    void followLink(const QUrl &url);
    void goHome();
    void openInBrowser();
    void pageChanged();
    void present(QWidget *anchor);
    void adopt(QWidget *owner);
    void showMessage(const QString &text);

    QTextBrowser *m_browser = nullptr;
    QLabel *m_message = nullptr;
    QAction *m_back = nullptr;
    QAction *m_forward = nullptr;
    QAction *m_home = nullptr;
    QAction *m_openInBrowser = nullptr;
    QString m_error;
    bool m_placed = false;
};

#endif // SORVHELPWINDOW_H
