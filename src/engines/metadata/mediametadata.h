#pragma once

#include "engines/metadata/metafield.h"

class Job;

// The tags of audio and video files, read with ffprobe and written by an ffmpeg stream copy.
namespace MetadataEngine {

// Title, Artist, Album, Year, Genre, Comments (keys "title", "artist", "album", "date",
// "genre", "comment"), from the container's tags whatever their letter case. Never fails: what
// cannot be read is empty. ffprobe gets at most a few seconds.
QList<MetaField> mediaFields(const QString& path);

// ffmpeg's arguments (after its fixed prefix) for the copy. Stripped: only the real video and
// audio streams, copied, without any tag or chapter (attached pictures, subtitles, data and
// attachments are left behind, since they carry tags and locations of their own). Edited: every
// stream copied with its tags, and each of `fields` set ("" clears that tag).
QStringList mediaArgs(const QString& source, const QString& destination, const QList<MetaField>& fields,
                      bool strip);

// Writes that copy at `destination`; throws ffmpeg's failures and Cancelled.
void writeMedia(const QString& source, const QString& destination, const QList<MetaField>& fields, bool strip,
                Job& job);

} // namespace MetadataEngine
