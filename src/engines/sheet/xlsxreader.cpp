#include "engines/sheet/sheetengine.h"
#include "engines/sheet/sheetpackage.h"

#include "core/converterror.h"

#include <QFile>
#include <QHash>

namespace {

using SheetXML::attribute;
using SheetXML::integer;

struct SheetEntry
{
    std::optional<QString> name;
    std::optional<QString> id;
};

// The text of every "t" inside the current element, read up to its end. Phonetic guides ("rPh")
// are left out: they spell out how a cell is read, they are not its text.
QString runText(QXmlStreamReader& xml)
{
    QString text;
    qint64 level = 1;
    while (level > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement()) {
            --level;
        } else if (!xml.isStartElement()) {
            continue;
        } else if (xml.name() == QLatin1String("rPh")) {
            xml.skipCurrentElement();
        } else if (xml.name() == QLatin1String("t")) {
            text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else {
            ++level;
        }
    }
    return text;
}

QStringList sharedStrings(const SheetPackage& package)
{
    const QString part = QStringLiteral("xl/sharedStrings.xml");
    const std::unique_ptr<QFile> file = package.open(part);
    if (!file) return {};
    QStringList strings;
    QXmlStreamReader xml(file.get());
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("si")) strings.append(runText(xml));
    }
    package.check(xml, part);
    return strings;
}

QList<SheetEntry> workbookSheets(const SheetPackage& package)
{
    const QString part = QStringLiteral("xl/workbook.xml");
    const std::unique_ptr<QFile> file = package.require(part);
    QList<SheetEntry> entries;
    QXmlStreamReader xml(file.get());
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("sheet"))
            entries.append({attribute(xml, QLatin1String("name")), attribute(xml, QLatin1String("id"))});
    }
    package.check(xml, part);
    return entries;
}

QHash<QString, QString> relationships(const SheetPackage& package)
{
    const QString part = QStringLiteral("xl/_rels/workbook.xml.rels");
    const std::unique_ptr<QFile> file = package.require(part);
    QHash<QString, QString> targets;
    QXmlStreamReader xml(file.get());
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement() || xml.name() != QLatin1String("Relationship")) continue;
        const auto id = attribute(xml, QLatin1String("Id"));
        const auto target = attribute(xml, QLatin1String("Target"));
        if (id && target) targets.insert(*id, *target);
    }
    package.check(xml, part);
    return targets;
}

// Reads one worksheet part into `sheet`: rows placed by their numbers, cells by their references.
class WorksheetReader
{
  public:
    WorksheetReader(const SheetPackage& package, const QStringList& strings, Sheet& sheet)
        : m_package(package), m_strings(strings), m_sheet(sheet)
    {
    }

    void read(const QString& part)
    {
        const std::unique_ptr<QFile> file = m_package.require(part);
        QXmlStreamReader xml(file.get());
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("row")) readRow(xml);
        }
        m_package.check(xml, part);
    }

  private:
    void readRow(QXmlStreamReader& xml)
    {
        const auto number = integer(attribute(xml, QLatin1String("r")).value_or(QString()));
        const qint64 index = number ? *number - 1 : m_sheet.rows.size();
        // A row without a number after this one is numbered from the rows up to here.
        if (index >= 0 && index < SheetEngine::maxRows)
            while (m_sheet.rows.size() <= index)
                m_sheet.rows.append(QStringList());
        int column = -1;
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("c")) {
                xml.skipCurrentElement();
                continue;
            }
            const auto ref = attribute(xml, QLatin1String("r"));
            column = ref ? SheetEngine::columnIndex(*ref) : column + 1;
            place(index, column, cellValue(xml));
        }
    }

    QString cellValue(QXmlStreamReader& xml) const
    {
        const std::optional<QString> type = attribute(xml, QLatin1String("t"));
        if (type == QLatin1String("inlineStr")) return runText(xml);
        std::optional<QString> raw;
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("v") && !raw)
                raw = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            else
                xml.skipCurrentElement();
        }
        if (!raw || raw->isEmpty() || !type) return raw.value_or(QString());
        if (*type == QLatin1String("s")) {
            const auto i = integer(*raw);
            return i && *i >= 0 && *i < m_strings.size() ? m_strings.at(*i) : QString();
        }
        if (*type == QLatin1String("b"))
            return *raw == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        return *raw;
    }

    // Empty cells past a row's end change nothing once the row is trimmed, so they are not
    // stored; content past the limits is reported.
    void place(qint64 index, int column, const QString& value)
    {
        if (index < 0) return;
        QList<QStringList>& rows = m_sheet.rows;
        if (value.isEmpty() && (index >= rows.size() || column >= rows.at(index).size())) return;
        if (index >= SheetEngine::maxRows)
            throw ConvertError::failed(
                QStringLiteral("The sheet “%1” has more than 100,000 rows, more than Tolvane converts")
                    .arg(m_sheet.name));
        if (column >= SheetEngine::maxColumns)
            throw ConvertError::failed(
                QStringLiteral("The sheet “%1” has cells past column XFD, the last a spreadsheet holds")
                    .arg(m_sheet.name));
        while (rows.size() <= index)
            rows.append(QStringList());
        QStringList& row = rows[index];
        while (row.size() <= column)
            row.append(QString());
        row[column] = value;
    }

    const SheetPackage& m_package;
    const QStringList& m_strings;
    Sheet& m_sheet;
};

} // namespace

namespace SheetEngine {

QList<Sheet> readXLSX(const QString& path)
{
    const SheetPackage package(path);
    const QStringList strings = sharedStrings(package);
    const QList<SheetEntry> entries = workbookSheets(package);
    const QHash<QString, QString> targets = relationships(package);
    QList<Sheet> sheets;
    for (const SheetEntry& entry : entries) {
        if (!entry.id || !targets.contains(*entry.id)) continue;
        const QString target = targets.value(*entry.id);
        const QString part =
            target.startsWith(QLatin1Char('/')) ? target.mid(1) : QStringLiteral("xl/") + target;
        Sheet sheet{entry.name.value_or(QStringLiteral("Sheet") + QString::number(sheets.size() + 1)), {}};
        WorksheetReader(package, strings, sheet).read(part);
        trim(sheet.rows);
        sheets.append(sheet);
    }
    return sheets;
}

} // namespace SheetEngine
