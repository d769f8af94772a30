// The browse dialog driven as a user would: typing names, pressing OK, Enter
// and Cancel, with every message box, progress dialog and viewer answered.

#include "browsefbfiledialog.h"
#include "fbtestfile.h"
#include "modaldriver.h"

#include <sorvbaseutil.h>
#include <sorvprojectmanager.h>

#include <QtTest>
#include <QtWidgets>

const QString nameKey = "BrowseFBFile_BrowseFBFileDialog_fbName", stepKey = "BrowseFBFile_BrowseFBFileDialog_fastStep";

// Logs, in order, what the dialog opens: "E" the open failure, "W" the
// incomplete-file warning, "P:<values>" a progress dialog, "V" a viewer. A
// small scan ends before any timer could see its progress dialog, so that
// one is caught as it is shown.
class Log : public QObject
{
public:
    Log() { qApp->installEventFilter(this); } // dropped by Qt with the object

    QStringList events;
    std::function<void()> onViewer;
    ModalDriver driver{[this](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            events << QString(box->windowTitle() + ": " + box->text()).replace("Browse FB File: Error: fail to open the FB file!", "E")
                          .replace("Browse FB File: Warning: the FB file is incomplete!", "W");
        else if (modal->inherits("fbTableDialog"))
            onViewer();
        return false;
    }};

    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<QProgressDialog *>(object)) {
            events << "P";
            connect(object->findChild<QProgressBar *>(), &QProgressBar::valueChanged, this,
                    [this](int value) { events.last() += (events.last() == "P" ? ":" : ",") + QString::number(value); });
        }
        return false;
    }
};

class BrowseFBFileDialogTest : public QObject
{
    Q_OBJECT

    QString at(const QString &name) const { return name.isEmpty() ? QString() : m_dir->filePath("data/" + name); }
    static QLineEdit *nameEdit(BrowseFBFileDialog &d) { return d.findChild<QLineEdit *>("fbName"); }
    static QSpinBox *stepBox(BrowseFBFileDialog &d) { return d.findChild<QSpinBox *>("fastStep"); }
    static QPushButton *button(BrowseFBFileDialog &d, const char *name) { return d.findChild<QPushButton *>(name); }

    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init();
    void cleanup() { SorvProjectManager::instance().closeProject(); m_dir.reset(); }
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
    QVERIFY(FbTest::writeFile(at("good.fb"), FbTest::fileBytes(FbTest::recordsWithFfids({5, 5, 5, 7, 7, 5}))));
    QVERIFY(FbTest::writeFile(at("other.fb"), FbTest::fileBytes(FbTest::recordsWithFfids({1, 2}))));
    QVERIFY(FbTest::writeFile(at("empty.fb"), QByteArray()));
    // Five shots of two records; the header declares none.
    QVERIFY(FbTest::writeFile(at("incomplete.fb"), FbTest::fileBytes(FbTest::recordsWithFfids({1, 1, 2, 2, 3, 3, 4, 4, 5, 5}), FbFileHeader(), false)));
}

void BrowseFBFileDialogTest::storedValues_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("step");
    QTest::addColumn<QString>("look"); // background, text colour in each palette group, OK button
    QTest::addColumn<int>("shownStep");
    QTest::newRow("empty name, step 0") << "" << QVariant(0) << "pink OK off" << 1;
    QTest::newRow("missing file, step 150") << "missing.fb" << QVariant(150) << "white #ff0000 #ff0000 #ff0000 OK off" << 100;
    QTest::newRow("0-byte file, step abc") << "empty.fb" << QVariant("abc") << "white #ff0000 #ff0000 #ff0000 OK off" << 1;
    QTest::newRow("good file, step 10") << "good.fb" << QVariant(10) << "white #000000 #000000 #000000 OK on" << 10;
}

void BrowseFBFileDialogTest::storedValues()
{
    QFETCH(QString, name);
    QFETCH(QVariant, step);
    QFETCH(QString, look);
    QFETCH(int, shownStep);
    SorvBaseUtil::setProjectValue(stepKey, step);
    // The name once as stored for a new dialog, once typed over another.
    for (const bool typed : {false, true}) {
        SorvBaseUtil::setProjectValue(nameKey, typed ? at("other.fb") : at(name));
        BrowseFBFileDialog dialog;
        if (typed)
            nameEdit(dialog)->setText(at(name));
        QString shown = nameEdit(dialog)->styleSheet().remove("background-color: ");
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            shown += name.isEmpty() ? QString() : " " + nameEdit(dialog)->palette().color(group, QPalette::Text).name();
        QCOMPARE(shown + (button(dialog, "okButton")->isEnabled() ? " OK on" : " OK off"), look);
        QCOMPARE(stepBox(dialog)->value(), shownStep);
        QCOMPARE(dialog.fbInfo.fastStep, shownStep);
    }
}

void BrowseFBFileDialogTest::pressOk_data()
{
    // Each step types a name and presses OK; "~name" only types it, "!name"
    // presses Enter instead, "^name" Cancel.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("events");
    QTest::addColumn<int>("totalFBs");
    QTest::newRow("same name twice") << QStringList{"good.fb", "good.fb"} << "P:0,1,2 V V" << 6;
    QTest::newRow("changed and changed back") << QStringList{"good.fb", "~other.fb", "good.fb"} << "P:0,1,2 V V" << 6;
    QTest::newRow("same file, another path") << QStringList{"good.fb", "./good.fb"} << "P:0,1,2 V P:0,1,2 V" << 6;
    QTest::newRow("a folder, then the loaded name") << QStringList{"good.fb", "folder.fb", "good.fb"} << "P:0,1,2 V E P:0,1,2 V" << 6;
    QTest::newRow("failed load twice") << QStringList{"good.fb", "folder.fb", "folder.fb"} << "P:0,1,2 V E E" << 6;
    QTest::newRow("incomplete file") << QStringList{"incomplete.fb"} << "W P:0,1,2,3,4 V" << 10;
    QTest::newRow("Enter in the name field") << QStringList{"!good.fb"} << "P:0,1,2 V" << 6;
    QTest::newRow("Enter while OK is disabled") << QStringList{"!missing.fb"} << "" << 0;
    QTest::newRow("Cancel after a viewer") << QStringList{"good.fb", "^other.fb"} << "P:0,1,2 V" << 6;
}

void BrowseFBFileDialogTest::pressOk()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, events);
    QFETCH(int, totalFBs);
    BrowseFBFileDialog dialog;
    dialog.show();
    Log log;
    QVariant storedName, storedStep; // those of the last viewer run
    // The viewer reads its first shot at once, so it needs this file's index;
    // settings are stored only once it has closed.
    log.onViewer = [&] {
        log.events << "V";
        if (dialog.shotIndex.isEmpty() || dialog.fbInfo.fbName != nameEdit(dialog)->text())
            log.events << "viewer without its index";
        if (SorvBaseUtil::projectValue(nameKey) != storedName || SorvBaseUtil::projectValue(stepKey) != storedStep)
            log.events << "stored values not those of the last viewer";
        storedName = nameEdit(dialog)->text();
        storedStep = stepBox(dialog)->value();
    };
    for (int i = 0; i < steps.size(); ++i) {
        const QChar how = steps.at(i).at(0);
        nameEdit(dialog)->setText(at(QString("~!^").contains(how) ? steps.at(i).mid(1) : steps.at(i)));
        stepBox(dialog)->setValue(20 + i);
        if (how == '!')
            QTest::keyClick(nameEdit(dialog), Qt::Key_Return);
        else if (how != '~')
            button(dialog, how == '^' ? "cancelButton" : "okButton")->click();
    }
    QCOMPARE(log.events.join(' '), events);
    QCOMPARE(dialog.isVisible(), !steps.last().startsWith('^'));
    // The record count comes from the size; a failed load leaves it untouched.
    QCOMPARE(dialog.fbInfo.totalFBs, totalFBs);
    // A failed load or Cancel stores nothing; a new dialog shows what was stored.
    BrowseFBFileDialog again;
    QCOMPARE(nameEdit(again)->text(), storedName.toString());
    QCOMPARE(stepBox(again)->value(), storedStep.isValid() ? storedStep.toInt() : 10);
}

QTEST_MAIN(BrowseFBFileDialogTest)
#include "tst_browsedialog.moc"
