#include "toolkit/symbolicon.h"

#include "toolkit/symbols.h"

#include <QPainter>

SymbolIcon::SymbolIcon(const QString& symbol, int size, const QColor& colour, QWidget* parent)
    : QWidget(parent), m_symbol(symbol), m_size(size), m_colour(colour)
{
    setFixedSize(size, size);
}

void SymbolIcon::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Symbols::draw(painter, m_symbol, QRectF(rect()), m_colour);
}
