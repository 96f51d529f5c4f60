#include "core/shell.h"
#include "core/zip.h"

#include "../../support/enginefixtures_b.h"
#include "../../support/openwatch.h"

#include <QProcess>
#include <QtTest>
#include <poppler-qt6.h>

namespace {

// The colour of the picture outside the document's folder, and of the drawing's own box.
const QColor canary(0x13, 0xC7, 0x31);
const QColor inside(0x20, 0x40, 0xE0);
const QByteArray body = "Body text survives";

QByteArray pngOf(const QColor& colour)
{
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray gzipped(const QByteArray& bytes)
{
    QProcess gzip;
    gzip.start("gzip", {"-n", "-c"});
    gzip.write(bytes);
    gzip.closeWriteChannel();
    gzip.waitForFinished();
    return gzip.readAllStandardOutput();
}

bool shows(const QImage& page, const QColor& colour)
{
    const QImage rgb = page.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb p = rgb.pixel(x, y);
            if (qAbs(qRed(p) - colour.red()) + qAbs(qGreen(p) - colour.green()) +
                    qAbs(qBlue(p) - colour.blue()) <
                24)
                return true;
        }
    return false;
}

QByteArray frame(const QByteArray& image)
{
    return "<draw:frame draw:name=\"P\" text:anchor-type=\"as-char\" svg:width=\"5cm\" svg:height=\"5cm\">" +
           image + "</draw:frame>";
}

} // namespace

// Drawings inside office documents name a picture outside the document's folder: converting
// them through LibreOffice neither opens that picture nor draws it, and the drawing itself
// still shows.
class OfficePicturesTest : public QObject
{
    Q_OBJECT
    ScratchTmp m_tmp;
    const QString m_docs = m_tmp.files + "/docs", m_canary = m_tmp.files + "/outside/canary.png";

    QByteArray drawing() const
    {
        return "<?xml version=\"1.0\"?><svg xmlns=\"http://www.w3.org/2000/svg\" "
               "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"200\" height=\"200\"><rect "
               "width=\"200\" "
               "height=\"100\" fill=\"#2040E0\"/><image x=\"0\" y=\"100\" width=\"200\" height=\"100\" "
               "xlink:href=\"file://" +
               m_canary.toUtf8() + "\"/><image x=\"0\" y=\"0\" width=\"200\" height=\"100\" href=\"" +
               m_canary.toUtf8() + "\"/></svg>";
    }

    QString odtWith(const QString& name, const QByteArray& frames, const QMap<QString, QByteArray>& pictures)
    {
        QByteArray manifest = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><manifest:manifest "
                              "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
                              "manifest:version=\"1.2\"><manifest:file-entry manifest:full-path=\"/\" "
                              "manifest:media-type=\"application/vnd.oasis.opendocument.text\"/>"
                              "<manifest:file-entry manifest:full-path=\"content.xml\" "
                              "manifest:media-type=\"text/xml\"/>";
        for (const QString& picture : pictures.keys())
            manifest += "<manifest:file-entry manifest:full-path=\"" + picture.toUtf8() +
                        "\" manifest:media-type=\"image/svg+xml\"/>";
        QMap<QString, QByteArray> parts = pictures;
        parts.insert("META-INF/manifest.xml", manifest + "</manifest:manifest>");
        parts.insert("content.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
                                    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                                    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
                                    "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
                                    "xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                                    "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
                                    "office:version=\"1.2\"><office:body><office:text><text:p>" +
                                        body + "</text:p><text:p>" + frames +
                                        "</text:p></office:text></office:body></office:document-content>");
        Zip::write(parts, m_docs + "/" + name, QStringLiteral("application/vnd.oasis.opendocument.text"));
        return m_docs + "/" + name;
    }

    QString docxWith(const QString& name, const QString& picture, const QByteArray& bytes)
    {
        const QByteArray document =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document "
            "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
            "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
            "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
            "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><w:body><w:p><w:r><w:t>" +
            body +
            "</w:t></w:r></w:p><w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"1905000\" cy=\"1905000\"/>"
            "<wp:docPr id=\"1\" name=\"P\"/><a:graphic><a:graphicData "
            "uri=\"http://schemas.openxmlformats.org/"
            "drawingml/2006/picture\"><pic:pic><pic:nvPicPr><pic:cNvPr id=\"1\" name=\"p\"/><pic:cNvPicPr/>"
            "</pic:nvPicPr><pic:blipFill><a:blip "
            "r:embed=\"rPicture\"/></pic:blipFill><pic:spPr><a:xfrm><a:off "
            "x=\"0\" y=\"0\"/><a:ext cx=\"1905000\" cy=\"1905000\"/></a:xfrm><a:prstGeom prst=\"rect\"/>"
            "</pic:spPr></pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p></w:body>"
            "</w:document>";
        const QByteArray relationships = "<?xml version=\"1.0\"?><Relationships xmlns=\"http://"
                                         "schemas.openxmlformats.org/package/2006/relationships\">";
        Zip::write({{"[Content_Types].xml",
                     "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                     "content-types\"><Default Extension=\"rels\" ContentType=\"application/"
                     "vnd.openxmlformats-package.relationships+xml\"/><Default Extension=\"xml\" "
                     "ContentType=\"application/xml\"/><Default Extension=\"svg\" "
                     "ContentType=\"image/svg+xml\"/><Override PartName=\"/word/document.xml\" "
                     "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml."
                     "document.main+xml\"/></Types>"},
                    {"_rels/.rels", relationships +
                                        "<Relationship Id=\"r1\" Type=\"http://schemas.openxmlformats.org/"
                                        "officeDocument/2006/relationships/officeDocument\" "
                                        "Target=\"word/document.xml\"/></Relationships>"},
                    {"word/document.xml", document},
                    {"word/_rels/document.xml.rels",
                     relationships +
                         "<Relationship Id=\"rPicture\" Type=\"http://schemas.openxmlformats.org/"
                         "officeDocument/2006/relationships/image\" Target=\"" +
                         picture.toUtf8() + "\"/></Relationships>"},
                    {"word/" + picture, bytes}},
                   m_docs + "/" + name);
        return m_docs + "/" + name;
    }

  private slots:
    void initTestCase()
    {
        if (!Shell::find("soffice")) QSKIP("LibreOffice is not installed");
        writeFile(m_canary, pngOf(canary));
        QDir().mkpath(m_docs);
    }

    void cleanup() { QCOMPARE(entries(m_tmp.path), QStringList()); }

    void drawingsStayInTheDocument_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        const QByteArray image = "<draw:image xlink:href=\"%1\" xlink:type=\"simple\" xlink:show=\"embed\" "
                                 "xlink:actuate=\"onLoad\"/>";
        // A picture named outside the package sits beside the drawing, in a frame of its own.
        const QByteArray named = frame(QByteArray(image).replace("%1", "file://" + m_canary.toUtf8()));
        QTest::newRow("odt drawing → pdf")
            << odtWith("part.odt", frame(QByteArray(image).replace("%1", "Pictures/a.svg")) + named,
                       {{"Pictures/a.svg", drawing()}})
            << "pdf";
        QTest::newRow("odt compressed drawing named as a photo → pdf")
            << odtWith("compressed.odt", frame(QByteArray(image).replace("%1", "Pictures/a.png")),
                       {{"Pictures/a.png", gzipped(drawing())}})
            << "pdf";
        QTest::newRow("odt drawing written into the text → pdf")
            << odtWith("inline.odt",
                       frame("<draw:image><office:binary-data>" + drawing().toBase64() +
                             "</office:binary-data></draw:image>"),
                       {})
            << "pdf";
        const QString docx = docxWith("drawing.docx", "media/image1.svg", drawing());
        QTest::newRow("docx drawing → pdf") << docx << "pdf";
        QTest::newRow("docx drawing → md") << docx << "md";
    }

    void drawingsStayInTheDocument()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        const OpenWatch watch({m_canary});
        const QStringList results = convert(source, target);
        QCOMPARE(results.size(), 1);
        if (target == "pdf") {
            const std::unique_ptr<Poppler::Document> pdf = Poppler::Document::load(results.first());
            QVERIFY(pdf && pdf->numPages() == 1);
            const QImage page = pdf->page(0)->renderToImage(36, 36);
            QVERIFY(pdf->page(0)->text(QRectF()).contains(body));
            QVERIFY2(shows(page, inside), "the drawing itself is missing");
            QVERIFY2(!shows(page, canary), "the picture outside was drawn");
        } else {
            const QByteArray text = readAll(results.first());
            QVERIFY2(text.contains(body) && !text.contains("canary"), text.constData());
        }
        QFile::remove(results.first());
        QVERIFY2(!watch.opened(), "the picture outside was opened");
    }
};

QTEST_MAIN(OfficePicturesTest)
#include "test_officepictures.moc"
