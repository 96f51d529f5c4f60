#pragma once

#include <QList>
#include <QString>
#include <optional>

// The file actions of the actions wheel, in petal order.
enum class ActionID { airDrop, float_, copy, move, copyPath, openTerminal };

QList<ActionID> allActionIds();
// The case name ("float" for float_); stored and typed on the command line.
QString rawValue(ActionID action);
std::optional<ActionID> actionIdFromRaw(const QString& raw);
// The petal's label, upper case ("SEND" for airDrop).
QString title(ActionID action);
// The name of the petal's icon, drawn by our own painter.
QString symbol(ActionID action);
