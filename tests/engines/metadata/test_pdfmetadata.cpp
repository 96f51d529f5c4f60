// Stripping a PDF reaches what its pictures and annotations say about their makers: img2pdf's
// copy of tagged JPEGs, with comments, a form field and an XMP stream added, keeps no author,
// date, location, serial number or comment, and draws exactly as before. The JPEG segment
// filter on its own, on files ImageMagick and exiftool wrote.

#include "engines/image/jpegsegments.h"
#include "engines/metadata/heavy/pdfmetadata.h"

#include <QImage>
#include <QProcess>
#include <QtTest>
#include <poppler-qt6.h>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

namespace {

QByteArray run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return {};
    return p.readAllStandardOutput() + "\n"; // never empty after a run that worked
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A camera's and a photo library's tags: location, serial number, artist, comment, IPTC, XMP
// and an ICC profile.
bool tag(const QString& jpeg)
{
    return !run("exiftool",
                {"-q", "-overwrite_original", "-GPSLatitude=48.8584", "-GPSLatitudeRef=N",
                 "-GPSLongitude=2.2945", "-GPSLongitudeRef=E", "-SerialNumber=SN4242", "-Artist=Ann Artist",
                 "-Comment=Ann Comment", "-IPTC:By-line=Ann Byline", "-XMP:Creator=Ann Xmp",
                 "-ICC_Profile<=/usr/share/color/icc/ghostscript/default_rgb.icc", jpeg})
                .isEmpty();
}

QImage page(const QString& pdf, int index)
{
    const std::unique_ptr<Poppler::Document> doc(Poppler::Document::load(pdf));
    if (!doc || index >= doc->numPages()) return {};
    return std::unique_ptr<Poppler::Page>(doc->page(index))->renderToImage(150, 150);
}

QPDFObjectHandle picture(QPDFPageObjectHelper page)
{
    return page.getImages().begin()->second;
}

// Comments with an author and dates, a form field, an XMP stream on the first picture, and the
// second picture's JPEG kept Flate-compressed, as some writers store it.
void annotate(const QString& from, const QString& to)
{
    QPDF pdf;
    pdf.processFile(QFile::encodeName(from).constData());
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    QPDFObjectHandle first = pages[0].getObjectHandle();
    const char* dates = "/M (D:20240101120000Z) /CreationDate (D:20240101110000Z)";
    auto note = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        std::string("<< /Type /Annot /Subtype /Text /Rect [4 4 20 20] /Contents (Look here) /T (Ann Note) ") +
        dates + " >>"));
    auto popup = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Annot /Subtype /Popup /Rect [20 4 60 30] /T (Ann Note) /M (D:20240101120000Z) >>"));
    auto field = pdf.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Annot /Subtype /Widget /FT /Tx /T (fullname) /Rect [4 24 40 34] "
                                "/M (D:20240101120000Z) >>"));
    note.replaceKey("/Popup", popup);
    popup.replaceKey("/Parent", note);
    first.replaceKey("/Annots", QPDFObjectHandle::newArray({note, popup, field}));
    pdf.getRoot().replaceKey("/AcroForm", QPDFObjectHandle::parse("<< >>"));
    pdf.getRoot().getKey("/AcroForm").replaceKey("/Fields", QPDFObjectHandle::newArray({field}));
    picture(pages[0]).getDict().replaceKey(
        "/Metadata", QPDFObjectHandle::newStream(&pdf, "<x:xmpmeta>Ann Xobject</x:xmpmeta>"));

    QPDFObjectHandle second = picture(pages[1]);
    const std::shared_ptr<Buffer> jpeg = second.getRawStreamData();
    Pl_Buffer deflated("deflated");
    Pl_Flate flate("flate", &deflated, Pl_Flate::a_deflate);
    flate.write(jpeg->getBuffer(), jpeg->getSize());
    flate.finish();
    second.replaceStreamData(deflated.getBufferSharedPointer(),
                             QPDFObjectHandle::parse("[/FlateDecode /DCTDecode]"),
                             QPDFObjectHandle::newNull());
    QPDFWriter writer(pdf, QFile::encodeName(to).constData());
    writer.write();
}

} // namespace

class PdfMetadataTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void stripReachesPicturesAndComments()
    {
        QVERIFY(!run("/usr/bin/convert", {"-size", "96x64", "gradient:red-blue", path("rgb.jpg")}).isEmpty());
        // A CMYK picture carries the Adobe segment its decoder needs.
        QVERIFY(!run("/usr/bin/convert", {"-size", "96x64", "plasma:fractal", "-seed", "4", "-colorspace",
                                          "CMYK", path("cmyk.jpg")})
                     .isEmpty());
        QVERIFY(tag(path("rgb.jpg")) && tag(path("cmyk.jpg")));
        QVERIFY(readAll(path("cmyk.jpg")).contains("Adobe"));
        QVERIFY(!run("img2pdf", {path("rgb.jpg"), path("cmyk.jpg"), "-o", path("scan.pdf")}).isEmpty());
        annotate(path("scan.pdf"), path("tagged.pdf"));
        QVERIFY(run("exiftool", {"-a", "-ee", "-G1", path("tagged.pdf")}).contains("Serial Number"));

        MetadataEngine::writePDF(path("tagged.pdf"), path("bare.pdf"), {}, true);
        for (int i : {0, 1}) {
            const QImage before = page(path("tagged.pdf"), i);
            QVERIFY(!before.isNull());
            QCOMPARE(page(path("bare.pdf"), i), before);
        }

        const QByteArray tags = run("exiftool", {"-a", "-ee", "-G1", path("bare.pdf")});
        QVERIFY(!tags.isEmpty());
        for (const char* word : {"GPS", "Serial", "Artist", "Comment", "By-line", "Creator", "Ann ", "[ICC"})
            QVERIFY2(!tags.contains(word), word);
        QVERIFY(!run("qpdf", {"--qdf", "--object-streams=disable", path("bare.pdf"), path("flat.pdf")})
                     .isEmpty());
        const QByteArray flat = readAll(path("flat.pdf"));
        for (const char* word : {"Ann ", "SN4242", "D:2024", "Exif", "Photoshop", "xmpmeta", "ICC_PROFILE"})
            QVERIFY2(!flat.contains(word), word);
        QVERIFY(flat.contains("Look here") && flat.contains("Adobe"));

        QPDF pdf;
        pdf.processFile(QFile::encodeName(path("bare.pdf")).constData());
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
        QPDFObjectHandle annots = pages[0].getObjectHandle().getKey("/Annots");
        QCOMPARE(annots.getArrayNItems(), 3);
        QVERIFY(!annots.getArrayItem(0).hasKey("/T") && !annots.getArrayItem(0).hasKey("/CreationDate"));
        QVERIFY(!annots.getArrayItem(1).hasKey("/T") && !annots.getArrayItem(1).hasKey("/M"));
        QCOMPARE(annots.getArrayItem(2).getKey("/T").getUTF8Value(),
                 std::string("fullname")); // the form's field
        QVERIFY(!annots.getArrayItem(2).hasKey("/M"));
        QVERIFY(picture(pages[1]).getDict().getKey("/Filter").isNameAndEquals("/DCTDecode"));
    }

    // An attached photo loses its tags and every attachment its description and dates; a kind of
    // file that can't be stripped stays, named in a note.
    void stripReachesAttachedFiles()
    {
        QVERIFY(
            !run("/usr/bin/convert", {"-size", "48x32", "gradient:red-blue", path("photo.jpg")}).isEmpty());
        QVERIFY(tag(path("photo.jpg")));
        const QImage photo(path("photo.jpg"));
        QFile notes(path("notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("Ann's notes") > 0);
        notes.close();
        QVERIFY(!run("img2pdf", {path("photo.jpg"), "-o", path("page.pdf")}).isEmpty());
        QVERIFY(!run("qpdf", {path("page.pdf"), "--add-attachment", path("photo.jpg"),
                              "--description=Ann at the tower", "--creationdate=D:20240101110000Z",
                              "--moddate=D:20240102120000Z", "--", "--add-attachment", path("notes.txt"),
                              "--description=Ann's list", "--", path("attached.pdf")})
                     .isEmpty());
        const QStringList args{"--list-attachments", "--verbose"};
        QVERIFY(run("qpdf", QStringList{path("attached.pdf")} + args).contains("Ann at the tower"));

        const QStringList kept =
            MetadataEngine::writePDF(path("attached.pdf"), path("attached bare.pdf"), {}, true);
        QCOMPARE(kept.size(), 1);
        QVERIFY2(kept[0].startsWith("The attached file “notes.txt” keeps its own metadata: "),
                 qPrintable(kept[0]));

        const QByteArray listed = run("qpdf", QStringList{path("attached bare.pdf")} + args);
        QVERIFY(listed.contains("photo.jpg") && listed.contains("notes.txt"));
        for (const char* word : {"Ann", "description", "D:"})
            QVERIFY2(!listed.contains(word), word);
        const QByteArray bare =
            run("qpdf", {path("attached bare.pdf"), "--show-attachment=photo.jpg"}).chopped(1);
        QFile extracted(path("extracted.jpg"));
        QVERIFY(extracted.open(QIODevice::WriteOnly) && extracted.write(bare) == bare.size());
        extracted.close();
        QCOMPARE(QImage(path("extracted.jpg")).size(), photo.size());
        const QByteArray tags = run("exiftool", {"-a", "-ee", "-G1", path("extracted.jpg")});
        QVERIFY(tags.contains("Image Size"));
        for (const char* word : {"GPS", "Serial", "Artist", "Ann "})
            QVERIFY2(!tags.contains(word), word);
        QCOMPARE(run("qpdf", {path("attached bare.pdf"), "--show-attachment=notes.txt"}),
                 QByteArray("Ann's notes\n"));
    }

    void jpegSegments()
    {
        QVERIFY(!run("/usr/bin/convert", {"-size", "40x30", "plasma:fractal", "-seed", "2", "-interlace",
                                          "JPEG", path("progressive.jpg")})
                     .isEmpty());
        const QByteArray plain = readAll(path("progressive.jpg"));
        QVERIFY(tag(path("progressive.jpg")));
        const QByteArray tagged = readAll(path("progressive.jpg")) + "Ann trailer";

        constexpr auto drawing = JpegSegments::Keep::drawing;
        QCOMPARE(JpegSegments::firstPicture("Ann", drawing), std::nullopt);
        QCOMPARE(JpegSegments::firstPicture(plain, drawing), plain);                  // nothing to remove
        QCOMPARE(JpegSegments::firstPicture(tagged.left(40), drawing), std::nullopt); // cut inside a segment

        const std::optional<QByteArray> bare = JpegSegments::firstPicture(tagged, drawing);
        QVERIFY(bare && !bare->contains("Ann") && !bare->contains("Exif") &&
                !bare->contains("http://ns.adobe"));
        QCOMPARE(QImage::fromData(*bare), QImage::fromData(plain));
        QVERIFY(
            bare->endsWith(plain.mid(plain.indexOf("\xff\xc2")))); // frame, tables, every scan, byte for byte
        // Cut short in its last scan: what is there stays.
        const std::optional<QByteArray> cut =
            JpegSegments::firstPicture(tagged.left(tagged.indexOf("Ann trailer") - 10), drawing);
        QVERIFY(cut && !cut->contains("Exif") && bare->startsWith(*cut));
    }
};

QTEST_GUILESS_MAIN(PdfMetadataTest)
#include "test_pdfmetadata.moc"
