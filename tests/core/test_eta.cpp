#include "core/etastore.h"
#include "core/job.h"
#include "core/settings.h"

#include <QSettings>
#include <QtTest>
#include <cmath>

namespace {

const QString title = QStringLiteral("Converting to PNG");
constexpr double none = -1; // "no value" in the tables below
constexpr qint64 MiB = 1048576;

QVariantMap entry(const QVariant& base, const QVariant& perMB)
{
    QVariantMap e;
    if (base.isValid()) e["base"] = base;
    if (perMB.isValid()) e["perMB"] = perMB;
    return e;
}

void storeHistory(const QVariant& history)
{
    if (history.isValid()) Settings::store()->setValue("etaHistory", history);
}

QVariantMap storedEntry()
{
    return Settings::store()->value("etaHistory").toMap().value(title).toMap();
}

double orNone(const std::optional<double>& v)
{
    return v ? *v : none;
}

} // namespace

class EstimateTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { Settings::store()->clear(); }

    void expectedDuration_data()
    {
        QTest::addColumn<QVariant>("history");
        QTest::addColumn<double>("expected");
        QTest::newRow("no history") << QVariant() << none;
        QTest::newRow("history not a dictionary") << QVariant("10") << none;
        QTest::newRow("entry not a dictionary") << QVariant(QVariantMap{{title, 4.0}}) << none;
        QTest::newRow("perMB missing") << QVariant(QVariantMap{{title, entry(1.0, {})}}) << none;
        QTest::newRow("base not a number") << QVariant(QVariantMap{{title, entry("soon", 0.15)}}) << none;
        QTest::newRow("other title only") << QVariant(QVariantMap{{"Removing audio", entry(1.0, 1.0)}}) << none;
        QTest::newRow("base plus size") << QVariant(QVariantMap{{title, entry(0.5, 0.15)}}) << 2.0;
    }

    void expectedDuration()
    {
        QFETCH(QVariant, history);
        QFETCH(double, expected);
        storeHistory(history);
        QCOMPARE(orNone(ETAStore::expectedDuration(title, 10 * MiB)), expected);
    }

    void record_data()
    {
        QTest::addColumn<QVariant>("history");
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<double>("base");
        QTest::addColumn<double>("perMB");
        QTest::newRow("too short to learn from") << QVariant() << 10 * MiB << 0.2 << none << none;
        QTest::newRow("first run") << QVariant() << 10 * MiB << 2.0 << 0.5 << 0.15;
        QTest::newRow("malformed history starts afresh") << QVariant("x") << 10 * MiB << 2.0 << 0.5 << 0.15;
        QTest::newRow("fixed cost capped at 1 s") << QVariant() << 10 * MiB << 8.0 << 1.0 << 0.7;
        QTest::newRow("blends 40 % towards the run")
            << QVariant(QVariantMap{{title, entry(1.0, 1.0)}, {"Removing audio", entry(2.0, 2.0)}}) << 10 * MiB
            << 2.0 << 0.8 << 0.66;
        QTest::newRow("tiny input uses the 0.01 MiB floor") << QVariant() << qint64(1024) << 2.0 << 0.5 << 150.0;
        QTest::newRow("no bytes keeps perMB")
            << QVariant(QVariantMap{{title, entry(1.0, 0.3)}}) << qint64(0) << 2.0 << 0.8 << 0.3;
        QTest::newRow("no bytes, first run: no rate") << QVariant() << qint64(0) << 2.0 << 0.5 << none;
    }

    void record()
    {
        QFETCH(QVariant, history);
        QFETCH(qint64, bytes);
        QFETCH(double, seconds);
        QFETCH(double, base);
        QFETCH(double, perMB);
        storeHistory(history);
        ETAStore::record(title, bytes, seconds);
        if (base == none) {
            QVERIFY(!Settings::store()->contains("etaHistory"));
            return;
        }
        const QVariantMap e = storedEntry();
        QCOMPARE(e.value("base").toDouble(), base);
        if (history.typeId() == QMetaType::QVariantMap) // other titles are kept
            QCOMPARE(Settings::store()->value("etaHistory").toMap().keys(), history.toMap().keys());
        if (perMB == none)
            QVERIFY(!e.contains("perMB"));
        else
            QVERIFY(qFuzzyCompare(e.value("perMB").toDouble(), perMB));
    }

    // Each row: the history's duration, the job's progress and its carried smoothed value, then
    // ticks at the given elapsed times with the smoothed and published values after each.
    void updateEstimate_data()
    {
        QTest::addColumn<double>("history");
        QTest::addColumn<double>("progress");
        QTest::addColumn<double>("smoothed");
        QTest::addColumn<QList<double>>("ticks");
        QTest::addColumn<QList<double>>("smoothedAfter");
        QTest::addColumn<QList<double>>("remainingAfter");
        QTest::newRow("history only, shown after 0.8 s")
            << 10.0 << none << none << QList<double>{0, 0.5, 1.0} << QList<double>{10, 9.5, 9.0}
            << QList<double>{none, none, 9.0};
        QTest::newRow("first run from progress") << none << 0.5 << none << QList<double>{2} << QList<double>{2}
                                                 << QList<double>{2};
        QTest::newRow("nothing to go by") << none << none << none << QList<double>{1, 5} << QList<double>{none, none}
                                          << QList<double>{none, none};
        QTest::newRow("progress under 3 %") << none << 0.02 << none << QList<double>{5} << QList<double>{none}
                                            << QList<double>{none};
        QTest::newRow("never rises") << none << 0.25 << 3.0 << QList<double>{10} << QList<double>{2.5}
                                     << QList<double>{2.5};
        QTest::newRow("never below zero") << none << 0.5 << 0.3 << QList<double>{2} << QList<double>{0}
                                          << QList<double>{0};
        QTest::newRow("history leads early") << 10.0 << 0.2 << none << QList<double>{1} << QList<double>{7.5}
                                             << QList<double>{7.5};
        QTest::newRow("progress ignored before 0.6 s") << 10.0 << 0.5 << none << QList<double>{0.5}
                                                       << QList<double>{9.5} << QList<double>{none};
        QTest::newRow("complete progress uses history") << 10.0 << 1.0 << none << QList<double>{4}
                                                        << QList<double>{6} << QList<double>{6};
    }

    void updateEstimate()
    {
        QFETCH(double, history);
        QFETCH(double, progress);
        QFETCH(double, smoothed);
        QFETCH(QList<double>, ticks);
        QFETCH(QList<double>, smoothedAfter);
        QFETCH(QList<double>, remainingAfter);
        if (history != none) storeHistory(QVariantMap{{title, entry(history, 0.0)}});
        const auto job = Job::create(title, QString(), 0);
        if (progress != none) job->setProgress(progress);
        if (smoothed != none) job->m_smoothed = smoothed;
        for (qsizetype i = 0; i < ticks.size(); ++i) {
            job->updateEstimate(ticks[i]);
            QVERIFY(std::abs(orNone(job->m_smoothed) - smoothedAfter[i]) < 1e-9);
            QVERIFY(std::abs(orNone(job->remaining()) - remainingAfter[i]) < 1e-9);
        }
    }

    void tickerRunsUntilFinish()
    {
        storeHistory(QVariantMap{{title, entry(10.0, 0.0)}});
        const auto job = Job::create(title, QString(), 0);
        job->m_started -= std::chrono::seconds(4);
        job->startEstimating();
        QVERIFY(job->remaining().has_value()); // the first update runs at once
        const double first = *job->remaining();
        QTRY_VERIFY_WITH_TIMEOUT(job->remaining() && *job->remaining() <= first - 0.5, 5000);

        job->finish({}, std::nullopt);
        QVERIFY(!job->remaining());
        QVERIFY(!job->m_ticker);
        // A clean run of four seconds moved the history towards it.
        QVERIFY(std::abs(storedEntry().value("base").toDouble() - (0.4 * 1.0 + 0.6 * 10.0)) < 1e-9);
        job->updateEstimate(5);
        QVERIFY(!job->remaining());
    }
};

QTEST_GUILESS_MAIN(EstimateTest)
#include "test_eta.moc"
