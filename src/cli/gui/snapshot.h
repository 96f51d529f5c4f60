#pragma once

#include <QLinearGradient>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QWidget>

class QImage;

namespace CLI {

// Lays `widget` out at `size` without showing it on a screen, delivers its queued work, lets
// every animation under it that has an end finish, renders it at one pixel per point and writes
// a PNG. Never replaces an existing file:
// a taken name gets a number. Returns the path written; throws ConvertError.
QString snapshot(QWidget& widget, QSize size, const QString& pngPath);

// Encodes `image` as PNG and writes it through a temporary file, never replacing an existing
// file. Returns the path written; throws ConvertError ("png failed" when encoding gives nothing).
QString writePng(const QImage& image, const QString& pngPath);

// The warm backdrop of the settings and progress-panel renderings, from the top-left corner
// of `rect` to its bottom-right corner.
QLinearGradient backdrop(const QRectF& rect);

// A widget filled with that backdrop, to lay renderings out on.
class Backdrop : public QWidget
{
  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace CLI
