#include "tools/image/annotate/markrenderer.h"

#include "toolkit/bitmap.h"
#include "toolkit/dropshadow.h"
#include "toolkit/painting.h"

#include <QColorSpace>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace MarkRenderer {

namespace {

// The head of an arrow is 4.5 line widths long with its sides 0.45 rad off the shaft; the shaft
// stops 0.8 of the head's length short of the tip, inside the filled head, so no round cap shows.
void arrow(QPainter& p, QPointF a, QPointF b, double lw)
{
    const double angle = std::atan2(b.y() - a.y(), b.x() - a.x());
    const double length = 4.5 * lw;
    const auto back = [&](double by, double turn) {
        return b - by * QPointF(std::cos(angle + turn), std::sin(angle + turn));
    };
    QPainterPath shaft(a);
    shaft.lineTo(back(0.8 * length, 0));
    p.strokePath(shaft, p.pen());
    QPainterPath head(b);
    head.lineTo(back(length, -0.45));
    head.lineTo(back(length, 0.45));
    head.closeSubpath();
    head.setFillRule(Qt::WindingFill);
    p.fillPath(head, p.pen().color());
}

QPainterPath polyline(const QList<QPointF>& points)
{
    QPainterPath path(points.first());
    for (qsizetype i = 1; i < points.size(); ++i)
        path.lineTo(points[i]);
    return path;
}

// The label's top-left corner at `at`, semibold, with a soft black shadow all round it.
void text(QPainter& p, const Mark& mark, QPointF at, double f)
{
    if (mark.text.isEmpty()) return;
    const double size = std::max(6 * f, 10.0);
    const QFont font(Painting::font(p, size, QFont::DemiBold), p.device());
    QPainterPath path;
    path.addText(at + QPointF(0, QFontMetricsF(font).ascent()), font, mark.text);
    DropShadow::paint(p, path, QColor(0, 0, 0, 89), 0.12 * size, QPointF());
    p.fillPath(path, mark.color);
}

void badge(QPainter& p, const Mark& mark, QPointF at, double f)
{
    const double r = std::max(4 * f, 10.0);
    p.setPen(Qt::NoPen);
    p.setBrush(mark.color);
    p.drawEllipse(at, r, r);
    const QString label = QString::number(mark.number);
    const QFont font(Painting::font(p, 1.15 * r, QFont::Bold), p.device());
    const QFontMetricsF metrics(font);
    const QPointF corner = at - QPointF(metrics.horizontalAdvance(label), metrics.height()) / 2;
    p.setFont(font);
    p.setPen(labelColor(mark.color));
    p.drawText(corner + QPointF(0, metrics.ascent()), label);
}

void drawOne(QPainter& p, const Mark& mark, QSizeF size)
{
    if (mark.points.isEmpty()) return;
    QList<QPointF> points;
    points.reserve(mark.points.size());
    for (const QPointF& u : mark.points)
        points << QPointF(u.x() * size.width(), u.y() * size.height());
    const double f = std::min(size.width(), size.height()) * mark.width;
    const double lw = std::max(f, 1.0);
    const QPointF a = points.first(), b = points.last();
    const QRectF box(std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::abs(b.x() - a.x()),
                     std::abs(b.y() - a.y()));
    QPen pen(mark.color, lw, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    switch (mark.kind) {
    case Mark::Kind::arrow:
        arrow(p, a, b, lw);
        return;
    case Mark::Kind::rect:
        // Qt shrinks the corners of a box narrower than two line widths to fit it.
        path.addRoundedRect(box, lw, lw);
        break;
    case Mark::Kind::ellipse:
        path.addEllipse(box);
        break;
    case Mark::Kind::line:
        path = polyline({a, b});
        break;
    case Mark::Kind::pen:
        path = polyline(points);
        break;
    case Mark::Kind::highlight: {
        // One stroked path, so where the stroke crosses itself it does not darken.
        QColor tint = mark.color;
        tint.setAlphaF(0.35f);
        pen.setColor(tint);
        pen.setWidthF(5 * lw);
        pen.setCapStyle(Qt::FlatCap);
        path = polyline(points);
        break;
    }
    case Mark::Kind::text:
        text(p, mark, a, f);
        return;
    case Mark::Kind::number:
        badge(p, mark, a, f);
        return;
    }
    p.strokePath(path, pen);
}

} // namespace

bool fits(QSize size)
{
    return size.width() > 0 && size.height() > 0 && size.width() <= maxSide && size.height() <= maxSide &&
           qint64(size.width()) * size.height() <= maxPixels;
}

double lineWidth(const Mark& mark, QSizeF size)
{
    return std::max(std::min(size.width(), size.height()) * mark.width, 1.0);
}

QColor labelColor(const QColor& fill)
{
    const QColor rgb = fill.toRgb();
    return rgb.isValid() && rgb.valueF() > 0.75f ? Qt::black : Qt::white;
}

void draw(QPainter& painter, const QList<Mark>& marks, QSizeF size)
{
    for (const Mark& mark : marks) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        drawOne(painter, mark, size);
        painter.restore();
    }
}

std::optional<QImage> render(const QImage& image, const QList<Mark>& marks)
{
    if (image.isNull() || !fits(image.size())) return std::nullopt;
    std::optional<QImage> canvas = Bitmap::make(QSizeF(image.size()), false);
    if (!canvas) return std::nullopt;
    canvas->setDevicePixelRatio(1);
    // The photo's pixels are copied as they are, so the copy keeps the photo's colour profile.
    if (image.colorSpace().isValid()) canvas->setColorSpace(image.colorSpace());
    QPainter painter(&*canvas);
    if (!painter.isActive()) return std::nullopt;
    painter.drawImage(QPointF(0, 0), image);
    draw(painter, marks, QSizeF(image.size()));
    painter.end();
    return canvas;
}

} // namespace MarkRenderer
