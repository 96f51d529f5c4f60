#include "engines/image/imageengine.h"

#include "core/zip.h"

#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// Image conversions as the command line runs them.
class ImageCliTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Runs the program with `args`; its standard output, or a failure naming the exit status.
    QString tolvane(const QStringList& args)
    {
        QProcess p;
        p.start(TOLVANE_BIN, args);
        if (!p.waitForFinished(120000)) return "did not finish";
        const QString out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        return p.exitCode() == 0 ? out : QString("exit %1: %2").arg(p.exitCode()).arg(out);
    }

  private slots:
    void heicToPng()
    {
        QImage photo(90, 60, QImage::Format_RGB32);
        photo.fill(QColor(30, 140, 60));
        ImageEngine::write(photo, path("photo.heic"), "heic", {}, 0.9, 72);
        QCOMPARE(tolvane({"--convert", "png", path("photo.heic")}).section("  (", 0, 0),
                 QString("✓ photo.heic → photo.png"));
        const QImage png(path("photo.png"));
        QCOMPARE(png.size(), QSize(90, 60));
        const QColor c = png.pixelColor(45, 30);
        QVERIFY2(std::abs(c.green() - 140) < 12 && std::abs(c.red() - 30) < 12, qPrintable(c.name()));
    }

    void scanToDocx()
    {
        QImage scan(1200, 400, QImage::Format_RGB32);
        scan.fill(Qt::white);
        QPainter p(&scan);
        QFont font("DejaVu Sans");
        font.setPixelSize(44);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(60, 150, "Invoice number 4711");
        p.drawText(60, 210, "Total due & payable");
        p.end();
        QVERIFY(scan.save(path("scan.png")));

        QCOMPARE(tolvane({"--convert", "docx", path("scan.png")}).section("  (", 0, 0),
                 QString("✓ scan.png → scan.docx"));
        const ScratchFolder unpacked = Zip::extract(path("scan.docx"));
        QFile xml(unpacked.file("word/document.xml"));
        QVERIFY(xml.open(QIODevice::ReadOnly));
        const QByteArray document = xml.readAll();
        QVERIFY2(document.contains("Invoice number 4711</w:t>") &&
                     document.contains("Total due &amp; payable</w:t>"),
                 document.constData());

        // A word processor reads the same two lines back.
        const QString soffice = QStandardPaths::findExecutable("soffice");
        if (soffice.isEmpty()) QSKIP("LibreOffice is not installed");
        QProcess lo;
        lo.start(soffice, {"-env:UserInstallation=file://" + path("profile"), "--headless", "--convert-to",
                           "txt", "--outdir", path("txt"), path("scan.docx")});
        QVERIFY(lo.waitForFinished(120000));
        QFile txt(path("txt/scan.txt"));
        QVERIFY(txt.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(txt.readAll())
                     .remove(QChar(0xFEFF))
                     .trimmed()
                     .split(QRegularExpression("\\s*\\n\\s*")),
                 (QStringList{"Invoice number 4711", "Total due & payable"}));
    }
};

QTEST_MAIN(ImageCliTest)
#include "test_imagecli.moc"
