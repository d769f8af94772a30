#include "aboutpluginsdialog.h"
#include "mainwindow.h"
#include "pluginregistry.h"

#include <sorvprojectmanager.h>

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include <algorithm>
#include <memory>

Q_DECLARE_METATYPE(PluginRecord::Status)

namespace {

QStringList texts(const QList<QAction *> &actions)
{
    QStringList result;
    for (const QAction *action : actions) {
        if (!action->isSeparator())
            result << action->text();
    }
    return result;
}

} // namespace

// The host's side of loading: which libraries it takes, which it refuses and
// why, and how the window places the actions that it receives.
class TestHost : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void reportsEveryLibrary_data();
    void reportsEveryLibrary();
    void takesEachLibraryOnce();
    void menuOrder_data();
    void menuOrder();
    void defaultFolder();
    void windowPlacesActions();
    void projectActionsNeedProject();
    void aboutPluginsListsFailures();

private:
    const PluginRecord *record(const QString &fileName) const;

    QTemporaryDir m_odd; // broken files, links, things that are no plug-in
    QTemporaryDir m_project;
    PluginRegistry m_registry;
};

void TestHost::initTestCase()
{
    QVERIFY(m_odd.isValid());
    QVERIFY(m_project.isValid());
    auto write = [this](const QString &name, const QByteArray &content) {
        QFile file(m_odd.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    };
    QVERIFY(write(QStringLiteral("libbroken.so"), "this is a text file, not a library\n"));
    QVERIFY(write(QStringLiteral("libempty.so"), QByteArray()));
    QVERIFY(write(QStringLiteral("README.txt"), "not named like a library\n"));
    QVERIFY(QDir(m_odd.path()).mkdir(QStringLiteral("libfolder.so")));
    // A real shared library, but no plug-in.
    QVERIFY(QFile::link(QStringLiteral(SORVBASE_LIBRARY), m_odd.filePath(QStringLiteral("libSorvBase.so"))));
    // The same plug-in reached a second time.
    QVERIFY(QFile::link(QStringLiteral(BROWSEFBFILE_PLUGIN), m_odd.filePath(QStringLiteral("liblinked.so"))));

    m_registry.scan({QString::fromLocal8Bit(qgetenv("SORV_PLUGIN_DIR")), QStringLiteral(TEST_PLUGIN_DIR),
                     m_odd.path(), QStringLiteral("/nonexistent/sorv/plugins")});
}

void TestHost::cleanupTestCase()
{
    SorvProjectManager::instance().closeProject();
}

void TestHost::cleanup()
{
    SorvProjectManager::instance().closeProject();
}

const PluginRecord *TestHost::record(const QString &fileName) const
{
    for (const PluginRecord &r : m_registry.records()) {
        if (QFileInfo(r.filePath).fileName() == fileName)
            return &r;
    }
    return nullptr;
}

void TestHost::reportsEveryLibrary_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<PluginRecord::Status>("status");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("iid");
    QTest::addColumn<QString>("reason"); // a part of it

    const QString general = QStringLiteral(SorvGeneralPlugin_iid);
    QTest::newRow("the module") << "libBrowseFBFile.so" << PluginRecord::Loaded << "BrowseFBFile" << general << "";
    QTest::newRow("another plug-in") << "libprojecttool.so" << PluginRecord::Loaded << "ProjectTool" << general << "";
    QTest::newRow("text file") << "libbroken.so" << PluginRecord::NotAPlugin << "" << "" << "not a plug-in";
    QTest::newRow("empty file") << "libempty.so" << PluginRecord::NotAPlugin << "" << "" << "not a plug-in";
    QTest::newRow("plain library") << "libSorvBase.so" << PluginRecord::NotAPlugin << "" << "" << "not a plug-in";
    QTest::newRow("wrong interface id")
        << "libwronginterface.so" << PluginRecord::WrongInterface << "WrongInterface"
        << "org.example.plugins.ImageFilter/1.0" << "wrong interface id";
    QTest::newRow("missing symbol") << "libmissingsymbol.so" << PluginRecord::LoadFailed << "MissingSymbol" << general
                                    << "sorv_test_symbol_nobody_defines";
    QTest::newRow("object of another class") << "libnotgeneral.so" << PluginRecord::NoInstance << "NotGeneral"
                                             << general << "not a general plug-in";
}

void TestHost::reportsEveryLibrary()
{
    QFETCH(QString, file);
    QFETCH(PluginRecord::Status, status);
    QFETCH(QString, className);
    QFETCH(QString, iid);
    QFETCH(QString, reason);

    const PluginRecord *r = record(file);
    QVERIFY2(r, qPrintable(m_registry.report().join(QLatin1Char('\n'))));
    QCOMPARE(int(r->status), int(status));
    QCOMPARE(r->className, className);
    QCOMPARE(r->iid, iid);
    QVERIFY(QFileInfo(r->filePath).isAbsolute());
    if (status == PluginRecord::Loaded) {
        QVERIFY(r->isLoaded());
        QVERIFY(r->reason.isEmpty());
        QVERIFY(!r->name.isEmpty());
    } else {
        QVERIFY(!r->isLoaded());
        QVERIFY2(r->reason.contains(reason), qPrintable(r->reason));
    }

    // The printed listing has the same line.
    const QStringList lines = m_registry.report();
    const auto line = std::find_if(lines.cbegin(), lines.cend(),
                                   [r](const QString &l) { return l.contains(r->filePath + QLatin1Char('\t')); });
    QVERIFY(line != lines.cend());
    QVERIFY(line->startsWith(status == PluginRecord::Loaded ? QLatin1String("loaded\t") : QLatin1String("failed\t")));
}

void TestHost::takesEachLibraryOnce()
{
    // README.txt and the folder named like a library are no libraries; the
    // link leads to a file already taken.
    QStringList names;
    for (const PluginRecord &r : m_registry.records())
        names << QFileInfo(r.filePath).fileName();
    names.sort();
    QCOMPARE(names, QStringList({"libBrowseFBFile.so", "libSorvBase.so", "libbroken.so", "libempty.so",
                                 "libmissingsymbol.so", "libnotgeneral.so", "libprojecttool.so",
                                 "libwronginterface.so"}));

    const int before = m_registry.records().size();
    m_registry.scan({QStringLiteral(TEST_PLUGIN_DIR), m_odd.path()});
    QCOMPARE(m_registry.records().size(), before);
}

void TestHost::menuOrder_data()
{
    QTest::addColumn<QStringList>("plugins"); // "general id:name", in the order found
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("general id first") << QStringList{"1:Alpha", "0:Zeta"} << QStringList{"0:Zeta", "1:Alpha"};
    QTest::newRow("then name, ignoring case")
        << QStringList{"1:gamma", "1:Beta", "1:alpha"} << QStringList{"1:alpha", "1:Beta", "1:gamma"};
    QTest::newRow("negative and large ids")
        << QStringList{"100:A", "-1:B", "7:C"} << QStringList{"-1:B", "7:C", "100:A"};
    QTest::newRow("ids compare as numbers") << QStringList{"10:A", "9:B"} << QStringList{"9:B", "10:A"};
}

void TestHost::menuOrder()
{
    QFETCH(QStringList, plugins);
    QFETCH(QStringList, expected);

    QVector<PluginRecord> records;
    for (const QString &plugin : plugins) {
        PluginRecord r;
        r.generalID = plugin.section(QLatin1Char(':'), 0, 0).toInt();
        r.name = plugin.section(QLatin1Char(':'), 1);
        r.filePath = QStringLiteral("/p/lib%1.so").arg(r.name);
        records << r;
    }
    std::sort(records.begin(), records.end(), PluginRegistry::menuOrder);
    QStringList sorted;
    for (const PluginRecord &r : records)
        sorted << QStringLiteral("%1:%2").arg(r.generalID).arg(r.name);
    QCOMPARE(sorted, expected);
}

void TestHost::defaultFolder()
{
    // The tests run from the build tree's bin folder, like the host: its
    // default is the build tree's plug-in folder.
    const QString pluginDir = QString::fromLocal8Bit(qgetenv("SORV_PLUGIN_DIR"));
    QCOMPARE(PluginRegistry::defaultFolder(QCoreApplication::applicationDirPath()),
             QFileInfo(pluginDir).absoluteFilePath());

    // An installed tree without plug-ins still names its own folder.
    QTemporaryDir prefix;
    QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
    const QString folder = PluginRegistry::defaultFolder(prefix.filePath(QStringLiteral("bin")));
    QVERIFY2(folder.startsWith(prefix.path() + QLatin1Char('/')), qPrintable(folder));
    QVERIFY(folder.endsWith(QLatin1String("/sorv/plugins")));
}

void TestHost::windowPlacesActions()
{
    auto window = std::make_unique<MainWindow>(m_registry);
    const QStringList expected{QStringLiteral("Project Tool"), QStringLiteral("Browse FB File")};

    QStringList actionTexts;
    for (QAction *action : window->pluginActions())
        actionTexts << action->text();
    QCOMPARE(actionTexts, expected);

    auto *toolBar = window->findChild<QToolBar *>(QStringLiteral("pluginToolBar"));
    QVERIFY(toolBar);
    QCOMPARE(texts(toolBar->actions()), expected);

    QMenu *pluginMenu = nullptr;
    for (QAction *menuAction : window->menuBar()->actions()) {
        if (menuAction->text().remove(QLatin1Char('&')) == QLatin1String("Plug-ins"))
            pluginMenu = menuAction->menu();
    }
    QVERIFY(pluginMenu);
    QCOMPARE(texts(pluginMenu->actions()), expected);

    // The window owns what the plug-ins handed over.
    QList<QPointer<QAction>> owned;
    for (QAction *action : window->pluginActions()) {
        QCOMPARE(action->parent(), window.get());
        owned << action;
    }
    QCOMPARE(window->pluginActions().at(1)->data(), QVariant(83));
    window.reset();
    for (const QPointer<QAction> &action : owned)
        QVERIFY(action.isNull());
}

void TestHost::projectActionsNeedProject()
{
    MainWindow window(m_registry);
    QAction *projectTool = window.pluginActions().at(0);
    QAction *browse = window.pluginActions().at(1);
    const QString projectName = QFileInfo(m_project.path()).fileName();

    QVERIFY(!projectTool->isEnabled());
    QVERIFY(browse->isEnabled());
    QVERIFY(!window.windowTitle().contains(projectName));

    QVERIFY(SorvProjectManager::instance().openProject(m_project.path()));
    QVERIFY(projectTool->isEnabled());
    QVERIFY(browse->isEnabled());
    QVERIFY2(window.windowTitle().contains(projectName), qPrintable(window.windowTitle()));

    SorvProjectManager::instance().closeProject();
    QVERIFY(!projectTool->isEnabled());
    QVERIFY(browse->isEnabled());
    QVERIFY(!window.windowTitle().contains(projectName));

    // A window made while a project is open starts with the actions enabled.
    QVERIFY(SorvProjectManager::instance().openProject(m_project.path()));
    MainWindow later(m_registry);
    QVERIFY(later.pluginActions().at(0)->isEnabled());
    QVERIFY(later.windowTitle().contains(projectName));
}

void TestHost::aboutPluginsListsFailures()
{
    AboutPluginsDialog dialog(m_registry);
    QTableWidget *table = dialog.table();
    QCOMPARE(table->rowCount(), m_registry.records().size());
    for (int row = 0; row < table->rowCount(); ++row) {
        const PluginRecord &r = m_registry.records().at(row);
        QCOMPARE(table->item(row, 0)->text(), QFileInfo(r.filePath).fileName());
        QCOMPARE(table->item(row, 1)->text(), r.className);
        QCOMPARE(table->item(row, 2)->text(), r.iid);
        if (r.status != PluginRecord::Loaded)
            QCOMPARE(table->item(row, 4)->text(), r.reason);
    }
}

QTEST_MAIN(TestHost)
#include "tst_host.moc"
