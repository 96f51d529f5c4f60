#include "engines/recognition/ocr.h"

#include "engines/recognition/enginecache.h"
#include "engines/recognition/facesearch.h"
#include "engines/recognition/textsearch.h"

#include "../../support/enginefixtures_a.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>
#include <thread>

namespace {

// A line whose box has its middle at `midY` (normalised, y up), `height` high, from `x`.
OCR::Line line(const QString& text, double x, double midY, double height = 0.02)
{
    return {QRectF(x, midY - height / 2, 0.3, height), text};
}

// A drawn face, plain enough for a frontal-face detector: the head spans (100, 60) to (300, 320).
void drawFace(QPainter& p)
{
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
}

const QColor backdrop(90, 110, 130);

// The drawn face in the top-left quarter of the picture.
QImage faceTopLeft()
{
    QImage img(800, 800, QImage::Format_RGB32);
    img.fill(backdrop);
    QPainter p(&img);
    drawFace(p);
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

    // A photo's clear caption on a white band, where one threshold for the whole noisy photo
    // finds nothing: it is read as the text search reads it.
    void captionOnANoisyPhoto()
    {
        const QString text = OCR::recognize(Fixture::captionedPhoto());
        QVERIFY2(text.contains("Meet me at the harbour"), qPrintable(text));
    }

    // A panorama longer than Tesseract takes in one piece: a line far past its limit is found,
    // and a line the overlapping pieces both read is one box.
    void textOnAPictureTooLongForTesseract()
    {
        QImage img(33500, 400, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        QFont font("DejaVu Sans");
        font.setPixelSize(40);
        p.setFont(font);
        p.drawText(2000, 120, "Meet me on Tuesday");
        p.drawText(33000, 300, "Harbour");
        p.end();
        QList<QRectF> boxes = OCR::textBoxes(img);
        QCOMPARE(boxes.size(), 2);
        std::sort(boxes.begin(), boxes.end(), [](QRectF a, QRectF b) { return a.left() < b.left(); });
        QVERIFY(qAbs(boxes[0].left() * 33500 - 2000) < 20 && boxes[0].top() > 0.5);
        QVERIFY(qAbs(boxes[1].left() * 33500 - 33000) < 20 && boxes[1].bottom() < 0.5);
    }

    // However large or small the picture, some reading of the text search holds each piece of a
    // line whole, as tall as it is wide, from 20 pixels to the picture's shorter side, between 16
    // and tallestInTile() pixels high; no reading is larger than a few megapixels or than
    // Tesseract takes.
    void textSearchCoversThePicture_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("small") << QSize(300, 200);
        QTest::newRow("read whole") << QSize(1800, 1200);
        QTest::newRow("just past one tile") << QSize(2400, 1600);
        QTest::newRow("24 MP") << QSize(6000, 4000);
        QTest::newRow("portrait 48 MP") << QSize(6000, 8000);
        QTest::newRow("panorama") << QSize(33500, 400);
        QTest::newRow("square 100 MP") << QSize(10000, 10000);
    }
    void textSearchCoversThePicture()
    {
        QFETCH(QSize, size);
        const QList<TextSearch::Run> runs = TextSearch::runs(size);
        for (const TextSearch::Run& run : runs)
            QVERIFY(qint64(run.area.width()) * run.area.height() <= 4'000'000 && run.area.width() < 32767 &&
                    run.area.height() < 32767);
        const int shorter = std::min(size.width(), size.height());
        QList<double> sides;
        for (double side = 20; side < shorter; side *= 1.15)
            sides << side;
        sides << shorter;
        for (double side : sides)
            for (int i = 0; i <= 16; ++i)
                for (int j = 0; j <= 16; ++j) {
                    const QRectF piece((size.width() - side) * i / 16, (size.height() - side) * j / 16, side,
                                       side);
                    const bool held = std::any_of(runs.begin(), runs.end(), [&](const TextSearch::Run& run) {
                        const QSize level = TextSearch::shrunk(size, run.shrink);
                        const double sx = double(level.width()) / size.width(),
                                     sy = double(level.height()) / size.height();
                        const QRectF there(piece.x() * sx, piece.y() * sy, piece.width() * sx,
                                           piece.height() * sy);
                        return QRectF(run.area).adjusted(-0.01, -0.01, 0.01, 0.01).contains(there) &&
                               there.height() >= 16 && there.height() <= TextSearch::tallestInTile();
                    });
                    QVERIFY2(held,
                             qPrintable(
                                 QString("a piece of %1 at %2, %3").arg(side).arg(piece.x()).arg(piece.y())));
                }
    }

    // Pieces of one line read in two tiles become one box; lines above each other, and words of
    // one line apart, stay apart.
    void piecesOfALineAreJoined()
    {
        const QRectF left(100, 500, 900, 40), right(960, 498, 700, 44), below(100, 560, 900, 40),
            apart(1800, 500, 300, 40);
        QCOMPARE(OCR::mergedLines({left, right}), QList<QRectF>{left | right});
        QCOMPARE(OCR::mergedLines({left, below, apart}), (QList<QRectF>{left, below, apart}));
        QCOMPARE(OCR::merged({left, right}), (QList<QRectF>{left, right}));
    }

    // Light writing on the lighter end of a dark gradient: one threshold for the whole picture
    // takes the writing and the ground around it alike for paper.
    void lightWritingOnTheLighterEndOfAGradient()
    {
        QImage img(1800, 1200, QImage::Format_RGB32);
        QPainter p(&img);
        QLinearGradient shade(0, 0, 0, 1200);
        shade.setColorAt(0, QColor(16, 16, 16));
        shade.setColorAt(1, QColor(140, 140, 140));
        p.fillRect(img.rect(), shade);
        QFont font("DejaVu Sans");
        font.setPixelSize(32);
        p.setFont(font);
        p.setPen(QColor(240, 240, 240));
        p.drawText(60, 950, "Card 4111 1111 1111 1111");
        p.drawText(60, 1100, "IBAN DE89 3704 0044");
        p.end();
        QList<QRectF> boxes = OCR::textBoxes(img);
        QCOMPARE(boxes.size(), 2);
        std::sort(boxes.begin(), boxes.end(), [](QRectF a, QRectF b) { return a.top() > b.top(); });
        for (const auto& [box, baseline] : {std::pair{boxes[0], 950}, std::pair{boxes[1], 1100}})
            QVERIFY2(qAbs(box.left() * 1800 - 60) < 10 && qAbs((1 - box.top()) * 1200 - baseline) < 10,
                     qPrintable(QString("%1 %2").arg(box.left() * 1800).arg((1 - box.top()) * 1200)));
    }

    // Writing a third as tall as the picture, too tall for Tesseract to read as it is, is read
    // in a shrunk copy.
    void tallWritingIsFound()
    {
        QImage img(1800, 1200, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        QFont font("DejaVu Sans");
        font.setBold(true);
        font.setPixelSize(500);
        p.setFont(font);
        p.drawText(60, 700, "SALE");
        const QRectF ink = QFontMetricsF(font).tightBoundingRect("SALE").translated(60, 700);
        p.end();
        const QList<QRectF> boxes = OCR::textBoxes(img);
        QCOMPARE(boxes.size(), 1);
        const QRectF box(boxes[0].x() * 1800, (1 - boxes[0].bottom()) * 1200, boxes[0].width() * 1800,
                         boxes[0].height() * 1200);
        QVERIFY2(
            box.adjusted(-10, -10, 10, 10).contains(ink),
            qPrintable(QString("%1 %2 %3 %4").arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())));
    }

    // An engine made for a piece of work serves its next readings, and none is left once the
    // last work has ended: each holds tens of megabytes, in a process that stays for days.
    void enginesGoWhenTheWorkEnds()
    {
        const QImage img = Fixture::writing(QSize(1400, 400), {{120, "The quick brown fox"}});
        QCOMPARE(OCR::textBoxes(img).size(), 1);
        QCOMPARE(EngineCache::engines(), 0);
        QCOMPARE(OCR::recognize(img), QString("The quick brown fox"));
        QCOMPARE(EngineCache::engines(), 0);
        {
            const EngineCache::Work work;
            OCR::recognize(img);
            OCR::recognize(img);
            QCOMPARE(EngineCache::engines(), 1);
        }
        QCOMPARE(EngineCache::engines(), 0);
        QList<QFuture<QString>> pages;
        for (int i = 0; i < 3; ++i)
            pages << OCR::recognizeLater(img);
        for (const QFuture<QString>& page : pages)
            QCOMPARE(page.result(), QString("The quick brown fox"));
        QCOMPARE(EngineCache::engines(), 0);

        // Two searches at once, one ending while the other still reads, as in two windows.
        const QImage wide = Fixture::writing(QSize(5000, 1400), {{700, "Meet me on Tuesday"}});
        QList<QRectF> inWide, inSmall;
        std::thread other([&] { inWide = OCR::textBoxes(wide); });
        inSmall = OCR::textBoxes(img);
        other.join();
        QCOMPARE(inWide.size(), 1);
        QCOMPARE(inSmall.size(), 1);
        QCOMPARE(EngineCache::engines(), 0);
    }

    // However large the picture, some run of the search holds each face whole, centred in its
    // kept part and within its sizes, from the narrowest wanted up to the picture's shorter side,
    // and no run is handed more than a few megapixels.
    void faceSearchCoversThePicture_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("narrowest");
        QTest::newRow("small") << QSize(800, 600) << 24;
        QTest::newRow("shown whole") << QSize(1600, 1067) << 27;
        QTest::newRow("24 MP") << QSize(6000, 4000) << 40;
        QTest::newRow("portrait 48 MP") << QSize(6000, 8000) << 40;
        QTest::newRow("panorama") << QSize(24000, 900) << 24;
        QTest::newRow("square 100 MP") << QSize(10000, 10000) << 40;
    }
    void faceSearchCoversThePicture()
    {
        QFETCH(QSize, size);
        QFETCH(int, narrowest);
        const QList<FaceSearch::Run> runs = FaceSearch::runs(size);
        for (const FaceSearch::Run& run : runs)
            QVERIFY(qint64(run.area.width()) * run.area.height() <= 4'000'000);
        const int shorter = std::min(size.width(), size.height());
        QList<double> sides;
        for (double side = narrowest; side < shorter; side *= 1.1)
            sides << side;
        sides << shorter;
        for (double side : sides)
            for (int i = 0; i <= 12; ++i)
                for (int j = 0; j <= 12; ++j) {
                    const QRectF face((size.width() - side) * i / 12, (size.height() - side) * j / 12, side,
                                      side);
                    const bool held = std::any_of(runs.begin(), runs.end(), [&](const FaceSearch::Run& run) {
                        const QSize level = FaceSearch::shrunk(size, run.shrink);
                        const double sx = double(level.width()) / size.width(),
                                     sy = double(level.height()) / size.height();
                        const QRectF there(face.x() * sx, face.y() * sy, face.width() * sx,
                                           face.height() * sy);
                        // A hundredth of a pixel for the rounding of the face's edges.
                        return QRectF(run.area).adjusted(-0.01, -0.01, 0.01, 0.01).contains(there) &&
                               QRectF(run.keep).contains(there.center()) &&
                               std::min(there.width(), there.height()) >= run.smallest &&
                               (run.largest == 0 || std::max(there.width(), there.height()) <= run.largest);
                    });
                    QVERIFY2(
                        held,
                        qPrintable(QString("a face of %1 at %2, %3").arg(side).arg(face.x()).arg(face.y())));
                }
    }

    // A face a little over 40 pixels wide on a 24-megapixel photo, also where tiles meet, is
    // found, and one as large as the searches at two resolutions overlap is found once.
    void facesOnALargePhoto_data()
    {
        QTest::addColumn<double>("head");
        QTest::addColumn<QPointF>("centre");
        QTest::newRow("40 px where tiles meet") << 32.0 << QPointF(1500, 1334);
        QTest::newRow("40 px in a corner") << 32.0 << QPointF(5960, 3960);
        QTest::newRow("130 px, in reach of two resolutions") << 105.0 << QPointF(3000, 2000);
    }
    void facesOnALargePhoto()
    {
        QFETCH(double, head);
        QFETCH(QPointF, centre);
        QImage img(6000, 4000, QImage::Format_RGB32);
        img.fill(backdrop);
        QPainter p(&img);
        const double k = head / 200;
        p.translate(centre - QPointF(200, 190) * k);
        p.scale(k, k);
        drawFace(p);
        p.end();
        const QList<QRectF> faces = OCR::faceBoxes(img);
        QCOMPARE(faces.size(), 1);
        const QRectF face(faces[0].x() * 6000, (1 - faces[0].bottom()) * 4000, faces[0].width() * 6000,
                          faces[0].height() * 4000);
        QVERIFY(face.contains(centre) && face.width() < head * 2);
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
