#ifndef SORVDIALOG_H
#define SORVDIALOG_H

#include "sorvbase_global.h"

#include <QDialog>
#include <QString>

// Base of every plug-in dialog. It adds the suite's help key and places a
// dialog without a parent over the window the user is working in.
class SORVBASE_EXPORT SorvDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SorvDialog(QWidget *parent = nullptr);
    ~SorvDialog() override;

    // Opens the help page named page (index.html when empty) the way F1 does,
    // for windows of a plug-in that are no SorvDialog:
    //
    //     SorvDialog::openHelpPage(QStringLiteral("mywindow.html"), this);
    //
    // Under a Chinese user-interface locale (QLocale()) the page of the
    // zh_CN subfolder is preferred, else the English one is used. When
    // neither exists, a message box over parent names the page and the
    // folders searched, and false is returned; false too when the desktop
    // cannot open the page.
    static bool openHelpPage(const QString &page, QWidget *parent);
    // Absolute path of the page that openHelpPage() would open, or empty.
    static QString helpPagePath(const QString &page);

protected:
    // F1 opens the dialog's help page (helpIndex(), or the index when the
    // dialog names none) through openHelpPage(). Every other key goes on to
    // QDialog, so Enter reaches the default button and Escape rejects.
    void keyPressEvent(QKeyEvent *event) override;
    // On its first showing, a dialog without a parent is centred on the
    // application's active window (the host's main window, or the dialog
    // that opened it), so that it does not pop up in a corner of the screen.
    // Later showings keep wherever the user moved it.
    void showEvent(QShowEvent *event) override;

    // File name of the dialog's page in the help folder; empty for none,
    // and F1 then opens the index.
    virtual QString helpIndex() const;

private:
    bool m_placed = false;
};

#endif // SORVDIALOG_H
