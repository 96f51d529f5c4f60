#include "cli/convert.h"

#include "cli/cli.h"
#include "../engines/mediafixtures.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>
#include <clocale>
#include <cstdio>
#include <unistd.h>

namespace {

struct Printed {
    int status = -1;
    QStringList lines;
};

// Runs --convert in this process with standard output caught in a file.
Printed convert(const QStringList& rest)
{
    QTemporaryFile out;
    if (!out.open()) return {};
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(out.handle(), STDOUT_FILENO);
    const int status = CLI::convert(rest);
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    out.seek(0);
    return {status, QString::fromUtf8(out.readAll()).split('\n', Qt::SkipEmptyParts)};
}

const QRegularExpression success(QStringLiteral("^✓ (.+) → (.*)  \\((\\d+\\.\\d)s\\)$"));

} // namespace

class ConvertCommandTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_fixtures;
    QTemporaryDir m_dir;
    QString m_previous;

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixtures.isValid());
        QVERIFY(Fixture::ffmpeg(Fixture::sources(1) + QStringList{"-c:v", "libx264", "-preset", "ultrafast", "-c:a",
                                                                   "aac", "-shortest", m_fixtures.filePath("clip.mkv")}));
        m_previous = QDir::currentPath();
    }

    // Each test converts relative paths in a fresh current folder.
    void init()
    {
        QVERIFY(m_dir.isValid());
        for (const QString& name : Fixture::entries(m_dir.path())) QFile::remove(m_dir.filePath(name));
        QVERIFY(QFile::copy(m_fixtures.filePath("clip.mkv"), m_dir.filePath("clip.mkv")));
        QDir::setCurrent(m_dir.path());
    }

    void cleanup()
    {
        QDir::setCurrent(m_previous);
        std::setlocale(LC_ALL, "C.UTF-8");
        QLocale::setDefault(QLocale::c());
    }

    void writesBesideTheSource()
    {
        const Printed first = convert({"mp4", "clip.mkv"});
        QCOMPARE(first.status, 0);
        QCOMPARE(first.lines.size(), 1);
        const auto match = success.match(first.lines.first());
        QVERIFY2(match.hasMatch(), qPrintable(first.lines.first()));
        QCOMPARE(match.captured(1), QString("clip.mkv"));
        QCOMPARE(match.captured(2), QString("clip.mp4"));

        const Printed second = convert({"mp4", "clip.mkv"});
        QCOMPARE(second.status, 0);
        QCOMPARE(success.match(second.lines.value(0)).captured(2), QString("clip 2.mp4"));
        QCOMPARE(Fixture::entries(m_dir.path()), (QStringList{"clip 2.mp4", "clip.mkv", "clip.mp4"}));
    }

    void sameFormatWritesNothing()
    {
        const Printed p = convert({"mkv", "./sub/../clip.mkv"});
        QCOMPARE(p.status, 0);
        const auto match = success.match(p.lines.value(0));
        QVERIFY2(match.hasMatch(), qPrintable(p.lines.value(0)));
        QCOMPARE(match.captured(2), QString());
        QCOMPARE(Fixture::entries(m_dir.path()), QStringList{"clip.mkv"});
    }

    void aFailedFileDoesNotStopTheOthers()
    {
        const Printed p = convert({"mp3", "missing.mkv", "notes.xyz", "clip.mkv"});
        QCOMPARE(p.status, 1);
        QCOMPARE(p.lines.size(), 3);
        QVERIFY2(p.lines.at(0).startsWith("✗ missing.mkv → mp3: ffmpeg failed: "), qPrintable(p.lines.at(0)));
        QCOMPARE(p.lines.at(1), QString("✗ notes.xyz → mp3: Tolvane doesn’t know this kind of file"));
        QCOMPARE(success.match(p.lines.at(2)).captured(2), QString("clip.mp3"));
    }

    void usage()
    {
        const Printed p = convert({"mp4"});
        QCOMPARE(p.status, 2);
        QCOMPARE(p.lines, QStringList{CLI::usageLine()});
    }

    void timeIgnoresTheLocale()
    {
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) QSKIP("no German locale here");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const Printed p = convert({"mp3", "clip.mkv"});
        QCOMPARE(p.status, 0);
        QVERIFY2(success.match(p.lines.value(0)).hasMatch(), qPrintable(p.lines.value(0)));
    }
};

QTEST_GUILESS_MAIN(ConvertCommandTest)
#include "test_convert.moc"
