// The Crop Video window: the sizes it shows and fits rectangles to, the aspect presets and
// Reset, and Apply cropping every dropped file with the same unit rectangle on real clips,
// a portrait clip (turned by its display rotation) included.

#include "core/fmt.h"
#include "core/job.h"
#include "toolkit/cropoverlay.h"
#include "toolkit/orangeslider.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/video/videomodel.h"
#include "tools/video/crop/cropvideosizes.h"
#include "tools/video/crop/cropvideostage.h"
#include "tools/video/crop/cropvideoview.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/toolharness.h"
#include "../../../support/videoclip.h"

namespace Sizes = CropVideoSizes;

namespace {

// The picture size ffprobe reads from the first video stream, turned as it is displayed.
QSize probedSize(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            {"-v", "error", "-select_streams", "v:0", "-show_entries",
             "stream=width,height:stream_side_data=rotation", "-of", "default=noprint_wrappers=1", path});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return {};
    int w = 0, h = 0, rotation = 0;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
        const QString value = line.section('=', 1);
        if (line.startsWith("width=")) w = value.toInt();
        if (line.startsWith("height=")) h = value.toInt();
        if (line.startsWith("rotation=")) rotation = value.toInt();
    }
    return rotation % 180 ? QSize(h, w) : QSize(w, h);
}

bool near(const QRectF& a, const QRectF& b)
{
    return std::abs(a.x() - b.x()) < 1e-9 && std::abs(a.y() - b.y()) < 1e-9 &&
           std::abs(a.width() - b.width()) < 1e-9 && std::abs(a.height() - b.height()) < 1e-9;
}

} // namespace

class CropVideoTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_wide;     // 640 × 360, 3 s
    QString m_small;    // 320 × 240, 2 s
    QString m_portrait; // 320 × 240 shown turned a quarter: 240 × 320

  private slots:
    void initTestCase()
    {
        m_wide = m_dir.filePath("Wide.mp4");
        m_small = m_dir.filePath("Small.mp4");
        m_portrait = m_dir.filePath("Portrait.mp4");
        QVERIFY(makeClip(m_wide, 3, "640x360"));
        QVERIFY(makeClip(m_small, 2));
        const QString plain = m_dir.filePath("plain.mp4");
        QVERIFY(makeClip(plain, 2));
        QProcess p;
        p.start("ffmpeg",
                {"-v", "error", "-y", "-i", plain, "-c", "copy", "-metadata:s:v", "rotate=90", m_portrait});
        QVERIFY(p.waitForFinished(60000) && p.exitCode() == 0);
        QCOMPARE(probedSize(m_portrait), QSize(240, 320));
    }

    void pixelSizes_data()
    {
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QSize>("probed");
        QTest::addColumn<QSizeF>("pixels");
        QTest::newRow("small frame of a large video")
            << QSize(1000, 500) << QSize(3840, 1920) << QSizeF(3840, 1920);
        QTest::newRow("no probed size") << QSize(1000, 500) << QSize(0, 0) << QSizeF(1000, 500);
        QTest::newRow("no frame") << QSize() << QSize(1920, 1080) << QSizeF(0, 0);
        QTest::newRow("upright frame, coded sideways")
            << QSize(180, 320) << QSize(1920, 1080) << QSizeF(1080, 1920);
    }

    void pixelSizes()
    {
        QFETCH(QSize, frame);
        QFETCH(QSize, probed);
        QFETCH(QSizeF, pixels);
        QCOMPARE(Sizes::pixelSize(frame, probed), pixels);
    }

    void outputSizes_data()
    {
        QTest::addColumn<QRectF>("rect");
        QTest::addColumn<QSizeF>("pixels");
        QTest::addColumn<QString>("label");
        QTest::newRow("whole") << QRectF(0, 0, 1, 1) << QSizeF(1280, 720) << "1280 × 720 px";
        QTest::newRow("odd half made even") << QRectF(0, 0, 0.5, 0.5) << QSizeF(1279, 721) << "638 × 360 px";
        QTest::newRow("square of 1080p")
            << QRectF(0.21875, 0, 0.5625, 1) << QSizeF(1920, 1080) << "1080 × 1080 px";
        QTest::newRow("no frame") << QRectF(0, 0, 1, 1) << QSizeF(0, 0) << "0 × 0 px";
        QTest::newRow("under two pixels") << QRectF(0, 0, 0.001, 1) << QSizeF(1000, 100) << "0 × 100 px";
    }

    void outputSizes()
    {
        QFETCH(QRectF, rect);
        QFETCH(QSizeF, pixels);
        QFETCH(QString, label);
        QCOMPARE(Sizes::sizeLabel(Sizes::outputSize(rect, pixels)), label);
    }

    void presetsAndReset()
    {
        ToolHarness harness;
        auto* view = harness.open<CropVideoView>(ToolID::cropVideo, {m_wide});
        QVERIFY(view);
        QCOMPARE(view->window()->size(), QSize(640, 680));
        QCOMPARE(view->aspects()->options(), (QStringList{"Free", "1:1", "16:9", "9:16", "4:3", "4:5"}));
        QVERIFY(QTest::qWaitFor([view] { return !view->stage()->frame().isNull(); }, 30000));
        QCOMPARE(view->pixelSize(), QSizeF(640, 360));
        QCOMPARE(view->sizeText()->text(), QString("640 × 360 px"));
        QVERIFY(view->primaryButton()->isEnabled());
        // The first frame is a tenth in, and the slider stands there.
        QCOMPARE(view->scrubber()->value(), view->model().duration() * 0.1);
        QCOMPARE(view->timeText()->text(), Fmt::time(view->model().duration() * 0.1, true));

        view->setAspect(CropAspect::wide);
        QVERIFY(near(view->rect(), QRectF(0, 0, 1, 1)));
        view->setAspect(CropAspect::square);
        QVERIFY(near(view->rect(), QRectF(0.21875, 0, 0.5625, 1)));
        QCOMPARE(view->sizeText()->text(), QString("360 × 360 px"));
        QCOMPARE(view->aspects()->selected(), 1);
        QVERIFY(near(view->stage()->overlay()->unitRect(), view->rect()));

        view->setAspect(CropAspect::wide);
        view->setRect(QRectF(0.1, 0.1, 0.5, 0.5 * 640 / 360 * 9 / 16));
        const QRectF wide = view->rect();
        view->setAspect(CropAspect::free);
        QCOMPARE(view->rect(), wide);

        view->resetButton()->click();
        QCOMPARE(view->aspect(), CropAspect::free);
        QCOMPARE(view->rect(), QRectF(0, 0, 1, 1));
        QCOMPARE(view->aspects()->selected(), 0);
    }

    // Three files, one rectangle, one job; each result its own size cut by the same fractions.
    void cropsEveryFile()
    {
        ToolHarness harness;
        auto* view = harness.open<CropVideoView>(ToolID::cropVideo, {m_wide, m_small, m_portrait});
        QVERIFY(view);
        QVERIFY(QTest::qWaitFor([view] { return !view->stage()->frame().isNull(); }, 30000));
        view->setRect(QRectF(0.25, 0, 0.5, 0.5));
        QCOMPARE(view->sizeText()->text(), QString("320 × 180 px"));
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->title(), QString("Cropping video"));
        QCOMPARE(job->state().phase, Job::Phase::done);
        const QStringList results{m_dir.filePath("Wide Cropped.mp4"), m_dir.filePath("Small Cropped.mp4"),
                                  m_dir.filePath("Portrait Cropped.mp4")};
        QCOMPARE(job->results(), results);
        QCOMPARE(probedSize(results[0]), QSize(320, 180));
        QCOMPARE(probedSize(results[1]), QSize(160, 120));
        QCOMPARE(probedSize(results[2]), QSize(120, 160));
        const double durations[] = {3, 2, 2};
        for (int i = 0; i < 3; ++i) {
            const double d = probedDuration(results[i]);
            QVERIFY2(std::abs(d - durations[i]) < 0.15, qPrintable(results[i] + ": " + QString::number(d)));
        }
    }

    // The rectangle is fitted to the picture as shown: upright for a clip turned by its rotation.
    void portraitIsUpright()
    {
        ToolHarness harness;
        auto* view = harness.open<CropVideoView>(ToolID::cropVideo, {m_portrait});
        QVERIFY(view);
        QVERIFY(QTest::qWaitFor([view] { return !view->stage()->frame().isNull(); }, 30000));
        QCOMPARE(view->pixelSize(), QSizeF(240, 320));
        view->setAspect(CropAspect::square);
        QVERIFY(near(view->rect(), QRectF(0, 0.125, 1, 0.75)));
        QCOMPARE(view->sizeText()->text(), QString("240 × 240 px"));
    }

    void scrubbingShowsTheLastPosition()
    {
        ToolHarness harness;
        auto* view = harness.open<CropVideoView>(ToolID::cropVideo, {m_wide});
        QVERIFY(view);
        QVERIFY(QTest::qWaitFor([view] { return !view->stage()->frame().isNull(); }, 30000));
        OrangeSlider* slider = view->scrubber();
        QCOMPARE(slider->state().hi, view->model().duration());
        const QImage first = view->stage()->frame();
        const int y = slider->rect().center().y();
        const int right = slider->rect().width() * 3 / 4; // short of the end, where no frame is
        QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(10, y));
        for (int x = 10; x <= right; x += 20)
            QTest::mouseMove(slider, QPoint(x, y));
        QTest::mouseMove(slider, QPoint(right, y));
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(right, y));
        QVERIFY(slider->value() > 1.8);
        QCOMPARE(view->timeText()->text(), Fmt::time(slider->value(), true));
        // The frame near the end differs from the one a tenth in, and the newest grab is its.
        QVERIFY(QTest::qWaitFor([&] { return view->stage()->frame() != first; }, 30000));
        QVERIFY(QTest::qWaitFor([&] { return view->stage()->frame() == view->model().still(); }, 30000));
        // At the very end the last frame shows.
        const QImage shown = view->stage()->frame();
        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->rect().right(), y));
        QCOMPARE(slider->value(), view->model().duration());
        QVERIFY(QTest::qWaitFor([&] { return view->stage()->frame() != shown; }, 30000));
        QCOMPARE(view->stage()->frame(), view->model().still());
        QVERIFY(view->primaryButton()->isEnabled());
    }

    void unreadableFileCannotApply()
    {
        const QString junk = m_dir.filePath("junk.mp4");
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("no video here") > 0);
        f.close();
        ToolHarness harness;
        auto* view = harness.open<CropVideoView>(ToolID::cropVideo, {junk});
        QVERIFY(view);
        QVERIFY(view->stage()->frame().isNull());
        QCOMPARE(view->sizeText()->text(), QString("0 × 0 px"));
        QVERIFY(!view->primaryButton()->isEnabled());
        QCOMPARE(view->scrubber()->state().hi, 0.01);
    }
};

QTEST_MAIN(CropVideoTest)
#include "test_cropvideo.moc"
