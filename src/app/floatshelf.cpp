#include "app/floatshelf.h"

#include "app/shelfpanel.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <algorithm>

namespace {

QRect availableArea(const QWidget* panel)
{
    if (QScreen* screen = panel ? panel->screen() : nullptr) return screen->availableGeometry();
    if (QScreen* primary = QGuiApplication::primaryScreen()) return primary->availableGeometry();
    return {};
}

} // namespace

FloatShelf::FloatShelf(QObject* parent) : QObject(parent) {}

FloatShelf::~FloatShelf()
{
    // The shared shelf goes with the application object, after its widgets are torn down: the
    // panel is left to the ending process then.
    if (QCoreApplication::closingDown()) (void)m_panel.release();
}

FloatShelf& FloatShelf::shared()
{
    static QPointer<FloatShelf> instance;
    if (!instance) instance = new FloatShelf(QCoreApplication::instance());
    return *instance;
}

void FloatShelf::show(const QStringList& adding)
{
    bool added = false;
    for (const QString& file : adding) {
        const QString path = QDir::cleanPath(file);
        if (m_items.contains(path)) continue;
        m_items << path;
        added = true;
    }
    if (!m_panel) makePanel();
    if (added) emit itemsChanged();
    resize();
    m_panel->show();
    m_panel->raise();
}

void FloatShelf::remove(const QString& item)
{
    if (m_items.removeAll(QDir::cleanPath(item)) == 0) return;
    emit itemsChanged();
    if (m_items.isEmpty()) {
        if (m_panel) m_panel->hide();
        return;
    }
    resize();
}

void FloatShelf::close()
{
    if (m_panel) m_panel->hide();
    if (m_items.isEmpty()) return;
    m_items.clear();
    emit itemsChanged();
}

void FloatShelf::togglePin(Edge edge)
{
    m_edge = m_edge == edge ? Edge::free : edge;
    emit edgeChanged();
    resize();
}

int FloatShelf::height(int count)
{
    return std::min(std::max(count, 1) * 58 + 88, 560);
}

QRect FloatShelf::frame(int count, Edge edge, const QRect& current, const QRect& available)
{
    const int h = height(count);
    int x = current.x();
    if (edge == Edge::left) x = available.x() + margin;
    if (edge == Edge::right) x = available.x() + available.width() - width - margin;
    // The bottom limit first, so that on a screen too short for the panel its top stays visible.
    const int top = std::max(std::min(current.y(), available.y() + available.height() - h - margin),
                             available.y() + margin);
    return {x, top, width, h};
}

void FloatShelf::makePanel()
{
    m_panel = std::make_unique<ShelfPanel>(*this);
    const QRect area = availableArea(nullptr);
    m_panel->setGeometry(area.x() + area.width() - 260, area.y() + area.height() / 2 - 150, width, 300);
}

void FloatShelf::resize()
{
    if (!m_panel) return;
    const QRect to = frame(int(m_items.size()), m_edge, m_panel->geometry(), availableArea(m_panel.get()));
    m_panel->place(to);
}
