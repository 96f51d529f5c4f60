#include "engines/metadata/heavy/pngchunks.h"

#include "engines/metadata/heavy/locationblocks.h"
#include "engines/metadata/heavy/locationrule.h"

#include <QByteArrayList>
#include <QtEndian>
#include <zlib.h>

namespace {

// A profile larger than this once inflated is taken for unreadable.
constexpr qsizetype largestText = 64 << 20;

QByteArray chunk(const QByteArray& type, const QByteArray& data)
{
    QByteArray out(4, '\0');
    qToBigEndian(quint32(data.size()), out.data());
    out += type + data;
    const QByteArray covered = type + data;
    QByteArray crc(4, '\0');
    qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(covered.constData()), uInt(covered.size()))),
                 crc.data());
    return out + crc;
}

std::optional<QByteArray> inflated(const QByteArray& data)
{
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return std::nullopt;
    QByteArray out;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = uInt(data.size());
    int status = Z_OK;
    while (status == Z_OK && out.size() <= largestText) {
        char buffer[65536];
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        status = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, qsizetype(sizeof buffer - z.avail_out));
        if (status == Z_BUF_ERROR && z.avail_in == 0) break;
    }
    inflateEnd(&z);
    if (status != Z_STREAM_END) return std::nullopt;
    return out;
}

QByteArray deflated(const QByteArray& data)
{
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(data.constData()), uLong(data.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
        return {};
    out.truncate(qsizetype(size));
    return out;
}

// The bytes of ImageMagick's raw profile text: a line feed, the type, the length in decimal, and
// the bytes in hexadecimal over lines of 72 digits.
std::optional<QByteArray> fromRawProfile(const QByteArray& text)
{
    const QList<QByteArray> lines = text.trimmed().split('\n');
    if (lines.size() < 2) return std::nullopt;
    bool ok = false;
    const qsizetype length = lines[1].trimmed().toLongLong(&ok);
    if (!ok || length < 0) return std::nullopt;
    QByteArray hex;
    for (qsizetype i = 2; i < lines.size(); ++i)
        hex += lines[i].trimmed();
    const QByteArray bytes = QByteArray::fromHex(hex);
    if (bytes.size() < length || hex.size() != 2 * bytes.size()) return std::nullopt;
    return bytes.left(length);
}

QByteArray toRawProfile(const QByteArray& type, const QByteArray& bytes)
{
    QByteArray out = "\n" + type + "\n" + QByteArray::number(bytes.size()).rightJustified(8, ' ') + "\n";
    const QByteArray hex = bytes.toHex();
    for (qsizetype at = 0; at < hex.size(); at += 72)
        out += hex.mid(at, 72) + "\n";
    return out;
}

// A raw profile's bytes without the location, by what the profile holds.
std::optional<QByteArray> profileWithoutLocation(const QByteArray& type, const QByteArray& bytes,
                                                 LocationRule& rule)
{
    if (type == "exif" || type == "app1") return LocationBlocks::exif(bytes, rule);
    if (bytes.startsWith("8BIM")) return LocationBlocks::photoshop(bytes, rule);
    if (type == "iptc") return LocationBlocks::iptc(bytes, rule);
    if (type == "8bim") return LocationBlocks::photoshop(bytes, rule);
    if (type == "xmp") return LocationBlocks::xmp(bytes, rule);
    return std::nullopt;
}

// A text chunk's keyword, where its text starts, and whether that text is compressed.
struct Text
{
    QByteArray keyword;
    qsizetype textAt;
    bool compressed;
};

std::optional<Text> textOf(const QByteArray& kind, const QByteArray& data)
{
    const qsizetype end = data.indexOf('\0');
    if (end < 0) return std::nullopt;
    if (kind == "tEXt") return Text{data.left(end), end + 1, false};
    if (kind == "zTXt") return Text{data.left(end), end + 2, true};
    // iTXt: flag and method, then a language tag and a translated keyword, each ended by a zero.
    const qsizetype language = data.indexOf('\0', end + 3);
    const qsizetype translated = language < 0 ? -1 : data.indexOf('\0', language + 1);
    if (end + 3 > data.size() || translated < 0) return std::nullopt;
    return Text{data.left(end), translated + 1, data[end + 1] != '\0'};
}

// The text chunk of `kind` with `data` without the location: none when it holds none, empty
// when the chunk goes. A chunk of plain text goes when its keyword or its text is location.
std::optional<QByteArray> textWithoutLocation(const QByteArray& kind, const QByteArray& data,
                                              LocationRule& rule)
{
    const std::optional<Text> text = textOf(kind, data);
    if (!text) return std::nullopt;
    const QByteArray keyword = text->keyword.toLower();
    const bool xmpChunk = keyword == "xml:com.adobe.xmp";
    const bool profile = keyword.startsWith("raw profile type ");
    const QByteArray stored = data.mid(text->textAt);
    const std::optional<QByteArray> plain = text->compressed ? inflated(stored) : stored;
    if (!xmpChunk && !profile) {
        const QString name = QString::fromLatin1(text->keyword);
        const QString value =
            plain ? (kind == "iTXt" ? QString::fromUtf8(*plain) : QString::fromLatin1(*plain)) : QString();
        rule.learn(name, value);
        return !plain || rule.isLocation(name, value) ? std::optional(QByteArray()) : std::nullopt;
    }
    if (!plain) return QByteArray();
    const QByteArray type = keyword.mid(17);
    std::optional<QByteArray> bytes = xmpChunk ? std::optional(*plain) : fromRawProfile(*plain);
    if (!bytes) return QByteArray();
    const std::optional<QByteArray> kept =
        xmpChunk ? LocationBlocks::xmp(*bytes, rule) : profileWithoutLocation(type, *bytes, rule);
    if (!kept || kept->isEmpty()) return kept;
    const QByteArray written = xmpChunk ? *kept : toRawProfile(type, *kept);
    if (kind == "iTXt") // uncompressed, with the language and translated keyword it had
        return chunk(kind, data.left(text->keyword.size() + 1) + QByteArray(2, '\0') +
                               data.mid(text->keyword.size() + 3, text->textAt - text->keyword.size() - 3) +
                               written);
    const QByteArray body = kind == "zTXt" ? QByteArray(1, '\0') + deflated(written) : written;
    return chunk(kind, text->keyword + '\0' + body);
}

// Calls `visit` with each chunk's type, its data and the whole chunk, up to IEND; false when
// the chunks cannot be followed.
template <class Visit> bool walk(const QByteArray& data, Visit visit)
{
    if (!data.startsWith("\x89PNG\r\n\x1A\n")) return false;
    for (qsizetype at = 8; at + 12 <= data.size();) {
        const qsizetype length = qFromBigEndian<quint32>(data.constData() + at);
        const qsizetype end = at + 12 + length;
        if (length < 0 || end > data.size()) return false;
        const QByteArray kind = data.mid(at + 4, 4);
        visit(kind, data.mid(at + 8, length), data.mid(at, end - at));
        if (kind == "IEND") return true;
        at = end;
    }
    return false;
}

} // namespace

namespace PngChunks {

std::optional<QByteArray> pictureOnly(const QByteArray& data)
{
    static const QByteArrayList kept{"IHDR", "PLTE", "IDAT", "IEND", "tRNS", "gAMA", "cHRM", "sRGB",
                                     "iCCP", "cICP", "sBIT", "pHYs", "acTL", "fcTL", "fdAT"};
    QByteArray out = data.left(8);
    const bool ended = walk(data, [&](const QByteArray& kind, const QByteArray&, const QByteArray& whole) {
        if (kept.contains(kind)) out += whole;
    });
    return ended ? std::optional(out) : std::nullopt;
}

std::optional<QByteArray> withoutLocation(const QByteArray& data, LocationRule& rule)
{
    QByteArray out = data.left(8);
    bool changed = false;
    const bool ended =
        walk(data, [&](const QByteArray& kind, const QByteArray& body, const QByteArray& whole) {
            std::optional<QByteArray> kept;
            if (kind == "eXIf") {
                kept = LocationBlocks::exif(body, rule);
                if (kept && !kept->isEmpty()) kept = chunk(kind, *kept);
            } else if (kind == "tEXt" || kind == "zTXt" || kind == "iTXt") {
                kept = textWithoutLocation(kind, body, rule);
            }
            changed = changed || kept;
            out += kept.value_or(whole);
        });
    if (!ended) return std::nullopt;
    return changed ? out : data;
}

} // namespace PngChunks
