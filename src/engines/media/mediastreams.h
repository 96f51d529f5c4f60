#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <chrono>
#include <optional>

// Every stream a media file holds, for the operations that carry more than one picture and one
// sound into their result.
namespace Media {

struct Stream
{
    enum class Kind { video, audio, subtitle, attachment, other };
    int index = 0;           // the stream's number in the file, as ffmpeg's "0:<index>" names it
    Kind kind = Kind::other; // a cover picture is a video stream with `cover` set
    QString codec;
    QString language; // ISO 639-2 ("eng"); empty when untagged or "und"
    QString title;
    bool cover = false;
    bool isDefault = false; // the track a player picks of its kind
    bool forced = false;    // subtitles shown whatever the viewer chose (signs, foreign speech)
    int sampleRate = 0;     // audio only; 0 when unknown
    int bits = 0;     // audio only: the bits of a sample as stored (24 of a 24-bit FLAC); 0 when unknown
    QString codecTag; // the container's name for the codec ("avc1", "tmcd", "text"), as ffprobe prints it
    QString fileName; // an attachment's or an attached picture's, when the container names it
    QString mimeType;
    QString timecode; // the SMPTE timecode of the stream's first frame ("10:00:00:00"), when tagged
};

// The streams in file order, read in this process the way ffprobe -show_streams lists them (ffprobe
// itself only where ffmpeg's libraries are missing); empty when the file cannot be read.
QList<Stream> streams(const QString& path);

// ffprobe's JSON of `path` for one `show` option ("-show_streams", "-show_chapters"); empty
// when the file cannot be read, ffprobe is missing or it runs past `limit`.
QByteArray probeJson(const QString& path, const QString& show,
                     std::optional<std::chrono::milliseconds> limit = std::nullopt);
// The reading of ffprobe's JSON (-show_streams); bad input gives an empty list.
QList<Stream> parseStreams(const QByteArray& json);
// The streams of `kind` that are not cover pictures, in file order.
QList<Stream> streamsOf(const QList<Stream>& all, Stream::Kind kind);
// How a message names the stream: its title, else its language in English words, else
// "number <n>" counted within its kind from 1 (`ordinal`).
QString streamName(const Stream& stream, int ordinal);

} // namespace Media
