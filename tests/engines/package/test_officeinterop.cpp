#include "engines/package/ooxml.h"

#include "core/iwork.h"
#include "core/scratchfolder.h"
#include "core/shell.h"

#include <QBuffer>
#include <QImage>
#include <QRegularExpression>
#include <QUrl>
#include <QtTest>

// The packages the writers make, opened by the real LibreOffice.
class OfficeInteropTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    static QByteArray readAll(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

  private slots:
    void initTestCase()
    {
        if (!Shell::find("soffice")) QSKIP("LibreOffice is not installed");
    }

    // The first sheet as LibreOffice writes it to CSV (text quoted, numbers not) equals the input,
    // also the identifier of 19 digits, the spaces, the line break and the tab.
    void sheetsToCsv()
    {
        const QList<Sheet> sheets{{"Data",
                                   {{"Name", "Count", "Code", "Note"},
                                    {"Ada", "42", "007", "x<y & \"z\""},
                                    {"Bob", "-3", "1234567890123456789", "a  b"},
                                    {"Cy", "0.5", "1,5", "line1\nline2"},
                                    {"", "", "", "  end "},
                                    {"tab\there", "100000", "", "ünï 😀"}}},
                                  {"Other", {{"z"}}}};
        OOXML::writeXLSX(sheets, m_dir.filePath("book-x.xlsx"));
        OOXML::writeODS(sheets, m_dir.filePath("book-o.ods"));

        const ScratchFolder profile, out;
        const Shell::Result result =
            Shell::run(*Shell::find("soffice"),
                       {"--headless", "--norestore", "--nologo", "--nolockcheck",
                        "-env:UserInstallation=" + QUrl::fromLocalFile(profile.path()).toString(),
                        "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1", "--outdir", out.path(),
                        m_dir.filePath("book-x.xlsx"), m_dir.filePath("book-o.ods")},
                       std::nullopt, nullptr, {}, std::chrono::minutes(3));
        QCOMPARE(result.status, 0);
        const QByteArray expected = "\"Name\",\"Count\",\"Code\",\"Note\"\n"
                                    "\"Ada\",42,\"007\",\"x<y & \"\"z\"\"\"\n"
                                    "\"Bob\",-3,\"1234567890123456789\",\"a  b\"\n"
                                    "\"Cy\",0.5,\"1,5\",\"line1\nline2\"\n"
                                    ",,,\"  end \"\n"
                                    "\"tab\there\",100000,,\"ünï 😀\"\n";
        QCOMPARE(readAll(out.file("book-x.csv")), expected);
        QCOMPARE(readAll(out.file("book-o.csv")), expected);
    }

    // One PDF page per slide, each of the slide's size.
    void slidesToPdf()
    {
        QList<QByteArray> slides;
        for (const QSize size : {QSize(400, 300), QSize(300, 400), QSize(100, 100)}) {
            QImage image(size, QImage::Format_RGB32);
            image.fill(Qt::darkMagenta);
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            slides << buffer.data();
        }
        const QString deck = m_dir.filePath("deck.pptx"), pdf = m_dir.filePath("deck.pdf");
        OOXML::writePPTX(slides, QSizeF(612, 792), deck);
        IWork::export_(IWork::App::keynote, deck, pdf, QString("PDF"), std::nullopt, nullptr);

        const QString text = QString::fromLatin1(readAll(pdf));
        QCOMPARE(text.count(QRegularExpression("/Type\\s*/Page\\b(?!s)")), 3);
        QCOMPARE(text.count(QRegularExpression("/MediaBox\\s*\\[\\s*0 0 612 792\\s*\\]")),
                 text.count("/MediaBox"));
    }
};

QTEST_GUILESS_MAIN(OfficeInteropTest)
#include "test_officeinterop.moc"
