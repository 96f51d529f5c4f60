#pragma once

// The processes of the machine as /proc lists them.

#include <QByteArray>
#include <QDirIterator>
#include <QFile>
#include <QStringList>

// The ids of the processes whose command line holds `text`.
inline QStringList processesNaming(const QByteArray& text)
{
    QStringList found;
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        QFile cmdline(it.filePath() + QStringLiteral("/cmdline"));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(text)) found << it.fileName();
    }
    return found;
}
