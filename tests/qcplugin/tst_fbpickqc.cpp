#include "fbpickqcwindow.h"
#include "imageexport.h"
#include "mainwindow.h"
#include "pluginregistry.h"
#include "problemmodel.h"
#include "shotplot.h"
#include "shottablemodel.h"
#include "surveymap.h"

#include "fbcolumns.h"
#include "fbgenerator.h"
#include "fbtestfile.h"
#include "modaldriver.h"
#include "plantedsurvey.h"

#include <sorvbaseutil.h>
#include <sorvhelpwindow.h>
#include <sorvprojectmanager.h>

#include <QtTest>
#include <QtWidgets>

#include <algorithm>
#include <cmath>

namespace {

struct Found
{
    PickQc::Kind kind;
    int shot;
    int record;
    bool operator<(const Found &o) const { return std::tie(kind, shot, record) < std::tie(o.kind, o.shot, o.record); }
    bool operator==(const Found &o) const { return kind == o.kind && shot == o.shot && record == o.record; }
};

QString describe(const QVector<Found> &list)
{
    QStringList parts;
    for (const Found &f : list)
        parts << QStringLiteral("%1 shot %2 record %3").arg(ProblemModel::kindName(f.kind)).arg(f.shot).arg(f.record);
    return parts.join(QStringLiteral("; "));
}

template <typename T>
T *child(QWidget *window, const char *name)
{
    return window->findChild<T *>(QString::fromLatin1(name));
}

} // namespace

class TestFbPickQc : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The window keeps its place in the user's settings: a test run
        // starts from none and leaves the user's own alone.
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
        m_survey = m_dir.filePath(QStringLiteral("survey.fb"));
        const QVector<FbRecord> survey = plantedSurvey();
        QVERIFY(FbTest::writeFile(m_survey, FbTest::fileBytes(survey, FbTest::headerFor(survey))));
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
    // opens the window on the file the browse dialog remembers.
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
        QTRY_COMPARE_WITH_TIMEOUT(opened->windowTitle(), QStringLiteral("FB Pick QC - survey.fb"), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(child<QTableView>(opened, "shotTable")->model()->rowCount(), Channels, 30000);
    }

    // The problem list holds exactly the planted faults: two spikes as
    // outliers, the shifted shot's timing error with its reciprocal pairs,
    // the varying source elevation; nothing else.
    void listsExactlyThePlantedProblems()
    {
        openSurvey();
        auto *view = child<QTableView>(m_window, "problemView");
        QVector<Found> found;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            const QModelIndex kind = view->model()->index(row, ProblemModel::KindColumn);
            const int shot = view->model()->index(row, ProblemModel::ShotColumn).data().toInt() - 1;
            const QVariant record = view->model()->index(row, ProblemModel::RecordColumn).data();
            found.append({PickQc::Kind(kind.data(ProblemModel::KindRole).toInt()), shot,
                          record.isValid() ? record.toInt() - 1 : -1});
        }
        QVector<Found> expected{
            {PickQc::Kind::Outlier, SpikeShotA, SpikeShotA * Channels + SpikeChannelA - 1},
            {PickQc::Kind::Outlier, SpikeShotB, SpikeShotB * Channels + SpikeChannelB - 1},
            {PickQc::Kind::VaryingSource, VaryingShot, VaryingShot * Channels},
            {PickQc::Kind::TimingError, ShiftedShot, ShiftedShot * Channels},
        };
        // The late shot's pairs are listed under it, not under its partners.
        for (int k = 0; k < shiftedPartners().size(); ++k)
            expected.append({PickQc::Kind::Reciprocity, ShiftedShot, -1});
        std::sort(found.begin(), found.end());
        std::sort(expected.begin(), expected.end());
        QVERIFY2(found == expected, qPrintable(QStringLiteral("listed: %1\nplanted: %2")
                                                   .arg(describe(found), describe(expected))));
    }

    // The problem list sorted by a column (or in file order) and filtered
    // by kind; Enter on its first row moves the plot and the table to that
    // problem's shot and row.
    void problemListSortsFiltersAndActivates_data()
    {
        QTest::addColumn<int>("kind");           // -1: all kinds
        QTest::addColumn<int>("column");         // -1: file order
        QTest::addColumn<Qt::SortOrder>("order");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("shot");           // of the first row
        QTest::addColumn<int>("tableRow");       // the shot's row that the first row's problem selects
        const int pairs = shiftedPartners().size();
        const int outlier = int(PickQc::Kind::Outlier), value = int(ProblemModel::ValueColumn);
        // A pair selects the receiver at the other shot's source.
        QTest::newRow("pairs in file order") << int(PickQc::Kind::Reciprocity) << -1 << Qt::AscendingOrder << pairs
                                             << ShiftedShot << rowAtSource(ShiftedShot, shiftedPartners().first());
        QTest::newRow("outliers, lowest residual first")
            << outlier << value << Qt::AscendingOrder << 2 << SpikeShotB << SpikeChannelB - 1;
        QTest::newRow("outliers, highest residual first")
            << outlier << value << Qt::DescendingOrder << 2 << SpikeShotA << SpikeChannelA - 1;
        // A varying source selects its first differing record.
        QTest::newRow("all, last shot first") << -1 << int(ProblemModel::ShotColumn) << Qt::DescendingOrder
                                              << pairs + 4 << VaryingShot << Channels / 2;
    }

    void problemListSortsFiltersAndActivates()
    {
        QFETCH(int, kind);
        QFETCH(int, column);
        QFETCH(Qt::SortOrder, order);
        QFETCH(int, rows);
        QFETCH(int, shot);
        QFETCH(int, tableRow);
        openSurvey();
        auto *view = child<QTableView>(m_window, "problemView");
        view->sortByColumn(column, order);
        auto *filter = child<QComboBox>(m_window, "problemKindFilter");
        filter->setCurrentIndex(filter->findData(kind));
        QCOMPARE(view->model()->rowCount(), rows);
        QCOMPARE(view->model()->index(0, ProblemModel::ShotColumn).data().toInt() - 1, shot);

        view->setFocus();
        view->setCurrentIndex(view->model()->index(0, 0));
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(m_window->currentShot(), shot);
        auto *plot = child<ShotPlot>(m_window, "shotPlot");
        QCOMPARE(child<QTableView>(m_window, "shotTable")->currentIndex().row(), tableRow);
        QCOMPARE(plot->selectedRow(), tableRow);
        QVERIFY2(plot->title().text().startsWith(QStringLiteral("Shot %1 >").arg(shot + 1)),
                 qPrintable(plot->title().text()));
        QCOMPARE(child<QComboBox>(m_window, "shotCombo")->currentIndex(), shot);
    }

    // Reduced time is t - |x| / V with V in offset units per second, the
    // residual mode plots time - model, and a click on a pick selects its row.
    void plotReducesTimeAndPicksByClick_data()
    {
        QTest::addColumn<QString>("velocity");
        QTest::addColumn<bool>("residuals");
        QTest::addColumn<int>("row");
        QTest::newRow("plain time") << QString() << false << 5;
        QTest::newRow("reduced by 3000") << QStringLiteral("3000") << false << 40;
        QTest::newRow("residuals") << QStringLiteral("3000") << true << 30;
    }

    void plotReducesTimeAndPicksByClick()
    {
        QFETCH(QString, velocity);
        QFETCH(bool, residuals);
        QFETCH(int, row);
        openSurvey();
        auto *edit = child<QLineEdit>(m_window, "reductionVelocity");
        edit->setText(velocity);
        emit edit->editingFinished();
        child<QCheckBox>(m_window, "residualMode")->setChecked(residuals);
        auto *plot = child<ShotPlot>(m_window, "shotPlot");
        const FbRecord r = plantedSurvey().at(row);
        const double shift = velocity.isEmpty() ? 0.0 : std::abs(r.offset) / velocity.toDouble() * 1000.0;
        const auto *shot = qobject_cast<const ShotTableModel *>(child<QTableView>(m_window, "shotTable")->model());
        const double y = residuals ? double(shot->fit().picks.at(row).residual) : r.fb_time - shift;
        QCOMPARE(plot->pickPoint(row), QPointF(r.offset, y));

        // The axes as drawn, where the click lands.
        plot->replot();
        const QPoint pos(qRound(plot->canvasMap(QwtPlot::xBottom).transform(r.offset)),
                         qRound(plot->canvasMap(QwtPlot::yLeft).transform(y)));
        QTest::mouseClick(plot->canvas(), Qt::LeftButton, Qt::NoModifier, pos);
        QCOMPARE(child<QTableView>(m_window, "shotTable")->currentIndex().row(), row);
    }

    // Source values differing from the shot's most common one are red cell
    // by cell, an outlier's time alone is bold, and each says why.
    void tableMarksOffendingCellsOnly_data()
    {
        QTest::addColumn<int>("shot");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("red");
        QTest::addColumn<bool>("bold");
        QTest::newRow("differing s_elev") << VaryingShot << Channels / 2 << int(FbColumns::SElev) << true << false;
        QTest::newRow("common s_elev") << VaryingShot << 0 << int(FbColumns::SElev) << false << false;
        QTest::newRow("other column of that record")
            << VaryingShot << Channels / 2 << int(FbColumns::GElev) << false << false;
        QTest::newRow("outlier time") << SpikeShotA << SpikeChannelA - 1 << int(FbColumns::FbTime) << false << true;
        QTest::newRow("neighbour's time") << SpikeShotA << SpikeChannelA << int(FbColumns::FbTime) << false << false;
    }

    void tableMarksOffendingCellsOnly()
    {
        QFETCH(int, shot);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(bool, red);
        QFETCH(bool, bold);
        openSurvey();
        m_window->goToShot(shot);
        const QModelIndex cell = child<QTableView>(m_window, "shotTable")->model()->index(row, column);
        const QVariant foreground = cell.data(Qt::ForegroundRole);
        QCOMPARE(foreground.isValid() && foreground.value<QBrush>().color() == QColor(Qt::red), red);
        QCOMPARE(cell.data(Qt::FontRole).value<QFont>().bold(), bold);
        QCOMPARE(!cell.data(Qt::ToolTipRole).toString().isEmpty(), red || bold);
    }

    // Keys, and clicks on the map, move from shot to shot.
    void goesToShot_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");    // with its modifiers; 0: a click on the map
        QTest::addColumn<int>("source"); // the source clicked on the map; -1: a spot far from any
        QTest::addColumn<int>("to");
        const int shiftN = Qt::Key_N | Qt::ShiftModifier;
        // The shifted shot's pairs are its problems, not its partners'.
        QTest::newRow("N skips clean shots") << ShiftedShot + 1 << int(Qt::Key_N) << -1 << SpikeShotA;
        QTest::newRow("Shift+N goes back") << SpikeShotA << shiftN << -1 << ShiftedShot;
        QTest::newRow("N after the last problem stays") << VaryingShot << int(Qt::Key_N) << -1 << VaryingShot;
        QTest::newRow("Page Down") << 5 << int(Qt::Key_PageDown) << -1 << 6;
        QTest::newRow("Page Up at the first shot stays") << 0 << int(Qt::Key_PageUp) << -1 << 0;
        QTest::newRow("a source on the map") << 0 << 0 << 16 << 16;
        QTest::newRow("the last source on the map") << 0 << 0 << Shots - 1 << Shots - 1;
        QTest::newRow("an empty spot on the map") << 5 << 0 << -1 << 5;
    }

    void goesToShot()
    {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, source);
        QFETCH(int, to);
        openSurvey();
        m_window->goToShot(from);
        if (key) {
            auto *table = child<QTableView>(m_window, "shotTable");
            table->setFocus();
            QTest::keyClick(table, Qt::Key(key & ~Qt::KeyboardModifierMask),
                            Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        } else {
            auto *map = child<SurveyMap>(m_window, "surveyMap");
            const QPoint pos = source >= 0 ? map->canvasPosOf(source) : QPoint(5, 5);
            QVERIFY(map->canvas()->rect().contains(pos));
            QTest::mouseClick(map->canvas(), Qt::LeftButton, Qt::NoModifier, pos);
        }
        QCOMPARE(m_window->currentShot(), to);
    }

    // The table is the viewer's: titles, cell texts, status colours; the
    // selector lists "position > ffid" padded to the digits of the count.
    void showsTheViewersColumnsAndShotList()
    {
        openSurvey();
        const QVector<FbRecord> records = plantedSurvey();
        const QAbstractItemModel *table = child<QTableView>(m_window, "shotTable")->model();
        const QColor backgrounds[] = {QColor(255, 0, 255, 120), QColor(255, 0, 0, 120), QColor(0, 255, 0, 120)};
        for (int row = 0; row < 3; ++row) {
            for (int c = 0; c < FbColumns::Count; ++c) {
                QCOMPARE(table->headerData(c, Qt::Horizontal).toString(), QString::fromLatin1(FbColumns::titles[c]));
                QCOMPARE(table->index(row, c).data().toString(), FbColumns::cellText(records.at(row), c));
            }
            const QVariant background = table->index(row, FbColumns::FbTime).data(Qt::BackgroundRole);
            QCOMPARE(background.value<QBrush>().color(), backgrounds[row]);
        }
        const QComboBox *shots = child<QComboBox>(m_window, "shotCombo");
        QCOMPARE(shots->count(), Shots);
        QCOMPARE(shots->itemText(0), QStringLiteral(" 1 > 5001"));
        QCOMPARE(shots->itemText(Shots - 1), QStringLiteral("24 > 5024"));
    }

    // Escape closes the modeless window and deletes it; F1 shows its page.
    void escapeDeletesAndF1AsksForItsPage()
    {
        openSurvey();
        QTest::keyClick(m_window, Qt::Key_F1);
        QVERIFY(SorvHelpWindow::instance()->isVisible());
        QCOMPARE(SorvHelpWindow::instance()->source().fileName(), QStringLiteral("fbpickqc.html"));
        SorvHelpWindow::instance()->close();
        QTest::keyClick(m_window, Qt::Key_Escape);
        QTRY_VERIFY2(!m_window, "the window was not deleted");
    }

    // Cancel hides the progress at once, no result of the cancelled run
    // arrives later, and the window opens the next file normally.
    void cancelLeavesUsableWindow()
    {
        const QString big = m_dir.filePath(QStringLiteral("big.fb"));
        FbGenerator::Options options;
        options.shots = 4000;
        options.channels = 240;
        FbGenerator::FileWriter writer(options);
        QVERIFY2(writer.write(big), qPrintable(writer.errorString()));

        m_window = new FbPickQcWindow;
        m_window->show();
        QSignalSpy finished(m_window, &FbPickQcWindow::loadFinished);
        m_window->openFile(big);
        QTRY_VERIFY_WITH_TIMEOUT(child<QProgressBar>(m_window, "loadProgress")->value() > 0, 30000);
        QVERIFY2(m_window->isLoading(), "the load ended before Cancel could be pressed");
        QTest::mouseClick(child<QPushButton>(m_window, "cancelButton"), Qt::LeftButton);
        QVERIFY(!m_window->isLoading());
        QVERIFY(!child<QProgressBar>(m_window, "loadProgress")->isVisible());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        QTest::qWait(300);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!m_window->data());

        m_window->openFile(m_survey);
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.last().at(0).toBool(), true);
        QVERIFY(child<QTableView>(m_window, "problemView")->model()->rowCount() > 0);
        QCOMPARE(child<QTableView>(m_window, "shotTable")->model()->rowCount(), Channels);
    }

    // The window says why a file cannot be judged (why each kind of file
    // fails is the QC pass's test), and judges a file cut short with a note.
    void fileThatCannotBeOpenedSaysWhy_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("opens");
        const QVector<FbRecord> records = plantedSurvey();
        const QByteArray survey = FbTest::fileBytes(records, FbTest::headerFor(records));
        QTest::newRow("empty") << QByteArray("") << false;
        QTest::newRow("cut short: incomplete") << survey.left(survey.size() - 30) << true;
    }

    void fileThatCannotBeOpenedSaysWhy()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, opens);
        const QString name = m_dir.filePath(QStringLiteral("odd-%1.fb").arg(QTest::currentDataTag()));
        QVERIFY(FbTest::writeFile(name, bytes));
        openSurvey(name, opens);
        const QLabel *label = child<QLabel>(m_window, "messageLabel");
        QVERIFY2(!label->isHidden(), "nothing said");
        const QString prefix = QStringLiteral("Cannot open %1: ").arg(name);
        if (opens)
            QVERIFY2(label->text().contains(QStringLiteral("incomplete")), qPrintable(label->text()));
        else
            QVERIFY2(label->text().startsWith(prefix) && label->text().size() > prefix.size() + 3,
                     qPrintable(label->text()));
    }

    // The map colours its sources by the chosen quantity, and its tool tip
    // gives a shot's ffid and values whatever the choice.
    void mapColoursByTheChosenQuantity_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QString>("barTitle");
        QTest::newRow("outliers") << 0 << "Outliers per shot";
        QTest::newRow("rms residual") << 1 << "RMS residual (ms)";
        QTest::newRow("picks") << 2 << "Picks per shot";
    }

    void mapColoursByTheChosenQuantity()
    {
        QFETCH(int, choice);
        QFETCH(QString, barTitle);
        openSurvey();
        child<QComboBox>(m_window, "mapColorBy")->setCurrentIndex(choice);
        auto *map = child<SurveyMap>(m_window, "surveyMap");
        QCOMPARE(map->axisTitle(QwtPlot::yRight).text(), barTitle);
        const QString text = map->shotText(SpikeShotA);
        for (const QString &line : {QStringLiteral("Shot %1").arg(SpikeShotA + 1),
                                    QStringLiteral("ffid %1").arg(5001 + SpikeShotA), QStringLiteral("Outliers: 1"),
                                    QStringLiteral("Picks: %1").arg(Channels)})
            QVERIFY2(text.contains(line), qPrintable(text));
    }

    // File > Export Plot and Export Map write what the file dialog names,
    // in its format, at a bounded size even from a squeezed pane.
    void exportsPlotAndMap_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("magic"); // the file's first bytes
        QTest::addColumn<bool>("squeezed");    // the plot's pane 1 pixel wide
        QTest::newRow("PNG") << "png" << QByteArray("\x89PNG") << false;
        QTest::newRow("SVG") << "svg" << QByteArray("<?xml") << false;
        QTest::newRow("PDF") << "pdf" << QByteArray("%PDF") << false;
        QTest::newRow("PNG of a squeezed plot") << "png" << QByteArray("\x89PNG") << true;
    }

    void exportsPlotAndMap()
    {
        QFETCH(QString, suffix);
        QFETCH(QByteArray, magic);
        QFETCH(bool, squeezed);
        openSurvey();
        if (squeezed) {
            child<ShotPlot>(m_window, "shotPlot")->setFixedWidth(1);
            QTRY_COMPARE(child<ShotPlot>(m_window, "shotPlot")->width(), 1);
        }
        const struct { const char *action, *widget; } exports[] = {{"Export &Plot...", "shotPlot"},
                                                                    {"Export &Map...", "surveyMap"}};
        for (const auto &e : exports) {
            const QString file = m_dir.filePath(QStringLiteral("%1-%2.%3").arg(QLatin1String(e.widget),
                                                                               QTest::currentDataTag(), suffix));
            ModalDriver driver([file](QWidget *modal) {
                auto *dialog = qobject_cast<QFileDialog *>(modal);
                if (dialog) {
                    // Typed, as a user would: a name chosen with selectFile()
                    // is lost when the dialog is still reading its folder.
                    dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(file);
                    QMetaObject::invokeMethod(dialog, "accept");
                }
                return dialog != nullptr;
            });
            QAction *action = nullptr;
            for (QAction *a : m_window->findChildren<QAction *>())
                action = a->text() == QLatin1String(e.action) ? a : action;
            QVERIFY(action);
            action->trigger();
            QVERIFY2(child<QLabel>(m_window, "messageLabel")->isHidden(),
                     qPrintable(child<QLabel>(m_window, "messageLabel")->text()));
            QFile out(file);
            QVERIFY2(out.open(QIODevice::ReadOnly), e.widget);
            QVERIFY2(out.read(magic.size()) == magic, e.widget);
            if (suffix == QLatin1String("png")) {
                const QSize shown = child<QWidget>(m_window, e.widget)->size();
                QCOMPARE(QImage(file).size(), ImageExport::sizeFor(shown));
                QVERIFY(QImage(file).width() <= ImageExport::MaxSide && QImage(file).height() <= ImageExport::MaxSide);
            }
        }
    }

private:
    // Opens name (the survey unless given) in a new window; the load must
    // end as `opens` says.
    void openSurvey(const QString &name = QString(), bool opens = true)
    {
        m_window = new FbPickQcWindow;
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        QSignalSpy finished(m_window, &FbPickQcWindow::loadFinished);
        m_window->openFile(name.isEmpty() ? m_survey : name);
        QVERIFY(finished.wait(20000));
        QVERIFY2(finished.at(0).at(0).toBool() == opens,
                 qPrintable(child<QLabel>(m_window, "messageLabel")->text()));
    }

    QTemporaryDir m_dir;
    QString m_survey;
    QPointer<FbPickQcWindow> m_window;
};

QTEST_MAIN(TestFbPickQc)
#include "tst_fbpickqc.moc"
