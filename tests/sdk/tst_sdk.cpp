#include "modaldriver.h"

#include <SorvBase/sorvbaseutil.h>
#include <SorvBase/sorvdialog.h>
#include <SorvBase/sorvhelpwindow.h>
#include <SorvPlugins/sorvpluginmetadata.h>
#include <SorvBase/sorvprojectmanager.h>

#include <QCborMap>
#include <QCborValue>
#include <QDesktopServices>
#include <QLabel>
#include <QtTest>

#include <elf.h>
#include <sys/stat.h>

// A dialog whose help page the test chooses.
struct HelpDialog : SorvDialog
{
    QString page;
    QString helpIndex() const override { return page; }
};

template<std::size_t Size>
QByteArray bytes(const SorvPluginMetaData::Block<Size> &block)
{
    return QByteArray(reinterpret_cast<const char *>(block.bytes), int(Size));
}

// The dialog base of the SDK, its help window, the per-project values that
// dialogs keep, and the plug-in metadata block.
class TestSdk : public QObject
{
    Q_OBJECT

public slots:
    // Catches the pages handed to the system's browser.
    void openUrl(const QUrl &url) { m_urls << url; }

private slots:
    void initTestCase()
    {
        // Small pages, each naming its language, linking its neighbours and
        // the one stylesheet, as the installed ones do.
        const QString css = QStringLiteral("h1 { color: #123456; }");
        const QString page =
            QStringLiteral("<html><head><meta charset=\"utf-8\"><title>%1</title>"
                           "<link rel=\"stylesheet\" href=\"%2style.css\">"
                           "</head><body><h1>%1</h1><p><a href=\"index.html\">index</a></p></body></html>");
        const QList<QPair<QString, QString>> files = {
            {"style.css", css},
            {"index.html", page.arg("Index", "")},
            {"w_cover.html", page.arg("Browse dialog", "")},
            {"only_english.html", page.arg("Only in English", "")},
            {"zh_CN/index.html", page.arg(QStringLiteral("索引"), "../")},
            {"zh_CN/w_cover.html", page.arg(QStringLiteral("浏览对话框"), "../")},
        };
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("zh_CN")));
        for (const auto &file : files) {
            QFile out(m_dir.filePath(file.first));
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(file.second.toUtf8());
        }
        qputenv("SORV_HELP_DIR", QFile::encodeName(m_dir.path()));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
        // A folder with a stand-in for the system's browser, for the PATH.
        QFile browser(m_browserDir.filePath(QStringLiteral("xdg-open")));
        QVERIFY(browser.open(QIODevice::WriteOnly));
        browser.write("#!/bin/sh\nexit 0\n");
        browser.close();
        QVERIFY(browser.setPermissions(browser.permissions() | QFile::ExeOwner));
        m_path = qgetenv("PATH");
    }

    void cleanup()
    {
        SorvProjectManager::instance().closeProject();
        QLocale::setDefault(QLocale::c());
        qputenv("PATH", m_path);
    }

    void keys_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("key"); // with its modifiers
        QTest::addColumn<QLocale::Language>("language");
        QTest::addColumn<QString>("opened"); // help page opened, relative to the help folder
        QTest::addColumn<bool>("missing");   // the help window says that the page is missing
        QTest::addColumn<int>("result");     // the dialog's result; -1 while it stays open
        const QLocale::Language en = QLocale::English;
        const QLocale::Language zh = QLocale::Chinese;
        QTest::newRow("installed page") << "w_cover.html" << int(Qt::Key_F1) << en << "w_cover.html" << false << -1;
        QTest::newRow("page not installed") << "w_missing.html" << int(Qt::Key_F1) << en << "index.html" << true << -1;
        QTest::newRow("dialog without page") << "" << int(Qt::Key_F1) << en << "index.html" << false << -1;
        QTest::newRow("Chinese page") << "w_cover.html" << int(Qt::Key_F1) << zh << "zh_CN/w_cover.html" << false << -1;
        QTest::newRow("no Chinese page") << "only_english.html" << int(Qt::Key_F1) << zh << "only_english.html" << false
                                         << -1;
        QTest::newRow("shift+F1 is no help")
            << "w_cover.html" << int(Qt::Key_F1 | Qt::ShiftModifier) << en << "" << false << -1;
        QTest::newRow("Enter clicks the default button") << "" << int(Qt::Key_Enter) << en << "" << false << 1;
        QTest::newRow("Escape rejects") << "w_cover.html" << int(Qt::Key_Escape) << en << "" << false << 0;
    }

    void keys()
    {
        QFETCH(QString, page);
        QFETCH(int, key);
        QFETCH(QLocale::Language, language);
        QFETCH(QString, opened);
        QFETCH(bool, missing);
        QFETCH(int, result);
        QLocale::setDefault(QLocale(language));
        SorvHelpWindow::instance()->close();
        HelpDialog dialog;
        dialog.page = page;
        auto *ok = new QPushButton(QStringLiteral("OK"), &dialog);
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.setResult(-1);
        ModalDriver driver; // answers any message box, which would run its own event loop
        QTest::keyClick(&dialog, Qt::Key(key & ~Qt::KeyboardModifierMask),
                        Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        QCOMPARE(driver.messages(), QStringList());
        QCOMPARE(SorvHelpWindow::instance()->isVisible(), !opened.isEmpty());
        if (!opened.isEmpty())
            QCOMPARE(shownPage(), opened);
        const auto *said = SorvHelpWindow::instance()->findChild<QLabel *>(QStringLiteral("helpMessage"));
        const QString note = said->isVisible() ? said->text() : QString();
        QCOMPARE(note.startsWith(QLatin1String("No help page")), missing);
        // The user learns where the page was looked for.
        if (missing)
            QVERIFY2(note.contains(QDir::toNativeSeparators(m_dir.path())), qPrintable(note));
        // Help never closes the dialog.
        QCOMPARE(dialog.result(), result);
        QCOMPARE(dialog.isVisible(), result == -1);
    }

    // A value kept per project reads back as stored, of its own type, in
    // that project only. A values file that is not a regular file is never
    // opened (a pipe would block the caller): the values stay in memory for
    // the run, and the log says why.
    void projectValues_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("valuesFile"); // in project a: "" none yet, "pipe" or "folder"
        QTest::newRow("int") << QVariant(83) << QString();
        QTest::newRow("string of digits") << QVariant(QStringLiteral("10")) << QString();
        QTest::newRow("string with commas") << QVariant(QStringLiteral("a,b, c")) << QString();
        QTest::newRow("string starting with @") << QVariant(QStringLiteral("@Invalid()")) << QString();
        QTest::newRow("non-latin string") << QVariant(QStringLiteral("Δt ≥ 4 ms, Zürich")) << QString();
        QTest::newRow("values file a pipe") << QVariant(9) << "pipe";
        QTest::newRow("values file a folder") << QVariant(9) << "folder";
    }

    void projectValues()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, valuesFile);
        auto &projects = SorvProjectManager::instance();
        const QString key = QStringLiteral("BrowseFBFile_value");
        const QString a = project(valuesFile.isEmpty() ? QStringLiteral("a") : valuesFile);
        const QString values = QDir(a).filePath(SorvProjectManager::valuesFileName());
        if (valuesFile == "pipe")
            QVERIFY(::mkfifo(QFile::encodeName(values).constData(), 0600) == 0);
        if (valuesFile == "folder")
            QVERIFY(QDir().mkdir(values));
        // Without a project the values last for the run, apart from any project's.
        QVERIFY(SorvBaseUtil::setProjectValue(key, 12));
        QVERIFY(projects.openProject(a));
        if (!valuesFile.isEmpty()) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("sorvproject.ini is not a regular file"));
            QCOMPARE(SorvBaseUtil::projectValue(key, 7), QVariant(7));
            QVERIFY2(!SorvBaseUtil::setProjectValue(key, value), "a value kept in memory was reported as stored");
            QCOMPARE(SorvBaseUtil::projectValue(key, 7), value);
            QCOMPARE(QFileInfo(values).isDir(), valuesFile == "folder");
            return;
        }
        QVERIFY(SorvBaseUtil::setProjectValue(key, value));
        QVERIFY(projects.openProject(project("b")));
        QCOMPARE(SorvBaseUtil::projectValue(key, QStringLiteral("none")), QVariant(QStringLiteral("none")));
        // Re-opening reads the file afresh, as a later run of the host does.
        QVERIFY(projects.openProject(a));
        QCOMPARE(SorvBaseUtil::projectValue(key).userType(), value.userType());
        QCOMPARE(SorvBaseUtil::projectValue(key), value);
        projects.closeProject();
        QCOMPARE(SorvBaseUtil::projectValue(key).userType(), int(QMetaType::Int));
        QCOMPARE(SorvBaseUtil::projectValue(key), QVariant(12));
    }

    // The help window: the page of the interface's language, back, forward
    // and home, links, and the system's browser only where there is one.
    void helpWindow_data()
    {
        QTest::addColumn<QLocale::Language>("language");
        QTest::addColumn<bool>("browser");      // one on the PATH
        QTest::addColumn<QStringList>("steps"); // F1 <page>, link <url>, back, forward, home, browser
        QTest::addColumn<QString>("shown");     // the page shown at the end
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("history"); // Back and Forward enabled: "", "back", "forward", "back forward"
        QTest::addColumn<QString>("message"); // a part of what the window says; empty for nothing
        const QLocale::Language en = QLocale::English;
        const QLocale::Language zh = QLocale::Chinese;
        const QString cover = "w_cover.html", coverTitle = "Browse dialog", none;
        QTest::newRow("link, back") << en << false << QStringList{"F1 w_cover.html", "link index.html", "back"} << cover
                                    << coverTitle << QString("forward") << none;
        QTest::newRow("back, forward") << en << false
                                       << QStringList{"F1 w_cover.html", "link index.html", "back", "forward"}
                                       << QString("index.html") << QString("Index") << QString("back") << none;
        QTest::newRow("home, Chinese") << zh << false << QStringList{"F1 w_cover.html", "home"} << "zh_CN/index.html"
                                       << QStringLiteral("索引") << "back" << none;
        QTest::newRow("link to a missing page")
            << en << false << QStringList{"F1 w_cover.html", "link gone.html"} << cover << coverTitle << none
            << QString("gone.html cannot be shown: there is no such file");
        QTest::newRow("web link, no browser")
            << en << false << QStringList{"F1 w_cover.html", "link https://example.org/a"} << cover << coverTitle
            << none << QString("no web browser is installed");
        QTest::newRow("web link, browser") << en << true << QStringList{"F1 w_cover.html", "link https://example.org/a"}
                                           << cover << coverTitle << none << none;
        QTest::newRow("Open in Browser") << en << true << QStringList{"F1 index.html", "browser"}
                                         << QString("index.html") << QString("Index") << none << none;
    }

    void helpWindow()
    {
        QFETCH(QLocale::Language, language);
        QFETCH(bool, browser);
        QFETCH(QStringList, steps);
        QFETCH(QString, shown);
        QFETCH(QString, title);
        QFETCH(QString, history);
        QFETCH(QString, message);
        QLocale::setDefault(QLocale(language));
        qputenv("PATH", QFile::encodeName(browser ? m_browserDir.path() : m_noBrowserDir.path()));
        delete SorvHelpWindow::instance(); // a fresh history
        m_urls.clear();
        SorvHelpWindow *window = SorvHelpWindow::instance();
        auto *pageView = window->findChild<QTextBrowser *>(QStringLiteral("helpBrowser"));
        QVERIFY(pageView);
        auto action = [window](const char *name) { return window->findChild<QAction *>(QLatin1String(name)); };
        QUrl handed; // to the browser
        for (const QString &step : steps) {
            const QString verb = step.section(QLatin1Char(' '), 0, 0);
            const QString argument = step.section(QLatin1Char(' '), 1);
            if (verb == QLatin1String("F1"))
                QVERIFY(SorvDialog::openHelpPage(argument, nullptr));
            else if (verb == QLatin1String("link"))
                emit pageView->anchorClicked(QUrl(argument));
            else if (verb == QLatin1String("browser"))
                action("openInBrowserAction")->trigger();
            else
                action(qPrintable(verb + QLatin1String("Action")))->trigger();
            if (verb == QLatin1String("link") || verb == QLatin1String("browser"))
                handed = argument.contains(QLatin1Char(':')) ? QUrl(argument) : pageView->source();
        }
        QVERIFY(window->isVisible());
        QCOMPARE(shownPage(), shown);
        QCOMPARE(pageView->documentTitle(), title);
        QVERIFY2(window->windowTitle().startsWith(title), qPrintable(window->windowTitle()));
        // The page's stylesheet applies, linked from either folder.
        QCOMPARE(pageView->document()->firstBlock().charFormat().foreground().color(), QColor(0x12, 0x34, 0x56));
        QCOMPARE(action("backAction")->isEnabled(), history.contains(QLatin1String("back")));
        QCOMPARE(action("forwardAction")->isEnabled(), history.contains(QLatin1String("forward")));
        QCOMPARE(action("openInBrowserAction")->isVisible(), browser);
        const QLabel *said = window->findChild<QLabel *>(QStringLiteral("helpMessage"));
        QCOMPARE(said->isVisible(), !message.isEmpty());
        if (!message.isEmpty())
            QVERIFY2(said->text().contains(message), qPrintable(said->text()));
        // Only with a browser, only what was asked for.
        QCOMPARE(m_urls, browser && handed.isValid() ? QList<QUrl>{handed} : QList<QUrl>());
    }

    // The help window closes from the keyboard and by its button, alone or
    // beside a modal dialog, and opens again where it was. Beside a modal
    // dialog it takes the user's input, and left open it stays open when
    // the dialog closes.
    void helpWindowCloses_data()
    {
        QTest::addColumn<QString>("how"); // a key sequence, "button", or empty to leave it open
        QTest::addColumn<bool>("besideDialog");
        QTest::newRow("Esc") << "Esc" << false;
        QTest::newRow("Ctrl+W") << "Ctrl+W" << false;
        QTest::newRow("Close button") << "button" << false;
        QTest::newRow("Esc beside a dialog") << "Esc" << true;
        QTest::newRow("left open beside a dialog that closes") << "" << true;
    }
    void helpWindowCloses()
    {
        QFETCH(QString, how);
        QFETCH(bool, besideDialog);
        HelpDialog dialog;
        dialog.page = QStringLiteral("w_cover.html");
        bool dialogOpen = false;
        QString afterBack;
        const auto useHelp = [&] {
            SorvHelpWindow *window = SorvHelpWindow::instance();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            window->activateWindow();
            if (besideDialog) {
                emit window->findChild<QTextBrowser *>(QStringLiteral("helpBrowser"))
                    ->anchorClicked(QUrl("index.html"));
                // Clicked through the window system, which holds back input
                // from windows that a modal dialog blocks.
                auto *toolBar = window->findChild<QToolBar *>();
                QWidget *back = toolBar->widgetForAction(window->findChild<QAction *>(QStringLiteral("backAction")));
                QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                                  back->mapTo(window, back->rect().center()));
                afterBack = shownPage();
            }
            if (how == QLatin1String("button")) {
                auto *buttons = window->findChild<QDialogButtonBox *>(QStringLiteral("helpButtons"));
                QVERIFY(buttons);
                buttons->button(QDialogButtonBox::Close)->click();
            } else if (!how.isEmpty()) {
                QTest::keySequence(window, QKeySequence(how));
            }
            dialogOpen = dialog.isVisible();
        };
        if (besideDialog) {
            QTimer::singleShot(0, &dialog, [&] {
                QTest::keyClick(&dialog, Qt::Key_F1);
                useHelp();
                dialog.reject();
            });
            dialog.exec();
            QCOMPARE(afterBack, QStringLiteral("w_cover.html"));
        } else {
            QVERIFY(SorvDialog::openHelpPage(QStringLiteral("w_cover.html"), nullptr));
            useHelp();
        }
        QCOMPARE(SorvHelpWindow::instance()->isVisible(), how.isEmpty());
        QCOMPARE(dialogOpen, besideDialog); // Esc closed the help, not the dialog under it
        QVERIFY(SorvDialog::openHelpPage(QStringLiteral("index.html"), nullptr));
        QVERIFY(SorvHelpWindow::instance()->isVisible());
    }

    // The installed help pages read in the help window: each has a title,
    // and each screenshot it shows is found and fits the page's width.
    void installedPages_data()
    {
        QTest::addColumn<QString>("path");
        const QDir help(QStringLiteral(HELP_DIR));
        for (const QString &folder : {QString(), QStringLiteral("zh_CN/")}) {
            const QStringList pages = QDir(help.filePath(folder)).entryList({QStringLiteral("*.html")}, QDir::Files);
            for (const QString &page : pages)
                QTest::newRow(qPrintable(folder + page)) << help.filePath(folder + page);
        }
    }

    void installedPages()
    {
        QFETCH(QString, path);
        SorvHelpWindow *window = SorvHelpWindow::instance();
        QVERIFY2(window->showPage(path), qPrintable(window->errorString()));
        auto *pageView = window->findChild<QTextBrowser *>(QStringLiteral("helpBrowser"));
        QVERIFY(!pageView->documentTitle().isEmpty());
        int images = 0;
        for (QTextBlock block = pageView->document()->begin(); block.isValid(); block = block.next()) {
            for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat format = it.fragment().charFormat();
                if (!format.isImageFormat())
                    continue;
                ++images;
                const QString name = format.toImageFormat().name();
                const QImage image = pageView->loadResource(QTextDocument::ImageResource, QUrl(name)).value<QImage>();
                QVERIFY2(!image.isNull(), qPrintable(name + QStringLiteral(" is not shown")));
                QVERIFY2(image.width() < pageView->viewport()->width(),
                         qPrintable(name + QStringLiteral(" is too wide")));
            }
        }
        QVERIFY2(images > 0 || !path.endsWith(QLatin1String("w_cover.html")),
                 "the browse dialog's page lost its picture");
        // Never sideways: the screenshots fit the page's margins.
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCoreApplication::processEvents();
        QVERIFY2(!pageView->horizontalScrollBar()->isVisible(), "the page scrolls sideways");
    }

    void metaData_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QByteArray>("expected"); // after the signature and the Qt version
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("library"); // a plug-in that must carry the block; empty for none
        const QByteArray iid = QByteArray::fromHex("bf027822") + "org.sorv.plugins.SorvGeneralPlugin";
        const QByteArray end = QByteArray::fromHex("04a0ff");
        // The browse plug-in's block as the host has always read it.
        QTest::newRow("browse plug-in")
            << bytes(SorvPluginMetaData::block("BrowseFBFile"))
            << QByteArray::fromHex("bf0278226f72672e736f72762e706c7567696e732e536f727647656e6572616c506c7567696e"
                                   "036c42726f777365464246696c6504a0ff")
            << "BrowseFBFile" << BROWSEFBFILE_PLUGIN;
        QTest::newRow("23 bytes: the length in the text's head")
            << bytes(SorvPluginMetaData::block("ABCDEFGHIJKLMNOPQRSTUVW"))
            << iid + QByteArray::fromHex("0377") + "ABCDEFGHIJKLMNOPQRSTUVW" + end << "ABCDEFGHIJKLMNOPQRSTUVW"
            << "";
        QTest::newRow("24 bytes: the length in a byte of its own")
            << bytes(SorvPluginMetaData::block("ABCDEFGHIJKLMNOPQRSTUVWX"))
            << iid + QByteArray::fromHex("037818") + "ABCDEFGHIJKLMNOPQRSTUVWX" + end << "ABCDEFGHIJKLMNOPQRSTUVWX"
            << "";
    }

    void metaData()
    {
        QFETCH(QByteArray, block);
        QFETCH(QByteArray, expected);
        QFETCH(QString, className);
        QFETCH(QString, library);
        const QByteArray header = QByteArray("QTMETADATA !") + char(0) + char(QT_VERSION_MAJOR) +
                                  char(QT_VERSION_MINOR) + char(qPluginArchRequirements());
        QCOMPARE(block.toHex(), (header + expected).toHex());
        // Qt's own reader finds the keys the host looks up.
        const QCborMap map = QCborValue::fromCbor(block.mid(header.size())).toMap();
        QCOMPARE(map.value(2).toString(), QStringLiteral(SorvGeneralPlugin_iid));
        QCOMPARE(map.value(3).toString(), className);
        QVERIFY(map.value(4).isMap() && map.value(4).toMap().isEmpty());
        if (!library.isEmpty()) {
            QFile file(library);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(metaDataSection(file.readAll()).toHex(), block.toHex());
        }
    }

private:
    // The section of a 64-bit ELF library that Qt's loader reads.
    static QByteArray metaDataSection(const QByteArray &library)
    {
        const auto *header = reinterpret_cast<const Elf64_Ehdr *>(library.constData());
        const auto *sections = reinterpret_cast<const Elf64_Shdr *>(library.constData() + header->e_shoff);
        const char *names = library.constData() + sections[header->e_shstrndx].sh_offset;
        for (int i = 0; i < header->e_shnum; ++i) {
            if (qstrcmp(names + sections[i].sh_name, ".qtmetadata") == 0)
                return library.mid(int(sections[i].sh_offset), int(sections[i].sh_size));
        }
        return QByteArray();
    }

    // The page the help window shows, relative to the help folder.
    QString shownPage() const
    {
        return QDir(m_dir.path()).relativeFilePath(SorvHelpWindow::instance()->source().toLocalFile());
    }

    QString project(const QString &name)
    {
        QDir(m_dir.path()).mkpath(name);
        return m_dir.filePath(name);
    }

    QList<QUrl> m_urls;
    QTemporaryDir m_dir;
    QTemporaryDir m_browserDir;
    QTemporaryDir m_noBrowserDir;
    QByteArray m_path;
};

QTEST_MAIN(TestSdk)
#include "tst_sdk.moc"
