#include "engines/image/svgsafety.h"

#include "core/svgdrawing.h"

#include <QBuffer>
#include <QImageReader>

namespace Svg {

bool recognizes(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader(&buffer).format();
    return format == "svg" || format == "svgz";
}

QByteArray confined(const QByteArray& bytes)
{
    return recognizes(bytes) ? SvgDrawing::confined(bytes) : bytes;
}

} // namespace Svg
