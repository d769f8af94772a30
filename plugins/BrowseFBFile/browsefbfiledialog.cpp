#include "browsefbfiledialog.h"

#include "ui_browsefbfiledialog.h"

BrowseFBFileDialog::BrowseFBFileDialog(QWidget *parent)
    : SorvDialog(parent)
    , ui(new Ui::BrowseFBFileDialog)
{
    ui->setupUi(this);
}

BrowseFBFileDialog::~BrowseFBFileDialog()
{
    delete ui;
}
