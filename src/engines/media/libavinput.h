#pragma once

#include "engines/media/libavapi.h"

#include <QString>
#include <cstdint>
#include <utility>

// A media file opened with ffmpeg's libraries, closed when it goes out of scope; null when it
// can't be opened. Nothing the file names is opened: only the file protocol and the media
// demuxers are allowed.
class LibAvInput
{
  public:
    // With `streamInfo` its first packets are decoded as ffprobe does (ffprobe gives up on a file
    // when that fails); without, only its header is read. `format` reads it as that format
    // rather than probing; `quick` probes only its streams' first 32 KiB or 0.2 s.
    LibAvInput(const LibAvApi& api, const QString& path, bool streamInfo,
               const AVInputFormat* format = nullptr, bool quick = false);
    ~LibAvInput();
    LibAvInput(const LibAvInput&) = delete;
    LibAvInput& operator=(const LibAvInput&) = delete;

    AVFormatContext* get() const { return m_context; }

    // The first picture stream that is not a cover, and the first sound stream; -1 for none.
    std::pair<int, int> mainStreams() const;
    // The length the header states, from the file or else from its longest stream, in
    // AV_TIME_BASE units; 0 when it states none.
    int64_t headerLength() const;

    static bool isCover(const AVStream* s);
    // The demuxer that reads files written in the format `key` ("mp4", "mkv", …); none for a key
    // not listed, which is probed.
    static const AVInputFormat* demuxerFor(const LibAvApi& api, const QString& key);

  private:
    const LibAvApi& m_api;
    AVFormatContext* m_context = nullptr;
};
