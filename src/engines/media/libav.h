#pragma once

#include "core/progress.h"
#include "engines/media/chapters.h"
#include "engines/media/media.h"
#include "engines/media/mediastreams.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Job;

// ffmpeg's own libraries read inside this process. They are loaded at the first call only, on
// whatever thread makes it: loading costs about as much as starting a small program, so only
// media work pays it. Every function is safe to call from several threads at once.
namespace LibAv {

// A source as the conversion sees it: the probe, and how long its first picture stream and its
// first sound stream last as the file states it: the stream's own length (a Matroska track's in
// its tags, a WAVE file's sound as its header gives the size of its data), or the file's when the
// file holds no other kind; 0 when unknown or without such a stream.
struct Reading
{
    Media::Probe probe;
    double videoSeconds = 0;
    double audioSeconds = 0;
    // Every stream and chapter, as Media::parseStreams and Chapters::parse read ffprobe's.
    QList<Media::Stream> streams;
    QList<Chapters::Chapter> chapters;
    // When the file's first stream begins, as ffprobe's format start_time states it; seconds.
    double start = 0;
    // How long the first picture stream holds its frames back for B-frames, as its decoder
    // states it; seconds.
    double pictureDelay = 0;
};

// What a file really holds: the stream kinds its header lists, and how far the packets of its
// first picture and first sound stream reach from their start, in seconds (none when no packet
// of that stream could be read).
struct Contents
{
    bool opened = false;
    bool hasVideo = false;
    bool hasAudio = false;
    std::optional<double> videoEnd;
    std::optional<double> audioEnd;
    // How far the packets of every picture and sound stream (covers aside) reach from the file's
    // start: a second sound track may end later than the first.
    std::optional<double> furthestEnd;
    // When the first packets of those streams are shown, in seconds from the file's zero; none
    // when no packet of that stream could be read.
    std::optional<double> videoStart;
    std::optional<double> audioStart;
    // One frame: of the picture or, where longer, the sound's first packet (a muxer moves the
    // picture later by the sound's priming, which lies before zero); and how long before its
    // first frame is shown the picture begins decoding (frames held back for B-frames, which a
    // muxer makes room for by moving every stream later). Seconds.
    double frame = 0;
    double lead = 0;
};

// Whether the libraries are there; loads them at the first call.
bool available();

// Reads the file the way ffprobe -show_format -show_streams -show_chapters does, so that the probe
// equals Media::parseProbe of ffprobe's output; a file that cannot be opened gives the defaults.
// None only when the libraries are missing. The last few readings are kept while their file is
// unchanged (the same file, size and change time), so that the steps of one job read it once.
std::optional<Reading> read(const QString& path);

// Looks at the packets at the start and near the end of the file, read as the format `format` (a
// key such as "mp4" or "wav") where it is one the results are written in, without probing
// others; none when the libraries are missing. Where the index promises packets that the file no
// longer holds near its end (cut off after the index), the file is read as far as it goes.
std::optional<Contents> contents(const QString& path, const QString& format = {});

// The picture of the first picture stream shown at a moment: the last frame that starts at or
// before it (within half a millisecond: stored times are often rounded to one), or the first
// frame for a moment before it. Times are seconds from the start ffmpeg's -ss counts from (the
// file's earliest stream).
struct ShownFrame
{
    double start = 0;
    // A point between the frame before and this one (0 for the first): ffmpeg started there, as
    // it starts at the first frame at or after its -ss, begins with this frame.
    double cut = 0;
    // No frame follows this one.
    bool last = false;
};

// None when the libraries are missing, the file has no picture or no frame times, or the moment
// lies past the end of the file.
std::optional<ShownFrame> shownFrame(const QString& path, double seconds);

// Which kind of stream of the file ("picture" or "sound"; covers aside) gives no frame from its
// first packets or from those of its last second, read as the format `format` (as contents()
// reads it): a stream copied into a container that does not carry what its decoder needs.
// None when every stream decodes, when this ffmpeg has no decoder to tell with, or when the
// libraries are missing.
std::optional<QString> undecodable(const QString& path, const QString& format = {});
// The same over one stretch of the file alone: its first packets, or those of its last second.
enum class Stretch { start, end };
std::optional<QString> undecodable(const QString& path, const QString& format, Stretch stretch);

// Where a stream copy of `path` that ffmpeg seeks to `seconds` (-ss before the input) begins, in
// the same seconds as shownFrame(): `key`, the start of the first key frame of its first picture
// stream after that seek, which it shows first; `zero`, the earliest decoding time among the
// first packets it copies (that key frame's and each sound stream's first), where a copy that
// moves its times to begin at 0 (-avoid_negative_ts make_zero) puts its 0. None when the
// libraries are missing or no such key frame is found.
struct CopyStart
{
    double key = 0;
    double zero = 0;
};
std::optional<CopyStart> copyStart(const QString& path, double seconds);

// How much earlier than asked ffmpeg seeks in a format that seeks by decoding times, where the
// picture has delayed frames (B-frames): its own margin, in seconds.
constexpr double seekMargin = 3.0 / 23;

// Where a stream copy of `path` that shows the frame shown at `seconds` must begin: the start of
// the last key frame of its first picture stream at or before that frame, or of the first key
// frame for a moment before the picture, in the same seconds as shownFrame(). None when the
// libraries are missing or no key frame is found.
std::optional<double> keyFrameAt(const QString& path, double seconds);

// How long after its seek a stream copy of `path` that ffmpeg seeks to `seek` (-ss before the
// input) must read its first picture stream (-t before that input) to end with every frame shown
// before `end`, in the same seconds as shownFrame(), and no more frames than those need. ffmpeg
// stops copying at the first packet whose decoding time reaches the -t, while a frame that
// B-frames hold back is decoded after the frame it needs, which is shown later. None when the
// libraries are missing, no key frame follows the seek, or the picture ends before it would be
// stopped.
std::optional<double> copiedPictureLength(const QString& path, double seek, double end);

// What a plain stream copy asks of the muxer beside the streams: the hvc1 sample entry for its
// HEVC picture, and the index moved to the front of an MP4 or QuickTime file.
struct CopyOptions
{
    bool hvc1 = false;
    bool faststart = false;
};

// Writes `output` as ffmpeg's `-i source -map 0:V:0 -map 0:a? -c copy -map_metadata 0` does for
// a `target` of mp4, mov, mkv or webm, packet for packet: the first picture stream that is not a
// cover and every sound stream, their times moved to begin where ffmpeg moves them, with the
// file's tags, the streams' tags and kinds, and the chapters. Gives how far the result reaches
// in seconds; none, with nothing left at `output`, when it could not be made here (the libraries
// are missing, the source is not a Matroska or QuickTime file, a stream or packet is refused),
// which the ffmpeg program is left to try. Progress is the share of `duration` written. Throws
// ConvertError when `job` is cancelled, or "The disk is full" when a write finds no room, with
// nothing left at `output`.
std::optional<double> remux(const QString& source, const QString& output, const QString& target,
                            const CopyOptions& options, Job* job, const Progress& progress, double duration);
// The targets remux() writes: "mp4", "mov", "mkv", "webm".
const QStringList& remuxTargets();

// The name of the muxer ffmpeg writes a target (a key such as "m4a" or "mkv") with: "ipod",
// "matroska"; empty for a key that is none.
QString muxerFor(const QString& target);

} // namespace LibAv
