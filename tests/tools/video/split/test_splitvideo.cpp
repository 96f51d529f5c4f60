// Split points and the clips they make, the Split Video window's controls over a real clip,
// and Save writing the clips with their lengths.

#include "core/fmt.h"
#include "core/job.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/video/timeline.h"
#include "toolkit/video/videomodel.h"
#include "tools/video/split/splitpointbutton.h"
#include "tools/video/split/splitsections.h"
#include "tools/video/split/splitvideoview.h"

#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/toolharness.h"
#include "../../../support/videoclip.h"

namespace {

QStringList chipTexts(QWidget* chips)
{
    QStringList texts;
    for (int i = 0; i < chips->layout()->count(); ++i) {
        QWidget* w = chips->layout()->itemAt(i)->widget();
        if (auto* label = qobject_cast<QLabel*>(w)) texts << label->text();
        if (auto* point = qobject_cast<SplitPointButton*>(w)) texts << "x " + point->text();
    }
    return texts;
}

} // namespace

class SplitVideoTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_clip; // 6 s

  private slots:
    void initTestCase()
    {
        m_clip = m_dir.filePath("Talk.mp4");
        QVERIFY(makeClip(m_clip, 6));
    }

    void sections_data()
    {
        QTest::addColumn<QList<double>>("splits");
        QTest::addColumn<double>("duration");
        QTest::addColumn<QList<TimeRange>>("expected");
        QTest::newRow("none") << QList<double>{} << 30.0 << QList<TimeRange>{{0, 30}};
        QTest::newRow("out of order")
            << QList<double>{20, 10} << 30.0 << QList<TimeRange>{{0, 10}, {10, 20}, {20, 30}};
        QTest::newRow("close but apart")
            << QList<double>{10, 10.06} << 30.0 << QList<TimeRange>{{0, 10}, {10, 10.06}, {10.06, 30}};
        QTest::newRow("within the gap of the end")
            << QList<double>{29.97} << 30.0 << QList<TimeRange>{{0, 29.97}};
        QTest::newRow("no length yet") << QList<double>{} << 0.0 << QList<TimeRange>{};
    }

    void sections()
    {
        QFETCH(QList<double>, splits);
        QFETCH(double, duration);
        QFETCH(QList<TimeRange>, expected);
        QCOMPARE(SplitSections::sections(splits, duration), expected);
    }

    void addingAndRemovingPoints()
    {
        ToolHarness harness;
        auto* view = harness.open<SplitVideoView>(ToolID::splitVideo, {m_clip});
        QVERIFY(view);
        QCOMPARE(view->window()->size(), QSize(720, 620));
        VideoModel& model = view->model();
        const double d = model.duration();
        QVERIFY(std::abs(d - 6) < 0.1);
        // One clip only: saving it would copy the video.
        QCOMPARE(view->primaryButton()->text(), QString("Save 1 Clip"));
        QVERIFY(!view->primaryButton()->isEnabled());
        QVERIFY(!view->addButton()->isEnabled()); // the playhead is at the start
        QVERIFY(!view->clearButton()->isEnabled());

        model.seek(4);
        QVERIFY(view->addButton()->isEnabled());
        view->addButton()->click();
        model.seek(4.03); // too near the first
        view->addButton()->click();
        model.seek(2);
        view->addButton()->click();
        QCOMPARE(view->splits(), (QList<double>{4, 2}));
        QCOMPARE(view->timeline()->state().markers, (QList<double>{4, 2}));
        QCOMPARE(view->primaryButton()->text(), QString("Save 3 Clips"));
        QVERIFY(view->primaryButton()->isEnabled());
        QCOMPARE(chipTexts(view->chips()),
                 (QStringList{"Clip 1 · 0:02", "Clip 2 · 0:02", "Clip 3 · " + Fmt::time(d - 4, false),
                              "x 0:02.00", "x 0:04.00"}));
        model.seek(d - 0.02);
        QVERIFY(!view->addButton()->isEnabled());

        // The chip of a point removes it.
        auto* remove = view->chips()->findChildren<SplitPointButton*>().value(0);
        QVERIFY(remove);
        const double removed = remove->seconds();
        remove->click();
        QCOMPARE(view->splits().size(), 1);
        QVERIFY(!view->splits().contains(removed));
        QCOMPARE(view->primaryButton()->text(), QString("Save 2 Clips"));

        view->clearButton()->click();
        QVERIFY(view->splits().isEmpty());
        QVERIFY(!view->clearButton()->isEnabled());
        QVERIFY(!view->primaryButton()->isEnabled());
        QCOMPARE(view->primaryButton()->text(), QString("Save 1 Clip"));
    }

    // A clip's length reads in whole seconds of what its points show: 4.1 − 1.1 is 3 s, even
    // where the subtraction lands a hair below.
    void clipLengths()
    {
        ToolHarness harness;
        auto* view = harness.open<SplitVideoView>(ToolID::splitVideo, {m_clip});
        QVERIFY(view);
        for (double at : {1.1, 4.1, 5.2}) {
            view->model().seek(at);
            view->addSplit();
        }
        QCOMPARE(chipTexts(view->chips()).mid(0, 3),
                 (QStringList{"Clip 1 · 0:01", "Clip 2 · 0:03", "Clip 3 · 0:01"}));
    }

    void savesTheClips()
    {
        ToolHarness harness;
        auto* view = harness.open<SplitVideoView>(ToolID::splitVideo, {m_clip});
        QVERIFY(view);
        for (double at : {1.5, 4.0}) {
            view->model().seek(at);
            view->addSplit();
        }
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->title(), QString("Splitting video"));
        QCOMPARE(job->detail(), QString("3 clips"));
        QCOMPARE(job->state().phase, Job::Phase::done);
        const QString folder = m_dir.filePath("Talk Clips");
        QCOMPARE(job->results(), QStringList{folder});
        const QStringList clips = QDir(folder).entryList(QDir::Files, QDir::Name);
        QCOMPARE(clips, (QStringList{"Talk Clip 1.mp4", "Talk Clip 2.mp4", "Talk Clip 3.mp4"}));
        const double lengths[] = {1.5, 2.5, 2.0};
        for (int i = 0; i < 3; ++i) {
            const double d = probedDuration(QDir(folder).filePath(clips[i]));
            QVERIFY2(std::abs(d - lengths[i]) < 0.15, qPrintable(clips[i] + ": " + QString::number(d)));
        }
    }
};

QTEST_MAIN(SplitVideoTest)
#include "test_splitvideo.moc"
