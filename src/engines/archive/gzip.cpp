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

} // namespace

namespace Gzip {

// Full blocks are deflated as they fill, at most two per core at a time, and written in order;
// the last, possibly empty, block ends the stream.
class Stream::Writer
{
  public:
    explicit Writer(const QString& output) : m_out(output)
    {
        static const char header[] = {'\x1f', '\x8b', 8, 0, 0, 0, 0, 0, 0, 3};
        writeOut(QByteArray(header, sizeof header));
        m_current.reserve(blockSize);
    }

    void write(const char* data, qint64 size)
    {
        while (size > 0) {
            const qint64 room = blockSize - m_current.size();
            const qint64 taken = std::min(room, size);
            m_current.append(data, taken);
            data += taken;
            size -= taken;
            if (m_current.size() == blockSize) submit(false);
        }
    }

    void finish()
    {
        submit(true);
        while (!m_pending.empty())
            writeFirst();
        writeOut(littleEndian32(quint32(m_crc)) + littleEndian32(quint32(m_total)));
        m_out.finish();
    }

  private:
    void submit(bool last)
    {
        m_pending.push_back(
            std::async(std::launch::async, deflateBlock, m_current, m_previous.right(dictionarySize), last));
        m_previous = m_current;
        m_current = QByteArray();
        m_current.reserve(blockSize);
        if (m_pending.size() >= size_t(qMax(1, QThread::idealThreadCount())) * 2) writeFirst();
    }

    void writeOut(const QByteArray& bytes)
    {
        if (m_out.write(bytes) != bytes.size()) m_out.finish();
    }

    void writeFirst()
    {
        const Deflated block = m_pending.front().get();
        m_pending.pop_front();
        writeOut(block.bytes);
        m_crc = crc32_combine(m_crc, block.crc, z_off_t(block.inputSize));
        m_total += block.inputSize;
    }

    CheckedFile m_out;
    QByteArray m_previous, m_current;
    std::deque<std::future<Deflated>> m_pending;
    uLong m_crc = crc32(0, nullptr, 0);
    qint64 m_total = 0;
};

Stream::Stream(const QString& output) : m_writer(std::make_unique<Writer>(output)) {}

Stream::~Stream() = default;

void Stream::write(const char* data, qint64 size)
{
    m_writer->write(data, size);
}

void Stream::finish()
{
    m_writer->finish();
}

void compressFile(const QString& input, const QString& output)
{
    QFile in(input);
    if (!in.open(QIODevice::ReadOnly)) fail(in.errorString());
    Stream out(output);
    for (;;) {
        const QByteArray block = in.read(blockSize);
        if (in.error() != QFileDevice::NoError) fail(in.errorString());
        if (block.isEmpty()) break;
        out.write(block.constData(), block.size());
    }
    out.finish();
}

} // namespace Gzip
