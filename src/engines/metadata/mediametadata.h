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

// How a stripped copy of `source`, whose streams are `streams`, is written at `destination`.
// Every picture, sound and subtitle stream and every attachment is copied as it is, without the
// file's, the streams' and the chapters' tags (an attachment keeps its file name and type).
// Cover pictures are encoded again, as a picture's own Exif may hold a location, and keep their
// kind (front cover, back cover, …); in an MKV they go back in as attachments, made first in
// `folder`. Data tracks (timed details such as
// locations) and covers the container holds only among its tags are left out, each kind named
// in a note.
struct StripPlan
{
    QStringList covers; // ffmpeg's arguments that write the covers to attach again; empty when none
    QStringList args;   // ffmpeg's arguments that write the copy
    QStringList notes;  // what the copy leaves out, in the user's words
};
StripPlan stripPlan(const QString& source, const QString& destination, const QList<StripStream>& streams,
                    const QString& folder);

// ffmpeg's arguments for an edited copy: every picture and sound track and what `extras` keeps
// (KeptStreams::copied()), copied with their tags, and each of `fields` set ("" clears that tag).
QStringList editArgs(const QString& source, const QString& destination, const QList<MetaField>& fields,
                     const ToolArgs::Extras& extras);

// Writes the stripped or edited copy at `destination`, whose extension names its container, and
// adds the strip's notes to `job`; throws ffmpeg's failures and Cancelled.
void writeMedia(const QString& source, const QString& destination, const QList<MetaField>& fields, bool strip,
                Job& job);

} // namespace MetadataEngine
