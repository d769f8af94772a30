#include <fbview/statuscolors.h>

using namespace FbFile;

namespace FbView {

namespace StatusColors {

QColor background(FbColumns::PickClass pickClass)
{
    // Indexed by PickClass.
    static const QColor colors[] = {QColor(0, 255, 0, 120), QColor(255, 0, 255, 120), QColor(255, 0, 0, 120)};
    return colors[int(pickClass)];
}

QColor mark(FbColumns::PickClass pickClass)
{
    QColor color = background(pickClass);
    color.setAlpha(255);
    return color;
}

QColor varyingSource()
{
    return QColor(255, 0, 0, 255);
}

QColor suggestion()
{
    return QColor(255, 140, 0, 255);
}

} // namespace StatusColors

} // namespace FbView
