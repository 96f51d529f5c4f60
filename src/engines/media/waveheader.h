#pragma once

#include <QString>
#include <optional>

// The header of a RIFF WAVE file, read without the media libraries.
namespace WaveHeader {

// How long the sound of the WAVE file at `path` lasts as its header promises, in seconds, when
// its data chunk is said to reach past the end of the file (a copy or download broken off);
// none otherwise, and for a header that leaves the size open (a file written as it streamed).
std::optional<double> promisedSeconds(const QString& path);

} // namespace WaveHeader
