#include "modaldriver.h"

#include <sorvbaseutil.h>
#include <sorvdialog.h>
#include <sorvprojectmanager.h>

#include <QDesktopServices>
#include <QtTest>

#include <sys/stat.h>

// A dialog whose help page the test chooses.
struct HelpDialog : SorvDialog {
    QString page;
    QString helpIndex() const override { return page; }
};

// The dialog base of the SDK and the per-project values that dialogs keep.
class TestSdk : public QObject
{
    Q_OBJECT

public slots:
    // Catches the help pages that the dialog asks the desktop to open.
    void openUrl(const QUrl &url) { m_urls << url; }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("zh_CN")));
        for (const char *page : {"w_cover.html", "index.html", "zh_CN/w_cover.html"})
            QVERIFY(QFile(m_dir.filePath(QLatin1String(page))).open(QIODevice::WriteOnly));
        qputenv("SORV_HELP_DIR", QFile::encodeName(m_dir.path()));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    }

    void cleanup()
    {
        SorvProjectManager::instance().closeProject();
        QLocale::setDefault(QLocale::c());
    }

    void keys_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("key"); // with its modifiers
        QTest::addColumn<QLocale::Language>("language");
        QTest::addColumn<QString>("opened"); // help page opened, relative to the help folder
        QTest::addColumn<bool>("box");       // a message box says that the page is missing
        QTest::addColumn<int>("result");     // the dialog's result; -1 while it stays open
        const QLocale::Language en = QLocale::English;
        const QLocale::Language zh = QLocale::Chinese;
        QTest::newRow("installed page") << "w_cover.html" << int(Qt::Key_F1) << en << "w_cover.html" << false << -1;
        QTest::newRow("page not installed") << "w_missing.html" << int(Qt::Key_F1) << en << "" << true << -1;
        QTest::newRow("dialog without page") << "" << int(Qt::Key_F1) << en << "index.html" << false << -1;
        QTest::newRow("Chinese page") << "w_cover.html" << int(Qt::Key_F1) << zh << "zh_CN/w_cover.html" << false << -1;
        QTest::newRow("no Chinese page") << "" << int(Qt::Key_F1) << zh << "index.html" << false << -1;
        QTest::newRow("shift+F1 is no help") << "w_cover.html" << int(Qt::Key_F1 | Qt::ShiftModifier) << en << ""
                                             << false << -1;
        QTest::newRow("Enter clicks the default button") << "" << int(Qt::Key_Enter) << en << "" << false << 1;
        QTest::newRow("Escape rejects") << "w_cover.html" << int(Qt::Key_Escape) << en << "" << false << 0;
    }

    void keys()
    {
        QFETCH(QString, page);
        QFETCH(int, key);
        QFETCH(QLocale::Language, language);
        QFETCH(QString, opened);
        QFETCH(bool, box);
        QFETCH(int, result);
        QLocale::setDefault(QLocale(language));
        m_urls.clear();
        HelpDialog dialog;
        dialog.page = page;
        auto *ok = new QPushButton(QStringLiteral("OK"), &dialog);
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.setResult(-1);
        ModalDriver driver; // answers the message box, which runs its own event loop
        QTest::keyClick(&dialog, Qt::Key(key & ~Qt::KeyboardModifierMask),
                        Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        const QString boxText = driver.messages().value(0);
        QCOMPARE(m_urls.size(), opened.isEmpty() ? 0 : 1);
        if (!opened.isEmpty())
            QCOMPARE(QFileInfo(m_urls.first().toLocalFile()).canonicalFilePath(),
                     QFileInfo(m_dir.filePath(opened)).canonicalFilePath());
        QCOMPARE(boxText.startsWith(QLatin1String("No help page")), box);
        // The user learns where the page was looked for.
        if (box)
            QVERIFY2(boxText.contains(QDir::toNativeSeparators(m_dir.path())), qPrintable(boxText));
        // Help never closes the dialog.
        QCOMPARE(dialog.result(), result);
        QCOMPARE(dialog.isVisible(), result == -1);
    }

    void projectValues_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("int") << QVariant(83);
        QTest::newRow("string of digits") << QVariant(QStringLiteral("10"));
        QTest::newRow("string with commas") << QVariant(QStringLiteral("a,b, c"));
        QTest::newRow("string starting with @") << QVariant(QStringLiteral("@Invalid()"));
        QTest::newRow("non-latin string") << QVariant(QStringLiteral("Δt ≥ 4 ms, Zürich"));
    }

    void projectValues()
    {
        QFETCH(QVariant, value);
        auto &projects = SorvProjectManager::instance();
        const QString key = QStringLiteral("BrowseFBFile_value");
        // Without a project the values last for the run, apart from any project's.
        QVERIFY(SorvBaseUtil::setProjectValue(key, 12));
        QVERIFY(projects.openProject(project("a")));
        QVERIFY(SorvBaseUtil::setProjectValue(key, value));
        QVERIFY(projects.openProject(project("b")));
        QCOMPARE(SorvBaseUtil::projectValue(key, QStringLiteral("none")), QVariant(QStringLiteral("none")));
        // Re-opening reads the file afresh, as a later run of the host does.
        QVERIFY(projects.openProject(project("a")));
        QCOMPARE(SorvBaseUtil::projectValue(key).userType(), value.userType());
        QCOMPARE(SorvBaseUtil::projectValue(key), value);
        projects.closeProject();
        QCOMPARE(SorvBaseUtil::projectValue(key).userType(), int(QMetaType::Int));
        QCOMPARE(SorvBaseUtil::projectValue(key), QVariant(12));
    }

    // A values file that is not a regular file is never opened (a pipe
    // would block the caller): the values stay in memory for the run, and
    // the log says why.
    void projectValuesFileNotRegular_data()
    {
        QTest::addColumn<bool>("pipe"); // else a folder
        QTest::newRow("pipe") << true;
        QTest::newRow("folder") << false;
    }

    void projectValuesFileNotRegular()
    {
        QFETCH(bool, pipe);
        const QString dir = project(pipe ? "pipe" : "folder");
        const QString values = QDir(dir).filePath(SorvProjectManager::valuesFileName());
        QVERIFY(pipe ? ::mkfifo(QFile::encodeName(values).constData(), 0600) == 0 : QDir().mkdir(values));
        QVERIFY(SorvProjectManager::instance().openProject(dir));
        const QString key = QStringLiteral("BrowseFBFile_value");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("sorvproject.ini is not a regular file"));
        QCOMPARE(SorvBaseUtil::projectValue(key, 7), QVariant(7));
        QVERIFY2(!SorvBaseUtil::setProjectValue(key, 9), "a value kept in memory was reported as stored");
        QCOMPARE(SorvBaseUtil::projectValue(key, 7), QVariant(9));
        QCOMPARE(QFileInfo(values).isDir(), !pipe);
    }

private:
    QString project(const QString &name)
    {
        QDir(m_dir.path()).mkpath(name);
        return m_dir.filePath(name);
    }

    QList<QUrl> m_urls;
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestSdk)
#include "tst_sdk.moc"
