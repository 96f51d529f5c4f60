#pragma once

#include "engines/media/mediastreams.h"
#include "engines/metadata/metafield.h"

class Job;

// The tags of audio and video files, read with ffprobe and written by an ffmpeg stream copy.
namespace MetadataEngine {

// Title, Artist, Album, Year, Genre, Comments (keys "title", "artist", "album", "date",
// "genre", "comment"), from the container's tags whatever their letter case. Never fails: what
// cannot be read is empty. ffprobe gets at most a few seconds.
QList<MetaField> mediaFields(const QString& path);

// A stream of a file to strip: what Media::Stream holds and the names its container gives it.
struct StripStream : Media::Stream
{
    QString codecTag; // the container's name for the codec ("avc1", "text"), as ffprobe prints it
    QString fileName; // an attachment's or an attached picture's, when the container names it
    QString mimeType;
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

// How an edited copy is written: every stream copied with its tags and each of `fields` set (""
// clears that tag); an MKV's covers, whose bytes are first copied into `folder`, go back in as
// the attachments they were.
StripPlan editPlan(const QString& source, const QString& destination, const QList<MetaField>& fields,
                   const QList<StripStream>& streams, const QString& folder);

// Writes the stripped or edited copy at `destination`, whose extension names its container, and
// adds the strip's notes to `job`; throws ffmpeg's failures and Cancelled.
void writeMedia(const QString& source, const QString& destination, const QList<MetaField>& fields, bool strip,
                Job& job);

} // namespace MetadataEngine
