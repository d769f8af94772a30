#include "fbtabledialog.h"

#include "ui_fbtabledialog.h"

fbTableDialog::fbTableDialog(const FbFileInfo &info, QVector<ShotIndexEntry> shotIndex, QWidget *parent)
    : SorvDialog(parent)
    , ui(new Ui::fbTableDialog)
{
    ui->setupUi(this);
    fbInfo = &info;
    this->shotIndex = shotIndex;
}

fbTableDialog::~fbTableDialog()
{
    delete ui;
}
