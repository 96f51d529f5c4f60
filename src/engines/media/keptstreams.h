#pragma once

#include "engines/media/mediastreams.h"
#include "engines/media/subtitlecues.h"
#include "engines/media/toolargs.h"

#include <QString>
#include <functional>
#include <optional>

class Job;

// Which of a video's subtitles, cover pictures and attachments a result in the container `ext`
// keeps, and how. Each stream that cannot be kept is named in a note on the job.
namespace KeptStreams {

// The encoder that puts a subtitle stream of `codec` into `ext` ("copy" when it goes as it is);
// none when the container cannot hold it.
std::optional<QString> subtitleEncoder(const QString& codec, const QString& ext);
// Whether `codec` is a text subtitle, which can be read as cues and retimed.
bool isText(const QString& codec);

// What a result carries as it is beside a picture and sound that keep their timing: the
// attachments, the cover pictures when `covers` (MP4 and M4V only: a QuickTime result gets a
// note instead), and the subtitles too when `subtitles`.
ToolArgs::Extras copied(const QList<Media::Stream>& streams, const QString& ext, bool subtitles, bool covers,
                        Job& job);

// A text subtitle track read whole, and the encoder it goes into the result with.
struct TextTrack
{
    Media::Stream stream;
    QString encoder;
    QList<SubtitleCues::Cue> cues;
};

// The text subtitles of `source` that `ext` can hold, read in one ffmpeg run through files in
// `folder`. Picture subtitles are left out with a note saying they `pictureReason` ("can’t be
// cut with the video").
QList<TextTrack> readText(const QString& source, const QList<Media::Stream>& streams, const QString& ext,
                          const QString& pictureReason, const QString& folder, Job& job);

// The tracks with their cues changed by `retime`, written as files "<name>-<k>.srt" in `folder`.
ToolArgs::Extras
written(const QList<TextTrack>& tracks,
        const std::function<QList<SubtitleCues::Cue>(const QList<SubtitleCues::Cue>&)>& retime,
        const QString& folder, const QString& name);

// Adds the note "The subtitles “<name>” (picture subtitles) were left out: <reason>" to the job,
// without the part in brackets for text subtitles; `ordinal` counts the subtitles from 1.
void subtitleLeftOut(Job& job, const Media::Stream& stream, int ordinal, const QString& reason);

// "MP4", "WebM", … for messages.
QString containerName(const QString& ext);

} // namespace KeptStreams
