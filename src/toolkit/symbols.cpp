#include "toolkit/symbols.h"

#include <QHash>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <functional>

namespace Symbols {

namespace {

// Every icon is drawn on a 24-unit grid, y downward, with a 2-unit round pen; filled parts use
// the pen's colour and knock-outs clear the icon's own layer, never what lies beneath it.
struct Canvas
{
    QPainter& p;

    void line(double x1, double y1, double x2, double y2) { p.drawLine(QPointF(x1, y1), QPointF(x2, y2)); }
    void poly(std::initializer_list<QPointF> points, bool closed = false)
    {
        const QPolygonF polygon(points);
        if (closed)
            p.drawPolygon(polygon);
        else
            p.drawPolyline(polygon);
    }
    void rect(double x, double y, double w, double h, double r = 2)
    {
        p.drawRoundedRect(QRectF(x, y, w, h), r, r);
    }
    void circle(double x, double y, double r) { p.drawEllipse(QPointF(x, y), r, r); }
    void fill(const QPainterPath& path) { p.fillPath(path, p.pen().color()); }
    void dot(double x, double y, double r)
    {
        QPainterPath path;
        path.addEllipse(QPointF(x, y), r, r);
        fill(path);
    }
    // Clears a region of the layer so that a shape in front reads as separate.
    void clear(const QPainterPath& path)
    {
        p.save();
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.fillPath(path, Qt::black);
        p.restore();
    }
    // Clears a band around a line, then draws the line: a slash that stands apart from the shape.
    void slash(double x1, double y1, double x2, double y2)
    {
        p.save();
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(QPen(Qt::black, 5.0, Qt::SolidLine, Qt::RoundCap));
        line(x1, y1, x2, y2);
        p.restore();
        line(x1, y1, x2, y2);
    }
    void document(double x, double y, double w, double h)
    {
        const double fold = 4;
        QPainterPath outline;
        outline.moveTo(x, y);
        outline.lineTo(x + w - fold, y);
        outline.lineTo(x + w, y + fold);
        outline.lineTo(x + w, y + h);
        outline.lineTo(x, y + h);
        outline.closeSubpath();
        clear(outline);
        p.drawPath(outline);
        poly({{x + w - fold, y}, {x + w - fold, y + fold}, {x + w, y + fold}});
    }
    void bars(std::initializer_list<double> heights, double x0, double gap, double cy)
    {
        double x = x0;
        for (const double h : heights) {
            line(x, cy - h / 2, x, cy + h / 2);
            x += gap;
        }
    }
};

using Drawing = std::function<void(Canvas&)>;

const QHash<QString, Drawing>& drawings()
{
    static const QHash<QString, Drawing> table = {
        {"arrow.down.right.and.arrow.up.left",
         [](Canvas& c) {
             c.line(3, 3, 10, 10);
             c.poly({{10, 5}, {10, 10}, {5, 10}});
             c.line(21, 21, 14, 14);
             c.poly({{14, 19}, {14, 14}, {19, 14}});
         }},
        {"tag",
         [](Canvas& c) {
             c.poly({{3, 3}, {12, 3}, {21, 12}, {12, 21}, {3, 12}}, true);
             c.dot(8, 8, 1.6);
         }},
        {"slider.horizontal.3",
         [](Canvas& c) {
             const double knobs[] = {15, 8, 13};
             for (int i = 0; i < 3; ++i) {
                 const double y = 6 + 6 * i;
                 c.line(3, y, 21, y);
                 c.dot(knobs[i], y, 2.6);
             }
         }},
        {"pencil.and.outline",
         [](Canvas& c) {
             c.poly({{15, 3}, {21, 9}, {9, 21}, {3, 21}, {3, 15}}, true);
             c.line(12.5, 5.5, 18.5, 11.5);
         }},
        {"photo.artframe",
         [](Canvas& c) {
             c.rect(2, 2, 20, 20, 1.5);
             c.rect(6, 6, 12, 12, 0.5);
             c.poly({{7, 16}, {10.5, 11.5}, {13.5, 14.5}, {15.5, 12.5}, {17, 16}});
         }},
        {"crop",
         [](Canvas& c) {
             c.poly({{6, 2}, {6, 18}, {22, 18}});
             c.poly({{2, 6}, {18, 6}, {18, 22}});
         }},
        {"waveform",
         [](Canvas& c) {
             c.bars({4, 10, 17, 8, 14, 6, 3}, 3, 3, 12);
         }},
        {"speaker.slash.fill",
         [](Canvas& c) {
             QPainterPath speaker;
             speaker.addPolygon(QPolygonF({{3, 9}, {7, 9}, {13, 4}, {13, 20}, {7, 15}, {3, 15}}));
             speaker.closeSubpath();
             c.fill(speaker);
             c.p.drawPath(speaker);
             c.slash(3, 3, 21, 21);
         }},
        {"scissors",
         [](Canvas& c) {
             c.circle(6, 18, 3);
             c.circle(18, 18, 3);
             c.line(8, 15.8, 18, 3);
             c.line(16, 15.8, 6, 3);
         }},
        {"rectangle.split.2x1",
         [](Canvas& c) {
             c.rect(2, 5, 20, 14);
             c.line(12, 5, 12, 19);
         }},
        {"square.grid.2x2",
         [](Canvas& c) {
             for (const double x : {3.0, 14.0})
                 for (const double y : {3.0, 14.0})
                     c.rect(x, y, 7, 7, 1.5);
         }},
        {"archivebox",
         [](Canvas& c) {
             c.rect(2, 4, 20, 5, 1);
             c.poly({{4, 9}, {4, 20}, {20, 20}, {20, 9}});
             c.line(10, 13, 14, 13);
         }},
        {"doc.badge.plus",
         [](Canvas& c) {
             c.document(3, 2, 13, 19);
             QPainterPath badge;
             badge.addEllipse(QPointF(17.5, 17), 6, 6);
             c.clear(badge);
             c.line(17.5, 13, 17.5, 21);
             c.line(13.5, 17, 21.5, 17);
         }},
        {"doc.on.doc",
         [](Canvas& c) {
             c.document(8, 2, 13, 16);
             c.document(3, 6, 13, 16);
         }},
        {"speedometer",
         [](Canvas& c) {
             c.p.drawArc(QRectF(2, 4, 20, 20), -30 * 16, 240 * 16);
             c.line(12, 14, 17, 8.5);
             c.dot(12, 14, 2);
         }},
        {"film.stack",
         [](Canvas& c) {
             c.line(7, 3, 17, 3);
             c.line(5, 6, 19, 6);
             c.rect(3, 9, 18, 13);
             c.line(7, 9, 7, 22);
             c.line(17, 9, 17, 22);
         }},
        {"camera",
         [](Canvas& c) {
             c.poly({{8, 7}, {10, 4}, {14, 4}, {16, 7}});
             c.rect(2, 7, 20, 13, 2.5);
             c.circle(12, 13.5, 3.5);
         }},
        {"film",
         [](Canvas& c) {
             c.rect(4, 2, 16, 20);
             c.line(8, 2, 8, 22);
             c.line(16, 2, 16, 22);
             for (const double y : {7.0, 12.0, 17.0}) {
                 c.line(4, y, 8, y);
                 c.line(16, y, 20, y);
             }
         }},
        {"waveform.path.ecg",
         [](Canvas& c) {
             c.poly({{2, 12}, {7, 12}, {9, 7}, {12, 19}, {15, 4}, {17, 12}, {22, 12}});
         }},
        {"hifispeaker.2",
         [](Canvas& c) {
             for (const double x : {2.0, 13.0}) {
                 c.rect(x, 3, 9, 18, 1.5);
                 c.circle(x + 4.5, 15, 2.3);
                 c.dot(x + 4.5, 8, 1.2);
             }
         }},
        {"rectangle.3.group",
         [](Canvas& c) {
             c.rect(2, 3, 11, 18);
             c.rect(15, 3, 7, 8);
             c.rect(15, 13, 7, 8);
         }},
        {"eye.slash",
         [](Canvas& c) {
             QPainterPath eye;
             eye.moveTo(2, 12);
             eye.quadTo(12, 1, 22, 12);
             eye.quadTo(12, 23, 2, 12);
             c.p.drawPath(eye);
             c.circle(12, 12, 3);
             c.slash(4, 3, 20, 21);
         }},
        {"waveform.badge.minus",
         [](Canvas& c) {
             c.bars({5, 12, 17, 9, 13}, 2.5, 3, 10);
             c.line(16, 19, 22, 19);
         }},
        {"dot.radiowaves.left.and.right",
         [](Canvas& c) {
             c.dot(12, 12, 2.2);
             for (const double r : {5.5, 9.5}) {
                 const QRectF box(12 - r, 12 - r, 2 * r, 2 * r);
                 c.p.drawArc(box, -40 * 16, 80 * 16);
                 c.p.drawArc(box, 140 * 16, 80 * 16);
             }
         }},
        {"pin.fill",
         [](Canvas& c) {
             QPainterPath head;
             head.addPolygon(
                 QPolygonF({{8, 2}, {16, 2}, {15, 4}, {15, 10}, {18, 14}, {6, 14}, {9, 10}, {9, 4}}));
             head.closeSubpath();
             c.fill(head);
             c.p.drawPath(head);
             c.line(12, 14, 12, 22);
         }},
        {"folder",
         [](Canvas& c) {
             c.poly({{2, 7}, {2, 20}, {22, 20}, {22, 8}, {11, 8}, {9, 5}, {3, 5}}, true);
         }},
        {"folder.fill",
         [](Canvas& c) {
             QPainterPath folder;
             folder.addPolygon(QPolygonF({{2, 7}, {2, 20}, {22, 20}, {22, 8}, {11, 8}, {9, 5}, {3, 5}}));
             folder.closeSubpath();
             c.fill(folder);
             c.p.drawPath(folder);
         }},
        {"exclamationmark.triangle.fill",
         [](Canvas& c) {
             QPainterPath triangle;
             triangle.addPolygon(QPolygonF({{12, 3}, {22, 20.5}, {2, 20.5}}));
             triangle.closeSubpath();
             c.fill(triangle);
             c.p.drawPath(triangle);
             QPainterPath mark;
             mark.addRoundedRect(QRectF(11, 8.5, 2, 6.5), 1, 1);
             mark.addEllipse(QPointF(12, 17.5), 1.2, 1.2);
             c.clear(mark);
         }},
        {"checkmark.circle.fill",
         [](Canvas& c) {
             c.dot(12, 12, 10);
             QPainterPathStroker stroker;
             stroker.setWidth(2.2);
             stroker.setCapStyle(Qt::RoundCap);
             stroker.setJoinStyle(Qt::RoundJoin);
             QPainterPath line;
             line.moveTo(7.5, 12.5);
             line.lineTo(10.8, 15.8);
             line.lineTo(16.8, 8.8);
             c.clear(stroker.createStroke(line));
         }},
        {"xmark.circle",
         [](Canvas& c) {
             c.circle(12, 12, 9.5);
             c.line(8.5, 8.5, 15.5, 15.5);
             c.line(15.5, 8.5, 8.5, 15.5);
         }},
        {"doc.text",
         [](Canvas& c) {
             c.document(5, 2, 14, 20);
             for (const double y : {11.0, 14.5, 18.0})
                 c.line(8.5, y, 15.5, y);
         }},
        {"xmark",
         [](Canvas& c) {
             c.line(6, 6, 18, 18);
             c.line(18, 6, 6, 18);
         }},
        {"checkmark",
         [](Canvas& c) {
             c.poly({{4.5, 12.5}, {9.5, 17.5}, {19.5, 6.5}});
         }},
        {"arrow.counterclockwise",
         [](Canvas& c) {
             QPainterPath arc;
             arc.arcMoveTo(QRectF(4, 4, 16, 16), 150);
             arc.arcTo(QRectF(4, 4, 16, 16), 150, -300);
             c.p.drawPath(arc);
             c.poly({{4.5, 4.5}, {5.1, 8.0}, {8.6, 7.3}});
         }},
        {"arrow.up.right",
         [](Canvas& c) {
             c.line(6, 18, 18, 6);
             c.poly({{9, 6}, {18, 6}, {18, 15}});
         }},
        {"rectangle", [](Canvas& c) { c.rect(3, 6, 18, 12, 2.5); }},
        {"circle", [](Canvas& c) { c.circle(12, 12, 8.5); }},
        {"line.diagonal", [](Canvas& c) { c.line(5, 19, 19, 5); }},
        {"scribble",
         [](Canvas& c) {
             QPainterPath path(QPointF(3, 16));
             path.cubicTo(6, 6, 9, 6, 10, 12);
             path.cubicTo(11, 18, 14, 18, 15, 11);
             path.cubicTo(16, 6, 19, 7, 21, 10);
             c.p.drawPath(path);
         }},
        {"highlighter",
         [](Canvas& c) {
             c.poly({{14, 3}, {21, 10}, {12, 19}, {5, 12}}, true);
             c.poly({{5, 12}, {3, 21}, {12, 19}});
             c.line(15, 21, 21, 21);
         }},
        {"textformat",
         [](Canvas& c) {
             c.poly({{3, 19}, {8, 5}, {13, 19}});
             c.line(5, 14, 11, 14);
             c.circle(17.5, 16, 3);
             c.line(20.5, 12.5, 20.5, 19);
         }},
        {"1.circle",
         [](Canvas& c) {
             c.circle(12, 12, 9);
             c.poly({{10, 9}, {12.5, 7.5}, {12.5, 16.5}});
         }},
        {"arrow.uturn.backward",
         [](Canvas& c) {
             c.poly({{8, 5}, {4, 9}, {8, 13}});
             QPainterPath path(QPointF(4.5, 9));
             path.lineTo(15, 9);
             path.cubicTo(18.5, 9, 20, 11.5, 20, 14);
             path.cubicTo(20, 16.5, 18.5, 19, 15, 19);
             path.lineTo(9, 19);
             c.p.drawPath(path);
         }},
        {"arrow.uturn.forward",
         [](Canvas& c) {
             c.poly({{16, 5}, {20, 9}, {16, 13}});
             QPainterPath path(QPointF(19.5, 9));
             path.lineTo(9, 9);
             path.cubicTo(5.5, 9, 4, 11.5, 4, 14);
             path.cubicTo(4, 16.5, 5.5, 19, 9, 19);
             path.lineTo(15, 19);
             c.p.drawPath(path);
         }},
        {"terminal",
         [](Canvas& c) {
             c.rect(2, 4, 20, 16, 2.5);
             c.poly({{6, 9}, {9, 12}, {6, 15}});
             c.line(11, 15, 16, 15);
         }},
        {"rotate.left",
         [](Canvas& c) {
             c.rect(9, 10, 11, 10, 1.5);
             QPainterPath arc;
             arc.moveTo(6, 13);
             arc.cubicTo(5, 7, 9, 4, 14, 5);
             c.p.drawPath(arc);
             c.poly({{3.5, 10.5}, {6, 13.5}, {8.5, 10.5}});
         }},
        {"rotate.right",
         [](Canvas& c) {
             c.rect(4, 10, 11, 10, 1.5);
             QPainterPath arc;
             arc.moveTo(18, 13);
             arc.cubicTo(19, 7, 15, 4, 10, 5);
             c.p.drawPath(arc);
             c.poly({{15.5, 10.5}, {18, 13.5}, {20.5, 10.5}});
         }},
        {"plus.square.on.square",
         [](Canvas& c) {
             c.rect(3, 3, 13, 13, 2.5);
             QPainterPath front;
             front.addRoundedRect(QRectF(8, 8, 13, 13), 2.5, 2.5);
             c.clear(front);
             c.p.drawPath(front);
             c.line(14.5, 11.5, 14.5, 17.5);
             c.line(11.5, 14.5, 17.5, 14.5);
         }},
        {"trash",
         [](Canvas& c) {
             c.line(4, 6.5, 20, 6.5);
             c.poly({{9, 6.5}, {9.5, 3.5}, {14.5, 3.5}, {15, 6.5}});
             c.poly({{6, 6.5}, {7, 20.5}, {17, 20.5}, {18, 6.5}});
             c.line(10.5, 10, 10.5, 17);
             c.line(13.5, 10, 13.5, 17);
         }},
        {"line.3.horizontal",
         [](Canvas& c) {
             c.line(4, 7, 20, 7);
             c.line(4, 12, 20, 12);
             c.line(4, 17, 20, 17);
         }},
        {"magnifyingglass",
         [](Canvas& c) {
             c.circle(10, 10, 6.5);
             c.line(14.8, 14.8, 20.5, 20.5);
         }},
        {"play.fill",
         [](Canvas& c) {
             QPainterPath triangle;
             triangle.addPolygon(QPolygonF({{7, 4}, {19, 12}, {7, 20}}));
             triangle.closeSubpath();
             c.fill(triangle);
             c.p.drawPath(triangle);
         }},
        {"stop.fill",
         [](Canvas& c) {
             QPainterPath square;
             square.addRoundedRect(QRectF(5, 5, 14, 14), 2.5, 2.5);
             c.fill(square);
         }},
        {"minus.circle",
         [](Canvas& c) {
             c.circle(12, 12, 9.5);
             c.line(7.5, 12, 16.5, 12);
         }},
        {"photo",
         [](Canvas& c) {
             c.rect(2, 4, 20, 16, 2.5);
             c.poly({{3, 18}, {9, 11}, {14, 16}, {16.5, 13.5}, {21, 18}});
             c.dot(16, 8.5, 1.8);
         }},
        {"face.dashed",
         [](Canvas& c) {
             c.p.save();
             QPen dashed = c.p.pen();
             dashed.setCapStyle(Qt::FlatCap);
             dashed.setDashPattern({1.6, 1.4});
             c.p.setPen(dashed);
             c.circle(12, 12, 9);
             c.p.restore();
             c.dot(9, 10.5, 1.2);
             c.dot(15, 10.5, 1.2);
             QPainterPath smile;
             smile.arcMoveTo(QRectF(8.5, 10, 7, 6), 200);
             smile.arcTo(QRectF(8.5, 10, 7, 6), 200, 140);
             c.p.drawPath(smile);
         }},
        {"text.viewfinder",
         [](Canvas& c) {
             c.poly({{3, 8}, {3, 3}, {8, 3}});
             c.poly({{16, 3}, {21, 3}, {21, 8}});
             c.poly({{21, 16}, {21, 21}, {16, 21}});
             c.poly({{8, 21}, {3, 21}, {3, 16}});
             c.line(7.5, 9, 16.5, 9);
             c.line(7.5, 12.5, 16.5, 12.5);
             c.line(7.5, 16, 13, 16);
         }},
        {"drop",
         [](Canvas& c) {
             QPainterPath path(QPointF(12, 3));
             path.cubicTo(12, 3, 5, 11, 5, 15);
             path.arcTo(QRectF(5, 8, 14, 14), 180, 180);
             path.cubicTo(19, 11, 12, 3, 12, 3);
             c.p.drawPath(path);
         }},
        {"square.grid.3x3",
         [](Canvas& c) {
             for (int row = 0; row < 3; ++row)
                 for (int column = 0; column < 3; ++column)
                     c.rect(3 + 6.5 * column, 3 + 6.5 * row, 5, 5, 1);
         }},
    };
    return table;
}

void fallback(Canvas& c)
{
    c.rect(4, 4, 16, 16, 4);
    c.dot(12, 12, 2.5);
}

} // namespace

bool has(const QString& name)
{
    return drawings().contains(name);
}

void draw(QPainter& painter, const QString& name, const QRectF& box, const QColor& colour)
{
    const double side = std::min(box.width(), box.height());
    if (!(side > 0)) return;
    // The icon is drawn on its own layer so that its knock-outs leave the petal intact; the
    // layer's resolution follows the device and the painter's scale.
    const QTransform t = painter.worldTransform();
    const double scale = std::sqrt(std::abs(t.determinant()));
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const double pixels = std::clamp(side * std::max(scale, 0.01) * dpr, 1.0, 2048.0);
    const int n = int(std::ceil(pixels));

    QImage layer(n, n, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter p(&layer);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(n / 24.0, n / 24.0);
        QPen pen(colour, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        Canvas canvas{p};
        const auto it = drawings().constFind(name);
        if (it != drawings().constEnd())
            (*it)(canvas);
        else
            fallback(canvas);
    }
    const QRectF target(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, layer);
    painter.restore();
}

} // namespace Symbols
