#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <thread>

// A stretch of a file decoded by ffmpeg to 16-bit stereo PCM at 48000 Hz on a thread of its
// own, kept at most `ahead` bytes in front of the reader: the decoder waits while the reader is
// that far behind, so a long file never sits in memory. Destroying the stream ends the decoder.
// The reader's calls belong to one thread.
class PcmStream
{
  public:
    static constexpr int rate = 48000;
    static constexpr int channels = 2;
    static constexpr int bytesPerFrame = 4;
    static constexpr qsizetype ahead = rate * bytesPerFrame; // one second

    // From `from` seconds, for `length` seconds or to the end.
    PcmStream(const QString& path, double from, std::optional<double> length);
    ~PcmStream();
    PcmStream(const PcmStream&) = delete;
    PcmStream& operator=(const PcmStream&) = delete;

    // ffmpeg's arguments after the program: quiet, no standard input, the input guarded.
    static QStringList args(const QString& path, double from, std::optional<double> length);

    // Up to `max` decoded bytes, in whole frames; empty when none are waiting.
    QByteArray take(qsizetype max);
    qsizetype waiting() const;
    // The decoder has ended and everything it gave has been taken.
    bool atEnd() const;
    // Why the decoder ended without giving a byte; none while it runs or when it gave any.
    std::optional<QString> failure() const;

  private:
    struct Shared;
    // The decoder's thread: runs ffmpeg into the shared buffer until it ends or is cancelled.
    static void decode(const std::shared_ptr<Shared>& shared, const QStringList& args);

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};
