#include "cli/snapshot.h"

#include "core/converterror.h"
#include "core/output.h"

#include <QBuffer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QTimer>
#include <QWidget>

namespace CLI {

QString snapshot(QWidget& widget, QSize size, const QString& pngPath)
{
    const bool wasVisible = widget.isVisible();
    widget.setAttribute(Qt::WA_DontShowOnScreen, true);
    widget.resize(size);
    widget.show();
    QEventLoop loop;
    QTimer::singleShot(400, &loop, &QEventLoop::quit);
    loop.exec();

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        if (!wasVisible) widget.hide();
        throw ConvertError::failed(QStringLiteral("snapshot failed"));
    }
    image.setDevicePixelRatio(1);
    image.fill(Qt::transparent);
    widget.render(&image);
    if (!wasVisible) widget.hide();
    return writePng(image, pngPath);
}

QString writePng(const QImage& image, const QString& pngPath)
{
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG") || png.isEmpty())
        throw ConvertError::failed(QStringLiteral("png failed"));

    return Output::write(pngPath, [&png](const QString& temporary) {
        QFile file(temporary);
        if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.flush())
            throw ConvertError::failed(QStringLiteral("Couldn’t write the image: ") + file.errorString());
    });
}

QLinearGradient backdrop(const QRectF& rect)
{
    QLinearGradient g(rect.topLeft(), rect.bottomRight());
    g.setColorAt(0, QColor::fromRgbF(1.0f, 0.6f, 0.25f));
    g.setColorAt(1, QColor::fromRgbF(0.9f, 0.4f, 0.45f));
    return g;
}

} // namespace CLI
