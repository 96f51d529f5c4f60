#include "toolkit/floatingpanel.h"

#include "platform/compositor.h"
#include "platform/workspaces.h"

#include <QBitmap>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>

namespace {

Qt::WindowFlags flags(FloatingPanel::Kind kind)
{
    Qt::WindowFlags f =
        Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint;
    if (kind != FloatingPanel::Kind::window) f |= Qt::WindowDoesNotAcceptFocus;
    if (kind == FloatingPanel::Kind::overlay) f |= Qt::X11BypassWindowManagerHint;
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

// The part of the screen a compositor's shadow of a window at `geometry` may reach.
QRect shadowArea(const QRect& geometry)
{
    constexpr int reach = 64;
    return geometry.adjusted(-reach, -reach, reach, reach);
}

// A moment for the compositor and the window manager to act on a window shown or hidden.
constexpr int settleMs = 150;

QPainterPath whole(QSize size)
{
    QPainterPath path;
    path.addRect(QRectF(QPointF(), QSizeF(size)));
    return path;
}

} // namespace

FloatingPanel::FloatingPanel(QSize size, Kind kind, QWidget* parent)
    : QWidget(parent, flags(kind)), m_kind(kind)
{
    // The window keeps its alpha channel either way, so a compositor that starts while it is up
    // shows it translucent without re-creating it.
    setAttribute(Qt::WA_TranslucentBackground);
    if (kind == Kind::window) {
        // Clicking the background takes the focus from a text field, which then commits.
        setFocusPolicy(Qt::ClickFocus);
        resize(size);
    } else {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setFocusPolicy(Qt::NoFocus);
        setFixedSize(size);
    }
    m_shape = whole(size);
    connect(&Compositor::shared(), &Compositor::changed, this, [this] {
        if (isVisible()) matchCompositor();
    });
}

void FloatingPanel::setShape(const QPainterPath& shape)
{
    m_shapeSet = true;
    if (shape == m_shape) return;
    m_shape = shape;
    applyShape();
}

void FloatingPanel::setReach(const QPainterPath& reach)
{
    if (reach == m_reach) return;
    m_reach = reach;
    applyShape();
}

QColor FloatingPanel::backdrop()
{
    return QColor::fromRgbF(0.93f, 0.94f, 0.945f);
}

Qt::Edges FloatingPanel::edgesAt(QPointF point, QSizeF size, double grip)
{
    Qt::Edges edges;
    if (point.x() < grip) edges |= Qt::LeftEdge;
    if (point.x() >= size.width() - grip) edges |= Qt::RightEdge;
    if (point.y() < grip) edges |= Qt::TopEdge;
    if (point.y() >= size.height() - grip) edges |= Qt::BottomEdge;
    return edges;
}

void FloatingPanel::setVisible(bool visible)
{
    const bool wasVisible = isVisible();
    const QRect shadow = shadowArea(geometry());
    if (visible && !wasVisible) {
        matchCompositor();
        // Progress panels and the shelf follow the user from workspace to workspace.
        if (m_kind == Kind::panel) Workspaces::showOnAll(winId());
    }
    QWidget::setVisible(visible);
    if (!m_translucent || visible == wasVisible) return;
    if (visible) {
        settleOnCompositor();
    } else {
        // The window may be gone by then, so the compositor's watch keeps the timer.
        Compositor* compositor = &Compositor::shared();
        QTimer::singleShot(settleMs, compositor, [compositor, shadow] { compositor->repaint(shadow); });
    }
}

void FloatingPanel::settleOnCompositor()
{
    // A moment after showing, once the compositor has seen the window mapped, and again later
    // with the screen around it redrawn, by when the window manager has passed it on to its frame.
    for (const int delay : {settleMs, 4 * settleMs}) {
        QTimer::singleShot(delay, this, [this, delay] {
            if (!isVisible() || !m_translucent) return;
            Compositor::shared().reconsider(internalWinId(), windowOpacity());
            if (delay > settleMs) Compositor::shared().repaint(shadowArea(geometry()));
        });
    }
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
    if (m_translucent || !m_shapeSet)
        clearMask();
    else
        setMask(region(m_reach.isEmpty() ? m_shape : m_shape.united(m_reach), size()));
}

void FloatingPanel::paintEvent(QPaintEvent*)
{
    if (m_translucent) return;
    QPainter(this).fillRect(rect(), backdrop());
}

void FloatingPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!m_shapeSet)
        m_shape = whole(size());
    else if (!m_translucent)
        applyShape();
}

void FloatingPanel::mousePressEvent(QMouseEvent* event)
{
    if (m_kind != Kind::window || event->button() != Qt::LeftButton || !windowHandle()) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const Qt::Edges edges = edgesAt(event->position(), size());
    if (edges)
        windowHandle()->startSystemResize(edges);
    else
        windowHandle()->startSystemMove();
    event->accept();
}
