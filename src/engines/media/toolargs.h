#pragma once

#include "engines/media/toolchoices.h"

#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <optional>

// The ffmpeg arguments of the tool operations (after the runner's fixed prefix), built from the
// operation's choices alone: `out` is the path written, `ext` the result's extension. Numbers
// are written the same in every locale.
namespace ToolArgs {

// `value` with exactly `decimals` decimals and a point: fixed(12.3456, 3) is "12.346".
QString fixed(double value, int decimals);
// The shortest decimal text that reads back as `value`, always with a fraction: "1.0", "0.005".
QString gain(double value);

// Whether a result in the container `ext` can hold cover pictures: mp3, m4a and flac can.
bool carriesCovers(const QString& ext);
// The option that writes an AIFF result with an ID3 chunk, which holds every tag and the covers
// (an AIFF's own chunks hold only a title, an author, a copyright and a comment); nothing for
// other containers.
QStringList id3Chunk(const QString& ext);

// What a video result carries besides its picture and sound: subtitles, cover pictures and
// attachments.
struct Extras
{
    // A stream of the source, by its number there, its encoder ("copy", "mov_text", "mjpeg"),
    // the tags of a subtitle and an attachment's file name and type, which an MKV can't be
    // written without and which are set even where the operation drops the streams' tags.
    // Subtitles and attachments come from the first input; covers from `coverSource` when that
    // is set.
    struct Copied
    {
        enum class As { subtitle, cover, attachment };
        int index = 0;
        QString codec;
        As as = As::subtitle;
        QString language;
        QString title;
        QString fileName{};
        QString mimeType{};
        QString pictureKind{}; // a cover's kind ("Cover (front)"), set again where tags are dropped
    };
    // A subtitle file in SubRip form (ASS for the encoder "ass") that the operation wrote, with
    // its encoder, tags and dispositions ("forced"; empty: ffmpeg's choice), and the seconds its
    // times are moved by to meet a picture that starts before the cut.
    struct Track
    {
        QString path;
        QString codec;
        QString language;
        QString title;
        double offset = 0;
        QString disposition{};
    };
    // A file attached to an MKV result as it is (a cover picture taken out of the source).
    struct Attached
    {
        QString path;
        QString mimeType;
        QString fileName;
    };
    // The language and title of each sound track, for a track a filter made (which ffmpeg leaves
    // untagged) or a result that drops the source's metadata.
    struct Tags
    {
        QString language;
        QString title;
    };
    QList<Copied> copied;
    QList<Track> tracks;
    QList<Attached> attached;
    QList<Tags> sound;
    // A metadata file the operation wrote whose chapters the result holds instead of the first
    // input's; empty to keep those.
    QString chapters;
    // Comments ("CHAPTER001=00:00:01.500") set on the first sound track in this order, which holds
    // the chapters in their place (OggChapters); none of the inputs' chapters is written then.
    QStringList soundComments;
    // The source again, as an input of its own that nothing seeks in, for the covers of a cut:
    // a cover's one packet sits at the file's start, before any cut that starts later, and would
    // move every stream of a stream copy by the cut's start. Empty: covers come from the first
    // input.
    QString coverSource;
    // For a stream copy that stops before the source's end: how many seconds after its seek the
    // source's picture is read, from the source again as an input of its own, seeked like the
    // first (a copy stops each input at its -t in decoding order, so the picture must stop
    // where its last frame shown has been decoded, and the other streams at the end). 0: the
    // picture comes from the first input.
    double pictureLength = 0;
    // How many picture tracks the operation maps before the covers.
    int pictures = 1;
    // The one sound track a result that holds one takes, by its number in the source; -1: the
    // operation's own choice.
    int soundTrack = -1;
    // The timecode of the result's first frame, set on its picture where the operation leaves
    // the source's behind (a cut, which starts later) or makes its picture anew; empty: none set.
    QString timecode;
    // The option naming where the film was taken (Media::keptPlace), for a result that keeps the
    // source's tags; empty: none.
    QStringList place;
};
// The inputs of `extras.tracks`, its chapters and its cover source, to go after every other
// input, in that order.
QStringList extraInputs(const Extras& extras);
// The maps, encoders and tags of `extras`, the first track being input `firstTrack`, the
// chapters and the cover source the inputs after the last track; the main picture is the first
// video output.
QStringList extraOutputs(const Extras& extras, int firstTrack);

// The rate factor of the video tools' re-encoded pictures.
constexpr int videoCrf = 18;
// The first picture stream and every sound stream, if any.
QStringList pictureAndSound();
// The first input's tags as the result's own, the moment the film was taken among them, which
// ffmpeg leaves out of the tags it copies unless they are named.
QStringList keptTags();
// The index moved to the front of an MP4 or MOV result; nothing for other containers.
QStringList faststart(const QString& ext);

// A unit rectangle of the picture in ffmpeg's expression terms: even pixel sizes, whole offsets.
struct BoxExpr
{
    QString w, h, x, y;
};
BoxExpr boxExpr(const QRectF& rect);

// The cut of `range` of every stream that trimmed and split clips share, re-encoded for the
// container `ext`, or the stream copy cut at key frames when `fast`.
QStringList trimVideo(const QString& source, TimeRange range, bool fast, const QString& ext,
                      const QString& out, const Extras& extras = {});

} // namespace ToolArgs
