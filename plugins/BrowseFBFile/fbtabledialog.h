#ifndef FBTABLEDIALOG_H
#define FBTABLEDIALOG_H

#include <fbfile/fblayout.h>
#include "fbfileinfo.h"
#include <fbfile/shotindex.h>

#include <SorvBase/sorvdialog.h>

#include <QStringList>
#include <QVector>

class QStandardItemModel;

namespace Ui {
class fbTableDialog;
}

// The viewer of one FB file: a summary of the whole file, the picks of one
// shot at a time in a 16-column table, and the controls that move between
// shots. The current shot is the current row of the shot combo box; only
// that shot's records and table model are held.
class fbTableDialog : public SorvDialog
{
    Q_OBJECT

public:
    // info must outlive the viewer; shotIndex is kept as the viewer's own copy.
    fbTableDialog(const FbFileInfo &info, QVector<FbFile::ShotIndexEntry> shotIndex, QWidget *parent = nullptr);
    ~fbTableDialog() override;

private slots:
    void on_ffidCombo_currentIndexChanged();
    void on_downButton_clicked();
    void on_upButton_clicked();
    void on_bulkUpButton_clicked();
    void on_bulkDownButton_clicked();
    void on_toStartButton_clicked();
    void on_toEndButton_clicked();
    void setButton(int ffidIndex);

private:
    void createModel();
    void showSummary();
    void fillShotCombo();
    void initColumns();
    void readShotRecords();
    void fillTable();
    void attachModel();
    void showOversizedShot(int row);
    // Clamps row to the shots there are, sets the buttons for it and makes
    // it the combo box's current row.
    void moveToShot(int row);
    // The three buttons of each direction, in the order the user meets them
    // from the combo box outwards.
    void setBackwardEnabled(bool enabled);
    void setForwardEnabled(bool enabled);

    Ui::fbTableDialog *ui;
    QStringList columnTitles;
    int columnWidths[16] = {};
    QStandardItemModel *model = nullptr;
    const FbFileInfo *fbInfo = nullptr;
    QVector<FbFile::ShotIndexEntry> shotIndex;
    QVector<FbFile::FbRecord> shotRecords;
    int shotFirstRecord = 0;
    int shotLastRecord = -1;
};

#endif // FBTABLEDIALOG_H
