#pragma once

#include "core/progress.h"
#include "engines/media/media.h"
#include "engines/media/toolargs.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Job;

// The Join Videos tool's work, on a worker thread. Blocks and throws ConvertError; the clips are
// never written, the result is committed under a free name and a failure or a cancel leaves
// nothing behind. Progress is the join's fraction, 0…1.
namespace ToolOps {

// "<first clip's base> Joined.mp4" in the first clip's output folder: the clips in order, each
// fitted into the first clip's picture size at its frame rate, a silent track for clips without
// sound, the sound tracks and text subtitles every clip has. Refused before any ffmpeg run when
// the list is empty or a clip has no picture (noPicture names the first such clip).
QStringList join(const QStringList& clips, Job& job, const Progress& progress);

} // namespace ToolOps

// What the operation is built from, and its self-test rows.
namespace JoinWork {

// The first of `clips`, in order, whose probe in `probes` shows no picture size; none when every
// clip has one. A clip without a probe yet counts as having one.
std::optional<QString> clipWithoutPicture(const QStringList& clips,
                                          const QHash<QString, Media::Probe>& probes);
// Why a join with `clip` is refused: "Sound.m4a has no picture to join".
QString noPicture(const QString& clip);

// What a join needs to know of each clip.
struct JoinClip
{
    QString path;
    int width = 0;
    int height = 0;
    double fps = 30;
    bool audio = false;
    double duration = 0;
};
// The ffmpeg arguments of the join at `out`, sized by the first clip, which must have a picture
// size. With `soundTracks` above 1 every clip has that many sound tracks, and track k of each is
// joined into the result's track k.
QStringList args(const QList<JoinClip>& clips, const QString& out, int soundTracks = 1,
                 const ToolArgs::Extras& extras = {});

// The self-test's row "join": clip.mp4 in `samples`, then clip.mov.
QStringList selfCheck(const QString& samples, Job& job);

} // namespace JoinWork
