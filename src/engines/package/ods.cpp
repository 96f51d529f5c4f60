#include "engines/package/ooxml.h"

#include "core/xml.h"
#include "core/zip.h"

namespace {

// One line of cell text as paragraph content. The format collapses runs of spaces and drops
// leading ones, so every space after the first of a run (and every leading one) is written as a
// counted space element. Tabs stay characters: LibreOffice drops tab elements from cells.
QString paragraphContent(const QString& line)
{
    QString out;
    qsizetype i = 0;
    while (i < line.size()) {
        qsizetype run = 0;
        while (i + run < line.size() && line.at(i + run) == QLatin1Char(' '))
            ++run;
        if (run > 0) {
            const qsizetype counted = i == 0 ? run : run - 1;
            if (i > 0) out += QLatin1Char(' ');
            if (counted == 1) out += QLatin1String("<text:s/>");
            if (counted > 1)
                out += QLatin1String("<text:s text:c=\"") + QString::number(counted) + QLatin1String("\"/>");
            i += run;
        }
        const qsizetype start = i;
        while (i < line.size() && line.at(i) != QLatin1Char(' '))
            ++i;
        out += xmlEscaped(line.mid(start, i - start));
    }
    return out;
}

// The cell text as paragraphs, one per line.
QString paragraphs(const QString& text)
{
    QString normalized = text;
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QString out;
    for (const QString& line : normalized.split(QLatin1Char('\n')))
        out += QLatin1String("<text:p>") + paragraphContent(line) + QLatin1String("</text:p>");
    return out;
}

QString cell(const QString& text)
{
    if (text.isEmpty()) return QStringLiteral("<table:table-cell/>");
    if (const auto number = OOXML::cellNumber(text))
        return QLatin1String("<table:table-cell office:value-type=\"float\" office:value=\"") + *number +
               QLatin1String("\">") + paragraphs(text) + QLatin1String("</table:table-cell>");
    return QLatin1String("<table:table-cell office:value-type=\"string\">") + paragraphs(text) +
           QLatin1String("</table:table-cell>");
}

void appendTable(QString& xml, const Sheet& sheet, const QString& name)
{
    xml += QLatin1String("<table:table table:name=\"") + xmlEscaped(name) + QLatin1String("\">");
    if (sheet.rows.isEmpty()) xml += QLatin1String("<table:table-row><table:table-cell/></table:table-row>");
    for (const QStringList& row : sheet.rows) {
        xml += QLatin1String("<table:table-row>");
        if (row.isEmpty()) xml += QLatin1String("<table:table-cell/>");
        for (const QString& text : row)
            xml += cell(text);
        xml += QLatin1String("</table:table-row>");
    }
    xml += QLatin1String("</table:table>");
}

const QLatin1String
    manifest("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<manifest:manifest "
             "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" manifest:version=\"1.2\">"
             "<manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.2\" "
             "manifest:media-type=\"application/vnd.oasis.opendocument.spreadsheet\"/><manifest:file-entry "
             "manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/></manifest:manifest>");

} // namespace

namespace OOXML {

void writeODS(const QList<Sheet>& sheets, const QString& path)
{
    const QList<Sheet> written =
        sheets.isEmpty() ? QList<Sheet>{Sheet{QStringLiteral("Sheet1"), {}}} : sheets;
    qsizetype size = 512;
    for (const Sheet& sheet : written)
        for (const QStringList& row : sheet.rows) {
            size += 40;
            for (const QString& text : row)
                size += text.size() + 100;
        }
    QString content;
    content.reserve(size);
    content += QLatin1String(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.2\"><office:body>"
        "<office:spreadsheet>");
    QSet<QString> used;
    for (const Sheet& sheet : written)
        appendTable(content, sheet, sheetName(sheet.name, used));
    content += QLatin1String("</office:spreadsheet></office:body></office:document-content>");

    Zip::write({{QStringLiteral("META-INF/manifest.xml"), QByteArray(manifest.data(), manifest.size())},
                {QStringLiteral("content.xml"), content.toUtf8()}},
               path, QStringLiteral("application/vnd.oasis.opendocument.spreadsheet"));
}

} // namespace OOXML
