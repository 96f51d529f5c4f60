#include "engines/archive/gzip.h"

#include "core/checkedfile.h"
#include "core/converterror.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <deque>
#include <future>
#include <zlib.h>

namespace {

constexpr qint64 blockSize = qint64(1) << 20;
// Deflate looks back at most this far, so priming a block with this much of the one before
// compresses it as well as one long stream would.
constexpr qsizetype dictionarySize = 32768;
constexpr int level = 6;

struct Deflated
{
    QByteArray bytes;
    uLong crc = 0;
    qint64 inputSize = 0;
};

[[noreturn]] void fail(const QString& reason)
{
    throw ConvertError::failed(QStringLiteral("Couldn’t compress the archive: %1").arg(reason));
}

// Raw deflate of one block. Every block but the last ends on a byte boundary with an empty stored
// block (a sync flush), so that the blocks simply follow each other in the one stream.
Deflated deflateBlock(const QByteArray& input, const QByteArray& dictionary, bool last)
{
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        fail(QStringLiteral("zlib can’t start"));
    if (!dictionary.isEmpty())
        deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.constData()),
                             uInt(dictionary.size()));
    Deflated result;
    result.bytes.resize(qsizetype(deflateBound(&z, uLong(input.size()))) + 64);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.constData()));
    z.avail_in = uInt(input.size());
    qsizetype produced = 0;
    for (;;) {
        if (produced == result.bytes.size()) result.bytes.resize(result.bytes.size() * 2);
        z.next_out = reinterpret_cast<Bytef*>(result.bytes.data() + produced);
        z.avail_out = uInt(result.bytes.size() - produced);
        const int status = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
        produced = result.bytes.size() - z.avail_out;
        if (status == Z_STREAM_END) break;
        if (status != Z_OK && status != Z_BUF_ERROR) {
            deflateEnd(&z);
            fail(QStringLiteral("zlib failed"));
        }
        if (!last && z.avail_in == 0 && z.avail_out > 0) break;
    }
    deflateEnd(&z);
    result.bytes.truncate(produced);
    result.crc = crc32(0, reinterpret_cast<const Bytef*>(input.constData()), uInt(input.size()));
    result.inputSize = input.size();
    return result;
}

QByteArray littleEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xff);
    return bytes;
}

class Writer
{
  public:
    Writer(const QString& input, const QString& output) : m_in(input), m_out(output)
    {
        if (!m_in.open(QIODevice::ReadOnly)) fail(m_in.errorString());
    }

    void run()
    {
        static const char header[] = {'\x1f', '\x8b', 8, 0, 0, 0, 0, 0, 0, 3};
        write(QByteArray(header, sizeof header));
        const size_t inFlight = size_t(qMax(1, QThread::idealThreadCount())) * 2;
        QByteArray previous, current = readBlock();
        for (;;) {
            const QByteArray following = current.size() == blockSize ? readBlock() : QByteArray();
            const bool last = following.isEmpty();
            m_pending.push_back(
                std::async(std::launch::async, deflateBlock, current, previous.right(dictionarySize), last));
            if (m_pending.size() >= inFlight) writeFirst();
            if (last) break;
            previous = current;
            current = following;
        }
        while (!m_pending.empty())
            writeFirst();
        write(littleEndian32(quint32(m_crc)) + littleEndian32(quint32(m_total)));
        m_out.finish();
    }

  private:
    QByteArray readBlock()
    {
        QByteArray block = m_in.read(blockSize);
        if (m_in.error() != QFileDevice::NoError) fail(m_in.errorString());
        return block;
    }

    void write(const QByteArray& bytes)
    {
        if (m_out.write(bytes) != bytes.size()) m_out.finish();
    }

    void writeFirst()
    {
        const Deflated block = m_pending.front().get();
        m_pending.pop_front();
        write(block.bytes);
        m_crc = crc32_combine(m_crc, block.crc, z_off_t(block.inputSize));
        m_total += block.inputSize;
    }

    QFile m_in;
    CheckedFile m_out;
    std::deque<std::future<Deflated>> m_pending;
    uLong m_crc = crc32(0, nullptr, 0);
    qint64 m_total = 0;
};

} // namespace

namespace Gzip {

void compressFile(const QString& input, const QString& output)
{
    Writer(input, output).run();
}

} // namespace Gzip
