#pragma once

#include "engines/media/toolchoices.h"

#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

// What the Bleep lane edits: the bleeps in the order they were made, the selected one, the one
// being drawn and the edge being dragged. A drag that starts within edgeReach points of an edge
// moves that edge (never closer than minLength to the other one); any other drag draws a new
// bleep, kept when longer than minLength, else taken as a click that selects. Times lie within
// 0…duration; with no duration nothing happens.
class BleepLaneModel
{
  public:
    static constexpr double edgeReach = 8;
    static constexpr double minLength = 0.05;

    struct Editing
    {
        QUuid id;
        bool start; // the start edge, else the end edge
        bool operator==(const Editing&) const = default;
    };

    double duration = 0;
    QList<BleepRange> ranges;
    std::optional<QUuid> selected;
    std::optional<BleepRange> draft;
    std::optional<Editing> editing;

    // The position of time `t` across a lane `width` points wide, and the time at `x`.
    double x(double t, double width) const;
    double time(double x, double width) const;

    // One step of a drag that started at `startX` and is now at `currentX`.
    void drag(double startX, double currentX, double width);
    // The drag ends at `endX`.
    void end(double endX, double width);
    // Removes the selected bleep.
    void removeSelected();

    // "Add at least one bleep range.", "1 bleep ready.", "3 bleeps ready."
    QString status() const;
};
