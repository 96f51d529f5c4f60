#include "toolkit/painting.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>

namespace Painting {

QFont font(const QPainter& painter, double pixels, QFont::Weight weight, double tracking)
{
    QFont f = font(painter.device(), pixels, weight);
    if (tracking != 0) f.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
    return f;
}

QFont font(const QPaintDevice* device, double pixels, QFont::Weight weight)
{
    QFont f = QGuiApplication::font();
    const int dpi = device ? device->logicalDpiY() : 96;
    f.setPointSizeF(pixels * 72.0 / (dpi > 0 ? dpi : 96));
    f.setWeight(weight);
    return f;
}

Lines wrap(const QString& text, const QFont& f, double width, int maxLines, const QPaintDevice* device)
{
    auto* paintDevice = const_cast<QPaintDevice*>(device); // Qt's text classes only read it
    Lines out;
    const QFontMetricsF metrics(f, paintDevice);
    out.lineHeight = metrics.lineSpacing();
    QTextLayout layout(text, f, paintDevice);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (maxLines > 0 && out.lines.size() == maxLines - 1) {
            const QString rest = text.mid(line.textStart()).trimmed();
            if (metrics.horizontalAdvance(rest) > width) out.fits = false;
            out.lines << metrics.elidedText(rest, Qt::ElideRight, width);
            break;
        }
        // A break inside a word means a word wider than the line.
        const int end = line.textStart() + line.textLength();
        if (end < text.size() && end > 0 && !text.at(end - 1).isSpace() && !text.at(end).isSpace())
            out.fits = false;
        out.lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return out;
}

QStringList elidedMiddle(const QString& text, const QFont& f, double width, int maxLines,
                         const QPaintDevice* device)
{
    const QFontMetricsF metrics(f, const_cast<QPaintDevice*>(device));
    if (maxLines <= 1) return {metrics.elidedText(text, Qt::ElideMiddle, width)};
    const auto lineCount = [&](const QString& t) { return wrap(t, f, width, 0, device).lines.size(); };
    if (lineCount(text) <= maxLines) return wrap(text, f, width, 0, device).lines;

    const auto candidate = [&](qsizetype kept) {
        return text.left(kept - kept / 2) + QChar(0x2026) + text.right(kept / 2);
    };
    qsizetype low = 0, high = text.size() - 1; // low always fits
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (lineCount(candidate(mid)) <= maxLines)
            low = mid;
        else
            high = mid - 1;
    }
    return wrap(candidate(low), f, width, 0, device).lines;
}

void drawCentred(QPainter& painter, const Lines& lines, const QRectF& box)
{
    const double total = lines.lineHeight * lines.lines.size();
    double y = box.center().y() - total / 2;
    for (const QString& line : lines.lines) {
        painter.drawText(QRectF(box.left() - 40, y, box.width() + 80, lines.lineHeight),
                         Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip, line);
        y += lines.lineHeight;
    }
}

} // namespace Painting
