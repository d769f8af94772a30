#include <sorvgeneralplugin.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QIcon>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>
#include <QPointer>
#include <QTimer>
#include <QtTest>

namespace {

const QString iconNormal = QStringLiteral(":/resource/images/fbbrowser_1_24x24.png");
const QString iconActive = QStringLiteral(":/resource/images/fbbrowser_2_24x24.png");
const QString iconDisabled = QStringLiteral(":/resource/images/fbbrowser_0_24x24.png");

using InstanceFunction = QObject *(*)();

// Polls for the modal dialog that an action opens, notes what it was and
// closes it, so that its exec() returns and the test goes on.
class ModalCloser : public QObject
{
public:
    ModalCloser()
    {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, [this]() {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            ++count;
            className = QString::fromLatin1(modal->metaObject()->className());
            title = modal->windowTitle();
            parentless = modal->parentWidget() == nullptr;
            modality = modal->windowModality();
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        });
        m_timer.start();
    }

    int count = 0;
    QString className;
    QString title;
    bool parentless = false;
    Qt::WindowModality modality = Qt::NonModal;

private:
    QTimer m_timer;
};

// Pixmaps are premultiplied; compare both sides the same way, so that
// half-transparent edge pixels do not differ by rounding.
QImage rgbOf(const QImage &image)
{
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

class TestBrowseFBFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void metaData_data();
    void metaData();
    void oneInstance();
    void metaCast_data();
    void metaCast();
    void iconImages_data();
    void iconImages();
    void actions_data();
    void actions();
    void triggerOpensModalDialog_data();
    void triggerOpensModalDialog();
    void deletedPluginGivesNewInstance();

private:
    SorvGeneralPlugin *plugin() const { return qobject_cast<SorvGeneralPlugin *>(m_instanceFunction()); }

    QPluginLoader m_loader;
    InstanceFunction m_instanceFunction = nullptr;
};

void TestBrowseFBFile::initTestCase()
{
    // The icons come with the library: nothing resolves before it is loaded.
    QVERIFY(!QFile::exists(iconNormal));

    m_loader.setFileName(QStringLiteral(BROWSEFBFILE_PLUGIN));
    QVERIFY2(m_loader.load(), qPrintable(m_loader.errorString()));
    QVERIFY(QFile::exists(iconNormal));

    QLibrary library(QStringLiteral(BROWSEFBFILE_PLUGIN));
    m_instanceFunction = reinterpret_cast<InstanceFunction>(library.resolve("qt_plugin_instance"));
    QVERIFY2(m_instanceFunction, qPrintable(library.errorString()));
    QVERIFY(library.resolve("qt_plugin_query_metadata"));
}

void TestBrowseFBFile::metaData_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("expected");

    QTest::newRow("IID") << QStringLiteral("IID") << QJsonValue(QStringLiteral(SorvGeneralPlugin_iid));
    QTest::newRow("className") << QStringLiteral("className") << QJsonValue(QStringLiteral("BrowseFBFile"));
    QTest::newRow("MetaData") << QStringLiteral("MetaData") << QJsonValue(QJsonObject());
#ifdef QT_NO_DEBUG
    QTest::newRow("debug") << QStringLiteral("debug") << QJsonValue(false);
#else
    QTest::newRow("debug") << QStringLiteral("debug") << QJsonValue(true);
#endif
    QTest::newRow("version") << QStringLiteral("version")
                             << QJsonValue((QT_VERSION_MAJOR << 16) | (QT_VERSION_MINOR << 8));
}

void TestBrowseFBFile::metaData()
{
    QFETCH(QString, key);
    QFETCH(QJsonValue, expected);

    // Read from the file as a host does before loading anything.
    const QJsonObject metaData = QPluginLoader(QStringLiteral(BROWSEFBFILE_PLUGIN)).metaData();
    QVERIFY2(metaData.contains(key), qPrintable(key));
    QCOMPARE(metaData.value(key), expected);
}

void TestBrowseFBFile::oneInstance()
{
    QObject *first = m_instanceFunction();
    QVERIFY(first);
    QCOMPARE(m_instanceFunction(), first);
    QCOMPARE(m_loader.instance(), first);
    QCOMPARE(first->parent(), nullptr);

    SorvGeneralPlugin *general = qobject_cast<SorvGeneralPlugin *>(first);
    QVERIFY(general);
    QCOMPARE(general->name(), QStringLiteral("Browse FB File"));
    QCOMPARE(general->generalID(), 1);
    QCOMPARE(general->needProject(), false);
}

void TestBrowseFBFile::metaCast_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("answers");

    QTest::newRow("class name") << QByteArray("BrowseFBFile") << true;
    QTest::newRow("interface id") << QByteArray(SorvGeneralPlugin_iid) << true;
    QTest::newRow("base class") << QByteArray("SorvGeneralPlugin") << true;
    QTest::newRow("QObject") << QByteArray("QObject") << true;
    QTest::newRow("other interface") << QByteArray("org.sorv.plugins.SorvOtherPlugin") << false;
    QTest::newRow("interface id prefix") << QByteArray("org.sorv.plugins") << false;
}

void TestBrowseFBFile::metaCast()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, answers);

    QObject *instance = m_instanceFunction();
    QCOMPARE(instance->qt_metacast(name.constData()), answers ? static_cast<void *>(instance) : nullptr);
    QCOMPARE(QByteArray(instance->metaObject()->className()), QByteArray("BrowseFBFile"));
}

void TestBrowseFBFile::iconImages_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("normal") << iconNormal;
    QTest::newRow("active") << iconActive;
    QTest::newRow("disabled") << iconDisabled;
}

void TestBrowseFBFile::iconImages()
{
    QFETCH(QString, path);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray png = file.readAll();
    QVERIFY(png.startsWith("\x89PNG\r\n\x1a\n"));
    // IHDR: width, height, then bit depth 4 and colour type 3 (indexed).
    QCOMPARE(png.mid(12, 4), QByteArray("IHDR"));
    QCOMPARE(qFromBigEndian<quint32>(png.constData() + 16), 24u);
    QCOMPARE(qFromBigEndian<quint32>(png.constData() + 20), 24u);
    QCOMPARE(int(png.at(24)), 4);
    QCOMPARE(int(png.at(25)), 3);
    QVERIFY(!QImage(path).isNull());
}

void TestBrowseFBFile::actions_data()
{
    QTest::addColumn<int>("modeNumber");
    QTest::addColumn<QString>("image");

    QTest::newRow("normal") << int(QIcon::Normal) << iconNormal;
    QTest::newRow("active") << int(QIcon::Active) << iconActive;
    QTest::newRow("disabled") << int(QIcon::Disabled) << iconDisabled;
}

void TestBrowseFBFile::actions()
{
    QFETCH(int, modeNumber);
    QFETCH(QString, image);
    const auto mode = QIcon::Mode(modeNumber);

    SorvGeneralPlugin *general = plugin();
    QScopedPointer<QAction> first(general->createAction());
    QScopedPointer<QAction> second(general->createAction());
    QVERIFY(first && second);
    QVERIFY(first.data() != second.data());

    const QImage expected = rgbOf(QImage(image));
    for (QAction *action : {first.data(), second.data()}) {
        QCOMPARE(action->parent(), nullptr);
        QCOMPARE(action->text(), QStringLiteral("Browse FB File"));
        QCOMPARE(action->data().userType(), int(QMetaType::Int));
        QCOMPARE(action->data().toInt(), 83);

        const QIcon icon = action->icon();
        QCOMPARE(icon.availableSizes(mode, QIcon::Off), QList<QSize>() << QSize(24, 24));
        const QImage got = rgbOf(icon.pixmap(QSize(24, 24), mode, QIcon::Off).toImage());
        QCOMPARE(got, expected);
        // The three looks differ, so the right file is in the right mode.
        for (const QString &other : {iconNormal, iconActive, iconDisabled}) {
            if (other != image)
                QVERIFY(got != rgbOf(QImage(other)));
        }
    }
}

void TestBrowseFBFile::triggerOpensModalDialog_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("first action") << 0;
    QTest::newRow("second action") << 1;
    QTest::newRow("slotAction(true)") << 2;
    QTest::newRow("slotAction(false)") << 3;
}

void TestBrowseFBFile::triggerOpensModalDialog()
{
    QFETCH(int, how);

    SorvGeneralPlugin *general = plugin();
    QScopedPointer<QAction> first(general->createAction());
    QScopedPointer<QAction> second(general->createAction());

    ModalCloser closer;
    switch (how) {
    case 0: first->trigger(); break;
    case 1: second->trigger(); break;
    default:
        QVERIFY(QMetaObject::invokeMethod(general, "slotAction", Qt::DirectConnection, Q_ARG(bool, how == 2)));
        break;
    }

    // exec() has returned: one dialog was shown and is gone again.
    QCOMPARE(closer.count, 1);
    QCOMPARE(closer.className, QStringLiteral("BrowseFBFileDialog"));
    QCOMPARE(closer.title, QStringLiteral("Browse FB File"));
    QVERIFY(closer.parentless);
    QCOMPARE(closer.modality, Qt::ApplicationModal);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(QApplication::topLevelWidgets().size(), 0);
}

void TestBrowseFBFile::deletedPluginGivesNewInstance()
{
    QPointer<QObject> old = m_instanceFunction();
    QScopedPointer<QAction> action(plugin()->createAction());
    delete old.data();
    QVERIFY(old.isNull());

    // The old object's action lost its receiver: triggering does nothing.
    {
        ModalCloser closer;
        action->trigger();
        QTest::qWait(50);
        QCOMPARE(closer.count, 0);
    }

    QPointer<QObject> renewed = m_instanceFunction();
    QVERIFY(renewed);
    QCOMPARE(m_instanceFunction(), renewed.data());
    SorvGeneralPlugin *general = qobject_cast<SorvGeneralPlugin *>(renewed.data());
    QVERIFY(general);
    QScopedPointer<QAction> fresh(general->createAction());
    ModalCloser closer;
    fresh->trigger();
    QCOMPARE(closer.count, 1);
}

QTEST_MAIN(TestBrowseFBFile)
#include "tst_browsefbfile.moc"
