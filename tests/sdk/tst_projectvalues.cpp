#include <sorvbaseutil.h>
#include <sorvprojectmanager.h>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// Per-project values: what one dialog stores, a later dialog or a later run
// of the host reads back, with its type, and never in another project.
class TestProjectValues : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void roundTrip_data();
    void roundTrip();
    void projectsStayApart();
    void noProjectKeepsValuesInMemory();
    void openProject_data();
    void openProject();

private:
    SorvProjectManager &manager() { return SorvProjectManager::instance(); }
    std::unique_ptr<QTemporaryDir> m_root;
};

void TestProjectValues::init()
{
    manager().closeProject();
    m_root.reset(new QTemporaryDir);
    QVERIFY(m_root->isValid());
}

void TestProjectValues::cleanup()
{
    manager().closeProject();
    m_root.reset();
}

void TestProjectValues::roundTrip_data()
{
    QTest::addColumn<QVariant>("value");

    QTest::newRow("int") << QVariant(83);
    QTest::newRow("negative int") << QVariant(-7);
    QTest::newRow("string") << QVariant(QStringLiteral("/data/line 12/shots.fb"));
    QTest::newRow("string of digits stays a string") << QVariant(QStringLiteral("10"));
    QTest::newRow("empty string") << QVariant(QString());
    QTest::newRow("string with commas") << QVariant(QStringLiteral("a,b, c"));
    QTest::newRow("string with quotes and backslash") << QVariant(QStringLiteral("C:\\fb\\\"x\".fb"));
    QTest::newRow("string starting with @") << QVariant(QStringLiteral("@Invalid()"));
    QTest::newRow("non-latin string") << QVariant(QStringLiteral("Δt ≥ 4 ms, Zürich"));
    QTest::newRow("bool") << QVariant(true);
    QTest::newRow("double") << QVariant(2.5);
}

void TestProjectValues::roundTrip()
{
    QFETCH(QVariant, value);
    const QString key = QStringLiteral("BrowseFBFile_BrowseFBFileDialog_value");
    const QString dir = m_root->filePath(QStringLiteral("project"));
    QVERIFY(QDir().mkpath(dir));

    QVERIFY(manager().openProject(dir));
    QVERIFY(SorvBaseUtil::setProjectValue(key, value));
    QCOMPARE(SorvBaseUtil::projectValue(key), value);

    // Re-opening reads the file afresh, as a later run of the host does.
    manager().closeProject();
    QVERIFY(!SorvBaseUtil::projectValue(key).isValid());
    QVERIFY(manager().openProject(dir));
    const QVariant back = SorvBaseUtil::projectValue(key, QStringLiteral("default"));
    QCOMPARE(back.userType(), value.userType());
    QCOMPARE(back, value);
    QVERIFY(QFileInfo::exists(QDir(dir).filePath(SorvProjectManager::valuesFileName())));
}

void TestProjectValues::projectsStayApart()
{
    const QString a = m_root->filePath(QStringLiteral("a"));
    const QString b = m_root->filePath(QStringLiteral("b"));
    QVERIFY(QDir().mkpath(a));
    QVERIFY(QDir().mkpath(b));
    const QString key = QStringLiteral("fastStep");

    QVERIFY(manager().openProject(a));
    QVERIFY(SorvBaseUtil::setProjectValue(key, 5));
    QVERIFY(manager().openProject(b));
    QCOMPARE(SorvBaseUtil::projectValue(key, 1), QVariant(1));
    QVERIFY(SorvBaseUtil::setProjectValue(key, 20));
    QVERIFY(manager().openProject(a));
    QCOMPARE(SorvBaseUtil::projectValue(key, 1), QVariant(5));
    QVERIFY(manager().openProject(b));
    QCOMPARE(SorvBaseUtil::projectValue(key, 1), QVariant(20));
}

void TestProjectValues::noProjectKeepsValuesInMemory()
{
    const QString key = QStringLiteral("fbName");
    QVERIFY(manager().define().projectDir.isEmpty());
    QCOMPARE(SorvBaseUtil::projectValue(key, QStringLiteral("none")), QVariant(QStringLiteral("none")));
    QVERIFY(SorvBaseUtil::setProjectValue(key, QStringLiteral("run.fb")));
    QCOMPARE(SorvBaseUtil::projectValue(key), QVariant(QStringLiteral("run.fb")));
    QVERIFY(SorvBaseUtil::setProjectValue(QStringLiteral("fastStep"), 12));
    QCOMPARE(SorvBaseUtil::projectValue(QStringLiteral("fastStep")).userType(), int(QMetaType::Int));

    // The run's values are no project's values, and come back after one.
    const QString dir = m_root->filePath(QStringLiteral("p"));
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(manager().openProject(dir));
    QVERIFY(!SorvBaseUtil::projectValue(key).isValid());
    QVERIFY(SorvBaseUtil::setProjectValue(key, QStringLiteral("project.fb")));
    manager().closeProject();
    QCOMPARE(SorvBaseUtil::projectValue(key), QVariant(QStringLiteral("run.fb")));
    QVERIFY(QDir(m_root->path()).entryList(QDir::Files).isEmpty());
}

void TestProjectValues::openProject_data()
{
    QTest::addColumn<QString>("dir"); // relative to the temporary root; "-" for an empty path
    QTest::addColumn<bool>("opens");

    QTest::newRow("folder") << QStringLiteral("p") << true;
    QTest::newRow("folder with trailing slash") << QStringLiteral("p/") << true;
    QTest::newRow("dotted path") << QStringLiteral("p/../p/.") << true;
    QTest::newRow("missing folder") << QStringLiteral("missing") << false;
    QTest::newRow("a file") << QStringLiteral("file.txt") << false;
    QTest::newRow("empty path") << QStringLiteral("-") << false;
}

void TestProjectValues::openProject()
{
    QFETCH(QString, dir);
    QFETCH(bool, opens);
    QVERIFY(QDir().mkpath(m_root->filePath(QStringLiteral("p"))));
    QVERIFY(QDir().mkpath(m_root->filePath(QStringLiteral("current"))));
    QFile file(m_root->filePath(QStringLiteral("file.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    const QString current = QDir::cleanPath(QFileInfo(m_root->filePath(QStringLiteral("current"))).absoluteFilePath());
    QVERIFY(manager().openProject(current));
    QSignalSpy changed(&manager(), &SorvProjectManager::projectChanged);

    // A relative path is taken from the working folder.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(m_root->path());
    const bool opened = manager().openProject(dir == QLatin1String("-") ? QString() : dir);
    QDir::setCurrent(previous);

    QCOMPARE(opened, opens);
    const QString expected = opens ? QFileInfo(m_root->filePath(QStringLiteral("p"))).absoluteFilePath() : current;
    QCOMPARE(manager().define().projectDir, QDir::cleanPath(expected));
    QVERIFY(QDir::isAbsolutePath(manager().define().projectDir));
    QCOMPARE(manager().define().projectName, QFileInfo(expected).fileName());
    QCOMPARE(changed.count(), opens ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestProjectValues)
#include "tst_projectvalues.moc"
