#include "engines/converter.h"

#include "core/catalog.h"
#include "core/converterror.h"
#include "core/output.h"
#include "core/settings.h"
#include "engines/media/media.h"

namespace {

QStringList convertMedia(const QString& source, const QString& target, Job& job,
                         const std::function<void(double)>& progress)
{
    const QString dest = Converter::destination(source, target);
    Media::require(QStringLiteral("ffmpeg"));
    const bool audio = Media::isAudioTarget(target);
    return {Output::write(dest, [&](const QString& temporary) {
        Media::convert(source, temporary, audio, target, &job, progress);
    })};
}

// Categories whose engines are not part of this build yet.
ConvertError notYet(const QString& what)
{
    return ConvertError::unsupported(QStringLiteral("Converting %1 isn’t available yet").arg(what));
}

} // namespace

namespace Converter {

QString destination(const QString& source, const QString& target)
{
    const QString ext = target == QLatin1String("gz") ? QStringLiteral("tar.gz") : target;
    return Output::unique(Settings::shared().outputDirectory(source), Output::baseName(source), ext);
}

QStringList convert(const QString& source, const QString& target, Job& job,
                    const std::function<void(double)>& progress)
{
    const auto unknown = [] {
        return ConvertError::unsupported(QStringLiteral("Tolvane doesn’t know this kind of file"));
    };
    const auto key = Catalog::format(source);
    if (!key) throw unknown();
    const auto category = Catalog::category(*key);
    if (!category) throw unknown();
    if (*key == target) return {};

    switch (*category) {
    case FileCategory::audio:
    case FileCategory::video:
        return convertMedia(source, target, job, progress);
    case FileCategory::image:
        throw notYet(QStringLiteral("images"));
    case FileCategory::pdf:
        throw notYet(QStringLiteral("PDFs"));
    case FileCategory::document:
    case FileCategory::epub:
    case FileCategory::text:
        throw notYet(QStringLiteral("documents"));
    case FileCategory::slides:
        throw notYet(QStringLiteral("slides"));
    case FileCategory::spreadsheet:
        throw notYet(QStringLiteral("spreadsheets"));
    case FileCategory::subtitle:
        throw notYet(QStringLiteral("subtitles"));
    case FileCategory::archive:
        throw notYet(QStringLiteral("archives"));
    }
    throw unknown();
}

} // namespace Converter
