// What the host prints on the console: nothing when a plug-in dialog opens,
// one line with exit code 1 for a usage error, display or not, one with
// exit code 2 that says how to run headless when there is no display, and
// its plug-ins listed in the user's language.

#include "browsefbfiledialog.h"
#include "consolefilter.h"
#include "fbtabledialog.h"
#include "fbtestfile.h"
#include <fbfile/shotindex.h>

#include <QtTest>
#include <QtWidgets>

using namespace FbFile;

Q_DECLARE_METATYPE(QtMsgType)

namespace {

// Messages that got past the host's filter, as the console would show them.
QStringList passedOn;

void capture(QtMsgType, const QMessageLogContext &, const QString &message)
{
    passedOn << message;
}

} // namespace

class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qInstallMessageHandler(capture);
        ConsoleFilter::install();
    }

    void filter_data()
    {
        QTest::addColumn<QtMsgType>("type");
        QTest::addColumn<QString>("message");
        const QString spinBox = QStringLiteral("QMetaObject::connectSlotsByName: Connecting slot "
                                               "on_fastStep_valueChanged() with the first of the following "
                                               "compatible signals: "
                                               "(\"valueChanged(int)\", \"valueChanged(QString)\")");
        QTest::newRow("slot with an argument")
            << QtWarningMsg << QString(spinBox).replace(QLatin1String("Changed()"), QLatin1String("Changed(int)"));
        QTest::newRow("same text, not a warning") << QtInfoMsg << spinBox;
        QTest::newRow("other warning") << QtWarningMsg << "QFile::open: File access denied";
    }

    // Messages close to the ambiguity warning of the by-name slots still
    // reach the console; the warning itself, as the dialogs really give it,
    // is dropped (below).
    void filter()
    {
        QFETCH(QtMsgType, type);
        QFETCH(QString, message);
        passedOn.clear();
        const QMessageLogger logger;
        if (type == QtWarningMsg)
            logger.warning("%s", qPrintable(message));
        else
            logger.info("%s", qPrintable(message));
        QCOMPARE(passedOn, QStringList{message});
    }

    // Both dialogs bind their slots by name on construction.
    void dialogsOpenQuietly()
    {
        QTemporaryDir dir;
        FbFileInfo info;
        info.fbName = dir.filePath(QStringLiteral("quiet.fb"));
        QVERIFY(FbTest::writeFile(info.fbName, FbTest::fileBytes(FbTest::recordsWithFfids({5, 5, 6}))));
        ShotIndexScanner scanner(info.fbName);
        QVERIFY(scanner.open());
        const QVector<ShotIndexEntry> index = scanner.scan();
        passedOn.clear();
        BrowseFBFileDialog browse;
        browse.show();
        fbTableDialog viewer(info, index);
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        // The offscreen platform has notes of its own; a display has none.
        const QStringList slotWarnings = passedOn.filter(QStringLiteral("connectSlotsByName"));
        QVERIFY2(slotWarnings.isEmpty(), qPrintable(slotWarnings.join(QLatin1Char('\n'))));
    }

    void run_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("lang");    // LANG of the process
        QTest::addColumn<QString>("display"); // empty: not set
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said"); // in the one error line, or in the plug-in's line of a listing
        const QString usage = QStringLiteral("Try 'sorv --help'");
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "C" << QString() << 1 << usage;
        QTest::newRow("missing value") << QStringList{"--project"} << "C" << QString() << 1 << usage;
        QTest::newRow("after a platform option")
            << QStringList{"-platform", "offscreen", "--bogus"} << "C" << QString() << 1 << usage;
        QTest::newRow("no display") << QStringList() << "C" << QString() << 2 << "QT_QPA_PLATFORM=offscreen sorv";
        QTest::newRow("a display nobody serves") << QStringList{"--project", "."} << "C"
                                                 << ":87" << 2 << "xvfb-run -a sorv";
        // The plug-in's catalogue reaches the host only once its library is
        // loaded; the listing shows the name the host would show.
        const QString chinese = QString::fromUtf8("浏览初至文件");
        const QStringList list{"--list-plugins"};
        QTest::newRow("listed on a Chinese system") << list << "zh_CN.UTF-8" << QString() << 0 << chinese;
        QTest::newRow("listed on an English system") << list << "en_US.UTF-8" << QString() << 0 << "Browse FB File";
        QTest::newRow("listed in the language chosen on the command line")
            << list + QStringList{"--lang", "zh_CN"} << "C" << QString() << 0 << chinese;
    }

    // Without a display and without a platform choice: a usage error, or
    // how to run headless, never a crash in the platform set-up; what only
    // prints needs no display, and speaks the user's language.
    void run()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, lang);
        QFETCH(QString, display);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        QProcess sorv;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LC_ALL", "LC_MESSAGES", "LANGUAGE"})
            env.remove(QLatin1String(name));
        if (!display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("LANG"), lang);
        sorv.setProcessEnvironment(env);
        sorv.start(QStringLiteral(SORV_EXECUTABLE), arguments);
        QVERIFY(sorv.waitForFinished(20000));
        const QString err = QString::fromLocal8Bit(sorv.readAllStandardError());
        const QString out = QString::fromUtf8(sorv.readAllStandardOutput());
        QCOMPARE(sorv.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sorv.exitCode(), exitCode);
        if (exitCode == 0) {
            // The last field of the plug-in's line holds its name.
            const QRegularExpression line(QStringLiteral("\tBrowseFBFile\t[^\t]*\t([^\n]*)"));
            QVERIFY2(line.match(out).captured(1).contains(said), qPrintable(out));
            return;
        }
        QVERIFY2(err.startsWith(QLatin1String("sorv: ")) && err.count(QLatin1Char('\n')) == 1, qPrintable(err));
        QVERIFY2(err.contains(said), qPrintable(err));
        QCOMPARE(out, QString());
    }
};

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
