#ifndef SORVDIALOG_H
#define SORVDIALOG_H

#include <SorvBase/sorvbase_global.h>

#include <QDialog>
#include <QString>

// Base of every plug-in dialog and window. It adds the suite's help key,
// opens every dialog wholly on the screen over the window the user is
// working in, and remembers, where asked, a window's size and place.
class SORVBASE_EXPORT SorvDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SorvDialog(QWidget *parent = nullptr);
    ~SorvDialog() override;

    // Opens the help page named page (index.html when empty) in the
    // application's help window (SorvHelpWindow) the way F1 does, for
    // windows of a plug-in that are no SorvDialog:
    //
    //     SorvDialog::openHelpPage(QStringLiteral("mywindow.html"), this);
    //
    // Under a Chinese user-interface locale (QLocale()) the page of the
    // zh_CN subfolder is preferred, else the English one is used. When
    // neither exists, the help window opens saying so, with the page and
    // the folders searched, and false is returned; false too, the window
    // giving the reason, when the page cannot be read.
    static bool openHelpPage(const QString &page, QWidget *parent);
    // Absolute path of the page that openHelpPage() would open, or empty.
    static QString helpPagePath(const QString &page);

protected:
    // F1 opens the dialog's help page (helpIndex(), or the index when the
    // dialog names none) through openHelpPage(). Every other key goes on to
    // QDialog, so Enter reaches the default button and Escape rejects.
    void keyPressEvent(QKeyEvent *event) override;
    // On its first showing, the dialog is centred on its parent's window, or
    // without a parent on the application's active window (the host's main
    // window, or the dialog that opened it), and shrunk where needed to lie
    // wholly on that window's screen (SorvBaseUtil::placeOnScreen()). A
    // dialog whose place was set before it was shown, such as one restored
    // by rememberGeometry(), keeps it, brought inside the screen. Later
    // showings keep wherever the user moved it.
    void showEvent(QShowEvent *event) override;
    // Stores the size and place for rememberGeometry().
    void hideEvent(QHideEvent *event) override;

    // Keeps the dialog's size and place for the user under key, in the
    // application's settings (QSettings, with the organisation and
    // application names that the host sets): restores those last stored
    // now, if any, and stores them whenever the dialog is hidden or closed.
    // Call it in the constructor, after the default size is set:
    //
    //     resize(1000, 700);
    //     rememberGeometry(QStringLiteral("MyWindow"));
    void rememberGeometry(const QString &key);

    // File name of the dialog's page in the help folder; empty for none,
    // and F1 then opens the index.
    virtual QString helpIndex() const;

private:
    // The rememberGeometry() key is kept as a property, not a member: the
    // class keeps its size, so plug-ins built against an earlier SDK load.
    QString geometrySetting() const;

    bool m_placed = false;
};

#endif // SORVDIALOG_H
