// The plug-in against hostile and huge files, files that change under an
// open viewer, awkward paths and long sessions: no crash, a clear message,
// nothing wrong shown and nothing lost.

#include "browsefbfiledialog.h"
#include "fbtabledialog.h"
#include "fbtestfile.h"
#include "modaldriver.h"
#include "shotindex.h"
#include "sparsefile.h"

#include <sorvbaseutil.h>
#include <sorvprojectmanager.h>

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

namespace {

const QString nameKey = QStringLiteral("BrowseFBFile_BrowseFBFileDialog_fbName");

QVector<ShotIndexEntry> indexOf(const QString &path)
{
    ShotIndexScanner scanner(path);
    return scanner.open() ? scanner.scan() : QVector<ShotIndexEntry>();
}

// What the viewer shows right now.
struct ViewerState
{
    int row = -1;
    int rows = -1;
    QString firstFfid;
};

ViewerState stateOf(QWidget *viewer)
{
    ViewerState s;
    s.row = viewer->findChild<QComboBox *>(QStringLiteral("ffidCombo"))->currentIndex();
    QAbstractItemModel *model = viewer->findChild<QTableView *>(QStringLiteral("tableView"))->model();
    if (model) {
        s.rows = model->rowCount();
        if (s.rows > 0)
            s.firstFfid = model->index(0, 1).data().toString();
    }
    return s;
}

void click(QWidget *dialog, const char *button)
{
    auto *b = dialog->findChild<QPushButton *>(QLatin1String(button));
    QVERIFY(b);
    QVERIFY2(b->isEnabled(), button);
    b->click();
}

qint64 peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

} // namespace

class tst_Hardening : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void awkwardPaths_data();
    void awkwardPaths();
    void fileChangesUnderViewer_data();
    void fileChangesUnderViewer();
    void shotTooLargeToShow();
    void tooManyRecordsToIndex();
    void repeatedSessions();

private:
    QTemporaryDir m_dir;
};

void tst_Hardening::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(SorvProjectManager::instance().openProject(m_dir.path()));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void tst_Hardening::awkwardPaths_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("spaces") << QStringLiteral("pick files/line 7 picks.fb");
    QTest::newRow("chinese") << QStringLiteral("初至/测线 七.fb");
    QTest::newRow("accents and a comma") << QStringLiteral("données, été/tir ✓.cal");
}

void tst_Hardening::awkwardPaths()
{
    QFETCH(QString, relativePath);
    const QString path = m_dir.filePath(relativePath);
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QVERIFY(FbTest::writeFile(path, FbTest::fileBytes(FbTest::recordsWithFfids({11, 11, 12}))));

    {
        BrowseFBFileDialog dialog;
        dialog.show();
        {
            // The path comes through the file chooser, as a user picks it.
            // The chooser lists its start folder in the background and may
            // reset the typed name meanwhile, so the choice is repeated until
            // the chooser has taken it.
            QTimer retry;
            ModalDriver chooser([&](QWidget *modal) {
                auto *files = qobject_cast<QFileDialog *>(modal);
                if (!files)
                    return false;
                QPointer<QFileDialog> guarded(files);
                QObject::connect(&retry, &QTimer::timeout, [guarded, path] {
                    if (!guarded || !guarded->isVisible())
                        return;
                    auto *name = guarded->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                    if (!name)
                        return;
                    guarded->setDirectory(QFileInfo(path).absolutePath());
                    name->setText(QFileInfo(path).fileName());
                    static_cast<QDialog *>(guarded.data())->accept();
                });
                retry.start(50);
                return true;
            });
            dialog.findChild<QPushButton *>(QStringLiteral("openButton"))->click();
        }
        QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("fbName"))->text(), path);
        QVERIFY(dialog.findChild<QPushButton *>(QStringLiteral("okButton"))->isEnabled());

        QString labelSeen;
        int rowsSeen = -1;
        ModalDriver driver([&](QWidget *modal) {
            if (qstrcmp(modal->metaObject()->className(), "fbTableDialog") != 0)
                return false;
            labelSeen = modal->findChild<QLabel *>(QStringLiteral("fbNameLabel"))->text();
            rowsSeen = stateOf(modal).rows;
            ModalDriver::close(modal);
            return true;
        });
        dialog.findChild<QPushButton *>(QStringLiteral("okButton"))->click();
        QVERIFY2(driver.messages().isEmpty(), qPrintable(driver.messages().join(QLatin1Char('|'))));
        QVERIFY2(labelSeen.endsWith(QLatin1Char(' ') + path), qPrintable(labelSeen));
        QCOMPARE(rowsSeen, 2);
    }
    QCOMPARE(SorvBaseUtil::projectValue(nameKey).toString(), path);

    // A later dialog gets the path back from the project intact.
    BrowseFBFileDialog again;
    QCOMPARE(again.findChild<QLineEdit *>(QStringLiteral("fbName"))->text(), path);
    QVERIFY(again.findChild<QPushButton *>(QStringLiteral("okButton"))->isEnabled());
}

void tst_Hardening::fileChangesUnderViewer_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("cut back to its header") << QStringLiteral("truncate");
    QTest::newRow("deleted") << QStringLiteral("delete");
    QTest::newRow("replaced by a shorter file") << QStringLiteral("replace");
}

void tst_Hardening::fileChangesUnderViewer()
{
    QFETCH(QString, change);
    const QString path = m_dir.filePath(QStringLiteral("changing-%1.fb").arg(change));
    QVector<qint32> ffids;
    for (int shot = 0; shot < 6; ++shot)
        ffids += QVector<qint32>(4, 100 + shot);
    QVERIFY(FbTest::writeFile(path, FbTest::fileBytes(FbTest::recordsWithFfids(ffids))));

    FbFileInfo info;
    info.fbName = path;
    info.totalFBs = ffids.size();
    info.totalShots = 6;
    info.fastStep = 2;
    const QVector<ShotIndexEntry> index = indexOf(path);
    QCOMPARE(index.size(), 6);

    ModalDriver driver;
    fbTableDialog viewer(info, index);
    viewer.show();
    QCOMPARE(stateOf(&viewer).firstFfid, QStringLiteral("100"));

    if (change == QLatin1String("truncate")) {
        QFile file(path);
        QVERIFY(file.resize(FbLayout::HeaderSize));
    } else if (change == QLatin1String("delete")) {
        QVERIFY(QFile::remove(path));
    } else {
        QVERIFY(FbTest::writeFile(path, FbTest::fileBytes(FbTest::recordsWithFfids({7, 7, 7, 7}))));
    }

    // Every move still shows the shot's rows; what the file lost reads as 0.
    const char *moves[] = {"upButton", "bulkUpButton", "toEndButton", "downButton", "toStartButton"};
    const int targets[] = {1, 3, 5, 4, 0};
    for (int m = 0; m < 5; ++m) {
        click(&viewer, moves[m]);
        const ViewerState s = stateOf(&viewer);
        QCOMPARE(s.row, targets[m]);
        QCOMPARE(s.rows, 4);
        const QString expected = change == QLatin1String("replace") && targets[m] == 0 ? QStringLiteral("7")
                                                                                        : QStringLiteral("0");
        QCOMPARE(s.firstFfid, expected);
    }
    QVERIFY2(driver.seen().isEmpty(), "a changed file must not raise message boxes");
}

void tst_Hardening::shotTooLargeToShow()
{
    // A small shot, 52 million zero records (one shot of ffid 0), a small
    // shot: as a zero-filled stretch in a damaged file reads. The file
    // passes 4 GiB, so the last shot also proves 64-bit positions.
    const qint64 hole = 52000000;
    const qint64 n = 10 + hole + 10;
    QVector<SparseFb::Placed> records = SparseFb::shot(0, 1, 10);
    records += SparseFb::shot(10 + hole, 3, 10);
    FbFileHeader header;
    header.fb_count = qint32(n);
    const QString path = m_dir.filePath(QStringLiteral("zero-stretch.fb"));
    const qint64 size = FbLayout::HeaderSize + FbLayout::RecordSize * n;
    QVERIFY(size > (qint64(1) << 32));
    if (!SparseFb::make(path, size, header, records))
        QSKIP("this file system cannot hold sparse files");

    const QVector<ShotIndexEntry> index = indexOf(path);
    QCOMPARE(index.size(), 3);
    QCOMPARE(index.at(1).lastRecord - index.at(1).firstRecord + 1, qint32(hole));

    FbFileInfo info;
    info.fbName = path;
    info.totalFBs = qint32(n);
    info.totalShots = 3;
    ModalDriver driver;
    const qint64 before = peakResidentKiB();
    fbTableDialog viewer(info, index);
    viewer.show();
    QCOMPARE(stateOf(&viewer).rows, 10);
    QCOMPARE(viewer.findChild<QLabel *>(QStringLiteral("totalFBsLabel"))->text(),
             QStringLiteral("Number of FBs: 52,000,020 "));

    click(&viewer, "upButton");
    ViewerState s = stateOf(&viewer);
    QCOMPARE(s.row, 1);
    QCOMPARE(s.rows, 0);
    QCOMPARE(driver.count("QMessageBox"), 1);
    QVERIFY2(driver.messages().first().contains(QStringLiteral("52,000,000 picks")),
             qPrintable(driver.messages().first()));

    // Navigation goes on past it, both ways, and the last shot, beyond
    // 4 GiB, shows its own records.
    click(&viewer, "upButton");
    s = stateOf(&viewer);
    QCOMPARE(s.row, 2);
    QCOMPARE(s.rows, 10);
    QCOMPARE(s.firstFfid, QStringLiteral("3"));
    QAbstractItemModel *model = viewer.findChild<QTableView *>(QStringLiteral("tableView"))->model();
    QCOMPARE(model->index(9, 2).data().toString(), QStringLiteral("10"));   // channel
    QCOMPARE(model->index(9, 3).data().toString(), QStringLiteral("109"));  // fb_time
    QCOMPARE(model->index(9, 4).data().toString(), QStringLiteral("400"));  // offset
    click(&viewer, "toStartButton");
    QCOMPARE(stateOf(&viewer).rows, 10);
    QCOMPARE(driver.count("QMessageBox"), 1);

    const qint64 grownMiB = (peakResidentKiB() - before) / 1024;
    qInfo("peak memory grew by %lld MiB", grownMiB);
    QVERIFY2(grownMiB < 512, "the oversized shot was loaded after all");
    QFile::remove(path);
}

void tst_Hardening::tooManyRecordsToIndex()
{
    const qint64 n = qint64(std::numeric_limits<qint32>::max()) + 1;
    FbFileHeader header;
    header.fb_count = 3;
    const QString path = m_dir.filePath(QStringLiteral("past-int32.fb"));
    if (!SparseFb::make(path, FbLayout::HeaderSize + FbLayout::RecordSize * n, header, SparseFb::shot(0, 1, 3)))
        QSKIP("this file system cannot hold sparse files");

    BrowseFBFileDialog dialog;
    dialog.show();
    dialog.findChild<QLineEdit *>(QStringLiteral("fbName"))->setText(path);
    ModalDriver driver;
    dialog.findChild<QPushButton *>(QStringLiteral("okButton"))->click();
    QCOMPARE(driver.count("fbTableDialog"), 0);
    QVERIFY2(driver.count("QMessageBox") >= 1, "no warning for a file too large to index");
    QVERIFY(dialog.isVisible());
    QFile::remove(path);
}

void tst_Hardening::repeatedSessions()
{
    // Open, load, walk to the last shot and close, many times over: under
    // the leak checker this proves every cycle gives back what it took.
    const QString path = m_dir.filePath(QStringLiteral("sessions.fb"));
    QVector<qint32> ffids;
    for (int shot = 0; shot < 12; ++shot)
        ffids += QVector<qint32>(3 + shot % 4, 500 + shot);
    QVERIFY(FbTest::writeFile(path, FbTest::fileBytes(FbTest::recordsWithFfids(ffids))));

    int viewersWalked = 0;
    for (int cycle = 0; cycle < 100; ++cycle) {
        BrowseFBFileDialog dialog;
        dialog.show();
        dialog.findChild<QLineEdit *>(QStringLiteral("fbName"))->setText(path);
        ModalDriver driver([&](QWidget *modal) {
            if (qstrcmp(modal->metaObject()->className(), "fbTableDialog") != 0)
                return false;
            modal->findChild<QPushButton *>(QStringLiteral("toEndButton"))->click();
            if (stateOf(modal).row == 11 && stateOf(modal).rows == 3 + 11 % 4)
                ++viewersWalked;
            ModalDriver::close(modal);
            return true;
        });
        dialog.findChild<QPushButton *>(QStringLiteral("okButton"))->click();
        dialog.reject();
    }
    QCOMPARE(viewersWalked, 100);
}

QTEST_MAIN(tst_Hardening)
#include "tst_hardening.moc"
