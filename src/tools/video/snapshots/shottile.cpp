#include "tools/video/snapshots/shottile.h"

#include "core/fmt.h"
#include "toolkit/symbols.h"
#include "toolkit/theme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int timeHeight = 14;

} // namespace

ShotTile::ShotTile(double time, const QImage& thumb, QWidget* parent)
    : QWidget(parent), m_thumb(thumb), m_time(Fmt::time(time, true))
{
    setFixedSize(thumbWidth, thumbHeight + 3 + timeHeight);
}

QRect ShotTile::removeBox()
{
    return {thumbWidth - 18, 2, 16, 16};
}

void ShotTile::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF area(0, 0, thumbWidth, thumbHeight);
    painter.save();
    QPainterPath clip;
    clip.addRoundedRect(area, 6, 6);
    painter.setClipPath(clip);
    if (m_thumb.isNull()) {
        painter.fillRect(area, QColor::fromRgbF(0, 0, 0, 0.3f));
    } else {
        // Filled, the aspect kept and the overflow cut.
        const QSizeF scaled = QSizeF(m_thumb.size()).scaled(area.size(), Qt::KeepAspectRatioByExpanding);
        painter.drawImage(
            QRectF(QPointF((area.width() - scaled.width()) / 2, (area.height() - scaled.height()) / 2),
                   scaled),
            m_thumb);
    }
    painter.restore();
    const QRectF box(removeBox());
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.5f));
    painter.drawEllipse(box.adjusted(1, 1, -1, -1));
    Symbols::draw(painter, QStringLiteral("xmark.circle"), box, Qt::white);

    QFont f = font();
    f.setFamily(QStringLiteral("monospace"));
    f.setStyleHint(QFont::Monospace);
    f.setPixelSize(10);
    painter.setFont(f);
    painter.setPen(Theme::inkSoft());
    painter.drawText(QRectF(0, thumbHeight + 3, thumbWidth, timeHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     m_time);
}

void ShotTile::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && removeBox().contains(event->position().toPoint()))
        emit removeClicked();
}
