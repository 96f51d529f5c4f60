#include "tools/image/annotate/kindbutton.h"

#include "toolkit/symbols.h"
#include "toolkit/theme.h"

#include <QPainter>
#include <iterator>

namespace {

// Indexed by the kind's value.
constexpr const char* symbols[] = {"arrow.up.right", "rectangle",   "circle",     "line.diagonal",
                                   "scribble",       "highlighter", "textformat", "1.circle"};
static_assert(std::size(symbols) == int(Mark::Kind::number) + 1);

} // namespace

KindButton::KindButton(Mark::Kind kind, QWidget* parent) : QAbstractButton(parent), m_kind(kind)
{
    setFixedSize(sizeHint());
    setFocusPolicy(Qt::NoFocus);
    setToolTip(help(kind));
}

QString KindButton::symbol(Mark::Kind kind)
{
    return QString::fromLatin1(symbols[int(kind)]);
}

QString KindButton::help(Mark::Kind kind)
{
    const QString raw = rawValue(kind);
    return raw.left(1).toUpper() + raw.mid(1);
}

void KindButton::setCurrent(bool current)
{
    if (current == m_current) return;
    m_current = current;
    update();
}

void KindButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_current) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::orange());
        painter.drawRoundedRect(QRectF(rect()), 7, 7);
    }
    const QRectF glyph(QPointF(), QSizeF(15, 15));
    Symbols::draw(painter, symbol(m_kind), glyph.translated(QRectF(rect()).center() - glyph.center()),
                  m_current ? QColor(Qt::white) : Theme::ink());
}
