// Saves an edited copy of a photo as the Edit Photo window does, with every adjustment moved,
// and prints the wall time and the peak memory the save added, also as a multiple of the
// decoded picture. Usage: bench_editphoto FILE
#include "tools/image/editphoto/editphoto.h"
#include "core/converterror.h"
#include "core/job.h"
#include "engines/heavyengines.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImageReader>
#include <cstdio>
#include <sys/resource.h>

namespace {

double peakBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss * 1024.0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fputs("usage: bench_editphoto FILE\n", stderr);
        return 2;
    }
    const QSize size = QImageReader(args[1]).size();
    const double decoded = 4.0 * size.width() * size.height();
    PhotoAdjustments a;
    a.exposure = 0.3;
    a.brightness = a.contrast = a.highlights = a.shadows = a.whites = a.blacks = a.gamma = 20;
    a.temperature = a.tint = a.saturation = a.vibrance = a.sharpness = a.noise = a.vignette = 20;
    Modules::entries<HeavyEngines>(); // the libraries are loaded before the baseline is taken
    const double before = peakBytes();
    Job job(QString(), QString(), 0);
    QElapsedTimer timer;
    timer.start();
    try {
        const QStringList out = EditPhoto::editFile(args[1], a, job, [](double) {});
        const double added = peakBytes() - before;
        std::printf("%s: %d x %d in %lld ms; peak %.0f MB, %.0f MB above the %.0f MB before it (%.2f x the "
                    "%.0f MB decoded picture)\n",
                    qPrintable(out.value(0)), size.width(), size.height(),
                    static_cast<long long>(timer.elapsed()), peakBytes() / 1e6, added / 1e6, before / 1e6,
                    added / decoded, decoded / 1e6);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", qPrintable(errorDescription(e)));
        return 1;
    }
    return 0;
}
