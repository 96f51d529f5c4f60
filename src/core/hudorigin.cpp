#include "core/hudorigin.h"

#include "core/settings.h"

#include <QSettings>
#include <cmath>

namespace HUDOrigin {

namespace {

const QString key = QStringLiteral("hudOrigin");
constexpr double slack = 20; // a saved place this far off every screen still counts

} // namespace

std::optional<QPointF> saved(const QList<ScreenArea>& screens)
{
    return saved(Settings::store()->value(key), screens);
}

std::optional<QPointF> saved(const QVariant& stored, const QList<ScreenArea>& screens)
{
    // The store hands lists back as strings; anything that is not two finite numbers is ignored.
    if (!stored.canConvert<QVariantList>()) return std::nullopt;
    const QVariantList list = stored.toList();
    if (list.size() != 2) return std::nullopt;
    double xy[2];
    for (int i = 0; i < 2; ++i) {
        bool ok = false;
        xy[i] = list[i].toDouble(&ok);
        if (!ok || !std::isfinite(xy[i]) || list[i].typeId() == QMetaType::Bool) return std::nullopt;
    }
    const QPointF point(xy[0], xy[1]);
    for (const ScreenArea& s : screens)
        if (s.available.adjusted(-slack, -slack, slack, slack).contains(point)) return point;
    return std::nullopt;
}

void save(QPointF origin)
{
    Settings::store()->setValue(key, QVariantList{origin.x(), origin.y()});
}

void clear()
{
    Settings::store()->remove(key);
}

} // namespace HUDOrigin
