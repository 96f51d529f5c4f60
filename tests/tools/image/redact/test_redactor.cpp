// Redaction on generated pictures: where the boxes fall, that nothing of what they hide is left,
// what stays as it was, and that writing under a pixelated or blurred box can't be read back.

#include "core/modules.h"
#include "engines/recognition/recognitionmodule.h"
#include "tools/image/redact/redactcover.h"
#include "tools/image/redact/redactor.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>
#include <cmath>

namespace {

// Every pixel its own colour and, where `alpha` says, its own transparency.
QImage noise(QSize size, bool alpha = false, quint32 seed = 7)
{
    QRandomGenerator random(seed);
    QImage img(size, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, random.generate() | (alpha ? 0 : 0xff000000u));
    return img;
}

// Pearson correlation of the grey levels of two equal areas.
double correlation(const QImage& a, const QImage& b, QRect area)
{
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    const double n = double(area.width()) * area.height();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const double va = qGray(a.pixel(x, y)), vb = qGray(b.pixel(x, y));
            sa += va, sb += vb, saa += va * va, sbb += vb * vb, sab += va * vb;
        }
    const double cov = sab / n - sa / n * sb / n;
    const double spread = std::sqrt((saa / n - sa / n * sa / n) * (sbb / n - sb / n * sb / n));
    return spread > 0 ? cov / spread : 0;
}

// The pixels of `area` in which the two pictures agree.
int same(const QImage& a, const QImage& b, QRect area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += a.pixel(x, y) == b.pixel(x, y);
    return n;
}

// What recognition reads in `area` of the picture, set on a white margin. Recognition's own
// threads keep each page to one thread, which stays quick on a busy machine.
QString read(const QImage& img, QRect area)
{
    QImage page(area.size() + QSize(48, 48), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter(&page).drawImage(24, 24, img.copy(area));
    return Modules::entries<RecognitionModule>().recognizeLater(page).result();
}

QImage rendered(const QImage& img, const QList<QRectF>& boxes, RedactStyle style)
{
    const std::optional<QImage> out = Redactor::render(img, boxes, style);
    return out ? *out : QImage();
}

} // namespace

class RedactorTest : public QObject
{
    Q_OBJECT
  private slots:
    void stylesHaveTheirLabels()
    {
        QStringList labels;
        for (RedactStyle style : allRedactStyles()) {
            labels << rawValue(style);
            QCOMPARE(redactStyleFromRaw(rawValue(style)), style);
        }
        QCOMPARE(labels, QStringList({"Black", "White", "Blur", "Pixelate"}));
        for (const char* other : {"black", "BLUR", " Blur", ""})
            QVERIFY2(!redactStyleFromRaw(other), other);
    }

    void sizesFollowThePicture()
    {
        QCOMPARE(Redactor::blurRadius({4000, 3000}), 90.0);
        QCOMPARE(Redactor::blockSize({4000, 3000}), 105);
        QCOMPARE(Redactor::blurRadius({200, 100}), 3.0);
        QCOMPARE(Redactor::blockSize({200, 100}), 8);
        QCOMPARE(Redactor::blockSize({260, 1000}), 9);
        // A box that a few of the picture's own blocks would cross gets larger ones.
        QCOMPARE(Redactor::blockSize({4000, 3000}, QRect(0, 0, 900, 300)), 105);
        QCOMPARE(Redactor::blockSize({4000, 3000}, QRect(0, 0, 900, 400)), 134);
        QCOMPARE(Redactor::blockSize({200, 100}, QRect(0, 0, 150, 60)), 20);
        QCOMPARE(Redactor::blurRadius({4000, 3000}, QRect(0, 0, 360, 900)), 90.0);
        QCOMPARE(Redactor::blurRadius({200, 100}, QRect(0, 0, 150, 60)), 15.0);
    }

    void boxesBecomePixels_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRectF>("unit");
        QTest::addColumn<QRect>("pixels");
        QTest::newRow("grown by 2") << QSize(1000, 800) << QRectF(0.25, 0.5, 0.5, 0.25)
                                    << QRect(QPoint(248, 398), QPoint(751, 601));
        QTest::newRow("a point covers 4 x 4")
            << QSize(100, 100) << QRectF(0.5, 0.5, 0, 0) << QRect(48, 48, 4, 4);
        QTest::newRow("inexact products stay whole")
            << QSize(1000, 1000) << QRectF(0.3, 0.1, 0.3, 0.7) << QRect(298, 98, 304, 704);
        QTest::newRow("a part pixel is covered whole")
            << QSize(10, 10) << QRectF(0.35, 0.35, 0.3, 0.3) << QRect(QPoint(1, 1), QPoint(8, 8));
        QTest::newRow("cut at the edges")
            << QSize(100, 50) << QRectF(-0.5, 0.9, 0.6, 5) << QRect(0, 43, 12, 7);
        QTest::newRow("off the picture") << QSize(100, 100) << QRectF(1.1, 0.2, 0.3, 0.3) << QRect();
        QTest::newRow("just off, but grown onto it")
            << QSize(100, 100) << QRectF(1.0, 0.2, 0.3, 0.3) << QRect(98, 18, 2, 34);
    }
    void boxesBecomePixels()
    {
        QFETCH(QSize, size);
        QFETCH(QRectF, unit);
        QTEST(Redactor::pixelBox(unit, size), "pixels");
    }

    // Every pixel of the grown box is replaced by something that tells nothing of the noise
    // beneath, and not one pixel around it changes.
    void eachStyleHidesExactlyTheBox()
    {
        const QImage img = noise({1000, 800});
        const QRect box(QPoint(248, 398), QPoint(751, 601));
        for (RedactStyle style : allRedactStyles()) {
            const QImage out = rendered(img, {QRectF(0.25, 0.5, 0.5, 0.25)}, style);
            QVERIFY2(out.size() == img.size(), qPrintable(rawValue(style)));
            QCOMPARE(same(out, img, img.rect()) - same(out, img, box),
                     img.width() * img.height() - box.width() * box.height());
            QVERIFY2(same(out, img, box) < box.width() * box.height() / 1000, qPrintable(rawValue(style)));
            QVERIFY2(std::abs(correlation(out, img, box)) < 0.05, qPrintable(rawValue(style)));
            if (style == RedactStyle::black || style == RedactStyle::white)
                QCOMPARE(out.pixel(248, 398), style == RedactStyle::black ? 0xff000000u : 0xffffffffu);
            // A sliver at the edge of a tiny picture, where 3 % of the picture is under a pixel.
            const QImage tiny = noise({10, 10}, false, 3);
            QCOMPARE(same(rendered(tiny, {QRectF(1, 0.2, 0.5, 0.5)}, style), tiny, QRect(8, 0, 2, 10)),
                     20 - 18);
        }
    }

    void whatLiesOutsideTheBoxesStays()
    {
        const QImage see = noise({120, 90}, true);
        for (RedactStyle style : allRedactStyles()) {
            QCOMPARE(rendered(see, {}, style), see);
            QCOMPARE(rendered(see, {QRectF(1.5, 0, 1, 1)}, style), see);
            // Opaque black and white on a see-through picture; the rest keeps its alpha.
            const QImage out = rendered(see, {QRectF(0.5, 0.5, 0, 0)}, style);
            const QRect box(58, 43, 4, 4);
            QCOMPARE(same(out, see, see.rect()) - same(out, see, box), see.width() * see.height() - 16);
            if (style == RedactStyle::black || style == RedactStyle::white)
                for (int y = box.top(); y <= box.bottom(); ++y)
                    for (int x = box.left(); x <= box.right(); ++x)
                        QCOMPARE(qAlpha(out.pixel(x, y)), 255);
        }
        // A picture without alpha stays without it, in a format the writers take.
        QCOMPARE(rendered(noise({20, 20}), {QRectF(0, 0, 1, 1)}, RedactStyle::blur).format(),
                 QImage::Format_RGB32);
    }

    void laterBoxesLieOverEarlierOnes()
    {
        const QImage img = noise({400, 300});
        const QRectF big(0.1, 0.1, 0.8, 0.8), small(0.4, 0.4, 0.1, 0.1);
        const QRect inner = Redactor::pixelBox(small, img.size());
        for (RedactStyle style : {RedactStyle::blur, RedactStyle::pixelate}) {
            const QImage smallOnTop = rendered(img, {big, small}, style);
            const QImage bigOnTop = rendered(img, {small, big}, style);
            QCOMPARE(smallOnTop.copy(inner), rendered(img, {small}, style).copy(inner));
            QCOMPARE(bigOnTop, rendered(img, {big}, style));
            QVERIFY(smallOnTop.copy(inner) != bigOnTop.copy(inner));
        }
    }

    // Blurring and pixelating only near the boxes gives what covering the whole picture would.
    void coveringsMatchTheWholePicture()
    {
        const QImage img = noise({300, 200}, true, 11);
        for (QRect region : {QRect(120, 80, 40, 30), QRect(0, 0, 30, 200), QRect(280, 190, 20, 10)}) {
            QCOMPARE(RedactCover::blurred(img, region, 9),
                     RedactCover::blurred(img, img.rect(), 9).copy(region));
            QCOMPARE(RedactCover::pixelated(img, region, 16, {150, 50}),
                     RedactCover::pixelated(img, img.rect(), 16, {150, 50}).copy(region));
        }
    }

    void blurKeepsTheEdgeColours()
    {
        QImage img(400, 200, QImage::Format_RGB32);
        img.fill(QColor(200, 30, 20));
        QPainter(&img).fillRect(200, 0, 200, 200, QColor(20, 40, 220));
        // Darkening or fading at the picture's edges would show at the corners first.
        const QImage out = rendered(img, {QRectF(0, 0, 0.6, 1)}, RedactStyle::blur);
        for (QPoint p : {QPoint(0, 0), QPoint(0, 199), QPoint(0, 100), QPoint(40, 0)})
            QCOMPARE(out.pixelColor(p), QColor(200, 30, 20));
        const QColor mixed = out.pixelColor(200, 199);
        QVERIFY(mixed.red() > 60 && mixed.blue() > 60);
    }

    void pixelBlocksAreUniform()
    {
        const QImage img = noise({200, 100});
        const QImage out = rendered(img, {QRectF(0.1, 0.3, 0.8, 0.2)}, RedactStyle::pixelate);
        // Blocks of 8 on a grid through (150, 100 - 150): edges at x 6, 14, … and y 30, 38, ….
        const QRect box(18, 28, 164, 24);
        QSet<QRgb> colours;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x) {
                const QPoint corner(std::max(box.left(), x - (x - 6) % 8),
                                    std::max(box.top(), y - (y - 6) % 8));
                QCOMPARE(out.pixel(x, y), out.pixel(corner));
                colours << out.pixel(x, y);
            }
        QCOMPARE(colours.size(), 21 * 4);
    }

    // A box that can't be covered fails the picture instead of showing what it hides.
    void aCoveringThatFailsFailsTheRender()
    {
        const QImage img = noise({64, 64});
        const QList<QRectF> box{QRectF(0.2, 0.2, 0.3, 0.3)};
        const auto nothing = [](const QImage&, QRect, RedactStyle, double) { return QImage(); };
        const auto tooSmall = [](const QImage&, QRect r, RedactStyle, double) {
            QImage c(r.size() - QSize(1, 0), QImage::Format_ARGB32);
            c.fill(Qt::black);
            return c;
        };
        for (RedactStyle style : {RedactStyle::blur, RedactStyle::pixelate}) {
            QVERIFY(!Redactor::render(img, box, style, nothing));
            QVERIFY(!Redactor::render(img, box, style, tooSmall));
            QVERIFY(Redactor::render(img, {}, style, nothing)); // nothing to cover
        }
        QVERIFY(!Redactor::render(img, {QRectF(qQNaN(), 0, 0.1, 0.1)}, RedactStyle::black));
        QVERIFY(!Redactor::render(QImage(), box, RedactStyle::black));
    }

    // Large writing in a tight box, on pictures small and large: read before, unreadable after,
    // also when the covering is smoothed out again by shrinking and enlarging it.
    void writingCantBeReadBack_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<QString>("word");
        QTest::newRow("small picture, small word") << QSize(200, 100) << 28 << "Tuesday";
        QTest::newRow("under 229, large") << QSize(1000, 200) << 80 << "Tuesday";
        QTest::newRow("under 229, larger") << QSize(1400, 228) << 160 << "Harbour";
        QTest::newRow("under 229, medium") << QSize(1400, 228) << 56 << "Tuesday";
        QTest::newRow("400 high") << QSize(1200, 400) << 160 << "Tuesday";
        QTest::newRow("600 high") << QSize(1600, 600) << 220 << "Harbour";
    }
    void writingCantBeReadBack()
    {
        QFETCH(QSize, size);
        QFETCH(int, pixels);
        QFETCH(QString, word);
        QImage img(size, QImage::Format_RGB32);
        img.fill(Qt::white);
        QFont font("DejaVu Sans");
        font.setPixelSize(pixels);
        const QRect ink = QFontMetrics(font).tightBoundingRect(word);
        const QPoint at(8, 8 - ink.top());
        QPainter p(&img);
        p.setFont(font);
        p.drawText(at, word);
        p.end();
        const QRect tight = ink.translated(at);
        const QRectF unit(double(tight.x()) / size.width(), double(tight.y()) / size.height(),
                          double(tight.width()) / size.width(), double(tight.height()) / size.height());
        const QRect area = Redactor::pixelBox(unit, size).adjusted(-8, -8, 8, 8) & img.rect();
        QVERIFY2(read(img, area).contains(word), "the writing is readable to begin with");
        for (RedactStyle style : {RedactStyle::pixelate, RedactStyle::blur}) {
            const QImage out = rendered(img, {unit}, style);
            const QRect box = Redactor::pixelBox(unit, size);
            const double amount =
                style == RedactStyle::blur ? Redactor::blurRadius(size, box) : Redactor::blockSize(size, box);
            QImage smooth = out.scaled((QSizeF(size) * 1.5 / amount).toSize(), Qt::IgnoreAspectRatio,
                                       Qt::SmoothTransformation);
            smooth = smooth.scaled(out.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            for (const QImage& attempt : {out, smooth}) {
                const QString text = read(attempt, area);
                QVERIFY2(!text.contains(word, Qt::CaseInsensitive),
                         qPrintable(rawValue(style) + " lets it read " + text));
            }
        }
    }
};

QTEST_MAIN(RedactorTest)
#include "test_redactor.moc"
