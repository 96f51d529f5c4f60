#pragma once

#include <QString>
#include <memory>

// A gzip writer that uses every core on large files: the input is cut into blocks deflated side
// by side, each primed with the end of the block before, and joined into one ordinary gzip member
// (level 6), which every gzip reader reads.
namespace Gzip {

// Compresses the file `input` into a new file `output`. Throws ConvertError::failed.
void compressFile(const QString& input, const QString& output);

// The same gzip file fed in pieces: bytes given to write() in order, then finish(), which
// completes the file. Without finish() the file is left incomplete. Throws ConvertError::failed.
class Stream
{
  public:
    explicit Stream(const QString& output);
    ~Stream();
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    void write(const char* data, qint64 size);
    void finish();

  private:
    class Writer;
    std::unique_ptr<Writer> m_writer;
};

} // namespace Gzip
