// The command line's own contract, through the binary: exact output and exit status, renderings
// written as PNG, conversions printed in the order given, and the pure helpers it is built on.

#include "cli/cli.h"
#include "cli/convert.h"
#include "core/toolid.h"
#include "core/zip.h"

#include "../support/minipdf.h"

#include <QDirIterator>
#include <QImage>
#include <QtTest>
#include <cerrno>
#include <sys/prctl.h>
#include <sys/wait.h>

namespace {

struct Run
{
    int status = -1;
    QString out, err;
};

Run tolvane(const QStringList& args, const QString& locale = QStringLiteral("C.UTF-8"),
            const QStringList& unset = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", locale);
    env.insert("LANG", locale);
    for (const QString& name : unset)
        env.remove(name);
    p.setProcessEnvironment(env);
    p.start(TOLVANE_BIN, args);
    if (!p.waitForFinished(60000)) return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

bool makeClip(const QString& path, const QString& size, int seconds)
{
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-f", "lavfi", "-i",
                            QString("testsrc2=d=%1:s=%2").arg(seconds).arg(size), "-c:v", "libx264", path});
    return ffmpeg.waitForFinished(30000) && ffmpeg.exitCode() == 0;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

const QString usage = "usage: Tolvane --targets FILE… | --convert FORMAT FILE… | --tool TOOL FILE… | "
                      "--render-wheel MODE OUT.png FILE… [--highlight N] | "
                      "--render-tool TOOL OUT.png FILE…\n";

} // namespace

class CliTest : public QObject
{
    Q_OBJECT
  private slots:
    void exactOutput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        const QString actions = "actions: SEND · FLOAT · COPY · MOVE · COPY PATH · TERMINAL\n";
        QTest::newRow("targets") << QStringList{"--targets", "a.jpg", "b.png"} << 0
                                 << "conversions: JPG · PNG · WEBP · HEIC · TIFF · AVIF · BMP · PDF · DOCX\n"
                                    "tools: COMPRESS · METADATA · CROP · CREATE PDF · COLLAGE\n" +
                                        actions;
        QTest::newRow("targets of nothing")
            << QStringList{"--targets"} << 0 << "conversions: \ntools: \n" + actions;
        // Each command refuses too few arguments, and options match whole and case-sensitively.
        const QList<QStringList> refused{{"--bogus"},
                                         {"--App"},
                                         {"--apple"},
                                         {"--convert", "png"},
                                         {"--render-hud"},
                                         {"--render-settings"},
                                         {"--render-wheel", "bogus", "w.png", "a.jpg"},
                                         {"--render-wheel", "tools", "w.png"},
                                         {"--icon", "i.png", "abc"},
                                         {"--icon", "i.png"},
                                         {"--tool", "cropimage", "a.png"},
                                         {"--tool", "muteVideo"},
                                         {"--render-tool", "cropimage", "u.png", "a.jpg"},
                                         {"--render-tool", "cropImage", "n.png"}};
        for (const QStringList& args : refused)
            QTest::newRow(qPrintable(args.join(' '))) << args << 2 << usage;
        // Every tool but the four that run from their petal needs its window.
        for (ToolID tool : allToolIds()) {
            if (isWindowless(tool)) continue;
            QTest::newRow(qPrintable("window " + rawValue(tool)))
                << QStringList{"--tool", rawValue(tool), "a.png"} << 2
                << rawValue(tool) + " needs its window\n";
        }
        QTest::newRow("format with an escape") << QStringList{"--convert", "mp4\x1b[2J", "a.mp4"} << 1
                                               << "error: Tolvane doesn’t know the format “mp4\\x1B[2J”\n";
    }

    // The same in a German locale. The usage line is checked letter for letter: it is put
    // together from the table of commands.
    void exactOutput()
    {
        QFETCH(QStringList, args);
        for (const QString locale : {"C.UTF-8", "de_DE.UTF-8"}) {
            const Run r = tolvane(args, locale);
            QTEST(r.status, "status");
            QTEST(r.out, "out");
        }
    }

    void renderings_data()
    {
        QTest::addColumn<QStringList>("args"); // "@" stands for a folder holding photo.jpg
        QTest::addColumn<QString>("out");      // for a failure, the start of the line
        QTest::addColumn<QSize>("size");       // of the picture written, 0x0 for a failure
        QTest::newRow("hud") << QStringList{"--render-hud", "@/hud.png"} << "@/hud.png\n" << QSize(328, 186);
        QTest::newRow("hud, no folder")
            << QStringList{"--render-hud", "@/missing/hud.png"} << "error: " << QSize(0, 0);
        QTest::newRow("wheel") << QStringList{"--render-wheel", "tools",       "@/w.png",
                                              "@/a.jpg",        "--highlight", "2"}
                               << "@/w.png\n"
                               << QSize(360, 360);
        QTest::newRow("icon, decimal point") << QStringList{"--icon", "@/i.png", "64.7"} << "@/i.png\n"
                                             << QSize(64, 64);
        QTest::newRow("crop tool") << QStringList{"--render-tool", "cropImage", "@/c.png", "@/photo.jpg"}
                                   << "@/c.png\n"
                                   << QSize(460, 640);
        QTest::newRow("edit tool") << QStringList{"--render-tool", "editImage", "@/e.png", "@/photo.jpg"}
                                   << "@/e.png\n"
                                   << QSize(640, 780);
        QTest::newRow("annotate tool")
            << QStringList{"--render-tool", "annotateImage", "@/a.png", "@/photo.jpg"} << "@/a.png\n"
            << QSize(820, 700);
        QTest::newRow("frame tool") << QStringList{"--render-tool", "frameImage", "@/f.png", "@/photo.jpg"}
                                    << "@/f.png\n"
                                    << QSize(560, 720);
        QTest::newRow("collage tool")
            << QStringList{"--render-tool", "createCollage", "@/k.png", "@/photo.jpg", "@/photo.jpg"}
            << "@/k.png\n"
            << QSize(720, 680);
        QTest::newRow("redact tool") << QStringList{"--render-tool", "redactImage", "@/r.png", "@/photo.jpg"}
                                     << "@/r.png\n"
                                     << QSize(760, 680);
        QTest::newRow("tool, unreadable file")
            << QStringList{"--render-tool", "cropImage", "@/u.png", "@/none.jpg"} << "@/u.png\n"
            << QSize(460, 640);
    }

    // Under a comma locale: the icon size is read with a decimal point all the same.
    void renderings()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        QFETCH(QSize, size);
        QTemporaryDir dir;
        QImage photo(800, 600, QImage::Format_RGB32);
        photo.fill(QColor(0, 160, 0));
        QVERIFY(photo.save(dir.filePath("photo.jpg")));
        args.replaceInStrings("@", dir.path());
        out.replace("@", dir.path());
        const Run r = tolvane(args, "de_DE.UTF-8");
        QCOMPARE(r.status, size.isEmpty() ? 1 : 0);
        QVERIFY2((size.isEmpty() ? r.out.startsWith(out) : r.out == out) && r.err.isEmpty(),
                 qPrintable(r.out + r.err));
        const QImage png(args.filter(".png").value(0));
        QCOMPARE(png.size(), size);
        if (QTest::currentDataTag() == QLatin1String("redact tool")) {
            // The photo is loaded on the stage.
            const QColor middle = png.pixelColor(380, 340);
            QVERIFY2(middle.green() > 130 && middle.red() < 40 && middle.blue() < 40,
                     qPrintable(middle.name()));
        }
        if (QTest::currentDataTag() == QLatin1String("crop tool")) {
            // The photo fills the middle of the stage; outside the window's rounded corners the
            // desktop shows through.
            const QColor middle = png.pixelColor(230, 250);
            QVERIFY2(middle.green() > 130 && middle.red() < 40 && middle.blue() < 40,
                     qPrintable(middle.name()));
            QCOMPARE(png.pixelColor(1, 1).alpha(), 0);
            QCOMPARE(png.pixelColor(png.width() - 2, png.height() - 2).alpha(), 0);
            QCOMPARE(png.pixelColor(230, 2).alpha(), 255);
        }
        // Their rendered previews have arrived: the photo in the middle of the stage.
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        const QPoint stage = tag == "frame tool"     ? QPoint(280, 235)
                             : tag == "collage tool" ? QPoint(250, 257)
                             : tag == "edit tool"    ? QPoint(320, 215)
                                                     : QPoint();
        if (!stage.isNull()) {
            const QColor middle = png.pixelColor(stage);
            QVERIFY2(middle.green() > 130 && middle.red() < 40 && middle.blue() < 40,
                     qPrintable(middle.name()));
        }
    }

    // Side by side, but the lines come in the order of the files: a slow first file, a missing one,
    // two that want the same name, and a name holding a terminal escape and a line feed, which
    // is printed escaped. The format is typed in capitals: results are named in lower case, and a
    // failure repeats the format as typed.
    void convertsInTheOrderGiven()
    {
        QTemporaryDir dir;
        const QString escaped = "a\x1b[31mred\nb";
        QVERIFY(makeClip(dir.filePath("long.mkv"), "640x480", 4));
        for (const QString name : {"short.mkv", "clip.mkv", "clip.mov"})
            QVERIFY(makeClip(dir.filePath(name), "160x120", 1));
        QVERIFY(QFile::copy(dir.filePath("short.mkv"), dir.filePath(escaped + ".mkv")));
        QStringList files{"long.mkv", "gone.mov", "short.mkv", "clip.mkv", "clip.mov", escaped + ".mkv"};
        for (QString& file : files)
            file = dir.filePath(file);

        const Run r = tolvane(QStringList{"--convert", "MP4"} + files, "de_DE.UTF-8");
        QCOMPARE(r.status, 1);
        QVERIFY2(!r.out.contains('\x1b') && !r.err.contains('\x1b'), qPrintable(r.out + r.err));
        const QStringList lines = r.out.split('\n');
        const QString time = R"(  \(\d+\.\ds\)$)";
        const QStringList expected{"^✓ long\\.mkv → long\\.mp4" + time,
                                   "^✗ gone\\.mov → MP4: .+$",
                                   "^✓ short\\.mkv → short\\.mp4" + time,
                                   "^✓ clip\\.mkv → (clip|clip 2)\\.mp4" + time,
                                   "^✓ clip\\.mov → (clip|clip 2)\\.mp4" + time,
                                   R"(^✓ a\\x1B\[31mred\\nb\.mkv → a\\x1B\[31mred\\nb\.mp4)" + time,
                                   "^$"};
        QCOMPARE(lines.size(), expected.size());
        for (qsizetype i = 0; i < lines.size(); ++i)
            QVERIFY2(QRegularExpression(expected[i]).match(lines[i]).hasMatch(), qPrintable(lines[i]));
        QVERIFY(lines[3].contains("clip 2.mp4") != lines[4].contains("clip 2.mp4"));
        for (const QString name : {"long.mp4", "short.mp4", "clip.mp4", "clip 2.mp4"})
            QVERIFY2(QFile::exists(dir.filePath(name)), qPrintable(name));
        QVERIFY(QFile::exists(dir.filePath(escaped + ".mp4")));

        // A second run keeps the first one's result.
        const Run again = tolvane({"--convert", "mp4", dir.filePath("short.mkv")});
        QVERIFY2(again.status == 0 && again.out.startsWith("✓ short.mkv → short 2.mp4  ("),
                 qPrintable(again.out));
    }

    // A conversion's process leaves the freeing of its memory to a task that outlives it. That
    // task ends with the process, after a success as after a failure, whose status is the one
    // the caller sees; this test adopts what the process leaves behind to see it end.
    void leavesNothingRunning()
    {
        QTemporaryDir dir;
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=d=1", dir.filePath("tone.wav")});
        QVERIFY(ffmpeg.waitForFinished(30000) && ffmpeg.exitCode() == 0);
        QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1L), 0);
        const auto notAdopting = qScopeGuard([] { ::prctl(PR_SET_CHILD_SUBREAPER, 0L); });
        // Reaps what this process adopted; true once nothing is left, not even a task that waits.
        const auto nothingLeft = [] {
            for (;;) {
                const pid_t reaped = ::waitpid(-1, nullptr, WNOHANG | __WALL);
                if (reaped == 0) return false;
                if (reaped < 0) return errno == ECHILD;
            }
        };
        const Run done = tolvane({"--convert", "mp3", dir.filePath("tone.wav")});
        QCOMPARE(done.status, 0);
        QVERIFY(QFile::exists(dir.filePath("tone.mp3")));
        QTRY_VERIFY_WITH_TIMEOUT(nothingLeft(), 20000);
        const Run failed = tolvane({"--convert", "mp3", dir.filePath("gone.wav")});
        QCOMPARE(failed.status, 1);
        QTRY_VERIFY_WITH_TIMEOUT(nothingLeft(), 20000);
    }

    // A format that is a path is refused before anything is written, here or anywhere else.
    void formatWithAPathWritesNothing()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("in/a.d") && QDir(dir.path()).mkpath("x"));
        QVERIFY(makeClip(dir.filePath("in/a.mkv"), "160x120", 1));
        const Run r = tolvane({"--convert", "d/../../x/evil.mp4", dir.filePath("in/a.mkv")}, "de_DE.UTF-8");
        QCOMPARE(r.status, 1);
        QCOMPARE(r.out, QString("error: Tolvane doesn’t know the format “d/../../x/evil.mp4”\n"));
        QStringList everything;
        QDirIterator it(dir.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            everything << QDir(dir.path()).relativeFilePath(it.next());
        everything.sort();
        QCOMPARE(everything, QStringList({"in", "in/a.d", "in/a.mkv", "x"}));
    }

    // A failure reads plainly on standard output and nothing reaches standard error; a file
    // already in the format needs no work, an unknown kind fails, and neither writes anything.
    void failuresAndNothingToDo()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("bad.mkv"), QByteArray(4096, '\x01')));
        const Run r = tolvane({"--convert", "mp4", dir.filePath("bad.mkv")});
        QCOMPARE(r.status, 1);
        QVERIFY2(QRegularExpression("^✗ bad\\.mkv → mp4: [^@\n]+\n$").match(r.out).hasMatch(),
                 qPrintable(r.out));
        QCOMPARE(r.err, QString());

        QVERIFY(writeFile(dir.filePath("notes.xyz"), ""));
        const Run same =
            tolvane({"--convert", "mkv", dir.filePath("sub/../bad.mkv"), dir.filePath("notes.xyz")});
        QCOMPARE(same.status, 1);
        const QStringList lines = same.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QString("✓ bad.mkv: already MKV, nothing to do"));
        QCOMPARE(lines[1], QString("✗ notes.xyz → mkv: Tolvane doesn’t know this kind of file"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"bad.mkv", "notes.xyz"}));
    }

    // Files other programs wrote and a copy broke off short: each failure is said in our words on
    // standard output, while ffmpeg's lines ("[mov,mp4,… @ 0x…] moov atom not found") and
    // libtiff's warnings stay off both streams. A German locale keeps its comma out of the times.
    void damagedFilesFailInPlainWords()
    {
        QTemporaryDir dir;
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg",
                     {"-v", "error", "-f", "lavfi", "-i", "testsrc2=d=1:s=160x120", "-f", "lavfi", "-i",
                      "sine=d=1", "-c:v", "libx264", "-c:a", "aac", "-shortest", dir.filePath("clip.mp4")});
        QVERIFY(ffmpeg.waitForFinished(30000) && ffmpeg.exitCode() == 0);
        QProcess convert;
        convert.start("/usr/bin/convert", {"-size", "320x240", "gradient:red-blue", "-compress", "lzw",
                                           dir.filePath("picture.tif")});
        QVERIFY(convert.waitForFinished(30000) && convert.exitCode() == 0);
        for (const QString& name : {QString("clip.mp4"), QString("picture.tif")}) {
            QFile whole(dir.filePath(name));
            QVERIFY(whole.open(QIODevice::ReadOnly));
            const QByteArray bytes = whole.readAll();
            QVERIFY(writeFile(dir.filePath("cut " + name), bytes.left(bytes.size() / 2)));
        }

        const Run sound = tolvane(
            {"--convert", "mp3", dir.filePath("cut clip.mp4"), dir.filePath("clip.mp4")}, "de_DE.UTF-8");
        QCOMPARE(sound.status, 1);
        const QStringList lines = sound.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QString("✗ cut clip.mp4 → mp3: The file can’t be read: it may be damaged or not a "
                                   "media file"));
        QVERIFY2(
            QRegularExpression("^✓ clip\\.mp4 → clip\\.mp3  \\(\\d+\\.\\ds\\)$").match(lines[1]).hasMatch(),
            qPrintable(lines[1]));
        QCOMPARE(sound.err, QString());

        const Run picture = tolvane({"--convert", "png", dir.filePath("cut picture.tif")}, "de_DE.UTF-8");
        QCOMPARE(picture.status, 1);
        QVERIFY2(picture.out.startsWith("✗ cut picture.tif → png: ") && !picture.out.contains("TIFF"),
                 qPrintable(picture.out));
        QCOMPARE(picture.err, QString());
    }

    // A target the file can't take, and a file that has gone, are said to be so in every family,
    // before any program runs.
    void refusedUpFront()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("photo.jpg"), "not looked at"));
        const Run r = tolvane({"--convert", "mp3", dir.filePath("photo.jpg")});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.out, QString("✗ photo.jpg → mp3: photo.jpg can’t be converted to MP3\n"));
        for (const QString name : {"gone.docx", "gone.wav", "gone.png", "gone.csv", "gone.zip"}) {
            const Run gone = tolvane({"--convert", "pdf", dir.filePath(name)});
            QCOMPARE(gone.status, 1);
            QCOMPARE(gone.out, QString("✗ %1 → pdf: %1 is no longer there\n").arg(name));
        }
        // The line repeats the format as it was typed, not the key it stands for.
        const Run typed = tolvane({"--convert", "GZIP", dir.filePath("gone.txt")});
        QCOMPARE(typed.out, QString("✗ gone.txt → GZIP: gone.txt is no longer there\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"photo.jpg"});
    }

    // Drawing text needs fonts, which only a GUI application has; a conversion gets one even
    // with no display at all.
    void svgWithTextWithoutADisplay()
    {
        QTemporaryDir dir;
        QVERIFY(
            writeFile(dir.filePath("d.svg"),
                      "<svg xmlns='http://www.w3.org/2000/svg' width='200' height='100'><rect width='200' "
                      "height='100' fill='#00aa00'/><text x='10' y='60' font-size='30'>Hi</text></svg>"));
        const Run r = tolvane({"--convert", "png", dir.filePath("d.svg")}, "C.UTF-8",
                              {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
        QCOMPARE(r.status, 0);
        QCOMPARE(QImage(dir.filePath("d.png")).pixelColor(150, 10), QColor(0, 0xaa, 0));
    }

    // A command loads only what it uses: the wheel's listing, media and subtitles need neither the
    // GUI nor the module of heavy engines, nor Qt's GUI library, nor libarchive and the XML
    // library it brings; an image conversion opens the engines but not the GUI; an archive
    // conversion opens libarchive. Read from the dynamic loader's own account of the objects it
    // mapped.
    void loadsOnlyWhatItUses()
    {
        QTemporaryDir dir;
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=d=1", dir.filePath("tone.wav")});
        QVERIFY(ffmpeg.waitForFinished(30000) && ffmpeg.exitCode() == 0);
        ffmpeg.start("ffmpeg", {"-v", "error", "-i", dir.filePath("tone.wav"), dir.filePath("tone.flac")});
        QVERIFY(ffmpeg.waitForFinished(30000) && ffmpeg.exitCode() == 0);
        ffmpeg.start("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc2=s=64x48:d=1", "-c:v", "libx264",
                                "-preset", "ultrafast", dir.filePath("clip.mkv")});
        QVERIFY(ffmpeg.waitForFinished(30000) && ffmpeg.exitCode() == 0);
        QImage picture(16, 16, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(dir.filePath("picture.png")));
        QFile pdf(dir.filePath("letter.pdf"));
        QVERIFY(pdf.open(QIODevice::WriteOnly) &&
                pdf.write(MiniPdf::bytes(
                    {{QRectF(0, 0, 300, 200), 0,
                      MiniPdf::text("F1", 12, 20, 150, "Dear reader, this page has text.")}})) > 0);
        pdf.close();
        QVERIFY(MiniPdf::write(dir.filePath("blank.pdf"), {{QRectF(0, 0, 300, 200), 0, ""}}));
        QVERIFY(writeFile(dir.filePath("lines.srt"), "1\n00:00:01,000 --> 00:00:02,500\nHello\n"));
        Zip::write({{"notes/a.txt", "hello"}}, dir.filePath("box.zip"));

        const QStringList gui{"libtolvane_gui.so", "libQt6Widgets.so"};
        const QStringList recognition{"libtolvane_recognition.so", "libtesseract", "libopencv"};
        const QStringList heavy =
            QStringList{"libtolvane_engines_heavy.so", "libQt6Gui.so", "libpoppler", "libheif"} + recognition;
        const QStringList archives{"libarchive.so", "libxml2.so"};
        const struct
        {
            QStringList args;
            QString result;
            QStringList present, absent;
        } cases[] = {
            {{"--targets", dir.filePath("x.mp3")}, {}, {"libtolvane_core.so"}, gui + heavy + archives},
            {{"--targets", dir.filePath("tone.wav")}, {}, {"libtolvane_core.so"}, gui + heavy + archives},
            // The source is read in this process, by ffmpeg's libraries (which load libxml2 for
            // themselves), while ffmpeg converts it; a WAVE file from its header alone.
            {{"--convert", "mp3", dir.filePath("tone.flac")},
             "tone.mp3",
             {"libtolvane_engines.so", "libavformat.so"},
             gui + heavy + QStringList{"libarchive.so"}},
            // A GIF's source is read by ffmpeg alone when its description names nothing to leave out.
            {{"--convert", "gif", dir.filePath("clip.mkv")},
             "clip.gif",
             {"libtolvane_engines.so"},
             gui + heavy + QStringList{"libarchive.so", "libavformat.so", "libavcodec.so"}},
            {{"--convert", "ogg", dir.filePath("tone.wav")},
             "tone.ogg",
             {"libtolvane_engines.so"},
             gui + heavy + QStringList{"libarchive.so", "libavformat.so", "libavcodec.so"}},
            {{"--convert", "vtt", dir.filePath("lines.srt")}, "lines.vtt", {}, gui + heavy + archives},
            {{"--convert", "gz", dir.filePath("box.zip")}, "box.tar.gz", {"libarchive.so"}, gui + heavy},
            {{"--convert", "jpg", dir.filePath("picture.png")},
             "picture.jpg",
             {"libtolvane_engines_heavy.so"},
             gui + recognition},
            {{"--convert", "txt", dir.filePath("letter.pdf")},
             "letter.txt",
             {"libtolvane_pdftext.so", "libpoppler-glib"},
             gui + recognition +
                 QStringList{"libtolvane_engines_heavy.so", "libQt6Gui.so", "libpoppler-qt6"}},
            {{"--convert", "txt", dir.filePath("blank.pdf")},
             "blank.txt",
             {"libtolvane_pdftext.so", "libtolvane_engines_heavy.so", "libtolvane_recognition.so"},
             gui},
            {{"--convert", "docx", dir.filePath("picture.png")},
             "picture.docx",
             {"libtolvane_recognition.so", "libtesseract"},
             gui},
        };
        for (const auto& c : cases) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("LD_DEBUG", "files");
            // Into a file per process: children (ffmpeg) must not find the loader's lines in their
            // own standard error, which the program reads.
            QTemporaryDir debug;
            env.insert("LD_DEBUG_OUTPUT", debug.filePath("ld"));
            p.setProcessEnvironment(env);
            p.start(TOLVANE_BIN, c.args);
            QVERIFY(p.waitForStarted(30000));
            const qint64 pid = p.processId();
            QVERIFY(p.waitForFinished(60000));
            QVERIFY2(p.exitCode() == 0, qPrintable(c.args.join(' ')));
            QVERIFY(c.result.isEmpty() || QFile::exists(dir.filePath(c.result)));
            // Lines of this process only: "  PID:\tfile=NAME [0];  needed by …"
            const QRegularExpression line(QString(R"(^\s*%1:\s+file=(\S+))").arg(pid),
                                          QRegularExpression::MultilineOption);
            QStringList loaded;
            QFile log(debug.filePath(QStringLiteral("ld.%1").arg(pid)));
            QVERIFY(log.open(QIODevice::ReadOnly));
            for (auto it = line.globalMatch(QString::fromLocal8Bit(log.readAll())); it.hasNext();)
                loaded << QFileInfo(it.next().captured(1)).fileName();
            const auto any = [&loaded](const QString& prefix) {
                return std::any_of(loaded.cbegin(), loaded.cend(),
                                   [&prefix](const QString& name) { return name.startsWith(prefix); });
            };
            for (const QString& name : c.present)
                QVERIFY2(any(name), qPrintable(c.args.join(' ') + ": " + name + " not loaded"));
            for (const QString& name : c.absent)
                QVERIFY2(!any(name), qPrintable(c.args.join(' ') + " loads " + name));
        }
    }

    // An archive library that can't be loaded fails the archive's conversion, naming the library,
    // and leaves nothing behind.
    void archiveLibraryThatWontLoad()
    {
        QTemporaryDir dir, libraries;
        Zip::write({{"a.txt", "hello"}}, dir.filePath("box.zip"));
        QVERIFY(writeFile(libraries.filePath("libarchive.so.13"), "not a library"));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_LIBRARY_PATH", libraries.path() + ':' + env.value("LD_LIBRARY_PATH"));
        p.setProcessEnvironment(env);
        p.start(TOLVANE_BIN, {"--convert", "gz", dir.filePath("box.zip")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()),
                 QString("✗ box.zip → gz: Tolvane can’t load libarchive.so.13\n"));
        QCOMPARE(p.readAllStandardError(), QByteArray());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"box.zip"});
    }

    void countAndEtaDemoInAGermanLocale()
    {
        const Run count = tolvane({"--count"}, "de_DE.UTF-8");
        QVERIFY(count.status == 0 && QRegularExpression("^[1-9]\\d*\n$").match(count.out).hasMatch());
        const Run r = tolvane({"--eta-demo"}, "de_DE.UTF-8");
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(r.status == 0 && lines.size() >= 7 && lines.size() <= 9, qPrintable(r.out));
        // Progress climbs about 12.5 points a line and the last line reports the work complete.
        const QRegularExpression line(R"(^t=\d+s  progress=([ \d]\d+)%  estimate=(\d+\.\d|–)s?$)");
        int progress = 0;
        for (const QString& l : lines) {
            const QRegularExpressionMatch m = line.match(l);
            QVERIFY2(m.hasMatch() && m.captured(1).trimmed().toInt() > progress, qPrintable(l));
            progress = m.captured(1).trimmed().toInt();
        }
        QVERIFY2(progress == 100, qPrintable(r.out));
    }

    // Control characters, C1 codes and bidirectional marks in names are printed escaped; a typed
    // format is lower-cased and anything that could be a path refused; paths are made absolute.
    void helpers()
    {
        const QList<std::pair<QString, QString>> printed{
            {"Grüße → 日本 😀.mp4", "Grüße → 日本 😀.mp4"},
            {"a\nb\r\tc", "a\\nb\\r\\tc"},
            {"\x1b[31m\x07", "\\x1B[31m\\x07"},
            {QString("x\x7f") + QChar(0x9b) + "2J", "x\\x7F\\x9B2J"},
            {QString("evil") + QChar(0x202e) + "4pm.exe", "evil\\u202E4pm.exe"},
            {QString(QChar(0x2066)) + QChar(0x2028), "\\u2066\\u2028"}};
        for (const auto& [text, escaped] : printed)
            QCOMPARE(CLI::printable(text), escaped);

        const QList<std::pair<QString, QString>> formats{{"mp4", "mp4"},   {"WEBM", "webm"}, {"Gz", "gz"},
                                                         {"GZIP", "gz"},   {"jpeg", "jpg"},  {"TIF", "tiff"},
                                                         {"../x.mp4", ""}, {"mp4/", ""},     {".mp4", ""},
                                                         {"", ""},         {"exe", ""}};
        for (const auto& [typed, key] : formats)
            QCOMPARE(CLI::formatKey(typed).value_or(QString()), key);

        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        QCOMPARE(CLI::path("~/clip.mov"), QDir::homePath() + "/clip.mov");
        QCOMPARE(CLI::path("sub/../clip.mov"), dir.path() + "/clip.mov");
        QCOMPARE(CLI::path("./a b.png"), dir.path() + "/a b.png");
        QCOMPARE(CLI::path("/x/./y/../z.pdf"), QString("/x/z.pdf"));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "test_cli.moc"
