#pragma once

#include "core/modifierkey.h"
#include "core/wheelmode.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class DragSource;

// Turns dragging files anywhere on the screen and tapping a wheel key into a wheel request. It
// follows each left press, polls the drag source sixty times a second while the button is
// held (and at once when a key goes down or up), and reads Settings::shared() afresh at every
// use. Main thread only.
class DragMonitor : public QObject
{
    Q_OBJECT
  public:
    // On the desktop's drag source; without an X display the monitor does nothing.
    explicit DragMonitor(QObject* parent = nullptr);
    DragMonitor(std::unique_ptr<DragSource> source, QObject* parent = nullptr);
    ~DragMonitor() override;

    // The window system's state bit that stands for `key`.
    static unsigned maskOf(ModifierKey key);

    using ModeKeyAction = std::function<void(WheelMode, const QStringList& files)>;

    // A configured key went down during a file drag.
    void setOnModeKey(ModeKeyAction action) { m_onModeKey = std::move(action); }
    // Esc went down during a file drag.
    void setOnCancel(std::function<void()> action) { m_onCancel = std::move(action); }
    // The button was released after a file drag was seen.
    void setOnDragEnd(std::function<void()> action) { m_onDragEnd = std::move(action); }

    // Follows presses from now on. Called once.
    void start();
    // Begins following a left-button press.
    void mouseDown();
    // One poll while the button is followed; also run when the source reports a key.
    void tick();

  private:
    enum class State { idle, pressed, ignoring, dragging };

    unsigned currentFlags() const;
    std::optional<WheelMode> modeFor(unsigned flags) const;

    ModeKeyAction m_onModeKey;
    std::function<void()> m_onCancel;
    std::function<void()> m_onDragEnd;
    std::unique_ptr<DragSource> m_source;
    QTimer m_timer;
    QTimer m_idleTimer;
    quint64 m_baseline = 0;
    State m_state = State::idle;
    QStringList m_files; // the files of the drag while dragging
    unsigned m_lastFlags = 0;
    bool m_escDown = false;
    // Each followed press has its own number, so an answer about files that arrives after the
    // press ended is dropped.
    quint64 m_press = 0;
    bool m_askedFiles = false;
    std::optional<QStringList> m_answer;
};
