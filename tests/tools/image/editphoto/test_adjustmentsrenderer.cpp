// The photo adjustments on generated pictures: which way each slider moves the colours, what is
// left alone, and what happens at the ends of the ranges.

#include "tools/image/editphoto/adjustmentsrenderer.h"

#include <QRandomGenerator>
#include <QTest>
#include <cmath>
#include <functional>

namespace {

QImage flat(QColor c, QSize size = {9, 9})
{
    QImage img(size, QImage::Format_ARGB32);
    img.fill(c);
    return img;
}

QColor centre(const QImage& img)
{
    return img.pixelColor(img.width() / 2, img.height() / 2);
}

double lightness(QColor c)
{
    return 0.2126 * c.red() + 0.7152 * c.green() + 0.0722 * c.blue();
}

int spread(QColor c)
{
    return std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()});
}

PhotoAdjustments with(double PhotoAdjustments::*field, double value)
{
    PhotoAdjustments a;
    a.*field = value;
    return a;
}

PhotoAdjustments everyMoved()
{
    PhotoAdjustments a;
    for (double PhotoAdjustments::*f :
         {&PhotoAdjustments::exposure, &PhotoAdjustments::brightness, &PhotoAdjustments::contrast,
          &PhotoAdjustments::highlights, &PhotoAdjustments::shadows, &PhotoAdjustments::whites,
          &PhotoAdjustments::blacks, &PhotoAdjustments::gamma, &PhotoAdjustments::temperature,
          &PhotoAdjustments::tint, &PhotoAdjustments::saturation, &PhotoAdjustments::vibrance,
          &PhotoAdjustments::sharpness, &PhotoAdjustments::noise, &PhotoAdjustments::vignette})
        a.*f = 40;
    a.exposure = 0.5;
    return a;
}

double deviation(const QImage& img, double* mean)
{
    double sum = 0, squares = 0;
    const int n = img.width() * img.height();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const double v = qGray(img.pixel(x, y));
            sum += v;
            squares += v * v;
        }
    *mean = sum / n;
    return std::sqrt(squares / n - *mean * *mean);
}

} // namespace

class AdjustmentsRendererTest : public QObject
{
    Q_OBJECT
  private slots:
    void neutralSettingsGiveThePictureBack()
    {
        QImage ramp(256, 3, QImage::Format_ARGB32);
        for (int x = 0; x < 256; ++x) {
            ramp.setPixel(x, 0, qRgba(x, x, x, 255));
            ramp.setPixel(x, 1, qRgba(x, 255 - x, x / 2, x));
            ramp.setPixel(x, 2, qRgba(255 - x, x / 3, x, 255));
        }
        QCOMPARE(AdjustmentsRenderer::render(ramp, {}), ramp);
        QVERIFY(AdjustmentsRenderer::render(QImage(), everyMoved()).isNull());
        // A grey keeps its luminance under any saturation: every level survives the trip
        // through linear light and back.
        const QImage grey = ramp.copy(0, 0, 256, 1);
        QCOMPARE(AdjustmentsRenderer::render(grey, with(&PhotoAdjustments::saturation, -100)), grey);
        QCOMPARE(AdjustmentsRenderer::render(grey, with(&PhotoAdjustments::vibrance, 100)), grey);
    }

    void eachSliderMovesTheRightWay()
    {
        using Check = std::function<bool(QColor before, QColor after)>;
        const Check brighter = [](QColor b, QColor a) { return lightness(a) > lightness(b) + 3; };
        const Check darker = [](QColor b, QColor a) { return lightness(a) < lightness(b) - 3; };
        const Check warmer = [](QColor, QColor a) { return a.red() > a.blue() + 10; };
        const Check cooler = [](QColor, QColor a) { return a.blue() > a.red() + 10; };
        const Check magenta = [](QColor, QColor a) { return a.green() + 5 < std::min(a.red(), a.blue()); };
        const Check green = [](QColor, QColor a) { return a.green() > std::max(a.red(), a.blue()) + 5; };
        const Check richer = [](QColor b, QColor a) { return spread(a) > spread(b) + 10; };
        const Check duller = [](QColor b, QColor a) { return spread(a) < spread(b) - 10; };
        const Check unchanged = [](QColor b, QColor a) { return std::abs(lightness(a) - lightness(b)) <= 2; };
        const QColor mid(128, 128, 128), dark(40, 40, 40), light(215, 215, 215), muted(150, 110, 90);
        using P = PhotoAdjustments;
        const struct Row
        {
            const char* name;
            double P::*field;
            double value;
            QColor colour;
            Check check;
        } rows[] = {
            {"exposure +1", &P::exposure, 1, mid, brighter},
            {"exposure -1", &P::exposure, -1, mid, darker},
            {"brightness +", &P::brightness, 50, mid, brighter},
            {"brightness -", &P::brightness, -50, mid, darker},
            {"contrast + lightens a light grey", &P::contrast, 80, light, brighter},
            {"contrast + darkens a dark grey", &P::contrast, 80, dark, darker},
            {"contrast - lightens a dark grey", &P::contrast, -80, dark, brighter},
            {"highlights -", &P::highlights, -100, light, darker},
            {"highlights - spares the darks", &P::highlights, -100, dark, unchanged},
            {"highlights +", &P::highlights, 100, light, brighter},
            {"shadows +", &P::shadows, 100, dark, brighter},
            {"shadows -", &P::shadows, -100, dark, darker},
            {"shadows + spares the lights", &P::shadows, 100, QColor(250, 250, 250), unchanged},
            {"whites +", &P::whites, 100, light, brighter},
            {"whites -", &P::whites, -100, light, darker},
            {"blacks + lifts black", &P::blacks, 100, Qt::black, brighter},
            {"blacks -", &P::blacks, -100, dark, darker},
            {"gamma +", &P::gamma, 100, mid, brighter},
            {"gamma -", &P::gamma, -100, mid, darker},
            {"temperature +", &P::temperature, 100, mid, warmer},
            {"temperature -", &P::temperature, -100, mid, cooler},
            {"tint +", &P::tint, 100, mid, magenta},
            {"tint -", &P::tint, -100, mid, green},
            {"saturation +", &P::saturation, 100, muted, richer},
            {"saturation -", &P::saturation, -50, muted, duller},
            {"vibrance +", &P::vibrance, 100, muted, richer},
            {"vibrance -", &P::vibrance, -100, muted, duller},
        };
        for (const Row& row : rows) {
            const QColor after =
                centre(AdjustmentsRenderer::render(flat(row.colour), with(row.field, row.value)));
            QVERIFY2(row.check(row.colour, after),
                     qPrintable(
                         QStringLiteral("%1: %2 became %3").arg(row.name, row.colour.name(), after.name())));
        }
        const QColor grey =
            centre(AdjustmentsRenderer::render(flat(QColor(200, 40, 90)), with(&P::saturation, -100)));
        QVERIFY(grey.red() == grey.green() && grey.green() == grey.blue());
        // Vibrance moves a dull colour further than a vivid one.
        const QColor vivid(180, 60, 60);
        const auto gain = [](QColor c) {
            return double(spread(centre(AdjustmentsRenderer::render(flat(c), with(&P::vibrance, 60))))) /
                   spread(c);
        };
        QVERIFY2(gain(muted) > gain(vivid) + 0.08,
                 qPrintable(QStringLiteral("%1 %2").arg(gain(muted)).arg(gain(vivid))));
    }

    void extremesClampWithoutWrapping()
    {
        PhotoAdjustments up;
        up.exposure = 3;
        up.brightness = up.contrast = up.whites = up.shadows = up.highlights = up.saturation = 100;
        PhotoAdjustments down;
        down.exposure = -3;
        down.brightness = down.blacks = down.gamma = -100;
        down.contrast = 100;
        // Bright channels end at 255 and dark ones at 0: none comes round the other side.
        for (QColor c : {QColor(Qt::white), QColor(250, 240, 5), QColor(200, 200, 200)}) {
            const QColor out = centre(AdjustmentsRenderer::render(flat(c), up));
            QCOMPARE(out.red(), 255);
            QCOMPARE(out.green(), 255);
        }
        for (QColor c : {QColor(Qt::black), QColor(5, 20, 0), QColor(30, 30, 30)}) {
            const QColor out = centre(AdjustmentsRenderer::render(flat(c), down));
            QVERIFY(std::max({out.red(), out.green(), out.blue()}) < 5);
        }
        const QColor hot = centre(AdjustmentsRenderer::render(flat(QColor(255, 255, 255)),
                                                              with(&PhotoAdjustments::temperature, 100)));
        QCOMPARE(hot.red(), 255); // pushed beyond white, not round past it
    }

    void alphaAndSizeAreKept()
    {
        QImage img(40, 30, QImage::Format_ARGB32);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                img.setPixel(x, y, qRgba(x * 6, y * 8, 100, (x * 7 + y) % 256));
        const QImage out = AdjustmentsRenderer::render(img, everyMoved());
        QCOMPARE(out.size(), img.size());
        QVERIFY(out != img);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                QCOMPARE(qAlpha(out.pixel(x, y)), qAlpha(img.pixel(x, y)));
        QImage opaque(7, 5, QImage::Format_RGB888);
        opaque.fill(Qt::darkCyan);
        const QImage o = AdjustmentsRenderer::render(opaque, everyMoved());
        QCOMPARE(o.size(), opaque.size());
        QVERIFY(!o.hasAlphaChannel());
    }

    void vignetteDarkensTheCornersOnly()
    {
        const QImage out = AdjustmentsRenderer::render(flat(QColor(180, 160, 140), {101, 81}),
                                                       with(&PhotoAdjustments::vignette, 100));
        QCOMPARE(centre(out), QColor(180, 160, 140));
        for (QPoint corner : {QPoint(0, 0), QPoint(100, 0), QPoint(0, 80), QPoint(100, 80)})
            QVERIFY(lightness(out.pixelColor(corner)) < 120);
        QVERIFY(lightness(out.pixelColor(0, 40)) > lightness(out.pixelColor(0, 0)));
    }

    void sharpeningSteepensEdgesAndLeavesFlatAreasAndBorders()
    {
        QImage step = flat(QColor(80, 80, 80), {40, 20});
        for (int y = 0; y < 20; ++y)
            for (int x = 20; x < 40; ++x)
                step.setPixel(x, y, qRgb(160, 160, 160));
        const QImage sharp = AdjustmentsRenderer::render(step, with(&PhotoAdjustments::sharpness, 100));
        QVERIFY(qGray(sharp.pixel(19, 10)) < 75);
        QVERIFY(qGray(sharp.pixel(20, 10)) > 165);
        // Far from the edge, and along the picture's own borders, nothing changes.
        for (QPoint p : {QPoint(0, 0), QPoint(5, 19), QPoint(39, 0), QPoint(39, 19), QPoint(10, 10)})
            QVERIFY2(std::abs(qGray(sharp.pixel(p)) - qGray(step.pixel(p))) <= 1,
                     qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
    }

    void noiseReductionSmoothsAFlatPatch()
    {
        QImage noisy(64, 64, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const int v = 120 + int(random.bounded(13)) - 6;
                noisy.setPixel(x, y, qRgb(v, v, v));
            }
        double before = 0, after = 0;
        const double spreadBefore = deviation(noisy, &before);
        const double spreadAfter =
            deviation(AdjustmentsRenderer::render(noisy, with(&PhotoAdjustments::noise, 100)), &after);
        QVERIFY2(spreadAfter < spreadBefore / 2, qPrintable(QString::number(spreadAfter)));
        QVERIFY(std::abs(after - before) < 2);
    }
};

QTEST_GUILESS_MAIN(AdjustmentsRendererTest)
#include "test_adjustmentsrenderer.moc"
