#include "toolkit/previewclip.h"

#include "core/converterror.h"
#include "core/job.h"
#include "engines/media/media.h"

#include <QDir>
#include <QFile>
#include <QUuid>

namespace PreviewClip {

File::~File()
{
    QFile::remove(path);
}

std::function<Result()> render(const QString& extension,
                               const std::function<QStringList(const QString&)>& args,
                               std::shared_ptr<Job> job)
{
    auto file = std::make_shared<File>(
        QDir::temp().filePath(QStringLiteral("tolvane-preview-%1.%2")
                                  .arg(QUuid::createUuid().toString(QUuid::WithoutBraces), extension)));
    return [arguments = args(file->path), file, job = std::move(job)] {
        Result out;
        try {
            Media::ffmpeg(arguments, 0.0, job.get(), {});
            out.file = file;
        } catch (const std::exception& e) {
            out.error = errorDescription(e);
        }
        return out;
    };
}

} // namespace PreviewClip
