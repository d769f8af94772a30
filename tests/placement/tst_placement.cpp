#include "fbpickqcwindow.h"

#include <SorvBase/sorvbaseutil.h>
#include <SorvBase/sorvdialog.h>

#include <QtTest>
#include <QtWidgets>

#include <memory>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

// Where windows open: wholly on the screen, frame included, also on the
// offscreen platform's small screen of 800 x 600; and the QC window where
// the user left it.
class TestPlacement : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("sorv-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("tst_placement"));
    }

    void init() { QSettings().clear(); }

    void placeOnScreen_data()
    {
        QTest::addColumn<QString>("via");  // call, dialog (parent), dialog (active), dialog placed, QC window
        QTest::addColumn<QRect>("anchor"); // the anchor window's area, or where the user left an earlier QC
                                           // window; none when null
        QTest::addColumn<QRect>("window"); // its area before it is placed
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<QString>("where"); // where its frame ends up
        const QSize none;
        QTest::newRow("centred on its anchor")
            << "call" << QRect(100, 100, 400, 300) << QRect(0, 0, 300, 200) << none << "centred on the anchor";
        QTest::newRow("dialog centred on its parent") << "dialog (parent)" << QRect(100, 100, 400, 300)
                                                      << QRect(0, 0, 300, 200) << none << "centred on the anchor";
        QTest::newRow("anchor near the edge")
            << "call" << QRect(650, 500, 150, 100) << QRect(0, 0, 400, 300) << none << "bottom right";
        QTest::newRow("dialog over an active window near the edge")
            << "dialog (active)" << QRect(650, 500, 150, 100) << QRect(0, 0, 400, 300) << none << "bottom right";
        QTest::newRow("anchor off screen")
            << "call" << QRect(-2000, -1500, 640, 360) << QRect(0, 0, 400, 300) << none << "centred on the screen";
        QTest::newRow("dialog larger than the screen")
            << "dialog (active)" << QRect(80, 120, 640, 360) << QRect(0, 0, 1400, 900) << none << "the screen";
        QTest::newRow("minimum larger than the screen")
            << "call" << QRect() << QRect(0, 0, 1000, 700) << QSize(900, 650) << "top left";
        QTest::newRow("no anchor, hanging off the top left")
            << "call" << QRect() << QRect(-200, -100, 400, 300) << none << "top left";
        QTest::newRow("dialog placed before it shows")
            << "dialog placed" << QRect(0, 0, 400, 300) << QRect(300, 200, 300, 200) << none << "unmoved";
        // The QC window opens where the user last left it, brought back
        // inside the screen; the first time it fills a small screen.
        QTest::newRow("QC window, first time, small screen")
            << "QC window" << QRect() << QRect() << none << "the screen";
        QTest::newRow("QC window moved and resized")
            << "QC window" << QRect(60, 80, 700, 480) << QRect() << none << "as left";
        QTest::newRow("QC window left off the screen")
            << "QC window" << QRect(-500, 700, 700, 480) << QRect() << none << "inside, same size";
        QTest::newRow("QC window left larger than the screen")
            << "QC window" << QRect(0, 0, 1600, 1000) << QRect() << none << "the screen";
    }

    void placeOnScreen()
    {
        QFETCH(QString, via);
        QFETCH(QRect, anchor);
        QFETCH(QRect, window);
        QFETCH(QSize, minimum);
        QFETCH(QString, where);
        const bool qcWindow = via == QLatin1String("QC window");
        std::unique_ptr<QWidget> anchorWindow;
        if (qcWindow && !anchor.isNull()) {
            QPointer<FbPickQcWindow> earlier = new FbPickQcWindow;
            earlier->show();
            QVERIFY(QTest::qWaitForWindowExposed(earlier.data()));
            earlier->setGeometry(anchor);
            earlier->close();
            QTRY_VERIFY2(!earlier, "the window was not deleted on closing");
        } else if (!anchor.isNull()) {
            anchorWindow.reset(new QWidget);
            anchorWindow->setGeometry(anchor);
            anchorWindow->show();
            QVERIFY(QTest::qWaitForWindowExposed(anchorWindow.get()));
            anchorWindow->activateWindow();
            QTRY_COMPARE(QApplication::activeWindow(), anchorWindow.get());
        }
        std::unique_ptr<QWidget> placed;
        if (qcWindow)
            placed.reset(new FbPickQcWindow);
        else if (via == QLatin1String("call"))
            placed.reset(new QWidget);
        else
            placed.reset(new SorvDialog(via == QLatin1String("dialog (parent)") ? anchorWindow.get() : nullptr));
        placed->setAttribute(Qt::WA_DeleteOnClose, false);
        if (!qcWindow) {
            placed->setWindowFlag(Qt::Window);
            placed->setMinimumSize(minimum.isValid() ? minimum : QSize(0, 0));
            placed->resize(window.size());
        }
        if (via == QLatin1String("call") || via == QLatin1String("dialog placed"))
            placed->move(window.topLeft());
        placed->show();
        QVERIFY(QTest::qWaitForWindowExposed(placed.get()));
        if (via == QLatin1String("call"))
            SorvBaseUtil::placeOnScreen(placed.get(), anchorWindow.get());

        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect frame = placed->frameGeometry();
        const QString seen =
            QStringLiteral("frame %1,%2 %3x%4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height());
        if (minimum.isValid()) {
            QCOMPARE(placed->size(), minimum);
        } else {
            QVERIFY2(screen.contains(frame), qPrintable(seen));
            // Only what does not fit is shrunk.
            if (!qcWindow && screen.width() > window.width() && screen.height() > window.height())
                QCOMPARE(placed->size(), window.size());
        }
        const QPoint centre = anchorWindow ? anchorWindow->frameGeometry().center() : QPoint();
        if (where == QLatin1String("centred on the anchor"))
            QVERIFY2((frame.center() - centre).manhattanLength() <= 2, qPrintable(seen));
        else if (where == QLatin1String("centred on the screen"))
            QVERIFY2((frame.center() - screen.center()).manhattanLength() <= 2, qPrintable(seen));
        else if (where == QLatin1String("bottom right"))
            QCOMPARE(frame.bottomRight(), screen.bottomRight());
        else if (where == QLatin1String("the screen"))
            QCOMPARE(frame, screen);
        else if (where == QLatin1String("top left"))
            QCOMPARE(frame.topLeft(), screen.topLeft());
        else if (where == QLatin1String("as left"))
            QCOMPARE(placed->geometry(), anchor);
        else if (where == QLatin1String("inside, same size"))
            QCOMPARE(placed->size(), anchor.size());
        else
            QCOMPARE(frame.topLeft(), window.topLeft());
        if (!qcWindow)
            return;
        // Every control in sight, whole, none over another.
        QVector<QRect> controls;
        const QList<QWidget *> children = placed->findChildren<QWidget *>();
        for (QWidget *child : children) {
            if (child->isVisible() && (qobject_cast<QAbstractButton *>(child) || qobject_cast<QComboBox *>(child) ||
                                       qobject_cast<QLineEdit *>(child))) {
                const QRect area(child->mapTo(placed.get(), QPoint(0, 0)), child->size());
                QVERIFY2(placed->rect().contains(area) && area.width() >= child->minimumSizeHint().width(),
                         qPrintable(child->objectName() + " is cut off"));
                for (const QRect &other : qAsConst(controls))
                    QVERIFY2(!other.intersects(area), qPrintable(child->objectName() + " covers another control"));
                controls << area;
            }
        }
    }
};

QTEST_MAIN(TestPlacement)
#include "tst_placement.moc"
