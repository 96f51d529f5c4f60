#pragma once

#include <QList>
#include <QPainterPath>

class QPainter;
class WheelModel;

// The animated values of one frame of the wheel, besides the model itself.
struct WheelFrame
{
    double bloom = 1;        // 0: shrunk to 45 % and transparent; 1: fully open
    QList<double> highlight; // each petal's highlight, 0…1; petals past the list follow the model

    // The frame with every animation at rest for the model's current state.
    static WheelFrame resting(const WheelModel& model);
};

// Draws a wheel into the 320 × 320 square at the painter's origin: ring, petals, labels and
// centre capsule, or the message bubble when there are no petals.
namespace WheelPainter {

void paint(QPainter& painter, const WheelModel& model, const WheelFrame& frame);
// The outline of everything the fully open wheel draws for the model's petals: the ring and
// the centre disc, or the message bubble when there are none.
QPainterPath outline(const WheelModel& model);
// Where the wheel takes drops: the whole disc within the ring's outer edge, the gap around the
// centre included, or the message bubble.
QPainterPath reach(const WheelModel& model);

} // namespace WheelPainter
