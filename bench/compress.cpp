// Compresses one file the way the Compress window does, into a path given.
// Usage: bench_compress image SRC DST TARGET_KB | bench_compress pdf SRC DST high|balanced|small
#include "core/converterror.h"
#include "core/job.h"
#include "engines/compress/heavy/imagecompressor.h"
#include "engines/compress/heavy/pdfcompressor.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 5 || (args[1] != "image" && args[1] != "pdf")) {
        std::fputs("usage: bench_compress image SRC DST TARGET_KB | pdf SRC DST high|balanced|small\n",
                   stderr);
        return 2;
    }
    Job job(QString(), QString(), 0);
    try {
        if (args[1] == "image") {
            const ImageCompressSettings settings{ImageCompressMode::target, CompressLevel::balanced, 50,
                                                 args[4].toDouble(), 0};
            const ImageCompressResult result = Compressor::image(args[2], settings, args[3]);
            std::printf("%lld bytes%s\n", static_cast<long long>(result.bytes),
                        result.metGoal ? "" : " (goal missed)");
        } else {
            const CompressLevel level = args[4] == "small"  ? CompressLevel::small
                                        : args[4] == "high" ? CompressLevel::high
                                                            : CompressLevel::balanced;
            Compressor::pdf(args[2], level, args[3], job, [](double) {});
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", qPrintable(errorDescription(e)));
        return 1;
    }
    return 0;
}
