#include "engines/image/pngwriter.h"

#include "core/checkedfile.h"
#include "core/converterror.h"
#include "core/workers.h"
#include "engines/image/iccprofile.h"
#include "engines/image/pngrows.h"
#include "engines/image/pngstrip.h"

#include <QColorSpace>
#include <QThreadPool>
#include <QtEndian>
#include <algorithm>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>
#include <zlib.h>

namespace {

// Strips are 64 rows, or more where rows are narrow: each strip ends a deflate block and starts
// a new one, which costs a few bytes.
constexpr int stripRows = 64;
constexpr qint64 stripBytes = 256 * 1024;

int rowsPerStrip(const PngRows& rows)
{
    return int(std::max<qint64>(stripRows, stripBytes / (rows.rowBytes() + 1)));
}

[[noreturn]] void fail()
{
    throw ConvertError::failed(QStringLiteral("Couldn’t encode PNG"));
}

QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray chunk(const char* type, const QByteArray& data)
{
    QByteArray out = bigEndian(quint32(data.size())) + QByteArray(type, 4) + data;
    const auto* typed = reinterpret_cast<const Bytef*>(out.constData() + 4);
    return out + bigEndian(quint32(crc32(crc32(0, nullptr, 0), typed, uInt(data.size() + 4))));
}

// A profile name as PNG keywords must be: printable Latin-1, single spaces between words, 1 to
// 79 bytes.
QByteArray keyword(const QString& name)
{
    QByteArray out;
    for (const char c : name.toLatin1()) {
        const auto ch = uchar(c);
        const bool printable = (ch > 32 && ch < 127) || ch >= 161;
        if (printable)
            out += c;
        else if (!out.isEmpty() && !out.endsWith(' '))
            out += ' ';
        if (out.size() == 79) break;
    }
    out = out.trimmed();
    return out.isEmpty() ? QByteArrayLiteral("Custom") : out;
}

// The image's colour space as an iCCP chunk, as Qt writes it; none without a colour space or
// when its profile doesn't describe the file's colour type (an RGB profile on grey pixels).
QByteArray iccpChunk(const QImage& image, PngRows::Colour colour)
{
    const QByteArray profile = IccProfile::fitting(
        image, colour == PngRows::Colour::grey ? IccProfile::Model::grey : IccProfile::Model::rgb);
    if (profile.isEmpty()) return {};
    QByteArray packed(qsizetype(compressBound(uLong(profile.size()))), '\0');
    uLongf packedSize = uLongf(packed.size());
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(profile.constData()), uLong(profile.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
        fail();
    packed.truncate(qsizetype(packedSize));
    return chunk("iCCP", keyword(image.colorSpace().description()) + QByteArray(2, '\0') + packed);
}

QByteArray headerChunks(const QImage& image, PngRows::Colour colour)
{
    QByteArray ihdr = bigEndian(quint32(image.width())) + bigEndian(quint32(image.height()));
    ihdr += char(8);
    ihdr += char(colour);
    ihdr += QByteArray(3, '\0'); // deflate, adaptive filtering, no interlacing
    QByteArray out = QByteArrayLiteral("\x89PNG\r\n\x1a\n") + chunk("IHDR", ihdr) + iccpChunk(image, colour);
    if (!image.offset().isNull())
        out += chunk("oFFs", bigEndian(quint32(image.offset().x())) + bigEndian(quint32(image.offset().y())) +
                                 QByteArray(1, '\0'));
    const qint64 x = image.dotsPerMeterX(), y = image.dotsPerMeterY();
    if (x > 0 && y > 0 && x <= INT_MAX && y <= INT_MAX)
        out += chunk("pHYs", bigEndian(quint32(x)) + bigEndian(quint32(y)) + QByteArray(1, '\1'));
    return out;
}

// The strips of one image, made on the worker pool and on the thread that takes them, and taken
// in order. At most twice as many strips as the pool has threads are queued or held at a time,
// so memory stays bounded whatever the image's size. Tasks left in the pool once the image is
// written find nothing to do.
class Strips
{
  public:
    explicit Strips(const PngRows& rows)
        : m_rowsPerStrip(rowsPerStrip(rows)), m_count((rows.height() + m_rowsPerStrip - 1) / m_rowsPerStrip),
          m_window(2 * std::max(1, Workers::pool().maxThreadCount())),
          m_shared(std::make_shared<Shared>(rows, m_rowsPerStrip, m_count))
    {
    }

    // Waits for the strips still being made: none is touched once this returns.
    ~Strips()
    {
        Shared& s = *m_shared;
        std::unique_lock<std::mutex> locked(s.lock);
        for (State& state : s.states)
            if (state == State::waiting) state = State::dropped;
        s.changed.wait(locked, [&] {
            return std::find(s.states.begin(), s.states.end(), State::making) == s.states.end();
        });
    }

    int count() const { return m_count; }

    // Strip `i`: taken in order, each once.
    PngStrip take(int i)
    {
        for (; m_queued < std::min(m_count, i + m_window); ++m_queued)
            if (m_queued > i) // the one asked for now is made here unless a worker is at it
                Workers::pool().start([shared = m_shared, j = m_queued] {
                    if (shared->claim(j)) shared->make(j);
                });
        Shared& s = *m_shared;
        std::unique_lock<std::mutex> locked(s.lock);
        while (s.states[i] != State::made) {
            // Rather than wait, make the first strip no worker has started yet.
            int j = i;
            while (j < m_queued && s.states[j] != State::waiting)
                ++j;
            if (j < m_queued) {
                s.states[j] = State::making;
                locked.unlock();
                s.make(j);
                locked.lock();
            } else {
                s.changed.wait(locked);
            }
        }
        if (s.errors[i]) std::rethrow_exception(s.errors[i]);
        PngStrip strip = std::move(*s.strips[i]);
        s.strips[i].reset();
        return strip;
    }

  private:
    enum class State : quint8 { waiting, making, made, dropped };

    struct Shared
    {
        Shared(const PngRows& rows, int rowsPerStrip, int count)
            : rows(rows), rowsPerStrip(rowsPerStrip), states(count), strips(count), errors(count)
        {
        }

        bool claim(int i)
        {
            const std::lock_guard<std::mutex> locked(lock);
            if (states[i] != State::waiting) return false;
            states[i] = State::making;
            return true;
        }

        // Makes strip `i`, claimed by the caller, and hands it in.
        void make(int i)
        {
            std::optional<PngStrip> strip;
            std::exception_ptr error;
            try {
                PngRows::Filterer filterer(rows);
                const int first = i * rowsPerStrip, end = std::min(rows.height(), first + rowsPerStrip);
                strip = PngStrip::deflate(filterer, first, end, end == rows.height());
            } catch (...) {
                error = std::current_exception();
            }
            const std::lock_guard<std::mutex> locked(lock);
            strips[i] = std::move(strip);
            errors[i] = error;
            states[i] = State::made;
            changed.notify_all();
        }

        const PngRows& rows; // touched only by a strip's maker, which the Strips outlive
        const int rowsPerStrip;
        std::mutex lock;
        std::condition_variable changed;
        std::vector<State> states;
        std::vector<std::optional<PngStrip>> strips;
        std::vector<std::exception_ptr> errors;
    };

    const int m_rowsPerStrip;
    const int m_count;
    const int m_window;
    int m_queued = 0; // strips [0, m_queued) have been queued or taken
    std::shared_ptr<Shared> m_shared;
};

} // namespace

namespace PngWriter {

bool accepts(const QImage& image)
{
    return PngRows::accepts(image);
}

void write(const QImage& image, const QString& path)
{
    if (!accepts(image)) fail();
    const PngRows rows(image);
    CheckedFile file(path);
    const auto put = [&](const QByteArray& bytes) { return file.write(bytes) == bytes.size(); };
    bool written = put(headerChunks(image, rows.colour()));
    Strips strips(rows);
    uLong adler = adler32(0, nullptr, 0);
    for (int i = 0; written && i < strips.count(); ++i) {
        PngStrip strip = strips.take(i);
        adler = adler32_combine(adler, strip.adler(), z_off_t(strip.length()));
        if (i == strips.count() - 1) strip.endStream(quint32(adler));
        written = put(strip.bytes());
    }
    if (written) put(chunk("IEND", {}));
    file.finish();
}

} // namespace PngWriter
