#include "tools/image/editphoto/stagebutton.h"

#include "toolkit/painting.h"
#include "toolkit/symbols.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace {

constexpr double textPixels = 11, symbolSide = 11, gap = 4, inset = 8;

} // namespace

StageButton::StageButton(const QString& title, const QString& symbol, QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol)
{
    setFocusPolicy(Qt::NoFocus);
    setTitle(title);
}

void StageButton::setTitle(const QString& title)
{
    setText(title);
    setFixedSize(sizeHint());
}

QSize StageButton::sizeHint() const
{
    const QFontMetricsF metrics(Painting::font(this, textPixels, QFont::Medium));
    return QSize(int(std::ceil(symbolSide + gap + metrics.horizontalAdvance(text()) + 2 * inset)), height);
}

void StageButton::paint(QPainter& painter, const QRectF& rect, const QString& title, const QString& symbol)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(1, 1, 1, 0.14f));
    painter.drawRoundedRect(rect, rect.height() / 2, rect.height() / 2);

    const QColor ink = QColor::fromRgbF(1, 1, 1, 0.85f);
    const double x = rect.left() + inset;
    Symbols::draw(painter, symbol, QRectF(x, rect.center().y() - symbolSide / 2, symbolSide, symbolSide),
                  ink);
    painter.setFont(Painting::font(painter, textPixels, QFont::Medium));
    painter.setPen(ink);
    const double textX = x + symbolSide + gap;
    painter.drawText(QRectF(textX, rect.top(), rect.right() - textX, rect.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, title);
    painter.restore();
}

void StageButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, rect(), text(), m_symbol);
}
