#include "core/wheelitem.h"

#include <QHashFunctions>

std::optional<QString> WheelItem::formatKey() const
{
    if (const QString* key = std::get_if<QString>(&m_payload)) return *key;
    return std::nullopt;
}

std::optional<ToolID> WheelItem::toolId() const
{
    if (const ToolID* tool = std::get_if<ToolID>(&m_payload)) return *tool;
    return std::nullopt;
}

std::optional<ActionID> WheelItem::actionId() const
{
    if (const ActionID* action = std::get_if<ActionID>(&m_payload)) return *action;
    return std::nullopt;
}

QString WheelItem::title() const
{
    switch (kind()) {
    case Kind::format: {
        const QString& key = std::get<QString>(m_payload);
        if (key == QLatin1String("gz")) return QStringLiteral("GZIP");
        if (key == QLatin1String("textClipping")) return QStringLiteral("CLIPPING");
        return key.toUpper();
    }
    case Kind::tool:
        return ::title(std::get<ToolID>(m_payload));
    case Kind::action:
        return ::title(std::get<ActionID>(m_payload));
    }
    return {};
}

std::optional<QString> WheelItem::symbol() const
{
    switch (kind()) {
    case Kind::format:
        return std::nullopt;
    case Kind::tool:
        return ::symbol(std::get<ToolID>(m_payload));
    case Kind::action:
        return ::symbol(std::get<ActionID>(m_payload));
    }
    return std::nullopt;
}

size_t qHash(const WheelItem& item, size_t seed) noexcept
{
    QString payload;
    switch (item.kind()) {
    case WheelItem::Kind::format:
        payload = std::get<QString>(item.m_payload);
        break;
    case WheelItem::Kind::tool:
        payload = rawValue(std::get<ToolID>(item.m_payload));
        break;
    case WheelItem::Kind::action:
        payload = rawValue(std::get<ActionID>(item.m_payload));
        break;
    }
    return qHashMulti(seed, item.m_payload.index(), payload);
}
