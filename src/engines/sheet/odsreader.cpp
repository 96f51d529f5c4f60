#include "engines/sheet/sheetengine.h"
#include "engines/sheet/sheetpackage.h"

#include "core/converterror.h"

#include <QFile>

namespace {

using SheetXML::attribute;

// A run of spaces is stored as a counted element; a longer run than this is no cell's content.
constexpr qint64 maxSpaces = 1000;

// Reads the tables of content.xml. Empty cells and rows are only counted until content follows
// them, so that the padding a spreadsheet application writes up to its last column and row
// costs nothing, and repeated content is placed in full up to the limits.
class OdsReader
{
  public:
    explicit OdsReader(const SheetPackage& package) : m_package(package) {}

    QList<Sheet> read()
    {
        const QString part = QStringLiteral("content.xml");
        const std::unique_ptr<QFile> file = m_package.require(part);
        QXmlStreamReader xml(file.get());
        QList<Sheet> sheets;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("table")) {
                Sheet sheet{attribute(xml, QLatin1String("name"))
                                .value_or(QStringLiteral("Sheet") + QString::number(sheets.size() + 1)),
                            {}};
                readTable(xml, sheet);
                sheets.append(sheet);
            }
        }
        m_package.check(xml, part);
        return sheets;
    }

  private:
    qint64 repeat(const QXmlStreamReader& xml, QLatin1String name) const
    {
        const std::optional<qint64> count = SheetXML::integer(attribute(xml, name).value_or(QString()));
        if (count && *count < 0) m_package.fail(QStringLiteral("a repeat count is negative"));
        return count.value_or(1);
    }

    [[noreturn]] void tooLarge(const Sheet& sheet, bool rows) const
    {
        throw ConvertError::failed(
            rows ? QStringLiteral("The sheet “%1” has more than 100,000 rows, more than Tolvane converts")
                       .arg(sheet.name)
                 : QStringLiteral("The sheet “%1” has more than 16,384 columns, more than Tolvane converts")
                       .arg(sheet.name));
    }

    // Rows anywhere inside the table (headers and groups included), up to the table's end.
    void readTable(QXmlStreamReader& xml, Sheet& sheet)
    {
        qint64 pendingRows = 0;
        qint64 level = 1;
        while (level > 0 && !xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement()) {
                --level;
            } else if (xml.isStartElement() && xml.name() == QLatin1String("table-row")) {
                const qint64 times = repeat(xml, QLatin1String("number-rows-repeated"));
                const QStringList row = readRow(xml, sheet);
                if (row.isEmpty() || times == 0) {
                    pendingRows += times;
                    continue;
                }
                if (sheet.rows.size() + pendingRows + times > SheetEngine::maxRows) tooLarge(sheet, true);
                for (; pendingRows > 0; --pendingRows)
                    sheet.rows.append(QStringList());
                for (qint64 i = 0; i < times; ++i)
                    sheet.rows.append(row);
            } else if (xml.isStartElement()) {
                ++level;
            }
        }
    }

    // The row's direct cells, without trailing empty ones.
    QStringList readRow(QXmlStreamReader& xml, const Sheet& sheet)
    {
        QStringList row;
        qint64 pendingCells = 0;
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("table-cell") &&
                xml.name() != QLatin1String("covered-table-cell")) {
                xml.skipCurrentElement();
                continue;
            }
            const qint64 times = repeat(xml, QLatin1String("number-columns-repeated"));
            const QString text = readCell(xml);
            if (text.isEmpty() || times == 0) {
                pendingCells += times;
                continue;
            }
            if (row.size() + pendingCells + times > SheetEngine::maxColumns) tooLarge(sheet, false);
            for (; pendingCells > 0; --pendingCells)
                row.append(QString());
            for (qint64 i = 0; i < times; ++i)
                row.append(text);
        }
        return row;
    }

    // The cell's paragraphs joined by line ends, or else its value attribute.
    QString readCell(QXmlStreamReader& xml)
    {
        const QString value = attribute(xml, QLatin1String("value")).value_or(QString());
        QStringList paragraphs;
        qint64 level = 1;
        while (level > 0 && !xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement())
                --level;
            else if (xml.isStartElement() && xml.name() == QLatin1String("p"))
                paragraphs.append(paragraphText(xml));
            else if (xml.isStartElement())
                ++level;
        }
        const QString text = paragraphs.join(QLatin1Char('\n'));
        return text.isEmpty() ? value : text;
    }

    // A paragraph's text with its counted spaces, tabs and line breaks written out.
    QString paragraphText(QXmlStreamReader& xml)
    {
        QString text;
        qint64 level = 1;
        while (level > 0 && !xml.atEnd()) {
            xml.readNext();
            if (xml.isCharacters()) {
                text += xml.text();
            } else if (xml.isEndElement()) {
                --level;
            } else if (!xml.isStartElement()) {
                continue;
            } else if (xml.name() == QLatin1String("s")) {
                const qint64 count =
                    SheetXML::integer(attribute(xml, QLatin1String("c")).value_or(QString())).value_or(1);
                text += QString(qsizetype(qBound<qint64>(1, count, maxSpaces)), QLatin1Char(' '));
                xml.skipCurrentElement();
            } else if (xml.name() == QLatin1String("tab")) {
                text += QLatin1Char('\t');
                xml.skipCurrentElement();
            } else if (xml.name() == QLatin1String("line-break")) {
                text += QLatin1Char('\n');
                xml.skipCurrentElement();
            } else {
                ++level;
            }
        }
        return text;
    }

    const SheetPackage& m_package;
};

} // namespace

namespace SheetEngine {

QList<Sheet> readODS(const QString& path)
{
    const SheetPackage package(path);
    return OdsReader(package).read();
}

} // namespace SheetEngine
