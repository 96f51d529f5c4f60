// The Audio Visualizer window: its preview per shape and style, the background choice, and the
// road to a "Visualizer.mp4" video.

#include "engines/media/media.h"
#include "toolkit/audiosource.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/toolwindow.h"
#include "tools/audio/visualizer/colourdot.h"
#include "tools/audio/visualizer/visualizerpreview.h"
#include "tools/audio/visualizer/visualizerview.h"

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/audiofixtures.h"
#include "../../../support/toolharness.h"

class VisualizerTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

  private slots:
    void previewShapes()
    {
        QCOMPARE(visualShapeFromRaw("square"), std::nullopt);
        QCOMPARE(visualShapeFromRaw("Square"), std::optional(VisualShape::square));
        QCOMPARE(VisualizerPreview::waveHeight(VisualShape::landscape), 70.0);
        QCOMPARE(VisualizerPreview::waveHeight(VisualShape::portrait), 80.0);
        QCOMPARE(VisualizerPreview::waveHeight(VisualShape::square), 80.0);
        QCOMPARE(VisualizerPreview::shown({0.8f, 0.2f}, VisualStyle::line), QList<float>({0.4f, 0.1f}));
        QCOMPARE(VisualizerPreview::shown({0.8f}, VisualStyle::bars), QList<float>({0.8f}));
        const QRectF tall = VisualizerPreview::frame(QSizeF(524, 300), VisualShape::portrait);
        QCOMPARE(tall.height(), 276.0);
        QVERIFY(std::abs(tall.width() / tall.height() - 1080.0 / 1920) < 1e-9);

        // Drawn: the colour across the middle of a black frame, a picture when there is one.
        VisualizerPreview::State s;
        s.samples = QList<float>(20, 1.0f);
        s.colour = Qt::green;
        QImage image(424, 300, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            VisualizerPreview::paint(p, image.size(), s);
        }
        QCOMPARE(QColor(image.pixel(221, 150)), QColor(Qt::green)); // the middle of bar 10
        QCOMPARE(QColor(image.pixel(212, 40 + 10)).rgb(), QColor(Qt::black).rgb());
        QCOMPARE(qAlpha(image.pixel(212, 5)), 0); // the padding stays clear
        s.background = QImage(10, 10, QImage::Format_RGB32);
        s.background.fill(Qt::red);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            VisualizerPreview::paint(p, image.size(), s);
        }
        QCOMPARE(QColor(image.pixel(212, 50)), QColor(Qt::red));
    }

    void choicesAndVideo()
    {
        const QString song = m_dir.filePath("song.mp3");
        QVERIFY(makeAudio(song, "sine=f=440:d=2", {"-ac", "2"}));
        const QString picture = m_dir.filePath("bg.png");
        QImage red(64, 48, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(picture));

        ToolHarness harness;
        auto* view = harness.open<VisualizerView>(ToolID::audioToVideo, {song});
        QVERIFY(view);
        QCOMPARE(view->window()->size(), QSize(560, 560));
        QCOMPARE(view->durationText()->text(), QString("Duration 0:02"));
        QCOMPARE(view->preview()->state().samples.size(), 160);
        QVERIFY(!view->blackButton()->isVisibleTo(view));
        QCOMPARE(view->imageButton()->text(), QString("Choose Image…"));

        view->setBackground(picture);
        QVERIFY(view->blackButton()->isVisibleTo(view));
        QCOMPARE(view->imageButton()->text(), QString("Change Image…"));
        QVERIFY(QTest::qWaitFor([&] { return !view->preview()->state().background.isNull(); }, 30000));
        view->blackButton()->click();
        QVERIFY(!view->background() && view->preview()->state().background.isNull());
        QVERIFY(!view->blackButton()->isVisibleTo(view));
        view->setBackground(picture);

        view->shapes()->edited(1);
        view->styles()->edited(2);
        view->dots()[2]->click();
        QCOMPARE(view->shape(), VisualShape::portrait);
        QCOMPARE(view->style(), VisualStyle::bars);
        QVERIFY(view->dots()[2]->isChosen() && !view->dots()[0]->isChosen());
        QCOMPARE(view->preview()->state().colour, VisualizerView::colours()[2].shown);

        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->title(), QString("Making visualizer video"));
        QVERIFY2(job->state().phase == Job::Phase::done, qPrintable(job->state().message));
        QCOMPARE(job->results(), QStringList{m_dir.filePath("song Visualizer.mp4")});
        const Media::Probe p = Media::probe(job->results().first());
        QCOMPARE(QSize(p.width, p.height), QSize(1080, 1920));
        QVERIFY(p.audioCodec.has_value());
        QVERIFY(std::abs(p.duration - 2) < 0.2);
    }

    // Without a length the video can't be made.
    void unreadableFile()
    {
        const QString bad = m_dir.filePath("junk.mp3");
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("no sound");
        f.close();
        ToolHarness harness;
        auto* view = harness.open<VisualizerView>(ToolID::audioToVideo, {bad});
        QVERIFY(view);
        QVERIFY(!view->primaryButton()->isEnabled());
        QCOMPARE(view->durationText()->text(), QString("Duration 0:00"));
    }
};

QTEST_MAIN(VisualizerTest)
#include "test_visualizer.moc"
