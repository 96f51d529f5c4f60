#include "engines/sheet/sheetengine.h"

#include "../../support/enginefixtures_b.h"
#include "core/zip.h"
#include "engines/package/ooxml.h"

#include <QtTest>

using Rows = QList<QStringList>;

// The readers go by local names, so the fixtures leave out the namespaces real files declare.
namespace {

QByteArray worksheet(const QByteArray& rows)
{
    return "<worksheet><sheetData>" + rows + "</sheetData></worksheet>";
}

} // namespace

class SheetReadTest : public QObject
{
    Q_OBJECT
    ScratchTmp m_tmp;

    // A workbook whose first sheet is `rows`, with the given shared strings.
    QString xlsx(const QByteArray& rows, const QByteArray& shared = {})
    {
        QMap<QString, QByteArray> parts{
            {"xl/workbook.xml", "<workbook><sheets><sheet name=\"S\" id=\"rId1\"/></sheets></workbook>"},
            {"xl/_rels/workbook.xml.rels",
             "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
            {"xl/worksheets/sheet1.xml", worksheet(rows)}};
        if (!shared.isEmpty()) parts.insert("xl/sharedStrings.xml", "<sst>" + shared + "</sst>");
        const QString path = m_tmp.files + "/book.xlsx";
        Zip::write(parts, path);
        return path;
    }

    QString ods(const QByteArray& tables)
    {
        const QString path = m_tmp.files + "/book.ods";
        Zip::write({{"content.xml", "<document-content><body><spreadsheet>" + tables +
                                        "</spreadsheet></body></document-content>"}},
                   path);
        return path;
    }

  private slots:
    void cleanup() { QCOMPARE(m_tmp.leftovers(), QStringList()); }

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
        const QString path = m_tmp.files + "/three.xlsx";
        Zip::write(
            {{"xl/workbook.xml", "<workbook><sheets><sheet id=\"rId1\"/><sheet name=\"Lost\" "
                                 "id=\"rId9\"/><sheet name=\"Third\" id=\"rId3\"/></sheets></workbook>"},
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
        QCOMPARE(odsSays("<table name=\"Big\"><table-row number-rows-repeated=\"100001\">"
                         "<table-cell><p>1</p></table-cell></table-row></table>"),
                 "The sheet “Big” has more than 100,000 rows, more than Tolvane converts");
        QCOMPARE(odsSays("<table name=\"W\"><table-row><table-cell number-columns-repeated=\"20000\"><p>1</p>"
                         "</table-cell></table-row></table>"),
                 "The sheet “W” has more than 16,384 columns, more than Tolvane converts");
        QCOMPARE(odsSays("<table><table-row number-rows-repeated=\"-2\"></table-row></table>"),
                 "Couldn’t read book.ods: a repeat count is negative");
        QCOMPARE(message([&] { SheetEngine::read(m_tmp.files + "/x.xlsb", "xlsb", nullptr); }),
                 "Can’t read XLSB spreadsheets");

        const QString outside = m_tmp.files + "/outside.xlsx";
        Zip::write({{"xl/workbook.xml", "<workbook><sheets><sheet name=\"S\" id=\"a\"/></sheets></workbook>"},
                    {"xl/_rels/workbook.xml.rels",
                     "<Relationships><Relationship Id=\"a\" Target=\"../../secret.xml\"/></Relationships>"}},
                   outside);
        QCOMPARE(message([&] { SheetEngine::readXLSX(outside); }),
                 "Couldn’t read outside.xlsx: the part “xl/../../secret.xml” lies outside the package");
    }

    void odsCells()
    {
        const QList<Sheet> sheets = SheetEngine::readODS(ods(
            "<table name=\"T\"><table-header-rows><table-row><table-cell "
            "number-columns-repeated=\"3\"><p>x</p>"
            "</table-cell></table-row></table-header-rows><table-row><table-cell><p>a</p><p>b</p></"
            "table-cell>"
            "<table-cell value=\"42\"/><covered-table-cell><p>c</p></covered-table-cell><table-cell><p>two"
            "<s c=\"2\"/>spaces<tab/>tab<line-break/>br</p></table-cell><table-cell "
            "number-columns-repeated=\"0\">"
            "<p>none</p></table-cell><table-cell number-columns-repeated=\"1020\"/></table-row>"
            "<table-row number-rows-repeated=\"1048570\"><table-cell number-columns-repeated=\"16384\"/>"
            "</table-row></table><table><table-row><table-cell number-columns-repeated=\"2000\"/><table-cell>"
            "<p>far</p></table-cell></table-row><table-row "
            "number-rows-repeated=\"3\"><table-cell/></table-row>"
            "<table-row "
            "number-rows-repeated=\"5000\"><table-cell><p>same</p></table-cell></table-row></table>"));
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

    // A byte order mark is skipped and text that is not UTF-8 read in the code page it was saved
    // in, as a localized spreadsheet exports it.
    void delimitedFiles()
    {
        const QString csv = writeFile(m_tmp.files + "/excel.csv", "\xef\xbb\xbfName;x,\"1\"\r\n");
        QCOMPARE(SheetEngine::read(csv, "csv", nullptr).first().rows, (Rows{{"Name;x", "1"}}));
        const QList<Sheet> sheets = SheetEngine::read(writeFile(csv, "Caf\xe9\tb\n"), "tsv", nullptr);
        QCOMPARE(sheets.first().name, "excel");
        QCOMPARE(sheets.first().rows, (Rows{{"Café", "b"}}));
        const std::pair<const char*, Rows> exported[] = {
            {"windows-1251", {{"Имя", "Город"}, {"Анна", "Москва"}}},
            {"windows-1253", {{"Όνομα", "Πόλη"}, {"Άννα", "Αθήνα"}}},
            {"windows-1250", {{"Jméno", "Město"}, {"Petr", "Brno"}}},
            {"windows-1254", {{"Ad", "Şehir"}, {"Ayşe", "İzmir"}}},
            {"windows-1255", {{"שם", "עיר"}, {"דוד", "חיפה"}}},
            {"windows-1256", {{"الاسم", "المدينة"}, {"أحمد", "القاهرة"}}},
            {"windows-1252", {{"Prénom", "Ville"}, {"Zoë", "Noël"}}},
        };
        for (const auto& [codec, rows] : exported) {
            QString text;
            for (const QStringList& row : rows)
                text += row.join(',') + "\r\n";
            const QByteArray bytes = QStringEncoder(codec).encode(text);
            QCOMPARE(SheetEngine::read(writeFile(csv, bytes), "csv", nullptr).first().rows, rows);
        }
    }
};

QTEST_GUILESS_MAIN(SheetReadTest)
#include "test_sheetread.moc"
