#ifndef FBVIEW_IMAGEEXPORT_H
#define FBVIEW_IMAGEEXPORT_H

#include <QCoreApplication>
#include <QSize>
#include <QString>
#include <QStringList>

class QwtPlot;

namespace FbView {

// Writes a plot (the shot plot, the survey map) as an image file: PNG, SVG
// or PDF by the name's suffix, in any case. The QC window's exports and
// fbtool's plot and map all write through here.
//
// Promises:
// - Either the whole image is written or nothing is, and errorString() says
//   why in one sentence that starts with the file's name: a suffix other than the three,
//   a folder or another non-regular file (pipe, device) under the name, a
//   folder that does not exist, a file that cannot be created or written
//   (a full disk). An existing file is replaced only once the new image is
//   complete.
// - A name that is a symbolic link (or a chain of them) is written through:
//   the file the link points to gets the image, and the link stays a link.
//   A name that is, by any path or link, one of the protected files (the
//   input the plot was drawn from) is refused.
// - None of those failures makes Qt print anything: the target is checked
//   before anything is painted, and the image is made in memory before it
//   is written.
// - The image has the asked size, each side bounded to MinSide..MaxSide.
//   When the plot on screen has the image's shape (a PNG of 1200 x 800 from
//   a plot shown at 600 x 400), it is drawn as laid out on screen, scaled up;
//   otherwise it is laid out anew for the image.
//
// Usage:
//   ImageExport image;
//   if (!image.write(plot, fileName, ImageExport::sizeFor(plot->size())))
//       showError(image.errorString());
class ImageExport
{
    Q_DECLARE_TR_FUNCTIONS(ImageExport)

public:
    static constexpr int MinSide = 200;
    static constexpr int MaxSide = 8000;
    static constexpr int DefaultWidth = 1200;
    static constexpr int DefaultHeight = 800;

    // The image size for a plot shown at `shown`: at least DefaultWidth wide
    // (wider plots keep their width), in the plot's shape with its height
    // to width ratio clamped to 1:4..4:1, each side within MinSide..MaxSide.
    // DefaultWidth x DefaultHeight for an empty size.
    static QSize sizeFor(const QSize &shown);
    // Whether the name ends in a suffix write() knows.
    static bool knowsSuffix(const QString &fileName);

    // Draws plot into fileName at `pixels` (bounded as above). False with
    // errorString() set when nothing was written.
    bool write(QwtPlot *plot, const QString &fileName, const QSize &pixels, const QStringList &protect = QStringList());
    QString errorString() const { return m_error; }

private:
    bool fail(const QString &message);

    QString m_error;
};

} // namespace FbView

#endif // FBVIEW_IMAGEEXPORT_H
