#pragma once

#include "toolkit/cropaspect.h"

#include <QObject>
#include <QRectF>
#include <QSize>
#include <optional>

// What the crop image window edits: the rectangle in unit coordinates of the picture and the
// aspect preset. The edits of the size fields and of the preset are pure functions of the
// picture's size in pixels (0 × 0 until it has loaded). Main thread.
class CropModel : public QObject
{
    Q_OBJECT
  public:
    explicit CropModel(QObject* parent = nullptr) : QObject(parent) {}

    QRectF rect() const { return m_rect; }
    void setRect(const QRectF& rect);
    CropAspect aspect() const { return m_aspect; }
    // Also fits the rectangle to a preset (around its centre); Free leaves it as it is.
    void setAspect(CropAspect aspect, QSize full);
    // The whole picture, free.
    void reset();

    // The size fields: the rectangle in whole pixels of the picture, 0 until it has loaded.
    static qint64 pixels(double unit, int side);
    // The rectangle after typing a width of `n` pixels: it keeps its top-left corner, takes at
    // least 0.01 of the picture and ends at its right edge at most; with a preset the height
    // follows, and where the height meets the bottom edge the width shrinks with it, so the
    // ratio holds. Unchanged before the picture has loaded.
    static QRectF typedWidth(const QRectF& rect, qint64 n, QSize full, std::optional<double> ratio);
    // The same for a typed height, with the axes exchanged.
    static QRectF typedHeight(const QRectF& rect, qint64 n, QSize full, std::optional<double> ratio);

  signals:
    void rectChanged();
    void aspectChanged();

  private:
    QRectF m_rect{0, 0, 1, 1};
    CropAspect m_aspect = CropAspect::free;
};
