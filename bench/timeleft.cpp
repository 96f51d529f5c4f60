// The time left a job's panel would show during two real runs of ffmpeg: a 10 s 1080p clip with
// sound compressed to HEVC, and a join of two such clips (one silent). Every half second it prints
// the progress, the published estimate and, once the run is over, the time really left then; it
// ends with the moment the panel would first say "Almost done" (under 5 s) and the time really
// left at that moment.
// Usage: bench_timeleft DIR

#include "core/job.h"
#include "engines/compress/videocompressor.h"
#include "tools/video/join/joinwork.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace {

bool lavfi(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + args);
    return p.waitForFinished(-1) && p.exitCode() == 0;
}

struct Tick
{
    double t, progress;
    std::optional<double> left;
};

void measure(const char* name, const std::function<void(Job&, const Progress&)>& work)
{
    const auto job =
        Job::create(QStringLiteral("Time-left bench ") + QString::fromLatin1(name), QString(), 0);
    job->startEstimating();
    QElapsedTimer clock;
    clock.start();
    std::atomic<bool> over{false};
    std::thread worker([&] {
        try {
            work(*job, [&job](double p) { job->report(p); });
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s failed: %s\n", name, e.what());
        }
        over = true;
    });
    std::vector<Tick> ticks;
    QEventLoop loop;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, &loop, [&] {
        ticks.push_back({clock.elapsed() / 1000.0, job->progress().value_or(0), job->remaining()});
        if (over) loop.quit();
    });
    sampler.start(500);
    loop.exec();
    worker.join();
    const double total = clock.elapsed() / 1000.0;
    std::printf("%s: %.1f s\n", name, total);
    std::optional<Tick> almost;
    for (const Tick& tick : ticks) {
        std::printf("  t=%5.1f  progress=%5.1f%%  left=%s  really=%.1f\n", tick.t, tick.progress * 100,
                    tick.left ? qPrintable(QString::asprintf("%5.1f", *tick.left)) : "    –", total - tick.t);
        if (!almost && tick.left && *tick.left < 5) almost = tick;
    }
    if (almost)
        std::printf("  \"Almost done\" from %.1f s at %.0f%%, with %.1f s really left\n\n", almost->t,
                    almost->progress * 100, total - almost->t);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_timeleft DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const QString film = dir.filePath("film.mp4"), silent = dir.filePath("silent.mp4");
    if (!lavfi({"-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=30:duration=10", "-f", "lavfi", "-i",
                "sine=duration=10", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest",
                film}) ||
        !lavfi({"-f", "lavfi", "-i", "testsrc=size=1920x1080:rate=30:duration=10", "-c:v", "libx264",
                "-pix_fmt", "yuv420p", silent}))
        return 1;
    measure("HEVC compress", [&](Job& job, const Progress& progress) {
        Compressor::video(film, CompressLevel::balanced, 0, true, dir.filePath("film Compressed.mp4"), job,
                          progress);
    });
    measure("join", [&](Job& job, const Progress& progress) {
        ToolOps::join({film, silent}, job, progress);
    });
    return 0;
}
