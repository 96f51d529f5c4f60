// Writes the page images of a PDF the way a PDF dropped on a png or jpg petal does.
// Usage: bench_pageimages FILE.pdf FORMAT DPI
#include "engines/pdf/pageimages.h"
#include "core/converterror.h"
#include "core/job.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) {
        std::fputs("usage: bench_pageimages FILE.pdf FORMAT DPI\n", stderr);
        return 2;
    }
    Job job(QString(), QString(), 0);
    try {
        for (const QString& out :
             Doc::writePageImages(args[1], args[1], args[2], args[3].toDouble(), job, [](double) {}))
            std::printf("%s\n", qPrintable(out));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", qPrintable(errorDescription(e)));
        return 1;
    }
    return 0;
}
