#include "app/dragmonitor.h"

#include "core/settings.h"
#include "platform/dragsource.h"
#include "platform/modifiermasks.h"

#include <QPointer>
#include <chrono>
#include <cstdio>
#include <utility>

using namespace std::chrono_literals;

DragMonitor::DragMonitor(QObject* parent) : DragMonitor(DragSource::system(), parent) {}

DragMonitor::DragMonitor(std::unique_ptr<DragSource> source, QObject* parent)
    : QObject(parent), m_source(std::move(source))
{
    m_timer.setInterval(16ms);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &DragMonitor::tick);
    m_idleTimer.setInterval(250ms);
    // Catches a press that the press monitor did not deliver.
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        if (m_state == State::idle && m_source->buttonDown()) mouseDown();
    });
}

DragMonitor::~DragMonitor() = default;

void DragMonitor::start()
{
    if (!m_source) {
        std::fputs("Tolvane: no X11 display, so file drags are not watched\n", stderr);
        return;
    }
    connect(m_source.get(), &DragSource::buttonPressed, this, &DragMonitor::mouseDown);
    // A key is looked at when it arrives rather than at the next poll.
    connect(m_source.get(), &DragSource::keysChanged, this, [this] {
        if (m_timer.isActive()) tick();
    });
    m_idleTimer.start();
}

void DragMonitor::mouseDown()
{
    if (!m_source || !Settings::shared().enabled() || m_state == State::dragging) return;
    m_baseline = m_source->changeCount();
    m_state = State::pressed;
    m_lastFlags = currentFlags();
    m_escDown = m_source->escDown();
    ++m_press;
    m_askedFiles = false;
    m_answer.reset();
    if (!m_timer.isActive()) m_timer.start();
}

void DragMonitor::tick()
{
    if (!m_source) return;
    if (!m_source->buttonDown()) {
        const bool dragged = m_state == State::dragging;
        if (dragged && m_onDragEnd) m_onDragEnd();
        m_state = State::idle;
        m_files.clear();
        ++m_press;
        m_answer.reset();
        m_timer.stop();
        return;
    }

    switch (m_state) {
    case State::idle:
    case State::ignoring:
        return;

    case State::pressed: {
        // Unchanged: a plain click, or a drag whose source has not taken the selection yet.
        if (m_source->changeCount() == m_baseline) return;
        // The list is asked for once per press and arrives at a later tick.
        if (!m_askedFiles) {
            m_askedFiles = true;
            const QPointer<DragMonitor> self(this);
            const quint64 press = m_press;
            m_source->requestFiles([self, press](const QStringList& files) {
                if (self && self->m_press == press && self->m_state == State::pressed) self->m_answer = files;
            });
        }
        if (!m_answer) return;
        const QStringList files = *std::exchange(m_answer, std::nullopt);
        if (files.isEmpty()) {
            m_state = State::ignoring;
            return;
        }
        m_state = State::dragging;
        m_files = files;
        m_lastFlags = currentFlags();
        if (const auto mode = modeFor(m_lastFlags); mode && m_onModeKey) m_onModeKey(*mode, files);
        return;
    }

    case State::dragging: {
        const unsigned flags = currentFlags();
        if (flags != m_lastFlags) {
            // Only a newly pressed key opens a wheel; releasing one does nothing.
            const bool newlyPressed = (flags & ~m_lastFlags) != 0;
            m_lastFlags = flags;
            if (newlyPressed) {
                const QStringList files = m_files;
                if (const auto mode = modeFor(flags); mode && m_onModeKey) m_onModeKey(*mode, files);
            }
        }
        if (m_state != State::dragging) return;
        const bool esc = m_source->escDown();
        const bool escPressed = esc && !m_escDown;
        m_escDown = esc;
        if (escPressed) {
            m_state = State::ignoring;
            m_files.clear();
            if (m_onCancel) m_onCancel();
        }
        return;
    }
    }
}

unsigned DragMonitor::maskOf(ModifierKey key)
{
    switch (key) {
    case ModifierKey::shift:
        return ModifierMasks::shift;
    case ModifierKey::command:
        return ModifierMasks::super;
    case ModifierKey::control:
        return ModifierMasks::control;
    case ModifierKey::option:
        return ModifierMasks::alt;
    }
    return 0;
}

unsigned DragMonitor::currentFlags() const
{
    return m_source->modifiers() & ModifierMasks::counted;
}

std::optional<WheelMode> DragMonitor::modeFor(unsigned flags) const
{
    // Exact equality: a second held modifier defeats the match; the first equal mode wins.
    const Settings& settings = Settings::shared();
    if (flags == maskOf(settings.convertKey())) return WheelMode::conversions;
    if (flags == maskOf(settings.toolsKey())) return WheelMode::tools;
    if (flags == maskOf(settings.actionsKey())) return WheelMode::actions;
    return std::nullopt;
}
