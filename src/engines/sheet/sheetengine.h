#pragma once

#include "core/progress.h"
#include "engines/sheet/sheet.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class Job;

// Reads spreadsheets into plain sheets of text and writes them as XLSX, ODS, CSV, TSV or a ruled
// table PDF.
namespace SheetEngine {

// What a sheet read from a file holds at most. Content beyond these is reported as an error,
// never left out silently.
inline constexpr int maxRows = 100000;
inline constexpr int maxColumns = 16384;

// Reads the spreadsheet at `path` whose format key is `format`: csv and tsv (one sheet named
// after the file), xlsx, ods, and xls and numbers through the office bridge (which `job` can
// cancel). Rows are trimmed of trailing empty cells and trailing empty rows, except in csv and
// tsv. Throws ConvertError.
QList<Sheet> read(const QString& path, const QString& format, Job* job);
QList<Sheet> readXLSX(const QString& path);
QList<Sheet> readODS(const QString& path);

// Splits delimited text into rows of cells: fields may be quoted ("" is a quote inside quotes);
// "\n", "\r\n" and "\r" end rows; a final line end makes no empty row.
QList<QStringList> parseDelimited(const QString& text, QChar separator);

// One sheet's rows as delimited text: a cell holding the separator, a quote or a line end is
// quoted with its quotes doubled; rows end with "\n", also when there are none.
QString delimited(const QList<QStringList>& rows, QChar separator);

// Removes empty cells from the end of every row, then empty rows from the end.
void trim(QList<QStringList>& rows);

// The 0-based column of a cell reference's leading letters A–Z ("A1" 0, "AB7" 27, "XFD1" 16383);
// 0 without such letters, and maxColumns or more past the last column.
int columnIndex(const QString& ref);

// Draws every sheet as a ruled table on A4 landscape pages into a new PDF at `path`: the sheet's
// name on every page, its first row bold, numbers right-aligned, columns measured on the first
// 500 rows and the table scaled down to the page's width. Throws ConvertError; also when there
// are no sheets, or no graphical application runs to measure text.
void writePDF(const QList<Sheet>& sheets, const QString& path);

// Converts the spreadsheet at `source` into `to`: xlsx, ods, pdf, csv or tsv
// (one file, or for several sheets a folder of one file per sheet). Returns what was written.
QStringList convert(const QString& source, const QString& to, Job& job, const Progress& progress);

} // namespace SheetEngine
