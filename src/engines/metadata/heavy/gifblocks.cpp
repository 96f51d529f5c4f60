#include "engines/metadata/heavy/gifblocks.h"

namespace {

// The end of the sub-blocks that start at `at`, past their terminator; none when cut short.
std::optional<qsizetype> skipSubBlocks(const QByteArray& data, qsizetype at)
{
    while (at < data.size()) {
        const int length = quint8(data[at]);
        ++at;
        if (length == 0) return at;
        at += length;
    }
    return std::nullopt;
}

int colourTableBytes(quint8 flags)
{
    return (flags & 0x80) ? 3 * (1 << ((flags & 0x07) + 1)) : 0;
}

} // namespace

namespace GifBlocks {

std::optional<QByteArray> withoutTags(const QByteArray& data)
{
    if (data.size() < 13 || !(data.startsWith("GIF87a") || data.startsWith("GIF89a"))) return std::nullopt;
    qsizetype at = 13 + colourTableBytes(quint8(data[10]));
    QByteArray out = data.left(at);
    while (at < data.size()) {
        const quint8 kind = quint8(data[at]);
        if (kind == 0x3B) {
            out += char(0x3B);
            return out;
        }
        qsizetype end = 0;
        bool keep = true;
        if (kind == 0x21) {
            if (at + 2 > data.size()) return std::nullopt;
            const quint8 label = quint8(data[at + 1]);
            const std::optional<qsizetype> next = skipSubBlocks(data, at + 2);
            if (!next) return std::nullopt;
            end = *next;
            if (label == 0xFE) keep = false; // a comment
            if (label == 0xFF) {
                // Only the loop count of an animation is kept; XMP and other tags go.
                const QByteArray id = data.mid(at + 3, 11);
                keep = id == "NETSCAPE2.0" || id == "ANIMEXTS1.0";
            }
        } else if (kind == 0x2C) {
            if (at + 10 > data.size()) return std::nullopt;
            const qsizetype pixels =
                at + 10 + colourTableBytes(quint8(data[at + 9])) + 1; // past the code size
            const std::optional<qsizetype> next = skipSubBlocks(data, pixels);
            if (!next) return std::nullopt;
            end = *next;
        } else {
            return std::nullopt;
        }
        if (end > data.size()) return std::nullopt;
        if (keep) out += data.mid(at, end - at);
        at = end;
    }
    return std::nullopt;
}

} // namespace GifBlocks
