#ifndef FBTABLEDIALOG_H
#define FBTABLEDIALOG_H

#include "fbfileinfo.h"
#include "shotindex.h"

#include <sorvdialog.h>

#include <QVector>

namespace Ui { class fbTableDialog; }

// Placeholder until the viewer lands: the real constructor, nothing shown.
class fbTableDialog : public SorvDialog
{
    Q_OBJECT

public:
    fbTableDialog(const FbFileInfo &info, QVector<ShotIndexEntry> shotIndex, QWidget *parent = nullptr);
    ~fbTableDialog() override;

private:
    Ui::fbTableDialog *ui;
    const FbFileInfo *fbInfo;
    QVector<ShotIndexEntry> shotIndex;
};

#endif // FBTABLEDIALOG_H
