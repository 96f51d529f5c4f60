// Strips a PDF's metadata as the Metadata tool does. Usage: bench_pdfstrip IN.pdf OUT.pdf
#include "core/converterror.h"
#include "engines/metadata/heavy/pdfmetadata.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fputs("usage: bench_pdfstrip IN.pdf OUT.pdf\n", stderr);
        return 2;
    }
    try {
        MetadataEngine::writePDF(args[1], args[2], {}, true);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", qPrintable(errorDescription(e)));
        return 1;
    }
    return 0;
}
