#include "toolkit/checkbox.h"

#include "toolkit/painting.h"
#include "toolkit/symbols.h"
#include "toolkit/theme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace {

constexpr double box = 18, gap = 8, textPixels = 13;

} // namespace

Checkbox::Checkbox(const QString& label, QWidget* parent) : QAbstractButton(parent)
{
    setText(label);
    setCheckable(true);
    setFocusPolicy(Qt::NoFocus);
}

QSize Checkbox::sizeHint() const
{
    const QFontMetricsF metrics(Painting::font(this, textPixels, QFont::Normal));
    return QSize(int(std::ceil(box + gap + metrics.horizontalAdvance(text()))),
                 int(std::ceil(std::max(box, metrics.height()))));
}

void Checkbox::paint(QPainter& painter, const QRectF& rect, const QString& label, bool on)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF square(rect.left(), rect.center().y() - box / 2, box, box);
    painter.setPen(Qt::NoPen);
    painter.setBrush(on ? Theme::orange() : QColor::fromRgbF(1, 1, 1, 0.45f));
    painter.drawRoundedRect(square, 5, 5);
    if (on) Symbols::draw(painter, QStringLiteral("checkmark"), square.adjusted(3, 3, -3, -3), Qt::white);
    painter.setFont(Painting::font(painter, textPixels, QFont::Normal));
    painter.setPen(Theme::ink());
    painter.drawText(rect.adjusted(box + gap, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, label);
    painter.restore();
}

void Checkbox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, rect(), text(), isChecked());
}
