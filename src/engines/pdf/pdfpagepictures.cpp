#include "engines/pdf/pdfpages.h"

#include "core/converterror.h"
#include "core/inputcheck.h"
#include "engines/pdf/pdfengine.h"

#include <algorithm>

namespace {

// The page drawn with its longer side as long as the box's, then fitted into the box; a null
// picture when it can't be drawn.
QImage picture(const Poppler::Document& document, int index, QSize box)
{
    const std::unique_ptr<Poppler::Page> page(document.page(index));
    if (!page) return {};
    const QSizeF points = page->pageSizeF();
    const double longest = std::max(points.width(), points.height());
    if (!(longest > 0)) return {};
    try {
        const QImage drawn = PDFEngine::render(*page, 72.0 * std::max(box.width(), box.height()) / longest);
        if (drawn.width() <= box.width() && drawn.height() <= box.height()) return drawn;
        return drawn.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    } catch (const ConvertError&) {
        return {};
    }
}

} // namespace

namespace PDFPages {

int count(const QString& path)
{
    InputCheck::refuseGone(path);
    InputCheck::refuseSpecial(path);
    return PDFEngine::open(path)->numPages();
}

void thumbnails(const QString& path, QSize box,
                const std::function<bool(int page, const QImage& picture)>& each)
{
    std::unique_ptr<Poppler::Document> document;
    try {
        InputCheck::refuseGone(path);
        InputCheck::refuseSpecial(path);
        document = PDFEngine::open(path);
    } catch (const ConvertError&) {
        return;
    }
    for (int i = 0; i < document->numPages(); ++i)
        if (!each(i, picture(*document, i, box))) return;
}

} // namespace PDFPages
