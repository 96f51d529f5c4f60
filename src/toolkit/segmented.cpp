#include "toolkit/segmented.h"

#include "toolkit/painting.h"
#include "toolkit/theme.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace {

constexpr double pad = 2, segmentHeight = 22, inset = 9, divider = 1, textPixels = 12;

QFont segmentFont(const QPaintDevice* device, bool chosen)
{
    return Painting::font(device, textPixels, chosen ? QFont::DemiBold : QFont::Normal);
}

} // namespace

Segmented::Segmented(const QStringList& options, QWidget* parent) : QWidget(parent), m_options(options)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Segmented::setOptions(const QStringList& options)
{
    if (options == m_options) return;
    m_options = options;
    updateGeometry();
    update();
}

void Segmented::setSelected(int index)
{
    if (index == m_selected) return;
    m_selected = index;
    updateGeometry(); // the chosen text is bolder, so wider
    update();
}

bool Segmented::dividerVisible(int i, int selected)
{
    return i >= 1 && i != selected && i - 1 != selected;
}

QList<QRectF> Segmented::segmentRects(const QList<double>& textWidths)
{
    QList<QRectF> rects;
    double x = pad;
    for (int i = 0; i < textWidths.size(); ++i) {
        if (i >= 1) x += divider;
        const double w = textWidths[i] + 2 * inset;
        rects << QRectF(x, pad, w, segmentHeight);
        x += w;
    }
    return rects;
}

QList<double> Segmented::textWidths(const QStringList& options, int selected, const QPaintDevice* device)
{
    QList<double> widths;
    for (int i = 0; i < options.size(); ++i)
        widths << QFontMetricsF(segmentFont(device, i == selected)).horizontalAdvance(options[i]);
    return widths;
}

QSize Segmented::sizeHint() const
{
    const QList<QRectF> rects = segmentRects(textWidths(m_options, m_selected, this));
    const double right = rects.isEmpty() ? pad : rects.last().right();
    return QSize(int(std::ceil(right + pad)), height);
}

void Segmented::paint(QPainter& painter, const QStringList& options, int selected)
{
    const QList<QRectF> rects = segmentRects(textWidths(options, selected, painter.device()));
    const double right = (rects.isEmpty() ? pad : rects.last().right()) + pad;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0.55f, 0.30f, 0.20f, 0.12f));
    painter.drawRoundedRect(QRectF(0, 0, right, height), height / 2.0, height / 2.0);
    QColor rule = Theme::ink();
    rule.setAlphaF(0.18f);
    for (int i = 0; i < rects.size(); ++i) {
        const QRectF& r = rects[i];
        if (dividerVisible(i, selected))
            painter.fillRect(QRectF(r.left() - divider, height / 2.0 - 6.5, divider, 13), rule);
        const bool chosen = i == selected;
        if (chosen) {
            painter.setBrush(Theme::orange());
            painter.drawRoundedRect(r, r.height() / 2, r.height() / 2);
        }
        painter.setFont(segmentFont(painter.device(), chosen));
        painter.setPen(chosen ? QColor(Qt::white) : Theme::ink());
        painter.drawText(r, Qt::AlignCenter, options[i]);
        painter.setPen(Qt::NoPen);
    }
    painter.restore();
}

void Segmented::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, m_options, m_selected);
}

void Segmented::mousePressEvent(QMouseEvent* event)
{
    const QList<QRectF> rects = segmentRects(textWidths(m_options, m_selected, this));
    for (int i = 0; i < rects.size(); ++i) {
        // A segment takes its half of the divider next to it, so no click falls between.
        if (rects[i].adjusted(-0.5, -pad, 0.5, pad).contains(event->position())) {
            setSelected(i);
            emit edited(i);
            return;
        }
    }
    event->ignore();
}
