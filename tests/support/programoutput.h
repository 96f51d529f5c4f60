#pragma once

// What a program the tests read results with (exiftool, qpdf) prints.

#include <QProcess>
#include <QString>
#include <QStringList>

// Its standard output, or "<program failed: its standard error>" when it fails, so that a
// comparison shows why.
inline QString programOutput(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(program, QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}
