// The table viewer, driven through its widgets: navigation, also over a file
// that changes under it, summary, shot list and its pop-up, a long path,
// cell texts and colours.

#include <fbfile/fbcolumns.h>
#include "fbtabledialog.h"
#include "middleelidedlabel.h"
#include "fbtestfile.h"
#include "modaldriver.h"

#include <QtTest>
#include <QtWidgets>

#include <numeric>

#include <sys/stat.h>

using namespace FbFile;

namespace {

// A viewer over a temporary FB file of records; shots of the given sizes,
// ffids 100, 101, ..., when no records are given. The file is named
// shots.fb, or padded with folders to pathLength characters.
struct Viewer
{
    Viewer(const QVector<int> &sizes, QVector<FbRecord> records = {}, FbFileInfo fileInfo = {}, int pathLength = 0)
        : info(fileInfo)
    {
        for (int shot = 0; shot < sizes.size(); ++shot)
            records += FbTest::recordsWithFfids(QVector<qint32>(sizes.at(shot), 100 + shot));
        QString path = dir.path();
        while (path.size() < pathLength - 100)
            path += QLatin1Char('/') + QString(qMin(200, pathLength - 100 - path.size()), QLatin1Char('d'));
        QDir().mkpath(path);
        const int nameLength = qMax(5, pathLength - 4 - path.size());
        info.fbName = path + QLatin1Char('/') + QString(nameLength, QLatin1Char('s')) + QStringLiteral(".fb");
        FbTest::writeFile(info.fbName, FbTest::fileBytes(records));
        ShotIndexScanner scanner(info.fbName);
        scanner.open();
        dialog.reset(new fbTableDialog(info, scanner.scan()));
    }
    template<class T>
    T *child(const char *name) const
    {
        return dialog->findChild<T *>(QLatin1String(name));
    }
    QComboBox *combo() const { return child<QComboBox>("ffidCombo"); }
    QStandardItemModel *model() const
    {
        return qobject_cast<QStandardItemModel *>(child<QTableView>("tableView")->model());
    }
    QStandardItem *item(int row, int column) const { return model()->item(row, column); }

    QTemporaryDir dir;
    FbFileInfo info;
    QScopedPointer<fbTableDialog> dialog;
};

const QBrush green(QColor(0, 255, 0, 120)), magenta(QColor(255, 0, 255, 120)), red(QColor(255, 0, 0, 120));
const QBrush statusColours[] = {green, magenta, red}; // fb_status 0, 1, 2 of records 0, 1, 2 of a shot

// A navigation step: a button, a row picked in the shot list (directly, or
// in its pop-up with the keys or the mouse), or a change to the file after
// indexing (cut back to its header, deleted, replaced by one shorter shot of
// ffid 7, or a pipe put in its place). Then the row that must be current,
// which button groups are on, and the ffid the rows hold (Own: the shot's
// own, 100 + row).
enum class Act {
    Open,
    Start,
    BulkDown,
    Down,
    Up,
    BulkUp,
    End,
    Pick,
    PopupKeys,
    PopupClick,
    Cut,
    Delete,
    Replace,
    Pipe
};
enum class On { None, Forward, Backward, Both };
// The buttons of Start ... End, backward ones first.
const char *const buttons[] = {nullptr,    "toStartButton", "bulkDownButton", "downButton",
                               "upButton", "bulkUpButton",  "toEndButton"};
enum { Own = -1 };
struct Step
{
    Act act;
    int row;
    On on;
    int ffid = Own;
};

// One record of a four-record shot changed and given an fb_status: the text
// of the changed cell, the fb_time background, and whether the column turns
// red, as a source column does unless all equal to record 0's (a NaN never is).
struct Cell
{
    int record;
    std::function<void(FbRecord &)> set;
    int column, status;
    QString text;
    QBrush background;
    bool red;
};

} // namespace

Q_DECLARE_METATYPE(Cell)
Q_DECLARE_METATYPE(QVector<Step>)
Q_DECLARE_METATYPE(FbFileInfo)

class TestFbTableDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void navigation_data()
    {
        QTest::addColumn<QVector<int>>("sizes");
        QTest::addColumn<QVector<Step>>("steps");
        using A = Act;
        using Steps = QVector<Step>;
        const On none = On::None, fwd = On::Forward, back = On::Backward, both = On::Both;
        QTest::newRow("one shot") << QVector<int>{3}
                                  << Steps{{A::Open, 0, none}, {A::Up, 0, none}, {A::End, 0, none}, {A::Pick, 0, none}};
        // Fast step 10: forward to 10, 20 and the last, back to 14, 4 and the first. The last
        // shot is one record longer, so a table sized for another shot shows.
        QTest::newRow("25 shots") << QVector<int>(24, 2) + QVector<int>{3}
                                  << Steps{
                                         {A::Open, 0, fwd},        {A::BulkUp, 10, both},     {A::BulkUp, 20, both},
                                         {A::BulkUp, 24, back},    {A::BulkDown, 14, both},   {A::BulkDown, 4, both},
                                         {A::BulkDown, 0, fwd},    {A::Pick, 12, both},       {A::Pick, 12, both},
                                         {A::PopupKeys, 15, both}, {A::PopupClick, 17, both}, {A::PopupKeys, 24, back},
                                         {A::Start, 0, fwd},       {A::Up, 1, both},          {A::Down, 0, fwd},
                                         {A::End, 24, back},       {A::Down, 23, both},       {A::Up, 24, back}};
        // Records the file no longer holds show as zeros, without a message.
        for (const Act change : {A::Cut, A::Delete, A::Replace, A::Pipe}) {
            const int lostFfid = change == A::Replace ? 7 : 0;
            const char *const names[] = {"file cut", "file deleted", "file replaced", "a pipe in its place"};
            QTest::newRow(names[int(change) - int(A::Cut)])
                << QVector<int>(6, 2)
                << Steps{{A::Open, 0, fwd},       {change, 0, fwd},      {A::Up, 1, both, 0},
                         {A::BulkUp, 5, back, 0}, {A::Down, 4, both, 0}, {A::Start, 0, fwd, lostFfid}};
        }
    }
    void navigation()
    {
        QFETCH(QVector<int>, sizes);
        QFETCH(QVector<Step>, steps);
        ModalDriver driver;
        Viewer v(sizes);
        int previousRow = -1;
        for (const Step &step : steps) {
            QPointer<QStandardItemModel> before = v.model();
            QFile file(v.info.fbName);
            switch (step.act) {
            case Act::Open:
                break;
            case Act::Pick:
                v.combo()->setCurrentIndex(step.row);
                break;
            case Act::PopupKeys:
            case Act::PopupClick: {
                // As a user does: open the list, then click the row, or go
                // down to it with the arrow key and press Enter.
                v.combo()->showPopup();
                QAbstractItemView *list = v.combo()->view();
                QVERIFY2(list->isVisible(), "the shot list did not pop up");
                const QRect rect = list->visualRect(v.combo()->model()->index(step.row, 0));
                if (step.act == Act::PopupClick)
                    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
                for (int row = v.combo()->currentIndex(); step.act == Act::PopupKeys && row < step.row; ++row)
                    QTest::keyClick(list, Qt::Key_Down);
                if (step.act == Act::PopupKeys)
                    QTest::keyClick(list, Qt::Key_Return);
                QVERIFY2(!list->isVisible(), "the shot list stayed open");
                break;
            }
            case Act::Cut:
                QVERIFY(file.resize(FbLayout::HeaderSize));
                break;
            case Act::Delete:
                QVERIFY(file.remove());
                break;
            case Act::Replace:
                QVERIFY(FbTest::writeFile(v.info.fbName, FbTest::fileBytes(FbTest::recordsWithFfids({7, 7}))));
                break;
            case Act::Pipe:
                QVERIFY(file.remove() && ::mkfifo(QFile::encodeName(v.info.fbName).constData(), 0600) == 0);
                break;
            default:
                v.child<QAbstractButton>(buttons[int(step.act)])->click();
                break;
            }
            const int row = v.combo()->currentIndex();
            QCOMPARE(row, step.row);
            const bool backOn = step.on == On::Backward || step.on == On::Both;
            const bool forwardOn = step.on == On::Forward || step.on == On::Both;
            for (int b = int(Act::Start); b <= int(Act::End); ++b) {
                const bool on = b <= int(Act::Down) ? backOn : forwardOn;
                const QString wrong = QString(buttons[b]) + (on ? " is disabled" : " is enabled");
                QVERIFY2(v.child<QAbstractButton>(buttons[b])->isEnabled() == on, qPrintable(wrong));
            }
            // The same row keeps its model, the shot is not read again; a new
            // row is a fresh model holding exactly the new shot.
            const bool kept = before == v.model();
            QVERIFY2(kept == (row == previousRow || previousRow < 0), kept ? "model kept" : "model replaced");
            previousRow = row;
            QCOMPARE(v.model()->rowCount(), sizes.at(row));
            const bool lost = step.ffid == 0;
            for (int r = 0; r < sizes.at(row); ++r) {
                QCOMPARE(v.item(r, FbColumns::Ffid)->text(), QString::number(step.ffid == Own ? 100 + row : step.ffid));
                QCOMPARE(v.item(r, FbColumns::Channel)->text(), QString::number(lost ? 0 : r + 1));
                QCOMPARE(v.item(r, FbColumns::FbTime)->background(), lost ? green : statusColours[r % 3]);
            }
        }
        QCOMPARE(driver.seen().size(), 0);
    }

    // The summary texts of info (totalFBs, totalShots, offsets, polarity,
    // fastStep), and the shot list for one record per shot of the given ffids.
    void texts_data()
    {
        QTest::addColumn<FbFileInfo>("info");
        QTest::addColumn<QVector<qint32>>("ffids");
        QTest::addColumn<QStringList>("summary");
        QTest::addColumn<QStringList>("list"); // first, seventh (or last) and last rows
        QTest::addColumn<int>("pathLength");
        auto range = [](int first, int count) {
            QVector<qint32> v(count);
            std::iota(v.begin(), v.end(), first);
            return v;
        };
        const QStringList zeros{"Number of sources: 0 ", "Number of FBs: 0 ", "Offset range: 0 - 0 ",
                                "Polarity: positive",    "Forward 10 shots",  "Backward 10 shots"};
        QTest::newRow("1 shot") << FbFileInfo{{}, 98765, 1234, -50, 3000, 1, 10} << QVector<qint32>{7}
                                << QStringList{"Number of sources: 1,234 ", "Number of FBs: 98,765 ",
                                               "Offset range: -50 - 3000 ", "Polarity: positive",
                                               "Forward 10 shots",          "Backward 10 shots"}
                                << QStringList{"1 > 7", "1 > 7", "1 > 7"} << 0;
        QTest::newRow("9 shots")
            << FbFileInfo{{}, 1234567, 999, 1000, 12000, 0, 3} << range(1001, 9)
            << QStringList{"Number of sources: 999 ", "Number of FBs: 1,234,567 ", "Offset range: 1000 - 12000 ",
                           "Polarity: negative",      "Forward 3 shots",           "Backward 3 shots"}
            << QStringList{"1 > 1001", "7 > 1007", "9 > 1009"} << 0;
        QTest::newRow("10 shots") << FbFileInfo{{}, 0, 1, -3000, -50, -1, 100} << range(5, 10)
                                  << QStringList{"Number of sources: 1 ",      "Number of FBs: 0 ",
                                                 "Offset range: -3000 - -50 ", "Polarity: negative",
                                                 "Forward 100 shots",          "Backward 100 shots"}
                                  << QStringList{" 1 >  5", " 7 > 11", "10 > 14"} << 0;
        QTest::newRow("250 shots") << FbFileInfo() << QVector<qint32>{3} + range(1002, 249) << zeros
                                   << QStringList{"  1 >   3", "  7 > 1007", "250 > 1250"} << 0;
        QTest::newRow("ffid wider") << FbFileInfo() << QVector<qint32>{123456, -42} << zeros
                                    << QStringList{"1 > 123456", "2 > -42", "2 > -42"} << 0;
        // The path stays whole in the label and its tool tip, but no longer
        // makes the viewer as wide as itself.
        QTest::newRow("3,993-character path")
            << FbFileInfo() << QVector<qint32>{4} << zeros << QStringList{"1 > 4", "1 > 4", "1 > 4"} << 3993;
    }
    void texts()
    {
        QFETCH(FbFileInfo, info);
        QFETCH(QVector<qint32>, ffids);
        QFETCH(QStringList, summary);
        QFETCH(QStringList, list);
        QFETCH(int, pathLength);
        Viewer v({}, FbTest::recordsWithFfids(ffids), info, pathLength);
        QVERIFY2(!pathLength || v.info.fbName.size() == pathLength, "the test made a path of another length");
        // The form's size; shown on a screen smaller than that, the viewer
        // is shrunk to fit it.
        QCOMPARE(v.dialog->size(), QSize(1400, 700));
        v.dialog->show();
        QCOMPARE(v.child<QLabel>("fbNameLabel")->text(), QStringLiteral("FB File: ") + v.info.fbName);
        QCOMPARE(v.child<QLabel>("fbNameLabel")->toolTip(), v.info.fbName);
        QVERIFY2(v.dialog->minimumSizeHint().width() <= 1400, "the path sets the viewer's width");
        // At 800 px a long path is shown with its middle left out: the
        // caption and the file's name stay in sight.
        v.dialog->resize(800, 600);
        QCoreApplication::processEvents();
        const QLabel *nameLabel = v.child<QLabel>("fbNameLabel");
        const QString seen = MiddleElidedLabel::shownText(nameLabel);
        QVERIFY2(seen.startsWith(QLatin1String("FB File: ")) && seen.endsWith(QLatin1String("s.fb")), qPrintable(seen));
        QCOMPARE(seen == nameLabel->text(),
                 nameLabel->fontMetrics().horizontalAdvance(nameLabel->text()) <= nameLabel->contentsRect().width());
        QVERIFY(nameLabel->fontMetrics().horizontalAdvance(seen) <= nameLabel->contentsRect().width());
        const QString fileName = QFileInfo(v.info.fbName).fileName();
        if (nameLabel->fontMetrics().horizontalAdvance(QStringLiteral("FB File: …/") + fileName) <=
            nameLabel->contentsRect().width())
            QVERIFY2(seen.endsWith(QLatin1Char('/') + fileName), qPrintable(seen));
        const QStringList shown{
            v.child<QLabel>("totalShotsLabel")->text(),          v.child<QLabel>("totalFBsLabel")->text(),
            v.child<QLabel>("offsetRangeLabel")->text(),         v.child<QLabel>("polarityLabel")->text(),
            v.child<QAbstractButton>("bulkUpButton")->toolTip(), v.child<QAbstractButton>("bulkDownButton")->toolTip()};
        QCOMPARE(shown, summary);
        const int last = ffids.size() - 1;
        const QStringList rows{v.combo()->itemText(0), v.combo()->itemText(qMin(6, last)), v.combo()->itemText(last)};
        QCOMPARE(rows, list);
        QCOMPARE(v.combo()->count(), ffids.size());
        QCOMPARE(v.combo()->maxVisibleItems(), 30);
        QCOMPARE(v.combo()->styleSheet(), QStringLiteral("combobox-popup:0;"));
    }

    void cells_data()
    {
        QTest::addColumn<Cell>("cell");
        using R = FbRecord &;
        QTest::newRow("uniform s_elev") << Cell{0,    [](R r) { r.s_elev = 250; }, FbColumns::SElev, 0, "250", green,
                                                false};
        QTest::newRow("one s_elev differs")
            << Cell{2, [](R r) { r.s_elev = 251; }, FbColumns::SElev, 1, "251", magenta, true};
        QTest::newRow("NaN in record 0") << Cell{
            0, [](R r) { r.source_x = qQNaN(); }, FbColumns::SourceX, 2, "nan", red, true};
        QTest::newRow("fb_time 5e-05") << Cell{
            0, [](R r) { r.fb_time = 5e-05f; }, FbColumns::FbTime, 1, "5e-05", magenta, false};
        QTest::newRow("source_x 1.5") << Cell{3,   [](R r) { r.source_x = 1.5f; }, FbColumns::SourceX, -1, "1.50", red,
                                              true};
    }
    void cells()
    {
        QFETCH(Cell, cell);
        QVector<FbRecord> records = FbTest::recordsWithFfids({9, 9, 9, 9});
        records[cell.record].fb_status = cell.status;
        cell.set(records[cell.record]);
        Viewer v({}, records);
        QCOMPARE(v.item(cell.record, cell.column)->text(), cell.text);
        for (int c = 0; c < 16; ++c) {
            QCOMPARE(v.item(cell.record, c)->background(), c == FbColumns::FbTime ? cell.background : QBrush());
            for (int row = 0; row < 4; ++row)
                QCOMPARE(v.item(row, c)->foreground(), cell.red && c == cell.column ? QBrush(Qt::red) : QBrush());
        }
    }
};

QTEST_MAIN(TestFbTableDialog)
#include "tst_fbtabledialog.moc"
