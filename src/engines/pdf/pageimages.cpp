#include "engines/pdf/pageimages.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/output.h"
#include "engines/image/imageengine.h"
#include "engines/image/pixelbudget.h"
#include "engines/pdf/damagedpages.h"
#include "engines/pdf/pageworkers.h"
#include "engines/pdf/pdfengine.h"

#include <QDir>
#include <mutex>

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
    return doc;
}

// The page's charge of `budget`, taken before it is rendered: Poppler's bitmap and the picture
// made of it. A page too large to render is refused by the render, not here.
MemoryBudget::Share pageShare(const Poppler::Page& page, double dpi, const QString& format, Job& job,
                              MemoryBudget& budget)
{
    const std::optional<QSize> size = PDFEngine::renderSize(page.pageSizeF(), dpi);
    return PixelBudget::take(size ? PixelBudget::charge(*size, QImage::Format_RGB32, format) : 0, job,
                             budget);
}

// Renders the pages of `pdf` that `damage` names into `folder`, side by side (see eachPage).
// Returns how many pages were written; rethrows the first failure.
int renderPages(const Poppler::Document& doc, const QString& pdf, const QString& folder,
                const QString& format, double dpi, Job& job, const Progress& progress, MemoryBudget& budget,
                DamagedPages& damage)
{
    const int count = damage.count();
    std::mutex lock; // guards the counts and serialises the progress reports
    int handled = 0, written = 0;
    // Names sort in page order: as many digits as the last page needs, at least three.
    const int digits = std::max(3, int(QString::number(count).size()));
    PDFEngine::eachPage(doc, pdf, count, job, [&](const Poppler::Document& own, int i) {
        const std::unique_ptr<Poppler::Page> page = damage.page(own, i);
        if (page) {
            // Taken anew for each page, so a thread waiting for room holds none.
            const MemoryBudget::Share share = pageShare(*page, dpi, format, job, budget);
            const QImage image = damage.rendered(*page, i, dpi);
            const QString name =
                QStringLiteral("Page %1.%2").arg(i + 1, digits, 10, QLatin1Char('0')).arg(format);
            ImageEngine::write(image, folder + QLatin1Char('/') + name, format, {}, std::nullopt, dpi);
        }
        const std::lock_guard<std::mutex> guard(lock);
        written += page ? 1 : 0;
        progress(double(++handled) / count);
    });
    return written;
}

QStringList severalPages(const Poppler::Document& doc, const QString& pdf, const QString& src,
                         const QString& base, const QString& format, double dpi, Job& job,
                         const Progress& progress, MemoryBudget& budget, DamagedPages& damage)
{
    const QString destination = Output::result(src, {}, std::nullopt);
    return {Output::write(
        destination,
        [&](const QString& temporary) {
            if (!QDir().mkpath(temporary))
                throw ConvertError::failed(QStringLiteral("Couldn’t create the folder for %1").arg(base));
            const int written = renderPages(doc, pdf, temporary, format, dpi, job, progress, budget, damage);
            damage.report(job);
            // A folder without pages would be reported as a result.
            if (written == 0) throw ConvertError::failed(QStringLiteral("Nothing to render"));
        },
        &job)};
}

} // namespace

namespace Doc {

QStringList writePageImages(const QString& pdf, const QString& src, const QString& format, double dpi,
                            Job& job, const Progress& progress, MemoryBudget& budget)
{
    const std::unique_ptr<Poppler::Document> doc = openForPages(pdf);
    DamagedPages damage(src, DamagedPages::Kind::pictures, pdf, *doc);
    const QString base = Output::baseName(src);
    if (damage.count() == 1) {
        const std::unique_ptr<Poppler::Page> page = damage.page(*doc, 0);
        if (!page) damage.report(job); // throws: the one page can't be read
        const MemoryBudget::Share share = pageShare(*page, dpi, format, job, budget);
        const QImage image = damage.rendered(*page, 0, dpi);
        damage.report(job);
        const QString destination = Output::result(src, {}, format);
        return {Output::write(
            destination,
            [&](const QString& temporary) {
                ImageEngine::write(image, temporary, format, {}, std::nullopt, dpi);
            },
            &job)};
    }
    return severalPages(*doc, pdf, src, base, format, dpi, job, progress, budget, damage);
}

} // namespace Doc
