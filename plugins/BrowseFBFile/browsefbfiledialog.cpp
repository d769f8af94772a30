#include "browsefbfiledialog.h"

#include "fbtabledialog.h"
#include "ui_browsefbfiledialog.h"

#include <SorvBase/sorvbaseutil.h>
#include <SorvBase/sorvprojectmanager.h>

#include <QApplication>
#include <QColor>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPalette>
#include <QProgressDialog>

#include <limits>

using namespace FbFile;

namespace {

// Project value keys: plug-in class, dialog class, then the field.
const QString fbNameKey = QStringLiteral("BrowseFBFile_BrowseFBFileDialog_fbName");
const QString fastStepKey = QStringLiteral("BrowseFBFile_BrowseFBFileDialog_fastStep");

} // namespace

BrowseFBFileDialog::BrowseFBFileDialog(QWidget *parent) : SorvDialog(parent), ui(new Ui::BrowseFBFileDialog)
{
    ui->setupUi(this);
    projectDir = SorvProjectManager::instance().define().projectDir;
    loadSettings();
    updateWidgets();
}

BrowseFBFileDialog::~BrowseFBFileDialog()
{
    delete ui;
}

QString BrowseFBFileDialog::helpIndex() const
{
    return QStringLiteral("w_cover.html");
}

void BrowseFBFileDialog::loadSettings()
{
    fbInfo.fbName = SorvBaseUtil::projectValue(fbNameKey, fbInfo.fbName).toString();
    fbInfo.fastStep = SorvBaseUtil::projectValue(fastStepKey, fbInfo.fastStep).toInt();
}

void BrowseFBFileDialog::saveSettings()
{
    SorvBaseUtil::setProjectValue(fbNameKey, fbInfo.fbName);
    SorvBaseUtil::setProjectValue(fastStepKey, fbInfo.fastStep);
}

void BrowseFBFileDialog::updateWidgets()
{
    // The line edit signals only a changed text, but an unchanged one (the
    // empty stored name) must get the validation's look all the same.
    if (ui->fbName->text() == fbInfo.fbName)
        on_fbName_textChanged();
    else
        ui->fbName->setText(fbInfo.fbName);
    // Clamped to the spin box's range; a new value comes back into fbInfo
    // through on_fastStep_valueChanged().
    ui->fastStep->setValue(fbInfo.fastStep);
}

void BrowseFBFileDialog::on_fbName_textChanged()
{
    fbInfo.fbName = ui->fbName->text();
    if (fbInfo.fbName.isEmpty()) {
        ui->fbName->setStyleSheet(QStringLiteral("background-color: pink"));
        ui->okButton->setEnabled(false);
        return;
    }
    ui->fbName->setStyleSheet(QStringLiteral("background-color: white"));

    // Only the kind and the size are checked here; a file that is not an FB
    // file shows up when it is loaded. A pipe, device or folder is refused
    // like a missing file: reading a pipe blocks, and none of them holds
    // picks.
    const QFileInfo file(fbInfo.fbName);
    const bool usable = file.isFile() && file.size() != 0;

    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Text, usable ? QColor(Qt::black) : QColor(Qt::red));
    ui->fbName->setPalette(palette);
    ui->okButton->setEnabled(usable);
}

void BrowseFBFileDialog::on_openButton_clicked()
{
    const QString name = QFileDialog::getOpenFileName(this, QObject::tr("Open"), projectDir,
                                                      QStringLiteral("FB files (*.cal *.fb *.fit)"));
    if (name.isEmpty())
        return;
    fbInfo.fbName = name;
    ui->fbName->setText(name);
}

void BrowseFBFileDialog::on_fastStep_valueChanged()
{
    // Stored only when the next viewer has closed.
    fbInfo.fastStep = ui->fastStep->value();
}

void BrowseFBFileDialog::accept()
{
    // The viewer reads the first shot at once, so it must never get an
    // empty index: reuse only what was really built for this very name, and
    // only while the file is still as it was then. A file rewritten, cut or
    // replaced since must not be shown through its old index.
    if (shotIndex.isEmpty() || lastFbName != fbInfo.fbName || !unchangedSinceIndexed()) {
        if (!loadFbFile()) {
            // The old index is gone with the failed load; forget whose it was.
            lastFbName.clear();
            return;
        }
        lastFbName = fbInfo.fbName;
    }

    fbTableDialog viewer(fbInfo, shotIndex);
    viewer.exec();
    saveSettings();
}

bool BrowseFBFileDialog::unchangedSinceIndexed() const
{
    const QFileInfo file(fbInfo.fbName);
    return file.isFile() && file.size() == indexedSize && file.lastModified() == indexedModified;
}

bool BrowseFBFileDialog::loadFbFile()
{
    shotIndex.clear();

    // The name was a regular file when it was validated, but it may have
    // become a pipe or a folder since; opening a pipe would block until some
    // writer came. Size and time are taken before the scan, so that a change
    // during it also makes the next OK load the file again.
    const QFileInfo file(fbInfo.fbName);
    indexedSize = file.size();
    indexedModified = file.lastModified();
    ShotIndexScanner scanner(fbInfo.fbName);
    if (!file.isFile() || !scanner.open()) {
        QMessageBox::warning(this, tr("Browse FB File"), QObject::tr("Error: fail to open the FB file!"));
        return false;
    }
    // Record numbers are int32 throughout the index and the viewer; a larger
    // file would come out truncated, so refuse it outright.
    if (!scanner.recordCountFits()) {
        QMessageBox::warning(this, tr("Browse FB File"),
                             tr("Error: the FB file is too large to index (%1 records; at most %2 are supported).")
                                 .arg(scanner.recordCount())
                                 .arg(std::numeric_limits<qint32>::max()));
        return false;
    }
    if (!scanner.isComplete())
        QMessageBox::warning(this, tr("Browse FB File"), tr("Warning: the FB file is incomplete!"));

    QProgressDialog progress(tr("Extracting Shot Index......"), QObject::tr("Cancel"), 0, 100, this);
    // A half-built index is of no use to the viewer: the scan runs to the end.
    progress.setCancelButton(nullptr);
    progress.setWindowModality(Qt::WindowModal);
    progress.setWindowTitle(tr("Browse FB File"));
    progress.setMinimumSize(300, 80);
    progress.setMinimumDuration(0);
    progress.show();
    progress.setValue(0);

    shotIndex = scanner.scan(Progress([&progress](int value) { progress.setValue(value); }));

    const FbFileHeader &header = scanner.header();
    fbInfo.polarity = header.polarity;
    fbInfo.minOffset = header.min_offset;
    fbInfo.maxOffset = header.max_offset;
    fbInfo.totalFBs = static_cast<int>(scanner.recordCount());
    fbInfo.totalShots = shotIndex.size();
    return true;
}
