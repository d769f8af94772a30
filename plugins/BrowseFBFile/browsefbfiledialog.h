#ifndef BROWSEFBFILEDIALOG_H
#define BROWSEFBFILEDIALOG_H

#include "fbfileinfo.h"
#include <fbfile/shotindex.h>

#include <SorvBase/sorvdialog.h>

#include <QDateTime>
#include <QString>
#include <QVector>

namespace Ui {
class BrowseFBFileDialog;
}

// Asks for an FB file and the viewer's fast step, keeps both per project,
// indexes the file once per name (again only when it changed on disk) and
// opens the shot viewer on it. The dialog stays open after each viewer run,
// for the same file or another.
class BrowseFBFileDialog : public SorvDialog
{
    Q_OBJECT

public:
    explicit BrowseFBFileDialog(QWidget *parent = nullptr);
    ~BrowseFBFileDialog() override;

protected:
    QString helpIndex() const override;

private slots:
    void on_fbName_textChanged();
    void on_openButton_clicked();
    void on_fastStep_valueChanged();
    // Loads the file when its name changed, then runs the viewer; never
    // closes the dialog.
    void accept() override;

private:
    void loadSettings();
    void saveSettings();
    void updateWidgets();
    // Builds shotIndex and the file's summary in fbInfo. False, with an
    // empty index and the summary untouched, when the file cannot be read.
    bool loadFbFile();
    // The file still has the size and modification time it had when
    // shotIndex was built from it.
    bool unchangedSinceIndexed() const;

    Ui::BrowseFBFileDialog *ui;
    FbFileInfo fbInfo;
    QString projectDir;
    QString lastFbName; // the file whose index shotIndex holds
    QVector<FbFile::ShotIndexEntry> shotIndex;
    qint64 indexedSize = -1; // the file as shotIndex was built from it
    QDateTime indexedModified;

    friend class BrowseFBFileDialogTest;
};

#endif // BROWSEFBFILEDIALOG_H
