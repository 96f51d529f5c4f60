#include "engines/sheet/sheetengine.h"

#include "core/checkedfile.h"
#include "core/converterror.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>

namespace {

// Page geometry in points (the writer runs at 72 dots per inch, so one unit is one point).
constexpr double pageWidth = 842, pageHeight = 595;
constexpr double margin = 36;
constexpr double titleTop = 32, tableTop = 56;
constexpr double rowHeight = 15, textTop = 2, textHeight = 13, inset = 5;
constexpr double minColumn = 30, maxColumn = 180;
constexpr int measuredRows = 500;
constexpr double rowsHeight = pageHeight - 2 * margin - 24;
// A cell shows at most this many lines, so that every row fits a page.
constexpr int maxCellLines = 30;

struct Fonts
{
    QFont title, cell, header;
};

Fonts fonts()
{
    QFont base = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    Fonts f{base, base, base};
    f.title.setPointSizeF(12);
    f.title.setBold(true);
    f.cell.setPointSizeF(8.5);
    f.header.setPointSizeF(8.5);
    f.header.setBold(true);
    return f;
}

// The cell's lines as written, at any line end, without trailing empty ones.
QStringList writtenLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != u'\n' && text.at(i) != u'\r') continue;
        lines.append(text.mid(start, i - start));
        if (text.at(i) == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') ++i;
        start = i + 1;
    }
    lines.append(start == 0 ? text : text.mid(start));
    while (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

double widestLine(const QString& text, const QFontMetricsF& metrics)
{
    double widest = 0;
    for (const QString& line : writtenLines(text))
        widest = qMax(widest, metrics.horizontalAdvance(line));
    return widest;
}

// The cell's text in lines that fit `width`: broken at its line ends, wrapped at word boundaries
// (or anywhere in a word wider than the box), at most `maxCellLines`, the last cut with "…" when
// more would follow.
QStringList wrapped(const QString& text, const QFont& font, const QFontMetricsF& metrics,
                    QPaintDevice* device, double width)
{
    QStringList out;
    for (const QString& line : writtenLines(text)) {
        if (metrics.horizontalAdvance(line) <= width) {
            out.append(line);
        } else {
            QTextLayout layout(line, font, device);
            QTextOption option;
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            layout.setTextOption(option);
            layout.beginLayout();
            for (QTextLine piece = layout.createLine(); piece.isValid() && out.size() <= maxCellLines;
                 piece = layout.createLine()) {
                piece.setLineWidth(width);
                out.append(line.mid(piece.textStart(), piece.textLength()).trimmed());
            }
            layout.endLayout();
        }
        if (out.size() > maxCellLines) {
            out.resize(maxCellLines);
            out.last() = metrics.elidedText(out.last() + QStringLiteral("…"), Qt::ElideRight, width,
                                            Qt::TextSingleLine);
            break;
        }
    }
    return out;
}

// Widths fit the first rows' texts; the first row is measured in the bold face it is drawn in, so
// that a heading that fits its column is not cut short.
QList<double> columnWidths(const Sheet& sheet, const QFontMetricsF& cellMetrics,
                           const QFontMetricsF& headerMetrics)
{
    qsizetype columns = 1;
    for (const QStringList& row : sheet.rows)
        columns = qMax(columns, row.size());
    QList<double> widths(columns, minColumn);
    const qsizetype measured = qMin<qsizetype>(sheet.rows.size(), measuredRows);
    for (qsizetype r = 0; r < measured; ++r) {
        const QStringList& row = sheet.rows.at(r);
        const QFontMetricsF& metrics = r == 0 ? headerMetrics : cellMetrics;
        for (qsizetype c = 0; c < row.size(); ++c)
            if (widths[c] < maxColumn)
                widths[c] = qMin(qMax(widths[c], widestLine(row.at(c), metrics) + 2 * inset), maxColumn);
    }
    return widths;
}

class TablePainter
{
  public:
    TablePainter(QPdfWriter& writer, QPainter& painter, const Fonts& fonts)
        : m_writer(writer), m_painter(painter), m_fonts(fonts), m_cellMetrics(fonts.cell, &writer),
          m_headerMetrics(fonts.header, &writer)
    {
    }

    void paint(const Sheet& sheet, bool& firstPage)
    {
        const QList<double> widths = columnWidths(sheet, m_cellMetrics, m_headerMetrics);
        double tableWidth = 0;
        for (double w : widths)
            tableWidth += w;
        const double scale = tableWidth <= 1 ? 1 : qMin(1.0, (pageWidth - 2 * margin) / tableWidth);
        const double available = rowsHeight / scale;

        qsizetype r = 0;
        do {
            if (!firstPage && !m_writer.newPage())
                throw ConvertError::failed(QStringLiteral("Couldn’t add a page to the PDF"));
            firstPage = false;
            m_painter.save();
            m_painter.setFont(m_fonts.title);
            m_painter.setPen(Qt::black);
            m_painter.drawText(QRectF(margin, titleTop, pageWidth - 2 * margin, 20),
                               Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, sheet.name);
            m_painter.translate(margin, tableTop);
            m_painter.scale(scale, scale);
            // Rows are as tall as their longest cell; a page takes the rows that fit, at least one.
            for (double y = 0; r < sheet.rows.size(); ++r) {
                const QList<QStringList> cells = rowLines(sheet.rows.at(r), r == 0, widths);
                qsizetype lines = 1;
                for (const QStringList& cell : cells)
                    lines = qMax(lines, cell.size());
                const double height = rowHeight + textHeight * double(lines - 1);
                if (y > 0 && y + height > available) break;
                paintRow(sheet.rows.at(r), cells, r, widths, QRectF(0, y, tableWidth, height));
                y += height;
            }
            m_painter.restore();
        } while (r < sheet.rows.size());
    }

  private:
    // The lines of each cell of a row, wrapped to its column.
    QList<QStringList> rowLines(const QStringList& row, bool header, const QList<double>& widths) const
    {
        QList<QStringList> cells;
        cells.reserve(widths.size());
        for (qsizetype c = 0; c < widths.size(); ++c) {
            const QString text = c < row.size() ? row.at(c) : QString();
            cells.append(text.isEmpty() ? QStringList()
                                        : wrapped(text, header ? m_fonts.header : m_fonts.cell,
                                                  header ? m_headerMetrics : m_cellMetrics, &m_writer,
                                                  widths.at(c) - 2 * inset));
        }
        return cells;
    }

    void paintRow(const QStringList& row, const QList<QStringList>& cells, qsizetype index,
                  const QList<double>& widths, const QRectF& band)
    {
        if (index % 2 == 1) m_painter.fillRect(band, QColor::fromRgbF(0.96f, 0.96f, 0.96f));
        const bool header = index == 0;
        const QFontMetricsF& metrics = header ? m_headerMetrics : m_cellMetrics;
        m_painter.setFont(header ? m_fonts.header : m_fonts.cell);
        m_painter.setPen(Qt::black);
        double x = 0;
        for (qsizetype c = 0; c < widths.size(); ++c) {
            const double width = widths.at(c);
            const double box = width - 2 * inset;
            const bool number = c < row.size() && Sheet::number(row.at(c));
            double top = band.top() + textTop;
            for (const QString& line : cells.at(c)) {
                const double left =
                    number ? x + width - inset - qMin(metrics.horizontalAdvance(line), box) : x + inset;
                m_painter.drawText(QRectF(left, top, box, textHeight),
                                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, line);
                top += textHeight;
            }
            x += width;
        }
        m_painter.setPen(QPen(QColor::fromRgbF(0.85f, 0.85f, 0.85f), 0.5));
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRect(band);
    }

    QPdfWriter& m_writer;
    QPainter& m_painter;
    const Fonts& m_fonts;
    const QFontMetricsF m_cellMetrics;
    const QFontMetricsF m_headerMetrics;
};

} // namespace

namespace SheetEngine {

void writePDF(const QList<Sheet>& sheets, const QString& path)
{
    if (sheets.isEmpty()) throw ConvertError::failed(QStringLiteral("There are no sheets to convert"));
    // Fonts are measured through the graphical application; a bare core application has none.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw ConvertError::failed(QStringLiteral("Couldn’t create the PDF: no fonts are available"));

    CheckedFile file(path);
    QPdfWriter writer(&file);
    writer.setPageSize(QPageSize(QSizeF(pageWidth, pageHeight), QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(72);
    QPainter painter;
    if (!painter.begin(&writer)) throw ConvertError::failed(QStringLiteral("Couldn’t create the PDF"));
    const Fonts f = fonts();
    TablePainter table(writer, painter, f);
    bool firstPage = true;
    for (const Sheet& sheet : sheets)
        table.paint(sheet, firstPage);
    if (!painter.end()) throw ConvertError::failed(QStringLiteral("Couldn’t write the PDF"));
    file.finish();
}

} // namespace SheetEngine
