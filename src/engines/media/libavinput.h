#pragma once

#include "engines/media/chapters.h"
#include "engines/media/libavapi.h"
#include "engines/media/mediastreams.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>
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
    // Seeks where ffmpeg does for a -ss of `seconds` before this input: that far from the file's
    // start, a little earlier where the stored times are decoding times of a picture with delayed
    // frames (its own margin). Gives the file's start in seconds, which -ss counts from.
    double seekAsFfmpeg(double seconds) const;

    // Every stream and every chapter as ffprobe's -show_streams and -show_chapters list them and
    // Media::parseStreams and Chapters::parse read them back; none for a file not opened.
    QList<Media::Stream> streams() const;
    QList<Chapters::Chapter> chapters() const;

    static bool isCover(const AVStream* s);
    // A time as ffprobe prints it ("%f" seconds); none where it prints "N/A".
    static std::optional<double> printedSeconds(int64_t ts, AVRational base);
    // The demuxer that reads files written in the format `key` ("mp4", "mkv", …); none for a key
    // not listed, which is probed.
    static const AVInputFormat* demuxerFor(const LibAvApi& api, const QString& key);

  private:
    const LibAvApi& m_api;
    AVFormatContext* m_context = nullptr;
};
