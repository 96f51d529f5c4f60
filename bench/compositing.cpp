// Runs the compositing tools' saves as their windows run them, from the files to the PNG beside
// the first: `collage FILE…` makes a 2400-pixel grid collage with the default settings, `frame
// FILE` frames each file with the default settings (gradient, padding, corners, shadow).
// Usage: bench_compositing collage|frame FILE…    (bench/compositing.sh times and measures it)
#include "core/converterror.h"
#include "core/job.h"
#include "tools/image/collage/createcollage.h"
#include "tools/image/frame/addbackground.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_compositing collage|frame FILE…\n");
        return 2;
    }
    Job job(QString(), QString(), 0);
    try {
        QStringList written;
        if (args[0] == QLatin1String("collage"))
            written = CreateCollage::makeCollage(args.mid(1), CollageSettings(), job, [](double) {});
        else
            for (const QString& file : args.mid(1))
                written += AddBackground::frameFile(file, FrameSettings(), QImage(), job, [](double) {});
        std::printf("%s\n", qPrintable(written.join(QLatin1Char('\n'))));
    } catch (const ConvertError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
