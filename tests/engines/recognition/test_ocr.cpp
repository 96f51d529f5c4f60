#include "engines/recognition/ocr.h"

#include "../../support/enginefixtures_a.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

namespace {

// A line whose box has its middle at `midY` (normalised, y up), `height` high, from `x`.
OCR::Line line(const QString& text, double x, double midY, double height = 0.02)
{
    return {QRectF(x, midY - height / 2, 0.3, height), text};
}

// A drawn face, plain enough for a frontal-face detector, in the top-left quarter of the picture.
QImage faceTopLeft()
{
    QImage img(800, 800, QImage::Format_RGB32);
    img.fill(QColor(90, 110, 130));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const auto ellipses = [&](const QColor& colour, const QList<QRectF>& boxes) {
        p.setBrush(colour);
        for (const QRectF& box : boxes)
            p.drawEllipse(box);
    };
    const QColor skin(225, 190, 160);
    ellipses(skin, {QRectF(110, 80, 180, 240)});
    ellipses(QColor(60, 40, 30), {QRectF(100, 60, 200, 70)}); // hair
    p.fillRect(QRectF(120, 110, 160, 40), skin);
    p.fillRect(QRectF(140, 158, 45, 7), QColor(70, 50, 40)); // brows
    p.fillRect(QRectF(215, 158, 45, 7), QColor(70, 50, 40));
    ellipses(QColor(250, 250, 250), {QRectF(145, 175, 38, 18), QRectF(217, 175, 38, 18)});
    ellipses(QColor(40, 30, 30), {QRectF(156, 176, 16, 16), QRectF(228, 176, 16, 16)});
    p.setBrush(QColor(195, 155, 130));
    p.drawPolygon(QPolygonF({QPointF(200, 190), QPointF(188, 250), QPointF(212, 250)}));
    ellipses(QColor(170, 80, 80), {QRectF(168, 270, 64, 18)}); // mouth
    return img;
}

} // namespace

Q_DECLARE_METATYPE(OCR::Line)

class OcrTest : public QObject
{
    Q_OBJECT
  private slots:
    void readingOrder_data()
    {
        QTest::addColumn<QList<OCR::Line>>("lines");
        QTest::addColumn<QString>("text");
        QTest::newRow("two columns read across")
            << QList<OCR::Line>{line("R2", 0.6, 0.77), line("L1", 0.1, 0.80), line("R1", 0.6, 0.805),
                                line("L2", 0.1, 0.775)}
            << "L1\nR1\nL2\nR2";
        QTest::newRow("a fiftieth apart is top to bottom")
            << QList<OCR::Line>{line("lower", 0.05, 0.50), line("upper", 0.5, 0.52)} << "upper\nlower";
        QTest::newRow("a wide gap is a paragraph break")
            << QList<OCR::Line>{line("one", 0.1, 0.90), line("two", 0.1, 0.875), line("three", 0.1, 0.80)}
            << "one\ntwo\n\nthree";
        QTest::newRow("lines without text are skipped")
            << QList<OCR::Line>{line("a", 0.1, 0.9), line("  ", 0.1, 0.89), line("b", 0.1, 0.88)} << "a\nb";
        QTest::newRow("nothing") << QList<OCR::Line>{} << "";
    }
    void readingOrder()
    {
        QFETCH(QList<OCR::Line>, lines);
        QTEST(OCR::readingOrder(lines), "text");
    }

    // Middles 0.008 apart chain across the tolerance; a pairwise tolerance would not be an
    // ordering and could make the sort misbehave. Every line must come out exactly once.
    void chainedLinesKeepEveryLine()
    {
        QList<OCR::Line> lines;
        QStringList words;
        auto* random = QRandomGenerator::global();
        for (int i = 0; i < 2000; ++i) {
            const QString w = QString::number(i);
            lines << line(w, random->bounded(1.0), 0.008 * (i % 120), 0.004);
            words << w;
        }
        QStringList out = OCR::readingOrder(lines).split('\n', Qt::SkipEmptyParts);
        std::sort(out.begin(), out.end());
        std::sort(words.begin(), words.end());
        QCOMPARE(out, words);
    }

    void recognisesRenderedText()
    {
        const QImage img = Fixture::writing(
            QSize(1400, 700),
            {{120, "The quick brown fox"}, {175, "jumps over the lazy dog"}, {330, "Second paragraph here"}});
        QCOMPARE(OCR::recognize(img),
                 QString("The quick brown fox\njumps over the lazy dog\n\nSecond paragraph here"));
        const QList<QRectF> boxes = OCR::textBoxes(img);
        QCOMPARE(boxes.size(), 3);
        for (const QRectF& box : boxes)
            QVERIFY2(box.left() > 0.02 && box.left() < 0.06 && box.top() > 0.45 && box.bottom() < 0.9,
                     "boxes are normalised with y growing upward");

        const QImage blank = Fixture::writing(QSize(400, 300), {});
        QCOMPARE(OCR::recognize(blank), QString());
        QVERIFY(OCR::textBoxes(blank).isEmpty() && OCR::faceBoxes(blank).isEmpty());
        QVERIFY(OCR::faceBoxes(QImage()).isEmpty());
    }

    void facesAreFoundWithYUp()
    {
        const QList<QRectF> faces = OCR::faceBoxes(faceTopLeft());
        QCOMPARE(faces.size(), 1);
        // The face spans pixels 110…290 across and 60…320 down of 800: high up and on the left.
        const QRectF face = faces.first();
        QVERIFY2(face.left() < 0.15 && face.right() > 0.35 && face.right() < 0.5 && face.bottom() > 0.85 &&
                     face.top() > 0.55,
                 "high up and on the left, with y growing upward from the bottom edge");
    }
};

QTEST_MAIN(OcrTest)
#include "test_ocr.moc"
