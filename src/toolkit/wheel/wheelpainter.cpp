#include "toolkit/wheel/wheelpainter.h"

#include "toolkit/dropshadow.h"
#include "toolkit/painting.h"
#include "toolkit/symbols.h"
#include "toolkit/theme.h"
#include "toolkit/wheel/wheelgeometry.h"
#include "toolkit/wheel/wheelmodel.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QRadialGradient>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace {

constexpr QPointF centre(WheelGeometry::side / 2, WheelGeometry::side / 2);
constexpr double ringOuter = 125.92, ringInner = 42.24, rimOuter = 125.42, rimWidth = 1;
constexpr double capsuleWidth = 70;
constexpr double bubbleRadius = 18, bubbleStroke = 1;
constexpr double discRadius = capsuleWidth / 2 + 1; // holds the capsule and its edge

QColor rgb(double r, double g, double b, double a = 1)
{
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}

QColor mix(const QColor& from, const QColor& to, double t)
{
    const auto lerp = [t](float a, float b) { return float(a + (b - a) * t); };
    return QColor::fromRgbF(lerp(from.redF(), to.redF()), lerp(from.greenF(), to.greenF()),
                            lerp(from.blueF(), to.blueF()), lerp(from.alphaF(), to.alphaF()));
}

double level(const WheelModel& model, const WheelFrame& frame, int index)
{
    if (index < frame.highlight.size()) return std::clamp(frame.highlight[index], 0.0, 1.0);
    return model.highlighted() == index ? 1.0 : 0.0;
}

void paintRing(QPainter& painter)
{
    const QPainterPath ring = WheelGeometry::ring(centre, ringOuter, ringInner);
    // A light translucent fill stands in for the frosted material behind the petals.
    painter.fillPath(ring, rgb(0.96, 0.965, 0.97, 0.55));
    painter.fillPath(ring, rgb(0.75, 0.79, 0.80, 0.25));
    QPen rim(QColor::fromRgbF(1, 1, 1, 0.33f), rimWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    rim.setMiterLimit(10);
    painter.strokePath(WheelGeometry::ring(centre, rimOuter, ringInner), rim);
}

void paintPetals(QPainter& painter, const WheelModel& model, const WheelFrame& frame)
{
    const int n = int(model.items().size());
    QList<QPainterPath> petals;
    QPainterPath all;
    all.setFillRule(Qt::WindingFill);
    for (int i = 0; i < n; ++i) {
        petals << WheelGeometry::petal(i, n).translated(centre);
        all.addPath(petals.last());
    }
    DropShadow::paint(painter, all, rgb(0.15, 0.20, 0.22, 0.15), 4, QPointF(0, 5));

    for (int i = 0; i < n; ++i) {
        const QPainterPath& path = petals[i];
        const double lit = level(model, frame, i);
        const QRectF box = path.boundingRect();
        if (lit < 1) {
            QRadialGradient fill(box.center(), 0.62 * std::max(box.width(), box.height()));
            fill.setColorAt(0, rgb(1, 1, 1, 0.8));
            fill.setColorAt(0.68, rgb(0.953, 0.965, 0.969, 0.58));
            fill.setColorAt(1, rgb(0.957, 0.965, 0.965, 0.75));
            painter.fillPath(path, fill);
        }
        if (lit > 0) {
            painter.save();
            painter.setOpacity(painter.opacity() * lit);
            painter.fillPath(path, Theme::orange());
            painter.restore();
        }
        QPen stroke(mix(rgb(0.36, 0.40, 0.40, 0.22), rgb(0.76, 0.40, 0.20, 0.44), lit), 0.75, Qt::SolidLine,
                    Qt::FlatCap, Qt::MiterJoin);
        stroke.setMiterLimit(10);
        painter.strokePath(path, stroke);
    }
}

void paintLabels(QPainter& painter, const WheelModel& model, const WheelFrame& frame)
{
    const int n = int(model.items().size());
    const QFont symbolTitle = Painting::font(painter, 8.5, QFont::DemiBold, 0.2);
    const QFont formatTitle = Painting::font(painter, n > 8 ? 12.5 : 14, QFont::DemiBold, 0.35);
    for (int i = 0; i < n; ++i) {
        const WheelItem& item = model.items()[i];
        const QPointF at =
            centre + WheelGeometry::polar(WheelGeometry::labelRadius, WheelGeometry::centreAngle(i, n));
        const QColor colour = mix(Qt::black, Qt::white, level(model, frame, i));
        painter.setPen(colour);
        const auto symbol = item.symbol();
        if (symbol) {
            const QFontMetricsF metrics(symbolTitle, painter.device());
            const double symbolHeight = 18, spacing = 3, titleHeight = metrics.height();
            const double top = at.y() + 2 - (symbolHeight + spacing + titleHeight) / 2;
            Symbols::draw(painter, *symbol, QRectF(at.x() - 9, top, 18, symbolHeight), colour);
            painter.setFont(symbolTitle);
            painter.drawText(QRectF(at.x() - 60, top + symbolHeight + spacing, 120, titleHeight),
                             Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip, item.title());
        } else {
            painter.setFont(formatTitle);
            painter.drawText(QRectF(at.x() - 80, at.y() - 20, 160, 40), Qt::AlignCenter | Qt::TextDontClip,
                             item.title());
        }
    }
}

void paintCapsule(QPainter& painter, const WheelModel& model, const QString& text)
{
    const bool compact = model.mode() != WheelMode::conversions && model.validHighlight();
    const double size = compact ? 8.5 : 12;
    const QFont::Weight weight = compact ? QFont::DemiBold : QFont::Medium;
    const double tracking = compact ? 0.2 : 0.35;
    const double minHeight = compact ? 36 : 32;
    const double width = capsuleWidth, textWidth = width - 12;

    // A petal's title may take two lines; the resting text is a size or a count ("113.4 MB"),
    // read as one unit, so it keeps to one. Either shrinks down to 70 % before its last line is
    // elided.
    const int maxLines = model.validHighlight() ? 2 : 1;
    Painting::Lines lines;
    QFont f;
    for (double scale = 1.0; scale >= 0.7 - 1e-9; scale -= 0.05) {
        f = Painting::font(painter, size * scale, weight, tracking);
        lines = Painting::wrap(text, f, textWidth, maxLines, painter.device());
        if (lines.fits) break;
    }
    const double height = std::max(minHeight, lines.lineHeight * lines.lines.size() + 8);
    const QRectF box(centre.x() - width / 2, centre.y() - height / 2, width, height);
    QPainterPath capsule;
    capsule.addRoundedRect(box, height / 2, height / 2);

    DropShadow::paint(painter, capsule, rgb(0, 0, 0, 0.06), 3, QPointF(0, 2));
    painter.fillPath(capsule, rgb(0.95, 0.95, 0.95, 0.8));
    painter.fillPath(capsule, rgb(1, 1, 1, 0.72));
    painter.strokePath(capsule, QPen(rgb(1, 1, 1, 0.7), 1));
    painter.setPen(Qt::black);
    painter.setFont(f);
    Painting::drawCentred(painter, lines, box);
}

struct Bubble
{
    QFont font;
    Painting::Lines lines;
    QPainterPath outline;
};

Bubble bubble(const QPainter& painter, const WheelModel& model)
{
    Bubble b;
    b.font = Painting::font(painter, 13, QFont::Medium, 0);
    const double width = 250, padding = 22;
    const QString message = model.emptyMessage();
    if (!message.isEmpty())
        b.lines = Painting::wrap(message, b.font, width - 2 * padding, 0, painter.device());
    const double height = b.lines.lineHeight * b.lines.lines.size() + 2 * padding;
    b.outline.addRoundedRect(QRectF(centre.x() - width / 2, centre.y() - height / 2, width, height),
                             bubbleRadius, bubbleRadius);
    return b;
}

void paintBubble(QPainter& painter, const WheelModel& model)
{
    const auto [f, lines, outline] = bubble(painter, model);
    const QRectF box = outline.boundingRect();

    DropShadow::paint(painter, outline, rgb(0.14, 0.20, 0.24, 0.13), 14, QPointF(0, 8));
    painter.fillPath(outline, rgb(1, 1, 1, 0.95));
    painter.strokePath(outline, QPen(rgb(0.86, 0.86, 0.86), bubbleStroke));
    painter.setPen(rgb(0.35, 0.35, 0.35));
    painter.setFont(f);
    Painting::drawCentred(painter, lines, box);
}

} // namespace

WheelFrame WheelFrame::resting(const WheelModel& model)
{
    WheelFrame frame;
    frame.bloom = model.bloom() ? 1 : 0;
    for (int i = 0; i < model.items().size(); ++i)
        frame.highlight << (model.highlighted() == i ? 1.0 : 0.0);
    return frame;
}

namespace WheelPainter {

void paint(QPainter& painter, const WheelModel& model, const WheelFrame& frame)
{
    const double bloom = std::clamp(frame.bloom, 0.0, 1.0);
    if (bloom <= 0) return;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double scale = 0.45 + 0.55 * bloom;
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-centre);
    painter.setOpacity(painter.opacity() * bloom);

    if (model.items().isEmpty()) {
        paintBubble(painter, model);
    } else {
        paintRing(painter);
        paintPetals(painter, model, frame);
        paintLabels(painter, model, frame);
        if (const auto text = model.centerText()) paintCapsule(painter, model, *text);
    }
    painter.restore();
}

QPainterPath outline(const WheelModel& model)
{
    if (model.items().isEmpty()) {
        QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
        const QPainter painter(&device); // measures the message as it will be drawn
        // With the outer half of its edge's stroke.
        const double grow = bubbleStroke / 2;
        QPainterPath withEdge;
        withEdge.addRoundedRect(
            bubble(painter, model).outline.boundingRect().adjusted(-grow, -grow, grow, grow),
            bubbleRadius + grow, bubbleRadius + grow);
        return withEdge;
    }
    static const QPainterPath wheel = [] {
        QPainterPath disc;
        disc.addEllipse(centre, discRadius, discRadius);
        // The rim's stroke reaches half its width into the hole.
        return WheelGeometry::ring(centre, ringOuter, ringInner - rimWidth / 2).united(disc);
    }();
    return wheel;
}

QPainterPath reach(const WheelModel& model)
{
    if (model.items().isEmpty()) return outline(model);
    QPainterPath disc;
    disc.addEllipse(centre, ringOuter, ringOuter);
    return disc;
}

} // namespace WheelPainter
