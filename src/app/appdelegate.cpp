#include "app/appdelegate.h"

#include "app/appicon.h"
#include "app/dispatcher.h"
#include "app/dragmonitor.h"
#include "app/floatshelf.h"
#include "core/settings.h"
#include "toolkit/toolwindow.h"
#include "windows/settings/settingsview.h"
#include "windows/welcome/welcomeview.h"

#include <QApplication>
#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdio>

AppDelegate::AppDelegate(std::unique_ptr<DragMonitor> monitor, QObject* parent)
    : QObject(parent), m_monitor(monitor ? std::move(monitor) : std::make_unique<DragMonitor>()),
      m_settings([] { return new ToolWindow(new SettingsView, QSize(540, 680)); }), m_welcome([this] {
          const auto done = [this] {
              Settings::shared().setOnboarded(true);
              if (QWidget* window = m_welcome.window()) window->close();
          };
          const auto sample = WelcomeView::makeSample([] { return AppIcon::appIcon(512, 512); });
          return new ToolWindow(new WelcomeView(done, sample), QSize(640, 520));
      })
{
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::launch()
{
    setUpTrayIcon();
    QPointer<AppDelegate> self(this);
    m_monitor->setOnModeKey([self](WheelMode mode, const QStringList& files) {
        if (self) self->m_wheel.show(mode, files, QCursor::pos());
    });
    m_monitor->setOnCancel([self] {
        if (self) self->m_wheel.hide(true);
    });
    m_monitor->setOnDragEnd([self] {
        if (self) self->m_wheel.hideSoon();
    });
    m_monitor->start();
    m_wheel.setOnDrop([](const WheelItem& item, const QStringList& files, QPoint at) {
        Dispatcher::perform(item, files, at);
    });
    if (!Settings::shared().onboarded()) QTimer::singleShot(400, this, &AppDelegate::showWelcome);
}

void AppDelegate::setUpTrayIcon()
{
    m_tray = new QSystemTrayIcon(this);
    updateTrayIcon();
    // However the setting changes (the menu, the settings window), the icon follows.
    connect(&Settings::shared(), &Settings::enabledChanged, this, &AppDelegate::updateTrayIcon);
    m_tray->setToolTip(QStringLiteral("Tolvane"));
    m_menu = std::make_unique<QMenu>();
    connect(m_menu.get(), &QMenu::aboutToShow, this, &AppDelegate::rebuildMenu);
    rebuildMenu();
    m_tray->setContextMenu(m_menu.get());
    // A left click opens the menu too, as the right one does.
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) m_menu->popup(QCursor::pos());
    });
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        std::fputs("Tolvane: no system tray on this desktop; running without a tray icon.\n", stderr);
    m_tray->show();
}

QList<AppDelegate::MenuEntry> AppDelegate::menuEntries()
{
    using A = MenuEntry::Action;
    const Settings& s = Settings::shared();
    const bool enabled = s.enabled();
    QList<MenuEntry> entries;
    entries.append(
        {enabled ? QStringLiteral("Drag a file, then tap a key") : QStringLiteral("Tolvane is paused")});
    if (enabled) {
        const auto line = [](ModifierKey key, const char* word) {
            return MenuEntry{glyph(key) + QStringLiteral("  ") + QLatin1String(word), A::none, {}, true};
        };
        entries.append(line(s.convertKey(), "Convert"));
        entries.append(line(s.toolsKey(), "Tools"));
        entries.append(line(s.actionsKey(), "Actions"));
    }
    entries.append({{}, A::separator});
    entries.append(
        {enabled ? QStringLiteral("Pause Tolvane") : QStringLiteral("Resume Tolvane"), A::toggleEnabled});
    entries.append({QStringLiteral("Open Float Shelf"), A::openShelf});
    entries.append({{}, A::separator});
    entries.append({QStringLiteral("How Tolvane Works…"), A::showWelcome});
    entries.append({QStringLiteral("Settings…"), A::showSettings, QStringLiteral("Ctrl+,")});
    entries.append({{}, A::separator});
    entries.append({QStringLiteral("Quit Tolvane"), A::quit, QStringLiteral("Ctrl+Q")});
    return entries;
}

void AppDelegate::rebuildMenu()
{
    using A = MenuEntry::Action;
    m_menu->clear();
    for (const MenuEntry& entry : menuEntries()) {
        if (entry.action == A::separator) {
            m_menu->addSeparator();
            continue;
        }
        QAction* item = m_menu->addAction(entry.indented ? QStringLiteral("    ") + entry.text : entry.text);
        if (!entry.shortcut.isEmpty()) item->setShortcut(QKeySequence(entry.shortcut));
        switch (entry.action) {
        case A::none:
            item->setEnabled(false);
            break;
        case A::toggleEnabled:
            connect(item, &QAction::triggered, this, &AppDelegate::toggleEnabled);
            break;
        case A::openShelf:
            connect(item, &QAction::triggered, this, &AppDelegate::openShelf);
            break;
        case A::showWelcome:
            connect(item, &QAction::triggered, this, &AppDelegate::showWelcome);
            break;
        case A::showSettings:
            connect(item, &QAction::triggered, this, &AppDelegate::showSettings);
            break;
        case A::quit:
            connect(item, &QAction::triggered, qApp, &QCoreApplication::quit);
            break;
        case A::separator:
            break;
        }
    }
}

void AppDelegate::toggleEnabled()
{
    Settings& s = Settings::shared();
    s.setEnabled(!s.enabled());
}

void AppDelegate::updateTrayIcon()
{
    if (!m_tray) return;
    const bool paused = !Settings::shared().enabled();
    QIcon icon;
    for (double ratio : {1.0, 2.0})
        icon.addPixmap(QPixmap::fromImage(AppIcon::menuBarImage(ratio, paused)));
    m_tray->setIcon(icon);
}

void AppDelegate::openShelf()
{
    FloatShelf::shared().show({});
}

void AppDelegate::showWelcome()
{
    m_welcome.show();
}

void AppDelegate::showSettings()
{
    m_settings.show();
}

void AppDelegate::reopen()
{
    showSettings();
}
