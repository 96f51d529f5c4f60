#pragma once

#include "engines/image/pngrows.h"

#include <QByteArray>

// A band of an image's rows, filtered and deflated on its own as one piece of the image's zlib
// stream, already framed as IDAT chunks. The pieces of an image, written in order, make one
// stream: the first begins with the zlib header, every other but the last ends on a byte
// boundary (a sync flush), and the last ends the deflate data and leaves its final chunk open
// for the stream's checksum, which only the whole image gives.
class PngStrip
{
  public:
    // Rows [first, end) of `rows` at zlib level 4; `last` when `end` is the image's height.
    // Throws ConvertError when zlib fails.
    static PngStrip deflate(PngRows::Filterer& rows, int first, int end, bool last);

    // Adler-32 and length of the filtered bytes this strip holds.
    quint32 adler() const { return m_adler; }
    qint64 length() const { return m_length; }

    // The last strip only: ends the stream with `adler`, the checksum of every strip's filtered
    // bytes, and closes the final chunk.
    void endStream(quint32 adler);

    // Whole chunks, ready to write (for the last strip, once endStream() was called).
    const QByteArray& bytes() const { return m_bytes; }

  private:
    PngStrip() = default;
    // Space for at least one byte in the open chunk, opening one when none is open or it is full.
    uchar* room(qsizetype& size);
    void append(const uchar* data, qsizetype size);
    void closeChunk();

    QByteArray m_bytes;
    qsizetype m_used = 0;     // bytes of m_bytes filled; the rest is spare room
    qsizetype m_chunkAt = -1; // where the open chunk begins, or -1
    quint32 m_adler = 1;
    qint64 m_length = 0;
};
