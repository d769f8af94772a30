// What the host prints on the console: nothing when a plug-in dialog opens,
// one line with exit code 1 for a usage error, display or not, and one
// with exit code 2 that says how to run headless when there is no display.

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

    void withoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("display"); // empty: not set
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("errorPart");
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "" << 1 << "Try 'sorv --help'";
        QTest::newRow("missing value") << QStringList{"--project"} << "" << 1 << "Try 'sorv --help'";
        QTest::newRow("after a platform option")
            << QStringList{"-platform", "offscreen", "--bogus"} << "" << 1 << "Try 'sorv --help'";
        QTest::newRow("no display") << QStringList() << "" << 2 << "QT_QPA_PLATFORM=offscreen sorv";
        QTest::newRow("a display nobody serves") << QStringList{"--project", "."} << ":87" << 2 << "xvfb-run -a sorv";
    }

    // Without a display and without a platform choice: a usage error, or
    // how to run headless, never a crash in the platform set-up.
    void withoutDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, display);
        QFETCH(int, exitCode);
        QFETCH(QString, errorPart);
        QProcess sorv;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        if (!display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), display);
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        sorv.setProcessEnvironment(env);
        sorv.start(QStringLiteral(SORV_EXECUTABLE), arguments);
        QVERIFY(sorv.waitForFinished(20000));
        const QString err = QString::fromLocal8Bit(sorv.readAllStandardError());
        QCOMPARE(sorv.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sorv.exitCode(), exitCode);
        QVERIFY2(err.startsWith(QLatin1String("sorv: ")) && err.count(QLatin1Char('\n')) == 1, qPrintable(err));
        QVERIFY2(err.contains(errorPart), qPrintable(err));
        QCOMPARE(sorv.readAllStandardOutput(), QByteArray());
    }
};

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
