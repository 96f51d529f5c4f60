#include "toolkit/secondarybutton.h"

#include "toolkit/painting.h"
#include "toolkit/symbols.h"
#include "toolkit/theme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace {

constexpr double textPixels = 13, symbolSide = 13, gap = 6, inset = 12;

double contentWidth(const QFontMetricsF& metrics, const QString& title, bool symbol)
{
    return metrics.horizontalAdvance(title) + (symbol ? symbolSide + gap : 0);
}

} // namespace

SecondaryButton::SecondaryButton(const QString& title, const QString& symbol, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol)
{
    setText(title);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(sizeHint());
}

void SecondaryButton::setContent(const QString& title, const QString& symbol)
{
    if (title == text() && symbol == m_symbol) return;
    m_symbol = symbol;
    setText(title);
    setFixedSize(sizeHint());
    update();
}

QSize SecondaryButton::sizeHint() const
{
    const QFontMetricsF metrics(Painting::font(this, textPixels, QFont::Medium));
    return QSize(int(std::ceil(contentWidth(metrics, text(), !m_symbol.isEmpty()) + 2 * inset)), height);
}

void SecondaryButton::paint(QPainter& painter, const QRectF& rect, const QString& title,
                            const QString& symbol, bool enabled)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0.55f, 0.30f, 0.20f, 0.13f));
    painter.drawRoundedRect(rect, 8, 8);

    QColor ink = Theme::ink();
    ink.setAlphaF(enabled ? 1.0f : 0.4f);
    const QFont font = Painting::font(painter, textPixels, QFont::Medium);
    const QFontMetricsF metrics(font, painter.device());
    double x = rect.center().x() - contentWidth(metrics, title, !symbol.isEmpty()) / 2;
    if (!symbol.isEmpty()) {
        Symbols::draw(painter, symbol, QRectF(x, rect.center().y() - symbolSide / 2, symbolSide, symbolSide),
                      ink);
        x += symbolSide + gap;
    }
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(QRectF(x, rect.top(), rect.right() - x, rect.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     title);
    painter.restore();
}

void SecondaryButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, rect(), text(), m_symbol, isEnabled());
}
