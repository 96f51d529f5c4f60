// The annotation renderer: stroke weights, the arrow's head, highlights, badges and text placed as
// the marks say, over white pictures probed pixel by pixel, and the canvas bound.

#include "core/converterror.h"
#include "core/job.h"
#include "tools/image/annotate/annotateimage.h"
#include "tools/image/annotate/markrenderer.h"

#include <QColorSpace>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace {

Mark mark(Mark::Kind kind, const QList<QPointF>& points, const QColor& color, double width)
{
    return Mark{QUuid::createUuid(), kind, points, color, width, QString(), 0};
}

QImage white(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

QImage rendered(QSize size, const QList<Mark>& marks)
{
    const std::optional<QImage> out = MarkRenderer::render(white(size), marks);
    return out ? *out : QImage();
}

bool dark(const QImage& image, int x, int y)
{
    return qGray(image.pixel(x, y)) < 128;
}

// The length of the dark run through (x, y) along the column.
int darkRun(const QImage& image, int x, int y)
{
    int top = y, bottom = y;
    while (top > 0 && dark(image, x, top - 1))
        --top;
    while (bottom < image.height() - 1 && dark(image, x, bottom + 1))
        ++bottom;
    return dark(image, x, y) ? bottom - top + 1 : 0;
}

// The bounds of the pixels close to `colour`.
QRect inkOf(const QImage& image, const QColor& colour)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) <
                40)
                bounds |= QRect(x, y, 1, 1);
        }
    return bounds;
}

} // namespace

class MarkRendererTest : public QObject
{
    Q_OBJECT
  private slots:
    // A line's weight is its width times the shorter side, never under one pixel; the same mark
    // on a preview a tenth the size is a tenth as thick.
    void strokeWeights_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<double>("width");
        QTest::addColumn<int>("row"); // where the line runs, centred on the pixels
        QTest::addColumn<int>("thickness");
        QTest::newRow("4000 x 3000 at 0.006") << QSize(4000, 3000) << 0.006 << 1500 << 18;
        QTest::newRow("portrait, shorter side across") << QSize(3000, 4000) << 0.006 << 2000 << 18;
        QTest::newRow("200 x 100 at 0.1") << QSize(200, 100) << 0.1 << 50 << 10;
        QTest::newRow("floor of one pixel") << QSize(400, 301) << 0.0005 << 150 << 1;
    }

    void strokeWeights()
    {
        QFETCH(QSize, size);
        QFETCH(double, width);
        QFETCH(int, row);
        QFETCH(int, thickness);
        const double y = (row + (thickness % 2 ? 0.5 : 0.0)) / size.height();
        const Mark line = mark(Mark::Kind::line, {{0.1, y}, {0.9, y}}, Qt::black, width);
        QCOMPARE(MarkRenderer::lineWidth(line, QSizeF(size)),
                 std::max(width * std::min(size.width(), size.height()), 1.0));
        const QImage image = rendered(size, {line});
        QCOMPARE(image.size(), size);
        QCOMPARE(darkRun(image, size.width() / 2, row), thickness);
    }

    // A click with the arrow (both points the same) points right: the head's tip on the point and
    // the head and shaft to its left.
    void arrowOfAClickPointsRight()
    {
        const Mark arrow =
            mark(Mark::Kind::arrow, {{0.5, 0.5}, {0.5, 0.5}}, Qt::black, 0.02); // lw 4, head 18
        const QImage image = rendered(QSize(200, 200), {arrow});
        QVERIFY(dark(image, 90, 100)); // shaft and head
        QVERIFY(dark(image, 88, 95));  // within the head's upper side
        QVERIFY(dark(image, 88, 105));
        QVERIFY(!dark(image, 106, 100)); // nothing beyond the tip
        QVERIFY(!dark(image, 100, 91));  // the head's sides meet at the tip
        QVERIFY(!dark(image, 70, 100));  // the shaft ends inside the head
    }

    // Outlines: a rectangle with rounded corners, the ellipse inscribed in the same box.
    void shapes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QList<QPoint>>("inked");
        QTest::addColumn<QList<QPoint>>("clear");
        // Box (50, 50)–(150, 130) on 200 × 200, line width 10: the rectangle's corners are rounded
        // by 10, so its stroke leaves (47, 47) clear, which a square corner's would ink.
        QTest::newRow("rect") << int(Mark::Kind::rect)
                              << QList<QPoint>{{100, 50}, {50, 90}, {150, 90}, {100, 130}}
                              << QList<QPoint>{{100, 90}, {40, 90}, {100, 140}, {47, 47}, {152, 132}};
        QTest::newRow("ellipse") << int(Mark::Kind::ellipse)
                                 << QList<QPoint>{{100, 50}, {50, 90}, {150, 90}, {100, 130}}
                                 << QList<QPoint>{{100, 90}, {53, 53}, {147, 127}};
        QTest::newRow("line") << int(Mark::Kind::line) << QList<QPoint>{{50, 50}, {100, 90}, {150, 130}}
                              << QList<QPoint>{{100, 50}, {150, 90}};
    }

    void shapes()
    {
        QFETCH(int, kind);
        QFETCH(QList<QPoint>, inked);
        QFETCH(QList<QPoint>, clear);
        const QImage image = rendered(
            QSize(200, 200), {mark(Mark::Kind(kind), {{0.75, 0.65}, {0.25, 0.25}}, Qt::black, 0.05)});
        for (const QPoint& p : inked)
            QVERIFY2(dark(image, p.x(), p.y()),
                     qPrintable(QString("(%1, %2) left blank").arg(p.x()).arg(p.y())));
        for (const QPoint& p : clear)
            QVERIFY2(!dark(image, p.x(), p.y()), qPrintable(QString("(%1, %2) inked").arg(p.x()).arg(p.y())));
    }

    // A highlight is drawn at alpha 0.35 whatever the colour's own alpha, five line widths wide
    // with flat ends, and where it crosses itself it is no darker.
    void highlight()
    {
        QColor halfRed(255, 0, 0);
        halfRed.setAlphaF(0.5f);
        const Mark stroke =
            mark(Mark::Kind::highlight, {{0.1, 0.5}, {0.9, 0.5}, {0.5, 0.1}, {0.5, 0.9}}, halfRed,
                 0.01); // lw 2, 10 wide
        const QImage image = rendered(QSize(200, 200), {stroke});
        const QColor on = image.pixelColor(40, 100);
        QCOMPARE(on.red(), 255);
        QVERIFY2(std::abs(on.green() - 166) <= 2, qPrintable(QString::number(on.green()))); // 255 × 0.65
        QCOMPARE(image.pixelColor(100, 100), on);                                           // the crossing
        QCOMPARE(image.pixelColor(17, 100), QColor(Qt::white)); // flat end: nothing before the start
        QCOMPARE(image.pixelColor(40, 107), QColor(Qt::white)); // five line widths: 95…105
        QCOMPARE(image.pixelColor(40, 104), on);
    }

    // Later marks are drawn over earlier ones.
    void laterMarksCover()
    {
        const Mark across = mark(Mark::Kind::line, {{0.1, 0.5}, {0.9, 0.5}}, Qt::red, 0.05);
        const Mark down = mark(Mark::Kind::line, {{0.5, 0.1}, {0.5, 0.9}}, Qt::blue, 0.05);
        QCOMPARE(rendered(QSize(100, 100), {across, down}).pixelColor(50, 50), QColor(Qt::blue));
        QCOMPARE(rendered(QSize(100, 100), {down, across}).pixelColor(50, 50), QColor(Qt::red));
    }

    void drawsNothing_data()
    {
        QTest::addColumn<Mark>("nothing");
        QTest::newRow("empty text") << mark(Mark::Kind::text, {{0.5, 0.5}}, Qt::black, 0.01);
        QTest::newRow("pen of one point") << mark(Mark::Kind::pen, {{0.5, 0.5}}, Qt::black, 0.05);
        QTest::newRow("highlight of one point") << mark(Mark::Kind::highlight, {{0.5, 0.5}}, Qt::black, 0.05);
        QTest::newRow("no points") << mark(Mark::Kind::number, {}, Qt::black, 0.05);
    }

    void drawsNothing()
    {
        QFETCH(Mark, nothing);
        const QImage image = rendered(QSize(120, 80), {nothing});
        QCOMPARE(image.size(), QSize(120, 80));
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                QCOMPARE(image.pixel(x, y), qRgb(255, 255, 255));
    }

    // The figure is black on a bright badge and white on a dark one, over the whole palette.
    void badgeLabels_data()
    {
        QTest::addColumn<QColor>("fill");
        QTest::addColumn<QColor>("label");
        QTest::newRow("red") << QColor(255, 59, 48) << QColor(Qt::black);
        QTest::newRow("orange") << QColor(255, 138, 0) << QColor(Qt::black);
        QTest::newRow("yellow") << QColor(255, 214, 10) << QColor(Qt::black);
        QTest::newRow("green") << QColor(52, 199, 89) << QColor(Qt::black);
        QTest::newRow("blue") << QColor(10, 132, 255) << QColor(Qt::black);
        QTest::newRow("purple") << QColor(191, 90, 242) << QColor(Qt::black);
        QTest::newRow("white") << QColor(Qt::white) << QColor(Qt::black);
        QTest::newRow("black") << QColor(Qt::black) << QColor(Qt::white);
        QTest::newRow("brightness 0.75 exactly") << QColor::fromRgbF(0.75f, 0.2f, 0.2f) << QColor(Qt::white);
        QTest::newRow("dark red") << QColor(120, 0, 0) << QColor(Qt::white);
    }

    void badgeLabels()
    {
        QFETCH(QColor, fill);
        QFETCH(QColor, label);
        QCOMPARE(MarkRenderer::labelColor(fill), label);
        Mark badge = mark(Mark::Kind::number, {{0.5, 0.5}}, fill, 0.006);
        badge.number = 8;
        const QImage image = rendered(QSize(400, 300), {badge}); // radius 10 at the floor
        QCOMPARE(image.pixelColor(207, 150).rgb(), fill.rgb());  // inside the rim
        QCOMPARE(image.pixelColor(212, 150), QColor(Qt::white));
        const QRect figure = inkOf(image.copy(190, 140, 21, 21), label);
        QVERIFY2(figure.isValid() && figure.height() >= 6, "the figure is drawn in the label colour");
    }

    // Badges grow with the picture: radius 4 × width × shorter side once that passes 10.
    void badgeSize()
    {
        Mark badge = mark(Mark::Kind::number, {{0.5, 0.5}}, Qt::black, 0.006);
        badge.number = 12;
        const QImage image = rendered(QSize(4000, 3000), {badge}); // radius 72
        QVERIFY(dark(image, 2000 + 70, 1500));
        QVERIFY(!dark(image, 2000 + 75, 1500));
        QVERIFY(dark(image, 2000, 1500 - 70));
    }

    // Text hangs from its anchor: its ink starts at the anchor and runs right and down, at least
    // 10 pixels tall on a small picture, spaces typed before it kept.
    void textPlacement()
    {
        const QColor blue(0, 0, 255);
        Mark label = mark(Mark::Kind::text, {{0.25, 0.25}}, blue, 0.003);
        label.text = "Hello";
        const QImage small = rendered(QSize(400, 300), {label}); // size 10 at the floor
        const QRect ink = inkOf(small, blue);
        QVERIFY2(ink.isValid(), "the text is drawn");
        QVERIFY2(ink.left() >= 99 && ink.left() <= 104 && ink.top() >= 74 && ink.top() <= 80,
                 qPrintable(QString("%1, %2").arg(ink.left()).arg(ink.top())));
        QVERIFY2(ink.height() >= 6 && ink.height() <= 14, qPrintable(QString::number(ink.height())));

        label.width = 0.006; // size 6 × 18 = 108 on 4000 × 3000
        const QRect large = inkOf(rendered(QSize(4000, 3000), {label}), blue);
        QVERIFY2(large.height() >= 60 && large.height() <= 120, qPrintable(QString::number(large.height())));
        QVERIFY(large.left() >= 1000 && large.top() >= 750);

        label.width = 0.003;
        label.text = "   Hello";
        QVERIFY(inkOf(rendered(QSize(400, 300), {label}), blue).left() > ink.left() + 4);
    }

    // Nothing larger than the bound is drawn on; within it, the picture shows under the marks,
    // and a picture's transparent parts stay transparent.
    void canvas()
    {
        QVERIFY(MarkRenderer::fits(QSize(32768, 2)));
        QVERIFY(!MarkRenderer::fits(QSize(32769, 2)));
        QVERIFY(!MarkRenderer::fits(QSize(2, 32769)));
        QVERIFY(!MarkRenderer::fits(QSize(16000, 16000))); // 256 megapixels
        QVERIFY(MarkRenderer::fits(QSize(15000, 16000)));
        QVERIFY(!MarkRenderer::render(white(QSize(32769, 2)), {}));

        QImage clear(64, 32, QImage::Format_ARGB32);
        clear.fill(Qt::transparent);
        QPainter(&clear).fillRect(0, 0, 32, 32, Qt::green);
        const std::optional<QImage> out =
            MarkRenderer::render(clear, {mark(Mark::Kind::line, {{0.9, 0.1}, {0.9, 0.9}}, Qt::red, 0.05)});
        QVERIFY(out);
        QCOMPARE(out->size(), QSize(64, 32));
        QCOMPARE(out->pixelColor(10, 10), QColor(Qt::green));
        QCOMPARE(qAlpha(out->pixel(40, 10)), 0);
        QCOMPARE(out->pixelColor(57, 16), QColor(Qt::red));
        clear.setColorSpace(QColorSpace::DisplayP3);
        QCOMPARE(MarkRenderer::render(clear, {})->colorSpace(), QColorSpace(QColorSpace::DisplayP3));
    }

    // The file road refuses a picture over the bound with its size, and writes nothing.
    void tooLargeToAnnotate()
    {
        QTemporaryDir dir;
        const QString wide = dir.filePath("wide.png");
        QVERIFY(white(QSize(32769, 2)).save(wide));
        Job job("", "", 0);
        try {
            AnnotateImage::annotateFile(wide, {mark(Mark::Kind::line, {{0, 0}, {1, 1}}, Qt::red, 0.01)}, job,
                                        [](double) {});
            QFAIL("a canvas over the bound was drawn");
        } catch (const ConvertError& e) {
            QVERIFY2(e.description().contains("too large") && e.description().contains("32769"),
                     qPrintable(e.description()));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"wide.png"});
    }
};

QTEST_MAIN(MarkRendererTest)
#include "test_markrenderer.moc"
