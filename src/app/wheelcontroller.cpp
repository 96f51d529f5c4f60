#include "app/wheelcontroller.h"

#include "app/feedback.h"
#include "app/wheeldropview.h"
#include "app/wheelpanel.h"
#include "core/catalog.h"
#include "core/fmt.h"
#include "toolkit/wheel/wheelgeometry.h"
#include "toolkit/wheel/wheelmodel.h"
#include "toolkit/wheel/wheelpainter.h"
#include "toolkit/wheel/wheelview.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cmath>

WheelController::WheelController(QObject* parent)
    : QObject(parent), m_model(std::make_unique<WheelModel>()), m_panel(std::make_unique<WheelPanel>()),
      m_hideTimer(new QTimer(this)), m_fade(new QPropertyAnimation(m_panel.get(), "windowOpacity", this))
{
    m_view = new WheelView(m_model.get(), m_panel.get());
    m_view->move(0, 0);
    auto* dropView = new WheelDropView(
        [this](std::optional<QPointF> point) { return track(point); },
        [this](const QStringList& files, QPoint at) { return drop(files, at); }, m_panel.get());
    dropView->setGeometry(m_panel->rect());
    dropView->raise();

    m_hideTimer->setSingleShot(true);
    m_hideTimer->setInterval(350);
    connect(m_hideTimer, &QTimer::timeout, this, [this] {
        if (!m_dropping) hide(true);
    });

    m_fade->setDuration(120);
    m_fade->setEndValue(0.0);
    connect(m_fade, &QPropertyAnimation::finished, this, [this] {
        if (m_visible) return; // shown again during the fade
        m_panel->hide();
        m_model->setBloom(false);
    });
}

WheelController::~WheelController() = default;

void WheelController::show(WheelMode mode, const QStringList& files, QPoint globalPos)
{
    m_hideTimer->stop();
    m_files = files;
    const QList<WheelItem> items = Catalog::items(mode, files);
    const bool wasVisible = m_visible;

    m_model->setMode(mode);
    m_model->setItems(items);
    m_model->setHighlighted(std::nullopt);
    m_model->setRestingText(restingText(files));
    m_panel->setShape(WheelPainter::outline(*m_model));
    m_panel->setReach(WheelPainter::reach(*m_model));

    if (!wasVisible) {
        m_anchor = clampToScreen(QPointF(globalPos));
        const double half = WheelGeometry::side / 2;
        m_panel->move(int(std::lround(m_anchor.x() - half)), int(std::lround(m_anchor.y() - half)));
        // A fade still running from a recent hide would take the new wheel with it.
        m_fade->stop();
        m_panel->setWindowOpacity(1.0);
        takeInput(true);
        m_panel->show();
        m_visible = true;
    }
    // Closing and reopening the bloom across one turn of the event loop replays the growth.
    m_model->setBloom(false);
    QTimer::singleShot(0, this, [this] { m_model->setBloom(true); });
}

void WheelController::hide(bool animated)
{
    if (!m_visible) return;
    m_visible = false;
    m_model->setHighlighted(std::nullopt);
    if (animated) {
        // A press during the fade belongs to what lies beneath, such as the next file to drag.
        takeInput(false);
        m_fade->stop();
        m_fade->setStartValue(m_panel->windowOpacity());
        m_fade->start();
    } else {
        m_fade->stop();
        m_panel->hide();
        m_model->setBloom(false);
    }
}

void WheelController::takeInput(bool on)
{
    if (QWindow* window = m_panel->windowHandle()) window->setFlag(Qt::WindowTransparentForInput, !on);
}

void WheelController::hideSoon()
{
    m_hideTimer->start();
}

bool WheelController::track(std::optional<QPointF> point)
{
    // A source may go on dragging over the hidden wheel after Escape; nothing lights for it.
    const std::optional<int> index =
        point && m_visible ? WheelGeometry::hitTest(*point, int(m_model->items().size())) : std::nullopt;
    if (index != m_model->highlighted()) {
        m_model->setHighlighted(index);
        if (index) Feedback::tick();
    }
    return index.has_value();
}

bool WheelController::drop(const QStringList& files, QPoint dropPoint)
{
    const std::optional<int> index = m_model->validHighlight();
    if (!index || !m_visible) return false;
    const WheelItem item = m_model->items()[*index];
    const QStringList dropped = files.isEmpty() ? m_files : files;

    m_dropping = true;
    hide(true);
    QTimer::singleShot(0, this, [this, item, dropped, dropPoint] {
        m_dropping = false;
        if (m_onDrop) m_onDrop(item, dropped, dropPoint);
    });
    return true;
}

QString WheelController::restingText(const QStringList& files)
{
    if (files.size() >= 2) return QString::number(files.size()) + QStringLiteral(" items");
    if (files.isEmpty()) return QString();
    const QString& file = files.first();
    if (QFileInfo(file).isDir() && !Catalog::format(file)) return QStringLiteral("Folder");
    return Fmt::byteCount(Fmt::fileSize(file));
}

QPointF WheelController::clamp(QPointF point, const QRectF& available)
{
    double x = point.x(), y = point.y();
    if (x <= available.left() + edgeMargin) x = available.left() + edgeMargin;
    if (available.right() - edgeMargin < x) x = available.right() - edgeMargin;
    if (y <= available.top() + edgeMargin) y = available.top() + edgeMargin;
    if (available.bottom() - edgeMargin < y) y = available.bottom() - edgeMargin;
    return {x, y};
}

QPointF WheelController::clampToScreen(QPointF point)
{
    QScreen* screen = QGuiApplication::screenAt(point.toPoint());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return point;
    return clamp(point, QRectF(screen->availableGeometry()));
}
