#include "engines/instant/instanttools.h"

#include "core/checkedfile.h"
#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/output.h"
#include "engines/image/imageengine.h"
#include "engines/image/jpegcheck.h"
#include "engines/image/jpegsegments.h"

#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace {

// Page layouts are given upright and turned, so that Qt never takes a wide page for a tall one.
QPageLayout layoutFor(const ImageEngine::Loaded& page)
{
    const QSizeF points(page.image.width() * 72.0 / page.dpi, page.image.height() * 72.0 / page.dpi);
    const bool wide = points.width() > points.height();
    const QSizeF upright = wide ? points.transposed() : points;
    return QPageLayout(QPageSize(upright, QPageSize::Point, QString(), QPageSize::ExactMatch),
                       wide ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF());
}

// A JPEG that ends early or whose coded data are damaged decodes with grey where the picture is
// missing: a page of it would pass for the picture, so no PDF is made of it.
void refuseDamaged(const QString& image)
{
    QFile file(image);
    if (!file.open(QIODevice::ReadOnly) || file.peek(2) != QByteArrayLiteral("\xFF\xD8")) return;
    const QByteArray data = file.readAll();
    const JpegSegments::Cut cut = JpegSegments::cut(data);
    if (cut == JpegSegments::Cut::whole && JpegCheck::whole(data)) return;
    const QString what = cut == JpegSegments::Cut::lowerPart ? QStringLiteral("its lower part is missing")
                         : cut == JpegSegments::Cut::detail
                             ? QStringLiteral("part of its detail is missing")
                             : QStringLiteral("part of its picture can’t be decoded");
    throw ConvertError::failed(
        QStringLiteral("%1 is damaged: %2, so no PDF was made").arg(QFileInfo(image).fileName(), what));
}

// Writes the images page by page; only the image of the page being written is in memory.
void writePages(const QStringList& images, const QString& path, Job& job, const Progress& progress)
{
    CheckedFile file(path);
    QPdfWriter writer(&file);
    writer.setCreator(QStringLiteral("Tolvane"));
    writer.setResolution(72); // painter units are points
    QPainter painter;
    for (qsizetype i = 0; i < images.size(); ++i) {
        job.throwIfCancelled();
        refuseDamaged(images[i]);
        const ImageEngine::Loaded page = ImageEngine::load(images[i]);
        const QPageLayout layout = layoutFor(page);
        if (!writer.setPageLayout(layout))
            throw ConvertError::failed(QStringLiteral("Couldn’t make a page for image %1").arg(i + 1));
        if (i == 0) {
            if (!painter.begin(&writer)) throw ConvertError::failed(QStringLiteral("Couldn’t write the PDF"));
        } else if (!writer.newPage()) {
            throw ConvertError::failed(QStringLiteral("Couldn’t write the PDF"));
        }
        // The PDF engine stores a picture as JPEG, with the text the picture's file carried.
        painter.drawImage(layout.fullRect(QPageLayout::Point), ImageEngine::withoutText(page.image));
        // The last fifth of the bar is the file's completion, which reports nothing on the way.
        progress(0.8 * double(i + 1) / double(images.size()));
    }
    if (!painter.end()) throw ConvertError::failed(QStringLiteral("Couldn’t write the PDF"));
    file.finish();
}

// What follows the first image's name in the PDF's name: " and 2 more", or nothing.
QString moreImages(const QStringList& images)
{
    return images.size() <= 1 ? QString() : QStringLiteral(" and %1 more").arg(images.size() - 1);
}

} // namespace

namespace InstantTools {

QString createdPDFName(const QStringList& images)
{
    return Output::baseName(images.value(0)) + moreImages(images);
}

QStringList createPDF(const QStringList& images, Job& job, const Progress& progress)
{
    if (images.isEmpty()) throw ConvertError::failed(QStringLiteral("No images to put in a PDF"));
    for (const QString& image : images) {
        InputCheck::refuseGone(image);
        InputCheck::refuseSpecial(image);
    }
    const QString destination = Output::result(images.first(), moreImages(images), QStringLiteral("pdf"));
    return {Output::write(
        destination, [&](const QString& temporary) { writePages(images, temporary, job, progress); }, &job)};
}

} // namespace InstantTools
