#include "fbpickqcwindow.h"
#include <fbview/gatherview.h>
#include "problemmodel.h"
#include <fbview/shotplot.h>
#include "tracespanel.h"

#include "fbtestfile.h"
#include "plantedsurvey.h"
#include "qcwindowfixture.h"
#include "qcwindowsteps.h"

#include <QtTest>
#include <QtWidgets>

#include <qwt_text_label.h>

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;
using namespace FbView;

// The QC window with a file loaded on screens from small to large, in
// English and in Chinese: it fits, the shot stays readable, the table
// shows a screenful of picks, every splitter can be moved either way, and
// the problem list says what a problem is without scrolling.
class TestQcScreens : public QObject, QcWindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { startSettings(surveyBytes()); }

    void cleanup()
    {
        delete m_window;
        QSettings().clear();
    }

    void fitsTheScreen_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("compact"); // the panels in tabs
        const QSize sizes[] = {{800, 600}, {1024, 600}, {1280, 800}, {1440, 900}, {1920, 1080}};
        for (const QSize &size : sizes) {
            for (const char *language : {"en", "zh_CN"}) {
                const QString name = QStringLiteral("%1x%2 %3").arg(size.width()).arg(size.height()).arg(language);
                QTest::newRow(qPrintable(name)) << size << QString::fromLatin1(language) << (size.height() < 700);
            }
        }
    }

    void fitsTheScreen()
    {
        QFETCH(QSize, screen);
        QFETCH(QString, language);
        QFETCH(bool, compact);
        QTranslator chinese;
        if (language == QLatin1String("zh_CN")) {
            QVERIFY(chinese.load(QStringLiteral(FBPICKQC_QM_DIR "/fbpickqc_zh_CN.qm")));
            QCoreApplication::installTranslator(&chinese);
        }
        openSurvey();
        FbPickQcWindow *window = m_window;
        window->resize(screen);
        QTRY_COMPARE(window->size(), screen);
        // The panels placed anew for that size, and laid out.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
        // The tool bar breaks at the same places in both languages: the line
        // of each of its groups, as the first language of a size had them.
        // (On a small screen the plot's controls may sit beside the tabs in
        // one language only: then the bar holds other groups.)
        QVector<int> lines;
        QVector<int> tops;
        const QWidget *nav = window->findChild<QWidget *>(QStringLiteral("navigation"));
        for (const QWidget *group : nav->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!group->isVisible())
                continue;
            if (tops.isEmpty() || group->y() > tops.last() + group->height() / 2)
                tops.append(group->y());
            lines.append(tops.size());
        }
        static QHash<QString, QVector<int>> linesAt;
        const QString size = QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height());
        if (linesAt.contains(size) && linesAt.value(size).size() == lines.size())
            QCOMPARE(lines, linesAt.value(size));
        else
            linesAt.insert(size, lines);
        // The summary's lists and sentences in the language's own marks: no
        // ASCII semicolon or full stop among Chinese text.
        const QString summary = child<QLabel>(window, "summaryLabel")->text();
        if (language == QLatin1String("zh_CN"))
            QVERIFY2(!summary.contains(QLatin1Char(';')) &&
                         !summary.contains(QRegularExpression(QStringLiteral("\\.(\n|$)"))),
                     qPrintable(summary));
        // To look at: QCSCREENS_SAVE=folder keeps each row's window as an image,
        // taken while the language is in place (views ask their models for
        // header texts as they paint).
        const QString save = qEnvironmentVariable("QCSCREENS_SAVE");
        if (!save.isEmpty())
            window->grab().save(QDir(save).filePath(QString::fromLatin1(QTest::currentDataTag()) + ".png"));
        QCoreApplication::removeTranslator(&chinese);
        QCOMPARE(window->isCompact(), compact);
        QVERIFY2(window->minimumSize().width() <= screen.width() && window->minimumSize().height() <= screen.height(),
                 qPrintable(QStringLiteral("the window cannot be smaller than %1x%2")
                                .arg(window->minimumSize().width())
                                .arg(window->minimumSize().height())));

        // The shot: a plot of readable size with its title on one line, a
        // table of at least eight rows.
        auto *plot = window->findChild<ShotPlot *>(QStringLiteral("shotPlot"));
        auto *table = window->findChild<QTableView *>(QStringLiteral("shotTable"));
        QVERIFY(plot->isVisible() && table->isVisible());
        // Its canvas, what is left when title, axes and legend are placed,
        // high enough to tell a pick off the curve from one on it.
        const QSize canvas = plot->canvas()->size();
        QVERIFY2(plot->width() >= 320 && canvas.height() >= 140, qPrintable(QStringLiteral("plot %1x%2, canvas %3x%4")
                                                                                .arg(plot->width())
                                                                                .arg(plot->height())
                                                                                .arg(canvas.width())
                                                                                .arg(canvas.height())));
        const QwtTextLabel *title = plot->titleLabel();
        const int oneLine = int(plot->title().heightForWidth(QWIDGETSIZE_MAX, title->font()));
        QVERIFY2(int(plot->title().heightForWidth(title->contentsRect().width(), title->font())) == oneLine,
                 qPrintable(plot->title().text() +
                            QStringLiteral(" %1 vs %2 at %3")
                                .arg(plot->title().heightForWidth(title->contentsRect().width(), title->font()))
                                .arg(oneLine)
                                .arg(title->contentsRect().width())));
        QVERIFY2(table->viewport()->height() >= 8 * table->rowHeight(0),
                 qPrintable(
                     QStringLiteral("%1 px for rows of %2").arg(table->viewport()->height()).arg(table->rowHeight(0))));

        // Every splitter can give room to either side.
        auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("panelTabs"));
        auto *problems = window->findChild<QTreeView *>(QStringLiteral("problemView"));
        for (int tab = 0; tab < (compact ? tabs->count() : 1); ++tab) {
            if (compact)
                tabs->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            const QList<QSplitter *> splitters = window->findChildren<QSplitter *>();
            for (const QSplitter *splitter : splitters) {
                if (!splitter->isVisible())
                    continue;
                const bool across = splitter->orientation() == Qt::Horizontal;
                for (int i = 0; i < splitter->count(); ++i) {
                    const QWidget *w = splitter->widget(i);
                    const QSize least = w->minimumSize().expandedTo(w->minimumSizeHint());
                    QVERIFY2((across ? w->width() > least.width() : w->height() > least.height()),
                             qPrintable(splitter->objectName() + QStringLiteral(" cannot take room from ") +
                                        w->metaObject()->className()));
                }
            }
        }
        // Each survey view's tabs read whole, and so does the list beside
        // them of what colours the view shown.
        auto *surveyTabs = window->findChild<QTabWidget *>(QStringLiteral("surveyTabs"));
        if (compact)
            tabs->setCurrentWidget(surveyTabs->parentWidget());
        for (int tab = surveyTabs->count() - 1; tab >= 0; --tab) {
            surveyTabs->setCurrentIndex(tab);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QCoreApplication::processEvents();
            const QTabBar *bar = surveyTabs->tabBar();
            QVERIFY2(bar->width() >= bar->sizeHint().width(),
                     qPrintable(QStringLiteral("survey tab %1: the tabs take %2 px of the %3 they need")
                                    .arg(tab)
                                    .arg(bar->width())
                                    .arg(bar->sizeHint().width())));
            for (const QComboBox *combo :
                 window->findChildren<QComboBox *>(QRegularExpression("mapColorBy|stationValues")))
                QVERIFY2(!combo->isVisible() || combo->width() >= combo->sizeHint().width(),
                         qPrintable(combo->objectName() + QStringLiteral(" cut short")));
            if (!save.isEmpty() && tab == 2)
                window->grab().save(QDir(save).filePath(QString::fromLatin1(QTest::currentDataTag()) + " survey.png"));
        }
        // The traces: the gather takes most of its panel's height, so that
        // a shot's first breaks read on a small screen too.
        auto *traces = window->findChild<GatherView *>(QStringLiteral("traceView"));
        if (compact)
            tabs->setCurrentWidget(window->findChild<TracesPanel *>());
        QCoreApplication::processEvents();
        if (!save.isEmpty())
            window->grab().save(QDir(save).filePath(QString::fromLatin1(QTest::currentDataTag()) + " traces.png"));
        QVERIFY(traces->isVisible());
        const int tracesPanel = window->findChild<TracesPanel *>()->height();
        QVERIFY2(compact ? traces->height() >= 0.85 * tracesPanel : traces->height() >= 300,
                 qPrintable(QStringLiteral("traces %1 px high of %2").arg(traces->height()).arg(tracesPanel)));

        // What a problem is, in sight: its detail begins within the list.
        if (compact)
            tabs->setCurrentWidget(tabs->widget(1));
        QCoreApplication::processEvents();
        QVERIFY(problems->isVisible());
        const int detail = problems->header()->sectionViewportPosition(ProblemModel::DetailColumn);
        const int detailWidth = problems->header()->sectionSize(ProblemModel::DetailColumn);
        QVERIFY2(detail >= 0 && detail + 100 <= problems->viewport()->width() && detailWidth >= 150,
                 qPrintable(QStringLiteral("detail at %1, %2 px wide, of %3")
                                .arg(detail)
                                .arg(detailWidth)
                                .arg(problems->viewport()->width())));
    }

    // Judging again with other thresholds, moving from a shot without
    // outliers to one with, or plotting residuals moves no pane and leaves
    // the shot plot's canvas its size: the summary may take a line less, the
    // progress shows in its place meanwhile, the legend an entry more or less.
    void thresholdsMoveNoPane_data()
    {
        QTest::addColumn<QString>("spin"); // none: only the shot changes
        QTest::addColumn<double>("ms");
        // First, while the outlier threshold is still the default one.
        QTest::newRow("outliers after a shot without") << QString() << 0.0;
        // The threshold lines join the legend.
        QTest::newRow("residuals") << "residualMode" << 0.0;
        QTest::newRow("fewer outliers") << "outlierMsSpin" << 40.0;
        QTest::newRow("no flagged pairs") << "reciprocityMsSpin" << 30.0;
    }

    void thresholdsMoveNoPane()
    {
        QFETCH(QString, spin);
        QFETCH(double, ms);
        openSurvey();
        FbPickQcWindow *window = m_window;
        window->resize(1280, 800);
        QTRY_COMPARE(window->size(), QSize(1280, 800));
        // A shot whose one outlier goes at 40 ms: the legend loses its entry.
        // The first shot has none.
        const ShotPlot *shotPlot = window->findChild<ShotPlot *>();
        // Shown once the fitted curve is drawn, and the outliers' rings.
        const auto settle = [&shotPlot](bool outliers) {
            QTRY_VERIFY_WITH_TIMEOUT(!curvePoints(shotPlot, QStringLiteral("Fitted curve")).isEmpty() &&
                                         curvePoints(shotPlot, QStringLiteral("Outlier")).isEmpty() != outliers,
                                     30000);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QCoreApplication::processEvents();
        };
        if (spin.isEmpty()) {
            settle(false);
        } else {
            showShot(SpikeShotA);
            QCoreApplication::processEvents();
        }
        QSignalSpy finished(window, &FbPickQcWindow::loadFinished);
        const auto placeOf = [&window](const char *name) {
            const QWidget *w = window->findChild<QWidget *>(QLatin1String(name));
            return QRect(w->mapTo(window, QPoint()), w->size());
        };
        const QWidget *canvas = shotPlot->canvas();
        const QSize canvasSize = canvas->size();
        const QRect plot = placeOf("shotPlot"), table = placeOf("shotTable"), problems = placeOf("problemView");
        if (spin.isEmpty()) {
            showShot(SpikeShotA);
            settle(true);
        } else if (auto *mode = window->findChild<QCheckBox *>(spin)) {
            mode->click();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QCoreApplication::processEvents();
            // The shot's residuals reach its threshold lines: the legend lists them.
            bool listed = false;
            for (const QwtPlotItem *item : shotPlot->itemList(QwtPlotItem::Rtti_PlotMarker))
                listed |= item->title().text().startsWith(QStringLiteral("Limit")) &&
                          item->testItemAttribute(QwtPlotItem::Legend);
            QVERIFY(listed);
        } else {
            window->findChild<QDoubleSpinBox *>(spin)->setValue(ms);
            QTRY_VERIFY_WITH_TIMEOUT(finished.size() == 1 && window->shownShot() == SpikeShotA, 30000);
            QCoreApplication::processEvents();
        }
        // Residuals take other labels on the time axis, so the canvas may
        // change its width; never its height.
        if (shotPlot->view().mode == ShotPlot::Residuals)
            QCOMPARE(canvas->height(), canvasSize.height());
        else
            QCOMPARE(canvas->size(), canvasSize);
        QCOMPARE(placeOf("shotPlot"), plot);
        QCOMPARE(placeOf("shotTable"), table);
        QCOMPARE(placeOf("problemView"), problems);
    }
};

QTEST_MAIN(TestQcScreens)
#include "tst_qcscreens.moc"
