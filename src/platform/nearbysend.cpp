#include "platform/nearbysend.h"

namespace NearbySend {

namespace {

// None when KDE Connect has no reachable device; else whether every file was handed to it.
std::optional<bool> sendWithKdeConnect(const QStringList& files, const Programs& programs)
{
    const std::optional<QString> cli = programs.find(QStringLiteral("kdeconnect-cli"));
    if (!cli) return std::nullopt;
    const std::optional<QByteArray> listing =
        programs.run(*cli, {QStringLiteral("--list-available"), QStringLiteral("--id-only")});
    const QStringList devices = listing ? deviceIds(*listing) : QStringList();
    if (devices.isEmpty()) return std::nullopt;
    for (const QString& file : files) {
        if (!programs.run(*cli,
                          {QStringLiteral("--device"), devices.first(), QStringLiteral("--share"), file}))
            return false;
    }
    return true;
}

} // namespace

QStringList deviceIds(const QByteArray& listing)
{
    QStringList ids;
    for (const QByteArray& line : listing.split('\n')) {
        const QString id = QString::fromUtf8(line.trimmed());
        if (!id.isEmpty() && !id.contains(QLatin1Char(' '))) ids << id;
    }
    return ids;
}

bool send(const QStringList& files, const Programs& programs)
{
    if (files.isEmpty()) return true;
    if (const std::optional<bool> sent = sendWithKdeConnect(files, programs)) return *sent;
    const std::optional<QString> bluetooth = programs.find(QStringLiteral("bluetooth-sendto"));
    return bluetooth && programs.start(*bluetooth, files);
}

} // namespace NearbySend
