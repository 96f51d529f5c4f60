#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The parts of office documents that make an office suite read other files or the network, and
// their harmless versions: a document keeps its text, and what it only linked to is left out.
namespace OfficeLinks {

// True when a field instruction (" INCLUDEPICTURE \"http://…\" \\d") brings in another file or
// program: INCLUDE, INCLUDETEXT, INCLUDEPICTURE, IMPORT, LINK, DDE, DDEAUTO, DATABASE, RD.
bool includesOthers(const QString& instruction);

// An OOXML relationships part ("word/_rels/document.xml.rels") written anew with only the
// relationships whose target stays inside the package (a relative path that stays below the
// package root, "/" being the root), and hyperlinks, which are never loaded. Nothing when `xml`
// is not well-formed.
std::optional<QByteArray> relationships(const QByteArray& xml, const QString& relsPath);

// An XML part of a package with every field instruction that includes others emptied (the
// field shows its last result) and every link to a resource outside the package (an xlink:href
// or o:href with a scheme, an absolute path or ".." past the root; hyperlinks excepted) made
// empty; a picture written into the part (OpenDocument's binary-data) is confined like a picture
// part (OfficePicture). The bytes come back unchanged when there is nothing to remove; nothing
// when `xml` is not well-formed (undeclared prefixes are taken as written).
std::optional<QByteArray> part(const QByteArray& xml, const QString& partPath);

// RTF with every field instruction that includes others emptied. Unchanged when there is none.
QByteArray rtf(const QByteArray& text);

} // namespace OfficeLinks
