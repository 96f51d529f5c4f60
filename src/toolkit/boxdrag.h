#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <optional>

// The gesture of a stage where boxes are drawn over a picture: a drag draws a box in unit space
// once it has moved UnitBox::minDrag points, a click picks the point under it. Positions are in
// points from the shown picture's top-left corner.
class BoxDrag
{
  public:
    struct Ended
    {
        std::optional<QRectF> drawn;    // the box a drag drew
        std::optional<QPointF> clicked; // the unit point a click picked
    };

    void press(QPointF at);
    // True when the draft changed.
    bool move(QPointF at, QSizeF shown);
    // Ends the gesture; nothing when no press began it.
    Ended release(QPointF at, QSizeF shown);

    bool isPressed() const { return m_press.has_value(); }
    const std::optional<QRectF>& draft() const { return m_draft; }

    // The index of the topmost (last) of `boxes` holding the unit point `at`; none when none does.
    static std::optional<int> topmostAt(const QList<QRectF>& boxes, QPointF at);

  private:
    std::optional<QPointF> m_press;
    bool m_dragging = false;
    std::optional<QRectF> m_draft;
};
