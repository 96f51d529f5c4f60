#include "core/converterror.h"

#include <QtTest>

class ConvertErrorTest : public QObject
{
    Q_OBJECT
  private slots:
    void descriptions()
    {
        QCOMPARE(ConvertError::failed("Nothing was written").description(), QString("Nothing was written"));
        QCOMPARE(ConvertError::cancelled().description(), QString("Cancelled"));
        QVERIFY(ConvertError::cancelled().isCancelled());
        const std::exception& e = ConvertError::missingTool("This needs ffmpeg.");
        QCOMPARE(errorDescription(e), QString("This needs ffmpeg."));
        QCOMPARE(QString::fromUtf8(e.what()), QString("This needs ffmpeg."));
    }
};

QTEST_GUILESS_MAIN(ConvertErrorTest)
#include "test_converterror.moc"
