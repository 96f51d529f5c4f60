// `tolvane --render-tool`: a tool window as it opens for its files, written as a PNG.

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class RenderToolTest : public QObject
{
    Q_OBJECT
  private slots:
    void renderings_data()
    {
        QTest::addColumn<QStringList>("args"); // "@" stands for a folder holding photo.jpg
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QSize>("size"); // of the PNG written; empty for none
        const QString usage = "usage: Tolvane --targets FILE… | --convert FORMAT FILE… | --tool TOOL FILE… | "
                              "--render-wheel MODE OUT.png FILE… [--highlight N] | "
                              "--render-tool TOOL OUT.png FILE…\n";
        QTest::newRow("crop") << QStringList{"--render-tool", "cropImage", "@/out.png", "@/photo.jpg"} << 0
                              << "@/out.png\n"
                              << QSize(460, 640);
        QTest::newRow("unreadable file")
            << QStringList{"--render-tool", "cropImage", "@/bad.png", "@/none.jpg"} << 0 << "@/bad.png\n"
            << QSize(460, 640);
        QTest::newRow("placeholder") << QStringList{"--render-tool", "trimVideo", "@/t.png", "@/photo.jpg"}
                                     << 0 << "@/t.png\n"
                                     << QSize(720, 600);
        QTest::newRow("windowless tool")
            << QStringList{"--render-tool", "muteVideo", "@/m.png", "@/a.mp4"} << 0 << "@/m.png\n"
            << QSize(10, 10);
        QTest::newRow("unknown tool") << QStringList{"--render-tool", "cropimage", "@/u.png", "@/photo.jpg"}
                                      << 2 << usage << QSize(0, 0);
        QTest::newRow("no file") << QStringList{"--render-tool", "cropImage", "@/n.png"} << 2 << usage
                                 << QSize(0, 0);
    }

    void renderings()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        QFETCH(QSize, size);
        QTemporaryDir dir;
        QImage photo(800, 600, QImage::Format_RGB32);
        photo.fill(QColor(0, 160, 0));
        QVERIFY(photo.save(dir.filePath("photo.jpg")));
        args.replaceInStrings("@", dir.path());
        out.replace("@", dir.path());

        QProcess p;
        p.start(TOLVANE_BIN, args);
        QVERIFY(p.waitForFinished(60000));
        QTEST(p.exitCode(), "status");
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), out);
        QVERIFY(p.readAllStandardError().isEmpty());
        const QImage png(args.value(2));
        QCOMPARE(png.size(), size);
        if (QTest::currentDataTag() == QLatin1String("crop")) {
            // The photo fills the middle of the stage; the corners show the backdrop.
            const QColor middle = png.pixelColor(230, 250);
            QVERIFY2(middle.green() > 130 && middle.red() < 40 && middle.blue() < 40,
                     qPrintable(middle.name()));
            QVERIFY(png.pixelColor(1, 1).red() > 200);
        }
    }
};

QTEST_MAIN(RenderToolTest)
#include "test_rendertool.moc"
