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

// What a video result carries besides its picture and sound: subtitles, cover pictures and
// attachments.
struct Extras
{
    // A stream of the first input, by its number there, its encoder ("copy", "mov_text") and the
    // tags of a subtitle.
    struct Copied
    {
        int index = 0;
        QString codec;
        bool cover = false;
        QString language;
        QString title;
    };
    // A subtitle file in SubRip form that the operation wrote, with its encoder and tags.
    struct Track
    {
        QString path;
        QString codec;
        QString language;
        QString title;
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
    QList<Tags> sound;
    bool attachments = false; // the first input's attachments (fonts of styled subtitles)
};
// The inputs of `extras.tracks`, to go after every other input.
QStringList extraInputs(const Extras& extras);
// The maps, encoders and tags of `extras`, the first track being input `firstTrack`; the main
// picture is the first video output.
QStringList extraOutputs(const Extras& extras, int firstTrack);

// The re-encode arguments of trimmed, split, sped-up clips for the container `ext`, or the
// stream copy cut at key frames when `fast`.
QStringList trimVideo(const QString& source, TimeRange range, bool fast, const QString& ext,
                      const QString& out, const Extras& extras = {});
QString cropFilter(const QRectF& rect);
QStringList cropVideo(const QString& source, const QRectF& rect, const QString& ext, const QString& out,
                      const Extras& extras = {});
// The picture's and, given the source's sample rate, the sound's speed graph.
QString speedGraph(double speed, bool keepPitch, std::optional<int> sampleRate);
// The same for a sound track per sample rate: with several, track k is "[0:a:k]" to "[ak]".
QString speedGraph(double speed, bool keepPitch, const QList<int>& sampleRates);
QStringList speed(const QString& source, double speed, bool keepPitch, std::optional<int> sampleRate,
                  const QString& ext, const QString& out);
QStringList speed(const QString& source, double speed, bool keepPitch, const QList<int>& sampleRates,
                  const QString& ext, const QString& out, const Extras& extras);
QStringList snapshot(const QString& source, double time, const QString& out);

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
// Sized by the first clip, which must have a picture size. With `soundTracks` above 1 every clip
// has that many sound tracks, and track k of each is joined into the result's track k.
QStringList join(const QList<JoinClip>& clips, const QString& out, int soundTracks = 1,
                 const Extras& extras = {});

QString redactGraph(const QList<QRectF>& boxes, RedactStyle style, const std::optional<TimeRange>& range);
QStringList redactVideo(const QString& source, const QList<QRectF>& boxes, RedactStyle style,
                        const std::optional<TimeRange>& range, const QString& ext, const QString& out,
                        const Extras& extras = {});

} // namespace ToolArgs
