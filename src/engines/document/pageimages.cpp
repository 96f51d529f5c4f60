#include "engines/document/pageimages.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/output.h"
#include "core/settings.h"
#include "engines/image/imageengine.h"
#include "engines/pdf/pdfengine.h"

#include <QDir>
#include <QtDebug>

namespace {

std::unique_ptr<Poppler::Document> openForPages(const QString& pdf)
{
    std::unique_ptr<Poppler::Document> doc;
    try {
        doc = PDFEngine::open(pdf);
    } catch (const ConvertError&) {
        // A locked file says so; anything else unreadable has nothing to render.
        if (Poppler::Document::load(pdf)) throw;
        throw ConvertError::failed(QStringLiteral("Nothing to render"));
    }
    if (doc->numPages() <= 0) throw ConvertError::failed(QStringLiteral("Nothing to render"));
    return doc;
}

QStringList severalPages(const Poppler::Document& doc, const QString& folder, const QString& base,
                         const QString& format, double dpi, Job& job,
                         const std::function<void(double)>& progress)
{
    const QString destination = Output::unique(folder, base, std::nullopt);
    const int n = doc.numPages();
    return {Output::write(destination, [&](const QString& temporary) {
        if (!QDir().mkpath(temporary))
            throw ConvertError::failed(QStringLiteral("Couldn’t create the folder for %1").arg(base));
        int written = 0;
        for (int i = 0; i < n; ++i) {
            job.throwIfCancelled();
            const std::unique_ptr<Poppler::Page> page = doc.page(i);
            if (!page) continue;
            const QImage image = PDFEngine::render(*page, dpi);
            const QString name = QStringLiteral("Page %1.%2").arg(i + 1, 3, 10, QLatin1Char('0')).arg(format);
            ImageEngine::write(image, temporary + QLatin1Char('/') + name, format, {}, std::nullopt, dpi);
            ++written;
            progress(double(i + 1) / n);
        }
        // A folder without pages would be reported as a result.
        if (written == 0) throw ConvertError::failed(QStringLiteral("Nothing to render"));
        if (written < n) qWarning("%d of %d pages could not be read and were left out", n - written, n);
    })};
}

} // namespace

namespace Doc {

QStringList writePageImages(const QString& pdf, const QString& src, const QString& format, double dpi,
                            Job& job, const std::function<void(double)>& progress)
{
    const std::unique_ptr<Poppler::Document> doc = openForPages(pdf);
    const QString folder = Settings::shared().outputDirectory(src);
    const QString base = Output::baseName(src);
    if (doc->numPages() == 1) {
        if (const std::unique_ptr<Poppler::Page> page = doc->page(0)) {
            const QImage image = PDFEngine::render(*page, dpi);
            const QString destination = Output::unique(folder, base, format);
            return {Output::write(destination, [&](const QString& temporary) {
                ImageEngine::write(image, temporary, format, {}, std::nullopt, dpi);
            })};
        }
    }
    return severalPages(*doc, folder, base, format, dpi, job, progress);
}

} // namespace Doc
