// Work shared out in bands of rows: every row once, and no wait for a thread that never comes.

#include "toolkit/pools.h"

#include <QTest>
#include <atomic>
#include <vector>

class PoolsTest : public QObject
{
    Q_OBJECT
  private slots:
    void bandsCoverEveryRowOnceEvenFromInsideABusyPool()
    {
        QThreadPool pool;
        pool.setMaxThreadCount(3);
        std::vector<std::atomic<int>> seen(1001);
        std::atomic<bool> done{false};
        // Every thread of the pool is inside a call that shares out work on that same pool.
        for (int caller = 0; caller < 3; ++caller)
            pool.start([&, caller] {
                Pools::forBands(pool, 1001, 7, [&](int first, int end) {
                    QVERIFY(end - first <= 7 && first < end);
                    if (caller == 0)
                        for (int i = first; i < end; ++i)
                            ++seen[i];
                });
                if (caller == 0) done = true;
            });
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), 60000);
        QVERIFY(pool.waitForDone(60000));
        for (const std::atomic<int>& n : seen)
            QCOMPARE(n.load(), 1);
        int calls = 0;
        Pools::forBands(pool, 0, 7, [&](int, int) { ++calls; });
        QCOMPARE(calls, 0);
    }
};

QTEST_GUILESS_MAIN(PoolsTest)
#include "test_pools.moc"
