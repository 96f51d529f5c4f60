#pragma once

#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

// The header of a RIFF WAVE file, read without the media libraries.
namespace WaveHeader {

// One chunk of a RIFF WAVE file: its id, where its body begins, and the size its header gives
// (which may reach past the end of a file broken off).
struct Chunk
{
    QByteArray id;
    qint64 at = 0;
    quint32 size = 0;
};
// The chunks of the RIFF WAVE file open in `file`, in order and at most 256, up to the one that
// ends the file or the end of the last whole chunk header; `whole` tells whether every chunk
// header was whole. None when the file is no RIFF WAVE file.
struct Chunks
{
    QList<Chunk> list;
    bool whole = true;
};
std::optional<Chunks> chunks(QFile& file);

// How long the sound of the WAVE file at `path` lasts as its header promises, in seconds, when
// its data chunk is said to reach past the end of the file (a copy or download broken off);
// none otherwise, and for a header that leaves the size open (a file written as it streamed).
std::optional<double> promisedSeconds(const QString& path);

// What a broadcast WAVE file's bext chunk holds that a copy must be told again: ffmpeg reads the
// whole chunk as tags and writes it back from them (-write_bext), but drops the time of day it
// was recorded on the way, and a cut moves the time reference.
struct Broadcast
{
    QString originationTime;   // "10:20:30"; empty when unset
    quint64 timeReference = 0; // the samples since midnight at which the sound begins
};

// The bext chunk of the RIFF WAVE file at `path`; none when it has none.
std::optional<Broadcast> broadcast(const QString& path);

// The ffmpeg output options that write the bext chunk of the WAVE file `source` into a WAVE
// result, with its time reference moved on by `skipped` samples (where a cut begins); nothing
// when the source has none. The rest of the chunk comes from the source's tags, which the result
// must keep (-map_metadata).
QStringList keptBroadcast(const QString& source, quint64 skipped = 0);

} // namespace WaveHeader
