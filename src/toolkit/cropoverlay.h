#pragma once

#include "toolkit/cropgeometry.h"

#include <QRectF>
#include <QWidget>
#include <optional>

// Laid over a shown picture, reaching `margin` points beyond it on every side for the grips:
// dims what lies outside the crop rectangle, outlines it, and lets the user move it and resize
// it by eight grips within the limits. The rectangle is in unit coordinates of the picture;
// the owner keeps it and is told of every edit.
class CropOverlay : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int margin = 13;

    explicit CropOverlay(QWidget* parent = nullptr);
    // Lays the overlay over a picture shown at `picture` in its parent.
    void cover(const QRect& picture) { setGeometry(picture.adjusted(-margin, -margin, margin, margin)); }
    // The picture's area in the overlay's coordinates.
    QRectF pictureArea() const;

    QRectF unitRect() const { return m_rect; }
    void setUnitRect(const QRectF& rect);
    void setLimits(const CropGeometry::Limits& limits) { m_limits = limits; }

    // Draws the overlay of `unit` over a picture shown at `picture`.
    static void paint(QPainter& painter, const QRectF& picture, const QRectF& unit);
    // `unit` in the points of a picture shown at `picture`.
    static QRectF viewRect(const QRectF& unit, const QRectF& picture);

  signals:
    void rectEdited(const QRectF& rect);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void drag(QPointF position);

    QRectF m_rect{0, 0, 1, 1};
    CropGeometry::Limits m_limits;
    // The grip held and the rectangle and pointer where the drag began; none between drags.
    std::optional<CropGeometry::Handle> m_handle;
    QRectF m_start;
    QPointF m_origin;
};
