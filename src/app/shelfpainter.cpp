#include "app/shelfpainter.h"

#include "toolkit/painting.h"
#include "toolkit/theme.h"

#include <QFontMetricsF>
#include <QPainter>

namespace {

constexpr double padX = 12, padY = 9, buttonSide = 20, pinWidth = 24, pinGap = 6;

QColor white(double alpha)
{
    return QColor::fromRgbF(1, 1, 1, float(alpha));
}

void paintCross(QPainter& painter, const QPointF& c, double arm, const QColor& colour)
{
    painter.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(c + QPointF(-arm, -arm), c + QPointF(arm, arm));
    painter.drawLine(c + QPointF(-arm, arm), c + QPointF(arm, -arm));
}

// A window outline with the side bar of `edge` filled.
void paintSidebar(QPainter& painter, const QRectF& box, FloatShelf::Edge edge, const QColor& colour)
{
    const QRectF frame(box.center() - QPointF(6, 5), QSizeF(12, 10));
    painter.setPen(QPen(colour, 1.2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(frame, 2, 2);
    const QRectF bar = edge == FloatShelf::Edge::left
                           ? QRectF(frame.left(), frame.top(), 4, frame.height())
                           : QRectF(frame.right() - 4, frame.top(), 4, frame.height());
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRect(bar);
}

} // namespace

namespace ShelfPainter {

QPainterPath outline(const QSizeF& size)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), size), cornerRadius, cornerRadius);
    return path;
}

void paintBackground(QPainter& painter, const QRectF& rect, bool targeted)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = outline(rect.size()).translated(rect.topLeft());
    painter.fillPath(shape, white(0.55));
    painter.setOpacity(0.85);
    painter.fillPath(shape, Theme::wash(rect));
    painter.setOpacity(1);
    const double line = targeted ? 2 : 0.75;
    painter.setPen(QPen(targeted ? Theme::orange() : white(0.5), line));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(line / 2, line / 2, -line / 2, -line / 2), cornerRadius,
                            cornerRadius);
    painter.restore();
}

QRectF closeRect(const QRectF& header)
{
    return {header.left() + padX, header.top() + padY, buttonSide, buttonSide};
}

QRectF pinRect(const QRectF& header, FloatShelf::Edge edge)
{
    const double right = header.right() - padX - pinWidth;
    const double x = edge == FloatShelf::Edge::right ? right : right - pinGap - pinWidth;
    return {x, header.top() + padY, pinWidth, buttonSide};
}

void paintHeader(QPainter& painter, const QRectF& rect, FloatShelf::Edge edge)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF close = closeRect(rect);
    painter.setPen(Qt::NoPen);
    painter.setBrush(white(0.5));
    painter.drawEllipse(close);
    paintCross(painter, close.center(), 3, Theme::ink());

    painter.setFont(Painting::font(painter, 13, QFont::DemiBold));
    painter.setPen(Theme::ink());
    painter.drawText(QRectF(close.right() + 8, rect.top(), 100, rect.height()),
                     Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Float"));

    for (const FloatShelf::Edge pin : {FloatShelf::Edge::left, FloatShelf::Edge::right}) {
        const QRectF box = pinRect(rect, pin);
        const bool lit = edge == pin;
        painter.setPen(Qt::NoPen);
        painter.setBrush(lit ? Theme::orange() : white(0.4));
        painter.drawRoundedRect(box, 6, 6);
        paintSidebar(painter, box, pin, lit ? QColor(Qt::white) : Theme::ink());
    }
    painter.restore();
}

QRectF removeRect(const QRectF& row)
{
    return {row.right() - 6 - 18, row.center().y() - 9, 18, 18};
}

void paintRow(QPainter& painter, const QRectF& rect, const Row& row)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(white(row.hover ? 0.5 : 0.28));
    painter.drawRoundedRect(rect, 10, 10);

    const QRectF square(rect.left() + 6, rect.top() + 6, thumbSide, thumbSide);
    if (!row.picture.isNull()) {
        const QSizeF fitted = QSizeF(row.picture.size()).scaled(square.size(), Qt::KeepAspectRatio);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(square.center() - QPointF(fitted.width(), fitted.height()) / 2, fitted),
                          row.picture);
    }

    const double textLeft = square.right() + 10;
    const double textRight = (row.hover ? removeRect(rect).left() : rect.right() - 6) - 4;
    const QFont nameFont = Painting::font(painter, 12, QFont::Medium);
    const QString name =
        Painting::elidedMiddle(row.name, nameFont, textRight - textLeft, 1, painter.device()).value(0);
    painter.setFont(nameFont);
    painter.setPen(Theme::ink());
    painter.drawText(QRectF(textLeft, rect.top() + 9, textRight - textLeft, 17),
                     Qt::AlignLeft | Qt::AlignVCenter, name);
    painter.setFont(Painting::font(painter, 10.5, QFont::Normal));
    painter.setPen(Theme::inkSoft());
    painter.drawText(QRectF(textLeft, rect.top() + 27, textRight - textLeft, 15),
                     Qt::AlignLeft | Qt::AlignVCenter, row.size);

    if (row.hover) {
        const QRectF minus = removeRect(rect);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::inkSoft());
        painter.drawEllipse(minus.adjusted(1, 1, -1, -1));
        painter.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(minus.center() - QPointF(4, 0), minus.center() + QPointF(4, 0));
    }
    painter.restore();
}

void paintStrip(QPainter& painter, const QRectF& rect, int count)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont font = Painting::font(painter, 11.5, QFont::Medium);
    const QString label = QStringLiteral("Drag all %1").arg(count);
    const double textWidth = QFontMetricsF(font, painter.device()).horizontalAdvance(label);
    const double glyph = 14, gap = 6;
    const double left = rect.center().x() - (glyph + gap + textWidth) / 2;
    // Three fanned cards: many files in one hand.
    painter.setPen(QPen(Theme::ink(), 1.1));
    for (int i = 2; i >= 0; --i) {
        painter.setBrush(i == 0 ? QColor(Theme::ink()) : white(0.6));
        painter.drawRoundedRect(QRectF(left + i * 2.5, rect.center().y() - 6 + i * 1.5, 8, 10), 1.5, 1.5);
    }
    painter.setFont(font);
    painter.setPen(Theme::ink());
    painter.drawText(QRectF(left + glyph + gap, rect.top(), textWidth + 2, rect.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, label);
    painter.restore();
}

} // namespace ShelfPainter
