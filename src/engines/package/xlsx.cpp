#include "engines/package/ooxml.h"
#include "engines/package/ooxmlparts.h"

#include "core/converterror.h"
#include "core/xml.h"
#include "core/zip.h"

#include <QFileInfo>

namespace {

using namespace OOXML::Parts;

// What a workbook holds at most; past these the common spreadsheet application refuses the file.
constexpr qsizetype maxRows = 1048576;
constexpr qsizetype maxColumns = 16384;
constexpr qsizetype maxCellText = 32767;

void checkLimits(const Sheet& sheet)
{
    const auto refuse = [&](const QString& what) {
        return ConvertError::failed(QStringLiteral("“%1” is too large for XLSX: %2").arg(sheet.name, what));
    };
    if (sheet.rows.size() > maxRows) throw refuse(QStringLiteral("it has more than 1,048,576 rows"));
    for (const QStringList& row : sheet.rows) {
        if (row.size() > maxColumns) throw refuse(QStringLiteral("it has more than 16,384 columns"));
        for (const QString& cell : row)
            if (cell.size() > maxCellText)
                throw refuse(QStringLiteral("a cell holds more than 32,767 characters"));
    }
}

QString cell(const QString& text, const QString& ref)
{
    if (const auto number = OOXML::cellNumber(text))
        return QLatin1String("<c r=\"") + ref + QLatin1String("\"><v>") + *number + QLatin1String("</v></c>");
    return QLatin1String("<c r=\"") + ref +
           QLatin1String("\" t=\"inlineStr\"><is><t xml:space=\"preserve\">") + xmlEscaped(text) +
           QLatin1String("</t></is></c>");
}

QByteArray worksheet(const Sheet& sheet)
{
    qsizetype size = 256;
    for (const QStringList& row : sheet.rows) {
        size += 24;
        for (const QString& text : row)
            size += text.size() + 72;
    }
    QString xml;
    xml.reserve(size);
    xml += declaration + QLatin1String("<worksheet xmlns=\"") + spreadsheetNS +
           QLatin1String("\" xmlns:r=\"") + relNS + QLatin1String("\"><sheetData>");
    for (qsizetype r = 0; r < sheet.rows.size(); ++r) {
        const QString number = QString::number(r + 1);
        xml += QLatin1String("<row r=\"") + number + QLatin1String("\">");
        const QStringList& row = sheet.rows.at(r);
        for (qsizetype c = 0; c < row.size(); ++c)
            if (!row.at(c).isEmpty()) xml += cell(row.at(c), OOXML::columnName(int(c)) + number);
        xml += QLatin1String("</row>");
    }
    xml += QLatin1String("</sheetData></worksheet>");
    return xml.toUtf8();
}

const QLatin1String styles(
    "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts><fills count=\"2\"><fill>"
    "<patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill></fills>"
    "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders><cellStyleXfs "
    "count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs><cellXfs "
    "count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" "
    "xfId=\"0\"/></cellXfs><cellStyles "
    "count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles></styleSheet>");

} // namespace

namespace OOXML {

void writeXLSX(const QList<Sheet>& sheets, const QString& path, const std::optional<QString>& title)
{
    const QList<Sheet> written =
        sheets.isEmpty() ? QList<Sheet>{Sheet{QStringLiteral("Sheet1"), {}}} : sheets;
    for (const Sheet& sheet : written)
        checkLimits(sheet);

    QMap<QString, QByteArray> parts = docProps(titleFor(path, title), QStringLiteral("Tolvane"));
    QSet<QString> used;
    QString entries, overrides, relationships;
    for (qsizetype i = 0; i < written.size(); ++i) {
        const QString k = QString::number(i + 1);
        const QString name = sheetName(written.at(i).name, used);
        parts.insert(QLatin1String("xl/worksheets/sheet") + k + QLatin1String(".xml"),
                     worksheet(written.at(i)));
        entries += QLatin1String("<sheet name=\"") + xmlEscaped(name) + QLatin1String("\" sheetId=\"") + k +
                   QLatin1String("\" r:id=\"rId") + k + QLatin1String("\"/>");
        overrides += override_(
            QLatin1String("/xl/worksheets/sheet") + k + QLatin1String(".xml"),
            QLatin1String("application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"));
        relationships += relationship(QLatin1String("rId") + k, QLatin1String("/worksheet"),
                                      QLatin1String("worksheets/sheet") + k + QLatin1String(".xml"));
    }
    const QString stylesId = QLatin1String("rId") + QString::number(written.size() + 1);

    parts.insert(QStringLiteral("xl/workbook.xml"),
                 (declaration + QLatin1String("<workbook xmlns=\"") + spreadsheetNS +
                  QLatin1String("\" xmlns:r=\"") + relNS + QLatin1String("\"><sheets>") + entries +
                  QLatin1String("</sheets></workbook>"))
                     .toUtf8());
    parts.insert(QStringLiteral("xl/_rels/workbook.xml.rels"),
                 (relationshipsStart() + relationships +
                  relationship(stylesId, QLatin1String("/styles"), QStringLiteral("styles.xml")) +
                  QLatin1String("</Relationships>"))
                     .toUtf8());
    parts.insert(
        QStringLiteral("[Content_Types].xml"),
        (contentTypesStart() +
         override_(
             QStringLiteral("/xl/workbook.xml"),
             QLatin1String("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml")) +
         override_(QStringLiteral("/xl/styles.xml"),
                   QLatin1String("application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml")) +
         overrides + contentTypesEnd())
            .toUtf8());
    parts.insert(QStringLiteral("_rels/.rels"),
                 packageRelationships(QStringLiteral("xl/workbook.xml")).toUtf8());
    parts.insert(QStringLiteral("xl/styles.xml"), (declaration + QLatin1String("<styleSheet xmlns=\"") +
                                                   spreadsheetNS + QLatin1String("\">") + styles)
                                                      .toUtf8());
    Zip::write(parts, path);
}

} // namespace OOXML
