#pragma once

#include <QLatin1String>
#include <QString>

// Template pieces shared by the XLSX and PPTX writers.
namespace OOXML::Parts {

inline constexpr QLatin1String declaration("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n");

inline constexpr QLatin1String relNS("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
inline constexpr QLatin1String packageRelNS("http://schemas.openxmlformats.org/package/2006/relationships");
inline constexpr QLatin1String contentTypesNS("http://schemas.openxmlformats.org/package/2006/content-types");
inline constexpr QLatin1String drawingNS("http://schemas.openxmlformats.org/drawingml/2006/main");
inline constexpr QLatin1String presentationNS("http://schemas.openxmlformats.org/presentationml/2006/main");
inline constexpr QLatin1String spreadsheetNS("http://schemas.openxmlformats.org/spreadsheetml/2006/main");

// The opening of a relationships part, up to its first relationship.
inline QString relationshipsStart()
{
    return QString(declaration) + QLatin1String("<Relationships xmlns=\"") + packageRelNS +
           QLatin1String("\">");
}

// One relationship whose type is a path under the office document relationships namespace.
inline QString relationship(const QString& id, QLatin1String type, const QString& target)
{
    return QLatin1String("<Relationship Id=\"") + id + QLatin1String("\" Type=\"") + relNS + type +
           QLatin1String("\" Target=\"") + target + QLatin1String("\"/>");
}

// The package relationships of "_rels/.rels": the main part, then the document properties.
inline QString packageRelationships(const QString& mainPart)
{
    return relationshipsStart() +
           relationship(QStringLiteral("rId1"), QLatin1String("/officeDocument"), mainPart) +
           QLatin1String("<Relationship Id=\"rId2\" Type=\"") + packageRelNS +
           QLatin1String("/metadata/core-properties\" Target=\"docProps/core.xml\"/>") +
           relationship(QStringLiteral("rId3"), QLatin1String("/extended-properties"),
                        QStringLiteral("docProps/app.xml")) +
           QLatin1String("</Relationships>");
}

// The opening of "[Content_Types].xml" with its defaults for relationships and XML parts.
inline QString contentTypesStart()
{
    return QString(declaration) + QLatin1String("<Types xmlns=\"") + contentTypesNS +
           QLatin1String("\"><Default Extension=\"rels\" "
                         "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>");
}

inline QString override_(const QString& part, QLatin1String type)
{
    return QLatin1String("<Override PartName=\"") + part + QLatin1String("\" ContentType=\"") + type +
           QLatin1String("\"/>");
}

// The document property overrides and the end of "[Content_Types].xml".
inline QString contentTypesEnd()
{
    return override_(QStringLiteral("/docProps/core.xml"),
                     QLatin1String("application/vnd.openxmlformats-package.core-properties+xml")) +
           override_(QStringLiteral("/docProps/app.xml"),
                     QLatin1String("application/vnd.openxmlformats-officedocument.extended-properties+xml")) +
           QLatin1String("</Types>");
}

} // namespace OOXML::Parts
