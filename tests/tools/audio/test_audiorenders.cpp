// `tolvane --render-tool` draws each audio window at its size once its file has loaded: the
// same file name with sound instead of silence changes the waveform's many pixels.

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "../../support/audiofixtures.h"

namespace {

// The window drawn for `file`, or a null image.
QImage render(const QString& tool, const QString& file, const QString& png)
{
    QProcess p;
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(QStringLiteral(TOLVANE_BIN), {"--render-tool", tool, png, file});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) return QImage();
    return QImage(png);
}

int differing(const QImage& a, const QImage& b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

} // namespace

class AudioRendersTest : public QObject
{
    Q_OBJECT
  private slots:
    void drawnWithTheirWaveform_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("waveform");
        QTest::newRow("trim") << "trimAudio" << QSize(640, 420) << true;
        QTest::newRow("bleep") << "redactAudio" << QSize(700, 470) << true;
        QTest::newRow("channels") << "audioChannels" << QSize(560, 470) << true;
        QTest::newRow("normalize") << "normalizeAudio" << QSize(460, 340) << false;
        QTest::newRow("visualizer") << "audioToVideo" << QSize(560, 560) << true;
    }
    void drawnWithTheirWaveform()
    {
        QFETCH(QString, tool);
        QFETCH(QSize, size);
        QFETCH(bool, waveform);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("loud") && QDir(dir.path()).mkpath("quiet"));
        QVERIFY(makeAudio(dir.filePath("loud/song.mp3"), "sine=f=440:d=3", {"-ac", "2"}));
        QVERIFY(makeAudio(dir.filePath("quiet/song.mp3"), "anullsrc=cl=stereo", {"-t", "3"}));
        const QImage loud = render(tool, dir.filePath("loud/song.mp3"), dir.filePath("loud.png"));
        const QImage quiet = render(tool, dir.filePath("quiet/song.mp3"), dir.filePath("quiet.png"));
        QCOMPARE(loud.size(), size);
        QCOMPARE(quiet.size(), size);
        const int changed = differing(loud, quiet);
        if (waveform)
            QVERIFY2(changed > 3000, qPrintable(QString::number(changed)));
        else
            QCOMPARE(changed, 0);
    }
};

QTEST_MAIN(AudioRendersTest)
#include "test_audiorenders.moc"
