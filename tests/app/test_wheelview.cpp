#include "toolkit/wheel/wheelview.h"

#include "app/wheelcontroller.h"
#include "core/catalog.h"
#include "toolkit/wheel/wheelgeometry.h"
#include "toolkit/wheel/wheelmodel.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace {

QImage render(const WheelModel& model)
{
    QImage image(320, 320, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    WheelPainter::paint(painter, model, WheelFrame::resting(model));
    return image;
}

bool orange(QRgb c)
{
    return qAlpha(c) > 200 && qRed(c) > 220 && qGreen(c) < 120 && qBlue(c) < 60;
}
bool pale(QRgb c)
{
    return qAlpha(c) > 150 && qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200;
}

// Whether most of 33 probes across the outer band of petal `index` of six pass `test` (the label
// covers a few).
bool mostly(const QImage& image, int index, bool (*test)(QRgb))
{
    int hits = 0;
    for (int k = 0; k < 33; ++k) {
        const double r = 100 + 7 * (k / 11), a = WheelGeometry::centreAngle(index, 6) + 0.05 * (k % 11 - 5);
        hits += test(image.pixel((QPointF(160, 160) + WheelGeometry::polar(r, a)).toPoint()));
    }
    return hits >= 27;
}

} // namespace

class WheelViewTest : public QObject
{
    Q_OBJECT
    WheelModel m_model;

  private slots:
    void init()
    {
        m_model.setMode(WheelMode::actions);
        m_model.setItems(Catalog::items(WheelMode::actions, {}));
        m_model.setBloom(true);
    }

    // A stale highlight lights nothing; a live view repaints the petal that lights up.
    void paintsTheHighlight()
    {
        m_model.setHighlighted(9);
        const QImage stale = render(m_model);
        for (int i = 0; i < 6; ++i)
            QVERIFY(mostly(stale, i, pale));
        WheelView view(&m_model);
        m_model.setHighlighted(4);
        QTRY_VERIFY(mostly(view.grab().toImage(), 4, orange));
        QVERIFY(mostly(view.grab().toImage(), 1, pale));
    }

    // Without petals the wheel draws its message in a bubble, and no ring.
    void emptyWheel()
    {
        m_model.setItems({});
        for (const WheelMode mode : {WheelMode::conversions, WheelMode::actions, WheelMode::tools}) {
            m_model.setMode(mode);
            const QImage image = render(m_model);
            QVERIFY(pale(image.pixel(160, mode == WheelMode::actions ? 160 : 130)));
            QCOMPARE(qAlpha(image.pixel(160, 60)), 0);
        }
    }

    // The outline that cuts the window where no compositor runs reaches every pixel the wheel
    // draws solid (soft shadows aside), with petals and a long centre text or with the bubble.
    void outlineHoldsTheDrawing()
    {
        m_model.setRestingText(QStringLiteral("A rather long name for the centre"));
        for (const bool petals : {true, false}) {
            if (!petals) m_model.setItems({});
            const QImage image = render(m_model);
            const QPainterPath outline = WheelPainter::outline(m_model);
            int solid = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    if (qAlpha(image.pixel(x, y)) < 128) continue;
                    ++solid;
                    QVERIFY2(outline.intersects(QRectF(x, y, 1, 1)),
                             qPrintable(QStringLiteral("%1, %2").arg(x).arg(y)));
                }
            QVERIFY(solid > 2000);
        }
    }

    // The centre's size or count stays on one line, however wide: its capsule is as tall as a
    // short one's.
    void restingTextKeepsToOneLine()
    {
        m_model.setMode(WheelMode::conversions);
        m_model.setHighlighted(std::nullopt);
        const auto halfHeight = [&](const QString& text) {
            m_model.setRestingText(text);
            const QImage image = render(m_model);
            int y = 160;
            while (y > 100 && qAlpha(image.pixel(150, y)) >= 128)
                --y;
            return 160 - y;
        };
        const int one = halfHeight("2 items");
        QVERIFY(one > 10);
        for (const QString wide : {"113.4 MB", "1000 items", "1023.9 KB"})
            QCOMPARE(halfHeight(wide), one);
    }

    // The centre names a count, a folder, or the size of a file or package.
    void restingText()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("Photos") && QDir(dir.path()).mkdir("Notes.rtfd"));
        QFile clip(dir.filePath("clip.mov"));
        QVERIFY(clip.open(QIODevice::WriteOnly) && clip.resize(2'300'000));
        QCOMPARE(WheelController::restingText({}), QString());
        QCOMPARE(WheelController::restingText({dir.filePath("a"), dir.filePath("b"), dir.filePath("c")}),
                 "3 items");
        QCOMPARE(WheelController::restingText({dir.filePath("Photos")}), "Folder");
        QVERIFY(WheelController::restingText({dir.filePath("Notes.rtfd")}).endsWith(" KB"));
        QCOMPARE(WheelController::restingText({clip.fileName()}), "2.3 MB");
    }
};

QTEST_MAIN(WheelViewTest)
#include "test_wheelview.moc"
