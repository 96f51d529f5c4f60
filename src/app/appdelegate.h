#pragma once

#include "app/dragmonitor.h"
#include "app/wheelcontroller.h"
#include "windows/keptwindow.h"

#include <QObject>
#include <QPointer>
#include <memory>

class QMenu;
class QSystemTrayIcon;
class QWidget;

// The tray application: owns the drag monitor and the wheel, wires the monitor's keys to the
// wheel and the wheel's drop to the drop handler, and keeps the tray icon with its menu.
class AppDelegate : public QObject
{
    Q_OBJECT
  public:
    // One line of the tray menu, as data so the menu's content can be checked without a tray.
    struct MenuEntry
    {
        enum class Action { none, toggleEnabled, openShelf, showWelcome, showSettings, quit, separator };
        QString text;
        Action action = Action::none;
        QString shortcut{}; // an entry may leave this and what follows unsaid
        bool indented = false;
    };

    explicit AppDelegate(std::unique_ptr<DragMonitor> monitor = nullptr, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The launch sequence: tray icon, monitor callbacks, monitor start, drop handler, and the
    // welcome window on a first launch.
    void launch();

    WheelController& wheel() { return m_wheel; }
    DragMonitor& monitor() { return *m_monitor; }
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    // The settings and the welcome window once shown; null before.
    QWidget* settingsWindow() const { return m_settings.window(); }
    QWidget* welcomeWindow() const { return m_welcome.window(); }
    // Where a drop on a petal goes.
    void setOnDrop(WheelController::DropHandler handler) { m_wheel.setOnDrop(std::move(handler)); }

    // The tray menu as it reads now; rebuilt every time it opens.
    static QList<MenuEntry> menuEntries();

    void toggleEnabled();
    void openShelf();
    // The welcome window; its "Got It" marks the user onboarded and closes it.
    void showWelcome();
    void showSettings();
    // A second start of the program asked this one to come forward.
    void reopen();

  private:
    void setUpTrayIcon();
    void updateTrayIcon();
    void rebuildMenu();

    std::unique_ptr<DragMonitor> m_monitor;
    WheelController m_wheel;
    QSystemTrayIcon* m_tray = nullptr;
    std::unique_ptr<QMenu> m_menu;
    // Made once and shown again.
    KeptWindow m_settings;
    KeptWindow m_welcome;
};
