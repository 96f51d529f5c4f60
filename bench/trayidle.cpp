// What the tray process keeps once its windows have closed: on a made-up 24 MP photo with lines
// of text, opens Crop and Edit Photo once, then CYCLES times (default 20) opens the Redact Photo
// window the way the wheel does, waits for the full picture, presses Find Text, waits for its
// boxes, closes the window from its close button and lets the event loop idle. Prints the idle
// resident size after each cycle beside the time it took, the growth per cycle over cycles 2 on
// (least squares), and whether the goals are met: after the last cycle, within 100 MB of the
// size after the first and under 500 MB, growing less than 1 MB a cycle.
// Usage: bench_trayidle [CYCLES]
#include "core/freedmemory.h"
#include "toolkit/closebutton.h"
#include "toolkit/imagesource.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/toolchrome.h"
#include "toolkit/toolwindow.h"
#include "tools/image/redact/redactimageview.h"
#include "tools/toolwindows.h"

#include "textphoto.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <malloc.h>
#include <unistd.h>

namespace {

constexpr int limitMs = 300000;

double residentMB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / 1e6;
}

// What malloc's arenas hold in use, and what they hold free (resident or given back), in megabytes.
std::pair<double, double> heapMB()
{
    const struct mallinfo2 info = mallinfo2();
    return {double(info.uordblks + info.hblkhd) / 1e6, double(info.fordblks) / 1e6};
}

// Deferred deletes, queued results and timers of the closed window run out.
void idle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTest::qWait(1000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Closes the window from its close button and waits until it is deleted.
bool closeFromButton(ToolWindow* window)
{
    QPointer<ToolWindow> held(window);
    auto* framed = window->view();
    if (!framed) return false;
    framed->chrome()->closeButton()->click();
    return QTest::qWaitFor(
        [&held] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return held.isNull();
        },
        limitMs);
}

// Opens `tool` on `file`, waits until its view has settled and closes it.
bool openAndClose(ToolID tool, const QString& file)
{
    ToolWindow* window = ToolWindows::open(tool, {file});
    FramedView* view = window ? window->view() : nullptr;
    if (!view || !QTest::qWaitFor([view] { return view->isSettled(); }, limitMs)) return false;
    return closeFromButton(window);
}

// One cycle of Redact Photo and Find Text; the boxes found, or -1 when a step failed.
qsizetype findTextCycle(const QString& file)
{
    ToolWindow* window = ToolWindows::open(ToolID::redactImage, {file});
    auto* view = window ? qobject_cast<RedactImageView*>(window->view()) : nullptr;
    if (!view || !QTest::qWaitFor([view] { return !view->source().full().isNull(); }, limitMs)) return -1;
    QCoreApplication::sendPostedEvents();
    view->findText()->click();
    if (!view->isDetecting() || !QTest::qWaitFor([view] { return !view->isDetecting(); }, limitMs)) return -1;
    const qsizetype found = view->boxes().size();
    return closeFromButton(window) ? found : -1;
}

// The least-squares slope of `values` over their indices.
double slope(const QList<double>& values)
{
    const double n = double(values.size());
    if (n < 2) return 0;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (qsizetype i = 0; i < values.size(); ++i) {
        sx += double(i);
        sy += values[i];
        sxx += double(i) * double(i);
        sxy += double(i) * values[i];
    }
    return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    FreedMemory::holdLittle(); // as the tray does at start
    const int cycles = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("photo.jpg"));
    if (!folder.isValid() || !textPhoto(QSize(6000, 4000)).save(file, "JPEG", 90)) {
        std::fputs("could not write the photo\n", stderr);
        return 1;
    }
    idle();
    const double start = residentMB();
    std::printf("idle at start: %.0f MB\n", start);
    for (ToolID tool : {ToolID::cropImage, ToolID::editImage}) {
        if (!openAndClose(tool, file)) {
            std::fprintf(stderr, "%s did not open and close\n", qPrintable(rawValue(tool)));
            return 1;
        }
        idle();
        std::printf("after %s: %.0f MB\n", qPrintable(rawValue(tool)), residentMB());
    }
    QList<double> idleMB;
    std::printf("cycle  idle RSS   time  boxes  heap in use  arenas free\n");
    for (int i = 1; i <= cycles; ++i) {
        QElapsedTimer clock;
        clock.start();
        const qsizetype found = findTextCycle(file);
        if (found < 0) {
            std::fprintf(stderr, "cycle %d: Find Text did not run to its end\n", i);
            return 1;
        }
        idle();
        idleMB << residentMB();
        const auto [used, kept] = heapMB();
        std::printf("%5d  %5.0f MB  %5.1f s  %5lld  %8.0f MB  %8.0f MB\n", i, idleMB.last(),
                    clock.elapsed() / 1000.0, static_cast<long long>(found), used, kept);
        std::fflush(stdout);
    }
    const double growth = slope(idleMB.mid(1));
    const double first = idleMB.first(), last = idleMB.last();
    std::printf("idle: %.0f MB at start, %.0f MB after cycle 1, %.0f MB after cycle %d; %.2f MB per cycle "
                "over cycles 2-%d\n",
                start, first, last, cycles, growth, cycles);
    const bool near = last - first <= 100, small = last < 500, flat = growth < 1;
    std::printf("within 100 MB of cycle 1: %s\nunder 500 MB: %s\nunder 1 MB per cycle: %s\n",
                near ? "yes" : "no", small ? "yes" : "no", flat ? "yes" : "no");
    return near && small && flat ? 0 : 1;
}
