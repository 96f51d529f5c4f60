#include "core/etastore.h"
#include "core/job.h"
#include "core/settings.h"

#include <QtTest>

static const QString title = QStringLiteral("Converting to PNG");
constexpr double none = -1; // "no value" in the tables below

// `title`'s entry in a history that also holds the given ones.
static QVariantMap history(double b, double perMB = none, QVariantMap all = {})
{
    all[title] = perMB == none ? QVariantMap{{"base", b}} : QVariantMap{{"base", b}, {"perMB", perMB}};
    return all;
}

class EstimateTest : public QObject
{
    Q_OBJECT

  private slots:
    // The history before, a run of the given mebibytes and seconds, and the history after it.
    void record()
    {
        const std::tuple<QVariant, QPointF, QVariantMap> rows[] = {
            {{}, {10, 0.2}, {}},                // too short to say anything
            {"x", {10, 2}, history(0.5, 0.15)}, // first, over a malformed one
            // Blended, the rate capped; other titles are kept as they are.
            {history(1, 0.5, {{"Other", 2}}), {10, 8}, history(1, 0.58, {{"Other", 2}})},
            {{}, {1.0 / 1024, 2}, history(0.5, 150)}, // 0.01 MiB floor
            // A run without input bytes says nothing about the cost per mebibyte.
            {history(1, 0.3), {0, 2}, history(0.8, 0.3)},
            {history(1), {0, 2}, history(0.8)},
        };
        for (const auto& [before, run, after] : rows) {
            Settings::store()->setValue("etaHistory", before);
            ETAStore::record(title, qint64(run.x() * 1048576), run.y());
            QCOMPARE(Settings::store()->value("etaHistory").toMap(), after);
        }
    }

    // With or without a history of 10 s for the job's 10 MiB, a fixed progress, and ticks as
    // (elapsed, smoothed estimate after it); the estimate is published only after 0.8 s.
    void estimate()
    {
        const std::tuple<bool, double, QList<QPointF>> rows[] = {
            {true, none, {{0, 10}, {0.5, 9.5}, {1, 9}}},  // history only
            {false, none, {{1, none}, {5, none}}},        // nothing to go by
            {false, 0.02, {{5, none}}},                   // under 3 %
            {false, 0.25, {{1, 3}, {10, 2.5}}},           // never rises
            {false, 0.5, {{0.6, 0.6}, {2, 0.1}, {3, 0}}}, // never below 0
            {true, 0.2, {{0.5, 9.5}, {1, 8.7}}}, // progress counts from 0.6 s, blended until two thirds
            {true, 1.0, {{4, 6}}},               // complete: the history still counts
        };
        for (const auto& [known, progress, ticks] : rows) {
            Settings::store()->setValue("etaHistory", known ? history(5, 0.5) : QVariantMap());
            const auto job = Job::create(title, QString(), 10 * 1048576);
            if (progress != none) job->setProgress(progress);
            for (const QPointF& tick : ticks) {
                job->updateEstimate(tick.x());
                QCOMPARE(job->m_smoothed.value_or(none), tick.y());
                QCOMPARE(job->remaining().value_or(none), tick.x() > 0.8 ? tick.y() : none);
            }
        }
    }

    void tickerRunsUntilFinish()
    {
        Settings::store()->setValue("etaHistory", history(10, 0));
        const auto job = Job::create(title, QString(), 0);
        job->m_started -= std::chrono::seconds(4);
        job->startEstimating(); // updates at once, then every 0.5 s until the job ends
        QTRY_VERIFY_WITH_TIMEOUT(job->remaining().value_or(10) <= 5.5, 5000);
        job->finish({}, std::nullopt);
        QVERIFY(!job->remaining() && !job->m_ticker);
    }
};

QTEST_GUILESS_MAIN(EstimateTest)
#include "test_eta.moc"
