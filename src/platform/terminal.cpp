#include "platform/terminal.h"

#include <QFileInfo>

namespace Terminal {

QStringList defaultPrograms()
{
    return {QStringLiteral("x-terminal-emulator"), QStringLiteral("gnome-terminal"),
            QStringLiteral("konsole"), QStringLiteral("xfce4-terminal"), QStringLiteral("xterm")};
}

QStringList alternativePrograms()
{
    return {QStringLiteral("kitty"), QStringLiteral("alacritty"), QStringLiteral("wezterm"),
            QStringLiteral("tilix"), QStringLiteral("terminator")};
}

QStringList arguments(const QString& program, const QString& folder)
{
    const QString name = QFileInfo(program).fileName();
    if (name == QLatin1String("gnome-terminal") || name == QLatin1String("xfce4-terminal") ||
        name == QLatin1String("tilix") || name == QLatin1String("terminator"))
        return {QStringLiteral("--working-directory=") + folder};
    if (name == QLatin1String("konsole")) return {QStringLiteral("--workdir"), folder};
    if (name == QLatin1String("kitty")) return {QStringLiteral("--directory"), folder};
    if (name == QLatin1String("alacritty")) return {QStringLiteral("--working-directory"), folder};
    if (name == QLatin1String("wezterm")) return {QStringLiteral("start"), QStringLiteral("--cwd"), folder};
    return {};
}

} // namespace Terminal
