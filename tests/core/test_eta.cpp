#include "core/etastore.h"
#include "core/job.h"
#include "core/settings.h"

#include <QtTest>

namespace {

const QString title = QStringLiteral("Converting to PNG");
constexpr double none = -1; // "no value" in the tables below

} // namespace

class EstimateTest : public QObject
{
    Q_OBJECT
    static QVariantMap entry(double base, double perMB = none)
    {
        return perMB == none ? QVariantMap{{"base", base}} : QVariantMap{{"base", base}, {"perMB", perMB}};
    }
    static QVariantMap history(double base, double perMB = none) { return {{title, entry(base, perMB)}}; }

private slots:
    // The history after a run of the given mebibytes and seconds.
    void record_data()
    {
        QTest::addColumn<QVariant>("before");
        QTest::addColumn<QPointF>("run");
        QTest::addColumn<QVariantMap>("after");
        QTest::newRow("too short") << QVariant() << QPointF(10, 0.2) << QVariantMap();
        QTest::newRow("first, malformed") << QVariant("x") << QPointF(10, 2) << history(0.5, 0.15);
        // Other titles are kept as they are.
        QTest::newRow("blend, cap") << QVariant(QVariantMap{{title, entry(1, 0.5)}, {"Other", 2}})
                                    << QPointF(10, 8) << QVariantMap{{title, entry(1, 0.58)}, {"Other", 2}};
        QTest::newRow("0.01 MiB floor") << QVariant() << QPointF(1.0 / 1024, 2) << history(0.5, 150);
        // A run without input bytes says nothing about the cost per mebibyte.
        QTest::newRow("no bytes") << QVariant(history(1, 0.3)) << QPointF(0, 2) << history(0.8, 0.3);
        QTest::newRow("no bytes, no rate") << QVariant(history(1)) << QPointF(0, 2) << history(0.8);
    }

    void record()
    {
        QFETCH(QVariant, before);
        QFETCH(QPointF, run);
        QFETCH(QVariantMap, after);
        Settings::store()->setValue("etaHistory", before);
        ETAStore::record(title, qint64(run.x() * 1048576), run.y());
        QCOMPARE(Settings::store()->value("etaHistory").toMap(), after);
    }

    // With or without a history of 10 s for the job's 10 MiB, a fixed progress, and ticks as
    // (elapsed, smoothed estimate after it); the estimate is published only after 0.8 s.
    void estimate_data()
    {
        QTest::addColumn<bool>("history");
        QTest::addColumn<double>("progress");
        QTest::addColumn<QList<QPointF>>("ticks");
        QTest::newRow("history only") << true << none << QList<QPointF>{{0, 10}, {0.5, 9.5}, {1, 9}};
        QTest::newRow("first run") << false << 0.5 << QList<QPointF>{{2, 2}};
        QTest::newRow("nothing to go by") << false << none << QList<QPointF>{{1, none}, {5, none}};
        QTest::newRow("under 3 %") << false << 0.02 << QList<QPointF>{{5, none}};
        QTest::newRow("never rises") << false << 0.25 << QList<QPointF>{{1, 3}, {10, 2.5}};
        QTest::newRow("never below 0") << false << 0.5 << QList<QPointF>{{0.6, 0.6}, {2, 0.1}, {3, 0}};
        // Progress counts from 0.6 s on, blended with the history until two thirds.
        QTest::newRow("history leads early") << true << 0.2 << QList<QPointF>{{0.5, 9.5}, {1, 8.7}};
        QTest::newRow("complete: history") << true << 1.0 << QList<QPointF>{{4, 6}};
    }

    void estimate()
    {
        QFETCH(bool, history);
        QFETCH(double, progress);
        QFETCH(QList<QPointF>, ticks);
        Settings::store()->setValue("etaHistory", history ? EstimateTest::history(5, 0.5) : QVariantMap());
        const auto job = Job::create(title, QString(), 10 * 1048576);
        if (progress != none) job->setProgress(progress);
        for (const QPointF& tick : ticks) {
            job->updateEstimate(tick.x());
            QCOMPARE(job->m_smoothed.value_or(none), tick.y());
            QCOMPARE(job->remaining().value_or(none), tick.x() > 0.8 ? tick.y() : none);
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
