#include "engines/package/ooxml.h"

#include "core/converterror.h"
#include "core/output.h"
#include "core/shell.h"
#include "core/zip.h"

#include <QBuffer>
#include <QDirIterator>
#include <QImage>
#include <QXmlStreamReader>
#include <QtTest>

// A PNG of the given size, made by Qt.
static QByteArray png(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class OoxmlTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    // The package's XML parts by path; each must parse.
    QMap<QString, QString> parts(const QString& package)
    {
        QMap<QString, QString> found;
        const ScratchFolder folder = Zip::extract(package);
        QDirIterator it(folder.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly) || it.fileName().endsWith(".png") ||
                it.fileName() == "mimetype")
                continue;
            const QByteArray xml = file.readAll();
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
        QCOMPARE(name("DATA"), "DATA 3");
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
        QCOMPARE(used.size(), 21);
    }

    void columnNames()
    {
        const QList<int> indexes{0, 25, 26, 27, 701, 702, 16383};
        QStringList names;
        for (int i : indexes)
            names << OOXML::columnName(i);
        QCOMPARE(names, QStringList({"A", "Z", "AA", "AB", "ZZ", "AAA", "XFD"}));
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
        QVERIFY(
            xml.value("xl/_rels/workbook.xml.rels")
                .contains(
                    "Id=\"rId3\" "
                    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\""));
        QVERIFY(xml.value("docProps/core.xml").contains("<dc:title>Book &amp; Co</dc:title>"));
        QCOMPARE(xml.size(), 9);

        OOXML::writeXLSX({}, path);
        const auto empty = parts(path);
        QVERIFY(empty.value("xl/workbook.xml")
                    .contains("<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"));
        QVERIFY(
            empty.value("xl/_rels/workbook.xml.rels")
                .contains(
                    "Id=\"rId2\" "
                    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\""));
        QVERIFY(empty.value("xl/worksheets/sheet1.xml").contains("<sheetData></sheetData>"));

        // Written through Output, the hidden temporary name never becomes the title.
        const QString saved = Output::write(
            m_dir.filePath("Report.xlsx"), [](const QString& temporary) { OOXML::writeXLSX({}, temporary); });
        QVERIFY(parts(saved).value("docProps/core.xml").contains("<dc:title></dc:title>"));
        const QString deck = m_dir.filePath("Deck.pptx");
        OOXML::writePPTX({}, {612, 792}, deck, QString("Q3 & Q4"));
        QVERIFY(parts(deck).value("docProps/core.xml").contains("<dc:title>Q3 &amp; Q4</dc:title>"));
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

    void odsCells()
    {
        const QString path = m_dir.filePath("cells.ods");
        OOXML::writeODS(
            {{"Data", {{" 42 ", "007", "1234567890123456"}, {"a", "", "c"}, {}, {"a  b\n\tc", "  lead"}}},
             {"data", {}}},
            path);
        QCOMPARE(Shell::run("/usr/bin/unzip", {"-Z1", path, "-x", "*/"}).out(),
                 "mimetype\nMETA-INF/manifest.xml\ncontent.xml\n");
        const QString content = parts(path).value("content.xml");
        const QString empty = "<table:table-cell/>";
        const auto string = [](const QString& paragraphs) {
            return "<table:table-cell office:value-type=\"string\">" + paragraphs + "</table:table-cell>";
        };
        QVERIFY(content.contains(
            "<table:table table:name=\"Data\"><table:table-row>"
            "<table:table-cell office:value-type=\"float\" office:value=\"42\"><text:p><text:s/>42 </text:p>"
            "</table:table-cell>" +
            string("<text:p>007</text:p>") + string("<text:p>1234567890123456</text:p>") +
            "</table:table-row><table:table-row>" + string("<text:p>a</text:p>") + empty +
            string("<text:p>c</text:p>") + "</table:table-row><table:table-row>" + empty +
            "</table:table-row><table:table-row>" +
            string("<text:p>a <text:s/>b</text:p><text:p>\tc</text:p>") +
            string("<text:p><text:s text:c=\"2\"/>lead</text:p>") +
            "</table:table-row></table:table><table:table table:name=\"data 2\"><table:table-row>" + empty +
            "</table:table-row></table:table>"));
    }

    void pptxGeometry_data()
    {
        QTest::addColumn<QSizeF>("page");
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<QString>("slideSize");
        QTest::addColumn<QString>("placement");
        QTest::newRow("letter, wide")
            << QSizeF(612, 792) << png(1000, 500) << "cx=\"7772400\" cy=\"10058400\""
            << "<a:off x=\"0\" y=\"3086100\"/><a:ext cx=\"7772400\" cy=\"3886200\"/>";
        QTest::newRow("letter, tall")
            << QSizeF(612, 792) << png(500, 1000) << "cx=\"7772400\" cy=\"10058400\""
            << "<a:off x=\"1371600\" y=\"0\"/><a:ext cx=\"5029200\" cy=\"10058400\"/>";
        QTest::newRow("small page") << QSizeF(10, 10) << png(10, 10) << "cx=\"914400\" cy=\"914400\""
                                    << "<a:off x=\"0\" y=\"0\"/><a:ext cx=\"914400\" cy=\"914400\"/>";
        QTest::newRow("huge page, unreadable picture")
            << QSizeF(5000, 5000) << QByteArray("not a png") << "cx=\"51206400\" cy=\"51206400\""
            << "<a:off x=\"0\" y=\"0\"/><a:ext cx=\"51206400\" cy=\"51206400\"/>";
    }

    void pptxGeometry()
    {
        QFETCH(QSizeF, page);
        QFETCH(QByteArray, picture);
        QFETCH(QString, slideSize);
        QFETCH(QString, placement);
        const QString path = m_dir.filePath("deck.pptx");
        OOXML::writePPTX({picture}, page, path);
        const auto xml = parts(path);
        QVERIFY(xml.value("ppt/presentation.xml").contains("<p:sldSz " + slideSize + "/>"));
        QVERIFY(xml.value("ppt/slides/slide1.xml").contains(placement));
        QVERIFY(xml.value("ppt/_rels/presentation.xml.rels")
                    .contains("Id=\"rId3\" "
                              "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                              "slide\" Target=\"slides/slide1.xml\""));
    }

    void pptxWithoutSlides()
    {
        const QString path = m_dir.filePath("empty.pptx");
        OOXML::writePPTX({}, QSizeF(612, 792), path);
        const auto xml = parts(path);
        QVERIFY(xml.value("ppt/presentation.xml").contains("<p:sldIdLst></p:sldIdLst>"));
        QVERIFY(!xml.value("[Content_Types].xml").contains("slide+xml"));
        QVERIFY(!xml.value("ppt/_rels/presentation.xml.rels").contains("rId3"));
        QCOMPARE(xml.value("ppt/theme/theme1.xml").toUtf8().size(), 1913);
    }
};

QTEST_GUILESS_MAIN(OoxmlTest)
#include "test_ooxml.moc"
