#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QMimeData;

// The desktop's clipboard as file managers and editors paste from it.
namespace Clipboard {

// Files in the three forms file managers paste: text/uri-list, x-special/gnome-copied-files
// ("copy" and the URIs, one a line: a paste makes a copy) and the paths as plain text, one a line.
QMimeData* filesData(const QStringList& paths);

// Hands `data` (taking it over) to the window system as the clipboard's content. Whether the
// window system took it is asked of the window system afterwards, not of the claim.
using Claim = std::function<void(QMimeData* data)>;
// The claim through Qt's clipboard.
void claim(QMimeData* data);

// Replace the clipboard's content through `claim`; this process serves it until something else is
// copied. Each returns why the clipboard doesn't hold the content afterwards, in plain words, or
// nothing when it does.
std::optional<QString> putFiles(const QStringList& paths, const Claim& claim = Clipboard::claim);
std::optional<QString> putText(const QString& text, const Claim& claim = Clipboard::claim);

} // namespace Clipboard
