#include "modaldriver.h"

#include <SorvPlugins/sorvgeneralplugin.h>

#include <QtTest>

using InstanceFunction = QObject *(*)();

class TestBrowseFBFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(m_loader.load(), qPrintable(m_loader.errorString()));
        m_instance = reinterpret_cast<InstanceFunction>(QLibrary(m_loader.fileName()).resolve("qt_plugin_instance"));
        QVERIFY(m_instance);
    }

    void oneInstanceUntilDeleted()
    {
        QPointer<QObject> first = m_instance();
        QVERIFY(qobject_cast<SorvGeneralPlugin *>(first));
        QCOMPARE(m_instance(), first.data());
        QCOMPARE(m_loader.instance(), first.data());
        delete first.data();
        QObject *renewed = m_instance();
        QVERIFY(qobject_cast<SorvGeneralPlugin *>(renewed));
        QCOMPARE(m_instance(), renewed);
    }

    void actionsOpenModalDialog()
    {
        auto *general = qobject_cast<SorvGeneralPlugin *>(m_instance());
        QScopedPointer<QAction> first(general->createAction()), second(general->createAction());
        QVERIFY(first && second && first != second);
        const char *images[] = {"fbbrowser_1", "fbbrowser_0", "fbbrowser_2"}; // by mode: Normal, Disabled, Active
        for (QAction *action : {first.data(), second.data()}) {
            QCOMPARE(action->text(), QStringLiteral("Browse FB File"));
            QCOMPARE(action->data().userType(), int(QMetaType::Int));
            QCOMPARE(action->data().toInt(), 83);
            for (int mode : {QIcon::Normal, QIcon::Active, QIcon::Disabled}) {
                QCOMPARE(action->icon().availableSizes(QIcon::Mode(mode)), QList<QSize>{QSize(24, 24)});
                // Pixmaps are premultiplied: compare both sides the same way.
                const QImage got = action->icon().pixmap(24, QIcon::Mode(mode)).toImage();
                const QImage want(QStringLiteral(":/resource/images/%1_24x24.png").arg(images[mode]));
                QCOMPARE(got.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                         want.convertToFormat(QImage::Format_ARGB32_Premultiplied));
            }

            ModalDriver driver; // exec() blocks until the driver closes the dialog
            action->trigger();
            QCOMPARE(driver.seen().size(), 1);
            QCOMPARE(driver.seen().first().className, QStringLiteral("BrowseFBFileDialog"));
            QCOMPARE(QApplication::topLevelWidgets().size(), 0);
        }
    }

private:
    QPluginLoader m_loader{QStringLiteral(BROWSEFBFILE_PLUGIN)};
    InstanceFunction m_instance = nullptr;
};

QTEST_MAIN(TestBrowseFBFile)
#include "tst_browsefbfile.moc"
