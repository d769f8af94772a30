#include <fbview/viewplot.h>

#include <qwt_plot_panner.h>
#include <qwt_plot_picker.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>
#include <qwt_text.h>
#include <qwt_text_engine.h>

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace FbView {

namespace {

// In characters and lines of the plot's font: two axes with titles and
// labels either side of a canvas a few dozen points across; by preference
// room for a shot of a few hundred picks, leaving the rest of a window to its
// tables.
constexpr int MinimumColumns = 30;
constexpr int MinimumLines = 12;
constexpr int PreferredColumns = 60;
constexpr int PreferredLines = 18;
// Pixels left free at each end of an axis title, and the smallest size a
// title is set in to fit its axis.
constexpr double TitleMargin = 4.0;
constexpr qreal MinTitlePoints = 6.0;

bool inColumns(uint c)
{
    const QChar::Script script = QChar::script(c);
    return script == QChar::Script_Han || script == QChar::Script_Hiragana || script == QChar::Script_Katakana ||
           script == QChar::Script_Hangul;
}

bool writtenInColumns(const QString &text)
{
    const QVector<uint> codes = text.toUcs4();
    return std::any_of(codes.cbegin(), codes.cend(), inColumns);
}

// A title down a vertical axis in a script written in columns (Chinese,
// Japanese, Korean): each such character upright under the one before,
// where turned with the axis they would lie on their side; a run of Latin
// text, such as a unit, turned as a column sets it.
class UprightTextEngine : public QwtTextEngine
{
public:
    static constexpr int Format = QwtText::OtherFormat + 1;

    double heightForWidth(const QFont &font, int, const QString &text, double) const override
    {
        return columnWidth(QFontMetricsF(font), text);
    }
    // Along the axis, and across it, as Qwt lays a title out before turning it.
    QSizeF textSize(const QFont &font, int, const QString &text) const override
    {
        const QFontMetricsF metrics(font);
        qreal along = 0;
        for (const Piece &piece : pieces(text))
            along += length(metrics, piece);
        return QSizeF(along, columnWidth(metrics, text));
    }
    void textMargins(const QFont &, const QString &, double &left, double &right, double &top,
                     double &bottom) const override
    {
        left = right = top = bottom = 0.0;
    }
    void draw(QPainter *painter, const QRectF &rect, int, const QString &text) const override
    {
        // The axis has turned the painter a quarter: the column turns back.
        const QTransform turned = painter->transform();
        painter->save();
        painter->translate(rect.center());
        painter->rotate(-std::atan2(turned.m12(), turned.m11()) * 180.0 / M_PI);
        const QFontMetricsF metrics(painter->font());
        const QSizeF size = textSize(painter->font(), 0, text);
        qreal y = -size.width() / 2;
        for (const Piece &piece : pieces(text)) {
            const qreal step = length(metrics, piece);
            if (piece.upright) {
                painter->drawText(QRectF(-rect.height() / 2, y, rect.height(), step), Qt::AlignCenter, piece.text);
            } else {
                painter->save();
                painter->translate(0, y);
                painter->rotate(90);
                painter->drawText(QRectF(0, -metrics.height() / 2, step, metrics.height()), Qt::AlignCenter,
                                  piece.text);
                painter->restore();
            }
            y += step;
        }
        painter->restore();
    }
    bool mightRender(const QString &) const override { return false; }

private:
    struct Piece
    {
        QString text;
        bool upright;
    };
    // Each character written in columns on its own, the text between them in runs.
    static QVector<Piece> pieces(const QString &text)
    {
        QVector<Piece> list;
        for (const uint c : text.toUcs4()) {
            const QString one = QString::fromUcs4(&c, 1);
            if (inColumns(c) || list.isEmpty() || list.last().upright)
                list.append({one, inColumns(c)});
            else
                list.last().text += one;
        }
        return list;
    }
    static qreal length(const QFontMetricsF &metrics, const Piece &piece)
    {
        return piece.upright ? metrics.height() : metrics.horizontalAdvance(piece.text);
    }
    static qreal columnWidth(const QFontMetricsF &metrics, const QString &text)
    {
        qreal widest = 0;
        for (const Piece &piece : pieces(text))
            widest = std::max(widest, piece.upright ? metrics.horizontalAdvance(piece.text) : metrics.height());
        return widest;
    }
};

// Follows the mouse with a text of what is under it, in a framed box, so
// that it reads as a note above the plot on a white canvas too, not as
// text of the plot itself; the frame keeps clear of the text.
class TextTracker : public QwtPlotPicker
{
public:
    static constexpr int Padding = 4;

    TextTracker(QWidget *canvas, std::function<QString(const QPoint &)> text)
        : QwtPlotPicker(canvas), m_text(std::move(text))
    {
        setTrackerMode(QwtPicker::AlwaysOn);
    }

protected:
    QwtText trackerText(const QPoint &pos) const override
    {
        QwtText text(m_text(pos));
        text.setRenderFlags(Qt::AlignLeft);
        return text;
    }

    QRect trackerRect(const QFont &font) const override
    {
        const QRect text = QwtPlotPicker::trackerRect(font);
        if (text.isEmpty())
            return text;
        // The text's place grown by the padding, moved back inside the canvas.
        QRect box = text.adjusted(-Padding, -Padding, Padding, Padding);
        const QRect canvas = parentWidget()->rect();
        box.moveLeft(qBound(canvas.left(), box.left(), qMax(canvas.left(), canvas.right() + 1 - box.width())));
        box.moveTop(qBound(canvas.top(), box.top(), qMax(canvas.top(), canvas.bottom() + 1 - box.height())));
        return box;
    }

    void drawTracker(QPainter *painter) const override
    {
        const QRect box = trackerRect(painter->font());
        const QwtText text = trackerText(trackerPosition());
        if (box.isEmpty() || text.isEmpty())
            return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setPen(QPen(QColor(120, 120, 120), 1));
        painter->setBrush(QColor(255, 255, 255, 230));
        painter->drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        painter->restore();
        text.draw(painter, box.adjusted(Padding, Padding, -Padding, -Padding));
    }

private:
    std::function<QString(const QPoint &)> m_text;
};

} // namespace

ViewPlot::ViewPlot(QWidget *parent) : QwtPlot(parent) { }

void ViewPlot::updateLayout()
{
    QwtPlot::updateLayout();
    // A smaller title changes the axes' room a little: a few rounds settle it.
    for (int round = 0; round < 3 && fitAxisTitles(); ++round)
        QwtPlot::updateLayout();
}

bool ViewPlot::fitAxisTitles()
{
    bool changed = false;
    for (int axis = 0; axis < QwtPlot::axisCnt; ++axis) {
        QwtScaleWidget *scale = axisWidget(axis);
        QwtText title = scale->title();
        if (!axisEnabled(axis) || title.isEmpty())
            continue;
        QFont font = title.font();
        if (m_titlePoints[axis] <= 0 || !(title.renderFlags() & Qt::TextSingleLine))
            m_titlePoints[axis] = font.pointSizeF();
        const bool vertical = axis == QwtPlot::yLeft || axis == QwtPlot::yRight;
        const double length = (vertical ? scale->height() : scale->width()) - 2 * TitleMargin;
        QFont fitted = font;
        qreal points = m_titlePoints[axis];
        fitted.setPointSizeF(points);
        // Through the title's engine where it may stand upright.
        const auto along = [&title](const QFont &f) {
            if (!writtenInColumns(title.text()))
                return QFontMetricsF(f).horizontalAdvance(title.text());
            QwtText probe(title);
            probe.setFont(f);
            return probe.textSize(f).width();
        };
        while (points > MinTitlePoints && along(fitted) > length) {
            points = qMax(MinTitlePoints, points - 0.25);
            fitted.setPointSizeF(points);
        }
        const int flags = (title.renderFlags() & ~Qt::TextWordWrap) | Qt::TextSingleLine;
        if (qAbs(font.pointSizeF() - points) < 0.01 && title.renderFlags() == flags)
            continue;
        title.setFont(fitted);
        title.setRenderFlags(flags);
        scale->setTitle(title);
        changed = true;
    }
    return changed;
}

void ViewPlot::setBarTitle(int axis, const QString &text)
{
    static const bool registered = [] {
        QwtText::setTextEngine(QwtText::TextFormat(UprightTextEngine::Format), new UprightTextEngine);
        return true;
    }();
    Q_UNUSED(registered)
    // The axis's own title kept, for its font.
    QwtText title = axisTitle(axis);
    title.setText(text, writtenInColumns(text) ? QwtText::TextFormat(UprightTextEngine::Format) : QwtText::AutoText);
    setAxisTitle(axis, title);
}

QSize ViewPlot::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(metrics.averageCharWidth() * MinimumColumns, metrics.height() * MinimumLines);
}

QSize ViewPlot::sizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(metrics.averageCharWidth() * PreferredColumns, metrics.height() * PreferredLines);
}

QwtPlotPanner *ViewPlot::panWithMiddleButton(int fixedAxis)
{
    auto *panner = new QwtPlotPanner(canvas());
    panner->setMouseButton(Qt::MiddleButton);
    if (fixedAxis >= 0)
        panner->setAxisEnabled(fixedAxis, false);
    return panner;
}

bool ViewPlot::endsClick(QObject *watched, QEvent *event, QPoint *at)
{
    if (watched != canvas())
        return false;
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressPos = static_cast<QMouseEvent *>(event)->pos();
        return false;
    }
    if (event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton || (mouse->pos() - m_pressPos).manhattanLength() >= 4)
        return false;
    *at = mouse->pos();
    return true;
}

bool ViewPlot::onScreen(const QPainter *painter)
{
    const int device = painter->device()->devType();
    return (device == QInternal::Pixmap || device == QInternal::Widget) &&
           painter->transform().type() <= QTransform::TxTranslate;
}

void ViewPlot::trackWith(std::function<QString(const QPoint &)> text)
{
    new TextTracker(canvas(), std::move(text));
}

ViewPlot::CanvasKey::CanvasKey(const QwtScaleMap &xMap, const QwtScaleMap &yMap, const QRect &canvasArea)
    : x1(xMap.s1()), x2(xMap.s2()), y1(yMap.s1()), y2(yMap.s2()), area(canvasArea)
{ }

bool ViewPlot::CanvasKey::operator==(const CanvasKey &o) const
{
    return x1 == o.x1 && x2 == o.x2 && y1 == o.y1 && y2 == o.y2 && area == o.area;
}

const QImage &ViewPlot::CanvasCache::image(const CanvasKey &key, const std::function<QImage()> &draw)
{
    if (m_image.isNull() || m_key != key) {
        m_image = draw();
        m_key = key;
    }
    return m_image;
}

} // namespace FbView
