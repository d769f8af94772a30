// The browse dialog driven as a user would: typing names, pressing OK,
// Enter and Cancel, with every message box, progress dialog, file chooser
// and viewer it opens answered from a polling timer.

#include "browsefbfiledialog.h"
#include "fbtabledialog.h"
#include "fbtestfile.h"

#include <sorvbaseutil.h>
#include <sorvprojectmanager.h>

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <limits>
#include <memory>

namespace {

const QString nameKey = QStringLiteral("BrowseFBFile_BrowseFBFileDialog_fbName");
const QString stepKey = QStringLiteral("BrowseFBFile_BrowseFBFileDialog_fastStep");
const QString openFailure = QStringLiteral("warning Browse FB File: Error: fail to open the FB file!");

// Answers the modal windows that the dialog opens and logs them in order:
// "warning <title>: <text>", "progress", "viewer", "chooser". Anything else
// is logged as unexpected and closed, so no test can wait forever.
class ModalAnswerer : public QObject
{
public:
    explicit ModalAnswerer(QWidget *owner)
        : m_owner(owner)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
        m_timer.start(5);
        qApp->installEventFilter(this);
    }
    ~ModalAnswerer() override { qApp->removeEventFilter(this); }

    int count(const QString &event) const { return events.count(event); }

    QStringList events;
    QList<int> progressValues;
    QString progressLooks;
    QString chooserLooks;
    QString chooseFile;                   // the chooser's answer; empty cancels it
    std::function<void()> whileViewerOpen;

protected:
    // The scan of a small file ends before any timer could see the progress
    // dialog, so it is caught as it is shown.
    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *progress = qobject_cast<QProgressDialog *>(object);
        if (event->type() != QEvent::Show || !progress)
            return false;
        events << QStringLiteral("progress");
        if (auto *bar = progress->findChild<QProgressBar *>())
            connect(bar, &QProgressBar::valueChanged, this, [this](int value) { progressValues << value; });
        progressLooks = QStringLiteral("%1|%2|%3..%4|modal %5|min %6x%7|buttons %8|owned %9")
                            .arg(progress->labelText(), progress->windowTitle())
                            .arg(progress->minimum()).arg(progress->maximum())
                            .arg(int(progress->windowModality()))
                            .arg(progress->minimumWidth()).arg(progress->minimumHeight())
                            .arg(progress->findChildren<QPushButton *>().size())
                            .arg(progress->parentWidget() == m_owner);
        return false;
    }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || qobject_cast<QProgressDialog *>(modal))
            return;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            const bool plain = box->parentWidget() == m_owner && box->icon() == QMessageBox::Warning
                && box->buttons().size() == 1 && box->button(QMessageBox::Ok);
            events << QStringLiteral("%1 %2: %3").arg(plain ? "warning" : "odd box", box->windowTitle(), box->text());
            box->done(QMessageBox::Ok);
        } else if (auto *viewer = qobject_cast<fbTableDialog *>(modal)) {
            events << (viewer->parentWidget() ? QStringLiteral("viewer with a parent") : QStringLiteral("viewer"));
            if (whileViewerOpen)
                whileViewerOpen();
            viewer->reject();
        } else if (auto *chooser = qobject_cast<QFileDialog *>(modal)) {
            events << QStringLiteral("chooser");
            chooserLooks = QStringLiteral("%1|%2|%3").arg(chooser->windowTitle(), chooser->directory().absolutePath(),
                                                          chooser->nameFilters().join(QLatin1Char(';')));
            if (chooseFile.isEmpty()) {
                chooser->reject();
            } else {
                chooser->selectFile(chooseFile);
                static_cast<QDialog *>(chooser)->accept(); // QFileDialog's own, with its checks
            }
        } else {
            events << QStringLiteral("unexpected %1").arg(QLatin1String(modal->metaObject()->className()));
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        }
    }

    QWidget *m_owner;
    QTimer m_timer;
};

} // namespace

class BrowseFBFileDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void validation_data();
    void validation();
    void storedFastStep_data();
    void storedFastStep();
    void openButton_data();
    void openButton();
    void indexReuse_data();
    void indexReuse();
    void progressAndIncompleteFile_data();
    void progressAndIncompleteFile();
    void loadFailure_data();
    void loadFailure();
    void settingsWrittenOnlyAfterViewer();
    void enterKey_data();
    void enterKey();

private:
    QString at(const QString &name) const { return name.isEmpty() ? QString() : m_dir->filePath(QStringLiteral("data/") + name); }

    static QLineEdit *nameEdit(BrowseFBFileDialog &d) { return d.findChild<QLineEdit *>(QStringLiteral("fbName")); }
    static QSpinBox *stepBox(BrowseFBFileDialog &d) { return d.findChild<QSpinBox *>(QStringLiteral("fastStep")); }
    static QPushButton *okButton(BrowseFBFileDialog &d) { return d.findChild<QPushButton *>(QStringLiteral("okButton")); }
    static const FbFileInfo &info(const BrowseFBFileDialog &d) { return d.fbInfo; }
    static const QVector<ShotIndexEntry> &index(const BrowseFBFileDialog &d) { return d.shotIndex; }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void BrowseFBFileDialogTest::init()
{
    // A fresh project for every test, so stored values never leak between them.
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    QVERIFY(SorvProjectManager::instance().openProject(m_dir->path()));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("data/folder.fb")));

    FbFileHeader header;
    header.polarity = -1;
    header.min_offset = -100;
    header.max_offset = 400;
    QVERIFY(FbTest::writeFile(at("good.fb"), FbTest::fileBytes(FbTest::recordsWithFfids({5, 5, 5, 7, 7, 5}), header)));
    QVERIFY(FbTest::writeFile(at("other.fb"), FbTest::fileBytes(FbTest::recordsWithFfids({1, 2}))));
    QVERIFY(FbTest::writeFile(at("empty.fb"), QByteArray()));
}

void BrowseFBFileDialogTest::cleanup()
{
    SorvProjectManager::instance().closeProject();
    m_dir.reset();
}

void BrowseFBFileDialogTest::validation_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("styleSheet");
    QTest::addColumn<QColor>("textColor"); // invalid: whatever it was before
    QTest::addColumn<bool>("okEnabled");

    QTest::newRow("empty") << "" << "background-color: pink" << QColor() << false;
    QTest::newRow("missing file") << "missing.fb" << "background-color: white" << QColor(Qt::red) << false;
    QTest::newRow("0-byte file") << "empty.fb" << "background-color: white" << QColor(Qt::red) << false;
    QTest::newRow("good file") << "good.fb" << "background-color: white" << QColor(Qt::black) << true;
}

void BrowseFBFileDialogTest::validation()
{
    QFETCH(QString, name);
    QFETCH(QString, styleSheet);
    QFETCH(QColor, textColor);
    QFETCH(bool, okEnabled);
    const QString path = at(name);

    // Once as the stored name shown by a new dialog, once typed over another.
    for (const bool typed : {false, true}) {
        SorvBaseUtil::setProjectValue(nameKey, typed ? at("other.fb") : path);
        BrowseFBFileDialog dialog;
        if (typed)
            nameEdit(dialog)->setText(path);

        QCOMPARE(nameEdit(dialog)->text(), path);
        QCOMPARE(info(dialog).fbName, path);
        QCOMPARE(nameEdit(dialog)->styleSheet(), styleSheet);
        QCOMPARE(okButton(dialog)->isEnabled(), okEnabled);
        if (textColor.isValid()) {
            for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                QCOMPARE(nameEdit(dialog)->palette().color(group, QPalette::Text), textColor);
        }
    }
}

void BrowseFBFileDialogTest::storedFastStep_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("shown");

    QTest::newRow("nothing stored") << QVariant() << 10;
    QTest::newRow("0 raised to the minimum") << QVariant(0) << 1;
    QTest::newRow("150 lowered to the maximum") << QVariant(150) << 100;
    QTest::newRow("10 kept") << QVariant(10) << 10;
    QTest::newRow("not a number") << QVariant(QStringLiteral("abc")) << 1;
}

void BrowseFBFileDialogTest::storedFastStep()
{
    QFETCH(QVariant, stored);
    QFETCH(int, shown);
    if (stored.isValid())
        SorvBaseUtil::setProjectValue(stepKey, stored);

    BrowseFBFileDialog dialog;
    QCOMPARE(stepBox(dialog)->value(), shown);
    QCOMPARE(info(dialog).fastStep, shown);
}

void BrowseFBFileDialogTest::openButton_data()
{
    QTest::addColumn<QString>("choose");
    QTest::addColumn<QString>("shown");

    QTest::newRow("file chosen") << "good.fb" << "good.fb";
    QTest::newRow("chooser cancelled") << "" << "missing.fb";
}

void BrowseFBFileDialogTest::openButton()
{
    QFETCH(QString, choose);
    QFETCH(QString, shown);
    SorvBaseUtil::setProjectValue(nameKey, at("missing.fb"));

    BrowseFBFileDialog dialog;
    dialog.show();
    ModalAnswerer answerer(&dialog);
    answerer.chooseFile = at(choose);
    dialog.findChild<QPushButton *>(QStringLiteral("openButton"))->click();

    QCOMPARE(answerer.events, QStringList{"chooser"});
    QCOMPARE(answerer.chooserLooks, QStringLiteral("Open|%1|FB files (*.cal *.fb *.fit)").arg(m_dir->path()));
    QCOMPARE(QFileInfo(nameEdit(dialog)->text()), QFileInfo(at(shown)));
    QCOMPARE(info(dialog).fbName, nameEdit(dialog)->text());
    QCOMPARE(okButton(dialog)->isEnabled(), !choose.isEmpty());
}

void BrowseFBFileDialogTest::indexReuse_data()
{
    // Each step types a name and presses OK; "~name" only types it.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("loads");
    QTest::addColumn<int>("viewers");
    QTest::addColumn<int>("warnings");

    QTest::newRow("same name twice") << QStringList{"good.fb", "good.fb"} << 1 << 2 << 0;
    QTest::newRow("changed and changed back") << QStringList{"good.fb", "~other.fb", "good.fb"} << 1 << 2 << 0;
    QTest::newRow("another path to the same file") << QStringList{"good.fb", "./good.fb"} << 2 << 2 << 0;
    QTest::newRow("another file, then back") << QStringList{"good.fb", "other.fb", "good.fb"} << 3 << 3 << 0;
    QTest::newRow("failed load, then the loaded name") << QStringList{"good.fb", "folder.fb", "good.fb"} << 2 << 2 << 1;
    QTest::newRow("failed load twice") << QStringList{"folder.fb", "folder.fb"} << 0 << 0 << 2;
}

void BrowseFBFileDialogTest::indexReuse()
{
    QFETCH(QStringList, steps);
    QFETCH(int, loads);
    QFETCH(int, viewers);
    QFETCH(int, warnings);

    BrowseFBFileDialog dialog;
    dialog.show();
    ModalAnswerer answerer(&dialog);
    QStringList viewerProblems;
    answerer.whileViewerOpen = [&] {
        if (index(dialog).isEmpty() || info(dialog).fbName != nameEdit(dialog)->text())
            viewerProblems << info(dialog).fbName;
    };

    for (const QString &step : steps) {
        nameEdit(dialog)->setText(at(step.startsWith('~') ? step.mid(1) : step));
        if (!step.startsWith('~'))
            okButton(dialog)->click();
    }

    QCOMPARE(answerer.count("progress"), loads);
    QCOMPARE(answerer.count("viewer"), viewers);
    QCOMPARE(answerer.count(openFailure), warnings);
    QCOMPARE(answerer.events.size(), loads + viewers + warnings);
    QVERIFY2(viewerProblems.isEmpty(), qPrintable(viewerProblems.join(", ")));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void BrowseFBFileDialogTest::progressAndIncompleteFile_data()
{
    QTest::addColumn<int>("shots");
    QTest::addColumn<int>("recordsPerShot");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QList<int>>("progressValues");

    // Below 100 records every later shot start moves the bar by one; at 1000
    // records only a shot starting at a tenth of the file or later does.
    QTest::newRow("50 records, complete") << 5 << 10 << true << QList<int>{0, 1, 2, 3, 4};
    QTest::newRow("50 records, incomplete") << 5 << 10 << false << QList<int>{0, 1, 2, 3, 4};
    QTest::newRow("1000 records, incomplete") << 10 << 100 << false << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
}

void BrowseFBFileDialogTest::progressAndIncompleteFile()
{
    QFETCH(int, shots);
    QFETCH(int, recordsPerShot);
    QFETCH(bool, complete);
    QFETCH(QList<int>, progressValues);

    QVector<qint32> ffids;
    for (int shot = 0; shot < shots; ++shot)
        ffids.append(QVector<qint32>(recordsPerShot, 100 + shot));
    FbFileHeader header;
    header.fb_count = ffids.size() + 3;
    header.polarity = 1;
    header.min_offset = 12;
    header.max_offset = 3456;
    QVERIFY(FbTest::writeFile(at("scan.fb"), FbTest::fileBytes(FbTest::recordsWithFfids(ffids), header, complete)));

    BrowseFBFileDialog dialog;
    dialog.show();
    ModalAnswerer answerer(&dialog);
    nameEdit(dialog)->setText(at("scan.fb"));
    okButton(dialog)->click();

    QStringList expected{"progress", "viewer"};
    if (!complete)
        expected.prepend(QStringLiteral("warning Browse FB File: Warning: the FB file is incomplete!"));
    QCOMPARE(answerer.events, expected);
    QCOMPARE(answerer.progressLooks,
             QStringLiteral("Extracting Shot Index......|Browse FB File|0..100|modal %1|min 300x80|buttons 0|owned 1")
                 .arg(int(Qt::WindowModal)));
    QCOMPARE(answerer.progressValues, progressValues);

    // The summary comes from the size, not from the declared count.
    const FbFileInfo &fb = info(dialog);
    QCOMPARE(fb.totalFBs, ffids.size());
    QCOMPARE(fb.totalShots, shots);
    QCOMPARE(fb.polarity, 1);
    QCOMPARE(fb.minOffset, 12);
    QCOMPARE(fb.maxOffset, 3456);
    QCOMPARE(index(dialog).size(), shots);
    QCOMPARE(index(dialog).last().lastRecord, ffids.size() - 1);
}

void BrowseFBFileDialogTest::loadFailure_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("warning");

    QTest::newRow("a folder") << "folder" << openFailure;
    QTest::newRow("removed after validation") << "removed" << openFailure;
    QTest::newRow("more records than int32")
        << "huge"
        << QStringLiteral("warning Browse FB File: Error: the FB file is too large to index (%1 records; at most %2 are supported).")
               .arg(qint64(std::numeric_limits<qint32>::max()) + 1)
               .arg(std::numeric_limits<qint32>::max());
}

void BrowseFBFileDialogTest::loadFailure()
{
    QFETCH(QString, kind);
    QFETCH(QString, warning);

    QString path = at("folder.fb");
    if (kind == QLatin1String("removed")) {
        path = at("gone.fb");
        QVERIFY(FbTest::writeFile(path, FbTest::fileBytes(FbTest::recordsWithFfids({9}))));
    } else if (kind == QLatin1String("huge")) {
        // A sparse file: its size claims 2^31 records, no disk is used.
        path = at("huge.fb");
        QFile huge(path);
        QVERIFY(huge.open(QIODevice::WriteOnly));
        if (!huge.resize(FbLayout::recordPosition(std::numeric_limits<qint32>::max()) + FbLayout::RecordSize))
            QSKIP("the file system cannot hold a sparse file of this size");
    }

    BrowseFBFileDialog dialog;
    dialog.show();
    ModalAnswerer answerer(&dialog);
    nameEdit(dialog)->setText(at("good.fb"));
    okButton(dialog)->click();
    QCOMPARE(answerer.events, (QStringList{"progress", "viewer"}));
    const FbFileInfo loaded = info(dialog);

    answerer.events.clear();
    nameEdit(dialog)->setText(path);
    stepBox(dialog)->setValue(35);
    QVERIFY(okButton(dialog)->isEnabled());
    if (kind == QLatin1String("removed"))
        QVERIFY(QFile::remove(path));
    okButton(dialog)->click();

    QCOMPARE(answerer.events, QStringList{warning});
    QVERIFY(dialog.isVisible());
    QCOMPARE(nameEdit(dialog)->text(), path);
    QCOMPARE(info(dialog).totalFBs, loaded.totalFBs);
    QCOMPARE(info(dialog).totalShots, loaded.totalShots);
    QCOMPARE(info(dialog).polarity, loaded.polarity);
    QCOMPARE(info(dialog).minOffset, loaded.minOffset);
    QCOMPARE(info(dialog).maxOffset, loaded.maxOffset);
    QCOMPARE(SorvBaseUtil::projectValue(nameKey).toString(), at("good.fb"));
    QCOMPARE(SorvBaseUtil::projectValue(stepKey).toInt(), 10);
    if (kind == QLatin1String("huge"))
        QFile::remove(path);
}

void BrowseFBFileDialogTest::settingsWrittenOnlyAfterViewer()
{
    {
        BrowseFBFileDialog dialog;
        dialog.show();
        nameEdit(dialog)->setText(at("good.fb"));
        stepBox(dialog)->setValue(25);
        dialog.findChild<QPushButton *>(QStringLiteral("cancelButton"))->click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(!SorvBaseUtil::projectValue(nameKey).isValid());
        QVERIFY(!SorvBaseUtil::projectValue(stepKey).isValid());
    }
    {
        BrowseFBFileDialog dialog;
        dialog.show();
        ModalAnswerer answerer(&dialog);
        QVariantList storedWhileViewing;
        answerer.whileViewerOpen = [&] {
            storedWhileViewing << SorvBaseUtil::projectValue(nameKey) << SorvBaseUtil::projectValue(stepKey);
        };
        nameEdit(dialog)->setText(at("good.fb"));
        stepBox(dialog)->setValue(35);
        okButton(dialog)->click();

        QCOMPARE(answerer.events, (QStringList{"progress", "viewer"}));
        QCOMPARE(storedWhileViewing, (QVariantList{QVariant(), QVariant()}));
        QCOMPARE(SorvBaseUtil::projectValue(nameKey), QVariant(at("good.fb")));
        QCOMPARE(SorvBaseUtil::projectValue(stepKey), QVariant(35));
    }
    BrowseFBFileDialog again;
    QCOMPARE(nameEdit(again)->text(), at("good.fb"));
    QCOMPARE(stepBox(again)->value(), 35);
    QVERIFY(okButton(again)->isEnabled());
}

void BrowseFBFileDialogTest::enterKey_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("in the name field") << "fbName" << "good.fb" << QStringList{"progress", "viewer"};
    QTest::newRow("in the spin box") << "fastStep" << "good.fb" << QStringList{"progress", "viewer"};
    QTest::newRow("while OK is disabled") << "fbName" << "missing.fb" << QStringList();
}

void BrowseFBFileDialogTest::enterKey()
{
    QFETCH(QString, widget);
    QFETCH(QString, name);
    QFETCH(QStringList, events);

    BrowseFBFileDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    ModalAnswerer answerer(&dialog);
    nameEdit(dialog)->setText(at(name));
    QWidget *target = dialog.findChild<QWidget *>(widget);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Return);

    QCOMPARE(answerer.events, events);
    QVERIFY(dialog.isVisible());
}

QTEST_MAIN(BrowseFBFileDialogTest)
#include "tst_browsedialog.moc"
