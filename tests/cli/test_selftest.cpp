// --selftest through the program over the samples the fixture script makes: every check passes
// and names its results with their sizes, the retitled PDF keeps nothing but its title, the
// archive made of samples comes out whole, a second run writes beside the first under new names,
// and a missing sample fails only the checks that use it, naming the folder it is not in. Run under a German
// locale, whose decimal comma must not reach the output.

#include "core/fmt.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include "../support/processes.h"
#include "../support/selftestrun.h"

namespace {

const QStringList audioChecks{"trim audio",        "mono",           "bleep",
                              "normalize",         "normalize peak", "visualize",
                              "visualize bars+bg", "compress audio", "audio metadata"};
const QStringList clipChecks{"trim video",     "trim video fast",
                             "split video",    "crop video",
                             "speed 2x",       "speed .25x",
                             "snapshots",      "join",
                             "redact blur",    "redact pixelate+range",
                             "redact black",   "mute",
                             "compress video", "video metadata strip"};

// The length ffprobe reads of a media file, and how many cover pictures it holds.
std::pair<double, int> lengthAndCovers(const QString& path)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-show_entries", "format=duration:stream_disposition=attached_pic",
                        "-of", "default=noprint_wrappers=1", path});
    if (!p.waitForFinished(60000)) return {};
    const QString said = QString::fromUtf8(p.readAllStandardOutput());
    const auto duration =
        QRegularExpression("^duration=([\\d.]+)$", QRegularExpression::MultilineOption).match(said);
    return {duration.captured(1).toDouble(), int(said.count("DISPOSITION:attached_pic=1"))};
}

// Each file under `folder`, by its path inside it, with its bytes; folders count only by what
// they hold.
QMap<QString, QByteArray> tree(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        files[QDir(folder).relativeFilePath(file.fileName())] =
            file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }
    return files;
}

// The mean difference of the grey levels of two pictures over `area`.
double difference(const QImage& a, const QImage& b, QRect area)
{
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
    return sum / (double(area.width()) * area.height());
}

} // namespace

class SelfTestTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_samples;

    // A fresh copy of the samples, so that each case starts from the same folder.
    QString copy(QTemporaryDir& into) const
    {
        for (const QString& name : QDir(m_samples.path()).entryList(QDir::Files))
            if (!QFile::copy(m_samples.filePath(name), into.filePath(name))) return {};
        return into.path();
    }

  private slots:
    void initTestCase()
    {
        QVERIFY(makeSamples(m_samples.path()));
        QCOMPARE(QDir(m_samples.path()).entryList(QDir::Files).size(), 6);
    }

    void passesAndNeverReplacesResults()
    {
        QTemporaryDir folder;
        const QString dir = copy(folder);
        QVERIFY(!dir.isEmpty());
        // Each run's results; the second run finds the first's and takes the next free names.
        const QList<QStringList> runs[] = {
            {{"photo Cropped.jpg"},
             {"photo With Background.png"},
             {"photo Edited.jpg"},
             {"photo Annotated.jpg"},
             {"photo Redacted.jpg"},
             {"photo Collage.png"},
             {"photo Compressed.jpg"},
             {"photo No Metadata.jpg"},
             {"photo Tagged.jpg"},
             {"photo and 1 more.pdf"},
             {"sample Compressed.pdf"},
             {"sample Tagged.pdf"},
             {"sample Pages"},
             {"sample Merged.pdf"},
             {"sample Organized.pdf"},
             {"song Trimmed.mp3"},
             {"song Mono.mp3"},
             {"song Bleeped.mp3"},
             {"song Normalized.mp3"},
             {"song Normalized 2.mp3"},
             {"song Visualizer.mp4"},
             {"song Visualizer 2.mp4"},
             {"song Compressed.mp3"},
             {"song Tagged.mp3"},
             {"clip Trimmed.mp4"},
             {"clip Trimmed 2.mp4"},
             {"clip Clips"},
             {"clip Cropped.mp4"},
             {"clip Speed 2x.mp4"},
             {"clip Speed .25x.mp4"},
             {"clip Snapshot 1.png", "clip Snapshot 2.png"},
             {"clip Joined.mp4"},
             {"clip Redacted.mp4"},
             {"clip Redacted 2.mp4"},
             {"clip Redacted 3.mp4"},
             {"clip Muted.mp4"},
             {"clip Compressed.mp4"},
             {"clip No Metadata.mp4"},
             {"sample Extracted"}},
            {{"photo Cropped 2.jpg"},
             {"photo With Background 2.png"},
             {"photo Edited 2.jpg"},
             {"photo Annotated 2.jpg"},
             {"photo Redacted 2.jpg"},
             {"photo Collage 2.png"},
             {"photo Compressed 2.jpg"},
             {"photo No Metadata 2.jpg"},
             {"photo Tagged 2.jpg"},
             {"photo and 1 more 2.pdf"},
             {"sample Compressed 2.pdf"},
             {"sample Tagged 2.pdf"},
             {"sample Pages 2"},
             {"sample Merged 2.pdf"},
             {"sample Organized 2.pdf"},
             {"song Trimmed 2.mp3"},
             {"song Mono 2.mp3"},
             {"song Bleeped 2.mp3"},
             {"song Normalized 3.mp3"},
             {"song Normalized 4.mp3"},
             {"song Visualizer 3.mp4"},
             {"song Visualizer 4.mp4"},
             {"song Compressed 2.mp3"},
             {"song Tagged 2.mp3"},
             {"clip Trimmed 3.mp4"},
             {"clip Trimmed 4.mp4"},
             {"clip Clips 2"},
             {"clip Cropped 2.mp4"},
             {"clip Speed 2x 2.mp4"},
             {"clip Speed .25x 2.mp4"},
             {"clip Snapshot 1 2.png", "clip Snapshot 2 2.png"},
             {"clip Joined 2.mp4"},
             {"clip Redacted 4.mp4"},
             {"clip Redacted 5.mp4"},
             {"clip Redacted 6.mp4"},
             {"clip Muted 2.mp4"},
             {"clip Compressed 2.mp4"},
             {"clip No Metadata 2.mp4"},
             {"sample Extracted 2"}},
        };
        for (const QList<QStringList>& results : runs) {
            const Run run = selftest(dir);
            QCOMPARE(run.status, 0);
            QCOMPARE(run.lines.size(), names.size() + 1);
            for (qsizetype i = 0; i < names.size(); ++i)
                verifyPassed(run.lines[i], names[i], dir, results[i]);
            QCOMPARE(run.lines.last(), QStringLiteral("All tool checks passed."));
        }
        // The song's results hold all of it (the trim its 2 s), those in its own format its cover.
        for (const auto& [name, seconds] : {std::pair{"song Trimmed.mp3", 2.0},
                                            {"song Mono.mp3", 3.0},
                                            {"song Bleeped.mp3", 3.0},
                                            {"song Normalized.mp3", 3.0},
                                            {"song Normalized 2.mp3", 3.0},
                                            {"song Visualizer.mp4", 3.0},
                                            {"song Visualizer 2.mp4", 3.0},
                                            {"song Compressed.mp3", 3.0},
                                            {"song Tagged.mp3", 3.0}}) {
            const auto [length, covers] = lengthAndCovers(QDir(dir).filePath(name));
            QVERIFY2(std::abs(length - seconds) < 0.2, qPrintable(QString("%1: %2 s").arg(name).arg(length)));
            QVERIFY2(covers == (QString(name).endsWith(".mp3") ? 1 : 0), name);
        }
        // The crop's fixed rectangle (0.1, 0.1, 0.5 × 0.4) of the 640 × 480 photo.
        QCOMPARE(QImage(QDir(dir).filePath("photo Cropped.jpg")).size(), QSize(320, 192));
        // Padded by 64 into 768 × 608, then made square; featured is 3 : 2 at 1600 wide.
        QCOMPARE(QImage(QDir(dir).filePath("photo With Background.png")).size(), QSize(768, 768));
        QCOMPARE(QImage(QDir(dir).filePath("photo Collage.png")).size(), QSize(1600, 1067));
        QCOMPARE(QDir(QDir(dir).filePath("sample Pages")).entryList(QDir::Files).size(), 3);
        // The merge holds the sample's three pages twice over; the organized copy its third page
        // first, then its first turned a quarter, and not its second.
        const QString merged = popplerSays("pdfinfo", {QDir(dir).filePath("sample Merged.pdf")});
        QVERIFY2(hasLine(merged, "^Pages: +6$"), qPrintable(merged));
        const QString organized = QDir(dir).filePath("sample Organized.pdf");
        const QString pages = popplerSays("pdfinfo", {"-f", "1", "-l", "2", organized});
        QVERIFY2(hasLine(pages, "^Pages: +2$") && hasLine(pages, "^Page +1 rot: +0$") &&
                     hasLine(pages, "^Page +2 rot: +90$"),
                 qPrintable(pages));
        QCOMPARE(popplerSays("pdftotext", {"-f", "1", "-l", "1", organized, "-"}).trimmed(),
                 QString("Sample page 3"));
        // The copy titled "Test" holds that title and none of the sample's other information.
        QProcess info;
        info.start("pdfinfo", {QDir(dir).filePath("sample Tagged.pdf")});
        QVERIFY(info.waitForFinished(60000) && info.exitCode() == 0);
        const QString said = QString::fromUtf8(info.readAllStandardOutput());
        QVERIFY2(said.contains(QRegularExpression("^Title: +Test$", QRegularExpression::MultilineOption)),
                 qPrintable(said));
        for (const char* gone :
             {"Author:", "Subject:", "Keywords:", "Creator:", "Producer:", "CreationDate:", "ModDate:"})
            QVERIFY2(!said.contains(gone), gone);
        // The redaction found the line written on the photo and hid it; elsewhere the photo is
        // as it was, give or take its encoding.
        const QImage photo(QDir(dir).filePath("photo.jpg"));
        const QImage redacted(QDir(dir).filePath("photo Redacted.jpg"));
        QCOMPARE(redacted.size(), photo.size());
        const double writing = difference(photo, redacted, QRect(40, 408, 460, 40));
        const double rest = difference(photo, redacted, QRect(0, 60, 640, 260));
        QVERIFY2(writing > 25 && rest < 4, qPrintable(QString("%1 %2").arg(writing).arg(rest)));
        // The archive's two samples, one of them in a folder, and nothing else; a second run
        // leaves the first's as it was. The archive itself and its scratch folder are gone.
        const QMap<QString, QByteArray> archived{{"photo.png", tree(dir).value("photo.png")},
                                                 {"photos/photo.jpg", tree(dir).value("photo.jpg")}};
        QVERIFY(!archived["photo.png"].isEmpty() && !archived["photos/photo.jpg"].isEmpty());
        QCOMPARE(tree(QDir(dir).filePath("sample Extracted")), archived);
        QCOMPARE(tree(QDir(dir).filePath("sample Extracted 2")), archived);
        const QStringList left = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QVERIFY2(!left.join('\n').contains(
                     QRegularExpression("^\\.|\\.zip$", QRegularExpression::MultilineOption)),
                 qPrintable(left.join('\n')));
    }

    // A user who saves results in a folder of their own gets nothing of the self-test there, nor
    // in their settings: the results stay beside the samples. No program is left running on them.
    void keepsOutOfTheUsersFolder()
    {
        QTemporaryDir folder, config, usersFolder;
        const QString dir = copy(folder);
        QVERIFY(!dir.isEmpty() && QDir().mkpath(config.filePath("Tolvane")));
        const QByteArray settings =
            "[General]\nsaveLocation=folder\noutputFolder=" + QFile::encodeName(usersFolder.path()) + "\n";
        QFile file(config.filePath("Tolvane/Tolvane.conf"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
        file.close();

        const Run run = selftest(dir, config.path());
        QCOMPARE(run.status, 0);
        verifyPassed(run.lines[0], "crop", dir, {"photo Cropped.jpg"});
        const qsizetype mute = names.indexOf("mute");
        verifyPassed(run.lines[mute], "mute", dir, {"clip Muted.mp4"});
        QCOMPARE(QDir(usersFolder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), settings);
        QCOMPARE(processesNaming(QFile::encodeName(dir)), QStringList());
    }

    void missingSampleFailsOnlyItsChecks_data()
    {
        QTest::addColumn<QStringList>("removed");
        QTest::addColumn<QStringList>("failing");
        QTest::newRow("no clip.mp4") << QStringList{"clip.mp4"} << clipChecks;
        QTest::newRow("no clip.mov") << QStringList{"clip.mov"} << QStringList{"join"};
        QTest::newRow("no song.mp3") << QStringList{"song.mp3"} << audioChecks;
        QTest::newRow("no photo.png")
            << QStringList{"photo.png"} << QStringList{"collage", "create pdf", "extract archive"};
        QTest::newRow("no sample.pdf")
            << QStringList{"sample.pdf"}
            << QStringList{"compress pdf", "pdf metadata", "split pdf", "merge pdf", "organize pdf"};
        const QStringList all{"photo.jpg", "photo.png", "clip.mp4", "clip.mov", "song.mp3", "sample.pdf"};
        QTest::newRow("empty folder") << all << names;
    }

    void missingSampleFailsOnlyItsChecks()
    {
        QFETCH(QStringList, removed);
        QFETCH(QStringList, failing);
        QTemporaryDir folder;
        const QString dir = copy(folder);
        for (const QString& name : removed)
            QVERIFY(QFile::remove(QDir(dir).filePath(name)));

        const Run run = selftest(dir);
        QCOMPARE(run.status, 1);
        QCOMPARE(run.lines.size(), names.size() + 1);
        for (qsizetype i = 0; i < names.size(); ++i) {
            const bool fails = failing.contains(names[i]);
            const QString start = (fails ? QStringLiteral("✗ ") : QStringLiteral("✓ ")) + names[i] + ": ";
            QVERIFY2(run.lines[i].startsWith(start), qPrintable(run.lines[i]));
            if (fails) QVERIFY2(run.lines[i].size() > start.size(), "a failure names its cause");
        }
        QCOMPARE(run.lines.last(), QStringLiteral("%1 tool checks failed.").arg(failing.size()));
    }

    // A sample the folder lacks is said not to be in it, naming the folder, by the image, PDF,
    // media and archive checks alike, and the programs' own words about it stay off standard error.
    void missingSampleIsNamedWithItsFolder_data()
    {
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QStringList>("failing");
        QTest::newRow("image") << "photo.jpg" << QStringList{"crop",           "add bg",
                                                             "edit",           "collage",
                                                             "annotate",       "compress image",
                                                             "metadata strip", "metadata edit",
                                                             "create pdf",     "visualize bars+bg",
                                                             "extract archive"};
        QTest::newRow("second image")
            << "photo.png" << QStringList{"collage", "create pdf", "extract archive"};
        QTest::newRow("pdf") << "sample.pdf"
                             << QStringList{"compress pdf", "pdf metadata", "split pdf", "merge pdf",
                                            "organize pdf"};
        QTest::newRow("media") << "clip.mp4" << clipChecks;
        QTest::newRow("sound") << "song.mp3" << audioChecks;
    }

    void missingSampleIsNamedWithItsFolder()
    {
        QFETCH(QString, removed);
        QFETCH(QStringList, failing);
        QTemporaryDir folder;
        const QString dir = copy(folder);
        QVERIFY(QFile::remove(QDir(dir).filePath(removed)));
        const Run run = selftest(dir);
        QCOMPARE(run.status, 1);
        for (const QString& name : failing)
            QVERIFY2(run.lines.contains(QStringLiteral("✗ %1: %2 is not in %3").arg(name, removed, dir)),
                     qPrintable(run.lines.join('\n')));
        QCOMPARE(run.err, QString());
    }

    // A clip broken off short fails every check that reads it, each in our words, and ffmpeg's own
    // lines ("[mov,mp4,… @ 0x…] moov atom not found") stay off both streams.
    void damagedClipFailsInPlainWords()
    {
        QTemporaryDir folder;
        const QString dir = copy(folder);
        QFile clip(QDir(dir).filePath("clip.mp4"));
        QVERIFY(clip.open(QIODevice::ReadWrite) && clip.resize(clip.size() / 2));
        clip.close();
        const Run run = selftest(dir);
        QCOMPARE(run.status, 1);
        for (const QString& name : clipChecks) {
            const QString because = name == "join"
                                        ? "clip.mp4 has no picture to join"
                                        : "The file can’t be read: it may be damaged or not a media file";
            QVERIFY2(run.lines.contains(QStringLiteral("✗ %1: %2").arg(name, because)),
                     qPrintable(run.lines.join('\n')));
        }
        QVERIFY2(!run.lines.join('\n').contains(" @ 0x"), qPrintable(run.lines.join('\n')));
        QCOMPARE(run.err, QString());
        QCOMPARE(run.lines.last(), QStringLiteral("%1 tool checks failed.").arg(clipChecks.size()));
    }
};

QTEST_GUILESS_MAIN(SelfTestTest)
#include "test_selftest.moc"
