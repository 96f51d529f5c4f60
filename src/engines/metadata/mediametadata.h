#pragma once

#include "engines/media/mediastreams.h"
#include "engines/media/toolargs.h"
#include "engines/metadata/metafield.h"

class Job;

// The tags of audio and video files, read with ffprobe and written by an ffmpeg stream copy.
namespace MetadataEngine {

// Title, Artist, Album, Year, Genre, Comments (keys "title", "artist", "album", "date",
// "genre", "comment"), from the container's tags whatever their letter case. Never fails: what
// cannot be read is empty. ffprobe gets at most a few seconds.
QList<MetaField> mediaFields(const QString& path);

// A stream of a file to strip: what Media::Stream holds and the kind of a cover.
struct StripStream : Media::Stream
{
    QString pictureKind; // a cover's kind among the standard ones ("Cover (front)"), else empty
};

// ffmpeg's arguments for a stripped copy: every picture and sound track and what `extras` keeps
// (KeptStreams::copied() with covers encoded again and no tags kept), without the file's, the
// streams' and the chapters' tags.
QStringList stripArgs(const QString& source, const QString& destination, const ToolArgs::Extras& extras);

// ffmpeg's arguments for an edited copy: every picture and sound track and what `extras` keeps
// (KeptStreams::copied()), copied with their tags, and each of `fields` set ("" clears that tag).
// An AIFF is written with an ID3 chunk, the one place it holds an artist, an album or a cover.
QStringList editArgs(const QString& source, const QString& destination, const QList<MetaField>& fields,
                     const ToolArgs::Extras& extras);

// Writes the stripped or edited copy at `destination`, whose extension names its container, and
// notes on `job` what it leaves out (KeptStreams::copied()): a strip keeps every picture, sound and
// subtitle stream and every attachment but no tag, its covers encoded again, since a picture's
// own Exif may hold a location, and kept in their kind (front cover, back cover, …); data tracks
// (timed details such as locations), subtitles whose text holds coordinates (a drone's
// telemetry) and covers a container holds only among its tags (an Ogg's, an AIFF's in its ID3
// chunk) are left out. Throws ffmpeg's failures and Cancelled.
void writeMedia(const QString& source, const QString& destination, const QList<MetaField>& fields, bool strip,
                Job& job);

} // namespace MetadataEngine
