// Makes a scanned document from a text PDF: each page rendered to a picture at DPI, saved as
// PAGES/Page NNN.png and packed into OUT.pdf at that resolution by the image engine's PDF writer.
// Usage: bench_scanpdf TEXT.pdf DPI PAGES OUT.pdf
#include "core/converterror.h"
#include "engines/image/imageengine.h"
#include "engines/pdf/pdfengine.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 5) {
        std::fputs("usage: bench_scanpdf TEXT.pdf DPI PAGES OUT.pdf\n", stderr);
        return 2;
    }
    const double dpi = args[2].toDouble();
    try {
        const auto doc = PDFEngine::open(args[1]);
        QList<QImage> pictures;
        for (int i = 0; i < doc->numPages(); ++i) {
            pictures.append(PDFEngine::render(*doc->page(i), dpi).convertToFormat(QImage::Format_Grayscale8));
            const QString name = args[3] + QStringLiteral("/Page %1.png").arg(i + 1, 3, 10, QLatin1Char('0'));
            if (!pictures.last().save(name))
                throw ConvertError::failed(QStringLiteral("Couldn’t write ") + name);
        }
        ImageEngine::writePDF(pictures, QList<double>(pictures.size(), dpi), args[4]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", qPrintable(errorDescription(e)));
        return 1;
    }
    return 0;
}
