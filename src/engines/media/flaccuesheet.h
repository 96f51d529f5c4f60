#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The cue sheet of a FLAC file (its CUESHEET metadata block: the tracks of a disc or a recording,
// each at a sample offset), which ffmpeg reads as chapters but does not write: a FLAC result
// takes it over from its source here.
namespace FlacCueSheet {

// The body of the cue sheet of the FLAC file at `path` (after a leading ID3 tag, if any); none
// when it has none or is no FLAC file.
std::optional<QByteArray> read(const QString& path);

// The cue sheet `body` of a source for a result that holds the source's samples `from` to `to`:
// the tracks that reach into that stretch, their offsets and index points counted from `from`,
// a track cut into starting at 0, and the lead-out at the result's end. A disc's cue sheet that is
// cut no longer describes a disc, and says so. `body` as it is when nothing is cut away; none
// when no track reaches into the stretch or the body can't be read.
std::optional<QByteArray> cut(const QByteArray& body, qint64 from, qint64 to);

// The bytes of padding a FLAC file needs after its other metadata to take `body` in.
int room(const QByteArray& body);

// Writes `body` as the cue sheet of the FLAC file at `path`, in place of the start of its last
// padding block. False when the file holds no padding block with room for it, or already has a
// cue sheet; throws Output::writeFailure() when the file can't be read or written.
bool write(const QString& path, const QByteArray& body);

} // namespace FlacCueSheet
