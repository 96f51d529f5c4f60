#pragma once

#include "engines/media/libav.h"

#include <QString>
#include <optional>

// A WAVE file of plain samples read from its header alone, giving what LibAv::read gives for it,
// so that converting one never loads ffmpeg's libraries: loading them costs many times more
// processor time than reading the file's header.
namespace WaveReading {

// None for any other file, and for every WAVE file whose reading could come out otherwise than
// the libraries': samples coded in any other way than integer or floating-point PCM, A-law or
// µ-law; an extended format whose valid bits differ from its sample size; an ID3 chunk (its
// lyrics are read); 16-bit stereo that may carry S/PDIF frames of another codec; a data chunk that
// leaves its size open or reaches past the end of the file; a big-endian or 64-bit RIFF file.
std::optional<LibAv::Reading> read(const QString& path);

} // namespace WaveReading
