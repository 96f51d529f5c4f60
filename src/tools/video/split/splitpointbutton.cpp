#include "tools/video/split/splitpointbutton.h"

#include "core/fmt.h"
#include "toolkit/painting.h"
#include "toolkit/symbols.h"
#include "toolkit/theme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

SplitPointButton::SplitPointButton(double seconds, QWidget* parent)
    : QAbstractButton(parent), m_seconds(seconds)
{
    setText(Fmt::time(seconds, true));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setToolTip(QStringLiteral("Remove this split"));
}

QSize SplitPointButton::sizeHint() const
{
    const QFontMetricsF metrics(Painting::font(this, 11, QFont::Normal));
    return {int(std::ceil(metrics.horizontalAdvance(text()))) + 20, 24};
}

void SplitPointButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(Painting::font(painter, 11, QFont::Normal));
    painter.setPen(Theme::inkSoft());
    const QRectF box = rect();
    painter.drawText(box.adjusted(0, 0, -16, 0), Qt::AlignVCenter | Qt::AlignLeft, text());
    Symbols::draw(painter, QStringLiteral("xmark"), QRectF(box.right() - 13, box.center().y() - 5, 10, 10),
                  Theme::inkSoft());
}
