#pragma once

#include "core/progress.h"

#include <QByteArray>
#include <QImage>
#include <QMap>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <poppler-qt6.h>

class Job;

// PDF documents: opening with the refusals every PDF feature shares, pages as pictures and as
// text. A document must stay on the thread that opened it.
namespace PDFEngine {

// The opened document, with anti-aliased rendering on white. Throws ConvertError "Couldn’t
// open <file name>" when it cannot be read and "<file name> is password-protected" when locked.
std::unique_ptr<Poppler::Document> open(const QString& path);

// The page's crop box as an opaque picture at `dpi` (width and height follow the page's
// rotation; each side rounded, at least 1 pixel). Throws ConvertError "Page too large to render"
// above 2^28 pixels and "Couldn’t render the page" when rendering fails.
QImage render(const Poppler::Page& page, double dpi);

// The pixel size `render` gives a page of `points` at `dpi`; none when it is not a finite size
// within the pixel bound.
std::optional<QSize> renderSize(const QSizeF& points, double dpi);

// The text of `page`, whose text layer reads `layer`: `layer` itself, untrimmed, when it has
// more than three characters besides whitespace and newlines; else the text recognised in the
// page rendered at 200 dpi; "" when that fails. Never throws.
QString text(const Poppler::Page& page, const QString& layer);

// A page as the conversions read it: its index in the file's page tree (from 0), by which it is
// named, and the index Poppler's readers give it, which a page they can't reach before it moves up.
struct PageIndex
{
    int page = 0;
    int shown = 0;
};

// text() of every page that can be read, by its index in the file; `layer(p)` is page p's text
// layer. Pages without one are rendered here, one after another, and recognised side by side.
// Progress goes to 1 as pages are read, in order. Throws ConvertError::cancelled() when `job` is
// cancelled, checked between pages. Pages that could not be read, or not whole, are noted to
// `job` by their number in `source` (the file the user dropped and `doc` has opened); when no
// page could be read, throws ConvertError "<file name> is damaged: none of its pages could be read".
QMap<int, QString> texts(const QString& source, const Poppler::Document& doc,
                         const std::function<QString(PageIndex)>& layer, Job& job, const Progress& progress);

// `image` as PNG bytes. Throws ConvertError "PNG encoding failed".
QByteArray pngData(const QImage& image);

} // namespace PDFEngine
