#pragma once

#include "engines/sheet/sheet.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <QSizeF>
#include <QString>
#include <optional>

// Writers of office packages from plain grids and pictures, as filled-in XML templates zipped
// by Zip::write: XLSX workbooks and ODS spreadsheets from sheets, PPTX presentations with one
// full-slide picture per page.
namespace OOXML {

// Writes `sheets` as an XLSX workbook at `path` (no sheets: one empty "Sheet1"). Throws
// ConvertError when a sheet exceeds what the format holds (1,048,576 rows, 16,384 columns,
// 32,767 characters in a cell) or when writing fails.
// `title` goes into the document's properties; without one, the file's base name does, unless
// the file is a hidden temporary one, whose name means nothing to the user.
void writeXLSX(const QList<Sheet>& sheets, const QString& path, const std::optional<QString>& title = {});

// Writes `sheets` as an ODS spreadsheet at `path` (no sheets: one empty "Sheet1").
void writeODS(const QList<Sheet>& sheets, const QString& path);

// Writes one slide per PNG, each picture fitted and centred on a slide of `pageSize` points
// (kept between 1 and 56 inches a side).
void writePPTX(const QList<QByteArray>& slides, const QSizeF& pageSize, const QString& path,
               const std::optional<QString>& title = {});

// The sheet name to use for `wanted`: without []:*?/\ and outer apostrophes, at most 31 UTF-16
// units cut between characters, "Sheet" when nothing is left, unique regardless of case by
// " 2", " 3", … (also against the reserved "History"). `used` holds the lower-cased names taken
// so far and gains the new one.
QString sheetName(const QString& wanted, QSet<QString>& used);

// Column letters of a 0-based index: A … Z, AA … ZZ, AAA …
QString columnName(int index);

// The width and height of PNG bytes from their image header, or nothing for fewer than 25 bytes.
std::optional<QSizeF> pngSize(const QByteArray& png);

// The number a cell is written as: Sheet::number's text, unless it has more significant digits
// than a spreadsheet keeps (15), which stays text so that no digit of an identifier is lost.
std::optional<QString> cellNumber(const QString& cell);

// The title for a package written at `path` when the caller gave none (see writeXLSX).
QString titleFor(const QString& path, const std::optional<QString>& title);

// "docProps/core.xml" and "docProps/app.xml": `title`, creator Tolvane, created and modified now.
QMap<QString, QByteArray> docProps(const QString& title, const QString& app);

} // namespace OOXML
