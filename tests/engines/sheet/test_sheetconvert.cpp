#include "engines/sheet/sheetengine.h"

#include "../../support/enginefixtures_b.h"
#include "core/libreoffice/iwork.h"
#include "core/shell.h"
#include "core/zip.h"
#include "engines/package/ooxml.h"

#include <QRegularExpression>
#include <QtTest>

using Rows = QList<QStringList>;

namespace {

struct Word
{
    QString text;
    double left, right, top;
};
using Page = QList<Word>;

// The words of every page of a PDF with their horizontal extent, as Poppler reads them.
QList<Page> pdfWords(const QString& pdf)
{
    QList<Page> pages;
    const QRegularExpression word(
        "xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\"[^>]*>([^<]*)</word>");
    for (const QString& page :
         Shell::run(*Shell::find("pdftotext"), {"-bbox", pdf, "-"}).out().split("<page ").mid(1)) {
        pages.append(Page());
        for (const QRegularExpressionMatch& m : word.globalMatch(page))
            pages.last().append({m.captured(4), m.captured(1).toDouble(), m.captured(3).toDouble(),
                                 m.captured(2).toDouble()});
    }
    return pages;
}

QList<Word> find(const Page& page, const QString& text)
{
    QList<Word> found;
    for (const Word& word : page)
        if (word.text == text) found.append(word);
    return found;
}

} // namespace

class SheetConvertTest : public QObject
{
    Q_OBJECT
    ScratchTmp m_tmp;
    const QString m_out = m_tmp.files;

    QString workbook(const QList<Sheet>& sheets, const QString& name = "book.xlsx")
    {
        OOXML::writeXLSX(sheets, m_out + "/" + name);
        return m_out + "/" + name;
    }

  private slots:
    void cleanup() { QCOMPARE(m_tmp.leftovers(), QStringList()); }

    // xlsx → ods → xlsx keeps every cell, numbers, texts that look like numbers and line ends too.
    void packagesRoundTrip()
    {
        const QList<Sheet> sheets{
            {"Data", {{"Name", "Count", "Code"}, {"Ada", "42", "007"}, {}, {"", "-3.5", "a\nb  c"}}},
            {"Other", {{"1e5", "x"}}}};
        const QString ods = convert(workbook(sheets), "ods").first();
        QCOMPARE(ods, m_out + "/book.ods");
        QFile::remove(m_out + "/book.xlsx");
        QCOMPARE(convert(ods, "xlsx"), QStringList{m_out + "/book.xlsx"});
        const QList<Sheet> back = SheetEngine::readXLSX(m_out + "/book.xlsx");
        QCOMPARE(back.size(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(back.at(i).name, sheets.at(i).name);
            QCOMPARE(back.at(i).rows, sheets.at(i).rows);
        }
    }

    // Several sheets give a folder of files under safe, distinct names; one sheet gives one file.
    void delimitedResults()
    {
        const QList<Sheet> three{{"Data", {{"a,b", "x\ty"}}}, {"data", {{"say \"hi\""}}}, {"a/b:c", {}}};
        const QStringList folder = convert(workbook(three), "csv");
        QCOMPARE(folder, QStringList{m_out + "/book"});
        QCOMPARE(entries(folder.first()), QStringList({"Data.csv", "abc.csv", "data 2.csv"}));
        QCOMPARE(readAll(folder.first() + "/Data.csv"), "\"a,b\",x\ty\n");
        QCOMPARE(readAll(folder.first() + "/data 2.csv"), "\"say \"\"hi\"\"\"\n");
        QCOMPARE(readAll(folder.first() + "/abc.csv"), "\n");

        const QString one = workbook({{"One", {{"a,b", "x\ty", "line\nend"}}}}, "one.xlsx");
        QCOMPARE(readAll(convert(one, "tsv").first()), "a,b\t\"x\ty\"\t\"line\nend\"\n");
        QCOMPARE(readAll(convert(writeFile(m_out + "/empty.csv"), "tsv").first()), "\n");
    }

    // An unknown target, and a workbook without sheets, write nothing.
    void refusals()
    {
        const QString book = workbook({{"S", {{"1"}}}});
        const auto docx = failure([&] { convert(book, "docx"); });
        QVERIFY(docx && docx->kind() == ConvertError::Kind::unsupported);
        QCOMPARE(docx->message(), "book.xlsx can’t be converted to DOCX");
        const QString none = m_out + "/none.ods";
        Zip::write({{"content.xml", "<document-content><body><spreadsheet/></body></document-content>"}},
                   none);
        QCOMPARE(message([&] { convert(none, "xlsx"); }), "none.ods has no sheets to convert");
        QVERIFY_THROWS_EXCEPTION(ConvertError, SheetEngine::writePDF({}, m_out + "/none.pdf"));
        QCOMPARE(entries(m_out), QStringList({"book.xlsx", "none.ods"}));
    }

    // 1000 short rows fill 31 pages of 33 rows, each with the title, no row lost or repeated; the
    // first row is bold, numbers are right-aligned. Forty wide columns are scaled down to the
    // page's width; an empty sheet gets a page with its title only. A cell's lines and its long
    // text wrap within its column, and the next row starts below them.
    void tablePdf()
    {
        if (!Shell::find("pdftotext")) QSKIP("needs pdftotext (poppler-utils)");
        Rows rows{{"Name", "Value", "Same"}, {"R1", "1"}, {"R2", "-3.5", "Same"}, {"R3", "007"}};
        for (int i = 4; i < 1000; ++i)
            rows.append({"R" + QString::number(i), QString::number(i)});
        QStringList wide;
        for (int c = 0; c < 40; ++c)
            wide.append("Column" + QString::number(c) + " holds a long text that never fits into its box");
        const QString pdf = m_out + "/table.pdf";
        const Rows notes{{"Note", "Size"},
                         {"upper\r\nlower\n", "12"},
                         {QString("word ").repeated(60) + "last", "7"},
                         {"after", "1"}};
        SheetEngine::writePDF({{"Numbers", rows}, {"Wide", {wide, wide}}, {"Notes", notes}, {"Empty", {}}},
                              pdf);
        const QList<Page> pages = pdfWords(pdf);
        QCOMPARE(pages.size(), 34);
        for (int p = 0; p < 31; ++p) {
            QCOMPARE(pages.at(p).first().text, "Numbers");
            QCOMPARE(pages.at(p).at(1).text, p == 0 ? "Name" : "R" + QString::number(33 * p));
        }
        const Word minus = find(pages.first(), "-3.5").value(0), zeros = find(pages.first(), "007").value(0);
        QVERIFY2(minus.left > zeros.left + 5 && minus.right > zeros.right + 5, "-3.5 is not right-aligned");
        const QList<Word> same = find(pages.first(), "Same");
        QCOMPARE(same.size(), 2);
        QVERIFY2(same.at(0).right - same.at(0).left > same.at(1).right - same.at(1).left + 0.5,
                 "the first row is not bold");

        double right = 0;
        for (const Word& word : pages.at(31))
            right = qMax(right, word.right);
        QVERIFY2(right <= 806.5 && right > 700, qPrintable(QString::number(right)));
        QCOMPARE(find(pages.at(31), "Column39").size(), 2);

        const Page& page = pages.at(32);
        const Word upper = find(page, "upper").value(0), lower = find(page, "lower").value(0);
        const Word twelve = find(page, "12").value(0), last = find(page, "last").value(0);
        const Word seven = find(page, "7").value(0), after = find(page, "after").value(0);
        QCOMPARE(find(page, "word").size(), 60);
        QVERIFY2(lower.top > upper.top + 5 && qAbs(lower.left - upper.left) < 0.5, "the second line is lost");
        QVERIFY2(qAbs(twelve.top - upper.top) < 1 && seven.top > lower.top + 5, "rows overlap");
        QVERIFY2(last.top > seven.top + 5 && after.top > last.top + 5, "long text is not wrapped");
        QVERIFY2(last.right < twelve.left, "long text runs into the next column");
        QCOMPARE(pages.last().size(), 1);
        QCOMPARE(pages.last().first().text, "Empty");
    }

    // Older workbooks go through LibreOffice.
    void xlsThroughOffice()
    {
        if (!Shell::find("soffice")) QSKIP("LibreOffice is not installed");
        {
            const ScratchFolder made =
                IWork::convertInto(workbook({{"Old", {{"kept", "12"}}}}), "xls:MS Excel 97", nullptr);
            QVERIFY(QFile::copy(made.file("book.xls"), m_out + "/book.xls"));
        }
        QCOMPARE(readAll(convert(m_out + "/book.xls", "csv").first()), "kept,12\n");
    }
};

QTEST_MAIN(SheetConvertTest)
#include "test_sheetconvert.moc"
