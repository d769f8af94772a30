#include "fbtabledialog.h"
#include "middleelidedlabel.h"

#include <fbfile/fbcolumns.h>
#include <fbview/shotlistmodel.h>
#include <fbview/shotlistview.h>
#include <fbfile/shotrecords.h>
#include "shotviewbudget.h"
#include <fbview/statuscolors.h>
#include "ui_fbtabledialog.h"

#include <QBrush>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QStandardItem>
#include <QStandardItemModel>

#include <utility>

using namespace FbFile;
using namespace FbView;

static_assert(FbColumns::Count == 16, "the viewer keeps one width per table column");

namespace {

// Characters of the file's name that the file label always has room for.
constexpr int MinNameChars = 24;

} // namespace

fbTableDialog::fbTableDialog(const FbFileInfo &info, QVector<ShotIndexEntry> shotIndex, QWidget *parent)
    : SorvDialog(parent), ui(new Ui::fbTableDialog)
{
    ui->setupUi(this);
    fbInfo = &info;
    this->shotIndex = std::move(shotIndex);
    // The browse dialog never opens the viewer on an empty index, but a
    // viewer given one must not read an entry that is not there: it then
    // stands on an empty shot (no rows) until the end.
    if (!this->shotIndex.isEmpty()) {
        shotFirstRecord = this->shotIndex.at(0).firstRecord;
        shotLastRecord = this->shotIndex.at(0).lastRecord;
    }
    initColumns();
    createModel();
    showSummary();
    // Filling the empty combo box makes its first row current, and that
    // change fills the table of the first shot.
    fillShotCombo();
    if (this->shotIndex.isEmpty()) {
        // No row became current, so nothing filled the table: show the bare
        // column headers and leave every navigation button off.
        fillTable();
        setButton(-1);
    }
}

fbTableDialog::~fbTableDialog()
{
    delete model;
    delete ui;
}

void fbTableDialog::createModel()
{
    // A model sized for millions of rows costs gigabytes before a single
    // cell is set, so a shot over the budget gets no rows at all.
    const qint64 records = qMax<qint64>(0, qint64(shotLastRecord) - shotFirstRecord + 1);
    model = new QStandardItemModel(ShotViewBudget::fits(records) ? int(records) : 0, FbColumns::Count);
    ui->tableView->verticalHeader()->hide();
    ui->tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui->tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tableView->setAlternatingRowColors(true);
}

void fbTableDialog::showSummary()
{
    // Every value follows the caption the label shows, so a translated
    // caption carries over.
    const QChar blank(QLatin1Char(' '));
    const QString fbNameText = ui->fbNameLabel->text() + blank + fbInfo->fbName;
    const QString totalShotsText = ui->totalShotsLabel->text() + blank + tr("%L1").arg(fbInfo->totalShots) + blank;
    const QString totalFBsText = ui->totalFBsLabel->text() + blank + tr("%L1").arg(fbInfo->totalFBs) + blank;
    // Offsets are shown bare, without digit grouping.
    const QString offsetRangeText = ui->offsetRangeLabel->text() + blank + QString::number(fbInfo->minOffset) +
                                    QLatin1String(" - ") + QString::number(fbInfo->maxOffset) + blank;
    const QString polarityText =
        ui->polarityLabel->text() + blank + (fbInfo->polarity > 0 ? QObject::tr("positive") : QObject::tr("negative"));

    // A long path must not make the window as wide as itself: the label
    // may shrink down to its caption, showing the path with its middle left
    // out so that the file's name stays in sight, and the whole path stays
    // readable in its tool tip.
    // It keeps room for the caption and the file's name (or its end, for a
    // name of more than MinNameChars).
    const QFontMetrics metrics = ui->fbNameLabel->fontMetrics();
    const QString name = QFileInfo(fbInfo->fbName).fileName().right(MinNameChars);
    ui->fbNameLabel->setMinimumWidth(
        metrics.horizontalAdvance(ui->fbNameLabel->text() + blank + QChar(0x2026) + QLatin1Char('/') + name));
    ui->fbNameLabel->setToolTip(fbInfo->fbName);
    MiddleElidedLabel::install(ui->fbNameLabel, ui->fbNameLabel->text() + blank);
    ui->fbNameLabel->setText(fbNameText);
    ui->totalShotsLabel->setText(totalShotsText);
    ui->totalFBsLabel->setText(totalFBsText);
    ui->offsetRangeLabel->setText(offsetRangeText);
    ui->polarityLabel->setText(polarityText);

    ui->bulkUpButton->setToolTip(tr("Forward %1 shots").arg(fbInfo->fastStep));
    ui->bulkDownButton->setToolTip(tr("Backward %1 shots").arg(fbInfo->fastStep));

    // The viewer opens at the first shot, where there is nothing behind.
    setBackwardEnabled(false);
}

void fbTableDialog::fillShotCombo()
{
    // A scrolling list of at most 30 rows instead of a pop-up that covers
    // the screen when a file holds thousands of shots.
    ui->ffidCombo->setMaxVisibleItems(30);
    ui->ffidCombo->setStyleSheet(QStringLiteral("combobox-popup:0;"));

    // A file may hold millions of one-record shots. The list makes each
    // text only when it is shown, the pop-up places its rows by arithmetic
    // and draws only those in sight, and the box is as wide as the longest
    // text is long. So no entry is made, measured or placed up front.
    auto *shots = new ShotListModel(ui->ffidCombo);
    ui->ffidCombo->setView(new ShotListView);
    ui->ffidCombo->setModel(shots);
    ui->ffidCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    // All rows in one step, so that the current row changes once, from none
    // to row 0.
    shots->setShots(shotIndex);
    ui->ffidCombo->setMinimumContentsLength(shots->longestTextLength());
}

void fbTableDialog::initColumns()
{
    for (const char *title : FbColumns::titles)
        columnTitles.append(QCoreApplication::translate("QObject", title));
    for (int c = 0; c < FbColumns::Count; ++c)
        columnWidths[c] = FbColumns::widths[c];
}

void fbTableDialog::readShotRecords()
{
    shotRecords.clear();
    // A pipe or device put in the file's place would block the read for
    // good; its records show as zeros, like those of a file that vanished.
    if (QFileInfo(fbInfo->fbName).isFile())
        shotRecords = ::readShotRecords(fbInfo->fbName, shotFirstRecord, shotLastRecord);
    else
        shotRecords.fill(FbRecord(), qMax(0, shotLastRecord - shotFirstRecord + 1));
}

void fbTableDialog::fillTable()
{
    const int count = qMax(0, shotLastRecord - shotFirstRecord + 1);
    Q_ASSERT(shotRecords.size() == count);

    // The model is not attached to the view yet, and each item gets its
    // text and colour before it is placed, so no view and no item signal is
    // involved while a shot of tens of thousands of picks is built. Items
    // are copied from a prototype of their look: the copies share the
    // prototype's data until their own text is set, which spares an
    // allocation or two per cell and, in a uniform column, all of them.
    QStandardItem varyingPrototype;
    varyingPrototype.setForeground(QBrush(StatusColors::varyingSource(), Qt::SolidPattern));
    QStandardItem statusPrototypes[3]; // by PickClass
    for (const auto pickClass :
         {FbColumns::PickClass::Status0, FbColumns::PickClass::Status1, FbColumns::PickClass::Other})
        statusPrototypes[int(pickClass)].setBackground(QBrush(StatusColors::background(pickClass), Qt::SolidPattern));

    // Source attributes should not change within a shot; a column in which
    // they do turns red as a whole, so that the odd records stand out
    // against the rest.
    for (const int column : FbColumns::shotConstantColumns) {
        if (!FbColumns::columnVaries(shotRecords, column)) {
            if (count == 0)
                continue;
            const QStandardItem uniform(FbColumns::cellText(shotRecords.at(0), column));
            for (int r = 0; r < count; ++r)
                model->setItem(r, column, uniform.clone());
        } else {
            for (int r = 0; r < count; ++r) {
                QStandardItem *item = varyingPrototype.clone();
                item->setText(FbColumns::cellText(shotRecords.at(r), column));
                model->setItem(r, column, item);
            }
        }
    }

    for (const int column : FbColumns::perRecordColumns) {
        if (column != FbColumns::FbTime) {
            for (int r = 0; r < count; ++r)
                model->setItem(r, column, new QStandardItem(FbColumns::cellText(shotRecords.at(r), column)));
            continue;
        }
        for (int r = 0; r < count; ++r) {
            const FbRecord &record = shotRecords.at(r);
            QStandardItem *item = statusPrototypes[int(FbColumns::pickClass(record.fb_status))].clone();
            item->setText(FbColumns::cellText(record, column));
            model->setItem(r, column, item);
        }
    }

    attachModel();
}

void fbTableDialog::attachModel()
{
    ui->tableView->setModel(model);
    for (int c = 0; c < FbColumns::Count; ++c) {
        model->setHorizontalHeaderItem(c, new QStandardItem(columnTitles.at(c)));
        ui->tableView->setColumnWidth(c, columnWidths[c]);
    }
}

void fbTableDialog::on_ffidCombo_currentIndexChanged()
{
    const int i = ui->ffidCombo->currentIndex();
    if (i < 0 || i >= shotIndex.size())
        return;
    shotFirstRecord = shotIndex.at(i).firstRecord;
    shotLastRecord = shotIndex.at(i).lastRecord;
    // The old model goes before the new one is filled, so the view never
    // holds a model that is being filled.
    delete model;
    model = nullptr;
    createModel();
    if (ShotViewBudget::fits(qint64(shotLastRecord) - shotFirstRecord + 1)) {
        readShotRecords();
        fillTable();
    } else {
        showOversizedShot(i);
    }
    setButton(i);
}

// A shot whose table would not fit in memory (a damaged or zero-filled
// stretch of the file reads as one endless shot) gets an empty table and a
// warning instead, so that the host is not taken down with it; every other
// shot can still be reached from here.
void fbTableDialog::showOversizedShot(int row)
{
    shotRecords.clear();
    attachModel();

    const qint64 records = qint64(shotLastRecord) - shotFirstRecord + 1;
    const qint64 mib = 1024 * 1024;
    QMessageBox::warning(this, tr("Browse FB File"),
                         tr("Shot %1 (ffid %2) holds %L3 picks, too many to show: its table would need about "
                            "%L4 MiB of memory, more than the %L5 MiB this machine can spare for one shot.\n\n"
                            "So long a run of one ffid usually means a damaged or zero-filled stretch of the "
                            "file. The other shots can still be viewed.")
                             .arg(row + 1)
                             .arg(shotIndex.at(row).ffid)
                             .arg(records)
                             .arg(ShotViewBudget::estimatedBytes(records) / mib)
                             .arg(ShotViewBudget::budgetBytes() / mib));
}

void fbTableDialog::on_downButton_clicked()
{
    moveToShot(ui->ffidCombo->currentIndex() - 1);
}

void fbTableDialog::on_upButton_clicked()
{
    moveToShot(ui->ffidCombo->currentIndex() + 1);
}

void fbTableDialog::on_bulkUpButton_clicked()
{
    moveToShot(ui->ffidCombo->currentIndex() + fbInfo->fastStep);
}

void fbTableDialog::on_bulkDownButton_clicked()
{
    moveToShot(ui->ffidCombo->currentIndex() - fbInfo->fastStep);
}

void fbTableDialog::on_toStartButton_clicked()
{
    moveToShot(0);
}

void fbTableDialog::on_toEndButton_clicked()
{
    moveToShot(shotIndex.size() - 1);
}

// A move past either end stops at the first or the last shot instead of
// being refused. The buttons are set for the target first; only a new row
// then shows another shot, so a move to the current row reads nothing.
void fbTableDialog::moveToShot(int row)
{
    const int target = qBound(0, row, qMax(0, shotIndex.size() - 1));
    setButton(target);
    ui->ffidCombo->setCurrentIndex(target);
}

void fbTableDialog::setButton(int ffidIndex)
{
    // There is somewhere to go backward except at the first shot, and
    // forward except at the last; a single shot (or none) is both.
    const bool several = shotIndex.size() > 1;
    setBackwardEnabled(several && ffidIndex != 0);
    setForwardEnabled(several && ffidIndex != shotIndex.size() - 1);
}

void fbTableDialog::setBackwardEnabled(bool enabled)
{
    ui->downButton->setEnabled(enabled);
    ui->bulkDownButton->setEnabled(enabled);
    ui->toStartButton->setEnabled(enabled);
}

void fbTableDialog::setForwardEnabled(bool enabled)
{
    ui->upButton->setEnabled(enabled);
    ui->bulkUpButton->setEnabled(enabled);
    ui->toEndButton->setEnabled(enabled);
}
