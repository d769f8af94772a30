#include "fbtestfile.h"
#include "mainwindow.h"
#include "pluginregistry.h"
#include "screenshottour.h"

#include <SorvBase/sorvbaseutil.h>
#include <SorvBase/sorvhelpwindow.h>
#include <SorvBase/sorvprojectmanager.h>

#include <QAction>
#include <QtTest>

using namespace FbFile;

// A window whose user keeps it open when asked (unsaved work, Cancel).
class KeptWindow : public QWidget
{
public:
    bool keep = false;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        if (keep)
            event->ignore();
        else
            QWidget::closeEvent(event);
    }
};

// The host's side of loading: which libraries it takes, which it refuses and
// why, and how the window orders and enables the actions it receives.
class TestHost : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A text file named like a library (this very source).
        QVERIFY(QFile::copy(QStringLiteral(__FILE__), m_odd.filePath(QStringLiteral("libbroken.so"))));
        // The module reached a second time.
        QVERIFY(QFile::link(QStringLiteral(BROWSEFBFILE_PLUGIN), m_odd.filePath(QStringLiteral("liblinked.so"))));
        m_registry.scan({qEnvironmentVariable("SORV_PLUGIN_DIR"), QStringLiteral(TEST_PLUGIN_DIR), m_odd.path()});
    }

    void cleanup() { SorvProjectManager::instance().closeProject(); }

    void reportsEveryLibrary_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason"); // a part of it
        QTest::newRow("module") << "libBrowseFBFile.so" << int(PluginRecord::Loaded) << "";
        QTest::newRow("text file") << "libbroken.so" << int(PluginRecord::NotAPlugin) << "not a plug-in";
        QTest::newRow("wrong IID") << "libwronginterface.so" << int(PluginRecord::WrongInterface)
                                   << "wrong interface id";
        QTest::newRow("missing symbol") << "libmissingsymbol.so" << int(PluginRecord::LoadFailed)
                                        << "sorv_test_symbol_nobody_defines";
        QTest::newRow("not general") << "libnotgeneral.so" << int(PluginRecord::NoInstance) << "not a general plug-in";
    }

    void reportsEveryLibrary()
    {
        QFETCH(QString, file);
        QFETCH(int, status);
        QFETCH(QString, reason);
        const auto &records = m_registry.records();
        const auto r = std::find_if(records.cbegin(), records.cend(),
                                    [&file](const PluginRecord &r) { return r.filePath.endsWith('/' + file); });
        QVERIFY2(r != records.cend(), "the library is missing from the report");
        QCOMPARE(int(r->status), status);
        QCOMPARE(r->isLoaded(), status == PluginRecord::Loaded);
        QVERIFY2(r->reason.contains(reason), qPrintable(r->reason));
    }

    void menuOrder_data()
    {
        QTest::addColumn<QStringList>("plugins"); // "general id:name", in the order found
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("then name, ignoring case")
            << QStringList{"1:gamma", "1:Beta", "1:alpha"} << QStringList{"1:alpha", "1:Beta", "1:gamma"};
        QTest::newRow("general id first, as a number")
            << QStringList{"10:A", "9:B", "-1:C"} << QStringList{"-1:C", "9:B", "10:A"};
    }

    void menuOrder()
    {
        QFETCH(QStringList, plugins);
        QFETCH(QStringList, expected);
        QVector<PluginRecord> records(plugins.size());
        for (int i = 0; i < plugins.size(); ++i) {
            records[i].generalID = plugins[i].section(':', 0, 0).toInt();
            records[i].name = plugins[i].section(':', 1);
        }
        std::sort(records.begin(), records.end(), PluginRegistry::menuOrder);
        QStringList sorted;
        for (const PluginRecord &r : records)
            sorted << QStringLiteral("%1:%2").arg(r.generalID).arg(r.name);
        QCOMPARE(sorted, expected);
    }

    void windowEnablesProjectActions()
    {
        auto &projects = SorvProjectManager::instance();
        MainWindow window(m_registry);
        const QVector<QAction *> actions = window.pluginActions();
        QCOMPARE(actions.size(), 3); // the linked module is taken once
        QCOMPARE(actions.at(0)->text(), QStringLiteral("Project Tool"));
        QCOMPARE(actions.at(1)->text(), QStringLiteral("Browse FB File"));
        QCOMPARE(actions.at(2)->text(), QStringLiteral("FB Pick QC"));
        QVERIFY(!actions.at(0)->isEnabled());
        QVERIFY(projects.openProject(m_project.path()));
        QVERIFY(actions.at(0)->isEnabled());
        projects.closeProject();
        QVERIFY(!actions.at(0)->isEnabled());
        QVERIFY2(actions.at(1)->isEnabled() && actions.at(2)->isEnabled(), "a plug-in needing no project is disabled");
        // A window made inside a project starts with the action enabled.
        QVERIFY(projects.openProject(m_project.path()));
        QVERIFY(MainWindow(m_registry).pluginActions().at(0)->isEnabled());
    }

    // File > Quit closes every window, the help window too, unless one of
    // them is kept open by its user; then the host stays open as well.
    void quitClosesEveryWindow_data()
    {
        QTest::addColumn<bool>("kept");
        QTest::newRow("all close") << false;
        QTest::newRow("one is kept open") << true;
    }
    void quitClosesEveryWindow()
    {
        QFETCH(bool, kept);
        QTemporaryDir dir;
        const QString page = dir.filePath(QStringLiteral("page.html"));
        QVERIFY(FbTest::writeFile(page, "<html><head><title>Page</title></head><body>text</body></html>"));
        MainWindow window(m_registry);
        window.show();
        KeptWindow other;
        other.keep = kept;
        other.show();
        QVERIFY(SorvHelpWindow::instance()->showPage(page));
        QAction *quit = window.findChild<QAction *>(QStringLiteral("quitAction"));
        QVERIFY(quit);
        quit->trigger();
        QCOMPARE(window.isVisible(), kept);
        QCOMPARE(other.isVisible(), kept);
        if (!kept)
            QVERIFY(!SorvHelpWindow::instance()->isVisible());
        other.keep = false;
    }

    // The pictures of the demo and the help pages: every window that a
    // command opens, the one that OK opens from a dialog, and the help
    // window; a command that opens no window is named, and the tour goes on.
    void screenshotTour_data()
    {
        QTest::addColumn<QString>("plugins"); // folder
        QTest::addColumn<QStringList>("pictures");
        QTest::addColumn<QString>("error"); // a part of the one error; empty for none
        QTest::newRow("both plug-ins") << qEnvironmentVariable("SORV_PLUGIN_DIR")
                                       << QStringList{"sorv.png", "browsefbfiledialog.png", "fbtabledialog.png",
                                                      "fbpickqcwindow.png", "sorvhelpwindow.png"}
                                       << "";
        QTest::newRow("a command that opens no window")
            << TEST_PLUGIN_DIR << QStringList{"sorv.png", "sorvhelpwindow.png"}
            << "the window of \"Project Tool\" did not appear";
    }

    void screenshotTour()
    {
        QFETCH(QString, plugins);
        QFETCH(QStringList, pictures);
        QFETCH(QString, error);
        QVERIFY(SorvProjectManager::instance().openProject(m_project.path()));
        const QString fb = m_project.filePath(QStringLiteral("tour.fb"));
        QVERIFY(FbTest::writeFile(fb, FbTest::fileBytes(FbTest::recordsWithFfids({7, 7, 8, 8, 8, 9}))));
        SorvBaseUtil::setProjectValue(QStringLiteral("BrowseFBFile_BrowseFBFileDialog_fbName"), fb);
        PluginRegistry registry;
        registry.scan({plugins});
        MainWindow window(registry);
        window.show();
        QTemporaryDir dir;
        ScreenshotTour tour(&window, dir.path());
        tour.setTimeLimit(2000 * FBTEST_TIME_FACTOR);
        QSignalSpy finished(&tour, &ScreenshotTour::finished);
        tour.start();
        QVERIFY(finished.wait(40000 * FBTEST_TIME_FACTOR));
        QCOMPARE(finished.first().first().toBool(), error.isEmpty());
        QStringList written;
        for (const QString &path : tour.written()) {
            QVERIFY2(!QImage(path).isNull(), qPrintable(path));
            written << QFileInfo(path).fileName();
        }
        QCOMPARE(written, pictures);
        QCOMPARE(tour.errors().size(), error.isEmpty() ? 0 : 1);
        if (!error.isEmpty())
            QVERIFY2(tour.errors().first().contains(error), qPrintable(tour.errors().first()));
        // Every window it opened is closed again.
        for (QWidget *other : QApplication::topLevelWidgets())
            QVERIFY2(other == &window || !other->isVisible(), other->metaObject()->className());
    }

private:
    QTemporaryDir m_odd; // a broken file and a link
    QTemporaryDir m_project;
    PluginRegistry m_registry;
};

QTEST_MAIN(TestHost)
#include "tst_host.moc"
