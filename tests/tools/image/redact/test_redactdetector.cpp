// The detectors the redaction window uses, on real Tesseract and OpenCV: where they put what
// they find, and that covering what they find hides it.

#include "core/job.h"
#include "core/modules.h"
#include "engines/heavyengines.h"
#include "engines/recognition/recognitionmodule.h"
#include "tools/image/redact/redactdetector.h"
#include "tools/image/redact/redactimage.h"
#include "tools/image/redact/redactor.h"

#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Black writing on white, each line `pixels` high with its baseline at a share of the height.
QImage writing(QSize size, int pixels, const QList<std::pair<double, QString>>& lines)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    QFont font("DejaVu Sans");
    font.setPixelSize(pixels);
    p.setFont(font);
    for (const auto& [baseline, text] : lines)
        p.drawText(QPointF(0.05 * size.width(), baseline * size.height()), text);
    return img;
}

// The share of `ink` (in pixels of a picture of `size`) that unit-space boxes cover.
double covered(const QRectF& ink, const QList<QRectF>& boxes, QSize size)
{
    const QRect area = ink.toAlignedRect();
    QRegion region;
    for (const QRectF& b : boxes)
        region += QRectF(b.x() * size.width(), b.y() * size.height(), b.width() * size.width(),
                         b.height() * size.height())
                      .toAlignedRect() &
                  area;
    qint64 pixels = 0;
    for (const QRect& r : region)
        pixels += qint64(r.width()) * r.height();
    return double(pixels) / (qint64(area.width()) * area.height());
}

// How many pixels of `image` are lighter than `grey`.
qint64 lighter(const QImage& image, int grey)
{
    qint64 n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qGray(image.pixel(x, y)) > grey;
    return n;
}

} // namespace

class RedactDetectorTest : public QObject
{
    Q_OBJECT
  private slots:
    // Lines are found where they were drawn, top down, also on a picture that is searched shrunk.
    void textIsFoundFromTheTop_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("pixels");
        QTest::newRow("as it is") << QSize(1400, 700) << 40;
        QTest::newRow("large") << QSize(4000, 2000) << 110;
    }
    void textIsFoundFromTheTop()
    {
        QFETCH(QSize, size);
        QFETCH(int, pixels);
        const QImage img = writing(size, pixels, {{0.2, "Meet me on Tuesday"}, {0.8, "at the old harbour"}});
        QList<QRectF> boxes = RedactDetector::standard().text(img);
        QCOMPARE(boxes.size(), 2);
        std::sort(boxes.begin(), boxes.end(), [](QRectF a, QRectF b) { return a.top() < b.top(); });
        // Each box holds its line: from just above the letters down to the baseline, in unit space.
        const double height = double(pixels) / size.height();
        for (const auto& [box, baseline] : {std::pair{boxes[0], 0.2}, std::pair{boxes[1], 0.8}}) {
            QVERIFY2(box.left() > 0.04 && box.left() < 0.07, qPrintable(QString::number(box.left())));
            QVERIFY(box.top() > baseline - height && box.top() < baseline - height / 2);
            QVERIFY(box.bottom() >= baseline - 0.005 && box.bottom() < baseline + height / 2);
        }
    }

    void noFaceInNoise()
    {
        QVERIFY2(QFile::exists("/usr/share/opencv4/haarcascades/haarcascade_frontalface_default.xml"),
                 "the search has its cascade and really runs");
        QRandomGenerator random(5);
        QImage img(900, 600, QImage::Format_RGB32);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                img.setPixel(x, y, random.generate() | 0xff000000u);
        QVERIFY(RedactDetector::standard().faces(img).isEmpty());
        QVERIFY(RedactDetector::standard().faces(QImage()).isEmpty());
    }

    // Every line of a 24-megapixel photo, the smallest at 24 points, is found and, saved
    // pixelated, can no longer be read by Tesseract's own command.
    void smallTextOnALargePhotoIsFoundAndHidden_data()
    {
        QTest::addColumn<double>("dpi");
        QTest::newRow("printed at 300 dpi") << 300.0;
        QTest::newRow("a point a pixel") << 72.0;
    }
    void smallTextOnALargePhotoIsFoundAndHidden()
    {
        QFETCH(double, dpi);
        const QList<std::pair<int, QString>> lines{{24, "IBAN DE89 3704 0044 0532 0130 00"},
                                                   {32, "Phone 0171 2345 6789"},
                                                   {40, "Invoice number 4711"},
                                                   {56, "Lindenstrasse 12"},
                                                   {100, "Greta Hansen"}};
        QImage img(6000, 4000, QImage::Format_RGB32);
        img.fill(QColor(236, 232, 222));
        QPainter p(&img);
        p.setPen(QColor(30, 30, 40));
        QList<QRectF> inked;
        double baseline = 4000 * 0.15;
        for (const auto& [points, text] : lines) {
            QFont font("DejaVu Sans");
            font.setPixelSize(qRound(points * dpi / 72));
            p.setFont(font);
            p.drawText(QPointF(400, baseline), text);
            inked << QFontMetricsF(font).tightBoundingRect(text).translated(400, baseline);
            baseline += font.pixelSize() * 2.5;
        }
        p.end();

        const QList<QRectF> boxes = RedactDetector::standard().text(img);
        // Nearly all of each line's middle row lies in the boxes.
        for (const QRectF& ink : inked) {
            const QRect row = QRectF(ink.left(), ink.center().y(), ink.width(), 1).toAlignedRect();
            QRegion covered;
            for (const QRectF& b : boxes)
                covered +=
                    QRectF(b.x() * 6000, b.y() * 4000, b.width() * 6000, b.height() * 4000).toAlignedRect() &
                    row;
            int width = 0;
            for (const QRect& r : covered)
                width += r.width();
            QVERIFY2(width > row.width() * 0.9, qPrintable(QString("%1 px high").arg(ink.height())));
        }

        QTemporaryDir dir;
        const QString file = dir.filePath("photo.png");
        QVERIFY(img.save(file));
        Job job({}, {}, 0);
        const QStringList out =
            RedactImage::redactFile(file, boxes, RedactStyle::pixelate, job, [](double) {});
        QCOMPARE(out.size(), 1);
        QProcess ocr;
        ocr.start("tesseract", {out.first(), "-"});
        QVERIFY(ocr.waitForFinished(120000) && ocr.exitCode() == 0);
        const QString read = QString::fromUtf8(ocr.readAllStandardOutput());
        for (const char* word : {"IBAN", "0532", "Phone", "6789", "Invoice", "4711", "Linden", "Hansen"})
            QVERIFY2(!read.contains(word, Qt::CaseInsensitive), qPrintable(read));
    }

    // Every line of a 24-megapixel photo, from 24 points at a point a pixel up, is boxed whole:
    // light writing on a dark gradient, its lighter end too, as well as dark writing on a light
    // one, wherever it stands, across the seams of the search's tiles, and running down.
    void everyLineOnAGradientIsBoxed_data()
    {
        QTest::addColumn<QColor>("from");
        QTest::addColumn<QColor>("to");
        QTest::addColumn<QColor>("ink");
        QTest::newRow("light on dark") << QColor(8, 10, 18) << QColor(96, 104, 122) << QColor(232, 230, 220);
        QTest::newRow("dark on light")
            << QColor(250, 248, 240) << QColor(150, 146, 140) << QColor(30, 30, 40);
    }
    void everyLineOnAGradientIsBoxed()
    {
        QFETCH(QColor, from);
        QFETCH(QColor, to);
        QFETCH(QColor, ink);
        const QSize size(6000, 4000);
        QImage img(size, QImage::Format_RGB32);
        QPainter p(&img);
        QLinearGradient shade(0, 0, size.width(), size.height());
        shade.setColorAt(0, from);
        shade.setColorAt(1, to);
        p.fillRect(img.rect(), shade);
        p.setPen(ink);
        struct Written
        {
            int pixels;
            QPointF at;
            QString text;
        };
        const QList<Written> lines{{24, {400, 600}, "IBAN DE89 3704 0044 0532 0130 00"},
                                   {32, {1250, 1345}, "Card 4111 1111 1111 1111"},
                                   {24, {2700, 2500}, "Valid until 09/29 CVC 123"},
                                   {56, {3300, 3350}, "Greta Hansen"},
                                   {100, {600, 3600}, "Account 0532 0130"}};
        QList<QRectF> inked;
        for (const Written& line : lines) {
            QFont font("DejaVu Sans");
            font.setPixelSize(line.pixels);
            p.setFont(font);
            p.drawText(line.at, line.text);
            inked << QFontMetricsF(font).tightBoundingRect(line.text).translated(line.at);
        }
        // Lines running down the right edge and up the left one.
        QFont font("DejaVu Sans");
        font.setPixelSize(32);
        p.setFont(font);
        QList<QRectF> upright;
        for (const auto& [at, angle, text] : {std::tuple{QPointF(5400, 400), 90, "Phone 0171 2345 6789"},
                                              std::tuple{QPointF(200, 3800), -90, "Ref 7781 0032 5519"}}) {
            p.resetTransform();
            p.translate(at);
            p.rotate(angle);
            p.drawText(QPointF(), text);
            upright << p.transform().mapRect(QFontMetricsF(font).tightBoundingRect(text));
        }
        p.end();

        const QList<QRectF> boxes = RedactDetector::standard().text(img);
        for (qsizetype i = 0; i < lines.size(); ++i)
            QVERIFY2(covered(inked[i], boxes, size) > 0.9, qPrintable(lines[i].text));
        QVERIFY2(covered(upright[0], boxes, size) > 0.9, "the line running down");
        QVERIFY2(covered(upright[1], boxes, size) > 0.9, "the line running up");
    }

    // A 24-megapixel JPEG that ImageMagick wrote, light writing on the lighter end of a dark
    // gradient and a line running down: the window's search finds every line, and the saved
    // copy keeps no light pixel of the writing.
    void aDarkPhotoImageMagickWroteKeepsNoWriting()
    {
        QTemporaryDir dir;
        const QString photo = dir.filePath("dark.jpg");
        QVERIFY(QProcess::execute("/usr/bin/convert", {"-size",
                                                       "4000x6000",
                                                       "gradient:#5a6070-#080a12",
                                                       "-rotate",
                                                       "90",
                                                       "-depth",
                                                       "8",
                                                       "-font",
                                                       "DejaVu-Sans",
                                                       "-fill",
                                                       "#e6e6dc",
                                                       "-pointsize",
                                                       "24",
                                                       "-annotate",
                                                       "+3000+2800",
                                                       "IBAN DE89 3704 0044 0532 0130 00",
                                                       "-pointsize",
                                                       "32",
                                                       "-annotate",
                                                       "+3000+2900",
                                                       "Card 4111 1111 1111 1111",
                                                       "-annotate",
                                                       "90x90+5400+600",
                                                       "Phone 0171 2345 6789",
                                                       "-quality",
                                                       "92",
                                                       photo}) == 0);
        const QImage img = Modules::entries<HeavyEngines>().loadImage(photo);
        QCOMPARE(img.size(), QSize(6000, 4000));
        QVERIFY(lighter(img, 180) > 1000); // the writing, and nothing else, is that light

        const QList<QRectF> boxes = RedactDetector::standard().text(img);
        QCOMPARE(boxes.size(), 3);
        Job job({}, {}, 0);
        const QStringList out = RedactImage::redactFile(photo, boxes, RedactStyle::black, job, [](double) {});
        QCOMPARE(out, QStringList{dir.filePath("dark Redacted.jpg")});
        QCOMPARE(lighter(QImage(out.first()), 180), 0);
    }

    // What the search finds, pixelated or blurred, can no longer be read.
    void foundTextCoveredIsGone()
    {
        const QImage img = writing({900, 300}, 70, {{0.45, "Tuesday"}, {0.85, "Harbour"}});
        const QList<QRectF> boxes = RedactDetector::standard().text(img);
        QCOMPARE(boxes.size(), 2);
        const RecognitionModule& ocr = Modules::entries<RecognitionModule>();
        QCOMPARE(ocr.recognize(img), QString("Tuesday\nHarbour"));
        for (RedactStyle style : {RedactStyle::pixelate, RedactStyle::blur}) {
            const std::optional<QImage> out = Redactor::render(img, boxes, style);
            QVERIFY(out);
            const QString text = ocr.recognize(*out);
            QVERIFY2(!text.contains("Tuesday", Qt::CaseInsensitive) &&
                         !text.contains("Harbour", Qt::CaseInsensitive),
                     qPrintable(text));
        }
    }
};

QTEST_MAIN(RedactDetectorTest)
#include "test_redactdetector.moc"
