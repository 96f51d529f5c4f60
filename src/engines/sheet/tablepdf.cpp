#include "engines/sheet/sheetengine.h"

#include "core/checkedfile.h"
#include "core/converterror.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace {

// Page geometry in points (the writer runs at 72 dots per inch, so one unit is one point).
constexpr double pageWidth = 842, pageHeight = 595;
constexpr double margin = 36;
constexpr double titleTop = 32, tableTop = 56;
constexpr double rowHeight = 15, textTop = 2, textHeight = 13, inset = 5;
constexpr double minColumn = 30, maxColumn = 180;
constexpr int measuredRows = 500;
constexpr double rowsHeight = pageHeight - 2 * margin - 24;

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

// A cell is drawn on one line: the text up to its first line end.
QString firstLine(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text.at(i) == u'\n' || text.at(i) == u'\r') return text.left(i);
    return text;
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
                widths[c] = qMin(qMax(widths[c], metrics.horizontalAdvance(firstLine(row.at(c))) + 2 * inset),
                                 maxColumn);
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
        const qsizetype perPage = qMax<qsizetype>(1, qsizetype(rowsHeight / (scale * rowHeight)));

        qsizetype first = 0;
        do {
            if (!firstPage && !m_writer.newPage())
                throw ConvertError::failed(QStringLiteral("Couldn’t add a page to the PDF"));
            firstPage = false;
            paintPage(sheet, widths, tableWidth, scale, first, qMin(sheet.rows.size(), first + perPage));
            first += perPage;
        } while (first < sheet.rows.size());
    }

  private:
    void paintPage(const Sheet& sheet, const QList<double>& widths, double tableWidth, double scale,
                   qsizetype first, qsizetype end)
    {
        m_painter.save();
        m_painter.setFont(m_fonts.title);
        m_painter.setPen(Qt::black);
        m_painter.drawText(QRectF(margin, titleTop, pageWidth - 2 * margin, 20),
                           Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, sheet.name);
        m_painter.translate(margin, tableTop);
        m_painter.scale(scale, scale);
        for (qsizetype r = first; r < end; ++r)
            paintRow(sheet.rows.at(r), r, widths, tableWidth, rowHeight * double(r - first));
        m_painter.restore();
    }

    void paintRow(const QStringList& row, qsizetype index, const QList<double>& widths, double tableWidth,
                  double y)
    {
        const QRectF band(0, y, tableWidth, rowHeight);
        if (index % 2 == 1) m_painter.fillRect(band, QColor::fromRgbF(0.96f, 0.96f, 0.96f));
        const bool header = index == 0;
        const QFontMetricsF& metrics = header ? m_headerMetrics : m_cellMetrics;
        m_painter.setFont(header ? m_fonts.header : m_fonts.cell);
        m_painter.setPen(Qt::black);
        double x = 0;
        for (qsizetype c = 0; c < widths.size(); ++c) {
            const double width = widths.at(c);
            const QString text = c < row.size() ? firstLine(row.at(c)) : QString();
            if (!text.isEmpty()) {
                const double box = width - 2 * inset;
                const QString shown = metrics.elidedText(text, Qt::ElideRight, box, Qt::TextSingleLine);
                const double left = Sheet::number(text)
                                        ? x + width - inset - qMin(metrics.horizontalAdvance(text), box)
                                        : x + inset;
                m_painter.drawText(QRectF(left, y + textTop, box, textHeight),
                                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
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
