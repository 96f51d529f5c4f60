#include "toolkit/floatingpanel.h"

#include "platform/compositor.h"

#include <QBitmap>
#include <QImage>
#include <QPainter>

namespace {

Qt::WindowFlags flags(bool unmanaged)
{
    Qt::WindowFlags f = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                        Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint;
    if (unmanaged) f |= Qt::X11BypassWindowManagerHint;
    return f;
}

// The pixels of `shape` in a window of `size`: those whose centre lies inside.
QRegion region(const QPainterPath& shape, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillPath(shape, Qt::black); // aliased: a pixel is in or out
    painter.end();
    return QRegion(QBitmap::fromImage(image.createAlphaMask()));
}

} // namespace

FloatingPanel::FloatingPanel(QSize size, bool unmanaged, QWidget* parent) : QWidget(parent, flags(unmanaged))
{
    // The window keeps its alpha channel either way, so a compositor that starts while it is up
    // shows it translucent without re-creating it.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(size);
    m_shape.addRect(QRectF(QPointF(), QSizeF(size)));
    connect(&Compositor::shared(), &Compositor::changed, this, [this] {
        if (isVisible()) matchCompositor();
    });
}

void FloatingPanel::setShape(const QPainterPath& shape)
{
    if (shape == m_shape) return;
    m_shape = shape;
    applyShape();
}

QColor FloatingPanel::backdrop()
{
    return QColor::fromRgbF(0.93f, 0.94f, 0.945f);
}

void FloatingPanel::setVisible(bool visible)
{
    if (visible && !isVisible()) matchCompositor();
    QWidget::setVisible(visible);
}

void FloatingPanel::matchCompositor()
{
    const bool translucent = Compositor::shared().running(internalWinId());
    if (translucent == m_translucent) return;
    m_translucent = translucent;
    applyShape();
    update();
}

void FloatingPanel::applyShape()
{
    if (m_translucent)
        clearMask();
    else
        setMask(region(m_shape, size()));
}

void FloatingPanel::paintEvent(QPaintEvent*)
{
    if (m_translucent) return;
    QPainter painter(this);
    painter.fillRect(rect(), backdrop());
}
