// The plug-in against huge files, awkward paths and long sessions: no
// crash, a clear message, nothing wrong shown and nothing lost.

#include "browsefbfiledialog.h"
#include "fbtabledialog.h"
#include "fbtestfile.h"
#include "modaldriver.h"
#include "sparsefile.h"

#include <sorvbaseutil.h>
#include <sorvprojectmanager.h>

#include <QtTest>
#include <QtWidgets>

#include <sys/resource.h>

namespace {

template<class T> T *child(QWidget *parent, const char *name) { return parent->findChild<T *>(QLatin1String(name)); }

// What the viewer shows, after a click on button if given: "current row,
// rows of the table, first ffid".
QString stateOf(QWidget *viewer, const char *button = nullptr)
{
    if (button)
        child<QPushButton>(viewer, button)->click();
    QAbstractItemModel *model = child<QTableView>(viewer, "tableView")->model();
    return QStringLiteral("%1 %2 %3").arg(child<QComboBox>(viewer, "ffidCombo")->currentIndex()).arg(model->rowCount()).arg(model->index(0, 1).data().toString());
}

long peakKiB()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Opens path through the browse dialog's OK button; handler sees each modal window.
void loadThroughBrowse(BrowseFBFileDialog &dialog, const QString &path, const ModalDriver::Handler &handler)
{
    dialog.show();
    child<QLineEdit>(&dialog, "fbName")->setText(path);
    ModalDriver driver(handler);
    child<QPushButton>(&dialog, "okButton")->click();
}

} // namespace

class tst_Hardening : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(SorvProjectManager::instance().openProject(m_dir.path()));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void awkwardPaths_data()
    {
        QTest::addColumn<QString>("relativePath");
        QTest::newRow("spaces") << QStringLiteral("pick files/line 7 picks.fb");
        QTest::newRow("chinese") << QStringLiteral("初至/测线 七.fb");
        QTest::newRow("accents and a comma") << QStringLiteral("données, été/tir ✓.cal");
    }
    void awkwardPaths()
    {
        QFETCH(QString, relativePath);
        const QString path = m_dir.filePath(relativePath);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(FbTest::writeFile(path, FbTest::fileBytes(FbTest::recordsWithFfids({11, 11, 12}))));
        BrowseFBFileDialog dialog;
        {
            // Picked through the file chooser. It lists its folder in the
            // background and may reset the chosen name meanwhile, so the
            // choice is repeated until the chooser has taken it.
            QTimer retry;
            QObject::connect(&retry, &QTimer::timeout, [&] {
                auto *files = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                if (files && child<QLineEdit>(files, "fileNameEdit")) {
                    files->setDirectory(QFileInfo(path).absolutePath());
                    child<QLineEdit>(files, "fileNameEdit")->setText(QFileInfo(path).fileName());
                    static_cast<QDialog *>(files)->accept(); // QFileDialog's own is protected
                }
            });
            retry.start(50);
            ModalDriver limit([](QWidget *modal) { return qobject_cast<QFileDialog *>(modal) != nullptr; });
            child<QPushButton>(&dialog, "openButton")->click();
        }
        QCOMPARE(child<QLineEdit>(&dialog, "fbName")->text(), path);
        QString seen;
        loadThroughBrowse(dialog, path, [&](QWidget *modal) {
            seen += modal->metaObject()->className() + QStringLiteral(": ") + (qobject_cast<fbTableDialog *>(modal) ? child<QLabel>(modal, "fbNameLabel")->text() + '|' + stateOf(modal) : QString());
            return false;
        });
        QCOMPARE(seen, QStringLiteral("fbTableDialog: FB File: %1|0 2 11").arg(path));
        QCOMPARE(SorvBaseUtil::projectValue(QStringLiteral("BrowseFBFile_BrowseFBFileDialog_fbName")).toString(), path);
        BrowseFBFileDialog again;
        QCOMPARE(child<QLineEdit>(&again, "fbName")->text(), path);
    }

    // A small shot, 52 million zero records (one shot of ffid 0, as a
    // zero-filled stretch of a damaged file reads), a small shot. The file
    // passes 4 GiB, so the last shot also proves 64-bit positions.
    void shotTooLargeToShow()
    {
        const qint64 hole = 52000000, n = 10 + hole + 10;
        const QString path = m_dir.filePath(QStringLiteral("zero-stretch.fb"));
        if (!SparseFb::make(path, FbLayout::HeaderSize + FbLayout::RecordSize * n, FbFileHeader(), SparseFb::shot(0, 1, 10) + SparseFb::shot(10 + hole, 3, 10)))
            QSKIP("this file system cannot hold sparse files");
        const FbFileInfo info{path, qint32(n)};
        ShotIndexScanner scanner(path);
        QVERIFY(scanner.open());
        ModalDriver driver;
        const long before = peakKiB();
        fbTableDialog viewer(info, scanner.scan());
        viewer.show();
        QCOMPARE(stateOf(&viewer), QStringLiteral("0 10 1"));
        QCOMPARE(child<QLabel>(&viewer, "totalFBsLabel")->text(), QStringLiteral("Number of FBs: 52,000,020 "));
        QCOMPARE(stateOf(&viewer, "upButton"), QStringLiteral("1 0 "));
        QCOMPARE(driver.messages().size(), 1);
        QVERIFY2(driver.messages().first().contains(QStringLiteral("52,000,000 picks")), qPrintable(driver.messages().first()));
        // Navigation goes on past it, and the last shot, beyond 4 GiB, shows
        // its own records.
        QCOMPARE(stateOf(&viewer, "upButton"), QStringLiteral("2 10 3"));
        QCOMPARE(stateOf(&viewer, "toStartButton"), QStringLiteral("0 10 1"));
        QCOMPARE(driver.seen().size(), 1);
        QVERIFY2(peakKiB() - before < 512 * 1024, "the oversized shot was loaded after all");
    }

    // A file of more records than int32 counts is refused with a warning.
    void tooManyRecordsToIndex()
    {
        const QString path = m_dir.filePath(QStringLiteral("past-int32.fb"));
        if (!SparseFb::make(path, FbLayout::HeaderSize + FbLayout::RecordSize * (qint64(INT32_MAX) + 1), FbFileHeader(), SparseFb::shot(0, 1, 3)))
            QSKIP("this file system cannot hold sparse files");
        BrowseFBFileDialog dialog;
        QStringList seen;
        loadThroughBrowse(dialog, path, [&](QWidget *modal) { seen << modal->metaObject()->className(); return false; });
        QCOMPARE(seen, QStringList{"QMessageBox"});
        QVERIFY(dialog.isVisible());
    }

    // Open, load, walk to the last shot and close, many times over: under
    // the leak checker this proves every cycle gives back what it took.
    void repeatedSessions()
    {
        const QString path = m_dir.filePath(QStringLiteral("sessions.fb"));
        QVERIFY(FbTest::writeFile(path, FbTest::fileBytes(FbTest::recordsWithFfids({500, 500, 501, 502, 502, 502}))));
        int viewersWalked = 0;
        for (int cycle = 0; cycle < 100; ++cycle) {
            BrowseFBFileDialog dialog;
            loadThroughBrowse(dialog, path, [&](QWidget *modal) {
                viewersWalked += qobject_cast<fbTableDialog *>(modal) && stateOf(modal, "toEndButton") == QLatin1String("2 3 502");
                return false;
            });
        }
        QCOMPARE(viewersWalked, 100);
    }
};

QTEST_MAIN(tst_Hardening)
#include "tst_hardening.moc"
