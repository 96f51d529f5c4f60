// Preview renders coalesce: one runs, the newest waits, only the newest is shown, and a runner
// that is gone hears nothing.

#include "toolkit/previewrunner.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>
#include <atomic>

class PreviewRunnerTest : public QObject
{
    Q_OBJECT
  private slots:
    void newestWins()
    {
        QThreadPool pool;
        QSemaphore gate;
        std::atomic<int> started{0};
        const auto render = [&](int tag) {
            return PreviewRunner::Render([&, tag] {
                ++started;
                gate.acquire();
                QImage image(1, 1, QImage::Format_RGB32);
                image.fill(QColor(tag, 0, 0));
                return image;
            });
        };
        PreviewRunner runner(pool);
        QSignalSpy ready(&runner, &PreviewRunner::ready);
        for (int tag = 1; tag <= 5; ++tag)
            runner.request(render(tag));
        QTRY_COMPARE(started.load(), 1);
        gate.release(); // the first ends: stale, dropped; the fifth starts
        QTRY_COMPARE(started.load(), 2);
        QCOMPARE(ready.count(), 0);
        gate.release();
        QTRY_COMPARE(ready.count(), 1);
        QCOMPARE(qRed(ready.first().at(0).value<QImage>().pixel(0, 0)), 5);
        QVERIFY(!runner.isBusy());
        QCOMPARE(started.load(), 2); // renders 2 to 4 never ran

        // A render that throws gives an empty picture, and the runner goes on.
        runner.request([]() -> QImage { throw std::runtime_error("no"); });
        QTRY_COMPARE(ready.count(), 2);
        QVERIFY(ready.last().at(0).value<QImage>().isNull());

        // Any other result is served the same way, and a render that throws gives its default.
        using Size = std::optional<qint64>;
        QList<Size> sizes;
        const auto keep = [&](Size size) { sizes << size; };
        PreviewRunner estimates(pool);
        for (const qint64 bytes : {100, 200, 300})
            estimates.request<Size>(
                [&, bytes] {
                    gate.acquire();
                    return Size(bytes);
                },
                keep);
        gate.release(2);
        QTRY_COMPARE(sizes.size(), 1);
        QCOMPARE(sizes.first(), Size(300));
        estimates.request<Size>([]() -> Size { throw std::runtime_error("no"); }, keep);
        QTRY_COMPARE(sizes.size(), 2);
        QVERIFY(!sizes.last());
    }

    void closedWindowHearsNothing()
    {
        QThreadPool pool;
        QSemaphore gate;
        bool heard = false;
        auto* runner = new PreviewRunner(pool);
        connect(runner, &PreviewRunner::ready, this, [&] { heard = true; });
        runner->request([&] {
            gate.acquire();
            return QImage(1, 1, QImage::Format_RGB32);
        });
        delete runner;
        gate.release();
        pool.waitForDone();
        QCoreApplication::processEvents();
        QVERIFY(!heard);
    }
};

QTEST_MAIN(PreviewRunnerTest)
#include "test_previewrunner.moc"
