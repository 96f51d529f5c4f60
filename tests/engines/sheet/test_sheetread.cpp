#include "engines/sheet/sheetengine.h"

#include "../../support/enginefixtures_b.h"
#include "core/zip.h"
#include "engines/package/ooxml.h"

#include <QtTest>

using Rows = QList<QStringList>;

namespace {

const QByteArray ns = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";

QByteArray worksheet(const QByteArray& rows)
{
    return "<?xml version=\"1.0\"?><worksheet " + ns + "><sheetData>" + rows + "</sheetData></worksheet>";
}

QByteArray odsContent(const QByteArray& tables)
{
    return "<?xml version=\"1.0\"?><office:document-content "
           "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
           "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:spreadsheet>" +
           tables + "</office:spreadsheet></office:body></office:document-content>";
}

} // namespace

class SheetReadTest : public QObject
{
    Q_OBJECT
    ScratchTmp m_tmp;
    QTemporaryDir& m_root = m_tmp.root; // the tests' own files, beside the scratch folder

    // A workbook whose first sheet is `rows`, with the given shared strings.
    QString xlsx(const QByteArray& rows, const QByteArray& shared = {})
    {
        QMap<QString, QByteArray> parts{
            {"xl/workbook.xml",
             "<workbook " + ns + "><sheets><sheet name=\"S\" r:id=\"rId1\"/></sheets></workbook>"},
            {"xl/_rels/workbook.xml.rels",
             "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
            {"xl/worksheets/sheet1.xml", worksheet(rows)}};
        if (!shared.isEmpty()) parts.insert("xl/sharedStrings.xml", "<sst " + ns + ">" + shared + "</sst>");
        const QString path = m_root.filePath("book.xlsx");
        Zip::write(parts, path);
        return path;
    }

    QString ods(const QByteArray& tables)
    {
        const QString path = m_root.filePath("book.ods");
        Zip::write({{"content.xml", odsContent(tables)}}, path);
        return path;
    }

  private slots:
    void cleanup() { QCOMPARE(m_tmp.left(), QStringList()); }

    // Column letters to indexes and back; a column past the last, however far, is reported as such.
    void columns()
    {
        const QStringList names{"A", "Z", "AA", "AB", "ZZ", "AAA", "XFD"};
        const QList<int> indexes{0, 25, 26, 27, 701, 702, 16383};
        for (qsizetype i = 0; i < names.size(); ++i) {
            QCOMPARE(SheetEngine::columnIndex(names[i] + "7"), indexes[i]);
            QCOMPARE(OOXML::columnName(indexes[i]), names[i]);
        }
        QCOMPARE(SheetEngine::columnIndex(""), 0);
        QCOMPARE(SheetEngine::columnIndex("XFE1"), SheetEngine::maxColumns);
        QCOMPARE(SheetEngine::columnIndex("ZZZZZZZZZZZZZZZZZZZZ1"), SheetEngine::maxColumns);
    }

    void delimitedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Rows>("rows");
        QTest::newRow("quoted") << "plain,\"with, comma\",\"say \"\"hi\"\"\""
                                << Rows{{"plain", "with, comma", "say \"hi\""}};
        QTest::newRow("crlf, final line end") << "a,b\r\nc\n" << Rows{{"a", "b"}, {"c"}};
        QTest::newRow("lone cr") << "a\rb" << Rows{{"a"}, {"b"}};
        QTest::newRow("empty") << "" << Rows{};
        QTest::newRow("not trimmed") << "a,b,," << Rows{{"a", "b", "", ""}};
        QTest::newRow("empty line") << "a\n\nb" << Rows{{"a"}, {""}, {"b"}};
        QTest::newRow("quote then text") << "\"ab\"c,\"a\",b" << Rows{{"abc", "a", "b"}};
        QTest::newRow("line end quoted") << "\"a\nb\",c" << Rows{{"a\nb", "c"}};
        QTest::newRow("unterminated") << "a,\"b,c\nd" << Rows{{"a", "b,c\nd"}};
    }

    void delimitedText()
    {
        QFETCH(QString, text);
        QFETCH(Rows, rows);
        QCOMPARE(SheetEngine::parseDelimited(text, ','), rows);
        // Written back and read again, the rows come back unchanged.
        if (!rows.isEmpty())
            QCOMPARE(SheetEngine::parseDelimited(SheetEngine::delimited(rows, ','), ','), rows);
    }

    void xlsxCells()
    {
        const QByteArray shared = "<si><t>zero</t></si><si><r><t>ri</t></r><r><t>ch</t></r>"
                                  "<rPh sb=\"0\" eb=\"1\"><t>ふりがな</t></rPh></si>";
        const QString path =
            xlsx("<row r=\"5\"><c r=\"A5\" t=\"s\"><v>0</v></c></row>"
                 "<row><c><v>a</v></c><c t=\"s\"><v>1</v></c><c r=\"D6\"><v>d</v></c><c><v>e</v></c></row>"
                 "<row r=\"7\"><c r=\"A7\" t=\"s\"><v>9</v></c><c r=\"B7\" t=\"s\"><v>x</v></c>"
                 "<c r=\"C7\" t=\"b\"><v>1</v></c><c r=\"D7\" t=\"b\"><v>0</v></c><c r=\"E7\" t=\"b\"/>"
                 "<c r=\"F7\" t=\"inlineStr\"><is><t>in</t><r><t>line</t></r></is></c>"
                 "<c r=\"G7\"><f>1+1</f><v>2</v></c><c r=\"H7\" t=\"e\"><v>#DIV/0!</v></c></row>"
                 "<row r=\"8\"><c r=\"B8\"><v>b</v></c><c r=\"A8\"><v>a</v></c><c r=\"B8\"><v>B</v></c></row>"
                 "<row r=\"9\"><c r=\"XFD9\"><v>last</v></c><c r=\"XFE9\"/></row>"
                 "<row r=\"1048576\" s=\"1\"/>",
                 shared);
        const QList<Sheet> sheets = SheetEngine::readXLSX(path);
        QCOMPARE(sheets.size(), 1);
        QCOMPARE(sheets.first().name, "S");
        const Rows& rows = sheets.first().rows;
        QCOMPARE(rows.size(), 9);
        QCOMPARE(rows.mid(0, 8), Rows(4) + Rows({{"zero"},
                                                 {"a", "rich", "", "d", "e"},
                                                 {"", "", "TRUE", "FALSE", "", "inline", "2", "#DIV/0!"},
                                                 {"a", "B"}}));
        QCOMPARE(rows.at(8).size(), 16384);
        QCOMPARE(rows.at(8).last(), "last");
    }

    void xlsxWorkbook()
    {
        const QString path = m_root.filePath("three.xlsx");
        Zip::write({{"xl/workbook.xml",
                     "<workbook " + ns +
                         "><sheets><sheet r:id=\"rId1\"/><sheet name=\"Lost\" "
                         "r:id=\"rId9\"/><sheet name=\"Third\" r:id=\"rId3\"/></sheets></workbook>"},
                    {"xl/_rels/workbook.xml.rels",
                     "<Relationships><Relationship Id=\"rId1\" Target=\"s1.xml\"/>"
                     "<Relationship Id=\"rId3\" Target=\"/xl/s3.xml\"/></Relationships>"},
                    {"xl/s1.xml", worksheet("<row><c><v>1</v></c></row>")},
                    {"xl/s3.xml", worksheet("<row><c><v/></c></row>")}},
                   path);
        const QList<Sheet> sheets = SheetEngine::readXLSX(path);
        QCOMPARE(sheets.size(), 2);
        QCOMPARE(sheets.at(0).name, "Sheet1");
        QCOMPARE(sheets.at(0).rows, Rows{{"1"}});
        QCOMPARE(sheets.at(1).name, "Third");
        QCOMPARE(sheets.at(1).rows, Rows{});
    }

    // Content past the limits, a negative repeat, a part outside the package and malformed XML are
    // reported, never read in part.
    void refusals()
    {
        const auto xlsxSays = [&](const QByteArray& rows) {
            return message([&] { SheetEngine::readXLSX(xlsx(rows)); });
        };
        const auto odsSays = [&](const QByteArray& tables) {
            return message([&] { SheetEngine::readODS(ods(tables)); });
        };
        QCOMPARE(xlsxSays("<row r=\"100001\"><c><v>x</v></c></row>"),
                 "The sheet “S” has more than 100,000 rows, more than Tolvane converts");
        QCOMPARE(xlsxSays("<row><c r=\"ZZZZZZZZZZZZZZ1\"><v>x</v></c></row>"),
                 "The sheet “S” has cells past column XFD, the last a spreadsheet holds");
        QVERIFY(
            xlsxSays("<row><c><v>x</v></row>")
                .startsWith("Couldn’t read book.xlsx: “xl/worksheets/sheet1.xml” is not well-formed XML"));
        QCOMPARE(
            odsSays(
                "<table:table table:name=\"Big\"><table:table-row table:number-rows-repeated=\"100001\">"
                "<table:table-cell><text:p>1</text:p></table:table-cell></table:table-row></table:table>"),
            "The sheet “Big” has more than 100,000 rows, more than Tolvane converts");
        QCOMPARE(odsSays("<table:table table:name=\"W\"><table:table-row><table:table-cell "
                         "table:number-columns-repeated=\"20000\"><text:p>1</text:p></table:table-cell>"
                         "</table:table-row></table:table>"),
                 "The sheet “W” has more than 16,384 columns, more than Tolvane converts");
        QCOMPARE(odsSays("<table:table><table:table-row table:number-rows-repeated=\"-2\"></table:table-row>"
                         "</table:table>"),
                 "Couldn’t read book.ods: a repeat count is negative");
        QCOMPARE(message([&] { SheetEngine::read(m_root.filePath("x.xlsb"), "xlsb", nullptr); }),
                 "Can’t read XLSB spreadsheets");

        const QString outside = m_root.filePath("outside.xlsx");
        Zip::write({{"xl/workbook.xml",
                     "<workbook " + ns + "><sheets><sheet name=\"S\" r:id=\"a\"/></sheets></workbook>"},
                    {"xl/_rels/workbook.xml.rels",
                     "<Relationships><Relationship Id=\"a\" Target=\"../../secret.xml\"/></Relationships>"}},
                   outside);
        QCOMPARE(message([&] { SheetEngine::readXLSX(outside); }),
                 "Couldn’t read outside.xlsx: the part “xl/../../secret.xml” lies outside the package");
    }

    void odsCells()
    {
        const QList<Sheet> sheets = SheetEngine::readODS(ods(
            "<table:table table:name=\"T\"><table:table-header-rows><table:table-row>"
            "<table:table-cell table:number-columns-repeated=\"3\"><text:p>x</text:p></table:table-cell>"
            "</table:table-row></table:table-header-rows>"
            "<table:table-row><table:table-cell><text:p>a</text:p><text:p>b</text:p></table:table-cell>"
            "<table:table-cell "
            "office:value=\"42\"/><table:covered-table-cell><text:p>c</text:p></table:covered-table-cell>"
            "<table:table-cell><text:p>two<text:s "
            "text:c=\"2\"/>spaces<text:tab/>tab<text:line-break/>br</text:p>"
            "</table:table-cell><table:table-cell table:number-columns-repeated=\"0\"><text:p>none</text:p>"
            "</table:table-cell><table:table-cell table:number-columns-repeated=\"1020\"/></table:table-row>"
            "<table:table-row table:number-rows-repeated=\"1048570\"><table:table-cell "
            "table:number-columns-repeated=\"16384\"/></table:table-row></table:table>"
            "<table:table><table:table-row><table:table-cell table:number-columns-repeated=\"2000\"/>"
            "<table:table-cell><text:p>far</text:p></table:table-cell></table:table-row>"
            "<table:table-row table:number-rows-repeated=\"3\"><table:table-cell/></table:table-row>"
            "<table:table-row table:number-rows-repeated=\"5000\"><table:table-cell><text:p>same</text:p>"
            "</table:table-cell></table:table-row></table:table>"));
        QCOMPARE(sheets.size(), 2);
        QCOMPARE(sheets.at(0).name, "T");
        QCOMPARE(sheets.at(0).rows, (Rows{{"x", "x", "x"}, {"a\nb", "42", "c", "two  spaces\ttab\nbr"}}));
        // Empty padding is placed exactly and repeated content kept in full.
        const Sheet& second = sheets.at(1);
        QCOMPARE(second.name, "Sheet2");
        QCOMPARE(second.rows.size(), 5004);
        QCOMPARE(second.rows.first().size(), 2001);
        QCOMPARE(second.rows.first().last(), "far");
        QCOMPARE(second.rows.at(3), QStringList());
        QCOMPARE(second.rows.last(), QStringList{"same"});
    }

    // A byte order mark is skipped and text that is not UTF-8 read as Windows-1252.
    void delimitedFiles()
    {
        const QString csv = writeFile(m_root.filePath("excel.csv"), "\xef\xbb\xbfName;x,\"1\"\r\n");
        QCOMPARE(SheetEngine::read(csv, "csv", nullptr).first().rows, (Rows{{"Name;x", "1"}}));
        const QList<Sheet> sheets = SheetEngine::read(writeFile(csv, "Caf\xe9\tb\n"), "tsv", nullptr);
        QCOMPARE(sheets.first().name, "excel");
        QCOMPARE(sheets.first().rows, (Rows{{"Café", "b"}}));
    }
};

QTEST_GUILESS_MAIN(SheetReadTest)
#include "test_sheetread.moc"
