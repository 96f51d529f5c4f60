#include "engines/slides/slidesengine.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/libreoffice/iwork.h"
#include "core/output.h"
#include "core/scratchfolder.h"
#include "engines/pdf/pageimages.h"

namespace {

bool isImage(const QString& to)
{
    return to == QLatin1String("jpg") || to == QLatin1String("png");
}

} // namespace

namespace SlidesEngine {

QStringList convert(const QString& source, const QString& to, Job& job, const Progress& progress)
{
    const bool image = isImage(to);
    if (!image && to != QLatin1String("pdf") && to != QLatin1String("pptx"))
        throw ConvertError::unsupported(QStringLiteral("Can’t make %1 from slides").arg(to.toUpper()));

    if (image) {
        // The PDF goes with its scratch folder however the rendering ends.
        const ScratchFolder folder;
        const QString pdf = folder.file(QStringLiteral("slides.pdf"));
        IWork::export_(IWork::App::keynote, source, pdf, QStringLiteral("PDF"), std::nullopt, &job);
        job.throwIfCancelled();
        progress(0.5);
        return Doc::writePageImages(pdf, source, to, imageDPI, job,
                                    [&](double p) { progress(0.5 + 0.5 * p); });
    }

    const QString format =
        to == QLatin1String("pdf") ? QStringLiteral("PDF") : QStringLiteral("Microsoft PowerPoint");
    const QString destination = Output::result(source, {}, to);
    return {Output::write(
        destination,
        [&](const QString& temporary) {
            IWork::export_(IWork::App::keynote, source, temporary, format, std::nullopt, &job);
        },
        &job)};
}

} // namespace SlidesEngine
