// Time from a modifier key going down during a file drag to the wheel's window being exposed,
// through the real AppDelegate on an Xvfb of its own. The pointer and the keys are driven with
// XTest from this process, so the clock starts right before the key press reaches the server.
// Built on request only: cmake --build build --target bench_wheel

#include "app/appdelegate.h"
#include "app/wheelcontroller.h"
#include "app/wheelpanel.h"
#include "core/settings.h"
#include "platform/x11dragwatcher.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <dlfcn.h>
#include <functional>

struct _XDisplay;

#include "../tests/support/xvfb.h"

namespace {

constexpr int taps = 20;

// The pointer and the keyboard, through XTest on a connection of its own. XTest comes from the
// runtime library that xdotool also uses, so the benchmark needs no development package beyond
// the build's own.
class Input
{
  public:
    // False when the display or XTest is missing.
    bool open(const QByteArray& display);
    ~Input();

    void moveTo(int x, int y);
    void button(bool down);
    void shift(bool down);
    void escape(bool down);
    // Sends what is queued to the server now.
    void flush();

  private:
    _XDisplay* m_display = nullptr;
    int (*m_key)(_XDisplay*, unsigned, int, unsigned long) = nullptr;
    int (*m_button)(_XDisplay*, unsigned, int, unsigned long) = nullptr;
    int (*m_motion)(_XDisplay*, int, int, int, unsigned long) = nullptr;
    unsigned m_shift = 0;
    unsigned m_escape = 0;
};

// Runs the event loop until `done` or `ms` have passed; false on the timeout.
bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    // Wakes the loop now and then without spinning it, so the benchmark does not compete with
    // what it measures.
    QTimer wake;
    wake.start(5);
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void settle(int ms)
{
    waitFor([] { return false; }, ms);
}

// Notes the moment the wheel's window is exposed.
class ExposeClock : public QObject
{
  public:
    ExposeClock(WheelPanel* panel, const QElapsedTimer& clock) : m_panel(panel), m_clock(clock) {}

    qint64 exposedAt = -1;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && exposedAt < 0 && watched == m_panel->windowHandle() &&
            m_panel->windowHandle()->isExposed())
            exposedAt = m_clock.nsecsElapsed();
        return false;
    }

  private:
    WheelPanel* m_panel;
    const QElapsedTimer& m_clock;
};

QString ms(double nanoseconds)
{
    return QString::number(nanoseconds / 1e6, 'f', 1) + QStringLiteral(" ms");
}

int fail(const char* why)
{
    std::fprintf(stderr, "bench_wheel: %s\n", why);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    VirtualScreen screen;
    if (!screen.failure().isEmpty()) return fail(qPrintable(screen.failure()));
    screen.useForThisProcess();
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    QApplication app(argc, argv);

    Input input;
    if (!input.open(screen.display()))
        return fail("no XTest: libXtst.so.6 is missing (Debian package libxtst6)");

    Settings::shared().setOnboarded(true);
    Settings::shared().setHighlightSound(false);
    AppDelegate delegate;
    delegate.launch();
    WheelController& wheel = delegate.wheel();

    QStringList files;
    for (const char* name : {"one.png", "two.png"}) {
        QImage image(32, 32, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        files << dir.filePath(QLatin1String(name));
        image.save(files.last());
    }
    QProcess source;
    dieWithTest(source);
    source.start(QStringLiteral(DRAGSOURCE_BIN), files);
    QByteArray said;
    if (!waitFor([&] { return (said += source.readAllStandardOutput()).contains("ready"); }, 5000))
        return fail("the drag source did not start");

    const std::unique_ptr<X11DragWatcher> watcher = X11DragWatcher::open(screen.display());
    QElapsedTimer clock;
    clock.start();
    ExposeClock exposes(wheel.panel(), clock);
    app.installEventFilter(&exposes);

    QList<double> latencies;
    double first = 0;
    for (int i = 0; i <= taps; ++i) {
        // A drag from the source, taken to the middle of the screen, where nothing takes drops.
        const quint64 before = watcher->changeCount();
        input.moveTo(100, 100);
        input.button(true);
        input.moveTo(640, 400);
        input.flush();
        if (!waitFor([&] { return watcher->changeCount() != before; }, 5000)) return fail("no drag began");
        // Time for the monitor to read the dragged files, and a random part so the key falls
        // anywhere between two of its polls.
        settle(150 + int(QRandomGenerator::global()->bounded(17)));

        exposes.exposedAt = -1;
        const qint64 pressed = clock.nsecsElapsed();
        input.shift(true);
        input.flush();
        const bool shown = waitFor([&] { return exposes.exposedAt >= 0; }, 2000);
        input.shift(false);
        input.escape(true);
        input.escape(false);
        input.button(false);
        input.flush();
        if (!shown) return fail("the wheel did not appear");
        if (!waitFor([&] { return !wheel.panel()->isVisible(); }, 2000)) return fail("the wheel did not go");
        settle(50);
        source.readAllStandardOutput();

        const double latency = double(exposes.exposedAt - pressed);
        if (i == 0)
            first = latency;
        else
            latencies << latency;
    }

    std::sort(latencies.begin(), latencies.end());
    const double median = latencies.size() % 2
                              ? latencies[latencies.size() / 2]
                              : (latencies[latencies.size() / 2 - 1] + latencies[latencies.size() / 2]) / 2;
    const double p95 = latencies[qsizetype(std::ceil(0.95 * double(latencies.size()))) - 1];
    const QString report =
        QStringLiteral("key to wheel shown, %1 taps after a first of %2: median %3, p95 %4, "
                       "min %5, max %6 (target < 30 ms)\n")
            .arg(latencies.size())
            .arg(ms(first), ms(median), ms(p95), ms(latencies.first()), ms(latencies.last()));
    std::fputs(report.toUtf8().constData(), stdout);

    source.kill();
    source.waitForFinished();
    return 0;
}

// Xlib's macros (Expose, True, None…) clash with Qt's names, so its headers come last.
#include <X11/Xlib.h>
#include <X11/keysym.h>

bool Input::open(const QByteArray& display)
{
    void* lib = dlopen("libXtst.so.6", RTLD_NOW);
    if (!lib) return false;
    m_key = reinterpret_cast<decltype(m_key)>(dlsym(lib, "XTestFakeKeyEvent"));
    m_button = reinterpret_cast<decltype(m_button)>(dlsym(lib, "XTestFakeButtonEvent"));
    m_motion = reinterpret_cast<decltype(m_motion)>(dlsym(lib, "XTestFakeMotionEvent"));
    m_display = XOpenDisplay(display.constData());
    if (!m_key || !m_button || !m_motion || !m_display) return false;
    m_shift = XKeysymToKeycode(m_display, XK_Shift_L);
    m_escape = XKeysymToKeycode(m_display, XK_Escape);
    return true;
}

Input::~Input()
{
    if (m_display) XCloseDisplay(m_display);
}

void Input::moveTo(int x, int y)
{
    m_motion(m_display, -1, x, y, CurrentTime);
}

void Input::button(bool down)
{
    m_button(m_display, 1, down, CurrentTime);
}

void Input::shift(bool down)
{
    m_key(m_display, m_shift, down, CurrentTime);
}

void Input::escape(bool down)
{
    m_key(m_display, m_escape, down, CurrentTime);
}

void Input::flush()
{
    XFlush(m_display);
}
