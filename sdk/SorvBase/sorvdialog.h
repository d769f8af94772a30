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

protected:
    // F1 opens the dialog's help page (helpIndex()) from the suite's help
    // folder, or says that none is installed. Every other key goes on to
    // QDialog, so Enter reaches the default button and Escape rejects.
    void keyPressEvent(QKeyEvent *event) override;
    // On its first showing, a dialog without a parent is centred on the
    // application's active window (the host's main window, or the dialog
    // that opened it), so that it does not pop up in a corner of the screen.
    // Later showings keep wherever the user moved it.
    void showEvent(QShowEvent *event) override;

    // File name of the dialog's page in the help folder; empty for none.
    virtual QString helpIndex() const;

private:
    bool m_placed = false;
};

#endif // SORVDIALOG_H
