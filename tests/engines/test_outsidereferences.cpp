#include "core/scratchfolder.h"
#include "core/zip.h"
#include "engines/image/imageengine.h"
#include "engines/media/media.h"
#include "engines/metadata/mediametadata.h"

#include "../support/enginefixtures_a.h"
#include "../support/openwatch.h"

#include <QBuffer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>
#include <poppler-qt6.h>

using namespace Fixture;

namespace {

// The colour of every picture and style outside the source's folder, and of the one inside it.
const QColor canary(0x13, 0xC7, 0x31);
const QColor inside(0x20, 0x40, 0xE0);

QByteArray pngOf(QSize size, const QColor& colour, const QColor& rightEnd = QColor())
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    if (rightEnd.isValid())
        QPainter(&image).fillRect(size.width() * 9 / 10, 0, size.width(), size.height(), rightEnd);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

bool near(QRgb pixel, const QColor& colour)
{
    return qAbs(qRed(pixel) - colour.red()) + qAbs(qGreen(pixel) - colour.green()) +
               qAbs(qBlue(pixel) - colour.blue()) <
           24;
}

// The columns where `colour` shows; an empty range (first > last) when it doesn't.
std::pair<int, int> columnsOf(const QImage& image, const QColor& colour)
{
    int first = image.width(), last = -1;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            if (near(rgb.pixel(x, y), colour)) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return {first, last};
}

bool shows(const QList<QImage>& images, const QColor& colour)
{
    return std::any_of(images.cbegin(), images.cend(),
                       [&](const QImage& i) { return columnsOf(i, colour).second >= 0; });
}

QList<QImage> pdfPages(const QString& path, double dpi = 36)
{
    QList<QImage> pages;
    const std::unique_ptr<Poppler::Document> pdf = Poppler::Document::load(path);
    for (int i = 0; pdf && i < pdf->numPages(); ++i)
        pages << pdf->page(i)->renderToImage(dpi, dpi);
    return pages;
}

// What a result shows: its pages, or the pictures a package holds; with a package's text.
QList<QImage> picturesOf(const QStringList& results, QString& text)
{
    QList<QImage> out;
    for (const QString& result : results) {
        if (result.endsWith(".pdf")) {
            out << pdfPages(result);
        } else if (result.endsWith(".png")) {
            out << QImage(result);
        } else {
            const ScratchFolder unpacked = Zip::extract(result);
            QDirIterator it(unpacked.path(), QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString file = it.next();
                if (const QImage image(file); !image.isNull()) out << image;
                text += read(file);
            }
        }
    }
    return out;
}

} // namespace

// A dropped file reads nothing outside its own folder and never reaches the network: each
// source names a canary outside its folder (absolute, file:, "..", a link out) and a local
// listener, beside a picture of its own that must still show.
class OutsideReferencesTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QTcpServer m_server;
    QString m_outside, m_folder, m_web;

    QString path(const QString& name) const { return m_folder + "/" + name; }

  private slots:
    void initTestCase()
    {
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        m_web = QString("http://127.0.0.1:%1").arg(m_server.serverPort());
        m_outside = m_dir.filePath("outside");
        m_folder = m_dir.filePath("dropped");
        QVERIFY(QDir().mkpath(m_outside) && QDir().mkpath(m_folder));
        QVERIFY(write(m_outside + "/canary.png", pngOf({60, 60}, canary)));
        QVERIFY(write(m_outside + "/canary.css", "body, p { color: #13c731; background-color: #13c731 }"));
        QVERIFY(write(path("here.png"), pngOf({60, 60}, inside)));
        QVERIFY(QFile::link(m_outside + "/canary.png", path("link.png")));
    }

    void cleanup() { QVERIFY2(!m_server.waitForNewConnection(0), "the listener was asked"); }

    void documentsStayInTheirFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("target");
        for (const char* target : {"pdf", "png", "docx", "epub"}) {
            QTest::addRow("html %s", target) << "page.html" << target;
            QTest::addRow("md %s", target) << "notes.md" << target;
        }
    }

    void documentsStayInTheirFolder()
    {
        QFETCH(QString, name);
        QFETCH(QString, target);
        const QString out = m_outside;
        const QString pictures = "<img src=\"" + out + "/canary.png\"><img src=\"file://" + out +
                                 "/canary.png\"><img src=\"../outside/canary.png\"><img src=\"link.png\">"
                                 "<img src=\"" +
                                 m_web + "/p.png\"><img src=\"here.png\">";
        const QString html = "<html><head><link rel=\"stylesheet\" href=\"" + out +
                             "/canary.css\"><link rel=\"stylesheet\" href=\"" + m_web +
                             "/s.css\"><style>@import url(\"file://" + out +
                             "/canary.css\");</style></head><body><p>Words</p>" + pictures + "</body></html>";
        const QString md = "# Notes\n\nWords ![](" + out + "/canary.png) ![](../outside/canary.png) ![](" +
                           m_web + "/p.png) ![](link.png) ![](here.png)\n";
        QVERIFY(write(path(name), (name.endsWith(".md") ? md : html).toUtf8()));
        QString text;
        const QList<QImage> shown = picturesOf(convert(path(name), target), text);
        QVERIFY(shows(shown, inside));
        QVERIFY(!shows(shown, canary));
        QVERIFY(!text.contains("13c731", Qt::CaseInsensitive));
    }

    // Only parts of the drawing itself and data: addresses are followed, nested drawings alike.
    void svgFollowsOnlyItself()
    {
        const QByteArray data = "data:image/svg+xml;base64," +
                                QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" "
                                           "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"10\" "
                                           "height=\"10\"><image width=\"10\" height=\"10\" xlink:href=\"" +
                                           m_outside.toUtf8() + "/canary.png\"/></svg>")
                                    .toBase64();
        const QByteArray svg =
            "<?xml-stylesheet href=\"" + m_outside.toUtf8() +
            "/canary.css\"?><svg xmlns=\"http://www.w3.org/2000/svg\" "
            "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"120\" height=\"40\"><style>@import url(" +
            m_web.toUtf8() + "/s.css); rect { fill: url(" + m_outside.toUtf8() +
            "/paint.svg#g) }</style><defs><rect id=\"box\" width=\"20\" height=\"20\" "
            "style=\"fill:#2040e0\"/>"
            "</defs><image x=\"0\" width=\"20\" height=\"20\" xlink:href=\"" +
            m_outside.toUtf8() + "/canary.png\"/><image x=\"20\" width=\"20\" height=\"20\" href=\"file://" +
            m_outside.toUtf8() + "/canary.png\"/><image x=\"40\" width=\"20\" height=\"20\" xlink:href=\"" +
            m_web.toUtf8() + "/p.png\"/><image x=\"60\" width=\"20\" height=\"20\" xlink:href=\"" + data +
            "\"/><a xlink:href=\"" + m_web.toUtf8() + "/\"><use x=\"100\" xlink:href=\"#box\"/></a></svg>";
        for (const QString name : {"drawing.svg", "drawing.png"}) {
            QVERIFY(write(path(name), svg));
            const ImageEngine::Loaded loaded = ImageEngine::load(path(name));
            QVERIFY(shows({loaded.image}, inside));
            QVERIFY(!shows({loaded.image}, canary));
        }
    }

    // Pictures in the folder go into the book, the others leave with their <img>; epubcheck
    // finds nothing missing.
    void bookHoldsItsPictures()
    {
        QVERIFY(write(path("book.md"), ("# Book\n\n![one](here.png) ![two](../outside/canary.png) ![three](" +
                                        m_web + "/p.png) ![again](here.png)\n")
                                           .toUtf8()));
        const QString book = convert(path("book.md"), "epub").value(0);
        const ScratchFolder unpacked = Zip::extract(book);
        QCOMPARE(QDir(unpacked.file("OEBPS/images")).entryList(QDir::Files), QStringList{"picture1.png"});
        QCOMPARE(QImage(unpacked.file("OEBPS/images/picture1.png")).pixelColor(5, 5), inside);
        const QString chapter = read(unpacked.file("OEBPS/chapter001.xhtml"));
        QCOMPARE(chapter.count("src=\"images/picture1.png\""), 2);
        QVERIFY(!chapter.contains("canary") && !chapter.contains("127.0.0.1"));

        const QString jar = "/usr/share/java/epubcheck.jar";
        const auto java = Shell::find("java");
        if (!java || !QFile::exists(jar)) QSKIP("epubcheck is not installed");
        const Shell::Result result =
            Shell::run(*java, {"-jar", jar, book}, std::nullopt, nullptr, {}, std::chrono::minutes(3));
        QVERIFY2(result.status == 0, qPrintable(result.out() + result.stderrText));
    }

    // A picture wider than the text is scaled to it: its right end shows, inside the margin.
    void widePictureFitsThePage()
    {
        QVERIFY(write(path("wide.png"), pngOf({2400, 200}, canary, inside)));
        QVERIFY(write(path("wide.md"), "Wide:\n\n![](wide.png)\n"));
        const QList<QImage> pages = pdfPages(convert(path("wide.md"), "pdf").value(0), 72);
        QCOMPARE(pages.size(), 1);
        const auto [first, last] = columnsOf(pages[0], canary);
        const auto end = columnsOf(pages[0], inside);
        QVERIFY(first >= 60 && last < end.first && end.first <= end.second);
        QVERIFY2(end.second <= pages[0].width() - 60, qPrintable(QString::number(end.second)));
    }

    // Playlists and lists are refused before anything they name is opened.
    void playlistsAreRefused()
    {
        const QString clip = m_outside + "/canary.mp3", beside = path("clip.mp3");
        QVERIFY(ffmpeg({"-f", "lavfi", "-i", "sine=d=1", clip}));
        QVERIFY(QFile::copy(clip, beside));
        const QList<std::pair<QString, QByteArray>> lists{
            {"playlist.mp3", "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n" + clip.toUtf8() +
                                 "\n#EXTINF:1,\n../outside/canary.mp3\n#EXTINF:1,\nclip.mp3\n#EXTINF:1,\n" +
                                 m_web.toUtf8() + "/s.ts\n#EXT-X-ENDLIST\n"},
            {"list.mp4", "ffconcat version 1.0\nfile 'clip.mp3'\n"},
            {"bare.wav", "# clips\nfile 'clip.mp3'\n"},
            {"session.mp4",
             "v=0\no=- 0 0 IN IP4 127.0.0.1\ns=x\nc=IN IP4 127.0.0.1\nm=audio 5004 RTP/AVP 0\n"}};
        const OpenWatch outside({clip}), inFolder({beside});
        for (const auto& [name, bytes] : lists) {
            QVERIFY(write(path(name), bytes));
            const QString target = name.endsWith(".mp4") ? "mp3" : "m4a";
            QCOMPARE(failure([&] { convert(path(name), target); }).message(),
                     name + " is a playlist, not a media file");
            QCOMPARE(Media::probe(path(name)).duration, 0.0);
            QVERIFY(Media::waveform(path(name), 10).isEmpty());
            for (const MetaField& field : MetadataEngine::mediaFields(path(name)))
                QCOMPARE(field.value, QString());
        }
        QVERIFY(!outside.opened());
        QVERIFY(!inFolder.opened());
        // The clip itself still converts.
        QCOMPARE(convert(beside, "m4a").size(), 1);
    }
};

QTEST_MAIN(OutsideReferencesTest)
#include "test_outsidereferences.moc"
