// The compressors: images at each level and under a size goal (met, or said to be missed), PDFs
// page for page at every level, what page pictures keep of a PDF (attached files, bookmarks,
// restrictions) and what they say they can't (links, form fields), videos through libx264 and
// libx265 on lavfi clips, and a cancelled compression that leaves no file.

#include "core/job.h"
#include "core/output.h"
#include "engines/compress/heavy/imagecompressor.h"
#include "engines/compress/heavy/pdfcompressor.h"
#include "engines/compress/videocompressor.h"
#include "engines/media/media.h"

#include "../../support/enginefixtures_b.h"
#include "../../support/linkedpdfs.h"
#include "../../support/minipdf.h"
#include "../../support/placedpictures.h"
#include "../../support/profiledpictures.h"
#include "../../support/programoutput.h"

#include <QImageReader>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <poppler-qt6.h>

namespace {

// A noisy picture, so that JPEG sizes follow the quality.
QImage noisy(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y,
                           qRgb((x * 255) / size.width() + int(random.bounded(40)), (y * 200) / size.height(),
                                int(random.bounded(256))));
    return image;
}

QByteArray head(const QString& path, int n)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
}

ImageCompressSettings settings(ImageCompressMode mode, CompressLevel level = CompressLevel::balanced,
                               double percent = 50, double targetKB = 500, int maxSide = 0)
{
    return {mode, level, percent, targetKB, maxSide};
}

// A PDF of `pages` Letter pages, each saying its number.
QString textPDF(const QString& path, int pages)
{
    QList<MiniPdf::Page> list;
    for (int i = 1; i <= pages; ++i)
        list << MiniPdf::Page{QRectF(0, 0, 612, 792), 0,
                              MiniPdf::text("F1", 30, 72, 700, "Page " + QByteArray::number(i))};
    return MiniPdf::write(path, list) ? path : QString();
}

QString probeField(const QString& path, const QString& entries)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries", entries, "-of",
                        "default=nw=1:nk=1", path});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

bool ffmpeg(const QStringList& args)
{
    return QProcess::execute("ffmpeg", QStringList{"-v", "error", "-y"} + args) == 0;
}

const Progress ignored = [](double) {};

struct Listed
{
    int width;
    QString type, encoding;
    int xppi;
};

// The pictures `pdfimages -list` finds, in the order it meets them.
QList<Listed> listed(const QString& pdf)
{
    QProcess p;
    p.start("pdfimages", {"-list", pdf});
    p.waitForFinished(60000);
    QList<Listed> list;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n').mid(2)) {
        const QStringList f = line.simplified().split(' ');
        if (f.size() >= 14) list << Listed{f[3].toInt(), f[2], f[8], f[12].toInt()};
    }
    return list;
}

// Whether poppler draws every page of `pdf` without a complaint.
bool renders(const QString& pdf, const QString& prefix)
{
    QProcess p;
    p.start("pdftoppm", {"-r", "30", "-png", pdf, prefix});
    return p.waitForFinished(60000) && p.exitCode() == 0 && p.readAllStandardError().isEmpty();
}

} // namespace

class CompressorTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void imageLevelsKeepFormatAndShrinkLosslessOnly()
    {
        const QImage picture = noisy({1200, 800});
        QVERIFY(picture.save(path("photo.jpg"), "jpg", 95));
        QVERIFY(picture.save(path("shot.png")));
        QVERIFY(picture.save(path("old.bmp")));
        QVERIFY(picture.save(path("odd.xyz"), "png"));

        struct Case
        {
            QString source;
            CompressLevel level;
            int maxSide;
            QSize size;
            QByteArray magic;
        };
        const QList<Case> cases{
            {"shot.png", CompressLevel::high, 0, {1200, 800}, "\x89PNG"},
            {"shot.png", CompressLevel::balanced, 0, {900, 600}, "\x89PNG"},
            {"shot.png", CompressLevel::small, 0, {600, 400}, "\x89PNG"},
            {"shot.png",
             CompressLevel::small,
             3000,
             {1200, 800},
             "\x89PNG"}, // a limit switches shrinking off
            {"photo.jpg", CompressLevel::small, 0, {1200, 800}, "\xFF\xD8\xFF"},
            {"photo.jpg", CompressLevel::high, 600, {600, 400}, "\xFF\xD8\xFF"},
            {"old.bmp", CompressLevel::high, 0, {1200, 800}, "\x89PNG"},
            {"odd.xyz", CompressLevel::high, 0, {1200, 800}, "\xFF\xD8\xFF"},
        };
        for (const Case& c : cases) {
            const QString out = path("out");
            QFile::remove(out);
            Compressor::image(path(c.source),
                              settings(ImageCompressMode::quality, c.level, 50, 500, c.maxSide), out);
            QCOMPARE(QImageReader(out).size(), c.size);
            QVERIFY2(head(out, int(c.magic.size())) == c.magic, qPrintable(c.source));
        }
        // Lower levels give smaller JPEGs.
        qint64 last = std::numeric_limits<qint64>::max();
        for (CompressLevel level : {CompressLevel::high, CompressLevel::balanced, CompressLevel::small}) {
            const auto result = Compressor::image(path("photo.jpg"),
                                                  settings(ImageCompressMode::quality, level), path("q.jpg"));
            QVERIFY(result.bytes < last && result.bytes == QFileInfo(path("q.jpg")).size());
            last = result.bytes;
        }
    }

    // A WebP holds its colours without the profile they came with: as a viewer shows them, they
    // stay what they were.
    void webpColoursStayAsShown()
    {
        const QString folder = path("profiled");
        QVERIFY(QDir().mkpath(folder));
        for (const ProfiledPicture& picture : writeProfiledPictures(folder, {48, 32})) {
            const QString webp = picture.path + ".webp", out = picture.path + " small.webp";
            QCOMPARE(programOutput("vips", {"copy", picture.path, webp}), QString());
            Compressor::image(webp, settings(ImageCompressMode::quality, CompressLevel::small), out);
            QImage shown(out);
            if (shown.colorSpace().isValid()) shown.convertToColorSpace(QColorSpace::SRgb);
            const QColor c = shown.pixelColor(24, 16), want = picture.shown;
            QVERIFY2(qAbs(c.red() - want.red()) + qAbs(c.green() - want.green()) +
                             qAbs(c.blue() - want.blue()) <=
                         12,
                     qPrintable(picture.path + " shows " + c.name() + ", not " + want.name()));
        }
    }

    void goalsAreMetOrSaidToBeMissed()
    {
        const QImage picture = noisy({1200, 800});
        QVERIFY(picture.save(path("goal.jpg"), "jpg", 95));
        QVERIFY(picture.save(path("goal.png")));
        const qint64 jpgBytes = QFileInfo(path("goal.jpg")).size(),
                     pngBytes = QFileInfo(path("goal.png")).size();

        auto r = Compressor::image(path("goal.jpg"), settings(ImageCompressMode::target, {}, 0, 60),
                                   path("t.jpg"));
        QVERIFY(r.metGoal);
        QVERIFY(QFileInfo(path("t.jpg")).size() <= 60 * 1024);
        QCOMPARE(QImageReader(path("t.jpg")).size(), QSize(1200, 800));

        r = Compressor::image(path("goal.jpg"), settings(ImageCompressMode::percent, {}, 70), path("p.jpg"));
        QVERIFY(r.metGoal && QFileInfo(path("p.jpg")).size() <= jpgBytes * 3 / 10);

        // A lossless picture reaches a goal by shrinking only.
        r = Compressor::image(path("goal.png"), settings(ImageCompressMode::percent, {}, 50), path("p.png"));
        QVERIFY(r.metGoal && QFileInfo(path("p.png")).size() <= pngBytes / 2);
        QVERIFY(QImageReader(path("p.png")).size().width() < 1200);

        // Out of reach: the last resort is written and the miss is told.
        r = Compressor::image(path("goal.jpg"), settings(ImageCompressMode::target, {}, 0, 0.5),
                              path("miss.jpg"));
        QVERIFY(!r.metGoal);
        QVERIFY(QImageReader(path("miss.jpg")).canRead());
        r = Compressor::image(path("goal.png"), settings(ImageCompressMode::percent, {}, 100),
                              path("miss.png"));
        QVERIFY(!r.metGoal);

        // A written size that reads as nothing never passes for one that fits.
        QVERIFY(QFile::link("/dev/null", path("null.jpg")));
        r = Compressor::image(path("goal.jpg"), settings(ImageCompressMode::target, {}, 0, 60),
                              path("null.jpg"));
        QVERIFY(!r.metGoal);

        // Asked to stop, it stops before the next trial.
        int asked = 0;
        const auto stopAtThird = [&asked] { return ++asked >= 3; };
        const ConvertError e = *failure([&] {
            Compressor::image(path("goal.jpg"), settings(ImageCompressMode::target, {}, 0, 60), path("s.jpg"),
                              stopAtThird);
        });
        QVERIFY(e.isCancelled());
        QCOMPARE(asked, 3);
    }

    void pdfKeepsEveryPage_data()
    {
        QTest::addColumn<CompressLevel>("level");
        QTest::newRow("high") << CompressLevel::high;
        QTest::newRow("balanced") << CompressLevel::balanced;
        QTest::newRow("small") << CompressLevel::small;
    }

    void pdfKeepsEveryPage()
    {
        QFETCH(CompressLevel, level);
        const QString source = textPDF(path("thirty.pdf"), 30);
        QVERIFY(!source.isEmpty());
        const QString out = path(QStringLiteral("thirty %1.pdf").arg(int(level)));
        QFile::remove(out);
        Job job("", "", 0);
        double last = 0;
        Compressor::pdf(source, level, out, job, [&last](double p) { last = p; });
        QCOMPARE(last, 1.0);
        const std::unique_ptr<Poppler::Document> doc(Poppler::Document::load(out));
        QVERIFY(doc && !doc->isLocked());
        QCOMPARE(doc->numPages(), 30);
        for (int i : {0, 29}) {
            const std::unique_ptr<Poppler::Page> page(doc->page(i));
            QVERIFY(std::abs(page->pageSizeF().width() - 612) < 1 &&
                    std::abs(page->pageSizeF().height() - 792) < 1);
            const QString text = page->text({});
            if (level == CompressLevel::small)
                QVERIFY(text.isEmpty());
            else
                QCOMPARE(text.trimmed(), QStringLiteral("Page %1").arg(i + 1));
        }
    }

    // High stores pictures as JPEG at their own size; balanced also brings each one drawn above
    // 150 ppi down to 150 ppi at its largest drawn size, leaving alone what it can't carry over.
    void pdfLevelsTreatPicturesApart()
    {
        QTemporaryDir dir;
        // A scan: a grey page picture at 300 ppi that img2pdf stores losslessly.
        QImage scan = noisy({1275, 1650}).convertToFormat(QImage::Format_Grayscale8);
        scan.setDotsPerMeterX(11811);
        scan.setDotsPerMeterY(11811);
        QVERIFY(scan.save(dir.filePath("scan.png")));
        QVERIFY(QProcess::execute("img2pdf", {"-o", dir.filePath("scan.pdf"), dir.filePath("scan.png")}) ==
                0);
        QMap<CompressLevel, QString> out;
        for (CompressLevel level : {CompressLevel::high, CompressLevel::balanced}) {
            out[level] = dir.filePath(QStringLiteral("scan %1.pdf").arg(int(level)));
            Job job("", "", 0);
            Compressor::pdf(dir.filePath("scan.pdf"), level, out[level], job, ignored);
            QVERIFY(renders(out[level], dir.filePath("page")));
        }
        const Listed high = listed(out[CompressLevel::high]).value(0),
                     balanced = listed(out[CompressLevel::balanced]).value(0);
        QCOMPARE(high.encoding, QStringLiteral("jpeg"));
        QCOMPARE(high.xppi, 300);
        QCOMPARE(balanced.encoding, QStringLiteral("jpeg"));
        QVERIFY2(std::abs(balanced.xppi - 150) <= 1, qPrintable(QString::number(balanced.xppi)));
        const qint64 source = QFileInfo(dir.filePath("scan.pdf")).size(),
                     highBytes = QFileInfo(out[CompressLevel::high]).size(),
                     balancedBytes = QFileInfo(out[CompressLevel::balanced]).size();
        QVERIFY(highBytes < source && balancedBytes < highBytes / 2);

        // Pictures placed every way a page can: widths after balanced by object number.
        QFile placed(dir.filePath("placed.pdf"));
        QVERIFY(placed.open(QIODevice::WriteOnly) && placed.write(PlacedPictures::bytes()) > 0);
        placed.close();
        Job job("", "", 0);
        Compressor::pdf(placed.fileName(), CompressLevel::balanced, dir.filePath("placed out.pdf"), job,
                        ignored);
        QVERIFY(renders(dir.filePath("placed out.pdf"), dir.filePath("placed")));
        // In drawing order: 5 twice, 7, 8, 9, 10 and its mask.
        QStringList widths;
        for (const Listed& l : listed(dir.filePath("placed out.pdf")))
            widths << l.type + " " + QString::number(l.width);
        QCOMPARE(widths, (QStringList{"image 300", "image 300", "image 600", "image 600", "image 600",
                                      "image 150", "smask 600"}));
    }

    // Five listed files, one more on a comment, a filled form, links and bookmarks, printing
    // forbidden: the page pictures keep every file and bookmark and the restrictions, and the note
    // names the links and the field they can't hold. A plain PDF gets no note.
    void pagePicturesKeepFilesAndBookmarks()
    {
        QTemporaryDir dir;
        QVERIFY(LinkedPdfs::paper(dir.filePath("paper.pdf")));
        QStringList args{dir.filePath("paper.pdf")};
        for (const QString name : {"a.txt", "b.txt", "c.txt", "d.txt"}) {
            QVERIFY(LinkedPdfs::writeBytes(dir.filePath(name), name.toUtf8() + " says hello\n"));
            args << "--add-attachment" << dir.filePath(name) << "--";
        }
        args << "--encrypt"
             << ""
             << "owner"
             << "256"
             << "--print=none"
             << "--modify=none"
             << "--" << dir.filePath("filed.pdf");
        QCOMPARE(LinkedPdfs::run("qpdf", args), 0);
        QCOMPARE(LinkedPdfs::read(dir.filePath("filed.pdf")).attachments.size(), 5);

        Job job("", "", 0);
        Compressor::pdf(dir.filePath("filed.pdf"), CompressLevel::small, dir.filePath("small.pdf"), job,
                        ignored);
        const LinkedPdfs::Structure s = LinkedPdfs::read(dir.filePath("small.pdf"));
        QCOMPARE(s.pages, 3);
        QCOMPARE(s.attachments, (QStringList{"a.txt", "b.txt", "c.txt", "d.txt", "data.csv", "notes.txt"}));
        QCOMPARE(LinkedPdfs::attachment(dir.filePath("small.pdf"), "c.txt"),
                 QByteArray("c.txt says hello\n"));
        QCOMPARE(LinkedPdfs::attachment(dir.filePath("small.pdf"), "data.csv"), QByteArray("a,b\n1,2\n"));
        QCOMPARE(s.bookmarks, (QStringList{"Intro 1", "Method 2 (closed)", ">Results 3"}));
        QCOMPARE(s.links, (QList<QList<int>>{{}, {}, {}}));
        QVERIFY(s.fields.isEmpty() && s.commentFiles.isEmpty());
        QVERIFY(s.encrypted && !s.canPrint && !s.canModify);
        QCOMPARE(job.notes().size(), 2);
        QVERIFY2(job.notes()[0].startsWith("3 links were left out"), qPrintable(job.notes()[0]));
        QVERIFY2(job.notes()[1].startsWith("1 form field can no longer be filled in"),
                 qPrintable(job.notes()[1]));

        // A bookmark to a place on a page turned a quarter, whose box starts away from 0, 0,
        // leads to the same place on the upright picture of that page.
        QVERIFY(LinkedPdfs::writeBytes(
            dir.filePath("turned.pdf"),
            MiniPdf::assemble(
                {"<< /Type /Catalog /Pages 2 0 R /Outlines 5 0 R >>",
                 "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                 "<< /Type /Page /Parent 2 0 R /MediaBox [100 50 700 850] /Rotate 90 /Contents 4 0 R >>",
                 "<< /Length 0 >>\nstream\n\nendstream",
                 "<< /Type /Outlines /First 6 0 R /Last 6 0 R /Count 1 >>",
                 "<< /Title (Here) /Parent 5 0 R /Dest [3 0 R /XYZ 300 650 null] >>"},
                "1.4")));
        Job turning("", "", 0);
        Compressor::pdf(dir.filePath("turned.pdf"), CompressLevel::small, dir.filePath("turned small.pdf"),
                        turning, ignored);
        QByteArray json;
        QCOMPARE(LinkedPdfs::run("qpdf", {"--json", dir.filePath("turned small.pdf")}, &json), 0);
        const QJsonArray dest = QJsonDocument::fromJson(json)["outlines"][0]["dest"].toArray();
        QCOMPARE(dest.size(), 5);
        QCOMPARE(dest[1].toString(), QString("/XYZ"));
        QCOMPARE(dest[2].toDouble(), 600.0);
        QCOMPARE(dest[3].toDouble(), 400.0);

        const QString plain = textPDF(dir.filePath("plain.pdf"), 2);
        Job quiet("", "", 0);
        Compressor::pdf(plain, CompressLevel::small, dir.filePath("plain small.pdf"), quiet, ignored);
        const LinkedPdfs::Structure p = LinkedPdfs::read(dir.filePath("plain small.pdf"));
        QVERIFY(p.pages == 2 && p.attachments.isEmpty() && p.bookmarks.isEmpty() && !p.encrypted);
        QVERIFY(quiet.notes().isEmpty());
    }

    // A trailer whose /Encrypt is no dictionary: qpdf refuses the file, Poppler reads it as one
    // without encryption. The page pictures are made all the same, and the note names what the
    // source held (as qpdf reads it before the damage) and lost, and nothing when it held nothing.
    void pagePicturesOfAFileQpdfRefuses()
    {
        QTemporaryDir dir;
        const auto spoiled = [&](const QString& source, const QString& name) {
            const QString written = dir.filePath("written.pdf");
            QFile::remove(written);
            if (LinkedPdfs::run("qpdf", {"--object-streams=disable", source, written}) != 0) return false;
            QFile f(written);
            QByteArray data = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
            return data.contains("trailer << /Root ") &&
                   LinkedPdfs::writeBytes(dir.filePath(name),
                                          data.replace("trailer << /Root ", "trailer << /Encrypt 7 /Root "));
        };
        QVERIFY(LinkedPdfs::paper(dir.filePath("paper.pdf")));
        QVERIFY(LinkedPdfs::writeBytes(dir.filePath("a.txt"), "a.txt says hello\n"));
        QCOMPARE(LinkedPdfs::run("qpdf", {dir.filePath("paper.pdf"), "--add-attachment",
                                          dir.filePath("a.txt"), "--", dir.filePath("filed.pdf")}),
                 0);
        const LinkedPdfs::Structure held = LinkedPdfs::read(dir.filePath("filed.pdf"));
        QVERIFY(held.attachments.size() == 2 && !held.bookmarks.isEmpty() && held.fields.size() == 1);
        QCOMPARE(held.links, (QList<QList<int>>{{3}, {3}, {1}}));
        QVERIFY(spoiled(dir.filePath("filed.pdf"), "damaged paper.pdf"));
        QVERIFY(spoiled(textPDF(dir.filePath("plain.pdf"), 2), "damaged plain.pdf"));

        const QMap<QString, QStringList> notes{
            {"damaged paper.pdf",
             {"The attached files and the bookmarks of damaged paper.pdf were left out: the file is "
              "damaged, and they couldn’t be copied from it",
              "3 links were left out: page pictures can’t hold links",
              "1 form field can no longer be filled in: page pictures can’t hold form fields"}},
            {"damaged plain.pdf", {}}};
        for (auto it = notes.cbegin(); it != notes.cend(); ++it) {
            const QString source = dir.filePath(it.key()), small = dir.filePath("small " + it.key());
            QCOMPARE(LinkedPdfs::run("qpdf", {"--check", source}), 2);
            const QString shown = programOutput("pdfinfo", {source});
            QVERIFY2(shown.contains(QRegularExpression("Encrypted:\\s+no\n")), qPrintable(shown));
            Job job("", "", 0);
            Compressor::pdf(source, CompressLevel::small, small, job, ignored);
            QCOMPARE(job.notes(), it.value());
            // Every page is kept: as many as Poppler reads in the source.
            const QString pages = QRegularExpression("Pages:\\s+(\\d+)\n").match(shown).captured(1);
            QCOMPARE(QString::number(LinkedPdfs::read(small).pages), pages);
        }
    }

    void cancelledCompressionLeavesNoFile()
    {
        QTemporaryDir dir;
        const QString source = textPDF(dir.filePath("doc.pdf"), 5);
        Job job("", "", 0);
        int pages = 0;
        const Progress cancelAfterTwo = [&](double) {
            if (++pages == 2) job.cancel();
        };
        const auto e = failure([&] {
            Output::write(
                dir.filePath("doc Compressed.pdf"),
                [&](const QString& temp) {
                    Compressor::pdf(source, CompressLevel::small, temp, job, cancelAfterTwo);
                },
                &job);
        });
        QVERIFY(e && e->isCancelled());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"doc.pdf"});

        // A page that can't be pictured fails the whole file rather than going missing.
        QVERIFY(MiniPdf::write(dir.filePath("huge.pdf"),
                               {{QRectF(0, 0, 612, 792), 0, {}}, {QRectF(0, 0, 14400, 14400), 0, {}}}));
        Job fresh("", "", 0);
        const auto huge = failure([&] {
            Output::write(
                dir.filePath("huge Compressed.pdf"),
                [&](const QString& temp) {
                    Compressor::pdf(dir.filePath("huge.pdf"), CompressLevel::small, temp, fresh, ignored);
                },
                &fresh);
        });
        QVERIFY(huge && !huge->isCancelled());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"doc.pdf", "huge.pdf"}));
    }

    void videoArgumentsFollowTheLevel()
    {
        const QStringList h264 =
            Compressor::videoArgs("in.mov", "out.mp4", CompressLevel::balanced, 720, false, 1080);
        QCOMPARE(h264.mid(0, 8), (QStringList{"-i", "in.mov", "-map", "0:V:0", "-map", "0:a?", "-filter:v:0",
                                              "scale=-2:720"}));
        QVERIFY(h264.join(' ').contains("-c:v libx264 -preset medium -crf 27 -pix_fmt yuv420p"));
        QVERIFY(h264.join(' ').contains("-c:a aac -b:a 128k"));
        QVERIFY(h264.join(' ').contains("-movflags +faststart"));
        QCOMPARE(h264.last(), QStringLiteral("out.mp4"));

        const QStringList hevc =
            Compressor::videoArgs("in.mp4", "out.mkv", CompressLevel::small, 1080, true, 720);
        QVERIFY(hevc.contains("scale=trunc(iw/2)*2:trunc(ih/2)*2")); // never enlarged
        QVERIFY(hevc.join(' ').contains(
            "-c:v libx265 -preset medium -crf 34 -tag:v:0 hvc1 -x265-params log-level=error"));
        QVERIFY(hevc.join(' ').contains("-b:a 96k"));
        QVERIFY(!hevc.contains("-movflags"));
    }

    void videoThroughTheEncoders_data()
    {
        QTest::addColumn<CompressLevel>("level");
        QTest::addColumn<bool>("hevc");
        QTest::addColumn<QString>("codec");
        QTest::newRow("h264 high") << CompressLevel::high << false << "h264";
        QTest::newRow("h264 small") << CompressLevel::small << false << "h264";
        QTest::newRow("hevc high") << CompressLevel::high << true << "hevc";
        QTest::newRow("hevc balanced") << CompressLevel::balanced << true << "hevc";
        QTest::newRow("hevc small") << CompressLevel::small << true << "hevc";
    }

    void videoThroughTheEncoders()
    {
        QFETCH(CompressLevel, level);
        QFETCH(bool, hevc);
        QFETCH(QString, codec);
        const QString clip = path("clip.mp4");
        if (!QFile::exists(clip))
            QVERIFY(ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=1", "-f", "lavfi",
                            "-i", "sine=duration=1", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac",
                            "-shortest", clip}));
        const QString out = path(QStringLiteral("small %1 %2.mp4").arg(int(level)).arg(hevc));
        Job job("", "", 0);
        Compressor::video(clip, level, 120, hevc, out, out, job, ignored);
        QCOMPARE(probeField(out, "stream=codec_name"), codec);
        QCOMPARE(probeField(out, "stream=height"), QStringLiteral("120"));
        if (hevc) QCOMPARE(probeField(out, "stream=codec_tag_string"), QStringLiteral("hvc1"));
        QVERIFY(Media::probe(out).audioCodec.has_value());
    }
};

QTEST_MAIN(CompressorTest)
#include "test_compressor.moc"
