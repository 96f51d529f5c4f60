#include "engines/package/ooxml.h"

#include "../../support/enginefixtures_b.h"
#include "core/output.h"
#include "core/scratchfolder.h"
#include "core/shell.h"
#include "core/zip.h"

#include <QDirIterator>
#include <QUrl>
#include <QXmlStreamReader>
#include <QtTest>

class OoxmlTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    // The package's XML parts by path; each must parse.
    static QMap<QString, QString> parts(const QString& package)
    {
        QMap<QString, QString> found;
        const ScratchFolder folder = Zip::extract(package);
        QDirIterator it(folder.path(), {"*.xml", "*.rels"}, QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QByteArray xml = readAll(it.next());
            QXmlStreamReader reader(xml);
            while (!reader.atEnd())
                reader.readNext();
            if (reader.hasError()) qWarning() << it.filePath() << reader.errorString();
            if (reader.hasError()) return {};
            found.insert(QDir(folder.path()).relativeFilePath(it.filePath()), QString::fromUtf8(xml));
        }
        return found;
    }

  private slots:
    void sheetNames()
    {
        QSet<QString> used;
        const auto name = [&](const QString& wanted) { return OOXML::sheetName(wanted, used); };
        QCOMPARE(name("Data"), "Data");
        QCOMPARE(name("data"), "data 2");
        QCOMPARE(name("Q1/Q2 [plan]"), "Q1Q2 plan");
        QCOMPARE(name("[]:*?/\\"), "Sheet");
        QCOMPARE(name("'quoted'"), "quoted");
        QCOMPARE(name("History"), "History 2"); // reserved by the common spreadsheet application
        const QString forty = QString("x").repeated(40);
        QCOMPARE(name(forty), forty.left(31));
        QCOMPARE(name(forty), forty.left(27) + " 2");
        // Cut at 31 UTF-16 units, never inside a character.
        QCOMPARE(name(QString("e").repeated(30) + "😀z"), QString("e").repeated(30));
        QCOMPARE(name(QString("f").repeated(30) + "e\u0301z"), QString("f").repeated(30));
        for (int n = 2; n <= 10; ++n)
            name(QString("g").repeated(31));
        QCOMPARE(name(QString("g").repeated(31)), QString("g").repeated(27) + " 10");
    }

    void xlsxCells()
    {
        const Sheet sheet{"Q1/Q2",
                          {{" 42 ", "007", "1,5", "0.5"},
                           {"a", "", "c"},
                           {"-3", ".5", "1e5", "1234567890123456", "123456789012345"},
                           {QString("x<&\"y\x0c") + QChar(0) + "z", "42\n"}}};
        const QString path = m_dir.filePath("Book & Co.xlsx");
        OOXML::writeXLSX({sheet, Sheet{"q1q2", {}}}, path);
        const auto xml = parts(path);
        const QString cells = xml.value("xl/worksheets/sheet1.xml");
        const auto text = [](const QString& ref, const QString& value) {
            return "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" + value +
                   "</t></is></c>";
        };
        const auto number = [](const QString& ref, const QString& value) {
            return "<c r=\"" + ref + "\"><v>" + value + "</v></c>";
        };
        QVERIFY(cells.contains("<row r=\"1\">" + number("A1", "42") + text("B1", "007") + text("C1", "1,5") +
                               number("D1", "0.5") + "</row><row r=\"2\">" + text("A2", "a") +
                               text("C2", "c") + "</row><row r=\"3\">" + number("A3", "-3") +
                               number("B3", ".5") + number("C3", "1e5") + text("D3", "1234567890123456") +
                               number("E3", "123456789012345") + "</row><row r=\"4\">" +
                               text("A4", "x&lt;&amp;&quot;yz") + text("B4", "42\n") + "</row>"));
        QVERIFY(xml.value("xl/workbook.xml")
                    .contains("<sheet name=\"Q1Q2\" sheetId=\"1\" r:id=\"rId1\"/>"
                              "<sheet name=\"q1q2 2\" sheetId=\"2\" r:id=\"rId2\"/>"));
        QVERIFY(xml.value("docProps/core.xml").contains("<dc:title>Book &amp; Co</dc:title>"));
        OOXML::writeODS({{"Data", {}}, {"data", {}}}, m_dir.filePath("book.ods"));
        QVERIFY(parts(m_dir.filePath("book.ods")).value("content.xml").contains("table:name=\"data 2\""));
    }

    // Packages of nothing still open: a workbook gets one sheet, a deck no slide; written through
    // Output, the hidden temporary name never becomes the title.
    void emptyPackages()
    {
        const QString book = Output::write(m_dir.filePath("Report.xlsx"),
                                           [](const QString& temporary) { OOXML::writeXLSX({}, temporary); });
        QVERIFY(
            parts(book).value("xl/workbook.xml").contains("<sheets><sheet name=\"Sheet1\" sheetId=\"1\""));
        QVERIFY(parts(book).value("docProps/core.xml").contains("<dc:title></dc:title>"));
        const QString deck = m_dir.filePath("Deck.pptx");
        OOXML::writePPTX({}, {612, 792}, deck, QString("Q3 & Q4"));
        const auto xml = parts(deck);
        QVERIFY(xml.value("docProps/core.xml").contains("<dc:title>Q3 &amp; Q4</dc:title>"));
        QVERIFY(xml.value("ppt/presentation.xml").contains("<p:sldIdLst></p:sldIdLst>"));
        QVERIFY(!xml.value("[Content_Types].xml").contains("slide+xml"));
        QVERIFY(!xml.value("ppt/_rels/presentation.xml.rels").contains("rId3"));
    }

    // Opened by the real LibreOffice, the first sheet as it writes it to CSV (text quoted, numbers
    // not) equals the input: the 19-digit identifier, the spaces, line break, tab and empty row too.
    void sheetsToCsv()
    {
        if (!Shell::find("soffice")) QSKIP("LibreOffice is not installed");
        const QList<Sheet> sheets{{"Data",
                                   {{"Name", "Count", "Code", "Note"},
                                    {"Ada", "42", "007", "x<y & \"z\""},
                                    {"Bob", "-3", "1234567890123456789", "a  b"},
                                    {},
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
                                    ",,,\n"
                                    "\"Cy\",0.5,\"1,5\",\"line1\nline2\"\n"
                                    ",,,\"  end \"\n"
                                    "\"tab\there\",100000,,\"ünï 😀\"\n";
        QCOMPARE(readAll(out.file("book-x.csv")), expected);
        QCOMPARE(readAll(out.file("book-o.csv")), expected);
    }

    // Beyond what a workbook holds, the writer refuses instead of writing a file that won't open.
    void xlsxLimits()
    {
        const QString path = m_dir.filePath("big.xlsx");
        const QList<Sheet> tooWide{{"Wide", {QStringList(16385, "1")}}};
        const QList<Sheet> tooLong{{"Long", {{QString(32768, 'x')}}}};
        QVERIFY_THROWS_EXCEPTION(ConvertError, OOXML::writeXLSX(tooWide, path));
        QVERIFY_THROWS_EXCEPTION(ConvertError, OOXML::writeXLSX(tooLong, path));
        QVERIFY(!QFile::exists(path));
        OOXML::writeXLSX({{"Edge", {QStringList(16384, "1"), {QString(32767, 'x')}}}}, path);
        QVERIFY(parts(path).value("xl/worksheets/sheet1.xml").contains("<c r=\"XFD1\"><v>1</v></c>"));
    }

    // A picture is fitted into its slide and centred; the slide stays within the sizes a
    // presentation program opens (1 to 56 inches); a picture that can't be read fills its slide.
    void pptxGeometry()
    {
        struct Case
        {
            QSizeF page;
            QByteArray picture;
            QString slide, placement; // width height; x y width height, in EMU
        };
        for (const Case& c :
             QList<Case>{{{612, 792}, png({1000, 500}), "7772400 10058400", "0 3086100 7772400 3886200"},
                         {{612, 792}, png({500, 1000}), "7772400 10058400", "1371600 0 5029200 10058400"},
                         {{10, 10}, png({10, 10}), "914400 914400", "0 0 914400 914400"},
                         {{5000, 5000}, "not a png", "51206400 51206400", "0 0 51206400 51206400"}}) {
            OOXML::writePPTX({c.picture}, c.page, m_dir.filePath("deck.pptx"));
            const auto xml = parts(m_dir.filePath("deck.pptx"));
            const QStringList size = c.slide.split(' '), at = c.placement.split(' ');
            QVERIFY2(xml.value("ppt/presentation.xml")
                         .contains(QString("<p:sldSz cx=\"%1\" cy=\"%2\"/>").arg(size[0], size[1])),
                     qPrintable(c.slide));
            QVERIFY2(xml.value("ppt/slides/slide1.xml")
                         .contains(QString("<a:off x=\"%1\" y=\"%2\"/><a:ext cx=\"%3\" cy=\"%4\"/>")
                                       .arg(at[0], at[1], at[2], at[3])),
                     qPrintable(c.placement));
        }
    }
};

QTEST_GUILESS_MAIN(OoxmlTest)
#include "test_ooxml.moc"
