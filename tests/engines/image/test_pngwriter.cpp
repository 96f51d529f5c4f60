#include "engines/image/pngwriter.h"

#include "core/settings.h"

#include "../../support/enginefixtures_a.h"

#include <QColorSpace>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <sys/mount.h>
#include <thread>
#include <zlib.h>

using namespace Fixture;

namespace {

struct Chunk
{
    QByteArray type, data;
};

// The chunks of a PNG file, or none when its signature or any chunk's length or CRC is wrong.
QList<Chunk> chunksOf(const QString& path)
{
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (!bytes.startsWith("\x89PNG\r\n\x1a\n")) return {};
    QList<Chunk> chunks;
    for (qsizetype at = 8; at < bytes.size();) {
        const qsizetype length =
            at + 12 <= bytes.size() ? qFromBigEndian<quint32>(bytes.constData() + at) : -1;
        if (length < 0 || at + 12 + length > bytes.size()) return {};
        const auto* typed = reinterpret_cast<const Bytef*>(bytes.constData() + at + 4);
        if (crc32(0, typed, uInt(length + 4)) != qFromBigEndian<quint32>(bytes.constData() + at + 8 + length))
            return {};
        chunks.append({bytes.mid(at + 4, 4), bytes.mid(at + 8, length)});
        at += 12 + length;
    }
    return chunks;
}

// The chunk types in order, a run of IDAT chunks as one.
QByteArray layout(const QList<Chunk>& chunks)
{
    QByteArray out;
    for (const Chunk& c : chunks)
        if (!out.endsWith(c.type)) out += (out.isEmpty() ? "" : " ") + c.type;
    return out;
}

QByteArray inflated(const QByteArray& data, qsizetype expected, bool raw = false)
{
    QByteArray out(expected + 1, '\0');
    z_stream z{};
    inflateInit2(&z, raw ? -MAX_WBITS : MAX_WBITS);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int status = inflate(&z, Z_FINISH);
    out.truncate(qsizetype(z.total_out));
    const bool whole = status == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return whole ? out : QByteArray("<broken stream>");
}

// Ramps the filters can predict, noise they can't, and every kind of alpha: clear, opaque, between.
QImage sample(QSize size, QImage::Format format, quint32 seed)
{
    QImage image(size, QImage::Format_ARGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const quint32 noise = random.generate();
            const int ramp = (x * 7 + y * 3) & 255;
            const int alpha = (x + y) % 5 == 0 ? 0 : y % 3 == 0 ? 255 : int(noise >> 24);
            line[x] = qRgba(ramp, (ramp + int(noise & 15)) & 255, int(noise >> 8) & 255, alpha);
        }
    }
    return image.convertToFormat(format);
}

// Flat colours with soft edges, where the filters' ties and long matches show.
QImage drawing(QSize size, QImage::Format format)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor(30, 60, 200, 128));
    gradient.setColorAt(1, QColor(250, 200, 40));
    painter.fillRect(QRect(QPoint(0, 0), size / 2), gradient);
    for (int i = 0; i < 60; ++i) {
        painter.setPen(QPen(QColor::fromHsv(i * 37 % 360, 200, 220, 100 + i * 2), 1 + i % 4));
        painter.drawEllipse(QPoint(i * 97 % size.width(), i * 53 % size.height()), 20 + i, 10 + i);
    }
    painter.end();
    return image.convertToFormat(format);
}

QString writtenByQt(const QImage& image, const QString& path)
{
    QImageWriter writer(path, "png");
    writer.setQuality(50);
    return writer.write(image) ? path : QString();
}

} // namespace

class PngWriterTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir, m_scratch;
    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase() { qputenv("TMPDIR", QFile::encodeName(m_scratch.path())); }

    // Only Qt's encoder writes these formats without losing depth or the palette.
    void leavesDeepAndIndexedImagesToQt()
    {
        for (const QImage::Format format : {QImage::Format_Indexed8, QImage::Format_Mono,
                                            QImage::Format_Grayscale16, QImage::Format_RGBA64_Premultiplied})
            QVERIFY(!PngWriter::accepts(QImage(8, 8, format)));
    }

    // Rows of 4097 pixels make strips of 64 rows: heights on either side of a strip's end.
    void decodesToQtsOwnPixels_data()
    {
        QTest::addColumn<QImage::Format>("format");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("drawn");
        using F = QImage::Format;
        for (const F format : {F::Format_RGB32, F::Format_ARGB32, F::Format_ARGB32_Premultiplied,
                               F::Format_RGB888, F::Format_Grayscale8, F::Format_RGBA8888})
            for (const int height : {63, 64, 65, 129})
                QTest::addRow("%d, 4097×%d", int(format), height) << format << QSize(4097, height) << false;
        QTest::newRow("one strip") << F::Format_ARGB32 << QSize(37, 5) << false;
        QTest::newRow("one pixel") << F::Format_RGB32 << QSize(1, 1) << false;
        QTest::newRow("one column") << F::Format_RGB888 << QSize(1, 300) << false;
        QTest::newRow("one column, two strips") << F::Format_Grayscale8 << QSize(1, 131073) << false;
        QTest::newRow("drawing") << F::Format_ARGB32_Premultiplied << QSize(1501, 400) << true;
        QTest::newRow("narrow drawing, many strips") << F::Format_RGB32 << QSize(301, 3000) << true;
        for (const F other :
             {F::Format_BGR888, F::Format_RGBX8888, F::Format_RGB16, F::Format_ARGB4444_Premultiplied,
              F::Format_RGBA8888_Premultiplied, F::Format_A2RGB30_Premultiplied, F::Format_Alpha8})
            QTest::addRow("%d, converted by rows", int(other)) << other << QSize(301, 130) << false;
    }

    void decodesToQtsOwnPixels()
    {
        QFETCH(QImage::Format, format);
        QFETCH(QSize, size);
        QFETCH(bool, drawn);
        const QImage image = drawn
                                 ? drawing(size, format)
                                 : sample(size, format, quint32(size.width() * 131 + size.height() + format));
        QVERIFY(PngWriter::accepts(image));
        PngWriter::write(image, path("ours.png"));
        const QImage ours(path("ours.png")), qts(writtenByQt(image, path("qt.png")));
        QVERIFY(!qts.isNull());
        QCOMPARE(ours.format(), qts.format());
        QVERIFY(ours == qts);
        // No larger than Qt's file, give or take the few bytes each strip's end costs and those Qt
        // saves with a smaller window on tiny images.
        const qint64 oursSize = QFileInfo(path("ours.png")).size(),
                     qtsSize = QFileInfo(path("qt.png")).size();
        QVERIFY2(oursSize <= qtsSize + qtsSize / 1000 + 32,
                 qPrintable(QString("%1 bytes, Qt's %2").arg(oursSize).arg(qtsSize)));

        // One zlib stream over every IDAT chunk, which inflates whole in one pass.
        const QList<Chunk> chunks = chunksOf(path("ours.png"));
        QCOMPARE(layout(chunks), QByteArray("IHDR pHYs IDAT IEND"));
        QByteArray stream;
        for (const Chunk& c : chunks)
            if (c.type == "IDAT") stream += c.data;
        const qsizetype channels = qts.hasAlphaChannel() ? 4 : qts.isGrayscale() ? 1 : 3;
        QCOMPARE(inflated(stream, size.height() * (size.width() * channels + 1)).size(),
                 size.height() * (size.width() * channels + 1));
        QCOMPARE(Shell::run("/usr/bin/pngcheck", {"-q", path("ours.png")}).status, 0);
    }

    // The ancillary chunks Qt's encoder writes, with the same contents: resolution, offset and
    // the colour profile (compared inflated, under its name).
    void chunksAreQtsOwn()
    {
        QImage plain = sample({40, 30}, QImage::Format_RGB32, 1);
        plain.setDotsPerMeterX(11811);
        plain.setDotsPerMeterY(5906);
        QImage wide = plain, shifted = plain, renamed = plain;
        wide.setColorSpace(QColorSpace::DisplayP3);
        shifted.setOffset({3, -4});
        QColorSpace space(QColorSpace::SRgb);
        space.setDescription(QString::fromUtf8("  Wide   gamut ✓ "));
        renamed.setColorSpace(space);
        QImage grey = plain.convertToFormat(QImage::Format_Grayscale8),
               alpha = plain.convertToFormat(QImage::Format_ARGB32);
        grey.setColorSpace(QColorSpace::SRgb); // an RGB profile, which grey pixels can't carry
        alpha.setColorSpace(QColorSpace::SRgbLinear);
        for (const auto& [name, image] : {std::pair{"plain", plain},
                                          {"wide", wide},
                                          {"shifted", shifted},
                                          {"renamed", renamed},
                                          {"grey", grey},
                                          {"alpha", alpha}}) {
            PngWriter::write(image, path("ours.png"));
            const QList<Chunk> ours = chunksOf(path("ours.png")),
                               qts = chunksOf(writtenByQt(image, path("qt.png")));
            QVERIFY2(!ours.isEmpty(), name);
            QCOMPARE(layout(ours), layout(qts));
            for (qsizetype i = 0; i < ours.size() && ours[i].type != "IDAT"; ++i) {
                if (ours[i].type != "iCCP") {
                    QVERIFY2(ours[i].data == qts[i].data, qPrintable(QString(name) + " " + ours[i].type));
                    continue;
                }
                const QByteArray profileName = ours[i].data.left(ours[i].data.indexOf('\0'));
                QCOMPARE(profileName, qts[i].data.left(qts[i].data.indexOf('\0')));
                const QByteArray profile = image.colorSpace().iccProfile();
                QCOMPARE(inflated(ours[i].data.mid(profileName.size() + 2), profile.size()), profile);
                QCOMPARE(QImage(path("ours.png")).colorSpace(), image.colorSpace());
            }
        }
    }

    // Page images write several pictures at once, all of them sharing the worker pool.
    void severalAtOnce()
    {
        QList<QImage> images;
        for (int i = 0; i < 8; ++i)
            images.append(sample({2000 + i, 700}, QImage::Format_ARGB32, quint32(i)));
        std::vector<std::thread> writers;
        for (int i = 0; i < images.size(); ++i)
            writers.emplace_back([&, i] { PngWriter::write(images[i], path(QString("%1.png").arg(i))); });
        for (std::thread& writer : writers)
            writer.join();
        for (int i = 0; i < images.size(); ++i)
            QVERIFY(QImage(path(QString("%1.png").arg(i))) == images[i]);
    }

    // A disk that fills before the header is out, and one that fills partway through the rows.
    void aFullDiskFailsAndLeavesNothing()
    {
        const QImage noise = sample({1500, 1500}, QImage::Format_RGB32, 9);
        QVERIFY(noise.save(path("noise.bmp")));
        for (const char* size : {"size=4k", "size=1m"}) {
            QTemporaryDir results;
            if (::mount("tmpfs", QFile::encodeName(results.path()).constData(), "tmpfs", 0, size) != 0)
                QSKIP("mounting a tmpfs needs root");
            const auto unmount =
                qScopeGuard([&] { ::umount(QFile::encodeName(results.path()).constData()); });
            Settings::shared().setOutputFolder(results.path());
            Settings::shared().setSaveLocation(SaveLocation::folder);
            const ConvertError e = failure([&] { convert(path("noise.bmp"), "png"); });
            QCOMPARE(e.message(), QString("The disk is full"));
            QCOMPARE(entries(results.path()), QStringList());
        }
        QCOMPARE(entries(m_scratch.path()), QStringList());
    }
};

QTEST_MAIN(PngWriterTest)
#include "test_pngwriter.moc"
