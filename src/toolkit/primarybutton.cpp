#include "toolkit/primarybutton.h"

#include "toolkit/painting.h"
#include "toolkit/theme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace {

constexpr double textPixels = 13, inset = 14;

} // namespace

PrimaryButton::PrimaryButton(const QString& title, QWidget* parent) : QAbstractButton(parent)
{
    setText(title);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(sizeHint());
}

QSize PrimaryButton::sizeHint() const
{
    const QFontMetricsF metrics(Painting::font(this, textPixels, QFont::DemiBold));
    return QSize(int(std::ceil(metrics.horizontalAdvance(text()) + 2 * inset)), height);
}

void PrimaryButton::paint(QPainter& painter, const QRectF& rect, const QString& title, bool enabled)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = Theme::orange();
    fill.setAlphaF(enabled ? 1.0f : 0.35f);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    const double r = rect.height() / 2;
    painter.drawRoundedRect(rect, r, r);
    painter.setFont(Painting::font(painter, textPixels, QFont::DemiBold));
    painter.setPen(Qt::white);
    painter.drawText(rect, Qt::AlignCenter, title);
    painter.restore();
}

void PrimaryButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, rect(), text(), isEnabled());
}
