#include "editsession.h"
#include "fbpickqcwindow.h"
#include <fbview/gatherview.h>
#include <fbview/imageexport.h>
#include "mainwindow.h"
#include "pluginregistry.h"
#include "pickeditor.h"
#include "problemmodel.h"
#include "shotloader.h"
#include "shotpanel.h"
#include <fbview/plotlabels.h>
#include <fbview/shotplot.h>
#include "shottablemodel.h"
#include "tracespanel.h"
#include <fbview/surveymap.h>

#include <fbfile/fbcolumns.h>
#include <fbfile/fbgenerator.h>
#include "fbtestfile.h"
#include "modaldriver.h"
#include "plantedsurvey.h"
#include "qcwindowfixture.h"
#include "qcwindowsteps.h"
#include "surveyline.h"

#include <SorvBase/sorvbaseutil.h>
#include <SorvBase/sorvhelpwindow.h>
#include <SorvBase/sorvprojectmanager.h>

#include <QtTest>
#include <QtWidgets>

#include <qwt_text_label.h>

#include <algorithm>
#include <cmath>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

namespace {

// The share of a cell's inner pixels in the colour of a pick status, and
// the dark pixels where the outlier ring goes.
struct CellLook
{
    double statusShare = 0.0;
    int ringPixels = 0;
};

CellLook lookOf(const QImage &image, const QRect &cell, FbColumns::PickClass status)
{
    CellLook look;
    int inner = 0, coloured = 0;
    const QRect inside = cell.adjusted(4, 4, -4, -4);
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int r = c.red(), g = c.green(), b = c.blue();
            bool hue = false;
            switch (status) {
            case FbColumns::PickClass::Status0:
                hue = g - std::max(r, b) > 60;
                break;
            case FbColumns::PickClass::Status1:
                hue = std::min(r, b) - g > 60;
                break;
            case FbColumns::PickClass::Other:
                hue = r - std::max(g, b) > 60;
                break;
            }
            ++inner;
            coloured += hue ? 1 : 0;
            if (x > cell.right() - 16 && std::max({r, g, b}) < 110)
                ++look.ringPixels;
        }
    }
    look.statusShare = inner ? double(coloured) / inner : 0.0;
    return look;
}

// The outliers the plot rings: its title counts them.
int plotOutliers(ShotPlot *plot)
{
    static const QRegularExpression outliers(QStringLiteral("outliers: (\\d+)"));
    return outliers.match(plot->title().text()).captured(1).toInt();
}

// The plug-in's Chinese catalogue, installed when the language asks for it;
// the translator takes itself out of the application when it goes.
bool speak(const QString &language, QTranslator *chinese)
{
    return language != QLatin1String("zh_CN") || (chinese->load(QStringLiteral(FBPICKQC_QM_DIR "/fbpickqc_zh_CN.qm")) &&
                                                  QCoreApplication::installTranslator(chinese));
}

} // namespace

class TestFbPickQc : public QObject, QcWindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The window keeps its place in the user's settings: a test run
        // starts from none and leaves the user's own alone.
        startSettings(surveyBytes());
    }

    void cleanup()
    {
        delete m_window;
        SorvProjectManager::instance().closeProject();
        // Each test places the window afresh, not where the last one left it.
        QSettings().clear();
    }

    // The host loads the plug-in beside the browse plug-in (the host's test
    // checks the order, names and enabling of both actions), and its action
    // opens the window on the file the browse dialog remembers; F1 there
    // shows the window's page. (Escape closing and deleting it is the
    // editing test's: it asks about unsaved edits first.)
    void loadsInHostBesideBrowse()
    {
        PluginRegistry registry;
        registry.scan({qEnvironmentVariable("SORV_PLUGIN_DIR")});
        MainWindow host(registry);
        QCOMPARE(host.pluginActions().size(), 2);
        QAction *action = host.pluginActions().at(1);
        for (QIcon::Mode mode : {QIcon::Normal, QIcon::Active, QIcon::Disabled})
            QVERIFY2(!action->icon().pixmap(QSize(24, 24), mode).isNull(), "an icon look is missing");
        // The Chinese catalogue travels inside the plug-in.
        QTranslator chinese;
        QVERIFY2(chinese.load(QStringLiteral(":/resource/translations/fbpickqc_zh_CN.qm")), "no embedded catalogue");
        QCOMPARE(chinese.translate("FbPickQc", "FB Pick QC"), QString::fromUtf8("初至质控"));

        QVERIFY(SorvProjectManager::instance().openProject(m_dir.path()));
        QVERIFY(SorvBaseUtil::setProjectValue(QStringLiteral("BrowseFBFile_BrowseFBFileDialog_fbName"), m_survey));
        action->trigger();
        // The plug-in has its own copy of the window class, so it is found
        // by name, not by type.
        QWidget *opened = nullptr;
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *w : windows) {
            if (w->objectName() == QLatin1String("FbPickQcWindow"))
                opened = w;
        }
        QVERIFY2(opened, "the action opened no QC window");
        QScopedPointer<QWidget> owner(opened);
        QVERIFY(opened->testAttribute(Qt::WA_DeleteOnClose) && !opened->isModal());
        // The load runs on a worker; a sanitized build takes seconds.
        // [*] marks edits that no copy holds, once there are any.
        QTRY_COMPARE_WITH_TIMEOUT(opened->windowTitle(), QStringLiteral("FB Pick QC - survey.fb[*]"), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(child<QTableView>(opened, "shotTable")->model()->rowCount(), Channels, 30000);
        QTest::keyClick(opened, Qt::Key_F1);
        QVERIFY(SorvHelpWindow::instance()->isVisible());
        QCOMPARE(SorvHelpWindow::instance()->source().fileName(), QStringLiteral("fbpickqc.html"));
        SorvHelpWindow::instance()->close();
    }

    // The problem list in an order or sorted by a column, filtered by kind,
    // its count read with plural forms, in English and in Chinese; Enter on
    // its first row moves the plot and the table to that shot's first
    // problem, and a pair overlays the partner's picks. Unfiltered it holds
    // exactly the planted faults, each under the shot it is filed under: two
    // spikes as outliers, the shifted shot's timing error with all its
    // reciprocal pairs under it (not under its partners), the varying source
    // elevation; nothing else.
    void problemListSortsFiltersAndActivates_data()
    {
        QTest::addColumn<int>("kind");   // -1: all kinds
        QTest::addColumn<int>("order");  // ProblemModel::Order
        QTest::addColumn<int>("column"); // -1: the order's
        QTest::addColumn<Qt::SortOrder>("sortOrder");
        QTest::addColumn<int>("shots");    // shot rows
        QTest::addColumn<int>("shot");     // of the first row
        QTest::addColumn<int>("tableRow"); // the shot's row its first problem selects
        QTest::addColumn<int>("partner");  // the shot whose picks are overlaid; -1: none
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("count"); // what the list says it holds; empty: not checked
        const int worst = ProblemModel::WorstFirst, file = ProblemModel::FileOrder;
        const int first = shiftedPartners().first();
        const int outlier = int(FbQc::Kind::Outlier);
        QTest::newRow("all, worst first: the late shot and a pair of it")
            << -1 << worst << -1 << Qt::AscendingOrder << 4 << ShiftedShot << rowAtSource(ShiftedShot, first) << first
            << "en" << QString();
        QTest::newRow("all, file order") << -1 << file << -1 << Qt::AscendingOrder << 4 << SpikeShotA
                                         << SpikeChannelA - 1 << -1 << "en" << QString();
        QTest::newRow("outliers, worst first: the larger residual")
            << outlier << worst << -1 << Qt::AscendingOrder << 2 << SpikeShotA << SpikeChannelA - 1 << -1 << "en"
            << "2 problems, 2 shots";
        QTest::newRow("outliers, in Chinese")
            << outlier << worst << -1 << Qt::AscendingOrder << 2 << SpikeShotA << SpikeChannelA - 1 << -1 << "zh_CN"
            << QString::fromUtf8("2 个问题，2 炮");
        QTest::newRow("timing errors: one problem")
            << int(FbQc::Kind::TimingError) << worst << -1 << Qt::AscendingOrder << 1 << ShiftedShot << -1 << -1 << "en"
            << "1 problem, 1 shot";
        // A varying source selects its first differing record.
        QTest::newRow("all, last shot first") << -1 << worst << int(ProblemModel::ShotColumn) << Qt::DescendingOrder
                                              << 4 << VaryingShot << Channels / 2 << -1 << "en" << QString();
        QTest::newRow("outliers, fewest pairs first, ties in file order")
            << outlier << worst << int(ProblemModel::PairsColumn) << Qt::AscendingOrder << 2 << SpikeShotA
            << SpikeChannelA - 1 << -1 << "en" << QString();
    }

    void problemListSortsFiltersAndActivates()
    {
        QFETCH(int, kind);
        QFETCH(int, order);
        QFETCH(int, column);
        QFETCH(Qt::SortOrder, sortOrder);
        QFETCH(int, shots);
        QFETCH(int, shot);
        QFETCH(int, tableRow);
        QFETCH(int, partner);
        QFETCH(QString, language);
        QFETCH(QString, count);
        QTranslator chinese;
        QVERIFY(speak(language, &chinese));
        openSurvey();
        auto *view = child<QTreeView>(m_window, "problemView");
        auto *model = qobject_cast<ProblemModel *>(view->model());
        child<QComboBox>(m_window, "problemOrder")->setCurrentIndex(order);
        if (column >= 0) {
            QSignalSpy sorted(model, &ProblemModel::sorted);
            view->sortByColumn(column, sortOrder);
            QVERIFY(sorted.wait(10000));
        }
        auto *filter = child<QComboBox>(m_window, "problemKindFilter");
        filter->setCurrentIndex(filter->findData(kind));
        const QString counted = child<QLabel>(m_window, "problemCount")->text();
        QCoreApplication::removeTranslator(&chinese);
        QVERIFY2(count.isEmpty() || counted == count, qPrintable(counted));
        QCOMPARE(model->rowCount(), shots);
        QCOMPARE(model->index(0, 0).data(ProblemModel::ShotRole).toInt(), shot);
        if (kind < 0) {
            QStringList planted{
                problem(FbQc::Kind::Outlier, SpikeShotA, SpikeShotA * Channels + SpikeChannelA - 1),
                problem(FbQc::Kind::Outlier, SpikeShotB, SpikeShotB * Channels + SpikeChannelB - 1),
                problem(FbQc::Kind::VaryingSource, VaryingShot, VaryingShot * Channels),
                problem(FbQc::Kind::TimingError, ShiftedShot),
            };
            for (int k = 0; k < shiftedPartners().size(); ++k)
                planted.append(problem(FbQc::Kind::Reciprocity, ShiftedShot));
            planted.sort();
            QCOMPARE(problemKeys(model), planted);
        }
        if (shot == ShiftedShot) {
            QCOMPARE(model->index(0, ProblemModel::PairsColumn).data().toInt(), shiftedPartners().size());
            const QString ms = model->index(0, ProblemModel::TimingColumn).data().toString();
            QVERIFY2(QRegularExpression(QStringLiteral("^\\+12\\.\\d$")).match(ms).hasMatch(), qPrintable(ms));
            // The column, the finding and the summary write the delay alike.
            const QModelIndex shotRow = model->index(0, 0);
            while (model->canFetchMore(shotRow))
                model->fetchMore(shotRow);
            const QString finding = model->index(0, ProblemModel::DetailColumn, shotRow).data().toString();
            const QString summary = child<QLabel>(m_window, "summaryLabel")->text();
            QVERIFY2(finding.contains(QStringLiteral("timing error %1 ms").arg(ms)), qPrintable(finding));
            QVERIFY2(summary.contains(QStringLiteral("timing error %1 ms").arg(ms)), qPrintable(summary));
        }

        view->setFocus();
        view->setCurrentIndex(model->index(0, 0));
        QTest::keyClick(view, Qt::Key_Return);
        checkAtProblem(shot, tableRow);
        auto *plot = child<ShotPlot>(m_window, "shotPlot");
        // The partner's picks, once read, drawn over the shot's.
        if (partner >= 0)
            QTRY_VERIFY(!curvePoints(plot, QStringLiteral("Reciprocal %1 >").arg(partner + 1)).isEmpty());
        else
            QVERIFY(curvePoints(plot, QStringLiteral("Reciprocal ")).isEmpty());
    }

    // Five shots on a line whose picks follow steep hills.
    static QVector<FbRecord> hillLine()
    {
        FbGenerator::Options o;
        o.shots = 5;
        o.channels = 120;
        o.groupInterval = 10;
        o.seed = 2;
        o.elevationVelocity = 1500;
        QVector<FbRecord> records;
        for (int shot = 0; shot < o.shots; ++shot)
            records += FbGenerator::shotRecords(o, shot);
        return records;
    }

    // Reduced time is t - |x| / V with V in offset units per second, the
    // residual mode plots time - model, and a click on a pick selects its row.
    // On a line whose picks follow its hills the times may be drawn as
    // picked, a choice the window keeps; elsewhere the box is greyed out. A
    // shot too large to change in place is drawn in the view asked for and
    // refitted after an edit on a worker; whichever arrives last, the plot
    // ends in the view the controls ask for, with the edited picks.
    void plotShowsTheViewAskedFor_data()
    {
        QTest::addColumn<QString>("line"); // planted, hills or large
        QTest::addColumn<QString>("velocity");
        QTest::addColumn<bool>("residuals");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("editAt"); // 0 none, 1 before the view changes, 2 after
        QTest::newRow("plain time") << "planted" << QString() << false << 5 << 0;
        QTest::newRow("reduced by 3000") << "planted" << QStringLiteral("3000") << false << 40 << 0;
        QTest::newRow("residuals") << "planted" << QStringLiteral("3000") << true << 30 << 0;
        QTest::newRow("hills, as picked, reduced by 3000") << "hills" << QStringLiteral("3000") << false << 30 << 0;
        QTest::newRow("large, residuals") << "large" << QString() << true << 10 << 0;
        QTest::newRow("large, reduced") << "large" << QStringLiteral("3000") << false << 10 << 0;
        QTest::newRow("large, edited") << "large" << QString() << false << 10 << 1;
        QTest::newRow("large, edited, then residuals asked for") << "large" << QString() << true << 10 << 1;
        QTest::newRow("large, reduced, then edited") << "large" << QStringLiteral("3000") << false << 10 << 2;
    }

    void plotShowsTheViewAskedFor()
    {
        QFETCH(QString, line);
        QFETCH(QString, velocity);
        QFETCH(bool, residuals);
        QFETCH(int, row);
        QFETCH(int, editAt);
        const bool hills = line == QLatin1String("hills"), large = line == QLatin1String("large");
        QVector<FbRecord> records = plantedSurvey();
        if (hills)
            records = hillLine();
        else if (large)
            records = SurveyLine::shotOnLine(0, 12000, 0, ShotPanel::AsidePicks + 1000, SurveyLine::Curve::TwoLayers);
        openSurvey(hills || large ? SurveyLine::writeFile(m_dir, line + QStringLiteral(".fb"), records) : QString());
        constexpr float Edited = 250.0f;
        const auto editIt = [&] { QVERIFY(m_window->findChild<PickEditor *>()->session()->setTime(row, Edited)); };
        if (editAt == 1)
            editIt();
        setPlotView(m_window, velocity, residuals);
        if (editAt == 2)
            editIt();
        auto *asPicked = child<QCheckBox>(m_window, "asPicked");
        QTRY_COMPARE(asPicked->isEnabled(), hills);
        const QString asPickedKey = FbPickQcWindow::projectKey(ShotPanel::asPickedKey);
        if (hills) {
            asPicked->click();
            QCOMPARE(SorvBaseUtil::projectValue(asPickedKey).toBool(), true);
        }
        auto *plot = child<ShotPlot>(m_window, "shotPlot");
        QCOMPARE(plot->heights(), hills ? ShotPlot::AsPicked : ShotPlot::AtSource);
        const auto *shot = qobject_cast<const ShotTableModel *>(child<QTableView>(m_window, "shotTable")->model());
        const float time = editAt ? Edited : records.at(row).fb_time;
        const int wait = 20000 * FBTEST_TIME_FACTOR;
        QTRY_COMPARE_WITH_TIMEOUT(shot->records().at(row).fb_time, time, wait);
        QTRY_COMPARE_WITH_TIMEOUT(plot->mode(), residuals ? ShotPlot::Residuals : ShotPlot::Times, wait);
        QTRY_COMPARE_WITH_TIMEOUT(plot->reductionVelocity(), velocity.toDouble(), wait);
        const FbRecord r = records.at(row);
        const double shift = velocity.isEmpty() ? 0.0 : std::abs(r.offset) / velocity.toDouble() * 1000.0;
        const double y = residuals ? double(shot->fit().picks.at(row).residual) : time - shift;
        QTRY_COMPARE_WITH_TIMEOUT(plot->pickPoint(row), QPointF(r.offset, y), wait);
        if (large) {
            // Nothing else arrives after it.
            QTest::qWait(200);
            QCOMPARE(plot->pickPoint(row), QPointF(r.offset, y));
            QCOMPARE(plot->records().at(row).fb_time, time);
            m_window->findChild<PickEditor *>()->session()->undoStack()->setClean();
            return;
        }

        // The axes as drawn, where the click lands.
        plot->replot();
        const QPoint pos(qRound(plot->canvasMap(QwtPlot::xBottom).transform(r.offset)),
                         qRound(plot->canvasMap(QwtPlot::yLeft).transform(y)));
        QTest::mouseClick(plot->canvas(), Qt::LeftButton, Qt::NoModifier, pos);
        QCOMPARE(child<QTableView>(m_window, "shotTable")->currentIndex().row(), row);
        if (hills) {
            asPicked->click();
            QCOMPARE(SorvBaseUtil::projectValue(asPickedKey).toBool(), false);
        }
    }

    // On a hill line a partner's picks are drawn in the plot's view: a shot
    // overlaid as its own partner lies on its own picks, in time, reduced
    // time and residuals, at the source's height and as picked.
    void partnerOnHillsInThePlotsView_data()
    {
        QTest::addColumn<bool>("asPicked");
        QTest::addColumn<QString>("velocity");
        QTest::addColumn<bool>("residuals");
        QTest::newRow("at the source's height") << false << QString() << false;
        QTest::newRow("at the source's height, reduced") << false << QStringLiteral("3000") << false;
        QTest::newRow("as picked") << true << QString() << false;
        // Residuals are against the curve at the source's height in either view.
        QTest::newRow("residuals, as picked") << true << QString() << true;
    }
    void partnerOnHillsInThePlotsView()
    {
        QFETCH(bool, asPicked);
        QFETCH(QString, velocity);
        QFETCH(bool, residuals);
        const QVector<FbRecord> records = hillLine();
        openSurvey(SurveyLine::writeFile(m_dir, QStringLiteral("hills.fb"), records));
        setPlotView(m_window, velocity, residuals);
        auto *box = child<QCheckBox>(m_window, "asPicked");
        QcTarget target;
        target.partner = 1;
        m_window->document()->goTo(1, target);
        QTRY_COMPARE(m_window->shownShot(), 1);
        QTRY_VERIFY(box->isEnabled());
        // The window keeps the choice: a row failing with it on leaves it on.
        if (box->isChecked() != asPicked)
            box->click();
        auto *plot = child<ShotPlot>(m_window, "shotPlot");
        QCOMPARE(plot->heights(), asPicked ? ShotPlot::AsPicked : ShotPlot::AtSource);
        QCOMPARE(plot->mode(), residuals ? ShotPlot::Residuals : ShotPlot::Times);
        const QString overlaid = QStringLiteral("Reciprocal 2 >");
        QTRY_VERIFY(!curvePoints(plot, overlaid).isEmpty());
        QMap<double, double> partner; // signed offset: time drawn
        for (const QPointF &p : curvePoints(plot, overlaid))
            partner.insert(p.x(), p.y());
        const auto *shot = qobject_cast<const ShotTableModel *>(child<QTableView>(m_window, "shotTable")->model());
        int compared = 0;
        for (int row = 0; row < shot->records().size(); ++row) {
            const QPointF p = plot->pickPoint(row);
            const FbRecord &r = shot->records().at(row);
            if (!qIsFinite(p.y()) || r.offset == 0 || shot->fit().picks.at(row).unpicked ||
                FbColumns::pickClass(r.fb_status) == FbColumns::PickClass::Other)
                continue;
            QVERIFY2(std::abs(partner.value(p.x(), qQNaN()) - p.y()) < 0.05,
                     qPrintable(QStringLiteral("%1 m: pick %2 ms, partner %3 ms")
                                    .arg(p.x())
                                    .arg(p.y())
                                    .arg(partner.value(p.x(), qQNaN()))));
            ++compared;
        }
        QVERIFY2(compared >= 60, qPrintable(QString::number(compared)));
        if (box->isChecked())
            box->click();
        child<QCheckBox>(m_window, "residualMode")->setChecked(false);
    }

    // The table is the viewer's: titles, cell texts, status colours; the
    // editor starts from fb_time at full precision; the selector lists
    // "position > ffid" padded to the digits of the count. Source values
    // differing from the shot's most common one are red cell by cell, an
    // outlier's time alone is bold, and each says why. A selected row is
    // framed: its fb_time cell keeps the colour of its status under the
    // selection, and an outlier's its ring.
    void tableMarksOffendingCellsOnly_data()
    {
        QTest::addColumn<int>("shot");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("red");
        QTest::addColumn<bool>("outlier"); // the row's pick: its time bold and ringed
        const int time = FbColumns::FbTime;
        QTest::newRow("differing s_elev") << VaryingShot << Channels / 2 << int(FbColumns::SElev) << true << false;
        QTest::newRow("common s_elev") << VaryingShot << 0 << int(FbColumns::SElev) << false << false;
        QTest::newRow("other column of that record")
            << VaryingShot << Channels / 2 << int(FbColumns::GElev) << false << false;
        QTest::newRow("outlier time, status 0") << SpikeShotA << SpikeChannelA - 1 << time << false << true;
        QTest::newRow("outlier time, status 1, far down") << SpikeShotB << SpikeChannelB - 1 << time << false << true;
        QTest::newRow("neighbour's time") << SpikeShotA << SpikeChannelA << time << false << false;
        QTest::newRow("plain pick, status 1") << SpikeShotA << SpikeChannelA + 1 << time << false << false;
    }

    void tableMarksOffendingCellsOnly()
    {
        QFETCH(int, shot);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(bool, red);
        QFETCH(bool, outlier);
        openSurvey();
        const QVector<FbRecord> records = plantedSurvey();
        auto *table = child<QTableView>(m_window, "shotTable");
        const QColor backgrounds[] = {QColor(255, 0, 255, 120), QColor(255, 0, 0, 120), QColor(0, 255, 0, 120)};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < FbColumns::Count; ++c) {
                QCOMPARE(table->model()->headerData(c, Qt::Horizontal).toString(),
                         QString::fromLatin1(FbColumns::titles[c]));
                QCOMPARE(table->model()->index(r, c).data().toString(), FbColumns::cellText(records.at(r), c));
            }
            const QVariant background = table->model()->index(r, FbColumns::FbTime).data(Qt::BackgroundRole);
            QCOMPARE(background.value<QBrush>().color(), backgrounds[r]);
        }
        // Every time typed over reads back to the float the file holds.
        for (int r = 0; r < Channels; ++r) {
            const QString text = table->model()->index(r, FbColumns::FbTime).data(Qt::EditRole).toString();
            QVERIFY2(text.toFloat() == records.at(r).fb_time, qPrintable(text));
        }
        const QComboBox *shots = child<QComboBox>(m_window, "shotCombo");
        QCOMPARE(shots->count(), Shots);
        QCOMPARE(shots->itemText(0), QStringLiteral(" 1 > 5001"));
        QCOMPARE(shots->itemText(Shots - 1), QStringLiteral("24 > 5024"));

        m_window->goToShot(shot, shot * Channels + row);
        QTRY_COMPARE(m_window->shownShot(), shot);
        const QModelIndex cell = table->model()->index(row, column);
        const QVariant foreground = cell.data(Qt::ForegroundRole);
        const bool bold = outlier && column == FbColumns::FbTime;
        QCOMPARE(foreground.isValid() && foreground.value<QBrush>().color() == QColor(Qt::red), red);
        QCOMPARE(cell.data(Qt::FontRole).value<QFont>().bold(), bold);
        QCOMPARE(!cell.data(Qt::ToolTipRole).toString().isEmpty(), red || bold);

        QVERIFY(table->selectionModel()->isRowSelected(row, QModelIndex()));
        const QImage image = table->viewport()->grab().toImage();
        const CellLook look = lookOf(image, table->visualRect(table->model()->index(row, FbColumns::FbTime)),
                                     FbColumns::pickClass(records.at(shot * Channels + row).fb_status));
        QVERIFY2(look.statusShare > 0.4, qPrintable(QString::number(look.statusShare)));
        QCOMPARE(look.ringPixels > 8, outlier);
    }

    // Keys, and clicks on the map, move from shot to shot; N and Shift+N
    // visit the shots with a problem of their own in the list's order, and
    // select and show the shot's first problem in the table.
    void goesToShot_data()
    {
        QTest::addColumn<int>("order"); // ProblemModel::Order
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");    // with its modifiers; 0: a click on the map
        QTest::addColumn<int>("source"); // the source clicked on the map; -1: a spot far from any
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("tableRow"); // selected and in sight; -1: not checked
        const int shiftN = Qt::Key_N | Qt::ShiftModifier;
        const int worst = ProblemModel::WorstFirst, file = ProblemModel::FileOrder;
        const int partner = shiftedPartners().first();
        QTest::newRow("N from the first shot: the late shot")
            << worst << 0 << int(Qt::Key_N) << -1 << ShiftedShot << rowAtSource(ShiftedShot, partner);
        QTest::newRow("N after the late shot: the varying source")
            << worst << ShiftedShot << int(Qt::Key_N) << -1 << VaryingShot << Channels / 2;
        QTest::newRow("N on: the larger spike")
            << worst << VaryingShot << int(Qt::Key_N) << -1 << SpikeShotA << SpikeChannelA - 1;
        QTest::newRow("N on: the last one, far down the table")
            << worst << SpikeShotA << int(Qt::Key_N) << -1 << SpikeShotB << SpikeChannelB - 1;
        QTest::newRow("N after the last problem stays")
            << worst << SpikeShotB << int(Qt::Key_N) << -1 << SpikeShotB << -1;
        QTest::newRow("Shift+N goes back in the order")
            << worst << SpikeShotA << shiftN << -1 << VaryingShot << Channels / 2;
        QTest::newRow("N in file order skips clean shots")
            << file << ShiftedShot + 1 << int(Qt::Key_N) << -1 << SpikeShotB << SpikeChannelB - 1;
        QTest::newRow("Shift+N in file order")
            << file << SpikeShotB << shiftN << -1 << ShiftedShot << rowAtSource(ShiftedShot, partner);
        QTest::newRow("Page Down") << worst << 5 << int(Qt::Key_PageDown) << -1 << 6 << -1;
        QTest::newRow("Page Up at the first shot stays") << worst << 0 << int(Qt::Key_PageUp) << -1 << 0 << -1;
        QTest::newRow("a source on the map") << worst << 0 << 0 << 16 << 16 << -1;
        QTest::newRow("the last source on the map") << worst << 0 << 0 << Shots - 1 << Shots - 1 << -1;
        QTest::newRow("an empty spot on the map") << worst << 5 << 0 << -1 << 5 << -1;
    }

    void goesToShot()
    {
        QFETCH(int, order);
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, source);
        QFETCH(int, to);
        QFETCH(int, tableRow);
        openSurvey();
        child<QComboBox>(m_window, "problemOrder")->setCurrentIndex(order);
        showShot(from);
        auto *table = child<QTableView>(m_window, "shotTable");
        if (key) {
            table->setFocus();
            QTest::keyClick(table, Qt::Key(key & ~Qt::KeyboardModifierMask),
                            Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        } else {
            auto *map = child<SurveyMap>(m_window, "surveyMap");
            const QPoint pos = source >= 0 ? map->canvasPosOf(source) : QPoint(5, 5);
            QVERIFY(map->canvas()->rect().contains(pos));
            QTest::mouseClick(map->canvas(), Qt::LeftButton, Qt::NoModifier, pos);
        }
        checkAtProblem(to, tableRow);
    }

    // The spins judge the loaded file again without reading it (a spike
    // planted in the file after the load stays unseen), down to the floor
    // of what the pass kept; below it the file is read again. The report
    // judged again is the one a pass with those thresholds makes of what
    // was read; the list, the plot's rings and the summary follow; the
    // values are kept for the project and used by the next window.
    void thresholdsJudgeAgain_data()
    {
        QTest::addColumn<double>("outlierMs");
        QTest::addColumn<double>("reciprocityMs");
        QTest::addColumn<int>("outliers"); // in the list
        QTest::addColumn<int>("timingErrors");
        QTest::addColumn<int>("ringed"); // in the plot of the first spike's shot
        QTest::addColumn<bool>("reread");
        QTest::newRow("outlier 40 ms: no spike is an outlier") << 40.0 << 5.0 << 0 << 1 << 0 << false;
        QTest::newRow("outlier 28 ms: only the larger spike") << 28.0 << 5.0 << 1 << 1 << 1 << false;
        QTest::newRow("reciprocity 25 ms: the late shot is on time") << 8.0 << 25.0 << 2 << 0 << 1 << false;
        QTest::newRow("outlier 1.5 ms, below the floor: read again") << 1.5 << 5.0 << 3 << 1 << 1 << true;
    }

    void thresholdsJudgeAgain()
    {
        QFETCH(double, outlierMs);
        QFETCH(double, reciprocityMs);
        QFETCH(int, outliers);
        QFETCH(int, timingErrors);
        QFETCH(int, ringed);
        QFETCH(bool, reread);
        QTemporaryDir project;
        QVERIFY(SorvProjectManager::instance().openProject(project.path()));
        const QString file = project.filePath(QStringLiteral("judged.fb"));
        QVERIFY(FbTest::writeFile(file, surveyBytes()));
        openSurvey(file);
        showShot(SpikeShotA);
        QVERIFY(FbTest::writeFile(file, surveyBytes(true)));

        QSignalSpy finished(m_window, &FbPickQcWindow::loadFinished);
        child<QDoubleSpinBox>(m_window, "outlierMsSpin")->setValue(outlierMs);
        child<QDoubleSpinBox>(m_window, "reciprocityMsSpin")->setValue(reciprocityMs);
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isLoading() && !finished.isEmpty(), 20000);
        QCOMPARE(finished.last().at(0).toBool(), true);
        const FbQc::Report &shown = m_window->data()->report;
        QCOMPARE(shown.settings.outlierMs, outlierMs);
        QCOMPARE(shown.settings.reciprocityMs, reciprocityMs);
        // As a pass with these thresholds judges the bytes the window read.
        const QString read = project.filePath(QStringLiteral("read.fb"));
        QVERIFY(FbTest::writeFile(read, surveyBytes(reread)));
        FbQc::Settings settings = shown.settings;
        settings.collectReceivers = true;
        FbQc::Report fresh;
        QVERIFY(FbQc::Analyzer(read, settings).run(&fresh));
        for (int k = 0; k < FbQc::KindCount; ++k)
            QCOMPARE(shown.count(FbQc::Kind(k)), fresh.count(FbQc::Kind(k)));
        const auto totals = [](const FbQc::Report &r) {
            return QVector<qint64>{r.recordCount,
                                   r.index().size(),
                                   r.shots().size(),
                                   r.pairs().size(),
                                   r.repeats().size(),
                                   r.timing().size(),
                                   r.receivers().size(),
                                   r.stations().size(),
                                   r.status0,
                                   r.status1,
                                   r.statusOther,
                                   r.notPicked,
                                   r.notJudged,
                                   r.shots().at(SpikeShotA).outliers};
        };
        QCOMPARE(totals(shown), totals(fresh));

        auto *model = qobject_cast<ProblemModel *>(child<QTreeView>(m_window, "problemView")->model());
        const QStringList found = problemKeys(model);
        const auto count = [&found](FbQc::Kind kind) {
            const QString prefix = ProblemModel::kindName(kind) + QLatin1Char('|');
            return int(
                std::count_if(found.begin(), found.end(), [&](const QString &k) { return k.startsWith(prefix); }));
        };
        QCOMPARE(count(FbQc::Kind::Outlier), outliers);
        QCOMPARE(count(FbQc::Kind::TimingError), timingErrors);
        QCOMPARE(count(FbQc::Kind::Reciprocity), timingErrors ? shiftedPartners().size() : 0);
        // The same shot, fitted anew.
        QTRY_COMPARE(m_window->shownShot(), SpikeShotA);
        auto *plot = child<ShotPlot>(m_window, "shotPlot");
        QTRY_COMPARE(plotOutliers(plot), ringed);
        const QString summary = child<QLabel>(m_window, "summaryLabel")->text();
        QVERIFY2(summary.contains(QStringLiteral("outlier %1 ms").arg(QLocale().toString(outlierMs))),
                 qPrintable(summary));

        // Kept for the project: the next window starts from them.
        delete m_window;
        m_window = new FbPickQcWindow;
        QCOMPARE(child<QDoubleSpinBox>(m_window, "outlierMsSpin")->value(), outlierMs);
        QCOMPARE(child<QDoubleSpinBox>(m_window, "reciprocityMsSpin")->value(), reciprocityMs);
    }

    // What the window reads and fits of a shot: one of more picks than the
    // pass judges is read but not fitted, one beyond the memory budget is
    // not read; the map gets at most MapReceivers of its receivers, evenly
    // through the shot, so that drawing them never holds the window.
    void shotsReadWithinBudget_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<qint64>("maxJudged");
        QTest::addColumn<qint64>("budget");
        QTest::addColumn<int>("state"); // LoadedShot::State
        QTest::addColumn<int>("rows");  // table rows
        QTest::addColumn<bool>("fitted");
        QTest::addColumn<int>("receivers");
        const qint64 plenty = qint64(1) << 30, judged = FbQc::Settings().maxJudgedPicks;
        QTest::newRow("judged") << 48 << judged << plenty << int(LoadedShot::Judged) << 48 << true << 48;
        QTest::newRow("too many to judge")
            << 48 << qint64(47) << plenty << int(LoadedShot::NotJudged) << 48 << false << 48;
        QTest::newRow("too many to hold")
            << 48 << judged << 47 * ShotLoader::BytesPerPick << int(LoadedShot::NotRead) << 0 << false << 0;
        // Every third of 25,000.
        QTest::newRow("receivers thinned for the map")
            << 25000 << judged << plenty << int(LoadedShot::Judged) << 25000 << true << 8334;
    }

    void shotsReadWithinBudget()
    {
        QFETCH(int, channels);
        QFETCH(qint64, maxJudged);
        QFETCH(qint64, budget);
        QFETCH(int, state);
        QFETCH(int, rows);
        QFETCH(bool, fitted);
        QFETCH(int, receivers);
        const QString name = m_dir.filePath(QStringLiteral("one-shot-%1.fb").arg(channels));
        FbGenerator::Options options;
        options.shots = 1;
        options.channels = channels;
        FbGenerator::FileWriter writer(options);
        QVERIFY2(writer.write(name), qPrintable(writer.errorString()));
        FbQc::Settings settings;
        settings.maxJudgedPicks = maxJudged;
        ShotIndexEntry entry;
        entry.ffid = options.firstFfid;
        entry.firstRecord = 0;
        entry.lastRecord = channels - 1;
        const LoadedShot shot = ShotLoader::load(name, entry, 0, settings, {}, budget);
        QCOMPARE(int(shot.state), state);
        QCOMPARE(shot.picks, qint64(channels));
        QCOMPARE(shot.table.records.size(), rows);
        QCOMPARE(!shot.table.fit.picks.isEmpty(), fitted);
        QCOMPARE(shot.receivers.size(), receivers);
        QVERIFY(shot.receivers.size() <= ShotLoader::MapReceivers);
        if (rows > 0) {
            const FbRecord &last = shot.table.records.last();
            QVERIFY2(std::abs(shot.receivers.last().x() - last.group_x) < 3 * 25.0,
                     "the receivers stop short of the shot's end");
        }
    }

    // Cancel hides the progress at once, no result of the cancelled run
    // arrives later, and the window opens the next file normally. While a
    // file loads the panes keep their size.
    void cancelLeavesUsableWindow()
    {
        const QString big = m_dir.filePath(QStringLiteral("big.fb"));
        FbGenerator::Options options;
        options.shots = 4000;
        options.channels = 240;
        FbGenerator::FileWriter writer(options);
        QVERIFY2(writer.write(big), qPrintable(writer.errorString()));

        openSurvey();
        const QSize panes = child<QSplitter>(m_window, "panes")->size();
        QSignalSpy finished(m_window, &FbPickQcWindow::loadFinished);
        m_window->openFile(big);
        QTRY_VERIFY_WITH_TIMEOUT(child<QProgressBar>(m_window, "loadProgress")->value() > 0, 30000);
        QVERIFY2(m_window->isLoading(), "the load ended before Cancel could be pressed");
        QCOMPARE(child<QSplitter>(m_window, "panes")->size(), panes);
        QTest::mouseClick(child<QPushButton>(m_window, "cancelButton"), Qt::LeftButton);
        QVERIFY(!m_window->isLoading());
        QVERIFY(!child<QProgressBar>(m_window, "loadProgress")->isVisible());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        QTest::qWait(300);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(m_window->data()->fileName, m_survey);

        const QString other = m_dir.filePath(QStringLiteral("other.fb"));
        QVERIFY(QFile::copy(m_survey, other));
        m_window->openFile(other);
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.last().at(0).toBool(), true);
        QCOMPARE(m_window->data()->fileName, other);
        QVERIFY(child<QTreeView>(m_window, "problemView")->model()->rowCount() > 0);
        QTRY_COMPARE(child<QTableView>(m_window, "shotTable")->model()->rowCount(), Channels);
    }

    // The window opens the file the browse dialog used. Gone, the window
    // opens its own last file instead and names the missing one; with
    // nothing of its own, it says why the browsed one cannot be opened. A
    // project folder that cannot be written is said once, the values last
    // for the run, and the browsed file is opened even so. The window says
    // why a file cannot be judged (why each kind of file fails is the QC
    // pass's test), names a file that is no FB file as such rather than
    // listing what its bytes hold, and judges a file cut short with a note.
    void opensTheBrowsedFile_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // of the browsed file; null: gone
        QTest::addColumn<bool>("ownFile");     // the window's own last file is the survey
        QTest::addColumn<bool>("writable");    // the project folder
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("says"); // after the file's name, or at the start; empty: the gone file's name
        const QByteArray survey = surveyBytes();
        QByteArray text;
        for (int line = 0; text.size() < 4000; ++line)
            text += "Line " + QByteArray::number(line) + ": first breaks were picked by hand on the field copy.\n";
        QTest::newRow("gone: the window's own file instead") << QByteArray() << true << true << true << QString();
        QTest::newRow("gone, nothing else to open") << QByteArray() << false << true << false << QString();
        QTest::newRow("a project that cannot be written") << survey << false << false << true << "cannot be written";
        QTest::newRow("empty") << QByteArray("") << false << true << false << "Cannot open ";
        QTest::newRow("a text file") << text << false << true << false << " is not an FB file: ";
        QTest::newRow("cut short: incomplete")
            << survey.left(survey.size() - 30) << false << true << true << "incomplete";
    }

    void opensTheBrowsedFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, ownFile);
        QFETCH(bool, writable);
        QFETCH(bool, opens);
        QFETCH(QString, says);
        QTemporaryDir project;
        // A folder no one can write in, root included.
        QVERIFY(SorvProjectManager::instance().openProject(writable ? project.path() : QStringLiteral("/proc/self")));
        const QString name = m_dir.filePath(QStringLiteral("odd-%1.fb").arg(QTest::currentDataTag()));
        const bool gone = bytes.isNull();
        QVERIFY(gone || FbTest::writeFile(name, bytes));
        const QString missing = project.filePath(QStringLiteral("gone.fb"));
        const QString browseKey = QStringLiteral("BrowseFBFile_BrowseFBFileDialog_fbName");
        QCOMPARE(SorvBaseUtil::setProjectValue(browseKey, gone ? missing : name), writable);
        if (ownFile)
            QVERIFY(SorvBaseUtil::setProjectValue(FbPickQcWindow::projectKey("fbName"), m_survey));
        static int warnings = 0;
        warnings = 0;
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &message) {
                if (message.contains(QLatin1String("cannot be written")))
                    ++warnings;
            });
        m_window = new FbPickQcWindow;
        m_window->show();
        QSignalSpy finished(m_window, &FbPickQcWindow::loadFinished);
        m_window->openRemembered();
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.at(0).at(0).toBool(), opens);
        QCOMPARE(m_window->data() ? m_window->data()->fileName : QString(),
                 opens ? (gone ? m_survey : name) : QString());
        auto *message = child<QLabel>(m_window, "messageLabel");
        const QString said = says.isEmpty() ? QDir::toNativeSeparators(missing) : says;
        QVERIFY2(message->text().contains(said), qPrintable(message->text()));
        if (!gone && !opens) {
            const QString text = message->text();
            QVERIFY2(text.size() > says.size() + name.size() + 3, qPrintable(text));
            QVERIFY2(text.startsWith(says.startsWith(QLatin1Char(' ')) ? name : says), qPrintable(text));
            QCOMPARE(child<QTreeView>(m_window, "problemView")->model()->rowCount(), 0);
        }
        if (!writable) {
            child<QDoubleSpinBox>(m_window, "outlierMsSpin")->setValue(20.0);
            QVERIFY(finished.wait(20000));
            QVERIFY2(!message->text().contains(said), qPrintable(message->text()));
            QCOMPARE(SorvBaseUtil::projectValue(FbPickQcWindow::projectKey("outlierMs")).toDouble(), 20.0);
        }
        qInstallMessageHandler(previous);
        QCOMPARE(warnings, writable ? 0 : 1);
    }

    // File > Export Plot and Export Map write what the file dialog names,
    // in its format, at a bounded size even from a squeezed pane. The map
    // colours its sources by the chosen quantity, and its tool tip gives a
    // shot's ffid and values whatever the choice.
    void exportsPlotAndMap_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("magic"); // the file's first bytes
        QTest::addColumn<bool>("squeezed");    // the plot's pane 1 pixel wide
        QTest::addColumn<int>("choice");       // what colours the map
        QTest::addColumn<QString>("barTitle");
        QTest::newRow("PNG, outliers") << "png" << QByteArray("\x89PNG") << false << 0 << "Outliers per shot";
        QTest::newRow("SVG, rms residual") << "svg" << QByteArray("<?xml") << false << 1 << "RMS residual (ms)";
        QTest::newRow("PDF, picks") << "pdf" << QByteArray("%PDF") << false << 2 << "Picks per shot";
        QTest::newRow("PNG of a squeezed plot") << "png" << QByteArray("\x89PNG") << true << 0 << "Outliers per shot";
        // A name that links to the open file is refused, the file kept.
        QTest::newRow("SVG through a link to the file") << "svg" << QByteArray() << false << 0 << "Outliers per shot";
    }

    void exportsPlotAndMap()
    {
        QFETCH(QString, suffix);
        QFETCH(QByteArray, magic);
        QFETCH(bool, squeezed);
        QFETCH(int, choice);
        QFETCH(QString, barTitle);
        openSurvey();
        child<QComboBox>(m_window, "mapColorBy")->setCurrentIndex(choice);
        auto *map = child<SurveyMap>(m_window, "surveyMap");
        // The values are made off the UI thread.
        QTRY_COMPARE(map->axisTitle(QwtPlot::yRight).text(), barTitle);
        const QString text = map->shotText(SpikeShotA);
        for (const QString &line :
             {QStringLiteral("Shot %1").arg(SpikeShotA + 1), QStringLiteral("ffid %1").arg(5001 + SpikeShotA),
              QStringLiteral("Outliers: 1"), QStringLiteral("Picks: %1").arg(Channels)})
            QVERIFY2(text.contains(line), qPrintable(text));
        if (squeezed) {
            child<ShotPlot>(m_window, "shotPlot")->setFixedWidth(1);
            QTRY_COMPARE(child<ShotPlot>(m_window, "shotPlot")->width(), 1);
        }
        const struct
        {
            const char *action, *widget;
        } exports[] = {{"Export &Plot...", "shotPlot"}, {"Export &Map...", "surveyMap"}};
        for (const auto &e : exports) {
            const QString file = m_dir.filePath(
                QStringLiteral("%1-%2.%3").arg(QLatin1String(e.widget), QTest::currentDataTag(), suffix));
            const bool linked = magic.isEmpty();
            const QByteArray surveyBytes = FbTest::contents(m_survey);
            QVERIFY(!linked || QFile::link(m_survey, file));
            // Yes replaces a file there.
            ModalDriver driver(
                [file](QWidget *modal) { return answer(modal, QMessageBox::Yes) || chooseFile(modal, file); });
            QAction *action = nullptr;
            for (QAction *a : m_window->findChildren<QAction *>())
                action = a->text() == QLatin1String(e.action) ? a : action;
            QVERIFY(action);
            action->trigger();
            if (linked) {
                QVERIFY2(child<QLabel>(m_window, "messageLabel")->text().contains("it is the input file"),
                         qPrintable(child<QLabel>(m_window, "messageLabel")->text()));
                QVERIFY2(!surveyBytes.isEmpty() && FbTest::contents(m_survey) == surveyBytes, e.widget);
                continue;
            }
            QVERIFY2(child<QLabel>(m_window, "messageLabel")->text().isEmpty(),
                     qPrintable(child<QLabel>(m_window, "messageLabel")->text()));
            QVERIFY2(FbTest::contents(file).left(magic.size()) == magic, e.widget);
            if (suffix == QLatin1String("png")) {
                const QSize shown = child<QWidget>(m_window, e.widget)->size();
                QCOMPARE(QImage(file).size(), ImageExport::sizeFor(shown));
                QVERIFY(QImage(file).width() <= ImageExport::MaxSide && QImage(file).height() <= ImageExport::MaxSide);
            }
        }
    }

    // The window with a file loaded on screens from small to large, in
    // English and in Chinese: it fits, the shot stays readable, the table
    // shows a screenful of picks, every splitter can be moved either way, and
    // the problem list says what a problem is without scrolling.
    void fitsTheScreen_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("compact"); // the panels in tabs: narrow, or too low for the plot over the table
        const QSize sizes[] = {{800, 600},  {1024, 600}, {1200, 800}, {1280, 800},
                               {1366, 768}, {1440, 900}, {1920, 1080}};
        for (const QSize &size : sizes) {
            for (const char *language : {"en", "zh_CN"}) {
                const QString name = QStringLiteral("%1x%2 %3").arg(size.width()).arg(size.height()).arg(language);
                QTest::newRow(qPrintable(name))
                    << size << QString::fromLatin1(language) << (size.width() < 1280 || size.height() < 900);
            }
        }
    }

    void fitsTheScreen()
    {
        QFETCH(QSize, screen);
        QFETCH(QString, language);
        QFETCH(bool, compact);
        QTranslator chinese;
        QVERIFY(speak(language, &chinese));
        // From a project's deep folder, as users keep their files: the path
        // must not lengthen the summary into the plot's room.
        const QString deep = m_dir.filePath(QStringLiteral("projects/north block 2026/line 42 final picks/survey.fb"));
        QVERIFY(QDir().mkpath(QFileInfo(deep).path()) && (QFile::exists(deep) || QFile::copy(m_survey, deep)));
        openSurvey(deep);
        FbPickQcWindow *window = m_window;
        window->resize(screen);
        QTRY_COMPARE(window->size(), screen);
        // The panels placed for that size at once, and laid out in one pass.
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
        // To look at: QCSCREENS_SAVE=folder keeps each row's window as an
        // image. The language stays in place to the end (views ask their
        // models for header texts as they paint).
        const QString save = qEnvironmentVariable("QCSCREENS_SAVE");
        if (!save.isEmpty())
            window->grab().save(QDir(save).filePath(QString::fromLatin1(QTest::currentDataTag()) + ".png"));
        QCOMPARE(window->isCompact(), compact);
        // In tabs the plot's controls sit beside them, folded if need be,
        // rather than take a line of the tool bar.
        auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("panelTabs"));
        const QWidget *controls = child<QLineEdit>(window, "reductionVelocity")->parentWidget();
        QCOMPARE(tabs->cornerWidget() == controls, compact);
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
        // Side by side, as high as the window keeps it before it goes to tabs.
        const int least = compact ? 140 : FbPickQcWindow::LeastCanvasHeight;
        QVERIFY2(plot->width() >= 320 && canvas.height() >= least, qPrintable(QStringLiteral("plot %1x%2, canvas %3x%4")
                                                                                  .arg(plot->width())
                                                                                  .arg(plot->height())
                                                                                  .arg(canvas.width())
                                                                                  .arg(canvas.height())));
        // The intercept's label has its place under the source.
        for (const QwtPlotItem *item : plot->itemList(QwtPlotItem::Rtti_PlotUserItem + 1)) {
            for (const PlotLabels::Label &label : static_cast<const PlotLabels *>(item)->labels()) {
                const double below = canvas.height() - plot->canvasMap(QwtPlot::yLeft).transform(label.anchor.y());
                const double needs = label.text.textSize(plot->canvas()->font()).height() + 6;
                QVERIFY2(!label.along.isNull() || below >= needs,
                         qPrintable(QStringLiteral("%1 px under the source for %2").arg(below).arg(needs)));
            }
        }
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
        // fb_time, title and times, whole beside the plot.
        const int time = FbColumns::FbTime;
        QVERIFY2(table->columnViewportPosition(time) + table->columnWidth(time) <= table->viewport()->width() &&
                     table->columnWidth(time) >= qMax(table->horizontalHeader()->sectionSizeHint(time),
                                                      static_cast<QAbstractItemView *>(table)->sizeHintForColumn(time)),
                 qPrintable(QStringLiteral("fb_time at %1, %2 px wide, of %3")
                                .arg(table->columnViewportPosition(time))
                                .arg(table->columnWidth(time))
                                .arg(table->viewport()->width())));

        // Every splitter can give room to either side.
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
        // With no traces open, how to open them reads whole; the snap
        // window says what it is. Beside the shot, the empty panel is a
        // slim strip that leaves the shot its room.
        const QLabel *status = child<QLabel>(window, "traceStatus");
        QCOMPARE(status->isVisible() ? status->text() : traces->message(),
                 window->findChild<TracesPanel *>()->status());
        const QString snap = child<QDoubleSpinBox>(window, "traceSnapWithin")->prefix();
        QVERIFY2(std::any_of(snap.begin(), snap.end(), [](QChar c) { return c.isLetter(); }), qPrintable(snap));
        const QSize tracesPanel = window->findChild<TracesPanel *>()->size();
        QCOMPARE(traces->isVisible(), compact);
        QVERIFY(child<QPushButton>(window, "traceOpen")->isVisible());
        // The strip's hint leaves the rest to its button.
        QVERIFY2(compact || status->height() <= 3 * status->fontMetrics().lineSpacing(), qPrintable(status->text()));
        // Beside the traces, only the velocity they follow too is enabled.
        QCOMPARE(child<QCheckBox>(window, "residualMode")->isEnabled(), !compact);
        QVERIFY(child<QLineEdit>(window, "reductionVelocity")->isEnabled());
        QVERIFY2(compact ? traces->height() >= 0.85 * tracesPanel.height() : tracesPanel.width() <= screen.width() / 8,
                 qPrintable(QStringLiteral("traces %1x%2 in a panel of %3x%4")
                                .arg(traces->width())
                                .arg(traces->height())
                                .arg(tracesPanel.width())
                                .arg(tracesPanel.height())));

        // What a problem is, in sight: its detail begins within the list.
        if (compact)
            tabs->setCurrentWidget(tabs->widget(1));
        QCoreApplication::processEvents();
        QVERIFY(problems->isVisible());
        // Beside the tabs, what does nothing there goes.
        QCOMPARE(controls->isVisible(), !compact);
        const int detail = problems->header()->sectionViewportPosition(ProblemModel::DetailColumn);
        const int detailWidth = problems->header()->sectionSize(ProblemModel::DetailColumn);
        QVERIFY2(detail >= 0 && detail + 100 <= problems->viewport()->width() && detailWidth >= 100,
                 qPrintable(QStringLiteral("detail at %1, %2 px wide, of %3")
                                .arg(detail)
                                .arg(detailWidth)
                                .arg(problems->viewport()->width())));
        // Every count whole in the list, a shot's bold ones too, and its
        // title, on one line or broken over the header's two.
        const QAbstractItemView *list = problems;
        const QHeaderView *header = problems->header();
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        for (int c = ProblemModel::OutliersColumn; c < ProblemModel::DetailColumn; ++c) {
            const int at = problems->header()->sectionViewportPosition(c);
            const int width = problems->header()->sectionSize(c);
            QVERIFY2(at >= 0 && at + width <= problems->viewport()->width() && width >= list->sizeHintForColumn(c),
                     qPrintable(QStringLiteral("count column %1 at %2, %3 px wide of %4 (needs %5)")
                                    .arg(c)
                                    .arg(at)
                                    .arg(width)
                                    .arg(problems->viewport()->width())
                                    .arg(list->sizeHintForColumn(c))));
            const QString title = header->model()->headerData(c, Qt::Horizontal).toString();
            const QRect room(0, 0, width - 2 * margin, header->height() - 2 * margin);
            const QRect needs = header->fontMetrics().boundingRect(room, Qt::TextWordWrap, title);
            QVERIFY2(needs.width() <= room.width() && needs.height() <= room.height() &&
                         (header->fontMetrics().horizontalAdvance(title) <= room.width() ||
                          header->textElideMode() == Qt::ElideNone),
                     qPrintable(QStringLiteral("\"%1\" needs %2x%3 of %4x%5")
                                    .arg(title)
                                    .arg(needs.width())
                                    .arg(needs.height())
                                    .arg(room.width())
                                    .arg(room.height())));
        }
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
        window->resize(1440, 900);
        QTRY_COMPARE(window->size(), QSize(1440, 900));
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

    // The window goes to tabs when the user makes it too low for the plot
    // over the table, at once, and back only when it is higher by a margin;
    // what the panes show later (a message) never moves it.
    void tabsFollowTheSize_data()
    {
        QTest::addColumn<int>("first");  // px over the least side-by-side height; a message shows then
        QTest::addColumn<int>("second"); // the same, or the margin's lines over it
        QTest::addColumn<bool>("compact");
        QTest::newRow("a message after") << 1 << 1 << false;
        QTest::newRow("too low") << 1 << -1 << true;
        QTest::newRow("back without the margin") << -40 << 1 << true;
        QTest::newRow("back with the margin") << -40 << -1000 << false;
    }

    void tabsFollowTheSize()
    {
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(bool, compact);
        openSurvey();
        FbPickQcWindow *window = m_window;
        const QWidget *canvas = window->findChild<ShotPlot *>()->canvas();
        const auto settle = [] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QCoreApplication::processEvents();
        };
        window->resize(1440, 900);
        settle();
        QVERIFY(!window->isCompact());
        const int least = 900 - canvas->height() + FbPickQcWindow::LeastCanvasHeight;
        window->resize(1440, least + first);
        QCOMPARE(window->isCompact(), first < 0);
        settle();
        emit window->document()->message(QStringLiteral("A note that came later."), false);
        settle();
        QCOMPARE(window->isCompact(), first < 0);
        if (second < -100)
            second = FbPickQcWindow::BackToSideLines * window->fontMetrics().lineSpacing();
        window->resize(1440, least + second);
        QCOMPARE(window->isCompact(), compact);
        // Laid out in one pass; the message's line is the canvas' only loss.
        settle();
        const int message = window->findChild<QSplitter *>(QStringLiteral("panes"))->parentWidget()->y() -
                            child<QLabel>(window, "messageLabel")->y();
        QVERIFY2(compact || canvas->height() + message >= FbPickQcWindow::LeastCanvasHeight,
                 qPrintable(QStringLiteral("canvas %1 px under a message of %2").arg(canvas->height()).arg(message)));
    }

private:
    // The window at shot: current, shown in the plot and chosen in the
    // selector; and at its problem's pick, unless tableRow is -1: selected in
    // the table and the plot, in sight, and current in the problem list.
    void checkAtProblem(int shot, int tableRow)
    {
        QCOMPARE(m_window->currentShot(), shot);
        QTRY_COMPARE(m_window->shownShot(), shot);
        auto *plot = child<ShotPlot>(m_window, "shotPlot");
        QVERIFY2(plot->title().text().startsWith(QStringLiteral("Shot %1 >").arg(shot + 1)),
                 qPrintable(plot->title().text()));
        QCOMPARE(child<QComboBox>(m_window, "shotCombo")->currentIndex(), shot);
        if (tableRow < 0)
            return;
        auto *table = child<QTableView>(m_window, "shotTable");
        QCOMPARE(table->currentIndex().row(), tableRow);
        QVERIFY(table->selectionModel()->isRowSelected(tableRow, QModelIndex()));
        QCOMPARE(plot->selectedRow(), tableRow);
        const QRect pick = table->visualRect(table->currentIndex());
        QVERIFY2(table->viewport()->rect().contains(pick), "the problem's pick is out of sight");
        // Centred, where the table could scroll that far.
        const QScrollBar *bar = table->verticalScrollBar();
        if (bar->value() > bar->minimum() && bar->value() < bar->maximum())
            QVERIFY2(
                std::abs(pick.center().y() - table->viewport()->height() / 2) <= pick.height(),
                qPrintable(QStringLiteral("row at %1 of %2").arg(pick.center().y()).arg(table->viewport()->height())));
        const QModelIndex listed = child<QTreeView>(m_window, "problemView")->currentIndex();
        QCOMPARE(listed.data(ProblemModel::ShotRole).toInt(), shot);
    }
};

QTEST_MAIN(TestFbPickQc)
#include "tst_fbpickqc.moc"
