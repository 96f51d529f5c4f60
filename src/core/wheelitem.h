#pragma once

#include "core/actionid.h"
#include "core/toolid.h"

#include <QString>
#include <optional>
#include <variant>

// One petal of the wheel: a conversion target (its format key), an editing tool or a file
// action. Equal and hashed by case first, payload second.
class WheelItem
{
  public:
    enum class Kind { format, tool, action };

    static WheelItem format(const QString& key) { return WheelItem(Payload(std::in_place_index<0>, key)); }
    static WheelItem tool(ToolID tool) { return WheelItem(Payload(tool)); }
    static WheelItem action(ActionID action) { return WheelItem(Payload(action)); }

    Kind kind() const { return Kind(m_payload.index()); }
    std::optional<QString> formatKey() const;
    std::optional<ToolID> toolId() const;
    std::optional<ActionID> actionId() const;

    // The petal's label: the upper-cased key ("GZIP" for gz, "CLIPPING" for textClipping),
    // or the tool's or action's title.
    QString title() const;
    // The icon name of a tool or action; formats are drawn as text only.
    std::optional<QString> symbol() const;

    bool operator==(const WheelItem& other) const = default;

  private:
    using Payload = std::variant<QString, ToolID, ActionID>;
    explicit WheelItem(Payload payload) : m_payload(std::move(payload)) {}

    friend size_t qHash(const WheelItem& item, size_t seed) noexcept;

    Payload m_payload;
};

size_t qHash(const WheelItem& item, size_t seed = 0) noexcept;
