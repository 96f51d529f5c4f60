#include "tools/image/annotate/annotateimage.h"

#include "core/converterror.h"
#include "toolkit/imagetools.h"
#include "tools/image/annotate/markrenderer.h"

#include <QDir>
#include <QFileInfo>

namespace AnnotateImage {

namespace {

const QString suffix = QStringLiteral("Annotated");

std::function<QImage(const QImage&)> drawing(const QString& file, const QList<Mark>& marks)
{
    return [file, marks](const QImage& image) {
        if (!MarkRenderer::fits(image.size()))
            throw ConvertError::failed(
                QStringLiteral("%1 is too large to annotate (%2 × %3 pixels; at most %4 on a side and "
                               "250 megapixels)")
                    .arg(QFileInfo(file).fileName())
                    .arg(image.width())
                    .arg(image.height())
                    .arg(MarkRenderer::maxSide));
        std::optional<QImage> drawn = MarkRenderer::render(image, marks);
        if (!drawn) throw ConvertError::failed(QStringLiteral("Couldn’t render"));
        return *drawn;
    };
}

Mark fixed(Mark::Kind kind, const QList<QPointF>& points, const QColor& color)
{
    return Mark{QUuid::createUuid(), kind, points, color, 0.006, QString(), 0};
}

} // namespace

QStringList annotateFile(const QString& file, const QList<Mark>& marks, Job& job, const Progress& progress)
{
    return {ImageTools::editCopy(file, suffix, QStringLiteral("png"), job, progress, drawing(file, marks))};
}

QStringList selfCheck(const QString& samples, Job& job)
{
    Mark label = fixed(Mark::Kind::text, {{0.1, 0.8}}, Qt::white);
    label.text = QStringLiteral("Hello");
    Mark badge = fixed(Mark::Kind::number, {{0.7, 0.7}}, QColor(255, 138, 0));
    badge.number = 1;
    const QList<Mark> marks = {
        fixed(Mark::Kind::arrow, {{0.2, 0.2}, {0.5, 0.5}}, QColor(255, 59, 48)),
        fixed(Mark::Kind::rect, {{0.6, 0.1}, {0.9, 0.3}}, QColor(10, 132, 255)),
        label,
        badge,
    };
    const QString photo = QDir(samples).filePath(QStringLiteral("photo.jpg"));
    return {ImageTools::editCopy(
        photo, suffix, job, [](double) {}, drawing(photo, marks))};
}

} // namespace AnnotateImage
