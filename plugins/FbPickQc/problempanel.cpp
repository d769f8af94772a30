#include "problempanel.h"

#include "problemmodel.h"
#include "ui_problempanel.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>

#include <limits>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

namespace {

// The least width of the detail, which takes what the other columns leave.
constexpr int DetailMinimum = 160;

int plural(qint64 n)
{
    return int(qMin<qint64>(n, std::numeric_limits<int>::max()));
}

} // namespace

ProblemPanel::ProblemPanel(QcDocument *document, QWidget *parent)
    : QWidget(parent), m_document(document), m_ui(new Ui::ProblemPanel), m_model(new ProblemModel(this))
{
    m_ui->setupUi(this);
    QTreeView *view = m_ui->problemView;
    view->setModel(m_model);
    // The chosen order until the user sorts by a column.
    QHeaderView *header = view->header();
    header->setSortIndicator(-1, Qt::AscendingOrder);
    // What a problem is comes right after its shot, wrapped to the width
    // the pane has; the counts follow.
    header->moveSection(header->visualIndex(ProblemModel::DetailColumn), 1);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(40);
    header->setTextElideMode(Qt::ElideRight);
    view->viewport()->installEventFilter(this);

    QComboBox *kinds = m_ui->problemKindFilter;
    kinds->addItem(tr("All kinds"), -1);
    for (int k = 0; k < FbQc::KindCount; ++k)
        kinds->addItem(ProblemModel::kindName(FbQc::Kind(k)), k);
    // Narrow in its row, whole in its list: some kinds have long names.
    kinds->view()->setMinimumWidth(kinds->view()->sizeHintForColumn(0) + 24);

    // The view is given long lists a batch at a time; the counts are the whole.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        fitColumns();
        m_ui->problemCount->setText(tr("%1, %2").arg(tr("%Ln problem(s)", nullptr, plural(m_model->problemCount())),
                                                     tr("%Ln shot(s)", nullptr, plural(m_model->shotCount()))));
        emit listChanged();
    });
    connect(kinds, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this, kinds](int i) { m_model->setKind(kinds->itemData(i).toInt()); });
    connect(m_ui->problemOrder, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int order) {
        m_model->setOrder(ProblemModel::Order(order));
        m_ui->problemView->header()->setSortIndicator(-1, Qt::AscendingOrder);
        emit orderChosen(order);
    });
    connect(view, &QTreeView::activated, this, &ProblemPanel::activate);
    connect(document, &QcDocument::fileShown, this,
            [this](const std::shared_ptr<const QcData> &data) { showProblems(data, false); });
    connect(document, &QcDocument::verdictsChanged, this,
            [this](const std::shared_ptr<const QcData> &data) { showProblems(data, true); });
}

bool ProblemPanel::eventFilter(QObject *watched, QEvent *event)
{
    QTreeView *view = m_ui->problemView;
    if (watched == view->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return QWidget::eventFilter(watched, event);
}

// The shot as wide as its label, each count as its title where the pane
// has room, else down to its widest number with the title cut (its tool
// tip whole): the numbers stay in sight beside a readable detail.
void ProblemPanel::fitColumns()
{
    QTreeView *view = m_ui->problemView;
    const QHeaderView *header = view->header();
    const int least = header->minimumSectionSize();
    const QAbstractItemView *rows = view; // the rows as far as they are loaded
    const int shot = qMax(header->sectionSizeHint(ProblemModel::ShotColumn), rows->sizeHintForColumn(0));
    // Each count's widest number, and what its title wants beyond that.
    int number[ProblemModel::DetailColumn] = {}, more[ProblemModel::DetailColumn] = {};
    int wanted = 0;
    int spare = view->viewport()->width() - shot - DetailMinimum;
    for (int c = ProblemModel::OutliersColumn; c < ProblemModel::DetailColumn; ++c) {
        number[c] = qMax(least, rows->sizeHintForColumn(c));
        wanted += more[c] = qMax(0, header->sectionSizeHint(c) - number[c]);
        spare -= number[c];
    }
    int counts = 0;
    view->setColumnWidth(ProblemModel::ShotColumn, shot);
    for (int c = ProblemModel::OutliersColumn; c < ProblemModel::DetailColumn; ++c) {
        const int width =
            number[c] + (wanted <= spare ? more[c] : int(qint64(more[c]) * qMax(spare, 0) / qMax(wanted, 1)));
        view->setColumnWidth(c, width);
        counts += width;
    }
    view->setColumnWidth(ProblemModel::DetailColumn, qMax(DetailMinimum, view->viewport()->width() - shot - counts));
}

ProblemPanel::~ProblemPanel() = default;

void ProblemPanel::setOrder(int order)
{
    m_ui->problemOrder->setCurrentIndex(qBound(0, order, 1));
    m_model->setOrder(ProblemModel::Order(m_ui->problemOrder->currentIndex()));
}

void ProblemPanel::showProblems(const std::shared_ptr<const QcData> &data, bool keepPlace)
{
    QTreeView *view = m_ui->problemView;
    QScrollBar *scroll = view->verticalScrollBar();
    const int scrolled = scroll->value();
    m_model->setProblems(&data->report, data->problems);
    // A sort by a column is kept across judging again.
    const QHeaderView *header = view->header();
    if (header->sortIndicatorSection() >= 0 && header->sortIndicatorSection() < ProblemModel::DetailColumn)
        m_model->sort(header->sortIndicatorSection(), header->sortIndicatorOrder());
    if (keepPlace)
        scroll->setValue(scrolled);
}

qint32 ProblemPanel::adjacentShot(qint32 shot, int direction) const
{
    return m_model->adjacentShot(shot, direction);
}

void ProblemPanel::step(int direction)
{
    if (!m_document->data())
        return;
    const qint32 shot = m_model->adjacentShot(m_document->currentShot(), direction);
    if (shot < 0)
        return;
    // The shot's row in the list, and its first problem in the table.
    const QModelIndex row = m_model->shotIndex(shot);
    m_ui->problemView->setCurrentIndex(row);
    m_ui->problemView->scrollTo(row);
    const QModelIndex first = m_model->firstProblemOf(row);
    m_document->goTo(shot, first.isValid() ? QcDocument::targetOf(m_model->problem(first)) : QcDocument::Target());
}

void ProblemPanel::activate(const QModelIndex &index)
{
    if (!index.isValid() || !m_document->data())
        return;
    // A shot's row goes to its first problem.
    const QModelIndex finding = m_model->isShotRow(index) ? m_model->firstProblemOf(index) : index;
    const qint32 shot = index.data(ProblemModel::ShotRole).toInt();
    if (shot >= 0)
        m_document->goTo(shot,
                         finding.isValid() ? QcDocument::targetOf(m_model->problem(finding)) : QcDocument::Target());
}
