#include <sorvdialog.h>

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>

namespace {

class HelpDialog : public SorvDialog
{
public:
    explicit HelpDialog(const QString &page)
        : m_page(page)
    {
        setWindowTitle(QStringLiteral("Browse FB File"));
        auto *ok = new QPushButton(QStringLiteral("OK"), this);
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }

protected:
    QString helpIndex() const override { return m_page; }

private:
    QString m_page;
};

} // namespace

// Catches the help pages that the dialog asks the desktop to open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

class TestSorvDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void help_data();
    void help();
    void otherKeysReachQDialog_data();
    void otherKeysReachQDialog();
    void parentlessDialogIsCentred();

private:
    UrlCatcher m_catcher;
    QTemporaryDir m_helpDir;
};

void TestSorvDialog::initTestCase()
{
    QVERIFY(m_helpDir.isValid());
    QFile page(m_helpDir.filePath(QStringLiteral("w_cover.html")));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<html><body>Browse FB File</body></html>");
    page.close();
    qputenv("SORV_HELP_DIR", QFile::encodeName(m_helpDir.path()));
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_catcher, "open");
}

void TestSorvDialog::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void TestSorvDialog::help_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("opensPage");
    QTest::addColumn<bool>("saysNoPage");

    QTest::newRow("installed page") << QStringLiteral("w_cover.html") << Qt::KeyboardModifiers() << true << false;
    QTest::newRow("page not installed") << QStringLiteral("w_missing.html") << Qt::KeyboardModifiers() << false
                                        << true;
    QTest::newRow("dialog without page") << QString() << Qt::KeyboardModifiers() << false << true;
    QTest::newRow("shift+F1 is not help") << QStringLiteral("w_cover.html") << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                          << false << false;
}

void TestSorvDialog::help()
{
    QFETCH(QString, page);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, opensPage);
    QFETCH(bool, saysNoPage);

    m_catcher.urls.clear();
    HelpDialog dialog(page);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    // The message box is modal: close it from the event loop it runs.
    QString boxText;
    QTimer closer;
    closer.setInterval(20);
    connect(&closer, &QTimer::timeout, [&boxText]() {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxText = box->text();
            box->accept();
        }
    });
    closer.start();
    QTest::keyClick(&dialog, Qt::Key_F1, modifiers);
    closer.stop();

    QCOMPARE(!m_catcher.urls.isEmpty(), opensPage);
    if (opensPage) {
        QCOMPARE(m_catcher.urls.size(), 1);
        QCOMPARE(QFileInfo(m_catcher.urls.first().toLocalFile()).canonicalFilePath(),
                 QFileInfo(m_helpDir.filePath(page)).canonicalFilePath());
    }
    QCOMPARE(!boxText.isEmpty(), saysNoPage);
    if (saysNoPage)
        QVERIFY2(boxText.contains(QLatin1String("No help page")), qPrintable(boxText));
    // Help never closes the dialog.
    QVERIFY(dialog.isVisible());
}

void TestSorvDialog::otherKeysReachQDialog_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");

    QTest::newRow("Enter clicks the default button") << int(Qt::Key_Enter) << int(QDialog::Accepted);
    QTest::newRow("Return clicks the default button") << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("Escape rejects") << int(Qt::Key_Escape) << int(QDialog::Rejected);
}

void TestSorvDialog::otherKeysReachQDialog()
{
    QFETCH(int, key);
    QFETCH(int, result);

    HelpDialog dialog(QStringLiteral("w_cover.html"));
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.setResult(-1);
    QTest::keyClick(&dialog, Qt::Key(key));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(dialog.result(), result);
    QVERIFY(!dialog.isVisible());
}

void TestSorvDialog::parentlessDialogIsCentred()
{
    QWidget window;
    window.setGeometry(100, 100, 600, 400);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    HelpDialog dialog{QString()};
    dialog.resize(200, 100);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint offset = dialog.frameGeometry().center() - window.frameGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 4, qPrintable(QStringLiteral("off by %1, %2").arg(offset.x()).arg(offset.y())));

    // Where the user moved it, it shows again.
    dialog.hide();
    dialog.move(20, 30);
    const QPoint moved = dialog.pos();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.pos(), moved);
}

QTEST_MAIN(TestSorvDialog)
#include "tst_sorvdialog.moc"
