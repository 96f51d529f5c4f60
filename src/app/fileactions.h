#pragma once

#include "core/actionid.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The file actions of the actions wheel: send to a nearby device, park on the float shelf,
// copy the files, move them, copy their paths, open a terminal there. None runs as a job; the
// quick ones confirm themselves with a toast. Main thread.
namespace FileActions {

// The outside services the actions use; the defaults are the desktop's, tests record instead.
struct Services
{
    // Asks for a folder (`message` says what for, `start` is shown first); none when cancelled.
    std::function<std::optional<QString>(const QString& message, const QString& start)> chooseFolder;
    // Moves one item into a folder without replacing anything; returns its new path or throws.
    std::function<QString(const QString& item, const QString& folder)> move;
    // The full path of an installed program.
    std::function<std::optional<QString>(const QString& name)> find;
    // Starts a program in a folder, detached; `failed` is called on the main thread with the cause
    // when it cannot start or fails at once.
    std::function<void(const QString& program, const QStringList& args, const QString& folder,
                       std::function<void(const QString& why)> failed)>
        launch;
    // Sends files to a nearby device in the background; `done` is called on the main thread
    // with false when no way of sending is available.
    std::function<void(const QStringList& files, std::function<void(bool sent)> done)> send;
    // Parks files on the float shelf and shows it.
    std::function<void(const QStringList& files)> shelve;
    std::function<void(const QString& title, const QString& detail)> toast;
    // A toast that reports a failure.
    std::function<void(const QString& title, const QString& detail)> warn;
    // Put files, or text, on the clipboard; each returns why the clipboard doesn't hold them.
    std::function<std::optional<QString>(const QStringList& files)> copyFiles;
    std::function<std::optional<QString>(const QString& text)> copyText;
};

Services defaultServices();

void perform(ActionID action, const QStringList& files);
void perform(ActionID action, const QStringList& files, const Services& services);

// `path` with the home folder written as "~".
QString abbreviated(const QString& path);

} // namespace FileActions
