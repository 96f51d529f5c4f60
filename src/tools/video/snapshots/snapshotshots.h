#pragma once

#include <QImage>
#include <QList>
#include <QString>

// The moments taken in the snapshots window, in the order taken, each with its thumbnail once
// grabbed. A thumbnail is handed to the position it was asked for and kept only while that
// position still holds the same time, so a grab finishing after a removal never lands on the
// entry that moved into its place.
class SnapshotShots
{
  public:
    struct Shot
    {
        double time = 0;
        QImage thumb; // null until grabbed, or when the grab failed
    };

    const QList<Shot>& shots() const { return m_shots; }
    QList<double> times() const;
    bool isEmpty() const { return m_shots.isEmpty(); }
    int count() const { return int(m_shots.size()); }

    // Appends `time` without a thumbnail; gives its position.
    int take(double time);
    void remove(int index);
    // Whether position `index` still holds `time`.
    bool holds(int index, double time) const;
    // Sets the thumbnail if position `index` still holds `time`; false when dropped.
    bool thumbArrived(int index, double time, const QImage& thumb);

    // "Save Snapshot" for fewer than two, else "Save 3 Snapshots".
    static QString saveTitle(int count);
    // The job's detail: "1 frame", "4 frames".
    static QString detail(int count);

  private:
    QList<Shot> m_shots;
};
