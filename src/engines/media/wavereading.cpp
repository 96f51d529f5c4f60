#include "engines/media/wavereading.h"

#include "engines/media/waveheader.h"

#include <QByteArray>
#include <QFile>
#include <QtEndian>

namespace {

// The tail of the GUID an extended format names its coding by, after the coding's own number:
// xxxxxxxx-0000-0010-8000-00aa00389b71.
constexpr char subtypeTail[] = "\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71";

// ffmpeg's name for samples coded as `coding` (the format's number) with `bits` each, where
// the libraries name them by those alone; empty for any other.
QString codecFor(quint16 coding, quint16 bits)
{
    if (coding == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32))
        return bits == 8 ? QStringLiteral("pcm_u8") : QStringLiteral("pcm_s%1le").arg(bits);
    if (coding == 3 && (bits == 32 || bits == 64)) return QStringLiteral("pcm_f%1le").arg(bits);
    if ((coding == 6 || coding == 7) && bits == 8)
        return coding == 6 ? QStringLiteral("pcm_alaw") : QStringLiteral("pcm_mulaw");
    return {};
}

// How ffprobe prints a codec tag: letters, digits and ". -_" as they are, other bytes as "[n]".
QString printedTag(quint32 tag)
{
    QString out;
    for (int i = 0; i < 4; ++i, tag >>= 8) {
        const char c = char(tag & 0xff);
        const bool printable = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                               (c && strchr(". -_", c));
        out += printable ? QString(QLatin1Char(c)) : QStringLiteral("[%1]").arg(int(quint8(c)));
    }
    return out;
}

// Whether the start of the samples holds the sync words of an S/PDIF burst, in either byte order,
// which the libraries take for the codec the bursts carry.
bool mayBeSpdif(QFile& file, qint64 at, qint64 size)
{
    if (!file.seek(at)) return true;
    const QByteArray head = file.read(std::min<qint64>(size, 1 << 16));
    return head.contains(QByteArrayLiteral("\x72\xf8\x1f\x4e")) ||
           head.contains(QByteArrayLiteral("\xf8\x72\x4e\x1f"));
}

} // namespace

namespace WaveReading {

std::optional<LibAv::Reading> read(const QString& path)
{
    QFile file(path);
    const std::optional<WaveHeader::Chunks> all =
        file.open(QIODevice::ReadOnly) ? WaveHeader::chunks(file) : std::nullopt;
    if (!all || !all->whole || all->list.size() == 256) return std::nullopt;
    QByteArray format;
    qint64 dataAt = -1, dataSize = 0;
    // Every chunk, the ones after the samples too: the libraries read those of a file they can seek in.
    for (const WaveHeader::Chunk& c : all->list) {
        if (c.id == "fmt ") {
            if (!format.isEmpty() || dataAt >= 0 || c.size < 16 || c.size > 64 || !file.seek(c.at))
                return std::nullopt;
            format = file.read(c.size);
            if (format.size() != qint64(c.size)) return std::nullopt;
        } else if (c.id == "data") {
            if (format.isEmpty() || dataAt >= 0 || c.size == 0 || c.size == 0xFFFFFFFFu ||
                c.at + qint64(c.size) > file.size())
                return std::nullopt;
            dataAt = c.at;
            dataSize = c.size;
        } else if (c.id == "id3 " || c.id == "ID3 " || c.id == "SMV0" || c.id == "ds64" || c.id == "cue ") {
            // Tags that may hold lyrics, a film beside the sound, sizes kept elsewhere, marks.
            return std::nullopt;
        }
    }
    if (dataAt < 0) return std::nullopt;

    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(format.constData() + at); };
    const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(format.constData() + at); };
    quint16 coding = u16(0);
    const int channels = u16(2);
    const int rate = int(u32(4));
    const quint16 bits = u16(14);
    if (coding == 0xFFFE) {
        // The extended format: its valid bits and its coding by GUID.
        if (format.size() < 40 || u16(16) < 22 || (u16(18) != 0 && u16(18) != bits) ||
            format.mid(28, 12) != QByteArray(subtypeTail, 12) || u16(26) != 0)
            return std::nullopt;
        coding = u16(24);
    }
    const QString codec = codecFor(coding, bits);
    if (codec.isEmpty() || channels <= 0 || rate <= 0 || rate > 768000) return std::nullopt;
    if (codec == QLatin1String("pcm_s16le") && channels == 2 && mayBeSpdif(file, dataAt, dataSize))
        return std::nullopt;

    const qint64 samples = dataSize * 8 / (qint64(channels) * bits);
    LibAv::Reading r;
    // As the libraries state it: the stream's length in its own time base, the file's rounded to
    // the microsecond and printed as ffprobe prints it.
    r.audioSeconds = double(samples) * (1.0 / rate);
    const qint64 micro = (samples * 1000000 + rate / 2) / rate;
    r.probe.duration = QString::asprintf("%f", double(micro) / 1000000).toDouble();
    r.probe.audioCodec = codec;
    r.probe.channels = channels;
    r.probe.sampleRate = rate;
    Media::Stream sound;
    sound.kind = Media::Stream::Kind::audio;
    sound.codec = codec;
    sound.sampleRate = rate;
    sound.bits = bits;
    sound.codecTag = printedTag(coding);
    r.streams << sound;
    return r;
}

} // namespace WaveReading
