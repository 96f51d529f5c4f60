#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Sending files to a nearby device: through KDE Connect to the first reachable device, else
// through the Bluetooth sending dialog.
namespace NearbySend {

// How programs are found and run; the caller's process runner stands behind them.
struct Programs
{
    // The full path of an installed program, none when it is not installed.
    std::function<std::optional<QString>(const QString& name)> find;
    // Runs a program to its end: its standard output, none when it failed.
    std::function<std::optional<QByteArray>(const QString& program, const QStringList& args)> run;
    // Starts a program that lives on by itself (a dialog); false when it could not be started.
    std::function<bool(const QString& program, const QStringList& args)> start;
};

// Blocks while KDE Connect answers. False when no way of sending is available (neither a
// reachable KDE Connect device nor Bluetooth's sending program) or KDE Connect refused a file.
bool send(const QStringList& files, const Programs& programs);

// The device ids in the output of "kdeconnect-cli --list-available --id-only".
QStringList deviceIds(const QByteArray& listing);

} // namespace NearbySend
