#include "toolkit/wheel/wheelmodel.h"

#include "core/settings.h"

WheelModel::WheelModel(QObject* parent) : QObject(parent) {}

void WheelModel::setMode(WheelMode mode)
{
    if (m_mode == mode) return;
    m_mode = mode;
    emit modeChanged();
}

void WheelModel::setItems(const QList<WheelItem>& items)
{
    if (m_items == items) return;
    m_items = items;
    emit itemsChanged();
}

void WheelModel::setHighlighted(std::optional<int> index)
{
    if (m_highlighted == index) return;
    m_highlighted = index;
    emit highlightedChanged();
}

void WheelModel::setRestingText(const QString& text)
{
    if (m_restingText == text) return;
    m_restingText = text;
    emit restingTextChanged();
}

void WheelModel::setBloom(bool bloom)
{
    if (m_bloom == bloom) return;
    m_bloom = bloom;
    emit bloomChanged();
}

std::optional<int> WheelModel::validHighlight() const
{
    if (m_highlighted && *m_highlighted >= 0 && *m_highlighted < m_items.size()) return m_highlighted;
    return std::nullopt;
}

std::optional<QString> WheelModel::centerText() const
{
    if (const auto index = validHighlight()) return m_items[*index].title();
    if (m_restingText.isEmpty()) return std::nullopt;
    return m_restingText;
}

QString WheelModel::emptyMessage() const
{
    const Settings& s = Settings::shared();
    switch (m_mode) {
    case WheelMode::conversions:
        return QStringLiteral("No conversions for this format. Tap %1 for file actions.")
            .arg(displayName(s.actionsKey()));
    case WheelMode::tools:
        return QStringLiteral("No editing tools for this format. Tap %1 to convert or %2 for file actions.")
            .arg(displayName(s.convertKey()), displayName(s.actionsKey()));
    case WheelMode::actions:
        break;
    }
    return QString();
}
