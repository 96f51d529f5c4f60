#include "core/actionid.h"

#include <iterator>

namespace {

struct ActionText
{
    const char* raw;
    const char* title;
    const char* symbol;
};

// Indexed by the enum's value.
constexpr ActionText actionTexts[] = {
    {"airDrop", "SEND", "dot.radiowaves.left.and.right"},
    {"float", "FLOAT", "pin.fill"},
    {"copy", "COPY", "doc.on.doc"},
    {"move", "MOVE", "folder"},
    {"copyPath", "COPY PATH", "doc.text"},
    {"openTerminal", "TERMINAL", "terminal"},
};
static_assert(std::size(actionTexts) == int(ActionID::openTerminal) + 1);

const ActionText& texts(ActionID action)
{
    return actionTexts[int(action)];
}

} // namespace

QList<ActionID> allActionIds()
{
    QList<ActionID> all;
    for (int i = 0; i < int(std::size(actionTexts)); ++i)
        all << ActionID(i);
    return all;
}

QString rawValue(ActionID action)
{
    return QString::fromLatin1(texts(action).raw);
}

std::optional<ActionID> actionIdFromRaw(const QString& raw)
{
    for (ActionID action : allActionIds()) {
        if (raw == QLatin1String(texts(action).raw)) return action;
    }
    return std::nullopt;
}

QString title(ActionID action)
{
    return QString::fromLatin1(texts(action).title);
}

QString symbol(ActionID action)
{
    return QString::fromLatin1(texts(action).symbol);
}
