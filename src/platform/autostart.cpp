#include "platform/autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

namespace Autostart {

namespace {

// A program path as the Exec key takes it: quoted, with the characters the desktop entry format
// reserves inside quotes escaped, and "%" doubled.
QString execArgument(const QString& program)
{
    QString quoted;
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
        if (c == QLatin1Char('%')) quoted += c;
    }
    // The format reads backslashes once more as the string's own escapes.
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1String("/autostart/tolvane.desktop");
}

bool isEnabled()
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1String("Hidden=")))
            return line.mid(7).trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) != 0;
    }
    return true;
}

std::optional<QString> setEnabled(bool on, const QString& program)
{
    const QString path = entryPath();
    if (!on) {
        if (!QFileInfo::exists(path) || QFile::remove(path)) return std::nullopt;
        return QStringLiteral("Couldn’t remove %1").arg(path);
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return QStringLiteral("Couldn’t create the folder %1").arg(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return QStringLiteral("Couldn’t write %1: %2").arg(path, file.errorString());
    const QByteArray entry = QStringLiteral("[Desktop Entry]\n"
                                            "Type=Application\n"
                                            "Name=Tolvane\n"
                                            "Comment=Convert, edit and move files while you drag them\n"
                                            "Exec=%1\n"
                                            "Icon=tolvane\n"
                                            "Terminal=false\n"
                                            "X-GNOME-Autostart-enabled=true\n")
                                 .arg(execArgument(program))
                                 .toUtf8();
    if (file.write(entry) != entry.size() || !file.commit())
        return QStringLiteral("Couldn’t write %1: %2").arg(path, file.errorString());
    return std::nullopt;
}

} // namespace Autostart
