// The table viewer, driven through its widgets: navigation, also over a file
// that changes under it, summary, shot list, cell texts and colours.

#include "fbcolumns.h"
#include "fbtabledialog.h"
#include "fbtestfile.h"
#include "modaldriver.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// A viewer over a temporary FB file of records; shots of the given sizes,
// ffids 100, 101, ..., when no records are given.
struct Viewer
{
    Viewer(const QVector<int> &sizes, QVector<FbRecord> records = {}, FbFileInfo fileInfo = {}) : info(fileInfo)
    {
        for (int shot = 0; shot < sizes.size(); ++shot)
            records += FbTest::recordsWithFfids(QVector<qint32>(sizes.at(shot), 100 + shot));
        info.fbName = dir.filePath(QStringLiteral("shots.fb"));
        FbTest::writeFile(info.fbName, FbTest::fileBytes(records));
        ShotIndexScanner scanner(info.fbName);
        scanner.open();
        dialog.reset(new fbTableDialog(info, scanner.scan()));
    }
    template<class T> T *child(const char *name) const { return dialog->findChild<T *>(QLatin1String(name)); }
    QComboBox *combo() const { return child<QComboBox>("ffidCombo"); }
    QStandardItemModel *model() const { return qobject_cast<QStandardItemModel *>(child<QTableView>("tableView")->model()); }
    QStandardItem *item(int row, int column) const { return model()->item(row, column); }

    QTemporaryDir dir;
    FbFileInfo info;
    QScopedPointer<fbTableDialog> dialog;
};

const QBrush green(QColor(0, 255, 0, 120)), magenta(QColor(255, 0, 255, 120)), red(QColor(255, 0, 0, 120));
const QBrush statusColours[] = {green, magenta, red}; // fb_status 0, 1, 2 of records 0, 1, 2 of a shot
const char *const buttons[] = {"toStartButton", "bulkDownButton", "downButton", "upButton", "bulkUpButton", "toEndButton"};
const QStringList glyphs{"|<", "<<", "<", ">", ">>", ">|"};

// One record of a four-record shot changed and given an fb_status: the text
// of the changed cell, the fb_time background, and whether the column turns
// red, as a source column does unless all equal to record 0's (a NaN never is).
struct Cell { int record; std::function<void(FbRecord &)> set; int column, status; QString text; QBrush background; bool red; };

} // namespace

Q_DECLARE_METATYPE(Cell)
Q_DECLARE_METATYPE(FbFileInfo)

class TestFbTableDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // Each step: a button glyph, "#k" to pick row k in the shot list, "open",
    // or a change to the file after indexing (cut back to its header,
    // deleted, replaced by one shorter shot of ffid 7); then the current row,
    // the states of |< << < > >> >|, and after a change the ffid the rows
    // now hold, 0 where the file lost them. No step may raise a message.
    void navigation_data()
    {
        QTest::addColumn<QVector<int>>("sizes");
        QTest::addColumn<QStringList>("script");
        QTest::newRow("one shot") << QVector<int>{3} << QStringList{"open 0 000000", "> 0 000000", ">| 0 000000", "#0 0 000000"};
        QTest::newRow("two shots") << QVector<int>{2, 3} << QStringList{"open 0 000111", "> 1 111000", "< 0 000111", ">> 1 111000", "<< 0 000111", ">| 1 111000", "|< 0 000111"};
        QTest::newRow("25 shots") << QVector<int>{1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 1} << QStringList{"open 0 000111", ">> 10 111111", ">> 20 111111", ">> 24 111000", "<< 14 111111", "<< 4 111111", "<< 0 000111", "#12 12 111111", "#12 12 111111", ">| 24 111000", "|< 0 000111"};
        QTest::newRow("fast step past the end") << QVector<int>{2, 1, 3, 1, 2} << QStringList{"open 0 000111", ">> 4 111000", "<< 0 000111"};
        QTest::newRow("file cut") << QVector<int>{2, 2, 2, 2, 2, 2} << QStringList{"open 0 000111", "cut 0 000111", "> 1 111111 0", ">> 5 111000 0", "< 4 111111 0", "|< 0 000111 0"};
        QTest::newRow("file deleted") << QVector<int>{2, 2, 2, 2, 2, 2} << QStringList{"open 0 000111", "delete 0 000111", "> 1 111111 0", ">> 5 111000 0", "< 4 111111 0", "|< 0 000111 0"};
        QTest::newRow("file replaced") << QVector<int>{2, 2, 2, 2, 2, 2} << QStringList{"open 0 000111", "replace 0 000111", "> 1 111111 0", ">> 5 111000 0", "< 4 111111 0", "|< 0 000111 7"};
    }
    void navigation()
    {
        QFETCH(QVector<int>, sizes);
        QFETCH(QStringList, script);
        ModalDriver driver;
        Viewer v(sizes);
        int previousRow = -1;
        for (const QString &line : script) {
            const QString step = line.section(' ', 0, 0);
            QPointer<QStandardItemModel> before = v.model();
            if (step.startsWith('#'))
                v.combo()->setCurrentIndex(step.mid(1).toInt());
            else if (glyphs.contains(step))
                v.child<QAbstractButton>(buttons[glyphs.indexOf(step)])->click();
            else if (step == QLatin1String("cut"))
                QVERIFY(QFile(v.info.fbName).resize(FbLayout::HeaderSize));
            else if (step == QLatin1String("delete"))
                QVERIFY(QFile::remove(v.info.fbName));
            else if (step == QLatin1String("replace"))
                QVERIFY(FbTest::writeFile(v.info.fbName, FbTest::fileBytes(FbTest::recordsWithFfids({7, 7}))));
            const int row = v.combo()->currentIndex();
            QString states;
            for (const char *b : buttons)
                states += QLatin1Char(v.child<QAbstractButton>(b)->isEnabled() ? '1' : '0');
            QCOMPARE(QStringLiteral("%1 %2").arg(row).arg(states), line.section(' ', 1, 2));
            // The same row keeps its model, the shot is not read again; a new
            // row is a fresh model holding exactly the new shot.
            QCOMPARE(before == v.model(), row == previousRow || previousRow < 0);
            previousRow = row;
            QCOMPARE(v.model()->rowCount(), sizes.at(row));
            const QString ffid = line.section(' ', 3);
            for (int r = 0; r < sizes.at(row); ++r) {
                QCOMPARE(v.item(r, FbColumns::Ffid)->text(), ffid.isEmpty() ? QString::number(100 + row) : ffid);
                QCOMPARE(v.item(r, FbColumns::Channel)->text(), QString::number(ffid == QLatin1String("0") ? 0 : r + 1));
                QCOMPARE(v.item(r, FbColumns::FbTime)->background(), ffid == QLatin1String("0") ? green : statusColours[r % 3]);
            }
        }
        QCOMPARE(driver.seen().size(), 0);
    }

    // The summary texts of info (totalFBs, totalShots, offsets, polarity,
    // fastStep), and for one record per shot of the given ffids the shot
    // list's first, seventh (or last) and last rows.
    void texts_data()
    {
        QTest::addColumn<FbFileInfo>("info");
        QTest::addColumn<QVector<qint32>>("ffids");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("list");
        auto range = [](int first, int count) { QVector<qint32> v; for (int i = 0; i < count; ++i) v << first + i; return v; };
        QTest::newRow("1 shot") << FbFileInfo{{}, 98765, 1234, -50, 3000, 1, 10} << QVector<qint32>{7} << "Number of sources: 1,234 |Number of FBs: 98,765 |Offset range: -50 - 3000 |Polarity: positive|Forward 10 shots|Backward 10 shots" << "1 > 7|1 > 7|1 > 7";
        QTest::newRow("9 shots") << FbFileInfo{{}, 1234567, 999, 1000, 12000, 0, 3} << range(1001, 9) << "Number of sources: 999 |Number of FBs: 1,234,567 |Offset range: 1000 - 12000 |Polarity: negative|Forward 3 shots|Backward 3 shots" << "1 > 1001|7 > 1007|9 > 1009";
        QTest::newRow("10 shots") << FbFileInfo{{}, 0, 1, -3000, -50, -1, 100} << range(5, 10) << "Number of sources: 1 |Number of FBs: 0 |Offset range: -3000 - -50 |Polarity: negative|Forward 100 shots|Backward 100 shots" << " 1 >  5| 7 > 11|10 > 14";
        QTest::newRow("250 shots") << FbFileInfo() << QVector<qint32>{3} + range(1002, 249) << "Number of sources: 0 |Number of FBs: 0 |Offset range: 0 - 0 |Polarity: positive|Forward 10 shots|Backward 10 shots" << "  1 >   3|  7 > 1007|250 > 1250";
        QTest::newRow("ffid wider") << FbFileInfo() << QVector<qint32>{123456, -42} << "Number of sources: 0 |Number of FBs: 0 |Offset range: 0 - 0 |Polarity: positive|Forward 10 shots|Backward 10 shots" << "1 > 123456|2 > -42|2 > -42";
    }
    void texts()
    {
        QFETCH(FbFileInfo, info);
        QFETCH(QVector<qint32>, ffids);
        QFETCH(QString, summary);
        QFETCH(QString, list);
        Viewer v({}, FbTest::recordsWithFfids(ffids), info);
        const QStringList shown{v.child<QLabel>("totalShotsLabel")->text(), v.child<QLabel>("totalFBsLabel")->text(),
                                v.child<QLabel>("offsetRangeLabel")->text(), v.child<QLabel>("polarityLabel")->text(),
                                v.child<QAbstractButton>("bulkUpButton")->toolTip(), v.child<QAbstractButton>("bulkDownButton")->toolTip()};
        QCOMPARE(shown.join('|'), summary);
        const int last = ffids.size() - 1;
        QCOMPARE(QStringList({v.combo()->itemText(0), v.combo()->itemText(qMin(6, last)), v.combo()->itemText(last)}).join('|'), list);
    }

    void cells_data()
    {
        QTest::addColumn<Cell>("cell");
        QTest::newRow("uniform s_elev") << Cell{0, [](FbRecord &r) { r.s_elev = 250; }, FbColumns::SElev, 0, "250", green, false};
        QTest::newRow("one s_elev differs") << Cell{2, [](FbRecord &r) { r.s_elev = 251; }, FbColumns::SElev, 1, "251", magenta, true};
        QTest::newRow("NaN in record 0") << Cell{0, [](FbRecord &r) { r.source_x = qQNaN(); }, FbColumns::SourceX, 2, "nan", red, true};
        QTest::newRow("fb_time 0.25") << Cell{1, [](FbRecord &r) { r.fb_time = 0.25f; }, FbColumns::FbTime, 0, "0.25", green, false};
        QTest::newRow("fb_time 5e-05") << Cell{0, [](FbRecord &r) { r.fb_time = 5e-05f; }, FbColumns::FbTime, 1, "5e-05", magenta, false};
        QTest::newRow("source_x 1.5") << Cell{3, [](FbRecord &r) { r.source_x = 1.5f; }, FbColumns::SourceX, -1, "1.50", red, true};
        QTest::newRow("offset -350") << Cell{3, [](FbRecord &r) { r.offset = -350; }, FbColumns::Offset, -1, "-350", red, false};
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
