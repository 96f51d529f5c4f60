#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class Job;

// A preview that ffmpeg renders into the temporary folder ("tolvane-preview-" and an
// identifier): the audio tools' previews and the speed window's clip.
namespace PreviewClip {

// The rendered file, removed when the last holder lets go: the player while it plays, or the
// render whose result was not wanted.
struct File
{
    const QString path;
    explicit File(QString p) : path(std::move(p)) {}
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
};

// What a render hands back: the file, or why there is none.
struct Result
{
    std::shared_ptr<File> file;
    QString error;
};

// The work that renders a fresh clip ending in `extension`, for a preview runner's pool:
// `args(path)` are ffmpeg's arguments writing to `path`. `job` cancels it. Until it has run,
// the work alone holds the file.
std::function<Result()> render(const QString& extension,
                               const std::function<QStringList(const QString&)>& args,
                               std::shared_ptr<Job> job);

} // namespace PreviewClip
