#include "engines/heavy/pdfconvert.h"
#include "engines/pdftext/pdftextmodule.h"

#include "core/settings.h"
#include "core/zip.h"

#include "../../support/enginefixtures_a.h"
#include "../../support/minipdf.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

using namespace Fixture;

namespace {

const QRectF letter(0, 0, 612, 792);

// Three letter pages: a short note, a title, a hyphenated paragraph, a bold heading and two
// bullets; a blank page; a second title over a small table and a line of single spaces.
QList<MiniPdf::Page> report()
{
    const QByteArray first =
        MiniPdf::text("F1", 11, 72, 740, "Prepared for the board.") +
        MiniPdf::text("F1", 22, 72, 700, "Annual Report") +
        MiniPdf::text("F1", 11, 72, 670,
                      "Sales grew in every region this year, and the team shipped the new-") +
        MiniPdf::text("F1", 11, 72, 656, "found product line ahead of plan.") +
        MiniPdf::text("F2", 11, 72, 630, "Highlights") +
        MiniPdf::text("F1", 11, 72, 610, "\\267 Revenue up") +
        MiniPdf::text("F1", 11, 72, 596, "\\267 Costs down");
    QByteArray third = MiniPdf::text("F1", 22, 72, 720, "Second Chapter");
    const QList<QList<QByteArray>> table{{"Item", "Qty", "Price"}, {"Apples", "3", "1.50"}};
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            third += MiniPdf::text("F1", 11, 72 + 128 * c, 690 - 14 * r, table[r][c]);
    third += MiniPdf::text("F1", 11, 72, 650, "Total due now");
    return {{letter, 0, first}, {letter, 0, ""}, {letter, 0, third}};
}

// The cells of each row of a worksheet's XML, in order.
QList<QStringList> cells(const QString& xml)
{
    QList<QStringList> rows;
    QRegularExpression row("<row[^>]*>(.*?)</row>"), cell("<(?:v|t[^>]*)>([^<]*)</");
    for (auto r = row.globalMatch(xml); r.hasNext();) {
        QStringList texts;
        for (auto c = cell.globalMatch(r.next().captured(1)); c.hasNext();)
            texts << c.next().captured(1);
        rows << texts;
    }
    return rows;
}

} // namespace

class PdfConvertTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QStringList convert(
        const QString& target, Job* job = nullptr,
        const std::function<void(double)>& progress = [](double) {})
    {
        Job own({}, {}, 0);
        return PDFEngine::convert(path("Report.pdf"), target, job ? *job : own, progress);
    }

  private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        QVERIFY(MiniPdf::write(path("Report.pdf"), report()));
        Settings::shared().setPdfDPI(36);
    }

    void text()
    {
        QList<double> progress;
        QCOMPARE(convert("txt", nullptr, [&](double p) { progress << p; }), QStringList{path("Report.txt")});
        QCOMPARE(progress, (QList<double>{1 / 3.0, 2 / 3.0, 1}));
        const QString text = read(path("Report.txt"));
        // The blank page leaves its empty piece between two separators.
        const QString start = "Prepared for the board.\nAnnual Report\n"
                              "Sales grew in every region this year, and the team shipped the new-\n"
                              "found product line ahead of plan.\nHighlights\n• Revenue up\n• Costs down"
                              "\n\n\n\nSecond Chapter\n";
        QVERIFY2(text.startsWith(start), qPrintable(text));
        // The table's cells are read column by column, never run together.
        QStringList words = text.mid(start.size()).split(QRegularExpression("\\s+"));
        words.sort();
        QCOMPARE(words, (QStringList{"1.50", "3", "Apples", "Item", "Price", "Qty", "Total", "due", "now"}));
        QCOMPARE(convert("txt"), QStringList{path("Report 2.txt")});
    }

    // Plain text read without the heavy module has the heavy conversion's bytes and progress; a
    // page without text hands the document over, progress never going back.
    void textWithoutTheHeavyModule()
    {
        const QList<MiniPdf::Page> pages = report();
        for (const auto& document : {QList{pages[0], pages[2]}, pages}) {
            QVERIFY(MiniPdf::write(path("Letter.pdf"), document));
            Job job({}, {}, 0);
            QList<double> heavy, light;
            const QString expected =
                PDFEngine::convert(path("Letter.pdf"), "txt", job, [&](double p) { heavy << p; }).value(0);
            const QString result = Modules::entries<PDFTextModule>()
                                       .convertToText(path("Letter.pdf"), job, [&](double p) { light << p; })
                                       .value(0);
            QCOMPARE(result, path("Letter 2.txt"));
            QCOMPARE(read(result).toUtf8(), read(expected).toUtf8());
            QVERIFY2(std::is_sorted(light.cbegin(), light.cend()) && light.last() == 1, qPrintable(result));
            if (document.size() == 2) QCOMPARE(light, heavy);
            QVERIFY(QFile::remove(expected) && QFile::remove(result));
        }
    }

    // Headings by size and weight, joined hyphenation, bullets; the table's cells make one paragraph.
    void markdown()
    {
        QCOMPARE(convert("md"), QStringList{path("Report.md")});
        const QString start(
            "Prepared for the board.\n\n# Annual Report\n\n"
            "Sales grew in every region this year, and the team shipped the newfound product line "
            "ahead of plan.\n\n### Highlights\n\n- Revenue up\n- Costs down\n\n# Second Chapter\n\n");
        const QString text = read(path("Report.md"));
        QVERIFY2(text.startsWith(start), qPrintable(text));
        QVERIFY(QRegularExpression("^Item [^\n]+ 1\\.50\n$").match(text.mid(start.size())).hasMatch());
    }

    void wordDocument()
    {
        QCOMPARE(convert("docx"), QStringList{path("Report.docx")});
        const QString xml = read(Zip::extract(path("Report.docx")).file("word/document.xml"));
        const QString run =
            QRegularExpression("<w:r>((?:(?!</w:r>).)*)>Annual Report</w:t>").match(xml).captured(1);
        QVERIFY2(run.contains("<w:b/>") && run.contains("<w:sz w:val=\"40\"/>"), qPrintable(xml));
        QVERIFY(xml.contains(">Revenue up</w:t>"));
    }

    void book()
    {
        QCOMPARE(convert("epub"), QStringList{path("Report.epub")});
        const ScratchFolder unpacked = Zip::extract(path("Report.epub"));
        QStringList titles;
        for (int n = 1;; ++n) {
            const QString chapter =
                read(unpacked.file(QString("OEBPS/chapter%1.xhtml").arg(n, 3, 10, QChar('0'))));
            if (chapter.isEmpty()) break;
            titles << QRegularExpression("<title>(.*)</title>").match(chapter).captured(1);
        }
        // Text before the first level-1 heading is a chapter named after the file.
        QCOMPARE(titles, (QStringList{"Report", "Annual Report", "Second Chapter"}));
        QVERIFY(read(unpacked.file("OEBPS/chapter002.xhtml"))
                    .contains("<h3>Highlights</h3>\n<ul>\n<li>Revenue up</li>\n<li>Costs down</li>\n</ul>"));
    }

    void slides()
    {
        QList<double> progress;
        QCOMPARE(convert("pptx", nullptr, [&](double p) { progress << p; }),
                 QStringList{path("Report.pptx")});
        QCOMPARE(progress.last(), 0.9);
        const ScratchFolder unpacked = Zip::extract(path("Report.pptx"));
        QVERIFY(
            read(unpacked.file("ppt/presentation.xml")).contains("<p:sldSz cx=\"7772400\" cy=\"10058400\""));
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(QImageReader(unpacked.file(QString("ppt/media/image%1.png").arg(n))).size(),
                     QSize(1855, 2400));

        // Small pages are pictured at 220 dpi, and the first page's turn sets the slide's shape.
        QVERIFY(MiniPdf::write(path("Report.pdf"),
                               {{QRectF(0, 0, 300, 400), 90, ""}, {QRectF(0, 0, 400, 300), 0, ""}}));
        const ScratchFolder small = Zip::extract(convert("pptx").value(0));
        QVERIFY(read(small.file("ppt/presentation.xml")).contains("<p:sldSz cx=\"5080000\" cy=\"3810000\""));
        QCOMPARE(QImageReader(small.file("ppt/media/image2.png")).size(), QSize(1222, 917));
    }

    void workbook()
    {
        QCOMPARE(convert("xlsx"), QStringList{path("Report.xlsx")});
        const ScratchFolder unpacked = Zip::extract(path("Report.xlsx"));
        const QString workbook = read(unpacked.file("xl/workbook.xml"));
        QVERIFY(workbook.contains("name=\"Page 1\"") && workbook.contains("name=\"Page 3\""));
        QCOMPARE(cells(read(unpacked.file("xl/worksheets/sheet2.xml"))), QList<QStringList>());
        QCOMPARE(
            cells(read(unpacked.file("xl/worksheets/sheet3.xml"))),
            (QList<QStringList>{
                {"Second Chapter"}, {"Item", "Qty", "Price"}, {"Apples", "3", "1.50"}, {"Total due now"}}));
        QCOMPARE(cells(read(unpacked.file("xl/worksheets/sheet1.xml"))).at(1), QStringList{"Annual Report"});
    }

    // Pictures of the pages at the resolution chosen in the settings.
    // A photo drawn over a whole page, without a text layer: its caption is read as the text.
    void captionOfAPhotoPage()
    {
        QImage photo = Fixture::captionedPhoto();
        photo.setDotsPerMeterX(2835); // 72 dpi: a page of 1200 × 900 points
        photo.setDotsPerMeterY(2835);
        QVERIFY(photo.save(path("photo.jpg"), "JPEG", 92));
        QCOMPARE(QProcess::execute("img2pdf", {"-o", path("Photo.pdf"), path("photo.jpg")}), 0);
        Job job({}, {}, 0);
        const QStringList written = PDFEngine::convert(path("Photo.pdf"), "txt", job, [](double) {});
        QVERIFY2(read(written.value(0)).contains("Meet me at the harbour"),
                 qPrintable(read(written.value(0))));
        QCOMPARE(job.notes(), QStringList());
    }

    void pageImages()
    {
        QCOMPARE(QImageReader(convert("png").value(0) + "/Page 003.png").size(), QSize(306, 396));
    }

    // Unknown targets are refused, and a cancel during any writer, leave only the source.
    void refusalsAndCancelsLeaveNothing()
    {
        for (const QString target : {"gif", "pages"}) {
            const ConvertError e = failure([&] { convert(target); });
            QCOMPARE(e.message(), QString("Can’t make %1 from a PDF").arg(target.toUpper()));
            QCOMPARE(e.kind(), ConvertError::Kind::unsupported);
        }
        for (const QString target : {"txt", "md", "docx", "epub", "pptx", "xlsx", "png"}) {
            Job job({}, {}, 0);
            QVERIFY2(failure([&] { convert(target, &job, [&](double) { job.cancel(); }); }).isCancelled(),
                     qPrintable(target));
            QCOMPARE(entries(m_dir.path()), QStringList{"Report.pdf"});
        }
    }
};

QTEST_MAIN(PdfConvertTest)
#include "test_pdfconvert.moc"
