#ifndef FBVIEW_STATUSCOLORS_H
#define FBVIEW_STATUSCOLORS_H

#include <fbfile/fbcolumns.h>

#include <QColor>

namespace FbView {

// The colours of the pick statuses and of source values that vary within a
// shot, as the table viewer shows them: the fb_time cell of a pick is green
// for status 0, magenta for status 1 and red for any other, each translucent
// (alpha 120) over the table; the text of a varying source value is opaque
// red. Every view of picks (the viewer, the QC window's table, the shot plot
// and fbtool's images) takes its colours from here, so they always agree.
//
//   item->setBackground(QBrush(StatusColors::background(FbColumns::pickClass(r.fb_status)), Qt::SolidPattern));
//   dot->setBrush(StatusColors::mark(FbColumns::PickClass::Status0));   // a dot on white
namespace StatusColors {

// The fb_time cell background of a status class: 0, 255, 0, 120 (status 0),
// 255, 0, 255, 120 (status 1), 255, 0, 0, 120 (any other).
QColor background(FbFile::FbColumns::PickClass pickClass);

// The same colour opaque, for marks drawn on white (plot dots and their
// legend), where a translucent colour would read pale.
QColor mark(FbFile::FbColumns::PickClass pickClass);

// The text of a source value that is not constant within its shot.
QColor varyingSource();

// A new time proposed for a pick, drawn beside the pick until accepted:
// opaque orange, apart from every status colour.
QColor suggestion();

} // namespace StatusColors

} // namespace FbView

#endif // FBVIEW_STATUSCOLORS_H
