// The times within an ASS event's override tags, moved with the event: by a speed change, and by
// a cut that starts within it. Anything that doesn't read as a timed tag stays byte for byte.

#include "engines/media/assoverrides.h"

#include <QtTest>

class AssOverridesTest : public QObject
{
    Q_OBJECT

  private slots:
    void retimed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("lead"); // seconds the cut left out of the event
        QTest::addColumn<double>("speed");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* text, double lead, double speed,
                            const char* expected) {
            QTest::newRow(name) << QString::fromUtf8(text) << lead << speed << QString::fromUtf8(expected);
        };
        // Untimed tags, positions and text, and tags outside a block or behind an escaped brace.
        const char* plain =
            R"({\pos(10,20)\an8\c&H00FF00&\fs20\clip(0,0,80,60)}Hi \N{\i1}there \fad(500,500) \{\fad(500,500)\})";
        row("untimed, cut", plain, 0.5, 1, plain);
        row("untimed, faster", plain, 0, 2, plain);

        row("fade in and out, faster, spaces kept", R"({\fad( 500 , 300 )}A)", 0, 2,
            R"({\fad( 250 , 150 )}A)");
        row("fade in, cut", R"({\fad(500,300)}A)", 0.2, 1, R"({\fad(300,300)}A)");
        row("fade of two numbers by its long name", R"({\fade(400,400)}A)", 0.1, 1, R"({\fade(300,400)}A)");
        row("fractions", R"({\fad(100.5,0)}A)", 0, 2, R"({\fad(50,0)}A)");

        row("transform with its pace and a clip, faster", R"({\t(200,1200,0.5,\clip(0,0,80,60)\frz30)}A)", 0,
            2, R"({\t(100,600,0.5,\clip(0,0,80,60)\frz30)}A)");
        row("transforms over the whole event", R"({\t(\frz30)\t(0.5,\fs40)}A)", 0.5, 2,
            R"({\t(\frz30)\t(0.5,\fs40)}A)");
        row("transform to the end", R"({\t(800,0,\frz30)}A)", 0.5, 1, R"({\t(300,0,\frz30)}A)");
        row("transform under way", R"({\t(200,1000,\frz30)}A)", 0.5, 1, R"({\t(0,500,\frz30)}A)");
        row("transform passed: its end state", R"({\an8\t(0,400,\frz30\fscx150)\b1}A)", 0.5, 1,
            R"({\an8\frz30\fscx150\b1}A)");

        row("movements over the whole event", R"({\move(0,0,10,10)}A{\move(0,0,10,10,0,0)}B)", 0.5, 2,
            R"({\move(0,0,10,10)}A{\move(0,0,10,10,0,0)}B)");
        row("movement passed: its end", R"({\move(0,0,10, 20 ,100,400)}A)", 0.5, 1, R"({\pos(10, 20 )}A)");
        row("movement under way", R"({\move(0,0,100,40,200,1200)}A)", 0.7, 1,
            R"({\move(50,20,100,40,0,500)}A)");
        // A last time of 0 would stretch the tag over the whole event.
        row("short times stay short", R"({\move(0,0,9,9,0,1)\t(0,1,\frz9)}A)", 0, 4,
            R"({\move(0,0,9,9,0,1)\t(0,1,\frz9)}A)");

        // Each syllable ends where the rounded sum of those before it and its own takes it.
        row("karaoke, faster, in step", R"({\k10}a{\k10}b{\k10}c{\k10}d)", 0, 4,
            R"({\k3}a{\k2}b{\k3}c{\k2}d)");
        row("karaoke, cut", R"({\k50}a{\kf100}b{\ko50}c{\K20}d)", 1, 1, R"({\k0}a{\kf50}b{\ko50}c{\K20}d)");
        row("karaoke of other kinds", R"({\kt50\k\k20}a)", 0, 2, R"({\kt50\k\k10}a)");

        const char* malformed =
            R"({\fad(500)\fad(a,b)\move(1,2,3)\t(100,200)\fad(-100,200)\move(0,0,1,1,-5,100)}A{\fad(500,500)";
        row("malformed, faster", malformed, 0, 2, malformed);
        row("unclosed bracket", R"({\fad(500,500)\t(0,100,\frz5}A)", 0, 2,
            R"({\fad(250,250)\t(0,100,\frz5}A)");
    }
    void retimed()
    {
        QFETCH(QString, text);
        QFETCH(double, lead);
        QFETCH(double, speed);
        QTEST(AssOverrides::retimed(text, lead, speed), "expected");
    }
};

QTEST_GUILESS_MAIN(AssOverridesTest)
#include "test_assoverrides.moc"
