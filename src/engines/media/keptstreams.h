#pragma once

#include "engines/media/mediastreams.h"
#include "engines/media/subtitlecues.h"
#include "engines/media/toolargs.h"

#include <QString>
#include <functional>
#include <optional>

class Job;

// What a result in the container `ext` keeps of its source's streams beside the first picture and
// the sound (subtitles, cover pictures, attachments, data tracks), and how: the one plan every
// audio and video write takes its maps from. Each stream that cannot be kept is named in a note
// on the job.
namespace KeptStreams {

// The encoder that puts a subtitle stream of `codec` into `ext` ("copy" when it goes as it is);
// none when the container cannot hold it.
std::optional<QString> subtitleEncoder(const QString& codec, const QString& ext);
// Whether `codec` is a text subtitle, which can be read as cues and retimed.
bool isText(const QString& codec);

// What an operation leaves to copied() among the streams beside its first picture and sound.
struct Carry
{
    bool subtitles = true;     // copied or converted as they are; false: the operation writes its own
    bool covers = true;        // false: the operation leaves them out and says why
    bool picture = true;       // false: the result is sound (and covers) only
    bool everyPicture = false; // the operation maps every picture track itself, not the first only
    bool coverApart = false;   // the covers come from an input of their own (the first is seeked in)
    bool encodeCovers = false; // covers encoded again, leaving their own tags (Exif) behind
    bool keepsTags = true;     // false: the result keeps no tag, a timecode's among them
    bool id3Chunk = false;     // an AIFF result is written with an ID3 chunk, which holds covers
    bool sound = true;         // false: the result holds no sound
};

// Whether a result in the container `ext` keeps cover pictures as attached pictures: MP4, M4V,
// the containers ToolArgs::carriesCovers() names, and an AIFF written with an ID3 chunk.
bool holdsCovers(const QString& ext, const Carry& carry);

// What a result in the container `ext` does with each stream of `source` (listed in `streams`)
// beside its first picture and its sound, which the operation maps itself: subtitles copied or
// converted to a kind `ext` holds, cover pictures kept as covers (MP4, MP3, M4A, FLAC, an AIFF with
// an ID3 chunk: an attached picture; MKV: an attachment, first taken out into `folder` by one ffmpeg run),
// attachments kept as attachments with the file name and type an MKV needs, QuickTime chapter tracks left to
// the chapters, timecode tracks to the picture's timecode tag. Whatever the result can't hold (subtitles,
// covers, attachments, data tracks, further picture tracks, a timecode, the language of a sound track or
// subtitles that a QuickTime file can't name) is named in a note on `job`. Throws
// ConvertError when the covers can't be taken out.
ToolArgs::Extras copied(const QString& source, const QList<Media::Stream>& streams, const QString& ext,
                        const Carry& carry, const QString& folder, Job& job);

// A text subtitle track read whole, and the encoder it goes into the result with. An ASS track
// that the result holds as ASS keeps its header, and its cues are its events (AssScript).
struct TextTrack
{
    Media::Stream stream;
    QString encoder;
    QList<SubtitleCues::Cue> cues;
    QString assHeader{}; // empty for a track read as SubRip
};

// The text subtitles of `source` that `ext` can hold, read in one ffmpeg run through files in
// `folder`: an ASS track as ASS where `ext` holds it, with its styles and positions, any other
// as SubRip. An ASS track that `ext` holds as plain text only is named in a note, and so is a
// track whose language a QuickTime file can't name; picture
// subtitles are left out with a note saying they `pictureReason` ("can’t be cut with the
// video").
QList<TextTrack> readText(const QString& source, const QList<Media::Stream>& streams, const QString& ext,
                          const QString& pictureReason, const QString& folder, Job& job);

// The cues of `track` cut like SubtitleCues::cut(), or played `speed` times as fast; an ASS
// track's override tags are retimed with its events (AssScript).
QList<SubtitleCues::Cue> cut(const TextTrack& track, double from, double to, double shortest);
QList<SubtitleCues::Cue> scaled(const TextTrack& track, double speed);

// The tracks with the cues `retime` gives each, written as files "<name>-<k>.srt" (or ".ass") in
// `folder`, each to go into the result with its source track's tags and dispositions.
ToolArgs::Extras written(const QList<TextTrack>& tracks,
                         const std::function<QList<SubtitleCues::Cue>(const TextTrack&)>& retime,
                         const QString& folder, const QString& name);

// Adds the note "The subtitles “<name>” (picture subtitles) were left out: <reason>" to the job,
// without the part in brackets for text subtitles; `ordinal` counts the subtitles from 1.
void subtitleLeftOut(Job& job, const Media::Stream& stream, int ordinal, const QString& reason);

// Adds the note "The attached file “<file name>” was left out: <container> files can’t hold it" to the
// job; an attachment without a file name is named by `ordinal`, counted among attachments from 1.
void attachmentLeftOut(Job& job, const Media::Stream& stream, int ordinal, const QString& ext);

// The dispositions of `stream` as ffmpeg's -disposition takes them ("default+forced"); empty for
// none.
QString dispositions(const Media::Stream& stream);

// The ISO 639-2 code a track of the language `code` is tagged with in a result in `ext`: in a
// QuickTime file the one of its two codes (terminology, bibliographic) that ffmpeg writes there.
QString language(const QString& code, const QString& ext);

// "MP4", "WebM", … for messages.
QString containerName(const QString& ext);

} // namespace KeptStreams
