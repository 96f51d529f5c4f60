// The timeline's maths (positions, scrubbing, handle drags and their limits) and the widget
// driven by the mouse over a model of stand-in frames.

#include "toolkit/video/timeline.h"
#include "toolkit/video/timelinegeometry.h"
#include "toolkit/video/videomodel.h"

#include <QSignalSpy>
#include <QTest>

namespace TG = TimelineGeometry;

namespace {

VideoModel::Backend stills(double duration)
{
    VideoModel::Backend b;
    b.probe = [duration](const QString&) {
        Media::Probe p;
        p.duration = duration;
        return p;
    };
    b.frame = [](const QString&, double, double) {
        QImage image(32, 18, QImage::Format_RGB32);
        image.fill(Qt::green);
        return image;
    };
    return b;
}

} // namespace

class TimelineTest : public QObject
{
    Q_OBJECT

  private slots:
    void positionsAndScrubbing()
    {
        QCOMPARE(TG::x(5, 400, 10), 200.0);
        QCOMPARE(TG::x(0.0005, 400, 0), 200.0); // before the probe: 0.001 s across the strip
        QCOMPARE(TG::scrub(400, 400, 10), 10.0);
        QCOMPARE(TG::scrub(450, 400, 10), 10.0);
        QCOMPARE(TG::scrub(-20, 400, 10), 0.0);
        QCOMPARE(TG::scrub(100, 0, 10), 0.0); // a strip not laid out yet
        QCOMPARE(TG::marker(0, 400, 10).left(), -1.5);
        QCOMPARE(TG::leadingHandle({2, 8}, 400, 10).left(), 76.0);
        QCOMPARE(TG::trailingHandle({2, 8}, 400, 10).right(), 324.0);
    }

    void handleDrags_data()
    {
        QTest::addColumn<bool>("leading");
        QTest::addColumn<double>("translation"); // points, on a 400-point strip
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");
        QTest::addColumn<double>("newStart");
        QTest::addColumn<double>("newEnd");
        QTest::newRow("leading moves") << true << 40.0 << 10.0 << 2.0 << 8.0 << 3.0 << 8.0;
        QTest::newRow("leading past trailing") << true << 400.0 << 10.0 << 2.0 << 8.0 << 7.9 << 8.0;
        QTest::newRow("trailing to the far left") << false << -800.0 << 10.0 << 2.0 << 8.0 << 2.0 << 2.1;
        QTest::newRow("leading beyond the start") << true << -300.0 << 10.0 << 2.0 << 8.0 << 0.0 << 8.0;
        QTest::newRow("trailing beyond the end") << false << 300.0 << 10.0 << 2.0 << 8.0 << 2.0 << 10.0;
        // Shorter than the minimum: the range stays inside the video, never negative.
        QTest::newRow("short video, leading") << true << -50.0 << 0.06 << 0.0 << 0.06 << 0.0 << 0.06;
        QTest::newRow("short video, trailing") << false << -50.0 << 0.06 << 0.0 << 0.06 << 0.0 << 0.06;
        QTest::newRow("no length yet") << true << 10.0 << 0.0 << 0.0 << 0.0 << 0.0 << 0.0;
    }

    void handleDrags()
    {
        QFETCH(bool, leading);
        QFETCH(double, translation);
        QFETCH(double, duration);
        QFETCH(double, start);
        QFETCH(double, end);
        const TimeRange range{start, end};
        const TimeRange moved = TG::drag(leading, leading ? start : end, translation, 400, duration, range);
        QFETCH(double, newStart);
        QFETCH(double, newEnd);
        QVERIFY2(std::abs(moved.start - newStart) < 1e-9 && std::abs(moved.end - newEnd) < 1e-9,
                 qPrintable(QStringLiteral("%1…%2").arg(moved.start).arg(moved.end)));
        QVERIFY(moved.start >= 0 && moved.end <= std::max(duration, 0.0));
    }

    // The mouse on the widget: a handle drag reports the range and moves the playhead to the
    // dragged bound; a click on the strip scrubs.
    void mouse()
    {
        VideoModel model(QStringLiteral("clip.mp4"), stills(10));
        QVERIFY(QTest::qWaitFor([&] { return model.isSettled(); }, 30000));
        Timeline timeline(model);
        timeline.resize(408, timeline.height());
        timeline.setRange(TimeRange{2, 8});
        QSignalSpy edited(&timeline, &Timeline::rangeEdited);
        const QPoint trailing = (TG::trailingHandle({2, 8}, 400, 10).center() + Timeline::origin()).toPoint();
        QTest::mousePress(&timeline, Qt::LeftButton, {}, trailing);
        QTest::mouseMove(&timeline, QPoint(0, trailing.y()));
        QTest::mouseRelease(&timeline, Qt::LeftButton, {}, QPoint(0, trailing.y()));
        QVERIFY(!edited.isEmpty());
        const auto last = edited.last().first().value<TimeRange>();
        QCOMPARE(last.start, 2.0);
        QVERIFY(std::abs(last.end - 2.1) < 1e-9);
        QVERIFY(std::abs(model.time() - 2.1) < 1e-9);

        timeline.setRange(std::nullopt);
        QTest::mouseClick(&timeline, Qt::LeftButton, {}, QPoint(404, 30)); // the strip's right end
        QCOMPARE(model.time(), 10.0);
        QCOMPARE(timeline.height(), int(TG::height + 2 * Timeline::inset));
        QCOMPARE(timeline.state().thumbs.size(), VideoModel::thumbCount);
    }
};

QTEST_MAIN(TimelineTest)
#include "test_timeline.moc"
