#include "qcactions.h"

#include "fbpickqcwindow.h"
#include <fbview/imageexport.h>
#include "pickeditor.h"
#include <fbqc/qccsv.h>
#include "qcdocument.h"
#include "shotpanel.h"
#include <fbfile/sgtconverter.h>
#include <fbview/shotplot.h>
#include <fbview/surveymap.h>
#include "surveypanel.h"
#include "tracesdialog.h"
#include "tracespanel.h"

#include <SorvBase/sorvbaseutil.h>
#include <SorvBase/sorvprojectmanager.h>

#include <QActionGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

#include <cmath>

using namespace FbFile;
using namespace FbTrace;
using namespace FbQc;
using namespace FbView;

const char *const QcActions::TracesKey = "tracesPath";
const char *const QcActions::FirstSampleKey = "tracesFirstSampleMs";
const char *const QcActions::TracesReadingKey = "tracesReading";
const char *const QcActions::TimeUnitKey = "timeUnit";

namespace {

// A kept time that may be zero or negative; NaN when none was kept.
double keptTime(const QVariant &kept)
{
    bool ok = false;
    const double ms = kept.toDouble(&ok);
    return ok && std::isfinite(ms) ? ms : qQNaN();
}

} // namespace

QcActions::QcActions(FbPickQcWindow *window, QcDocument *document, ShotPanel *shot, SurveyPanel *survey,
                     TracesPanel *traces, PickEditor *editor)
    : QObject(window), m_window(window), m_document(document), m_shot(shot), m_survey(survey), m_traces(traces),
      m_menuBar(new QMenuBar(window))
{
    QMenu *fileMenu = m_menuBar->addMenu(tr("&File"));
    QAction *open = fileMenu->addAction(tr("&Open..."), this, &QcActions::openFileDialog);
    open->setShortcut(QKeySequence::Open);
    QAction *openTraces = fileMenu->addAction(tr("Open &Traces..."), this, &QcActions::openTracesDialog);
    openTraces->setObjectName(QStringLiteral("actionOpenTraces"));
    addTimeUnitMenu(fileMenu);
    fileMenu->addSeparator();
    m_exportActions << fileMenu->addAction(tr("Export &Plot..."), this, [this] {
        exportDialog(m_shot->plot(), tr("Export Plot"), QStringLiteral("shot-%1").arg(m_document->currentShot() + 1));
    }) << fileMenu->addAction(tr("Export &Map..."), this, [this] {
        exportDialog(m_survey->map(), tr("Export Map"), QStringLiteral("map"));
    }) << fileMenu->addAction(tr("Export P&roblems as CSV..."), this, &QcActions::exportProblemsDialog);
    fileMenu->addSeparator();
    QAction *closeAction = fileMenu->addAction(tr("&Close"), window, &QWidget::close);
    editor->addFileActions(fileMenu, closeAction);
    m_menuBar->addMenu(editor->createEditMenu(m_menuBar));
    updateActions();
}

// What fb_time is stored in, kept per project: a file in seconds is read,
// judged and edited in ms like any other.
void QcActions::addTimeUnitMenu(QMenu *fileMenu)
{
    QMenu *menu = fileMenu->addMenu(tr("fb_time &Unit"));
    auto *units = new QActionGroup(menu);
    units->setObjectName(QStringLiteral("timeUnit"));
    QString kept = SorvBaseUtil::projectValue(FbPickQcWindow::projectKey(TimeUnitKey)).toString();
    double seconds = 0.001;
    if (!SgtConverter::timeUnit(kept, &seconds))
        kept = QStringLiteral("ms");
    for (const QString &name : SgtConverter::timeUnitNames()) {
        QAction *action = menu->addAction(name);
        action->setCheckable(true);
        action->setChecked(name == kept);
        action->setData(name);
        units->addAction(action);
    }
    m_document->setTimeUnit(seconds);
    connect(units, &QActionGroup::triggered, this, [this](QAction *action) {
        double chosen = 0.001;
        if (!SgtConverter::timeUnit(action->data().toString(), &chosen))
            return;
        SorvBaseUtil::setProjectValue(FbPickQcWindow::projectKey(TimeUnitKey), action->data());
        m_document->setTimeUnit(chosen);
    });
}

void QcActions::updateActions()
{
    const bool any = m_document->shotCount() > 0 && m_document->currentShot() >= 0;
    for (QAction *action : qAsConst(m_exportActions))
        action->setEnabled(any);
}

QString QcActions::startDir() const
{
    const std::shared_ptr<const QcData> &data = m_document->data();
    return data ? QFileInfo(data->fileName).absolutePath() : SorvProjectManager::instance().define().projectDir;
}

void QcActions::openFileDialog()
{
    const QString name =
        QFileDialog::getOpenFileName(m_window, tr("Open"), startDir(), QStringLiteral("FB files (*.cal *.fb *.fit)"));
    if (!name.isEmpty())
        m_window->openFile(name);
}

void QcActions::reopenTraces()
{
    const TracesSource traces = keptTraces();
    if (!traces.path.isEmpty())
        m_traces->openTraces(traces);
}

void QcActions::openTracesDialog()
{
    TracesDialog dialog(m_window);
    dialog.setSource(m_traces->tracesPath().isEmpty() ? keptTraces() : m_traces->source());
    if (dialog.exec() == QDialog::Accepted)
        m_traces->openTraces(dialog.source());
}

TracesSource QcActions::keptTraces() const
{
    TracesSource source =
        TracesSource::fromVariant(SorvBaseUtil::projectValue(FbPickQcWindow::projectKey(TracesReadingKey)));
    source.path = SorvBaseUtil::projectValue(FbPickQcWindow::projectKey(TracesKey)).toString();
    source.firstSampleMs = keptTime(SorvBaseUtil::projectValue(FbPickQcWindow::projectKey(FirstSampleKey)));
    return source;
}

void QcActions::exportDialog(QwtPlot *plot, const QString &title, const QString &what)
{
    // Beside the file, named after it and what is drawn, as a corrected copy is.
    const std::shared_ptr<const QcData> &data = m_document->data();
    const QFileInfo file(data ? data->fileName : QString());
    const QString suggested =
        QDir(startDir()).filePath(file.completeBaseName() + QLatin1Char('-') + what + QStringLiteral(".png"));
    const QString name = QFileDialog::getSaveFileName(
        m_window, title, suggested, tr("PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"));
    // The open file is never replaced, whatever link the name goes through.
    const QStringList protect = data ? QStringList{data->fileName} : QStringList();
    ImageExport image;
    if (!name.isEmpty() && !image.write(plot, name, ImageExport::sizeFor(plot->size()), protect))
        emit message(image.errorString(), true);
}

void QcActions::exportProblemsDialog()
{
    const std::shared_ptr<const QcData> &data = m_document->data();
    if (!data)
        return;
    const QString dir = QFileDialog::getExistingDirectory(m_window, tr("Export Problems to Folder"), startDir());
    QcCsv::Tables tables;
    if (!dir.isEmpty() && !tables.write(dir, data->report, {data->fileName}))
        emit message(tables.errorString(), true);
}
