#include "tools/audio/bleep/bleeplanemodel.h"

#include <algorithm>
#include <cmath>

double BleepLaneModel::x(double t, double width) const
{
    return duration > 0 ? width * (t / duration) : 0;
}

double BleepLaneModel::time(double x, double width) const
{
    if (!(width > 0)) return 0; // not laid out yet
    return std::min(std::max(x / width * duration, 0.0), duration);
}

void BleepLaneModel::drag(double startX, double currentX, double width)
{
    if (!(duration > 0)) return;
    if (!editing && !draft) {
        // The first range with an edge in reach wins, its start before its end.
        for (const BleepRange& r : ranges) {
            if (std::abs(x(r.start, width) - startX) < edgeReach) {
                editing = Editing{r.id, true};
                break;
            }
            if (std::abs(x(r.end, width) - startX) < edgeReach) {
                editing = Editing{r.id, false};
                break;
            }
        }
        if (!editing) {
            const double t = time(startX, width);
            draft = BleepRange{QUuid::createUuid(), t, t};
        }
    }
    const double t = time(currentX, width);
    if (editing) {
        const auto it = std::find_if(ranges.begin(), ranges.end(),
                                     [this](const BleepRange& r) { return r.id == editing->id; });
        if (it == ranges.end()) return;
        if (editing->start)
            it->start = std::min(t, it->end - minLength);
        else
            it->end = std::max(t, it->start + minLength);
    } else if (draft) {
        const double from = time(startX, width);
        draft->start = std::min(from, t);
        draft->end = std::max(from, t);
    }
}

void BleepLaneModel::end(double endX, double width)
{
    if (draft) {
        if (draft->end - draft->start <= minLength) {
            const double t = time(endX, width);
            const auto hit = std::find_if(ranges.cbegin(), ranges.cend(),
                                          [t](const BleepRange& r) { return r.start <= t && t <= r.end; });
            selected = hit == ranges.cend() ? std::nullopt : std::optional(hit->id);
        } else {
            ranges << *draft;
            selected = draft->id;
        }
    }
    draft.reset();
    editing.reset();
}

void BleepLaneModel::removeSelected()
{
    if (selected) ranges.removeIf([this](const BleepRange& r) { return r.id == *selected; });
    selected.reset();
}

QString BleepLaneModel::status() const
{
    const qsizetype n = ranges.size();
    if (n == 0) return QStringLiteral("Add at least one bleep range.");
    return QStringLiteral("%1 bleep%2 ready.").arg(n).arg(n == 1 ? QString() : QStringLiteral("s"));
}
