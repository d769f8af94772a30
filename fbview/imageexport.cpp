#include <fbview/imageexport.h>

#include <fbfile/fboutputfile.h>

#include <qwt_plot.h>
#include <qwt_plot_renderer.h>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

using namespace FbFile;

namespace FbView {

namespace {

enum class Format { None, Png, Svg, Pdf };

Format formatOf(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return Format::Png;
    if (suffix == QLatin1String("svg"))
        return Format::Svg;
    if (suffix == QLatin1String("pdf"))
        return Format::Pdf;
    return Format::None;
}

QSize bounded(const QSize &size)
{
    return QSize(qBound(ImageExport::MinSide, size.width(), ImageExport::MaxSide),
                 qBound(ImageExport::MinSide, size.height(), ImageExport::MaxSide));
}

// Draws plot over a device of `device` pixels. A plot shown in the image's
// shape keeps its screen layout, scaled up, so that what was seen is what is
// written (the map keeps its equal axis scale); any other shape is laid out
// anew at the image's size.
void render(QwtPlot *plot, QPainter *painter, const QSizeF &device)
{
    const QSizeF shown = plot->size();
    double scale = 1.0;
    if (!shown.isEmpty()) {
        const double sx = device.width() / shown.width();
        const double sy = device.height() / shown.height();
        if (qMin(sx, sy) >= 1.0 && qAbs(sx - sy) <= 0.01 * qMax(sx, sy))
            scale = qMin(sx, sy);
    }
    // A plot never shown has not been laid out at its size yet: its axis
    // titles would keep the size that fitted whatever it was before.
    plot->updateLayout();
    QwtPlotRenderer renderer;
    renderer.setDiscardFlags(QwtPlotRenderer::DiscardBackground | QwtPlotRenderer::DiscardCanvasFrame);
    painter->scale(scale, scale);
    renderer.render(plot, painter, QRectF(QPointF(0, 0), device / scale));
}

constexpr double ScreenDpi = 96.0;

} // namespace

QSize ImageExport::sizeFor(const QSize &shown)
{
    if (shown.isEmpty())
        return QSize(DefaultWidth, DefaultHeight);
    const double ratio = qBound(0.25, double(shown.height()) / shown.width(), 4.0);
    double width = qBound(double(DefaultWidth), double(shown.width()), double(MaxSide));
    if (width * ratio > MaxSide)
        width = MaxSide / ratio;
    return bounded(QSize(qRound(width), qRound(width * ratio)));
}

bool ImageExport::knowsSuffix(const QString &fileName)
{
    return formatOf(fileName) != Format::None;
}

bool ImageExport::fail(const QString &message)
{
    m_error = message;
    return false;
}

bool ImageExport::write(QwtPlot *plot, const QString &fileName, const QSize &requested, const QStringList &protect)
{
    m_error.clear();
    const Format format = formatOf(fileName);
    if (format == Format::None)
        return fail(tr("%1: the name must end in .png, .svg or .pdf.").arg(fileName));

    // What the name (or the file a link names) is now.
    const QFileInfo info(fileName);
    if (info.isDir())
        return fail(tr("%1 is a folder, not a file.").arg(fileName));
    if (info.exists() && !info.isFile())
        return fail(tr("%1 is not a regular file.").arg(fileName));
    QString protectedError;
    if (FbOutputFile::isProtected(fileName, protect, &protectedError))
        return fail(protectedError);
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        return fail(tr("%1 cannot be written: the folder %2 does not exist.")
                        .arg(fileName, QDir::toNativeSeparators(folder.filePath())));

    // The new image takes the old file's place only once it is complete. A
    // link is followed to the file it names, which is replaced; the link
    // stays.
    QSaveFile file(fileName);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return fail(tr("%1 cannot be written: %2").arg(fileName, file.errorString()));

    const QSize pixels = bounded(requested.isValid() ? requested : QSize(DefaultWidth, DefaultHeight));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    switch (format) {
    case Format::Png: {
        QImage image(pixels, QImage::Format_RGB32);
        if (image.isNull())
            return fail(tr("%1 cannot be written: no memory for an image of %2 x %3 pixels.")
                            .arg(fileName)
                            .arg(pixels.width())
                            .arg(pixels.height()));
        image.fill(Qt::white);
        QPainter painter(&image);
        render(plot, &painter, pixels);
        painter.end();
        image.save(&buffer, "PNG");
        break;
    }
    case Format::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(pixels);
        svg.setViewBox(QRect(QPoint(0, 0), pixels));
        svg.setResolution(int(ScreenDpi));
        svg.setTitle(QFileInfo(fileName).fileName());
        QPainter painter(&svg);
        render(plot, &painter, pixels);
        break;
    }
    case Format::Pdf: {
        // One page of the image's size at screen resolution.
        QPdfWriter pdf(&buffer);
        pdf.setResolution(int(ScreenDpi));
        pdf.setPageSize(
            QPageSize(QSizeF(pixels) * 72.0 / ScreenDpi, QPageSize::Point, QString(), QPageSize::ExactMatch));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(QFileInfo(fileName).fileName());
        QPainter painter(&pdf);
        render(plot, &painter, QSizeF(pdf.width(), pdf.height()));
        break;
    }
    case Format::None:
        break;
    }
    buffer.close();
    if (bytes.isEmpty())
        return fail(tr("%1 cannot be written: the image could not be made.").arg(fileName));
    if (file.write(bytes) != bytes.size() || !file.commit())
        return fail(tr("%1 cannot be written: %2").arg(fileName, file.errorString()));
    return true;
}

} // namespace FbView
