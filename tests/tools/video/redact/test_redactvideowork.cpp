// The Redact Video tool's filter graph and arguments, built under the C locale and a German one.
// Its work on a real clip is tested with the other video tools' (test_videowork).

#include "../../../support/decimallocales.h"
#include "tools/video/redact/redactvideowork.h"

#include <QtTest>

class RedactVideoWorkTest : public QObject
{
    Q_OBJECT

  private slots:
    void graphAndArguments_data() { decimalLocaleRows(); }
    void graphAndArguments()
    {
        const RowLocale locale;
        QVERIFY(locale.isSet());
        const QRectF box(0.1, 0.2, 0.3, 0.4);
        const QString blur = "boxblur=luma_radius='min(20,min(w,h)/2)':luma_power=4:"
                             "chroma_radius='min(20,min(cw,ch)/2)':chroma_power=4";
        QCOMPARE(
            RedactVideoWork::redactGraph({box}, RedactStyle::blur, std::nullopt),
            "[0:v:0]split[b0][c0];[c0]crop=trunc(iw*0.30000/2)*2:trunc(ih*0.40000/2)*2:trunc(iw*0.10000):"
            "trunc(ih*0.20000)," +
                blur + "[e0];[b0][e0]overlay=trunc(W*0.10000):trunc(H*0.20000)[s0]");
        const QString ranged = RedactVideoWork::redactGraph({box, box}, RedactStyle::black, TimeRange{2, 5});
        QCOMPARE(ranged.count(":enable='between(t,2.000,5.000)'"), 2);
        QVERIFY(ranged.contains(";[s0]drawbox=x=trunc(iw*0.10000):y=trunc(ih*0.20000):"));
        const QStringList redact =
            RedactVideoWork::args("s.mp4", {box, box}, RedactStyle::white, {}, "mp4", "o");
        QCOMPARE(redact[redact.indexOf("[s1]") - 1], "-map");
        QCOMPARE(redact[redact.indexOf("-map_metadata") + 1], "-1");
    }
};

QTEST_GUILESS_MAIN(RedactVideoWorkTest)
#include "test_redactvideowork.moc"
