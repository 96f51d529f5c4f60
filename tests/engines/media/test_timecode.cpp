// A timecode moved on by a number of frames, as cameras count them: across a second, a minute
// whose first frame numbers drop-frame timecode skips, a tenth minute that keeps them, and midnight.

#include "engines/media/timecode.h"

#include <QtTest>

class TimecodeTest : public QObject
{
    Q_OBJECT

  private slots:
    void advanced_data()
    {
        QTest::addColumn<QString>("timecode");
        QTest::addColumn<double>("fps");
        QTest::addColumn<qint64>("frames");
        QTest::addColumn<QString>("expected"); // empty: no timecode
        const auto row = [](const char* name, const char* timecode, double fps, qint64 frames,
                            const char* expected) {
            QTest::newRow(name) << QString(timecode) << fps << frames << QString(expected);
        };
        row("within a second", "10:00:00:00", 25, 49, "10:00:01:24");
        row("past midnight", "23:59:59:24", 25, 1, "00:00:00:00");
        row("back past midnight", "00:00:00:00", 25, -1, "23:59:59:24");
        row("30 counted whole", "00:00:59:29", 29.97, 1, "00:01:00:00");
        row("drop-frame minute", "00:00:59;29", 29.97, 1, "00:01:00;02");
        row("drop-frame tenth minute", "00:09:59;29", 29.97, 1, "00:10:00;00");
        row("drop-frame ten on", "01:00:59;28", 29.97, 10, "01:01:00;10");
        row("drop-frame back", "00:01:00;02", 29.97, -1, "00:00:59;29");
        row("drop-frame an hour", "00:00:00;00", 30000.0 / 1001, 107892, "01:00:00;00");
        row("drop-frame at 59.94", "00:00:59;59", 59.94, 1, "00:01:00;04");
        row("not a timecode", "10:00", 25, 1, "");
        row("no rate", "10:00:00:00", 0, 1, "");
    }
    void advanced()
    {
        QFETCH(QString, timecode);
        QFETCH(double, fps);
        QFETCH(qint64, frames);
        QFETCH(QString, expected);
        QCOMPARE(Timecode::advanced(timecode, fps, frames).value_or(QString()), expected);
    }
};

QTEST_GUILESS_MAIN(TimecodeTest)
#include "test_timecode.moc"
