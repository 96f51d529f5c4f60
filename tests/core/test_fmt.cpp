#include "core/fmt.h"

#include <QtTest>

#include <cmath>
#include <limits>

class FmtTest : public QObject
{
    Q_OBJECT
  private slots:
    // Minutes never roll into hours; a fraction that rounds to 100 carries into the seconds; what
    // is negative, not finite or beyond exact doubles is held in range.
    void time()
    {
        const double infinity = std::numeric_limits<double>::infinity();
        const std::tuple<double, QString, QString> rows[] = {
            {65.4, "1:05", "1:05.40"},
            {3725, "62:05", "62:05.00"},
            {59.999, "0:59", "1:00.00"},
            {-3, "0:00", "0:00.00"},
            {std::nan(""), "0:00", "0:00"},
            {infinity, "0:00", "0:00"},
            {1e300, "150119987579016:32", "150119987579016:32.00"},
            {9007199254740991.0, "150119987579016:31", "150119987579016:31.00"},
        };
        for (const auto& [seconds, plain, withFraction] : rows) {
            QCOMPARE(Fmt::time(seconds, false), plain);
            QCOMPARE(Fmt::time(seconds, true), withFraction);
        }
    }

    void byteCount()
    {
        const std::pair<qint64, QString> rows[] = {
            {0, "Zero KB"},          {1, "1 KB"},           {310'400, "310 KB"},
            {999'600, "1 MB"},       {2'340'000, "2.3 MB"}, {1'250'000'000, "1.25 GB"},
            {3'000'000'000, "3 GB"},
        };
        for (const auto& [bytes, text] : rows)
            QCOMPARE(Fmt::byteCount(bytes), text);
    }

    // A link counts as itself, not as what it points to; a missing file as nothing.
    void fileSize()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("data.bin"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(1 << 20, 'x')) == 1 << 20);
        file.close();
        QVERIFY(QFile::link(file.fileName(), dir.filePath("link")));
        QCOMPARE(Fmt::fileSize(file.fileName()), qint64(1 << 20));
        QCOMPARE(Fmt::fileSize(dir.filePath("missing")), qint64(0));
        QCOMPARE(Fmt::fileSize(dir.filePath("link")), qint64(QFile::encodeName(file.fileName()).size()));
    }
};

QTEST_GUILESS_MAIN(FmtTest)
#include "test_fmt.moc"
