#include "engines/converter.h"

#include "../support/enginefixtures_b.h"
#include "core/shell.h"

#include <QtTest>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

class ConverterInputsTest : public QObject
{
    Q_OBJECT

  private slots:
    // A pipe or a device is refused before any program opens it and waits on it for ever.
    void specialFilesAreRefused()
    {
        QTemporaryDir dir;
        const QString pipe = dir.filePath("live.wav"), zero = dir.filePath("zero.wav");
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(QFile::link("/dev/zero", zero));
        for (const auto& [source, expected] : {std::pair{pipe, QString("live.wav is a pipe, not a file")},
                                               {zero, "zero.wav is a device, not a file"}}) {
            auto converted = std::async(
                std::launch::async, [source = source] { return message([&] { convert(source, "mp3"); }); });
            if (converted.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
                // Let each program stuck on the pipe go before failing.
                for (int i = 0;
                     i < 30 && converted.wait_for(std::chrono::seconds(1)) != std::future_status::ready; ++i)
                    ::close(::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK));
                QFAIL("the conversion waits on its input");
            }
            QCOMPARE(converted.get(), expected);
        }
        QCOMPARE(entries(dir.path()), QStringList({"live.wav", "zero.wav"}));
    }

    // Noise under an office name is refused before LibreOffice or an unpacker sees it; an RTF
    // saved as .doc still passes.
    void mislabelledFilesAreRefused()
    {
        QTemporaryDir dir;
        for (const auto& [name, expected] : {std::pair{"report.docx", "report.docx isn’t a Word document"},
                                             {"sums.xlsx", "sums.xlsx isn’t an Excel workbook"},
                                             {"old.doc", "old.doc isn’t a Word document"},
                                             {"notes.rtf", "notes.rtf isn’t an RTF document"},
                                             {"book.epub", "book.epub isn’t an EPUB book"}})
            QCOMPARE(message([&] {
                         convert(writeFile(dir.filePath(name), "noise\x01\x02 PK{\\rtf"),
                                 QString(name).endsWith(".xlsx") ? "csv" : "txt");
                     }),
                     QString(expected));
        const QString rtfDoc = writeFile(dir.filePath("saved.doc"), "{\\rtf1\\ansi Plain words\\par}");
        QCOMPARE(message([&] { convert(rtfDoc, "txt"); }), QString("<no error>"));
        QCOMPARE(entries(dir.path()).filter(QRegularExpression("^(report|sums|old|notes|book)\\.")).size(),
                 5);
    }

    // A source with a 250-byte base name converts twice: the second result's " 2" is made room
    // for at the end of the base before ffmpeg starts, not refused after it is done.
    void longNameConverts()
    {
        QTemporaryDir dir;
        for (const QString& base : {QString(250, 'a'), QString("é").repeated(125)}) {
            const QString source = dir.filePath(base + ".wav");
            QCOMPARE(Shell::run("/usr/bin/ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=d=0.2", source})
                         .status,
                     0);
            QCOMPARE(convert(source, "flac"), QStringList{dir.filePath(base + ".flac")});
            const QString second = QFileInfo(convert(source, "flac").value(0)).fileName();
            QVERIFY2(second.endsWith(" 2.flac") && QFile::encodeName(second).size() <= 255 &&
                         base.startsWith(second.chopped(7)) && second.size() > 100,
                     qPrintable(second));
            QVERIFY(QFileInfo(dir.filePath(second)).size() > 0);
        }
    }
};

QTEST_GUILESS_MAIN(ConverterInputsTest)
#include "test_converterinputs.moc"
