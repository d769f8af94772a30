// The table viewer, driven through its widgets: navigation and button
// states, summary, shot list, cell texts and colours, and files that changed
// or hold no shot.

#include "fbcolumns.h"
#include "fbfile.h"
#include "fbfileinfo.h"
#include "fbtabledialog.h"
#include "fbtestfile.h"
#include "shotindex.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>
#include <memory>

Q_DECLARE_METATYPE(QVector<FbRecord>)
Q_DECLARE_METATYPE(QVector<ShotIndexEntry>)

namespace {

// The navigation row, left to right.
const char *const buttonNames[] = {"toStartButton", "bulkDownButton", "downButton",
                                   "upButton",      "bulkUpButton",   "toEndButton"};

// The shot index of records, one entry per run of equal ffids.
QVector<ShotIndexEntry> runsOf(const QVector<FbRecord> &records)
{
    QVector<ShotIndexEntry> index;
    for (int i = 0; i < records.size(); ++i) {
        if (index.isEmpty() || index.last().ffid != records.at(i).ffid)
            index.append({records.at(i).ffid, i, i});
        else
            index.last().lastRecord = i;
    }
    return index;
}

// Shots of the given sizes with ffids 100, 101, ...
QVector<FbRecord> shotsOfSizes(const QVector<int> &sizes)
{
    QVector<qint32> ffids;
    for (int shot = 0; shot < sizes.size(); ++shot)
        ffids.insert(ffids.size(), sizes.at(shot), 100 + shot);
    return FbTest::recordsWithFfids(ffids);
}

// A viewer over a temporary FB file holding records.
class Viewer
{
public:
    explicit Viewer(const QVector<FbRecord> &records, FbFileInfo fileInfo = FbFileInfo())
        : Viewer(records, runsOf(records), fileInfo)
    {
    }

    Viewer(const QVector<FbRecord> &records, const QVector<ShotIndexEntry> &index, FbFileInfo fileInfo = {})
        : records(records)
        , index(index)
    {
        path = dir.filePath(QStringLiteral("shots.fb"));
        if (!FbTest::writeFile(path, FbTest::fileBytes(records)))
            qFatal("cannot write %s", qPrintable(path));
        info = fileInfo;
        info.fbName = path;
        dialog.reset(new fbTableDialog(info, index));
    }

    template<class T>
    T *child(const char *name) const
    {
        T *widget = dialog->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }

    QComboBox *combo() const { return child<QComboBox>("ffidCombo"); }
    QStandardItemModel *model() const
    {
        return qobject_cast<QStandardItemModel *>(child<QTableView>("tableView")->model());
    }
    QStandardItem *item(int row, int column) const { return model()->item(row, column); }

    QString buttonStates() const
    {
        QString states;
        for (const char *name : buttonNames)
            states += child<QAbstractButton>(name)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return states;
    }

    QTemporaryDir dir;
    QString path;
    QVector<FbRecord> records;
    QVector<ShotIndexEntry> index;
    FbFileInfo info;
    std::unique_ptr<fbTableDialog> dialog;
};

QBrush solid(int r, int g, int b, int a)
{
    return QBrush(QColor(r, g, b, a), Qt::SolidPattern);
}

} // namespace

class TestFbTableDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void navigation_data();
    void navigation();
    void summary_data();
    void summary();
    void shotList_data();
    void shotList();
    void shotConstantColumns_data();
    void shotConstantColumns();
    void cellLooks_data();
    void cellLooks();
    void fileShrunkAfterIndexing_data();
    void fileShrunkAfterIndexing();
    void shotWithoutRecords_data();
    void shotWithoutRecords();
};

void TestFbTableDialog::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

// Each line of a script: the step, the current row after it, and the button
// states, one character per button of the navigation row ('1' enabled). The
// step is a button glyph, "#k" to pick row k in the shot list, or "open".
void TestFbTableDialog::navigation_data()
{
    QTest::addColumn<QVector<int>>("shotSizes");
    QTest::addColumn<int>("fastStep");
    QTest::addColumn<QStringList>("script");

    QVector<int> sizes25;
    for (int i = 0; i < 25; ++i)
        sizes25 << i % 3 + 1;

    QTest::newRow("one shot: nothing moves")
        << QVector<int>{3} << 10 << QStringList{"open 0 000000", "> 0 000000", ">| 0 000000", "#0 0 000000"};
    QTest::newRow("two shots")
        << QVector<int>{2, 3} << 10
        << QStringList{"open 0 000111", "> 1 111000", "< 0 000111", ">> 1 111000",
                       "<< 0 000111", ">| 1 111000", "|< 0 000111"};
    QTest::newRow("single steps through three shots")
        << QVector<int>{1, 4, 2} << 10
        << QStringList{"open 0 000111", "> 1 111111", "> 2 111000", "< 1 111111", "< 0 000111"};
    QTest::newRow("25 shots, fast step 10")
        << sizes25 << 10
        << QStringList{"open 0 000111", ">> 10 111111", ">> 20 111111", ">> 24 111000",
                       "<< 14 111111", "<< 4 111111", "<< 0 000111"};
    QTest::newRow("fast step larger than the file")
        << QVector<int>{2, 1, 3, 1, 2} << 10 << QStringList{"open 0 000111", ">> 4 111000", "<< 0 000111"};
    QTest::newRow("rows picked in the list, the current one again")
        << sizes25 << 10
        << QStringList{"open 0 000111", "#12 12 111111", "#12 12 111111", "#24 24 111000",
                       "#0 0 000111", "#0 0 000111"};
    QTest::newRow("to the end and back")
        << sizes25 << 10 << QStringList{"open 0 000111", ">| 24 111000", "|< 0 000111"};
}

void TestFbTableDialog::navigation()
{
    QFETCH(QVector<int>, shotSizes);
    QFETCH(int, fastStep);
    QFETCH(QStringList, script);

    FbFileInfo info;
    info.fastStep = fastStep;
    Viewer v(shotsOfSizes(shotSizes), info);
    const QMap<QString, const char *> buttons{{"|<", "toStartButton"}, {"<<", "bulkDownButton"},
                                              {"<", "downButton"},     {">", "upButton"},
                                              {">>", "bulkUpButton"},  {">|", "toEndButton"}};

    int previousRow = -1;
    for (const QString &line : script) {
        const QStringList parts = line.split(QLatin1Char(' '));
        const QString &step = parts.at(0);
        const int row = parts.at(1).toInt();
        QPointer<QStandardItemModel> before = v.model();
        if (step.startsWith(QLatin1Char('#')))
            v.combo()->setCurrentIndex(step.mid(1).toInt());
        else if (step != QLatin1String("open"))
            v.child<QAbstractButton>(buttons.value(step))->click();
        QVERIFY2(v.combo()->currentIndex() == row, qPrintable(line));
        QCOMPARE(v.buttonStates(), parts.at(2));
        QVERIFY(v.combo()->isEnabled());

        // A new row is a new model holding exactly the new shot; the same
        // row keeps the model it had, the shot is not read again.
        if (row == previousRow) {
            QVERIFY2(before && before == v.model(), qPrintable(line));
            continue;
        }
        QVERIFY2(!before || previousRow < 0, qPrintable(line));
        previousRow = row;
        const ShotIndexEntry &shot = v.index.at(row);
        QStandardItemModel *model = v.model();
        QCOMPARE(model->rowCount(), shotSizes.at(row));
        QCOMPARE(model->columnCount(), 16);
        for (int r = 0; r < model->rowCount(); ++r) {
            const FbRecord &record = v.records.at(shot.firstRecord + r);
            for (int c = 0; c < 16; ++c)
                QVERIFY(model->item(r, c));
            QCOMPARE(v.item(r, FbColumns::Ffid)->text(), QString::number(shot.ffid));
            QCOMPARE(v.item(r, FbColumns::FbNo)->text(), QString::number(record.fb_no));
            QCOMPARE(v.item(r, FbColumns::Channel)->text(), QString::number(record.channel));
        }
    }
}

// info: totalShots, totalFBs, minOffset, maxOffset, polarity, fastStep.
void TestFbTableDialog::summary_data()
{
    QTest::addColumn<QVector<int>>("info");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("grouped counts, negative low offset, positive")
        << QVector<int>{1234, 98765, -50, 3000, 1, 10}
        << QStringList{"Number of sources: 1,234 ", "Number of FBs: 98,765 ", "Offset range: -50 - 3000 ",
                       "Polarity: positive", "Forward 10 shots", "Backward 10 shots"};
    QTest::newRow("offsets never grouped, zero polarity")
        << QVector<int>{999, 1234567, 1000, 12000, 0, 3}
        << QStringList{"Number of sources: 999 ", "Number of FBs: 1,234,567 ", "Offset range: 1000 - 12000 ",
                       "Polarity: negative", "Forward 3 shots", "Backward 3 shots"};
    QTest::newRow("negative polarity")
        << QVector<int>{1, 0, -3000, -50, -1, 100}
        << QStringList{"Number of sources: 1 ", "Number of FBs: 0 ", "Offset range: -3000 - -50 ",
                       "Polarity: negative", "Forward 100 shots", "Backward 100 shots"};
}

void TestFbTableDialog::summary()
{
    QFETCH(QVector<int>, info);
    QFETCH(QStringList, texts);

    FbFileInfo fileInfo;
    fileInfo.totalShots = info.at(0);
    fileInfo.totalFBs = info.at(1);
    fileInfo.minOffset = info.at(2);
    fileInfo.maxOffset = info.at(3);
    fileInfo.polarity = info.at(4);
    fileInfo.fastStep = info.at(5);
    Viewer v(shotsOfSizes({2, 2}), fileInfo);

    QCOMPARE(v.child<QLabel>("fbNameLabel")->text(), QStringLiteral("FB File: ") + v.path);
    const QStringList shown{v.child<QLabel>("totalShotsLabel")->text(),
                            v.child<QLabel>("totalFBsLabel")->text(),
                            v.child<QLabel>("offsetRangeLabel")->text(),
                            v.child<QLabel>("polarityLabel")->text(),
                            v.child<QAbstractButton>("bulkUpButton")->toolTip(),
                            v.child<QAbstractButton>("bulkDownButton")->toolTip()};
    QCOMPARE(shown, texts);
}

// One record per shot with the given ffids; expected texts of some rows.
void TestFbTableDialog::shotList_data()
{
    QTest::addColumn<QVector<int>>("ffids");
    QTest::addColumn<QVector<int>>("rows");
    QTest::addColumn<QStringList>("texts");

    QVector<int> nine, ten, many;
    for (int i = 0; i < 9; ++i)
        nine << 1001 + i;
    for (int i = 0; i < 10; ++i)
        ten << 5 + i;
    many << 3;
    for (int i = 1; i < 250; ++i)
        many << 1001 + i;

    QTest::newRow("one shot") << QVector<int>{7} << QVector<int>{0} << QStringList{"1 > 7"};
    QTest::newRow("nine shots: no padding")
        << nine << QVector<int>{0, 8} << QStringList{"1 > 1001", "9 > 1009"};
    QTest::newRow("ten shots: two digits")
        << ten << QVector<int>{0, 6, 9} << QStringList{" 1 >  5", " 7 > 11", "10 > 14"};
    QTest::newRow("250 shots: three digits, long ffids whole")
        << many << QVector<int>{0, 6, 249} << QStringList{"  1 >   3", "  7 > 1007", "250 > 1250"};
    QTest::newRow("ffids longer than the width, negative")
        << QVector<int>{123456, -42} << QVector<int>{0, 1} << QStringList{"1 > 123456", "2 > -42"};
}

void TestFbTableDialog::shotList()
{
    QFETCH(QVector<int>, ffids);
    QFETCH(QVector<int>, rows);
    QFETCH(QStringList, texts);

    Viewer v(FbTest::recordsWithFfids(QVector<qint32>(ffids.cbegin(), ffids.cend())));
    QCOMPARE(v.combo()->count(), ffids.size());
    QCOMPARE(v.combo()->currentIndex(), 0);
    for (int k = 0; k < rows.size(); ++k)
        QCOMPARE(v.combo()->itemText(rows.at(k)), texts.at(k));
}

// A source column whose values are not all equal to record 0's, NaN
// included, is red in every row; all other columns carry no text colour.
void TestFbTableDialog::shotConstantColumns_data()
{
    QTest::addColumn<QVector<FbRecord>>("records");
    QTest::addColumn<QVector<int>>("redColumns");

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const QVector<FbRecord> uniform = FbTest::recordsWithFfids({9, 9, 9, 9});

    QTest::newRow("uniform shot") << uniform << QVector<int>{};
    QTest::newRow("one record") << FbTest::recordsWithFfids({9}) << QVector<int>{};

    QVector<FbRecord> records = uniform;
    records[2].s_elev = 251;
    QTest::newRow("one s_elev differs") << records << QVector<int>{FbColumns::SElev};

    records = uniform;
    records[0].source_x = nan;
    QTest::newRow("NaN source_x in record 0") << records << QVector<int>{FbColumns::SourceX};

    records = FbTest::recordsWithFfids({9});
    records[0].source_y = nan;
    QTest::newRow("NaN in the only record") << records << QVector<int>{FbColumns::SourceY};

    records = uniform;
    records[3].s_stat = -101;
    records[1].s_depth = 13;
    records[3].s_line = 8;
    QTest::newRow("three columns differ in other records")
        << records << QVector<int>{FbColumns::SDepth, FbColumns::SLine, FbColumns::SStat};
}

void TestFbTableDialog::shotConstantColumns()
{
    QFETCH(QVector<FbRecord>, records);
    QFETCH(QVector<int>, redColumns);

    Viewer v(records);
    QCOMPARE(v.model()->rowCount(), records.size());
    for (int c = 0; c < 16; ++c) {
        for (int r = 0; r < records.size(); ++r) {
            const QVariant foreground = v.item(r, c)->data(Qt::ForegroundRole);
            if (redColumns.contains(c))
                QCOMPARE(foreground.value<QBrush>(), solid(255, 0, 0, 255));
            else
                QVERIFY2(!foreground.isValid(), qPrintable(QStringLiteral("row %1 column %2").arg(r).arg(c)));
        }
    }
    // A red column shows each record's own value.
    if (redColumns.contains(FbColumns::SElev)) {
        QCOMPARE(v.item(0, FbColumns::SElev)->text(), QStringLiteral("250"));
        QCOMPARE(v.item(2, FbColumns::SElev)->text(), QStringLiteral("251"));
    }
}

// One record with one field changed: the text of its cell and the
// fb_time background that its pick status gives.
void TestFbTableDialog::cellLooks_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("timeBackground");

    const QColor green(0, 255, 0, 120), magenta(255, 0, 255, 120), red(255, 0, 0, 120);
    QTest::newRow("fb_time 0.25, status 0") << int(FbColumns::FbTime) << 0.25 << 0 << "0.25" << green;
    QTest::newRow("fb_time 5e-05, status 1") << int(FbColumns::FbTime) << 5e-05 << 1 << "5e-05" << magenta;
    QTest::newRow("fb_time 1234567, status 2")
        << int(FbColumns::FbTime) << 1234567.0 << 2 << "1.23457e+06" << red;
    QTest::newRow("source_x 1.5, status -1") << int(FbColumns::SourceX) << 1.5 << -1 << "1.50" << red;
    QTest::newRow("group_y 123.4") << int(FbColumns::GroupY) << 123.4 << 0 << "123.40" << green;
    QTest::newRow("offset -350") << int(FbColumns::Offset) << -350.0 << 1 << "-350" << magenta;
    QTest::newRow("g_stat -12") << int(FbColumns::GStat) << -12.0 << 0 << "-12" << green;
}

void TestFbTableDialog::cellLooks()
{
    QFETCH(int, column);
    QFETCH(double, value);
    QFETCH(int, status);
    QFETCH(QString, text);
    QFETCH(QColor, timeBackground);

    QVector<FbRecord> records = FbTest::recordsWithFfids({9});
    FbRecord &r = records[0];
    r.fb_status = status;
    switch (column) {
    case FbColumns::FbTime: r.fb_time = float(value); break;
    case FbColumns::SourceX: r.source_x = float(value); break;
    case FbColumns::GroupY: r.group_y = float(value); break;
    case FbColumns::Offset: r.offset = qint32(value); break;
    case FbColumns::GStat: r.g_stat = qint32(value); break;
    default: QFAIL("column not covered by the test");
    }

    Viewer v(records);
    QCOMPARE(v.item(0, column)->text(), text);
    QCOMPARE(v.item(0, FbColumns::FbTime)->background(), QBrush(timeBackground, Qt::SolidPattern));
    for (int c = 0; c < 16; ++c) {
        if (c != FbColumns::FbTime)
            QVERIFY(!v.item(0, c)->data(Qt::BackgroundRole).isValid());
    }
}

// Shots of 3 and 4 records; the file loses bytes after it was indexed, and
// the second shot is then shown with zeros where records went missing.
void TestFbTableDialog::fileShrunkAfterIndexing_data()
{
    QTest::addColumn<int>("keptBytes");
    QTest::addColumn<QVector<int>>("zeroRows");
    QTest::addColumn<bool>("ffidRed");

    const int header = int(FbLayout::HeaderSize), record = int(FbLayout::RecordSize);
    QTest::newRow("cut after record 4") << header + 5 * record << QVector<int>{2, 3} << true;
    QTest::newRow("cut inside record 5") << header + 5 * record + 40 << QVector<int>{3} << true;
    QTest::newRow("emptied") << 0 << QVector<int>{0, 1, 2, 3} << false;
    QTest::newRow("removed") << -1 << QVector<int>{0, 1, 2, 3} << false;
}

void TestFbTableDialog::fileShrunkAfterIndexing()
{
    QFETCH(int, keptBytes);
    QFETCH(QVector<int>, zeroRows);
    QFETCH(bool, ffidRed);

    Viewer v(shotsOfSizes({3, 4}));
    QFile file(v.path);
    QVERIFY(keptBytes < 0 ? file.remove() : file.resize(keptBytes));
    v.child<QAbstractButton>("upButton")->click();

    QCOMPARE(v.model()->rowCount(), 4);
    for (int r = 0; r < 4; ++r) {
        if (!zeroRows.contains(r)) {
            QCOMPARE(v.item(r, FbColumns::Channel)->text(), QString::number(v.records.at(3 + r).channel));
            continue;
        }
        for (int c = 0; c < 16; ++c) {
            const bool coordinate = c >= FbColumns::SourceX && c <= FbColumns::GroupY;
            QCOMPARE(v.item(r, c)->text(), coordinate ? QStringLiteral("0.00") : QStringLiteral("0"));
        }
        QCOMPARE(v.item(r, FbColumns::FbTime)->background(), solid(0, 255, 0, 120));
    }
    QCOMPARE(v.item(0, FbColumns::Ffid)->data(Qt::ForegroundRole).isValid(), ffidRed);
}

// A file without a complete record is indexed as one shot of no records;
// an empty index should never reach the viewer but must not break it.
void TestFbTableDialog::shotWithoutRecords_data()
{
    QTest::addColumn<QVector<ShotIndexEntry>>("index");
    QTest::addColumn<QStringList>("shotList");

    QTest::newRow("shot of no records") << QVector<ShotIndexEntry>{{77, 0, -1}} << QStringList{"1 > 77"};
    QTest::newRow("empty index") << QVector<ShotIndexEntry>{} << QStringList{};
}

void TestFbTableDialog::shotWithoutRecords()
{
    QFETCH(QVector<ShotIndexEntry>, index);
    QFETCH(QStringList, shotList);

    // The file does hold records: none of them may show up.
    Viewer v(shotsOfSizes({2}), index);
    QStandardItemModel *model = v.model();
    QVERIFY(model);
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(model->columnCount(), 16);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("fb_no"));
    QCOMPARE(model->headerData(15, Qt::Horizontal).toString(), QStringLiteral("g_stat"));
    QCOMPARE(v.combo()->count(), shotList.size());
    for (int i = 0; i < shotList.size(); ++i)
        QCOMPARE(v.combo()->itemText(i), shotList.at(i));
    QCOMPARE(v.buttonStates(), QStringLiteral("000000"));
}

QTEST_MAIN(TestFbTableDialog)
#include "tst_fbtabledialog.moc"
