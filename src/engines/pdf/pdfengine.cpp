#include "engines/pdf/pdfengine.h"

#include "core/converterror.h"
#include "core/job.h"
#include "engines/pdf/damagedpages.h"
#include "engines/pdf/readerrorhooks.h"
#include "engines/pdftext/pdftext.h"
#include "engines/pdftext/readerrors.h"
#include "engines/recognition/recognitionmodule.h"

#include <QBuffer>
#include <QFileInfo>
#include <QSet>
#include <cmath>
#include <deque>

namespace {

// Poppler allocates the bitmap itself and aborts the process when it cannot, so the size is
// bounded before it is asked for.
constexpr double maxPixels = double(qint64(1) << 28);

// Scanned pages are read at this resolution whatever the conversion's own.
constexpr double recognitionDPI = 200;

} // namespace

namespace PDFEngine {

std::unique_ptr<Poppler::Document> open(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    hookReadErrors();
    std::unique_ptr<Poppler::Document> doc = Poppler::Document::load(path);
    if (!doc) throw ConvertError::failed(QStringLiteral("Couldn’t open %1").arg(name));
    // A locked document must not be asked anything else: poppler may crash on it.
    if (doc->isLocked()) throw ConvertError::failed(QStringLiteral("%1 is password-protected").arg(name));
    doc->setRenderHint(Poppler::Document::Antialiasing);
    doc->setRenderHint(Poppler::Document::TextAntialiasing);
    doc->setPaperColor(Qt::white);
    return doc;
}

std::optional<QSize> renderSize(const QSizeF& points, double dpi)
{
    const double scale = dpi / 72;
    const double w = std::max(1.0, std::round(points.width() * scale));
    const double h = std::max(1.0, std::round(points.height() * scale));
    if (!std::isfinite(w) || !std::isfinite(h) || w * h > maxPixels) return std::nullopt;
    return QSize(int(w), int(h));
}

QImage render(const Poppler::Page& page, double dpi)
{
    // pageSizeF is the crop box with the page's rotation applied.
    const auto size = renderSize(page.pageSizeF(), dpi);
    if (!size) throw ConvertError::failed(QStringLiteral("Page too large to render"));
    QImage image = page.renderToImage(dpi, dpi, 0, 0, size->width(), size->height());
    if (image.isNull() || image.size() != *size)
        throw ConvertError::failed(QStringLiteral("Couldn’t render the page"));
    // Drawn over opaque white paper, every pixel is opaque: only the format's label changes.
    if (image.hasAlphaChannel()) image.reinterpretAsFormat(QImage::Format_RGB32);
    return image;
}

QString text(const Poppler::Page& page, const QString& layer)
{
    if (PDFText::hasText(layer)) return layer;
    try {
        return Modules::entries<RecognitionModule>().recognize(render(page, recognitionDPI));
    } catch (const std::exception&) {
        return {};
    }
}

QMap<int, QString> texts(const QString& source, const Poppler::Document& doc,
                         const std::function<QString(PageIndex)>& layer, Job& job, const Progress& progress)
{
    DamagedPages damage(source, DamagedPages::Kind::text, source, doc);
    const int count = damage.count();
    // Renders wait here for a free recognition thread, so that only a few pages are in memory.
    // Known once a page needs recognition: a document with text never loads the module.
    size_t inFlight = 0;
    QMap<int, QString> out;
    std::deque<std::pair<int, QFuture<QString>>> pending;
    QSet<int> damaged; // pages Poppler complained of while reading them
    int read = 0;
    const auto done = [&](int index, const QString& text) {
        out.insert(index, text);
        progress(double(++read) / count);
    };
    const auto collect = [&] {
        auto [index, future] = std::move(pending.front());
        pending.pop_front();
        done(index, future.result());
    };
    for (int i = 0; i < count; ++i) {
        job.throwIfCancelled();
        const std::unique_ptr<Poppler::Page> page = damage.page(doc, i);
        if (!page) {
            progress(double(++read) / count);
            continue;
        }
        const ReadErrors errors;
        const QString pageLayer = layer({i, *damage.shown(i)});
        if (PDFText::hasText(pageLayer)) {
            if (errors.count() > 0) damaged.insert(i);
            done(i, pageLayer);
            continue;
        }
        QImage picture;
        try {
            picture = render(*page, recognitionDPI);
        } catch (const std::exception&) {
            done(i, QString());
            continue;
        }
        // What a damaged font or picture leaves out of the picture, recognition can't read.
        if (errors.count() > 0 || damage.drawsDamage(i)) damaged.insert(i);
        if (inFlight == 0) inFlight = size_t(Modules::entries<RecognitionModule>().parallelism()) + 2;
        pending.emplace_back(i, Modules::entries<RecognitionModule>().recognizeLater(std::move(picture)));
        while (pending.size() >= inFlight)
            collect();
    }
    while (!pending.empty()) {
        job.throwIfCancelled();
        collect();
    }
    for (int i : std::as_const(damaged))
        damage.add(i, PDFText::trimmed(out.value(i), true).isEmpty());
    damage.report(job);
    return out;
}

QByteArray pngData(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        throw ConvertError::failed(QStringLiteral("PNG encoding failed"));
    return bytes;
}

} // namespace PDFEngine
