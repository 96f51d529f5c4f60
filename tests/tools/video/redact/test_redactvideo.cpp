// The Redact Video window: the drag-to-box maths, the status line, where the first frame is
// taken, and on real clips boxes drawn and removed on the stage and the copy ffmpeg writes,
// covered only where and when the window said.

#include "core/job.h"
#include "toolkit/pools.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/unitbox.h"
#include "toolkit/video/timeline.h"
#include "toolkit/video/videomodel.h"
#include "tools/video/redact/redactvideostage.h"
#include "tools/video/redact/redactvideoview.h"

#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/toolharness.h"
#include "../../../support/videoclip.h"

namespace {

bool near(const QRectF& a, const QRectF& b, double within = 1e-9)
{
    return std::abs(a.x() - b.x()) < within && std::abs(a.y() - b.y()) < within &&
           std::abs(a.width() - b.width()) < within && std::abs(a.height() - b.height()) < within;
}

// Drags on the stage between two points given in unit space of the frame shown.
void drag(RedactVideoStage& stage, QPointF from, QPointF to)
{
    const QRectF p = stage.pictureRect();
    const auto at = [&](QPointF u) {
        return (p.topLeft() + QPointF(u.x() * p.width(), u.y() * p.height())).toPoint();
    };
    QTest::mousePress(&stage, Qt::LeftButton, {}, at(from));
    QTest::mouseMove(&stage, at((from + to) / 2));
    QTest::mouseMove(&stage, at(to));
    QTest::mouseRelease(&stage, Qt::LeftButton, {}, at(to));
}

void click(RedactVideoStage& stage, QPointF unit)
{
    const QRectF p = stage.pictureRect();
    QTest::mouseClick(&stage, Qt::LeftButton, {},
                      (p.topLeft() + QPointF(unit.x() * p.width(), unit.y() * p.height())).toPoint());
}

// The frame of `video` at `seconds`, as ffmpeg decodes it.
QImage frameAt(const QString& video, double seconds, const QString& png)
{
    QProcess p;
    p.start("ffmpeg", {"-v", "error", "-y", "-ss", QString::number(seconds, 'f', 3), "-i", video, "-frames:v",
                       "1", png});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    return QImage(png);
}

// How far apart two pictures are: the mean difference of their gray levels, `a` scaled to `b`.
double distance(const QImage& a, const QImage& b)
{
    const QImage s = a.scaled(b.size()).convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            sum += std::abs(qGray(s.pixel(x, y)) - qGray(b.pixel(x, y)));
    return sum / (b.width() * b.height());
}

} // namespace

class RedactVideoTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_clip; // 3 s, 320 × 240

  private slots:
    void initTestCase()
    {
        m_clip = m_dir.filePath("Street.mp4");
        QVERIFY(makeClip(m_clip, 3));
    }

    void dragMaths_data()
    {
        QTest::addColumn<QPointF>("from");
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<QRectF>("box");
        QTest::addColumn<bool>("kept");
        // All on a frame shown at 400 × 200 points.
        QTest::newRow("backwards") << QPointF(100, 50) << QPointF(20, 10) << QRectF(0.05, 0.05, 0.2, 0.2)
                                   << true;
        QTest::newRow("past the right edge")
            << QPointF(300, 20) << QPointF(480, 120) << QRectF(0.75, 0.1, 0.25, 0.5) << true;
        QTest::newRow("past the top left")
            << QPointF(40, 40) << QPointF(-30, -10) << QRectF(0, 0, 0.1, 0.2) << true;
        QTest::newRow("a line 1 point high")
            << QPointF(10, 100) << QPointF(30, 101) << QRectF(0.025, 0.5, 0.05, 0.005) << false;
        QTest::newRow("just over the least side")
            << QPointF(0, 0) << QPointF(4.4, 2.2) << QRectF(0, 0, 0.011, 0.011) << true;
        QTest::newRow("wholly outside") << QPointF(420, 10) << QPointF(500, 90) << QRectF() << false;
    }

    void dragMaths()
    {
        QFETCH(QPointF, from);
        QFETCH(QPointF, to);
        QFETCH(QRectF, box);
        QFETCH(bool, kept);
        const QRectF drawn = UnitBox::dragged(from, to, QSizeF(400, 200));
        if (box.isNull())
            QVERIFY(drawn.isEmpty());
        else
            QVERIFY2(near(drawn, box), qPrintable(QString("%1 %2 %3 %4")
                                                      .arg(drawn.x())
                                                      .arg(drawn.y())
                                                      .arg(drawn.width())
                                                      .arg(drawn.height())));
        QCOMPARE(UnitBox::kept(drawn, RedactVideoStage::minSide), kept);
        QVERIFY(UnitBox::dragged(from, to, QSizeF()).isEmpty());
    }

    void statusAndFirstFrame()
    {
        QCOMPARE(RedactVideoView::status(0, true, {0, 4}),
                 QString("Drag over the frame to cover an area. Click a box to remove it."));
        QCOMPARE(RedactVideoView::status(1, true, {0, 4}), QString("1 area covered for the whole video."));
        QCOMPARE(RedactVideoView::status(2, false, {1.5, 4}),
                 QString("2 areas covered from 0:01.50 to 0:04.00."));
        QCOMPARE(RedactVideoView::firstFrameTime(10), 1.0);
        QVERIFY(std::abs(RedactVideoView::firstFrameTime(2) - 2.0 / 3) < 1e-12);
        QCOMPARE(RedactVideoStage::fillOf(RedactStyle::black), QColor(Qt::black));
        QCOMPARE(RedactVideoStage::fillOf(RedactStyle::pixelate).alpha(), qRound(0.7 * 255));
        QCOMPARE(RedactVideoStage::fillOf(RedactStyle::blur),
                 RedactVideoStage::fillOf(RedactStyle::pixelate));
    }

    // Boxes drawn and removed on the stage; the extent shows the range on the timeline.
    void drawingOnTheStage()
    {
        ToolHarness harness;
        auto* view = harness.open<RedactVideoView>(ToolID::redactVideo, {m_clip});
        QVERIFY(view);
        QCOMPARE(view->window()->size(), QSize(760, 680));
        QCOMPARE(view->stylePicker()->options(), (QStringList{"Blur", "Pixelate", "Black"}));
        QVERIFY(QTest::qWaitFor([&] { return view->model().time() == 1.0; }, ToolHarness::limitMs));
        QCOMPARE(view->range(), (TimeRange{0, view->model().duration()}));
        // The stage ends on the frame at 1 s, not on the model's own first still at 0 s.
        const QImage second = frameAt(m_clip, 1.0, m_dir.filePath("second.png"));
        const QImage start = frameAt(m_clip, 0.0, m_dir.filePath("start.png"));
        QVERIFY(!second.isNull() && !start.isNull());
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QImage& f = view->stage()->frame();
                return !f.isNull() && distance(f, second) < distance(f, start);
            },
            ToolHarness::limitMs));
        QVERIFY(!view->primaryButton()->isEnabled());

        RedactVideoStage& stage = *view->stage();
        drag(stage, {0.1, 0.1}, {0.4, 0.5});
        drag(stage, {0.6, 0.6}, {0.9, 0.9});
        drag(stage, {0.2, 0.8}, {0.7, 0.8}); // too low to keep
        QCOMPARE(view->boxes().size(), 2);
        QVERIFY(near(view->boxes()[0], QRectF(0.1, 0.1, 0.3, 0.4), 0.01));
        QCOMPARE(view->statusText()->text(), QString("2 areas covered for the whole video."));
        QVERIFY(view->primaryButton()->isEnabled() && view->clearButton()->isEnabled());

        click(stage, {0.7, 0.7});
        QCOMPARE(view->boxes().size(), 1);
        QCOMPARE(view->statusText()->text(), QString("1 area covered for the whole video."));

        QVERIFY(!view->timeline()->state().range);
        emit view->extentPicker()->edited(1);
        QCOMPARE(view->timeline()->state().range, std::optional<TimeRange>(view->range()));
        QVERIFY(view->statusText()->text().startsWith("1 area covered from 0:00.00 to 0:03."));

        view->clearButton()->click();
        QVERIFY(view->boxes().isEmpty());
        QVERIFY(!view->primaryButton()->isEnabled() && !view->clearButton()->isEnabled());
    }

    // A black box over part of the picture from 0.5 s to 1.5 s: the copy is as long as the
    // clip, black there and then, and untouched after.
    void savesACoveredCopy()
    {
        ToolHarness harness;
        auto* view = harness.open<RedactVideoView>(ToolID::redactVideo, {m_clip});
        QVERIFY(view);
        QVERIFY(QTest::qWaitFor([&] { return !view->stage()->frame().isNull(); }, ToolHarness::limitMs));
        drag(*view->stage(), {0.25, 0.25}, {0.75, 0.75});
        emit view->stylePicker()->edited(2);
        emit view->extentPicker()->edited(1);
        view->setRange({0.5, 1.5});
        QCOMPARE(view->statusText()->text(), QString("1 area covered from 0:00.50 to 0:01.50."));
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->title(), QString("Redacting video"));
        QVERIFY2(job->state().phase == Job::Phase::done, qPrintable(job->state().message));
        const QString out = m_dir.filePath("Street Redacted.mp4");
        QCOMPARE(job->results(), QStringList{out});
        const double d = probedDuration(out);
        QVERIFY2(std::abs(d - 3.0) < 0.15, qPrintable(QString::number(d)));

        const QImage during = frameAt(out, 1.0, m_dir.filePath("during.png"));
        const QImage after = frameAt(out, 2.5, m_dir.filePath("after.png"));
        QVERIFY(!during.isNull() && !after.isNull());
        QVERIFY(qGray(during.pixel(160, 120)) < 30);
        QVERIFY(qGray(during.pixel(20, 20)) > 30 || qGray(during.pixel(300, 220)) > 30);
        QVERIFY(qGray(after.pixel(160, 120)) > 30 || qGray(after.pixel(130, 100)) > 30);
    }

    // A blurred box a few pixels wide still makes a copy.
    void blursASmallBox()
    {
        ToolHarness harness;
        auto* view = harness.open<RedactVideoView>(ToolID::redactVideo, {m_clip});
        QVERIFY(view);
        QVERIFY(QTest::qWaitFor([&] { return !view->stage()->frame().isNull(); }, ToolHarness::limitMs));
        drag(*view->stage(), {0.5, 0.5}, {0.53, 0.53});
        QCOMPARE(view->boxes().size(), 1);
        QCOMPARE(view->style(), RedactStyle::blur);
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QVERIFY2(job->state().phase == Job::Phase::done, qPrintable(job->state().message));
        const double d = probedDuration(job->results().value(0));
        QVERIFY2(std::abs(d - 3.0) < 0.15, qPrintable(QString::number(d)));
    }

    // Closing at once, while the probe and the thumbnails are under way, leaves them nothing
    // to touch.
    void closedWhileProbing()
    {
        ToolHarness harness;
        QPointer<ToolWindow> window = ToolWindows::open(ToolID::redactVideo, {m_clip});
        QVERIFY(window);
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(QTest::qWaitFor([&] { return !window; }, 10000));
        QVERIFY(QTest::qWaitFor([] { return Pools::loader().activeThreadCount() == 0; }, 60000));
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
};

QTEST_MAIN(RedactVideoTest)
#include "test_redactvideo.moc"
