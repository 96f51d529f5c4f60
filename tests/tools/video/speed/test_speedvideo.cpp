// The Change Speed window: how the factors read, the new length, and Save making a copy of
// every dropped clip at the chosen speed, with and without the sound's pitch kept.

#include "core/job.h"
#include "toolkit/checkbox.h"
#include "toolkit/segmented.h"
#include "toolkit/video/videomodel.h"
#include "tools/video/speed/speedlabels.h"
#include "tools/video/speed/speedview.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include "../../../support/toolharness.h"
#include "../../../support/videoclip.h"

class SpeedVideoTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_clip;  // 4 s
    QString m_other; // 3 s

  private slots:
    void initTestCase()
    {
        m_clip = m_dir.filePath("Race.mp4");
        m_other = m_dir.filePath("Walk.mp4");
        QVERIFY(makeClip(m_clip, 4));
        QVERIFY(makeClip(m_other, 3));
    }

    void labels_data()
    {
        QTest::addColumn<double>("speed");
        QTest::addColumn<QString>("label");
        QTest::newRow("quarter") << 0.25 << ".25x";
        QTest::newRow("half") << 0.5 << ".5x";
        QTest::newRow("three quarters") << 0.75 << ".75x";
        QTest::newRow("one and a quarter") << 1.25 << "1.25x";
        QTest::newRow("one and a half") << 1.5 << "1.5x";
        QTest::newRow("double") << 2.0 << "2x";
        QTest::newRow("ten and a half") << 10.5 << "10.5x";
        QTest::newRow("tenths") << 0.1 << ".1x";
    }

    void labels()
    {
        QFETCH(double, speed);
        QFETCH(QString, label);
        QCOMPARE(SpeedLabels::label(speed), label);
    }

    void newLengths_data()
    {
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("speed");
        QTest::addColumn<QString>("text");
        QTest::newRow("90 s at 2x") << 90.0 << 2.0 << "New length 0:45";
        QTest::newRow("90 s at .25x") << 90.0 << 0.25 << "New length 6:00";
        QTest::newRow("10 s at 3x") << 10.0 << 3.0 << "New length 0:03";
        QTest::newRow("no length") << 0.0 << 2.0 << "New length 0:00";
    }

    void newLengths()
    {
        QFETCH(double, duration);
        QFETCH(double, speed);
        QFETCH(QString, text);
        QCOMPARE(SpeedLabels::newLength(duration, speed), text);
    }

    void opensAtDouble()
    {
        ToolHarness harness;
        auto* view = harness.open<SpeedView>(ToolID::changeVideoSpeed, {m_clip});
        QVERIFY(view);
        QCOMPARE(view->title(), QString("Change Speed")); // not the tool's own name
        QCOMPARE(view->window()->size(), QSize(640, 560));
        QCOMPARE(view->speeds()->options(),
                 (QStringList{".25x", ".5x", ".75x", "1.25x", "1.5x", "2x", "3x", "4x"}));
        QCOMPARE(view->speeds()->selected(), 5);
        QVERIFY(view->pitchBox()->isChecked());
        QCOMPARE(view->primaryButton()->text(), QString("Save at 2x"));
        QVERIFY(view->primaryButton()->isEnabled());
        QCOMPARE(view->lengthText()->text(), QString("New length 0:02"));

        emit view->speeds()->edited(0);
        QCOMPARE(view->speed(), 0.25);
        QCOMPARE(view->speeds()->selected(), 0);
        QCOMPARE(view->primaryButton()->text(), QString("Save at .25x"));
        QCOMPARE(view->lengthText()->text(), QString("New length 0:16"));
    }

    // Two clips at half speed with the pitch following: both named with the label, twice as long.
    void savesEveryClip()
    {
        ToolHarness harness;
        auto* view = harness.open<SpeedView>(ToolID::changeVideoSpeed, {m_clip, m_other});
        QVERIFY(view);
        emit view->speeds()->edited(1);
        view->pitchBox()->click();
        QVERIFY(!view->pitchBox()->isChecked());
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->title(), QString("Changing speed"));
        QCOMPARE(job->state().phase, Job::Phase::done);
        const QStringList results{m_dir.filePath("Race Speed .5x.mp4"), m_dir.filePath("Walk Speed .5x.mp4")};
        QCOMPARE(job->results(), results);
        const double lengths[] = {8, 6};
        for (int i = 0; i < 2; ++i) {
            const double d = probedDuration(results[i]);
            QVERIFY2(std::abs(d - lengths[i]) < 0.2, qPrintable(results[i] + ": " + QString::number(d)));
        }
    }

    void threeTimesWithPitchKept()
    {
        ToolHarness harness;
        auto* view = harness.open<SpeedView>(ToolID::changeVideoSpeed, {m_other});
        QVERIFY(view);
        emit view->speeds()->edited(6);
        const std::shared_ptr<Job> job = harness.apply(*view);
        QVERIFY(job);
        QCOMPARE(job->state().phase, Job::Phase::done);
        QCOMPARE(job->results(), QStringList{m_dir.filePath("Walk Speed 3x.mp4")});
        const double d = probedDuration(job->results().value(0));
        QVERIFY2(std::abs(d - 1) < 0.15, qPrintable(QString::number(d)));
    }

    void unreadableFileCannotSave()
    {
        const QString junk = m_dir.filePath("junk.mp4");
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("no video here") > 0);
        f.close();
        ToolHarness harness;
        auto* view = harness.open<SpeedView>(ToolID::changeVideoSpeed, {junk});
        QVERIFY(view);
        QCOMPARE(view->lengthText()->text(), QString("New length 0:00"));
        QVERIFY(!view->primaryButton()->isEnabled());
    }
};

QTEST_MAIN(SpeedVideoTest)
#include "test_speedvideo.moc"
