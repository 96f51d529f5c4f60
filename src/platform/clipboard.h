#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QMimeData;

// The desktop's clipboard as file managers and editors paste from it.
namespace Clipboard {

// Files in the three forms file managers paste: text/uri-list, x-special/gnome-copied-files
// ("copy" and the URIs, one a line: a paste makes a copy) and the paths as plain text, one a line.
QMimeData* filesData(const QStringList& paths);

// Replace the clipboard's content; this process serves it until something else is copied. Each
// returns why the clipboard doesn't hold the content afterwards, in plain words, or nothing when
// it does.
std::optional<QString> putFiles(const QStringList& paths);
std::optional<QString> putText(const QString& text);

} // namespace Clipboard
