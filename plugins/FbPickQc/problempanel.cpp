#include "problempanel.h"

#include "problemmodel.h"
#include "ui_problempanel.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>

#include <limits>

using namespace FbFile;
using namespace FbQc;
using namespace FbView;

namespace {

// The width of the detail, which takes what the other columns leave: at
// least DetailMinimum, down to DetailLeast where the counts' titles need
// the room (the detail's tool tip has it whole).
constexpr int DetailMinimum = 160;
constexpr int DetailLeast = 100;

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
    header->setDefaultAlignment(Qt::AlignCenter | Qt::Alignment(Qt::TextWordWrap));
    view->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sortIndicatorChanged, this, &ProblemPanel::fitColumns);

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

namespace {

// What a count's title needs: on one line, or at least broken over two
// where its words allow, in the header's font, with the header's margins
// and the sort arrow's room when the list is sorted by it.
struct TitleRoom
{
    int oneLine = 0;
    int twoLines = 0;
    int twoLinesHigh = 0; // the header's height for two lines of it
};

TitleRoom titleRoom(const QHeaderView *header, int column)
{
    const QString title = header->model()->headerData(column, Qt::Horizontal).toString();
    const QFontMetrics metrics(header->font());
    const QStyle *style = header->style();
    const int margin = style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    int frame = 2 * margin + 2;
    if (header->isSortIndicatorShown() && header->sortIndicatorSection() == column)
        frame += style->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header) + margin;
    TitleRoom room;
    room.oneLine = metrics.horizontalAdvance(title) + frame;
    const int twoHigh =
        metrics.boundingRect(QRect(0, 0, 4 * room.oneLine, 4 * room.oneLine), 0, title + QLatin1Char('\n') + title)
            .height();
    room.twoLinesHigh = twoHigh + 2 * margin + 2;
    const auto fits = [&](int width) {
        const QRect needs = metrics.boundingRect(QRect(0, 0, width, 4 * twoHigh), Qt::TextWordWrap, title);
        return needs.width() <= width && needs.height() <= twoHigh;
    };
    int lo = 1, hi = room.oneLine - frame;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (fits(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    room.twoLines = hi + frame;
    return room;
}

} // namespace

// The shot as wide as its label, each count as wide as its widest number
// and its title: on one line where the pane has room, else on two, the
// header a line higher, the detail giving room down to its least. Short of
// even that, the room is shared and the titles are cut (their tool tips
// whole): the numbers stay in sight beside the detail.
void ProblemPanel::fitColumns()
{
    QTreeView *view = m_ui->problemView;
    QHeaderView *header = view->header();
    const int least = header->minimumSectionSize();
    const QAbstractItemView *rows = view; // the rows as far as they are loaded
    const int shot = qMax(header->sectionSizeHint(ProblemModel::ShotColumn), rows->sizeHintForColumn(0));
    constexpr int Counts = ProblemModel::DetailColumn;
    int width[Counts] = {}, oneLine[Counts] = {}, twoHigh[Counts] = {};
    int spare = view->viewport()->width() - shot - DetailMinimum;
    int wrapped = 0; // what the titles want beyond the numbers, on two lines
    for (int c = ProblemModel::OutliersColumn; c < Counts; ++c) {
        const int number = qMax(least, rows->sizeHintForColumn(c));
        const TitleRoom room = titleRoom(header, c);
        width[c] = qMax(number, room.twoLines);
        oneLine[c] = qMax(number, room.oneLine);
        twoHigh[c] = room.twoLinesHigh;
        spare -= number;
        wrapped += width[c] - number;
    }
    const bool whole = wrapped <= spare + DetailMinimum - DetailLeast;
    if (whole) {
        // On one line where it fits, the shortest titles first.
        spare -= wrapped;
        for (;;) {
            int next = -1;
            for (int c = ProblemModel::OutliersColumn; c < Counts; ++c) {
                const int more = oneLine[c] - width[c];
                if (more > 0 && more <= spare && (next < 0 || more < oneLine[next] - width[next]))
                    next = c;
            }
            if (next < 0)
                break;
            spare -= oneLine[next] - width[next];
            width[next] = oneLine[next];
        }
    } else {
        // Each title a share of what is left beyond its number.
        for (int c = ProblemModel::OutliersColumn; c < Counts; ++c) {
            const int number = qMax(least, rows->sizeHintForColumn(c));
            width[c] = number +
                       int(qint64(width[c] - number) * qMax(spare + DetailMinimum - DetailLeast, 0) / qMax(wrapped, 1));
        }
    }
    int high = 0; // the header's, when a title is broken
    int counts = 0;
    view->setColumnWidth(ProblemModel::ShotColumn, shot);
    for (int c = ProblemModel::OutliersColumn; c < Counts; ++c) {
        view->setColumnWidth(c, width[c]);
        counts += width[c];
        if (whole && width[c] < oneLine[c])
            high = qMax(high, twoHigh[c]);
    }
    view->setColumnWidth(ProblemModel::DetailColumn, qMax(DetailLeast, view->viewport()->width() - shot - counts));
    // Broken titles read whole over two lines; cut ones end in an ellipsis.
    header->setTextElideMode(whole ? Qt::ElideNone : Qt::ElideRight);
    if (high != header->minimumHeight()) {
        header->setMinimumHeight(high);
        // The list lays its header out anew only when asked.
        QMetaObject::invokeMethod(view, "updateGeometries");
    }
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
