#include "engines/sheet/sheetengine.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/shell.h"
#include "core/zip.h"
#include "engines/converter.h"
#include "engines/package/ooxml.h"

#include <QUrl>
#include <QtTest>

using Rows = QList<QStringList>;

namespace {

constexpr auto everything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

struct Word
{
    QString text;
    double left, right;
};
using Page = QList<Word>;

// The words of every page of a PDF with their horizontal extent, as Poppler reads them.
QList<Page> pdfWords(const QString& pdf)
{
    const Shell::Result result = Shell::run(*Shell::find("pdftotext"), {"-bbox", pdf, "-"});
    QList<Page> pages;
    QXmlStreamReader xml(result.stdoutBytes);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == QLatin1String("page")) pages.append(Page());
        if (xml.name() == QLatin1String("word")) {
            const double left = xml.attributes().value("xMin").toDouble();
            const double right = xml.attributes().value("xMax").toDouble();
            pages.last().append({xml.readElementText(), left, right});
        }
    }
    return pages;
}

const Word* find(const Page& page, const QString& text)
{
    for (const Word& word : page)
        if (word.text == text) return &word;
    return nullptr;
}

} // namespace

class SheetConvertTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;
    const QString m_tmp = m_root.filePath("tmp");
    const QString m_out = m_root.filePath("out");

    static QStringList convert(const QString& source, const QString& target)
    {
        Job job(QString(), QString(), 0);
        return Converter::convert(source, target, job, [](double) {});
    }

    QString workbook(const QList<Sheet>& sheets, const QString& name = "book.xlsx")
    {
        const QString path = m_out + "/" + name;
        OOXML::writeXLSX(sheets, path);
        return path;
    }

    QStringList outFolder() const { return QDir(m_out).entryList(everything); }

  private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(m_tmp));
        qputenv("TMPDIR", QFile::encodeName(m_tmp));
    }

    void init() { QVERIFY(QDir().mkpath(m_out)); }

    void cleanup()
    {
        QCOMPARE(QDir(m_tmp).entryList(everything), QStringList());
        QVERIFY(QDir(m_out).removeRecursively());
    }

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

    void delimitedResults()
    {
        const QList<Sheet> three{{"Data", {{"a,b", "x\ty"}}}, {"data", {{"say \"hi\""}}}, {"a/b:c", {}}};
        const QStringList folder = convert(workbook(three), "csv");
        QCOMPARE(folder, QStringList{m_out + "/book"});
        QCOMPARE(QDir(folder.first()).entryList(everything, QDir::Name),
                 QStringList({"Data.csv", "abc.csv", "data 2.csv"}));
        QCOMPARE(readAll(folder.first() + "/Data.csv"), "\"a,b\",x\ty\n");
        QCOMPARE(readAll(folder.first() + "/data 2.csv"), "\"say \"\"hi\"\"\"\n");
        QCOMPARE(readAll(folder.first() + "/abc.csv"), "\n");

        const QString one = workbook({{"One", {{"a,b", "x\ty", "line\nend"}}}}, "one.xlsx");
        QCOMPARE(readAll(convert(one, "tsv").first()), "a,b\t\"x\ty\"\t\"line\nend\"\n");

        QFile empty(m_out + "/empty.csv");
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QCOMPARE(readAll(convert(empty.fileName(), "tsv").first()), "\n");
    }

    void refusals()
    {
        const QString book = workbook({{"S", {{"1"}}}});
        try {
            convert(book, "docx");
            QFAIL("an unknown target was written");
        } catch (const ConvertError& e) {
            QCOMPARE(e.kind(), ConvertError::Kind::unsupported);
            QCOMPARE(e.message(), "Can’t make DOCX from a spreadsheet");
        }
        // A workbook without sheets makes no empty file.
        const QString none = m_out + "/none.ods";
        Zip::write({{"content.xml", "<document-content><body><spreadsheet/></body></document-content>"}},
                   none);
        try {
            convert(none, "xlsx");
            QFAIL("a workbook without sheets was converted");
        } catch (const ConvertError& e) {
            QCOMPARE(e.message(), "none.ods has no sheets to convert");
        }
        QCOMPARE(outFolder(), QStringList({"book.xlsx", "none.ods"}));
    }

    // 1000 short rows fill 31 pages of 33 rows, each with the title; the first row is bold,
    // numbers are right-aligned, a second empty sheet gets a page with its title only.
    void tablePdf()
    {
        if (!Shell::find("pdftotext")) QSKIP("needs pdftotext (poppler-utils)");
        Rows rows{{"Name", "Value", "Same"}};
        for (int i = 1; i < 1000; ++i)
            rows.append({"R" + QString::number(i),
                         i == 2   ? "-3.5"
                         : i == 3 ? "007"
                                  : QString::number(i),
                         i == 2 ? "Same" : ""});
        const QString pdf = m_out + "/table.pdf";
        SheetEngine::writePDF({{"Numbers", rows}, {"Empty", {}}}, pdf);
        const QList<Page> pages = pdfWords(pdf);
        QCOMPARE(pages.size(), 32);
        for (int p = 0; p < 31; ++p) {
            QCOMPARE(pages.at(p).first().text, "Numbers");
            const QString firstRow = p == 0 ? "Name" : "R" + QString::number(33 * p);
            QCOMPARE(pages.at(p).at(1).text, firstRow);
        }
        QCOMPARE(pages.last().size(), 1);
        QCOMPARE(pages.last().first().text, "Empty");

        const Word* minus = find(pages.first(), "-3.5");
        const Word* zeros = find(pages.first(), "007");
        QVERIFY(minus && zeros);
        QVERIFY2(minus->left > zeros->left + 5 && minus->right > zeros->right + 5,
                 "-3.5 is not right-aligned");
        QList<const Word*> same;
        for (const Word& word : pages.first())
            if (word.text == "Same") same.append(&word);
        QCOMPARE(same.size(), 2);
        QVERIFY2(same.at(0)->right - same.at(0)->left > same.at(1)->right - same.at(1)->left + 0.5,
                 "the first row is not bold");
    }

    // Forty wide columns are scaled down to the page's width.
    void widePdf()
    {
        if (!Shell::find("pdftotext")) QSKIP("needs pdftotext (poppler-utils)");
        QStringList row;
        for (int c = 0; c < 40; ++c)
            row.append("Column" + QString::number(c) + " holds a long text that never fits into its box");
        const QString pdf = m_out + "/wide.pdf";
        SheetEngine::writePDF({{"Wide", {row, row}}}, pdf);
        const QList<Page> pages = pdfWords(pdf);
        QCOMPARE(pages.size(), 1);
        double right = 0;
        for (const Word& word : pages.first())
            right = qMax(right, word.right);
        QVERIFY2(right <= 806.5 && right > 700, qPrintable(QString::number(right)));
        QVERIFY(find(pages.first(), "Column39"));
        QVERIFY_THROWS_EXCEPTION(ConvertError, SheetEngine::writePDF({}, m_out + "/none.pdf"));
        QVERIFY(!QFile::exists(m_out + "/none.pdf"));
    }

    // Older workbooks go through LibreOffice.
    void xlsThroughOffice()
    {
        if (!Shell::find("soffice")) QSKIP("LibreOffice is not installed");
        const QString book = workbook({{"Old", {{"kept", "12"}}}});
        const QString profile = m_root.filePath("profile");
        const Shell::Result made =
            Shell::run(*Shell::find("soffice"),
                       {"--headless", "-env:UserInstallation=" + QUrl::fromLocalFile(profile).toString(),
                        "--convert-to", "xls", "--outdir", m_out, book},
                       std::nullopt, nullptr, {}, std::chrono::minutes(3));
        QCOMPARE(made.status, 0);
        QDir(profile).removeRecursively();
        QCOMPARE(readAll(convert(m_out + "/book.xls", "csv").first()), "kept,12\n");
    }

    void commandLine()
    {
        const QString book = workbook({{"S", {{"a", "1"}}}});
        QProcess p;
        p.start(TOLVANE_BIN, {"--convert", "csv", book});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(readAll(m_out + "/book.csv"), "a,1\n");
    }
};

QTEST_MAIN(SheetConvertTest)
#include "test_sheetconvert.moc"
