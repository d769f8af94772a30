// The plug-in against huge files and long sessions: no crash, a clear
// message, nothing wrong shown and nothing lost.

#include "browsefbfiledialog.h"
#include "fbtabledialog.h"
#include "fbtestfile.h"
#include "modaldriver.h"
#include "shotviewbudget.h"
#include "sparsefile.h"

#include <SorvBase/sorvbaseutil.h>
#include <SorvBase/sorvprojectmanager.h>

#include <QtTest>
#include <QtWidgets>

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

    // A file of more records than int32 counts is refused with a warning.
    void tooManyRecordsToIndex()
    {
        const QString path = m_dir.filePath(QStringLiteral("past-int32.fb"));
        const qint64 size = FbLayout::HeaderSize + FbLayout::RecordSize * (qint64(INT32_MAX) + 1);
        if (!SparseFb::make(path, size, FbFileHeader(), SparseFb::shot(0, 1, 3)))
            QSKIP("this file system cannot hold sparse files");
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
