#ifndef BROWSEFBFILEDIALOG_H
#define BROWSEFBFILEDIALOG_H

#include "fbfileinfo.h"

#include <sorvdialog.h>

namespace Ui { class BrowseFBFileDialog; }

// Placeholder until the browse dialog lands: only the titled dialog.
class BrowseFBFileDialog : public SorvDialog
{
    Q_OBJECT

public:
    explicit BrowseFBFileDialog(QWidget *parent = nullptr);
    ~BrowseFBFileDialog() override;

private:
    Ui::BrowseFBFileDialog *ui;
};

#endif // BROWSEFBFILEDIALOG_H
