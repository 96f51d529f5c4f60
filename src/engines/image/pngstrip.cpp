#include "engines/image/pngstrip.h"

#include "core/converterror.h"

#include <QtEndian>
#include <algorithm>
#include <vector>
#include <zlib.h>

namespace {

// Data bytes of one IDAT chunk at most: large enough that framing costs nothing, small enough
// for any reader.
constexpr qsizetype chunkData = 256 * 1024;
// Level 4 and the strategy for filtered data, as Qt's encoder deflates: files no larger than
// before. The default strategy is a fifth quicker but made photographs 4 to 8 percent larger.
constexpr int level = 4;
// Deflate refers back at most this far: a strip primed with this much of the rows before it
// compresses as well as one long stream would.
constexpr qsizetype window = 32768;

[[noreturn]] void fail()
{
    throw ConvertError::failed(QStringLiteral("Couldn’t encode PNG"));
}

// The stream header for deflate with a 32 KiB window at a faster-than-default level.
constexpr uchar zlibHeader[] = {0x78, 0x5e};

} // namespace

uchar* PngStrip::room(qsizetype& size)
{
    if (m_chunkAt >= 0 && m_used - m_chunkAt - 8 == chunkData) closeChunk();
    if (m_chunkAt < 0) {
        m_chunkAt = m_used;
        m_used += 8; // length and type, the length filled in on closing
    }
    size = chunkData - (m_used - m_chunkAt - 8);
    if (m_bytes.size() < m_used + size + 4)
        m_bytes.resize(std::max(m_used + size + 4, m_bytes.size() * 3 / 2));
    return reinterpret_cast<uchar*>(m_bytes.data()) + m_used;
}

void PngStrip::append(const uchar* data, qsizetype size)
{
    while (size > 0) {
        qsizetype free = 0;
        uchar* to = room(free);
        const qsizetype n = std::min(free, size);
        std::copy_n(data, n, to);
        m_used += n;
        data += n;
        size -= n;
    }
}

void PngStrip::closeChunk()
{
    if (m_chunkAt < 0) return;
    if (m_used == m_chunkAt + 8) { // nothing was put in it
        m_used = m_chunkAt;
        m_chunkAt = -1;
        return;
    }
    auto* chunk = reinterpret_cast<uchar*>(m_bytes.data()) + m_chunkAt;
    const qsizetype length = m_used - m_chunkAt - 8;
    qToBigEndian(quint32(length), chunk);
    std::copy_n("IDAT", 4, chunk + 4);
    const quint32 crc = quint32(crc32(crc32(0, nullptr, 0), chunk + 4, uInt(length + 4)));
    if (m_bytes.size() < m_used + 4) m_bytes.resize(m_used + 4);
    qToBigEndian(crc, m_bytes.data() + m_used);
    m_used += 4;
    m_chunkAt = -1;
}

PngStrip PngStrip::deflate(PngRows::Filterer& rows, int first, int end, bool last)
{
    PngStrip strip;
    // Photographs deflate to about half their filtered size.
    strip.m_bytes.resize(qsizetype(end - first) * (rows.rowBytes() + 1) / 2 + 64);
    if (first == 0) strip.append(zlibHeader, sizeof zlibHeader);

    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_FILTERED) != Z_OK) fail();
    const qsizetype rowSize = rows.rowBytes() + 1;
    if (first > 0) {
        // The rows before the strip, filtered again as their own strip filtered them.
        const int back = int(std::min<qint64>(first, (window + rowSize - 1) / rowSize));
        std::vector<uchar> before;
        before.reserve(size_t(back * rowSize));
        for (int y = first - back; y < first; ++y) {
            const uchar* row = rows.filtered(y);
            before.insert(before.end(), row, row + rowSize);
        }
        const qsizetype size = std::min<qsizetype>(window, qsizetype(before.size()));
        if (deflateSetDictionary(&z, before.data() + before.size() - size_t(size), uInt(size)) != Z_OK) {
            deflateEnd(&z);
            fail();
        }
    }
    const auto run = [&](int flush) {
        int status = Z_OK;
        do {
            qsizetype free = 0;
            z.next_out = strip.room(free);
            z.avail_out = uInt(free);
            status = ::deflate(&z, flush);
            strip.m_used += free - qsizetype(z.avail_out);
            if (status == Z_STREAM_ERROR) {
                deflateEnd(&z);
                fail();
            }
        } while (z.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
    };
    for (int y = first; y < end; ++y) {
        const uchar* row = rows.filtered(y);
        strip.m_adler = quint32(adler32_z(strip.m_adler, row, size_t(rowSize)));
        strip.m_length += rowSize;
        z.next_in = const_cast<uchar*>(row);
        z.avail_in = uInt(rowSize);
        run(Z_NO_FLUSH);
    }
    run(last ? Z_FINISH : Z_SYNC_FLUSH);
    deflateEnd(&z);
    if (!last) {
        strip.closeChunk();
        strip.m_bytes.truncate(strip.m_used);
    }
    return strip;
}

void PngStrip::endStream(quint32 adler)
{
    uchar bytes[4];
    qToBigEndian(adler, bytes);
    append(bytes, 4);
    closeChunk();
    m_bytes.truncate(m_used);
}
