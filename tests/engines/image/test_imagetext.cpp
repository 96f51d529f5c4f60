#include "engines/image/imageengine.h"

#include "core/settings.h"
#include "engines/instant/instanttools.h"

#include "../../support/enginefixtures_a.h"

#include <QBuffer>
#include <QColorSpace>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace Fixture;
using namespace Qt::StringLiterals;

namespace {

// What a picture's own text holds in the trial that found it carried: a name, a home address and
// a position. None of it belongs to the properties a result keeps.
const QStringList privateWords{"Marchbank", "Wrenfield", "30.4417N", "Kestrel"};

const QByteArray xmp = "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
                       "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
                       "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                       "<rdf:Description rdf:about=\"\" xmlns:exif=\"http://ns.adobe.com/exif/1.0/\" "
                       "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" exif:GPSLatitude=\"51,30.4417N\" "
                       "exif:GPSLongitude=\"0,7.3312W\"><dc:creator><rdf:Seq><rdf:li>Ottilie Marchbank"
                       "</rdf:li></rdf:Seq></dc:creator></rdf:Description></rdf:RDF></x:xmpmeta>"
                       "<?xpacket end=\"w\"?>";

QByteArray encoded(const char* format)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray be32(quint32 v)
{
    QByteArray out(4, '\0');
    qToBigEndian(v, out.data());
    return out;
}

QByteArray zlib(const QByteArray& data)
{
    return qCompress(data).mid(4); // without Qt's length prefix
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray pngChunk(const QByteArray& type, const QByteArray& data)
{
    const QByteArray body = type + data;
    return be32(quint32(data.size())) + body + be32(crc32(body));
}

// A PNG with a tEXt, a zTXt and an XMP iTXt chunk before its pixels, and a compressed iTXt after.
QByteArray pngWithText()
{
    QByteArray png = encoded("PNG");
    const QByteArray before = pngChunk("tEXt", "Author\0Ottilie Marchbank"_ba) +
                              pngChunk("zTXt", "Comment\0\0"_ba + zlib("Home: 14 Wrenfield Lane")) +
                              pngChunk("iTXt", "XML:com.adobe.xmp\0\0\0\0\0"_ba + xmp);
    const QByteArray after = pngChunk("iTXt", "Description\0\1\0en\0\0"_ba + zlib("Kestrel Cottage"));
    png.insert(8 + 25, before);         // after the signature and IHDR
    png.insert(png.size() - 12, after); // before IEND
    return png;
}

// A JPEG with a comment segment and an XMP segment after its start marker.
QByteArray jpegWithText()
{
    const auto segment = [](char marker, const QByteArray& data) {
        QByteArray length(2, '\0');
        qToBigEndian(quint16(data.size() + 2), length.data());
        return QByteArray("\xFF") + marker + length + data;
    };
    QByteArray jpeg = encoded("JPEG");
    jpeg.insert(2, segment('\xFE', "Ottilie Marchbank, 14 Wrenfield Lane, Kestrel Cottage") +
                       segment('\xE1', "http://ns.adobe.com/xap/1.0/\0"_ba + xmp));
    return jpeg;
}

// Every text a reader of the file can get at: its bytes, the inflated text chunks of a PNG, and
// a PDF with its streams uncompressed. Empty when the file can't be read so.
QByteArray readable(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray out = file.readAll();
    if (out.startsWith("\x89PNG")) {
        const QByteArray png = out;
        for (qsizetype at = 8; at + 12 <= png.size();) {
            const qsizetype length = qFromBigEndian<quint32>(png.constData() + at);
            const QByteArray type = png.mid(at + 4, 4), data = png.mid(at + 8, length);
            qsizetype start = data.indexOf('\0') + 1;
            if (type == "iTXt" && data.size() > start + 1 && data[start] == 1) {
                start = data.indexOf('\0', data.indexOf('\0', start + 2) + 1) + 1;
                out += qUncompress(be32(1 << 20) + data.mid(start));
            } else if (type == "zTXt") {
                out += qUncompress(be32(1 << 20) + data.mid(start + 1));
            }
            at += 12 + length;
        }
    } else if (out.startsWith("%PDF")) {
        QTemporaryDir dir;
        const QString plain = dir.filePath("plain.pdf");
        QFile opened(plain);
        if (QProcess::execute("qpdf", {"--qdf", "--object-streams=disable", path, plain}) != 0 ||
            !opened.open(QIODevice::ReadOnly))
            return {};
        out += opened.readAll();
    }
    return out;
}

QStringList carried(const QString& path)
{
    const QByteArray text = readable(path);
    if (text.isEmpty()) return {"(unreadable)"};
    QStringList out;
    for (const QString& word : privateWords)
        if (text.contains(word.toUtf8())) out << word;
    return out;
}

} // namespace

class ImageTextTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

  private slots:
    void initTestCase() { Settings::shared().setImageQuality(0.88); }

    // Forgetting the text keeps the pixels, palette, colour space and resolution, and drawing
    // into the copy leaves the original as it was.
    void withoutTextKeepsTheRest()
    {
        QImage indexed(8, 6, QImage::Format_Indexed8);
        indexed.setColorTable({qRgb(200, 10, 10), qRgba(0, 0, 0, 0)});
        indexed.fill(1);
        QImage colour(8, 6, QImage::Format_ARGB32);
        colour.fill(QColor(10, 200, 30, 128));
        colour.setColorSpace(QColorSpace::DisplayP3);
        for (QImage original : {indexed, colour}) {
            original.setText("Comment", "Ottilie Marchbank");
            original.setDotsPerMeterX(11811);
            original.setDotsPerMeterY(5906);
            const QImage kept = original;
            QImage plain = ImageEngine::withoutText(original);
            QVERIFY(plain.textKeys().isEmpty());
            QCOMPARE(plain, kept);
            QCOMPARE(plain.colorSpace(), kept.colorSpace());
            QCOMPARE(plain.dotsPerMeterX(), 11811);
            QCOMPARE(plain.dotsPerMeterY(), 5906);
            plain.setPixel(0, 0, 0);
            QCOMPARE(original.pixel(0, 0), kept.pixel(1, 1));
        }
    }

    // A result of every writer, from pictures that carry comments, text chunks and XMP, holds
    // none of their text: converted, cropped and written, or put into a new PDF.
    void aPicturesOwnTextStaysBehind()
    {
        const QString png = m_dir.filePath("garden.png"), jpeg = m_dir.filePath("garden.jpg");
        QVERIFY(write(png, pngWithText()));
        QVERIFY(write(jpeg, jpegWithText()));
        for (const QString& source : {png, jpeg}) {
            QCOMPARE(carried(source), privateWords); // the reading below sees every chunk
            QVERIFY(!ImageEngine::load(source).image.textKeys().isEmpty());
        }
        QStringList leaks;
        const QStringList targets{"jpg", "png", "webp", "tiff", "bmp", "heic", "avif", "pdf"};
        for (const QString& source : {png, jpeg}) {
            QList<std::pair<QString, QString>> results; // row, file
            for (const QString& target : targets) {
                if (QFileInfo(source).suffix() == target) continue; // nothing to convert
                results.append({target, convert(source, target).value(0)});
            }
            Job job({}, {}, 0);
            results.append({"Create PDF", InstantTools::createPDF({source}, job, [](double) {}).value(0)});
            const QString cropped = m_dir.filePath("cropped-" + QFileInfo(source).fileName());
            ImageEngine::write(ImageEngine::load(source).image.copy(4, 4, 40, 30), cropped,
                               QFileInfo(source).suffix() == "png" ? "png" : "jpg", {}, std::nullopt, 72);
            results.append({"cropped", cropped});
            for (const auto& [row, file] : results) {
                const QString name = QFileInfo(source).fileName() + " → " + row;
                QVERIFY2(QFileInfo(file).size() > 0, qPrintable(name));
                if (const QStringList words = carried(file); !words.isEmpty())
                    leaks << name + " carries " + words.join(", ");
            }
        }
        QVERIFY2(leaks.isEmpty(), qPrintable(leaks.join("; ")));
    }
};

QTEST_MAIN(ImageTextTest)
#include "test_imagetext.moc"
