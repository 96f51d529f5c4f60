#include "engines/heavyengines.h"

#include "core/converterror.h"

#include "engines/heavy/docengine.h"
#include "engines/heavy/pdfconvert.h"
#include "engines/image/imageengine.h"
#include "engines/image/svgsafety.h"
#include "engines/image/videoframe.h"
#include "engines/instant/instanttools.h"
#include "engines/pdf/pdfengine.h"
#include "engines/pdf/pdfpages.h"
#include "engines/sheet/sheetengine.h"
#include "engines/slides/slidesengine.h"

#include <QGuiApplication>
#include <algorithm>

namespace {

QStringList convert(FileCategory category, const QString& source, const QString& target, Job& job,
                    const Progress& progress)
{
    switch (category) {
    case FileCategory::image:
        return ImageEngine::convert(source, target, job, progress);
    case FileCategory::pdf:
        return PDFEngine::convert(source, target, job, progress);
    case FileCategory::document:
    case FileCategory::epub:
    case FileCategory::text:
        return Doc::convert(source, target, job, progress);
    case FileCategory::slides:
        return SlidesEngine::convert(source, target, job, progress);
    case FileCategory::spreadsheet:
        return SheetEngine::convert(source, target, job, progress);
    case FileCategory::audio:
    case FileCategory::video:
    case FileCategory::subtitle:
    case FileCategory::archive:
        break;
    }
    return {};
}

QCoreApplication* makeGuiApplication(int& argc, char** argv)
{
    return new QGuiApplication(argc, argv);
}

QImage loadImage(const QString& path)
{
    return ImageEngine::load(path).image;
}

QImage loadImageForCopy(const QString& path, std::shared_ptr<const ImageProps>& carried)
{
    ImageEngine::Loaded loaded = ImageEngine::load(path);
    carried = std::make_shared<const ImageProps>(ImageEngine::carriedProperties(loaded.props));
    return std::move(loaded.image);
}

QImage pdfFirstPage(const QString& path, int size)
{
    try {
        const auto document = PDFEngine::open(path);
        const std::unique_ptr<Poppler::Page> page(document->page(0));
        if (!page) return {};
        const QSizeF points = page->pageSizeF();
        const double longest = std::max(points.width(), points.height());
        return longest > 0 ? PDFEngine::render(*page, 72.0 * size / longest) : QImage();
    } catch (const std::exception&) {
        return {};
    }
}

void coverPng(const QString& path, const QString& png, int width, int height)
{
    QImage image = ImageEngine::load(path).image;
    if (image.isNull()) throw ConvertError::failed(QStringLiteral("The picture is empty"));
    const QSize cover = image.size().scaled(QSize(width, height), Qt::KeepAspectRatioByExpanding);
    if (cover.width() < image.width())
        image = image.scaled(cover, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    ImageEngine::write(std::move(image), png, QStringLiteral("png"), ImageProps(), std::nullopt, 72);
}

const HeavyEngines entries{
    .convert = convert,
    .makeGuiApplication = makeGuiApplication,
    .loadImage = loadImage,
    .loadImageForCopy = loadImageForCopy,
    .imageUti = ImageEngine::uti,
    .writeImage = ImageEngine::write,
    .confinedSvg = Svg::confined,
    .pdfFirstPage = pdfFirstPage,
    .videoFrame = Media::frame,
    .coverPng = coverPng,
    .instantTool = InstantTools::find,
    .instantWork = InstantTools::work,
    .runInstant = InstantTools::run,
    .pdfPageCount = PDFPages::count,
    .pdfThumbnails = PDFPages::thumbnails,
    .organizePDF = PDFPages::organize,
    .mergePDFs = PDFPages::merge,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const void* tolvane_engines_heavy_entries()
{
    return &entries;
}
