// The Redact Video tool's filter graph and arguments, built under the C locale and a German one;
// then its work on a clip of drawn digits, read back by recognition and measured block by block,
// on a clip that shows its frame numbers, read back frame by frame, and on clips with chapters,
// read back by ffprobe. Its other work on real clips is tested with
// the other video tools' (test_videowork).

#include "../../../support/decimallocales.h"
#include "../../../support/enginefixtures_a.h"
#include "core/job.h"
#include "core/modules.h"
#include "engines/recognition/recognitionmodule.h"
#include "tools/video/redact/redactvideowork.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QtTest>
#include <climits>

namespace {

// The clip's two boxes in pixels of its 640 × 360 picture, and each as a unit rectangle: a large
// one over digits about 100 pixels high and a small one over digits about 26 pixels high. Their
// fractions are exact in binary, so ffmpeg's crop starts where the box does.
const QRect largeBox(40, 36, 320, 144);
const QRect smallBox(400, 270, 160, 36);
const QSize picture(640, 360);

QRectF unit(QRect box)
{
    return QRectF(double(box.x()) / picture.width(), double(box.y()) / picture.height(),
                  double(box.width()) / picture.width(), double(box.height()) / picture.height());
}

// `word` in black DejaVu Sans of `pixels`, its ink centred in `box`.
void write(QPainter& p, QRect box, int pixels, const QString& word)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(pixels);
    const QRect ink = QFontMetrics(font).tightBoundingRect(word);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(box.center() - ink.center(), word);
}

QImage frameAt(const QString& video, double seconds, const QString& png)
{
    if (!Fixture::ffmpeg({"-ss", QString::number(seconds, 'f', 3), "-i", video, "-frames:v", "1", png}))
        return {};
    return QImage(png).convertToFormat(QImage::Format_RGB32);
}

// What recognition reads in `area` of the picture, set on a white margin.
QString read(const QImage& img, QRect area)
{
    QImage page(area.size() + QSize(48, 48), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter(&page).drawImage(24, 24, img.copy(area));
    return Modules::entries<RecognitionModule>().recognizeLater(page).result();
}

// `img` seen through squinting eyes: shrunk to about 1.5 pixels a block and grown back smoothly.
QImage squinted(const QImage& img, int block)
{
    const QImage small = img.scaled(QSizeF(img.size() * 1.5 / block).toSize(), Qt::IgnoreAspectRatio,
                                    Qt::SmoothTransformation);
    return small.scaled(img.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// The mean difference of grey levels of two pictures over `area`.
double difference(const QImage& a, const QImage& b, QRect area)
{
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
    return sum / (double(area.width()) * area.height());
}

// The side of the blocks that fill `box`, as they show: the least distance, along rows and along
// columns, from the box's edge to the first change of grey across it or between two changes.
// A change is a step of more than 6 grey levels on average over the box's span; steps within 3
// pixels of the one before are the encoder's ringing around it.
int measuredBlock(const QImage& frame, QRect box)
{
    int least = INT_MAX;
    for (const bool alongRows : {true, false}) {
        const int length = alongRows ? box.width() : box.height();
        const int span = alongRows ? box.height() : box.width();
        int last = 0;
        for (int i = 1; i < length; ++i) {
            double step = 0;
            for (int j = 0; j < span; ++j) {
                const QPoint at = box.topLeft() + (alongRows ? QPoint(i, j) : QPoint(j, i));
                const QPoint before = at - (alongRows ? QPoint(1, 0) : QPoint(0, 1));
                step += std::abs(qGray(frame.pixel(at)) - qGray(frame.pixel(before)));
            }
            if (step / span <= 6 || i - last <= 3) continue;
            least = std::min(least, i - last);
            last = i;
        }
    }
    return least;
}

// The frames of a clip made by numberedClip(): the number each shows in its lower half, and
// whether its upper half is covered in black or still shows the same number.
struct Numbered
{
    int number = 0;
    bool covered = false;
    bool readable = false;
};

// 128 frames of 128 × 64 pixels at `rate` frames a second, each showing its number twice, in the
// upper and the lower half: in eight columns of 16 pixels, the first always light, the others
// the number's bits from the lowest, light for a 1.
bool numberedClip(const QString& path, const QString& rate)
{
    return Fixture::ffmpeg({"-f", "lavfi", "-i",
                            "color=c=black:s=128x64:r=" + rate +
                                ",format=gray,"
                                "geq=lum='if(lt(X,16),235,if(mod(floor(N/pow(2,floor(X/16)-1)),2),235,16))'",
                            "-frames:v", "128", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt",
                            "yuv420p", path});
}

QList<Numbered> numberedFrames(const QString& video)
{
    QProcess f;
    f.start("ffmpeg", {"-v", "error", "-i", video, "-f", "rawvideo", "-pix_fmt", "gray", "-"});
    f.waitForFinished(60000);
    const QByteArray raw = f.readAllStandardOutput();
    const int size = 128 * 64;
    QList<Numbered> frames;
    for (qsizetype at = 0; at + size <= raw.size(); at += size) {
        const auto grey = [&](int x, int y) { return int(uchar(raw[at + y * 128 + x])); };
        const auto number = [&](int row) {
            int value = 0;
            for (int bit = 0; bit < 7; ++bit)
                value |= (grey(16 * bit + 24, row) > 128) << bit;
            return value;
        };
        int lightest = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 128; ++x)
                lightest = std::max(lightest, grey(x, y));
        frames << Numbered{number(48), lightest<60, grey(8, 16)> 128 && number(16) == number(48)};
    }
    return frames;
}

struct Chapter
{
    double start = 0, end = 0;
    QString title;
};

} // namespace

class RedactVideoWorkTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_digits; // 3 s at 10 fps with a tone: "125" under the large box, "4096" under the small one

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        QImage drawn(picture, QImage::Format_RGB32);
        drawn.fill(Qt::white);
        QPainter p(&drawn);
        write(p, largeBox, 136, "125");
        write(p, smallBox, 36, "4096");
        p.end();
        QVERIFY(drawn.save(path("digits.png")));
        m_digits = path("Digits.mp4");
        QVERIFY(Fixture::ffmpeg(
            {"-loop",    "1",        "-framerate", "10",  "-i",    path("digits.png"), "-f",      "lavfi",
             "-i",       "sine=d=3", "-t",         "3",   "-c:v",  "libx264",          "-preset", "ultrafast",
             "-pix_fmt", "yuv420p",  "-c:a",       "aac", m_digits}));
    }

    void graphAndArguments_data() { decimalLocaleRows(); }
    void graphAndArguments()
    {
        const RowLocale locale;
        QVERIFY(locale.isSet());
        const QRectF box(0.1, 0.2, 0.3, 0.4);
        const QString blur = "boxblur=luma_radius='min(20,min(w,h)/2)':luma_power=4:"
                             "chroma_radius='min(20,min(cw,ch)/2)':chroma_power=4";
        QCOMPARE(RedactVideoWork::redactGraph({box}, RedactStyle::blur, std::nullopt, picture),
                 "[0:v:0]split[b0][c0];[c0]crop='min(iw,ceil(iw*0.40000/2)*2)-trunc(iw*0.10000/2)*2':"
                 "'min(ih,ceil(ih*0.60000/2)*2)-trunc(ih*0.20000/2)*2':trunc(iw*0.10000/"
                 "2)*2:trunc(ih*0.20000/2)*2," +
                     blur +
                     "[e0];[b0][e0]overlay=trunc(W*0.10000/2)*2:trunc(H*0.20000/2)*2[s0];"
                     "[s0]crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0[v]");
        const QString ranged =
            RedactVideoWork::redactGraph({box, box}, RedactStyle::black, TimeRange{2, 5}, picture);
        QCOMPARE(ranged.count(":enable='between(t,2.000,5.000)'"), 2);
        QVERIFY(ranged.contains(";[s0]drawbox=x=trunc(iw*0.10000/2)*2:y=trunc(ih*0.20000/2)*2:"));
        const QStringList redact =
            RedactVideoWork::args("s.mp4", {box, box}, RedactStyle::white, {}, picture, "mp4", "o");
        QCOMPARE(redact[redact.indexOf("[v]") - 1], "-map");
        QCOMPARE(redact[redact.indexOf("-map_metadata:g") + 1], "-1");
        QCOMPARE(redact[redact.indexOf("-map_metadata:s") + 1], "-1");

        // Blocks a third of the box's shorter side, 18 pixels at least and ffmpeg's 1024 at most.
        const QString pixelated = RedactVideoWork::redactGraph({unit(largeBox), unit(smallBox)},
                                                               RedactStyle::pixelate, std::nullopt, picture);
        QVERIFY2(pixelated.contains(",pixelize=w=48:h=48[e0];") &&
                     pixelated.contains(",pixelize=w=18:h=18[e1];"),
                 qPrintable(pixelated));
        QVERIFY(RedactVideoWork::redactGraph({QRectF(0, 0, 1, 1)}, RedactStyle::pixelate, std::nullopt,
                                             QSize(7680, 4320))
                    .contains(",pixelize=w=1024:h=1024[e0]"));
    }

    // Digits under a pixelated or blurred box can't be read while the range lasts; before and
    // after it the picture is as it was. A pixelated box's blocks grow with the box.
    void hidesTextInItsRange_data()
    {
        QTest::addColumn<RedactStyle>("style");
        QTest::newRow("pixelate") << RedactStyle::pixelate;
        QTest::newRow("blur") << RedactStyle::blur;
    }
    void hidesTextInItsRange()
    {
        QFETCH(RedactStyle, style);
        Job job({}, {}, 0);
        const QString out =
            ToolOps::redactVideo(m_digits, {unit(largeBox), unit(smallBox)}, style, TimeRange{1, 2}, job, {})
                .value(0);
        QVERIFY(QFileInfo(out).isFile());
        const QImage source = frameAt(m_digits, 1.5, path("source.png"));
        const QImage during = frameAt(out, 1.5, path("during.png"));
        QVERIFY(!source.isNull() && !during.isNull());
        QCOMPARE(during.size(), picture);

        if (style == RedactStyle::pixelate) {
            QCOMPARE(measuredBlock(during, largeBox), 48);
            QCOMPARE(measuredBlock(during, smallBox), 18);
        }
        const QList<std::pair<QRect, QString>> words{{largeBox, "125"}, {smallBox, "4096"}};
        for (const auto& [box, word] : words) {
            const QRect area = box.adjusted(-8, -8, 8, 8);
            QVERIFY2(read(source, area).contains(word), qPrintable(word + " is readable to begin with"));
            for (const QImage& attempt :
                 {during, squinted(during, RedactVideoWork::pixelBlock(unit(box), picture))}) {
                const QString text = read(attempt, area);
                QVERIFY2(!text.contains(word), qPrintable(word + " reads as " + text));
            }
            for (const double seconds : {0.5, 2.5}) {
                const QImage outside = frameAt(out, seconds, path("outside.png"));
                QVERIFY2(difference(outside, source, area) < 2, qPrintable(QString::number(seconds)));
            }
            QVERIFY(difference(during, source, area) > 10);
        }
    }

    // A box whose edges fall between pixels, or on an odd row, is covered to its last row and
    // column: on a picture of one-pixel stripes every pixel inside it is black, or evened out
    // by the blocks.
    void coversToTheEdge_data()
    {
        QTest::addColumn<RedactStyle>("style");
        QTest::newRow("black") << RedactStyle::black;
        QTest::newRow("pixelate") << RedactStyle::pixelate;
    }

    void coversToTheEdge()
    {
        QFETCH(RedactStyle, style);
        QImage stripes(picture, QImage::Format_RGB32);
        for (int y = 0; y < stripes.height(); ++y)
            for (int x = 0; x < stripes.width(); ++x)
                stripes.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        QVERIFY(stripes.save(path("stripes.png")));
        const QString clip = path("Stripes.mkv");
        QVERIFY(Fixture::ffmpeg({"-loop", "1", "-framerate", "5", "-i", path("stripes.png"), "-t", "1",
                                 "-c:v", "ffv1", "-pix_fmt", "yuv420p", clip}));
        // 0.7 × 360 is 251.99… in floating point, and 0.1234 × 640 is 78.98 on an odd column.
        const QRectF box(0.1234, 0.7, 0.3, 0.2);
        Job job({}, {}, 0);
        const QString out = ToolOps::redactVideo(clip, {box}, style, std::nullopt, job, {}).value(0);
        QVERIFY(QFileInfo(out).isFile());
        const QImage frame = frameAt(out, 0.5, path("covered.png"));
        QCOMPARE(frame.size(), picture);
        const QRect inside(int(std::floor(box.x() * 640)), 252, int(std::ceil(box.right() * 640)) - 79, 72);
        int showing = 0;
        for (int y = inside.top(); y <= inside.bottom(); ++y)
            for (int x = inside.left(); x <= inside.right(); ++x) {
                const int grey = qGray(frame.pixel(x, y));
                showing += style == RedactStyle::black ? grey > 60 : std::abs(grey - 128) > 60;
            }
        QVERIFY2(showing == 0, qPrintable(QString::number(showing) + " pixels of the stripes show"));
    }

    // A range covers every frame on screen while it lasts: the frame shown at its start, which
    // began before it, and the one shown at its end. The frames around it are as they were.
    void coversEveryFrameShownInItsRange_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        // Frame n starts at n × 0.04 s: 1.90 s shows frame 47 (1.88 s), 3.10 s frame 77.
        QTest::newRow("within frames") << "25" << 1.90 << 3.10 << 47 << 77;
        QTest::newRow("on frames' starts") << "25" << 2.00 << 3.08 << 50 << 77;
        QTest::newRow("to the end") << "25" << 4.53 << 5.12 << 113 << 127;
        // At 30000/1001 fps frame 91 starts at 3.03633… s; 3.0362 s shows it already (frame times
        // are often stored rounded), and it lies between the thousandths around it.
        QTest::newRow("end a moment before a frame") << "30000/1001" << 1.0 << 3.0362 << 29 << 91;
    }
    void coversEveryFrameShownInItsRange()
    {
        QFETCH(QString, rate);
        QFETCH(double, start);
        QFETCH(double, end);
        QFETCH(int, first);
        QFETCH(int, last);
        const QString clip = path("Numbered " + QString(rate).replace('/', '_') + ".mp4");
        if (!QFile::exists(clip)) QVERIFY(numberedClip(clip, rate));
        Job job({}, {}, 0);
        const QString out = ToolOps::redactVideo(clip, {QRectF(0, 0, 1, 0.5)}, RedactStyle::black,
                                                 TimeRange{start, end}, job, {})
                                .value(0);
        const QList<Numbered> frames = numberedFrames(out);
        QCOMPARE(frames.size(), 128);
        QStringList wrong;
        for (int i = 0; i < frames.size(); ++i) {
            const bool inRange = i >= first && i <= last;
            if (frames[i].number != i || frames[i].covered != inRange || frames[i].readable == inRange)
                wrong << QStringLiteral("%1 (shows %2%3)")
                             .arg(i)
                             .arg(frames[i].number)
                             .arg(frames[i].covered    ? ", covered"
                                  : frames[i].readable ? ""
                                                       : ", unreadable");
        }
        QVERIFY2(wrong.isEmpty(), qPrintable("frames " + wrong.join(", ")));
        QVERIFY(QFile::remove(out));
    }

    // The chapters of an MP4 and of a Matroska film come through whole, times and titles, and
    // nothing refers to a chapter track that isn't there; the film's own title is still dropped.
    void keepsChaptersWhole_data()
    {
        QTest::addColumn<QString>("ext");
        QTest::newRow("mp4") << "mp4";
        QTest::newRow("mkv") << "mkv";
    }
    void keepsChaptersWhole()
    {
        QFETCH(QString, ext);
        const QString plain = path("plain." + ext), film = path("Chapters." + ext);
        QVERIFY(Fixture::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x180:r=10:d=3", "-f", "lavfi", "-i",
                                 "sine=d=3", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p",
                                 "-c:a", "aac", plain}));
        QVERIFY(Fixture::write(path("chapters.txt"),
                               ";FFMETADATA1\ntitle=Holiday\n"
                               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1500\ntitle=Beach\n"
                               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1500\nEND=3000\n"
                               "title=Harbour\n"));
        QVERIFY(Fixture::ffmpeg({"-i", plain, "-i", path("chapters.txt"), "-map", "0", "-map_metadata", "1",
                                 "-map_chapters", "1", "-c", "copy", film}));
        Job job({}, {}, 0);
        const QString out = ToolOps::redactVideo(film, {QRectF(0.1, 0.1, 0.3, 0.3)}, RedactStyle::pixelate,
                                                 std::nullopt, job, {})
                                .value(0);

        QProcess probe;
        probe.start("ffprobe",
                    {"-v", "warning", "-print_format", "json", "-show_chapters", "-show_format", out});
        QVERIFY(probe.waitForFinished(60000) && probe.exitCode() == 0);
        const QString warnings = QString::fromUtf8(probe.readAllStandardError());
        QVERIFY2(!warnings.contains("chapter", Qt::CaseInsensitive), qPrintable(warnings));
        const QJsonObject top = QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
        QList<Chapter> chapters;
        for (const QJsonValue& v : top["chapters"].toArray()) {
            const QJsonObject c = v.toObject();
            chapters << Chapter{c["start_time"].toString().toDouble(), c["end_time"].toString().toDouble(),
                                c["tags"].toObject()["title"].toString()};
        }
        QCOMPARE(chapters.size(), 2);
        QCOMPARE(chapters[0].title, QString("Beach"));
        QCOMPARE(chapters[1].title, QString("Harbour"));
        QVERIFY(qAbs(chapters[0].start) < 0.01 && qAbs(chapters[0].end - 1.5) < 0.01);
        QVERIFY(qAbs(chapters[1].start - 1.5) < 0.01 && qAbs(chapters[1].end - 3) < 0.01);
        QCOMPARE(top["format"].toObject()["tags"].toObject()["title"].toString(), QString());
    }
};

QTEST_MAIN(RedactVideoWorkTest)
#include "test_redactvideowork.moc"
