// Waveform peaks of generated sound, the bars drawn from them, the range handles over them and
// where sound begins and ends.

#include "../support/audiofixtures.h"
#include "toolkit/audiosource.h"
#include "toolkit/rangewaveform.h"
#include "toolkit/silence.h"
#include "toolkit/waveformview.h"

#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

namespace {

bool near(double a, double b, double tolerance = 1e-9)
{
    return std::abs(a - b) <= tolerance;
}

// The source once loaded; null after the limit.
std::unique_ptr<AudioSource> loaded(const QString& path, int buckets)
{
    auto source = std::make_unique<AudioSource>(path, buckets);
    if (!QTest::qWaitFor([&] { return source->isSettled(); }, 60000)) return nullptr;
    return source;
}

} // namespace

class WaveformTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

  private slots:
    void silenceDetection_data()
    {
        QTest::addColumn<QList<float>>("samples");
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("start"); // negative: no range
        QTest::addColumn<double>("end");
        QList<float> bucket3(10, 0.0f);
        bucket3[3] = 0.5f;
        QTest::newRow("sound in bucket 3 of 10 over 10 s") << bucket3 << 10.0 << 2.92 << 4.08;
        QList<float> ends(10, 0.0f);
        ends[0] = ends[9] = 1.0f;
        QTest::newRow("margins clamped to the file") << ends << 10.0 << 0.0 << 10.0;
        QTest::newRow("at the threshold is silent") << QList<float>(10, 0.04f) << 10.0 << -1.0 << -1.0;
        QTest::newRow("no samples") << QList<float>() << 10.0 << -1.0 << -1.0;
        QTest::newRow("no duration") << bucket3 << 0.0 << -1.0 << -1.0;
    }
    void silenceDetection()
    {
        QFETCH(QList<float>, samples);
        QFETCH(double, duration);
        QFETCH(double, start);
        QFETCH(double, end);
        const auto range = nonSilentRange(samples, duration, 0.04f);
        QCOMPARE(range.has_value(), start >= 0);
        if (!range) return;
        QVERIFY2(near(range->first, start) && near(range->second, end),
                 qPrintable(QString("%1…%2").arg(range->first).arg(range->second)));
    }

    void bars()
    {
        // Silence still shows a 1.5-point bar; bars never get thinner than a point.
        const auto quiet = WaveformView::bars({0.0f, 1.0f}, QSizeF(100, 50), std::nullopt);
        QCOMPARE(quiet.size(), 2);
        QCOMPARE(quiet[0].rect, QRectF(10, 24.25, 30, 1.5));
        QCOMPARE(quiet[1].rect, QRectF(60, 2, 30, 46));
        const auto wide = WaveformView::bars(QList<float>(1000, 0.5f), QSizeF(100, 50), std::nullopt);
        QCOMPARE(wide.last().rect.width(), 1.0);
        // Dimmed outside the span, its bounds inside.
        const auto dimmed = WaveformView::bars(QList<float>(10, 0.5f), QSizeF(100, 50), std::pair{0.2, 0.5});
        QList<double> opacity;
        for (const auto& b : dimmed)
            opacity << b.opacity;
        QCOMPARE(opacity, QList<double>({0.3, 0.3, 1, 1, 1, 1, 0.3, 0.3, 0.3, 0.3}));
        QVERIFY(WaveformView::bars({}, QSizeF(100, 50), std::nullopt).isEmpty());
        // Quiet peaks are drawn as loud as the loudest allows; silence stays silent.
        QCOMPARE(WaveformView::fitted({0.02f, 0.08f, 0}), QList<float>({0.25f, 1, 0}));
        QCOMPARE(WaveformView::fitted({0, 0}), QList<float>({0, 0}));
    }

    void drawnBars()
    {
        WaveformView view(Qt::red);
        view.resize(100, 40);
        view.setSamples({1.0f, 0.0f});
        QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        view.render(&image);
        QCOMPARE(QColor(image.pixel(25, 20)), QColor(Qt::red)); // the loud bar's middle
        QCOMPARE(qAlpha(image.pixel(25, 3)), 255);              // a full bar reaches near the top
        QCOMPARE(qAlpha(image.pixel(75, 5)), 0);                // the silent one stays small
        QCOMPARE(qAlpha(image.pixel(5, 20)), 0);                // the gap before a bar
    }

    void handleDrags()
    {
        RangeWaveform::State s;
        s.duration = 10;
        s.start = 2;
        s.end = 6;
        using R = std::optional<std::pair<double, double>>;
        QCOMPARE(RangeWaveform::dragged(s, 2, 30, 100, true), R({5, 6}));
        QCOMPARE(RangeWaveform::dragged(s, 2, 90, 100, true), R({5.95, 6})); // stops short of the end
        QCOMPARE(RangeWaveform::dragged(s, 6, -90, 100, false), R({2, 2.05}));
        QCOMPARE(RangeWaveform::dragged(s, 2, -500, 100, true), R({0, 6})); // clamped to the file
        QCOMPARE(RangeWaveform::dragged(s, 6, 500, 100, false), R({2, 10}));
        QCOMPARE(RangeWaveform::dragged(s, 2, 10, 0, true), R());
        s.duration = 0;
        QCOMPARE(RangeWaveform::dragged(s, 2, 10, 100, true), R());
        QCOMPARE(RangeWaveform::edges(s, 300), std::pair(0.0, 300.0)); // handles at both edges
        s = {{}, 10, 2, 6, {}};
        QCOMPARE(RangeWaveform::handleAt(s, 70, 300), std::optional(true));   // start at 60
        QCOMPARE(RangeWaveform::handleAt(s, 175, 300), std::optional(false)); // end at 180
        QCOMPARE(RangeWaveform::handleAt(s, 120, 300), std::optional<bool>());
    }

    // The tone sounds from 1 s to 3 s of 5; the window's silence trim finds it to a bucket.
    void peaksOfATone()
    {
        const QString path = m_dir.filePath("burst.wav");
        QVERIFY(makeAudio(path, "aevalsrc='if(between(t,1,3),sin(2*PI*440*t),0)':d=5"));
        const auto source = loaded(path, 420);
        QVERIFY(source);
        QVERIFY(!source->hasFailed());
        QVERIFY(near(source->duration(), 5, 0.01));
        QCOMPARE(source->samples().size(), 420);
        QCOMPARE(*std::max_element(source->samples().cbegin(), source->samples().cend()), 1.0f);
        QCOMPARE(source->samples().at(10), 0.0f);
        QVERIFY(source->samples().at(200) > 0.9f);
        const auto range = nonSilentRange(source->samples(), source->duration(), 0.04f);
        QVERIFY(range);
        QVERIFY2(near(range->first, 0.92, 0.03) && near(range->second, 3.08, 0.03),
                 qPrintable(QString("%1…%2").arg(range->first).arg(range->second)));
    }

    void silentAndUnreadableFiles()
    {
        const QString silent = m_dir.filePath("silent.flac");
        QVERIFY(makeAudio(silent, "anullsrc=r=44100:cl=mono", {"-t", "2"}));
        const auto quiet = loaded(silent, 100);
        QVERIFY(quiet && !quiet->hasFailed());
        QVERIFY(!nonSilentRange(quiet->samples(), quiet->duration(), 0.04f));

        const QString bad = m_dir.filePath("notes.mp3");
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("hello");
        f.close();
        const auto broken = loaded(bad, 100);
        QVERIFY(broken);
        QVERIFY(broken->isReady() && broken->hasFailed());
        QCOMPARE(broken->duration(), 0.0);
        QVERIFY(broken->samples().isEmpty());
        QCOMPARE(*broken->error(), QString("Couldn’t read the length of notes.mp3"));
    }
};

QTEST_MAIN(WaveformTest)
#include "test_waveform.moc"
