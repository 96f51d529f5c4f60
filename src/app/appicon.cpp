#include "app/appicon.h"

#include "toolkit/dropshadow.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace AppIcon {

namespace {

constexpr double pi = std::numbers::pi;

// Arc angles for QPainterPath are in degrees, counter-clockwise on screen; the icon's angles
// grow towards +y (clockwise on screen), hence the sign change.
double degrees(double radians)
{
    return -radians * 180 / pi;
}

} // namespace

QImage menuBarImage(double devicePixelRatio, bool paused)
{
    const double side = 18;
    const int pixels = int(std::ceil(side * devicePixelRatio));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(devicePixelRatio);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The same marks twice: widened in a dark tone for the halo, then in the light tone on top.
    const auto marks = [&p, side](const QColor& colour, double grow) {
        const QPointF c(side / 2, side / 2);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(colour, 1.6 + 2 * grow));
        p.drawEllipse(QRectF(1.5, 1.5, side - 3, side - 3));
        // The first spoke points straight up, the others follow clockwise on screen.
        p.setPen(QPen(colour, 1.3 + 2 * grow, Qt::SolidLine, Qt::RoundCap));
        for (int k = 0; k < 7; ++k) {
            const double theta = pi / 2 - k * 2 * pi / 7;
            const QPointF dir(std::cos(theta), -std::sin(theta));
            p.drawLine(c + 2.6 * dir, c + 6.6 * dir);
        }
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(c, 1.3 + grow, 1.3 + grow);
    };
    marks(QColor::fromRgbF(0.08f, 0.08f, 0.09f), 0.8);
    marks(QColor::fromRgbF(0.98f, 0.98f, 0.98f), 0);
    p.end();
    if (!paused) return image;

    // Dimmed as a whole, so the overlapping marks do not show through one another.
    QImage dimmed(image.size(), image.format());
    dimmed.fill(Qt::transparent);
    dimmed.setDevicePixelRatio(devicePixelRatio);
    QPainter d(&dimmed);
    d.setOpacity(0.45);
    d.drawImage(QPointF(), image);
    return dimmed;
}

void paint(QPainter& p, double w)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(w / 2, w / 2);

    QPainterPath tile;
    tile.addRoundedRect(QRectF(0.1 * w, 0.1 * w, 0.8 * w, 0.8 * w), 0.18 * w, 0.18 * w);
    // Only the tile casts the shadow, a little below it.
    DropShadow::paint(p, tile, QColor::fromRgbF(0, 0, 0, 0.28f), 0.03 * w, QPointF(0, 0.012 * w));

    // The gradient runs at −70° in the icon's y-down frame: from the lower left up to the top.
    const QRectF box = tile.boundingRect();
    const double angle = -70 * pi / 180;
    const QPointF dir(std::cos(angle), std::sin(angle));
    const double half = (std::abs(dir.x()) * box.width() + std::abs(dir.y()) * box.height()) / 2;
    QLinearGradient gradient(box.center() - half * dir, box.center() + half * dir);
    gradient.setColorAt(0.0, QColor::fromRgbF(1.0f, 0.79f, 0.27f));
    gradient.setColorAt(0.5, QColor::fromRgbF(1.0f, 0.43f, 0.12f));
    gradient.setColorAt(1.0, QColor::fromRgbF(0.93f, 0.30f, 0.27f));
    p.fillPath(tile, gradient);

    const double r = 0.3 * w;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgbF(1, 1, 1, 0.28f));
    p.drawEllipse(c, 1.06 * r, 1.06 * r);

    const double h = pi / 7 - 0.07;
    const QRectF outer(c.x() - r, c.y() - r, 2 * r, 2 * r);
    const double ri = 0.42 * r;
    const QRectF inner(c.x() - ri, c.y() - ri, 2 * ri, 2 * ri);
    for (int i = 0; i < 7; ++i) {
        // Petal 0 points up; petal 2, the lit one, points right a little below the horizontal.
        const double a = 2 * pi * i / 7 - pi / 2;
        QPainterPath petal;
        petal.arcMoveTo(outer, degrees(a - h));
        petal.arcTo(outer, degrees(a - h), degrees(a + h) - degrees(a - h));
        petal.arcTo(inner, degrees(a + h), degrees(a - h) - degrees(a + h));
        petal.closeSubpath();
        p.fillPath(petal, i == 2 ? QColor::fromRgbF(1.0f, 0.32f, 0.0f) : QColor::fromRgbF(1, 1, 1, 0.88f));
    }

    p.setBrush(QColor::fromRgbF(1, 1, 1, 0.95f));
    p.drawEllipse(c, 0.24 * r, 0.24 * r);
    p.restore();
}

QImage appIcon(int pixels, double size)
{
    if (pixels < 1 || !(size > 0)) return QImage();
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return image;
    image.fill(Qt::transparent);
    QPainter p(&image);
    paint(p, size);
    return image;
}

} // namespace AppIcon
