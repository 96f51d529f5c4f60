#include "core/fmt.h"

#include <QtTest>

#include <cmath>
#include <limits>

class FmtTest : public QObject
{
    Q_OBJECT
  private slots:
    void time_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("withFraction");
        const double infinity = std::numeric_limits<double>::infinity();
        QTest::newRow("zero") << 0.0 << "0:00"
                              << "0:00.00";
        QTest::newRow("minute") << 65.4 << "1:05"
                                << "1:05.40";
        QTest::newRow("no hours") << 3725.0 << "62:05"
                                  << "62:05.00";
        QTest::newRow("fraction dropped") << 59.9 << "0:59"
                                          << "0:59.90";
        QTest::newRow("rounds up to the minute") << 59.999 << "0:59"
                                                 << "1:00.00";
        QTest::newRow("negative") << -3.0 << "0:00"
                                  << "0:00.00";
        QTest::newRow("not a number") << std::nan("") << "0:00"
                                      << "0:00";
        QTest::newRow("infinity") << infinity << "0:00"
                                  << "0:00";
        QTest::newRow("minus infinity") << -infinity << "0:00"
                                        << "0:00";
        QTest::newRow("huge") << 1e300 << "150119987579016:32"
                              << "150119987579016:32.00";
        QTest::newRow("just below the bound") << 9007199254740991.0 << "150119987579016:31"
                                              << "150119987579016:31.00";
    }

    void time()
    {
        QFETCH(double, seconds);
        QFETCH(QString, plain);
        QFETCH(QString, withFraction);
        QCOMPARE(Fmt::time(seconds, false), plain);
        QCOMPARE(Fmt::time(seconds, true), withFraction);
    }

    void byteCount_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << qint64(0) << "Zero KB";
        QTest::newRow("one byte") << qint64(1) << "1 KB";
        QTest::newRow("kilobytes") << qint64(310'400) << "310 KB";
        QTest::newRow("rounds into megabytes") << qint64(999'600) << "1 MB";
        QTest::newRow("megabytes") << qint64(2'340'000) << "2.3 MB";
        QTest::newRow("gigabytes") << qint64(1'250'000'000) << "1.25 GB";
        QTest::newRow("whole gigabytes") << qint64(3'000'000'000) << "3 GB";
    }

    void byteCount()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(Fmt::byteCount(bytes), text);
    }

    void fileSize()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile file(dir.filePath("data.bin"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(QByteArray(1 << 20, 'x')), qint64(1 << 20));
        file.close();
        QVERIFY(QFile::link(file.fileName(), dir.filePath("link")));

        QCOMPARE(Fmt::fileSize(file.fileName()), qint64(1 << 20));
        QCOMPARE(Fmt::fileSize(dir.filePath("missing")), qint64(0));
        QCOMPARE(Fmt::fileSize(dir.filePath("link")), qint64(QFile::encodeName(file.fileName()).size()));
        QVERIFY(Fmt::fileSize(dir.path()) < qint64(1 << 20));
    }
};

QTEST_GUILESS_MAIN(FmtTest)
#include "test_fmt.moc"
