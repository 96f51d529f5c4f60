#include "tools/video/snapshots/snapshotshots.h"

QList<double> SnapshotShots::times() const
{
    QList<double> times;
    for (const Shot& shot : m_shots)
        times << shot.time;
    return times;
}

int SnapshotShots::take(double time)
{
    m_shots.append({time, QImage()});
    return count() - 1;
}

void SnapshotShots::remove(int index)
{
    if (index >= 0 && index < count()) m_shots.removeAt(index);
}

bool SnapshotShots::holds(int index, double time) const
{
    return index >= 0 && index < count() && m_shots[index].time == time;
}

bool SnapshotShots::thumbArrived(int index, double time, const QImage& thumb)
{
    if (!holds(index, time)) return false;
    m_shots[index].thumb = thumb;
    return true;
}

QString SnapshotShots::saveTitle(int count)
{
    return count < 2 ? QStringLiteral("Save Snapshot") : QStringLiteral("Save %1 Snapshots").arg(count);
}

QString SnapshotShots::detail(int count)
{
    return QString::number(count) + (count == 1 ? QStringLiteral(" frame") : QStringLiteral(" frames"));
}
