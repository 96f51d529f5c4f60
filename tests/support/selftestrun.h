#pragma once

// `tolvane --selftest` run as the user runs it, over samples the fixture script makes, and what
// its lines and results are checked against.

#include "core/fmt.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

struct Run
{
    int status = -1;
    QStringList lines;
    QString err;
};

// Makes the six samples in `dir`, sample.pdf of `pages` pages; false when the script fails.
inline bool makeSamples(const QString& dir, int pages = 3)
{
    QProcess script;
    script.start("bash", {SAMPLES_SCRIPT, dir, QString::number(pages)});
    if (!script.waitForFinished(120000) || script.exitCode() != 0) {
        qWarning("%s", script.readAllStandardError().constData());
        return false;
    }
    return true;
}

inline Run selftest(const QString& dir, const QString& configHome = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "de_DE.UTF-8");
    if (!configHome.isEmpty()) env.insert("XDG_CONFIG_HOME", configHome);
    p.setProcessEnvironment(env);
    p.start(TOLVANE_BIN, {"--selftest", dir});
    if (!p.waitForFinished(120000)) return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
            QString::fromUtf8(p.readAllStandardError())};
}

// clang-format off
inline const QStringList names{"crop",           "add bg",         "edit",           "annotate",
                        "redact",         "collage",        "compress image", "metadata strip",
                        "metadata edit",  "create pdf",     "compress pdf",   "pdf metadata",
                        "split pdf",      "merge pdf",      "organize pdf",
                        "trim audio",     "mono",           "bleep",
                        "normalize",      "normalize peak", "visualize",      "visualize bars+bg",
                        "compress audio", "audio metadata", "trim video",     "trim video fast",
                        "split video",    "crop video",     "speed 2x",       "speed .25x",
                        "snapshots",      "join",           "redact blur",    "redact pixelate+range",
                        "redact black",   "mute",           "compress video", "video metadata strip",
                        "extract archive"};
// clang-format on

// "✓ <name>: <file> (<size>), …  [<seconds>s]" for a check that wrote `results` in `dir`.
inline void verifyPassed(const QString& line, const QString& name, const QString& dir,
                         const QStringList& results)
{
    QStringList parts;
    for (const QString& result : results) {
        const QString path = QDir(dir).filePath(result);
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        parts << QStringLiteral("%1 (%2)").arg(result, Fmt::byteCount(Fmt::fileSize(path)));
    }
    const QString head = QStringLiteral("✓ %1: %2").arg(name, parts.join(QStringLiteral(", ")));
    static const QRegularExpression time(QStringLiteral("^  \\[\\d+\\.\\ds\\]$"));
    QVERIFY2(line.startsWith(head) && time.match(line.mid(head.size())).hasMatch(), qPrintable(line));
}

// What a poppler tool prints about a file; empty when it fails.
inline QString popplerSays(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline bool hasLine(const QString& text, const QString& pattern)
{
    return text.contains(QRegularExpression(pattern, QRegularExpression::MultilineOption));
}
