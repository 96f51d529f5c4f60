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

    // With or without a history of 10 s for the job's 10 MiB, ticks as (elapsed, progress reported
    // before it, smoothed estimate after it); the estimate is published only after 0.8 s, and the
    // progress rate is measured from the first tick that may use it, over a second at least.
    void estimate()
    {
        struct Tick
        {
            double elapsed, progress, smoothed;
        };
        const std::pair<bool, QList<Tick>> rows[] = {
            {true, {{0, none, 10}, {0.5, none, 9.5}, {1, none, 9}}},      // history only
            {false, {{1, none, none}, {5, none, none}}},                  // nothing to go by
            {false, {{5, 0.02, none}}},                                   // under 3 %
            {false, {{1, 0.25, none}, {2, 0.5, 2}}},                      // a second after 25 %
            {false, {{1, 0.25, none}, {2, 0.5, 2}, {3, 0.52, 1.5}}},      // never rises
            {false, {{0.6, 0.5, none}, {1.6, 0.9, 0.25}, {2.1, 0.9, 0}}}, // never below 0
            {false, {{1, 0.2, none}, {3, 0.2, none}}},                    // no rate while it stands still
            // Progress counts from 0.6 s, blended with the history until two thirds.
            {true, {{0.5, 0.2, 9.5}, {1, 0.2, 9}, {2, 0.4, 7.4}}},
            {true, {{4, 1.0, 6}}}, // complete: the history still counts
        };
        for (const auto& [known, ticks] : rows) {
            Settings::store()->setValue("etaHistory", known ? history(5, 0.5) : QVariantMap());
            const auto job = Job::create(title, QString(), 10 * 1048576);
            for (const Tick& tick : ticks) {
                if (tick.progress != none) job->setProgress(tick.progress);
                job->updateEstimate(tick.elapsed);
                QCOMPARE(job->m_smoothed.value_or(none), tick.smoothed);
                QCOMPARE(job->remaining().value_or(none), tick.elapsed > 0.8 ? tick.smoothed : none);
            }
        }
    }

    // Progress recorded from ffmpeg compressing a 10 s 1080p clip with sound to HEVC, as
    // (seconds since the start, fraction): the sound runs ahead while the encoder fills its
    // look-ahead, so 12 % shows at 0.7 s of a 15.7 s run. Played to the estimate every 0.5 s, the
    // panel must not say "Almost done" (under 5 s) while 7 s or more are really left.
    void leapAtTheStart()
    {
        const QList<QPointF> reports{
            {0.16, 0.023},  {0.66, 0.116},  {1.17, 0.135},  {1.66, 0.169},  {2.25, 0.200},  {2.77, 0.234},
            {3.28, 0.271},  {3.80, 0.309},  {4.32, 0.346},  {4.83, 0.378},  {5.39, 0.415},  {5.93, 0.455},
            {6.48, 0.492},  {7.01, 0.524},  {7.56, 0.568},  {8.14, 0.601},  {8.64, 0.631},  {9.16, 0.666},
            {9.72, 0.705},  {10.25, 0.742}, {10.80, 0.782}, {11.34, 0.821}, {11.87, 0.858}, {12.40, 0.898},
            {13.01, 0.930}, {13.55, 0.965}, {14.12, 0.990}};
        const double end = 15.67;
        Settings::store()->setValue("etaHistory", QVariantMap());
        const auto job = Job::create(title, QString(), 10 * 1048576);
        qsizetype next = 0;
        bool shown = false;
        for (double t = 0; t < end; t += 0.5) {
            for (; next < reports.size() && reports[next].x() <= t; ++next)
                job->setProgress(reports[next].y());
            job->updateEstimate(t);
            shown = shown || job->remaining();
            if (end - t >= 7)
                QVERIFY2(job->remaining().value_or(5) >= 5,
                         qPrintable(QString("%1 s left at %2 s").arg(*job->remaining()).arg(t)));
        }
        QVERIFY(shown && job->remaining() < 5);
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
