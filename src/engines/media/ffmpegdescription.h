#pragma once

#include "engines/media/media.h"

#include <QString>
#include <optional>

// How ffmpeg describes its first input and its first output on standard error, at level info,
// read line by line as it runs. Only lines at the description's own fixed indents count, so no
// tag of the file (printed further indented) can pose as one.
struct FfmpegDescription
{
    // The source as ffmpeg read it, once its description is complete: its stated length and the
    // codecs of its first picture stream that is not a cover and its first sound stream. The
    // other fields keep their defaults.
    std::optional<Media::Probe> input;
    QString outputFormat; // the name of the muxer the result is written with
    bool outputVideo = false;
    bool outputAudio = false;

    // One information line, its level tag already removed. Returns true when this line
    // completed the input's description.
    bool add(const QString& line);

  private:
    enum class Section { none, input, output };
    Section m_section = Section::none;
    Media::Probe m_reading;
};
