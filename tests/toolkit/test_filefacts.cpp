// Facts read per file off the main thread: published all at once, in the files' order, on the
// main thread; a newer request drops an older one, and a reader that is gone publishes nothing.

#include "toolkit/filefacts.h"

#include <QMutex>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <stdexcept>

namespace {

// A read that logs the files it was asked for and the threads it ran on, and holds back on
// the files named in `held` until the gate lets it through.
struct Reads
{
    QMutex lock;
    QStringList files;
    QList<QThread*> threads;
    QSemaphore gate;
    QStringList held;

    FileFacts<QString>::Read read()
    {
        return [this](const QString& file) {
            {
                const QMutexLocker locked(&lock);
                files << file;
                threads << QThread::currentThread();
            }
            if (held.contains(file)) gate.acquire();
            if (file == QLatin1String("broken")) throw std::runtime_error("unreadable");
            return file.toUpper();
        };
    }
    QStringList asked()
    {
        const QMutexLocker locked(&lock);
        return files;
    }
};

// Threads are given this long at most to come round.
constexpr int limitMs = 60000;

} // namespace

class FileFactsTest : public QObject
{
    Q_OBJECT
  private slots:
    void arriveTogetherInOrderOnTheMainThread()
    {
        QThreadPool pool;
        Reads reads;
        reads.held = {"c"};
        FileFacts<QString> facts(reads.read(), pool);
        QSignalSpy published(&facts, &FactReader::published);
        QSignalSpy settled(&facts, &ViewSource::settled);
        QList<QThread*> publishedOn;
        connect(&facts, &FactReader::published, this, [&] { publishedOn << QThread::currentThread(); });

        facts.request({"b", "a", "broken", "b", "c"});
        QTRY_VERIFY_WITH_TIMEOUT(reads.asked().size() >= 4, limitMs);
        QCOMPARE(reads.asked().size(), 4); // held at c, with b, a and broken read
        QCoreApplication::processEvents();
        QVERIFY(!facts.isSettled());
        QCOMPARE(published.count(), 0);
        QVERIFY(!facts.fact("a"));

        reads.gate.release();
        QTRY_VERIFY_WITH_TIMEOUT(published.count() > 0, limitMs);
        QVERIFY(pool.waitForDone(limitMs));
        QCoreApplication::processEvents();
        QCOMPARE(published.count(), 1);
        QCOMPARE(settled.count(), 1);
        QVERIFY(facts.isSettled());
        QCOMPARE(publishedOn, QList<QThread*>{QThread::currentThread()});
        QCOMPARE(facts.files(), (QStringList{"b", "a", "broken", "b", "c"}));
        // A file listed twice is read once; a read that throws gives an empty fact.
        QCOMPARE(facts.facts(), (QList<QString>{"B", "A", "", "B", "C"}));
        QCOMPARE(reads.asked(), (QStringList{"b", "a", "broken", "c"}));
        QCOMPARE(facts.fact("a"), std::optional<QString>("A"));
        for (QThread* thread : reads.threads)
            QVERIFY(thread != QThread::currentThread());
    }

    // The older request stops at its next file and is never published; the reader stays settled
    // once it has been.
    void aNewerRequestSupersedesAnOlderOne()
    {
        QThreadPool pool;
        Reads reads;
        reads.held = {"old", "new"};
        FileFacts<QString> facts(reads.read(), pool);
        QSignalSpy published(&facts, &FactReader::published);

        facts.request({"old", "older"});
        QTRY_COMPARE_WITH_TIMEOUT(reads.asked(), QStringList{"old"}, limitMs);
        facts.request({"new"});
        reads.gate.release(2);
        QTRY_VERIFY_WITH_TIMEOUT(published.count() > 0, limitMs);
        QVERIFY(pool.waitForDone(limitMs));
        QCoreApplication::processEvents();
        QCOMPARE(published.count(), 1);
        QCOMPARE(facts.files(), QStringList{"new"});
        QCOMPARE(facts.facts(), QList<QString>{"NEW"});
        QVERIFY(!facts.fact("old"));
        QCOMPARE(reads.asked(), (QStringList{"old", "new"}));

        facts.request({"new", "other"});
        QVERIFY(facts.isSettled());
        reads.gate.release();
        QTRY_VERIFY_WITH_TIMEOUT(published.count() > 1, limitMs);
        QCOMPARE(facts.facts(), (QList<QString>{"NEW", "OTHER"}));
    }

    void aReaderThatIsGoneStopsAndPublishesNothing()
    {
        QThreadPool pool;
        Reads reads;
        reads.held = {"first"};
        int published = 0;
        auto* owner = new QObject;
        auto* facts = new FileFacts<QString>(reads.read(), pool, owner);
        connect(facts, &FactReader::published, this, [&] { ++published; });
        facts->request({"first", "second"});
        QTRY_COMPARE_WITH_TIMEOUT(reads.asked(), QStringList{"first"}, limitMs);
        delete owner;
        reads.gate.release();
        QVERIFY(pool.waitForDone(limitMs));
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(published, 0);
        QCOMPARE(reads.asked(), QStringList{"first"});
    }
};

QTEST_MAIN(FileFactsTest)
#include "test_filefacts.moc"
