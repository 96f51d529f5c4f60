// The Crop Video tool's work run for real on a lavfi clip, and its crop filter built under the C
// locale and a German one.

#include "../../../support/decimallocales.h"
#include "../../../support/probedclip.h"
#include "core/job.h"
#include "tools/video/crop/cropvideowork.h"

#include <QTemporaryDir>
#include <QtTest>

class CropVideoWorkTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    Job m_job{{}, {}, 0};

    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void initTestCase()
    {
        // 640 × 360 at 30 fps with sound, 3 s.
        QVERIFY(makeTrip(path("Trip.mp4")));
    }

    void crop()
    {
        const QString crop =
            ToolOps::cropVideo(path("Trip.mp4"), QRectF(0.25, 0.25, 0.5, 0.5), m_job, {}).value(0);
        QCOMPARE(crop, path("Trip Cropped.mp4"));
        QCOMPARE(QSize(ffprobe(crop).width, ffprobe(crop).height), QSize(320, 180));
    }

    void cropFilter_data() { decimalLocaleRows(); }
    void cropFilter()
    {
        const RowLocale locale;
        QVERIFY(locale.isSet());
        QCOMPARE(CropVideoWork::cropFilter(QRectF(0, 0, 1, 1)),
                 "crop=trunc(iw*1.00000/2)*2:trunc(ih*1.00000/2)*2:trunc(iw*0.00000):trunc(ih*0.00000)");
    }
};

QTEST_GUILESS_MAIN(CropVideoWorkTest)
#include "test_cropvideowork.moc"
