#include "cli/convert.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>
#include <cstdio>
#include <unistd.h>

// What the command-line binary's test leaves out: a same-format file and an unknown kind, which
// need no ffmpeg, and the formats taken.
class ConvertCommandTest : public QObject
{
    Q_OBJECT
  private slots:
    void nothingToDoAndUnknownKind()
    {
        QTemporaryDir dir;
        for (const char* name : {"clip.mkv", "notes.xyz"})
            QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
        QTemporaryFile out;
        QVERIFY(out.open());
        std::fflush(stdout);
        const int saved = ::dup(STDOUT_FILENO);
        ::dup2(out.handle(), STDOUT_FILENO);
        const int status = CLI::convert({"mkv", dir.filePath("sub/../clip.mkv"), dir.filePath("notes.xyz")});
        std::fflush(stdout);
        ::dup2(saved, STDOUT_FILENO);
        ::close(saved);
        out.seek(0);
        const QStringList lines = QString::fromUtf8(out.readAll()).split('\n', Qt::SkipEmptyParts);

        QCOMPARE(status, 1);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(QRegularExpression("^✓ clip\\.mkv →   \\(\\d+\\.\\ds\\)$").match(lines.at(0)).hasMatch(),
                 qPrintable(lines.at(0)));
        QCOMPARE(lines.at(1), QString("✗ notes.xyz → mkv: Tolvane doesn’t know this kind of file"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // nothing written
    }

    void formatKey_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("key"); // empty: refused
        QTest::newRow("lower case") << "mp4"
                                    << "mp4";
        QTest::newRow("capitals") << "WEBM"
                                  << "webm";
        QTest::newRow("mixed") << "Gz"
                               << "gz";
        QTest::newRow("a path") << "../x.mp4"
                                << "";
        QTest::newRow("a folder") << "mp4/"
                                  << "";
        QTest::newRow("a dot") << ".mp4"
                               << "";
        QTest::newRow("nothing") << ""
                                 << "";
        QTest::newRow("unknown") << "exe"
                                 << "";
    }

    void formatKey()
    {
        QFETCH(QString, typed);
        QTEST(CLI::formatKey(typed).value_or(QString()), "key");
    }
};

QTEST_GUILESS_MAIN(ConvertCommandTest)
#include "test_convert.moc"
