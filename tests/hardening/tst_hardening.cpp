// The plug-in against huge files and long sessions: no crash, a clear
// message, nothing wrong shown and nothing lost.

#include "browsefbfiledialog.h"
#include "fbtabledialog.h"
#include "fbtestfile.h"
#include "modaldriver.h"
#include "shotviewbudget.h"
#include "sparsefile.h"
#include <fbfile/shotindex.h>
#include <fbfile/shotrecords.h>

#include <SorvBase/sorvbaseutil.h>
#include <SorvBase/sorvprojectmanager.h>

#include <QtTest>
#include <QtWidgets>

#include <limits>

#include <sys/resource.h>

using namespace FbFile;

namespace {

template<class T>
T *child(QWidget *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

// What the viewer shows: the current row, the rows of its table and the
// ffid of the first of them (empty for an empty table).
struct Shown
{
    int row, rows;
    QString ffid;
    bool operator==(const Shown &o) const { return row == o.row && rows == o.rows && ffid == o.ffid; }
};
char *toString(const Shown &s)
{
    return qstrdup(qPrintable(QStringLiteral("row %1 with %2 rows of ffid '%3'").arg(s.row).arg(s.rows).arg(s.ffid)));
}

// What the viewer shows after a click on button, if one is given.
Shown shownBy(QWidget *viewer, const char *button = nullptr)
{
    if (button)
        child<QPushButton>(viewer, button)->click();
    QAbstractItemModel *model = child<QTableView>(viewer, "tableView")->model();
    return {child<QComboBox>(viewer, "ffidCombo")->currentIndex(), model->rowCount(),
            model->index(0, 1).data().toString()};
}

// The peak resident memory since the last resetPeak(), in KiB. Where the
// peak cannot be reset it is the process's.
long peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Opens path through the browse dialog's OK button; handler sees each modal
// window. Returns the modal windows seen.
QList<ModalDriver::Seen> loadThroughBrowse(BrowseFBFileDialog &dialog, const QString &path,
                                           const ModalDriver::Handler &handler = {})
{
    dialog.show();
    child<QLineEdit>(&dialog, "fbName")->setText(path);
    ModalDriver driver(handler);
    child<QPushButton>(&dialog, "okButton")->click();
    return driver.seen();
}

// A shot of a test file; ffid 0 marks a zero-filled stretch, left as a hole.
struct Shot
{
    qint32 ffid;
    qint64 records;
};

} // namespace

Q_DECLARE_METATYPE(QVector<Shot>)

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

    // A zero-filled stretch reads as one shot of ffid 0, too large to show:
    // as the first shot, as the only one, and between two small shots with
    // the last beyond 4 GiB (64-bit positions). Such a shot gets a warning
    // and an empty table, costs no memory for its size, and every other shot
    // stays reachable.
    void shotTooLargeToShow_data()
    {
        QTest::addColumn<QVector<Shot>>("shots");
        // Past the budget, and large enough that a table sized for it would
        // show in the peak memory on any machine.
        const qint64 overBudget = qMax<qint64>(ShotViewBudget::budgetBytes() / ShotViewBudget::BytesPerRow + 1, 4e6);
        QTest::newRow("first shot") << QVector<Shot>{{0, overBudget}, {3, 10}};
        QTest::newRow("only shot") << QVector<Shot>{{0, overBudget}};
        QTest::newRow("between, past 4 GiB") << QVector<Shot>{{1, 10}, {0, 52000000}, {3, 10}};
    }
    void shotTooLargeToShow()
    {
        QFETCH(QVector<Shot>, shots);
        const QString path = m_dir.filePath(QStringLiteral("zero-stretch.fb"));
        qint64 records = 0;
        QVector<SparseFb::Placed> placed;
        for (const Shot &shot : shots) {
            if (shot.ffid != 0)
                placed += SparseFb::shot(records, shot.ffid, int(shot.records));
            records += shot.records;
        }
        if (!SparseFb::make(path, FbLayout::HeaderSize + FbLayout::RecordSize * records, FbFileHeader(), placed))
            QSKIP("this file system cannot hold sparse files");
        const FbFileInfo info{path, qint32(records)};
        ShotIndexScanner scanner(path);
        QVERIFY(scanner.open());
        const QVector<ShotIndexEntry> index = scanner.scan();
        QCOMPARE(index.size(), shots.size());
        ModalDriver driver;
        resetPeak();
        const long before = peakKiB();
        fbTableDialog viewer(info, index);
        viewer.show();
        // Forward through every shot, then back to the first if there are more.
        QStringList warnings;
        for (int row = 0; row < (shots.size() > 1 ? shots.size() + 1 : 1); ++row) {
            const int at = row % shots.size();
            const char *button = row == 0 ? nullptr : row == shots.size() ? "toStartButton" : "upButton";
            const Shot &shot = shots.at(at);
            const bool shown = shot.ffid != 0;
            const Shown expected{at, shown ? int(shot.records) : 0, shown ? QString::number(shot.ffid) : QString()};
            QCOMPARE(shownBy(&viewer, button), expected);
            if (!shown)
                warnings << QLocale().toString(shot.records) + QStringLiteral(" picks");
        }
        QCOMPARE(driver.messages().size(), warnings.size());
        for (int i = 0; i < warnings.size(); ++i)
            QVERIFY2(driver.messages().at(i).contains(warnings.at(i)), qPrintable(driver.messages().at(i)));
        const long grownMiB = (peakKiB() - before) / 1024;
        QVERIFY2(grownMiB < 64, qPrintable(QStringLiteral("peak memory grew by %1 MiB").arg(grownMiB)));
        QCOMPARE(child<QLabel>(&viewer, "totalFBsLabel")->text(),
                 QStringLiteral("Number of FBs: %1 ").arg(QLocale().toString(records)));
    }

    // Files past 2 and 4 GiB, and one with more records than int32 holds:
    // every position is computed in 64 bits; a file too large to index gives
    // no index rather than a wrong one, and is refused with a warning.
    void lastShotsOfHugeFile_data()
    {
        QTest::addColumn<qint64>("n");
        QTest::newRow("2.5 GiB") << (qint64(5) << 29) / FbLayout::RecordSize;
        QTest::newRow("5 GiB") << (qint64(5) << 30) / FbLayout::RecordSize;
        QTest::newRow("past int32 records") << qint64(std::numeric_limits<qint32>::max()) + 1;
    }
    void lastShotsOfHugeFile()
    {
        QFETCH(qint64, n);
        // Three real shots at the very end, behind a hole of zero records.
        const QVector<SparseFb::Placed> records =
            SparseFb::shot(n - 16, 9001, 5) + SparseFb::shot(n - 11, 9002, 7) + SparseFb::shot(n - 4, 9003, 4);
        const QString path = m_dir.filePath(QStringLiteral("huge.fb"));
        if (!SparseFb::make(path, FbLayout::HeaderSize + FbLayout::RecordSize * n, FbFileHeader(), records))
            QSKIP("this file system cannot hold sparse files");
        ShotIndexScanner scanner(path);
        QVERIFY(scanner.open());
        QCOMPARE(scanner.recordCount(), n);
        const bool fits = n <= std::numeric_limits<qint32>::max();
        QCOMPARE(scanner.recordCountFits(), fits);
        int lastProgress = 0;
        const QVector<ShotIndexEntry> index = scanner.scan(Progress([&](int value) { lastProgress = value; }));
        QCOMPARE(lastProgress, fits ? 3 : 0);
        const qint32 last = qint32(n - 1);
        const QVector<ShotIndexEntry> shots{
            {0, 0, last - 16}, {9001, last - 15, last - 11}, {9002, last - 10, last - 4}, {9003, last - 3, last}};
        QVERIFY2(index == (fits ? shots : QVector<ShotIndexEntry>()), "the index differs");
        // The last shot reads back even where no index can be made.
        const QVector<FbRecord> lastShot = readShotRecords(path, last - 3, last);
        QCOMPARE(lastShot.size(), 4);
        for (int k = 0; k < 4; ++k)
            QVERIFY2(lastShot.at(k).ffid == 9003 && lastShot.at(k).channel == k + 1 &&
                         lastShot.at(k).fb_time == 100.0f + k,
                     qPrintable(QString("record %1 differs").arg(k)));
        if (fits)
            return;
        BrowseFBFileDialog dialog;
        const QList<ModalDriver::Seen> seen = loadThroughBrowse(dialog, path);
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.first().className, QStringLiteral("QMessageBox"));
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
                const bool viewer = qobject_cast<fbTableDialog *>(modal);
                viewersWalked += viewer && shownBy(modal, "toEndButton") == Shown{2, 3, "502"};
                return false;
            });
        }
        QCOMPARE(viewersWalked, 100);
    }
};

QTEST_MAIN(tst_Hardening)
#include "tst_hardening.moc"
