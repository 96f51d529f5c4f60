// Applies every photo adjustment at once to a generated picture of the given size in
// megapixels (4:3) and prints the render's wall time and the process's peak memory as a
// multiple of the decoded picture. Usage: bench_adjustments [MEGAPIXELS]
#include "tools/image/editphoto/adjustmentsrenderer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double megapixels = argc > 1 ? std::atof(argv[1]) : 24;
    const int w = int(std::sqrt(megapixels * 1e6 * 4 / 3)), h = w * 3 / 4;
    QImage photo(w, h, QImage::Format_RGB32);
    QLinearGradient gradient(0, 0, w, h);
    gradient.setColorAt(0, QColor(30, 60, 120));
    gradient.setColorAt(1, QColor(240, 200, 150));
    QPainter(&photo).fillRect(photo.rect(), gradient);

    PhotoAdjustments a;
    a.exposure = 0.3;
    a.brightness = a.contrast = a.highlights = a.shadows = a.whites = a.blacks = a.gamma = 20;
    a.temperature = a.tint = a.saturation = a.vibrance = a.sharpness = a.noise = a.vignette = 20;
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer timer;
    timer.start();
    const QImage out = AdjustmentsRenderer::render(photo, a);
    const qint64 ms = timer.elapsed();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const double decoded = double(photo.sizeInBytes());
    std::printf("%d x %d: %lld ms, peak %.2f x the decoded picture (%.2f x before the render)%s\n", w, h,
                static_cast<long long>(ms), after.ru_maxrss * 1024.0 / decoded,
                before.ru_maxrss * 1024.0 / decoded, out.isNull() ? ", no result" : "");
    return out.isNull() ? 1 : 0;
}
