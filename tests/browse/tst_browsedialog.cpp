// The browse dialog driven as a user would: typing names, pressing OK, Enter
// and Cancel, with every message box, progress dialog and viewer answered.

#include "browsefbfiledialog.h"
#include "fbtestfile.h"
#include "modaldriver.h"

#include <SorvBase/sorvbaseutil.h>
#include <SorvBase/sorvprojectmanager.h>

#include <QtTest>
#include <QtWidgets>

#include <sys/stat.h>

using namespace FbFile;

const QString nameKey = "BrowseFBFile_BrowseFBFileDialog_fbName", stepKey = "BrowseFBFile_BrowseFBFileDialog_fastStep";

// What the dialog opens, in order.
enum class Seen { OpenError, Incomplete, Progress, Viewer, ViewerWithoutIndex, StaleStoredValues };
// A step: put a name into the field (or pick it in the file chooser),
// change that file on disk (after the field has validated it), then press
// a key or button.
enum class Change { None, CutKeepTime, Touch, Pipe };
enum class Press { Ok, Nothing, Enter, Cancel, ChooseAndOk };
struct Step
{
    Press press;
    const char *name;
    Change change = Change::None;
};

// Logs what the dialog opens and the last value a progress dialog showed. A
// small scan ends before any timer could see its progress dialog, so that
// one is caught as it is shown.
class Log : public QObject
{
public:
    Log() { qApp->installEventFilter(this); } // dropped by Qt with the object

    QVector<Seen> events;
    int progress = -1;
    std::function<void()> onViewer;
    ModalDriver driver{[this](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            const QString text = box->windowTitle() + ": " + box->text();
            if (text == "Browse FB File: Error: fail to open the FB file!")
                events << Seen::OpenError;
            else if (text == "Browse FB File: Warning: the FB file is incomplete!")
                events << Seen::Incomplete;
            else
                qWarning("unexpected message: %s", qPrintable(text));
        } else if (modal->inherits("fbTableDialog")) {
            onViewer();
        }
        return modal->inherits("QFileDialog"); // the step that opened it answers it
    }};

    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<QProgressDialog *>(object)) {
            events << Seen::Progress;
            connect(object->findChild<QProgressBar *>(), &QProgressBar::valueChanged, this,
                    [this](int value) { progress = value; });
        }
        return false;
    }
};

// Failing rows name what the dialog opened, in words.
char *toString(const QVector<Seen> &events)
{
    const char *const names[] = {"open error", "incomplete",           "progress",
                                 "viewer",     "viewer without index", "stale stored values"};
    QStringList words;
    for (const Seen seen : events)
        words << names[int(seen)];
    return qstrdup(qPrintable(words.join(", ")));
}
Q_DECLARE_METATYPE(QVector<Seen>)
Q_DECLARE_METATYPE(QVector<Step>)

class BrowseFBFileDialogTest : public QObject
{
    Q_OBJECT

    QString at(const QString &name) const { return name.isEmpty() ? QString() : m_dir->filePath("data/" + name); }
    static QLineEdit *nameEdit(BrowseFBFileDialog &d) { return d.findChild<QLineEdit *>("fbName"); }
    static QSpinBox *stepBox(BrowseFBFileDialog &d) { return d.findChild<QSpinBox *>("fastStep"); }
    static QPushButton *button(BrowseFBFileDialog &d, const char *name) { return d.findChild<QPushButton *>(name); }

    std::unique_ptr<QTemporaryDir> m_dir;

    // Picks path in the file chooser. It lists its folder in the background
    // and may reset the chosen name meanwhile, so the choice is repeated
    // until the chooser has taken it.
    static void choose(BrowseFBFileDialog &dialog, const QString &path)
    {
        QTimer retry;
        QObject::connect(&retry, &QTimer::timeout, [&] {
            auto *files = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (files && files->findChild<QLineEdit *>("fileNameEdit")) {
                files->setDirectory(QFileInfo(path).absolutePath());
                files->findChild<QLineEdit *>("fileNameEdit")->setText(QFileInfo(path).fileName());
                static_cast<QDialog *>(files)->accept(); // QFileDialog's own is protected
            }
        });
        retry.start(50);
        ModalDriver limit([](QWidget *modal) { return qobject_cast<QFileDialog *>(modal) != nullptr; });
        button(dialog, "openButton")->click();
    }

private slots:
    void init();
    void cleanup()
    {
        SorvProjectManager::instance().closeProject();
        m_dir.reset();
    }
    void storedValues_data();
    void storedValues();
    void pressOk_data();
    void pressOk();
};

void BrowseFBFileDialogTest::init()
{
    // A fresh project for every test, so stored values never leak between them.
    m_dir.reset(new QTemporaryDir);
    QVERIFY(SorvProjectManager::instance().openProject(m_dir->path()));
    QVERIFY(QDir(m_dir->path()).mkpath("data/folder.fb"));
    QVERIFY(::mkfifo(QFile::encodeName(at("pipe.fb")).constData(), 0600) == 0);
    QVERIFY(QFile::link(at("pipe.fb"), at("link to pipe.fb")) && QFile::link(at("good.fb"), at("link to good.fb")));
    QVERIFY(FbTest::writeFile(at("good.fb"), FbTest::fileBytes(FbTest::recordsWithFfids({5, 5, 5, 7, 7, 5}))));
    QVERIFY(FbTest::writeFile(at("other.fb"), FbTest::fileBytes(FbTest::recordsWithFfids({1, 2}))));
    for (const char *awkward : {"pick files/line 7 picks.fb", "初至/测线 七.fb", "données, été/tir ✓.cal"}) {
        QVERIFY(QDir().mkpath(QFileInfo(at(awkward)).absolutePath()));
        QVERIFY(FbTest::writeFile(at(awkward), FbTest::fileBytes(FbTest::recordsWithFfids({11, 11, 12}))));
    }
    QVERIFY(FbTest::writeFile(at("empty.fb"), QByteArray()));
    // Five shots of two records; the header declares none.
    const QVector<FbRecord> fiveShots = FbTest::recordsWithFfids({1, 1, 2, 2, 3, 3, 4, 4, 5, 5});
    QVERIFY(FbTest::writeFile(at("incomplete.fb"), FbTest::fileBytes(fiveShots, FbFileHeader(), false)));
}

void BrowseFBFileDialogTest::storedValues_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("step");
    QTest::addColumn<QString>("background");
    QTest::addColumn<QColor>("text"); // in every palette group; none for an empty name
    QTest::addColumn<bool>("okEnabled");
    QTest::addColumn<int>("shownStep");
    const QColor red(Qt::red), black(Qt::black);
    QTest::newRow("empty name, step 0") << "" << QVariant(0) << "pink" << QColor() << false << 1;
    QTest::newRow("missing file, step 150") << "missing.fb" << QVariant(150) << "white" << red << false << 100;
    QTest::newRow("0-byte file, step abc") << "empty.fb" << QVariant("abc") << "white" << red << false << 1;
    QTest::newRow("a folder") << "folder.fb" << QVariant(10) << "white" << red << false << 10;
    QTest::newRow("a link to a pipe") << "link to pipe.fb" << QVariant(10) << "white" << red << false << 10;
    QTest::newRow("a link to a file") << "link to good.fb" << QVariant(10) << "white" << black << true << 10;
    QTest::newRow("good file, step 10") << "good.fb" << QVariant(10) << "white" << black << true << 10;
}

void BrowseFBFileDialogTest::storedValues()
{
    QFETCH(QString, name);
    QFETCH(QVariant, step);
    QFETCH(QString, background);
    QFETCH(QColor, text);
    QFETCH(bool, okEnabled);
    QFETCH(int, shownStep);
    SorvBaseUtil::setProjectValue(stepKey, step);
    // The name once as stored for a new dialog, once typed over another.
    for (const bool typed : {false, true}) {
        SorvBaseUtil::setProjectValue(nameKey, typed ? at("other.fb") : at(name));
        BrowseFBFileDialog dialog;
        if (typed)
            nameEdit(dialog)->setText(at(name));
        QCOMPARE(nameEdit(dialog)->styleSheet(), "background-color: " + background);
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            if (text.isValid())
                QCOMPARE(nameEdit(dialog)->palette().color(group, QPalette::Text), text);
        }
        QCOMPARE(button(dialog, "okButton")->isEnabled(), okEnabled);
        QCOMPARE(stepBox(dialog)->value(), shownStep);
        QCOMPARE(dialog.fbInfo.fastStep, shownStep);
    }
}

void BrowseFBFileDialogTest::pressOk_data()
{
    QTest::addColumn<QVector<Step>>("steps");
    QTest::addColumn<QVector<Seen>>("events");
    QTest::addColumn<int>("progress"); // the last value a progress dialog showed, one a shot from 0
    QTest::addColumn<int>("totalFBs");
    using S = Seen;
    using Steps = QVector<Step>;
    using Events = QVector<Seen>;
    const Press ok = Press::Ok;
    const int threeShots = 2;
    QTest::newRow("changed and changed back") << Steps{{ok, "good.fb"}, {Press::Nothing, "other.fb"}, {ok, "good.fb"}}
                                              << Events{S::Progress, S::Viewer, S::Viewer} << threeShots << 6;
    QTest::newRow("same file, another path")
        << Steps{{ok, "good.fb"}, {ok, "./good.fb"}} << Events{S::Progress, S::Viewer, S::Progress, S::Viewer}
        << threeShots << 6;
    // A changed file is indexed again, never shown through its old index.
    QTest::newRow("cut to its header, same time")
        << Steps{{ok, "good.fb"}, {ok, "good.fb", Change::CutKeepTime}}
        << Events{S::Progress, S::Viewer, S::Incomplete, S::Progress, S::Viewer} << 0 << 0;
    QTest::newRow("same size, new time") << Steps{{ok, "good.fb"}, {ok, "good.fb", Change::Touch}}
                                         << Events{S::Progress, S::Viewer, S::Progress, S::Viewer} << threeShots << 6;
    // A pipe swapped in after the name was validated is refused, not opened
    // (that would block), and the failed load forgets the index it replaced.
    QTest::newRow("pipe, then the loaded name")
        << Steps{{ok, "good.fb"}, {ok, "other.fb", Change::Pipe}, {ok, "good.fb"}}
        << Events{S::Progress, S::Viewer, S::OpenError, S::Progress, S::Viewer} << threeShots << 6;
    QTest::newRow("loaded file became a pipe")
        << Steps{{ok, "good.fb"}, {ok, "good.fb", Change::Pipe}, {ok, "good.fb"}}
        << Events{S::Progress, S::Viewer, S::OpenError, S::OpenError} << threeShots << 6;
    QTest::newRow("a folder is not offered")
        << Steps{{ok, "good.fb"}, {ok, "folder.fb"}} << Events{S::Progress, S::Viewer} << threeShots << 6;
    QTest::newRow("incomplete file") << Steps{{ok, "incomplete.fb"}} << Events{S::Incomplete, S::Progress, S::Viewer}
                                     << 4 << 10;
    QTest::newRow("Enter in the name field")
        << Steps{{Press::Enter, "good.fb"}} << Events{S::Progress, S::Viewer} << threeShots << 6;
    QTest::newRow("Enter while OK is disabled") << Steps{{Press::Enter, "missing.fb"}} << Events{} << -1 << 0;
    for (const char *awkward : {"pick files/line 7 picks.fb", "初至/测线 七.fb", "données, été/tir ✓.cal"})
        QTest::newRow(awkward) << Steps{{Press::ChooseAndOk, awkward}} << Events{S::Progress, S::Viewer} << 1 << 3;
    QTest::newRow("Cancel after a viewer")
        << Steps{{ok, "good.fb"}, {Press::Cancel, "other.fb"}} << Events{S::Progress, S::Viewer} << threeShots << 6;
}

void BrowseFBFileDialogTest::pressOk()
{
    QFETCH(QVector<Step>, steps);
    QFETCH(QVector<Seen>, events);
    QFETCH(int, progress);
    QFETCH(int, totalFBs);
    BrowseFBFileDialog dialog;
    dialog.show();
    Log log;
    QVariant storedName, storedStep; // those of the last viewer run
    // The viewer reads its first shot at once, so it needs this file's index;
    // settings are stored only once it has closed.
    log.onViewer = [&] {
        log.events << Seen::Viewer;
        if (dialog.shotIndex.isEmpty() || dialog.fbInfo.fbName != nameEdit(dialog)->text())
            log.events << Seen::ViewerWithoutIndex;
        if (SorvBaseUtil::projectValue(nameKey) != storedName || SorvBaseUtil::projectValue(stepKey) != storedStep)
            log.events << Seen::StaleStoredValues;
        storedName = nameEdit(dialog)->text();
        storedStep = stepBox(dialog)->value();
    };
    for (int i = 0; i < steps.size(); ++i) {
        const Step &step = steps.at(i);
        const QString path = at(step.name);
        if (step.press == Press::ChooseAndOk)
            choose(dialog, path);
        else
            nameEdit(dialog)->setText(path);
        QCOMPARE(nameEdit(dialog)->text(), path);
        stepBox(dialog)->setValue(20 + i);
        const QDateTime modified = QFileInfo(path).lastModified();
        QFile file(path);
        switch (step.change) {
        case Change::None:
            break;
        case Change::CutKeepTime:
            QVERIFY(file.resize(FbLayout::HeaderSize) && file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
            break;
        case Change::Touch:
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(modified.addSecs(-60), QFileDevice::FileModificationTime));
            break;
        case Change::Pipe:
            QVERIFY(file.remove() && ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
            break;
        }
        file.close();
        if (step.press == Press::Enter)
            QTest::keyClick(nameEdit(dialog), Qt::Key_Return);
        else if (step.press != Press::Nothing)
            button(dialog, step.press == Press::Cancel ? "cancelButton" : "okButton")->click();
    }
    QCOMPARE(log.events, events);
    QCOMPARE(log.progress, progress);
    QCOMPARE(dialog.isVisible(), steps.last().press != Press::Cancel);
    // The record count comes from the size; a failed load leaves it untouched.
    QCOMPARE(dialog.fbInfo.totalFBs, totalFBs);
    // A failed load or Cancel stores nothing; a new dialog shows what was stored.
    BrowseFBFileDialog again;
    QCOMPARE(nameEdit(again)->text(), storedName.toString());
    QCOMPARE(stepBox(again)->value(), storedStep.isValid() ? storedStep.toInt() : 10);
}

QTEST_MAIN(BrowseFBFileDialogTest)
#include "tst_browsedialog.moc"
