#include "engines/converter.h"

#include "../support/enginefixtures_b.h"
#include "core/output.h"
#include "core/settings.h"
#include "core/shell.h"
#include "engines/archive/archiveengine.h"
#include "engines/image/imageengine.h"
#include "engines/instant/instanttools.h"
#include "engines/pdf/pdfpages.h"

#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <sys/mount.h>
#include <unistd.h>

// Results that can't be written: a full disk and a read-only folder, for every writer.
class WriteFailuresTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_sources, m_scratch;

    QString source(const QString& name) const { return m_sources.filePath(name); }

    // Pixels no encoder can squeeze into a few pages.
    static QImage noise()
    {
        QImage image(320, 320, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, random.generate() | 0xff000000u);
        return image;
    }

    static QByteArray letters(int count, char separator)
    {
        QRandomGenerator random(11);
        QByteArray text;
        for (int i = 1; i <= count; ++i)
            text += char('a' + random.bounded(26)) + QByteArray(i % 9 ? "" : QByteArray(1, separator));
        return text;
    }

    // A PDF of `pages` pages of noise, each larger than the tiny disk.
    static void writeNoisePDF(const QString& path, int pages)
    {
        QPdfWriter writer(path);
        QPainter painter(&writer);
        for (int i = 0; i < pages; ++i) {
            if (i > 0) writer.newPage();
            painter.drawImage(QRect(0, 0, 2000, 2000), noise());
        }
    }

    // A fresh tmpfs for the results, with `options`; the conversions write there.
    static bool mountResults(const QString& folder, const char* options)
    {
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options) != 0) return false;
        Settings::shared().setOutputFolder(folder);
        Settings::shared().setSaveLocation(SaveLocation::folder);
        return true;
    }

  private slots:
    void initTestCase()
    {
        qputenv("TMPDIR", QFile::encodeName(m_scratch.path()));
        QVERIFY(noise().save(source("noise.png")));
        writeFile(source("text.md"), "# Words\n\n" + letters(60000, ' '));
        QByteArray csv;
        const QByteArray cells = letters(40000, ',');
        for (qsizetype at = 0; at < cells.size(); at += 100)
            csv += cells.mid(at, 100) + "\n";
        writeFile(source("table.csv"), csv);
        QByteArray srt;
        for (int i = 1; i < 400; ++i)
            srt += QByteArray::number(i) + "\n00:00:01,000 --> 00:00:02,000\n" + letters(200, ' ') + "\n\n";
        writeFile(source("lines.srt"), srt);
        writeFile(source("tree/noise.bin"), readAll(source("noise.png")));
        QCOMPARE(Shell::run("/usr/bin/tar", {"-cf", source("tree.tar"), "tree"}, m_sources.path()).status, 0);
        QCOMPARE(Shell::run("/usr/bin/zip", {"-qr", source("tree.zip"), "tree"}, m_sources.path()).status, 0);
        // A hard link, which a zip can't hold, takes the way through an unpacked folder.
        writeFile(source("linked/noise.bin"), readAll(source("noise.png")));
        QCOMPARE(::link(QFile::encodeName(source("linked/noise.bin")),
                        QFile::encodeName(source("linked/again.bin"))),
                 0);
        QCOMPARE(Shell::run("/usr/bin/tar", {"-cf", source("linked.tar"), "linked"}, m_sources.path()).status,
                 0);
        writeNoisePDF(source("noise.pdf"), 3);
        QCOMPARE(Shell::run("/usr/bin/ffmpeg",
                            {"-v", "error", "-f", "lavfi", "-i", "anoisesrc=d=3", source("noise.wav")})
                     .status,
                 0);
    }

    // Each writer fails with the one plain cause, and leaves nothing, not even a hidden file.
    void resultsThatCantBeWritten()
    {
        const QList<std::pair<QString, QString>> conversions{
            {"noise.png", "pdf"},  {"noise.png", "heic"}, {"noise.png", "avif"},     {"noise.png", "jpg"},
            {"noise.png", "tiff"}, {"noise.png", "webp"}, {"text.md", "pdf"},        {"text.md", "docx"},
            {"text.md", "epub"},   {"text.md", "html"},   {"table.csv", "pdf"},      {"table.csv", "xlsx"},
            {"table.csv", "ods"},  {"lines.srt", "vtt"},  {"tree.tar", "zip"},       {"tree.tar", "gz"},
            {"noise.wav", "flac"}, {"noise.wav", "mp3"},  {"noise.png", "createPDF"}};
        // What libarchive and qpdf write.
        const QList<std::pair<QString, QString>> unpacked{{"tree.zip", "tar"},
                                                          {"linked.tar", "zip"},
                                                          {"tree.zip", "extractArchive"},
                                                          {"tree.tar", "extractArchive"},
                                                          {"noise.pdf", "splitPDF"},
                                                          {"noise.pdf", "organizePDF"},
                                                          {"noise.pdf", "mergePDF"}};
        for (const auto& [options, cause] :
             {std::pair{"size=32k", "The disk is full"},
              std::pair{"ro,size=32k", "Tolvane isn’t allowed to write the result in this folder"}}) {
            QTemporaryDir results;
            if (!mountResults(results.path(), options)) QSKIP("mounting a tmpfs needs root");
            const auto unmount =
                qScopeGuard([&] { ::umount(QFile::encodeName(results.path()).constData()); });
            for (const auto& [name, target] : conversions + unpacked) {
                Job job(QString(), QString(), 0);
                const auto e = failure([&, &name = name, &target = target] {
                    if (target == "createPDF")
                        InstantTools::createPDF({source(name)}, job, [](double) {});
                    else if (target == "splitPDF")
                        InstantTools::splitPDF(source(name), job, [](double) {});
                    else if (target == "organizePDF")
                        PDFPages::organize(source(name), {{2, 90}, {0, 0}, {1, 0}}, job, [](double) {});
                    else if (target == "mergePDF")
                        PDFPages::merge({source(name), source(name)}, job, [](double) {});
                    else if (target == "extractArchive")
                        ArchiveEngine::extractTool(source(name));
                    else
                        convert(source(name), target);
                });
                const QString row = name + " → " + target + " (" + options + ")";
                QVERIFY2(e, qPrintable(row));
                QVERIFY2(e->message() == cause, qPrintable(row + ": " + e->message()));
                QVERIFY2(entries(results.path()).isEmpty(), qPrintable(row));
            }
        }
        QCOMPARE(entries(m_scratch.path()), QStringList());
    }

    // On a full disk the command line says the plain cause once; the image libraries' own words
    // about the failed write stay off standard error.
    void aFullDiskIsReportedWithoutLibraryNoise()
    {
        QTemporaryDir results(m_sources.filePath("full-XXXXXX")),
            settings(m_sources.filePath("settings-XXXXXX"));
        if (::mount("tmpfs", QFile::encodeName(results.path()).constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP("mounting a tmpfs needs root");
        const auto unmount = qScopeGuard([&] { ::umount(QFile::encodeName(results.path()).constData()); });
        const QString png = results.filePath("noise.png"), jpeg = results.filePath("noise.jpg");
        QVERIFY(QFile::copy(source("noise.png"), png));
        QVERIFY(noise().save(jpeg));
        QFile filler(results.filePath("filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(4096, '\0')) == 4096) {
        }
        filler.close();
        const QStringList before = entries(results.path());
        for (const auto& [file, target] : {std::pair{jpeg, "png"}, {jpeg, "tiff"}, {png, "jpg"}}) {
            QProcess tolvane;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("XDG_CONFIG_HOME", settings.path()); // results go beside the files
            tolvane.setProcessEnvironment(environment);
            tolvane.start(TOLVANE_BIN, {"--convert", target, file});
            QVERIFY(tolvane.waitForFinished(120000));
            const QString out = QString::fromUtf8(tolvane.readAllStandardOutput());
            const QString err = QString::fromUtf8(tolvane.readAllStandardError());
            const QString row = QString(target) + ": " + out + " / " + err;
            QVERIFY2(tolvane.exitCode() == 1 && out.contains(": The disk is full"), qPrintable(row));
            QVERIFY2(!err.contains("libpng") && !err.contains("TIFF") && !err.contains("JPEG"),
                     qPrintable(row));
            QCOMPARE(entries(results.path()), before);
        }
        QCOMPARE(entries(m_scratch.path()), QStringList());
    }

    // A disk with room for bytes but not for more files: unpacking fails when it makes one.
    void unpackingOutOfFiles()
    {
        for (int i = 0; i < 12; ++i)
            writeFile(source("many/") + QString::number(i), "x");
        const QString archive = source("many.zip");
        QCOMPARE(Shell::run("/usr/bin/zip", {"-qr", archive, "many"}, m_sources.path()).status, 0);
        QTemporaryDir results;
        if (!mountResults(results.path(), "size=1m,nr_inodes=8")) QSKIP("mounting a tmpfs needs root");
        const auto unmount = qScopeGuard([&] { ::umount(QFile::encodeName(results.path()).constData()); });
        QCOMPARE(message([&] { ArchiveEngine::extractTool(archive); }), "The disk is full");
        QCOMPARE(entries(results.path()), QStringList());
    }

    // Cancelled while the picture is encoded: the finished picture is not kept.
    void cancelledDuringAnEncode()
    {
        QTemporaryDir folder;
        Job job(QString(), QString(), 0);
        const auto e = failure([&] {
            Output::write(
                folder.filePath("noise.heic"),
                [&](const QString& temporary) {
                    ImageEngine::write(noise(), temporary, "heic", {}, std::nullopt, 72);
                    job.cancel();
                },
                &job);
        });
        QVERIFY(e && e->isCancelled());
        QCOMPARE(e->description(), QString("Cancelled"));
        QCOMPARE(entries(folder.path()), QStringList());
    }
};

QTEST_MAIN(WriteFailuresTest)
#include "test_writefailures.moc"
