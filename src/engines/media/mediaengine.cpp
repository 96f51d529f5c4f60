#include "engines/media/mediaengine.h"

#include "core/job.h"
#include "core/output.h"
#include "engines/media/media.h"

namespace MediaEngine {

QStringList convert(const QString& source, const QString& target, Job& job, const Progress& progress)
{
    const QString dest = Output::result(source, {}, target);
    Media::require(QStringLiteral("ffmpeg"));
    const bool audio = Media::isAudioTarget(target);
    return {Output::write(
        dest,
        [&](const QString& temporary) { Media::convert(source, temporary, audio, target, &job, progress); },
        &job)};
}

} // namespace MediaEngine
