#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// ffmpeg writes a song's comment and its lyrics into an ID3 tag as user-defined text frames
// (TXXX "comment", TXXX "lyrics-eng", TXXX "USLT"), where players and taggers look for them in
// COMM and USLT frames, so they would seem lost. These functions move them into those frames.
namespace Id3Frames {

// `tag`, a whole ID3v2.3 or 2.4 tag from its "ID3" header to the end of its padding, with the
// first TXXX frame named "comment" (any case) turned into a COMM frame and the first named
// "lyrics", "lyrics-xxx", "USLT" or "UNSYNCEDLYRICS" into a USLT frame (language xxx, or "XXX",
// the ID3 word for an unknown one), each with an empty description. The tag keeps its size: the
// new frames are shorter, and its padding takes up the difference. Nullopt when there is
// nothing to move, when the tag already holds such a frame, and for a tag it won't take apart:
// unsynchronised, compressed or encrypted frames, an extended header, a size that runs past it.
std::optional<QByteArray> mended(const QByteArray& tag);

// The same on the file at `path`, in place: the ID3 tag at the start of an MP3, or the ID3 chunk
// of an AIFF. A file with neither is left as it is. Throws Output::writeFailure() when the file
// can't be read or written back.
void mendFile(const QString& path);

} // namespace Id3Frames
