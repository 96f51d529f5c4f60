#include "engines/metadata/heavy/gifblocks.h"

#include "engines/metadata/heavy/locationblocks.h"
#include "engines/metadata/heavy/locationrule.h"

#include <utility>

namespace {

const QByteArray xmpApplication = "XMP DataXMP";

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

// XMP is written raw after its application's name, followed by a trailer of 258 bytes (1, 255
// down to 0, and the terminator) that lets a reader walk it as sub-blocks.
QByteArray xmpTrailer()
{
    QByteArray out(1, '\x01');
    for (int i = 255; i >= 0; --i)
        out += char(i);
    return out + '\0';
}

// Hands `visit` each extension (label, application name for an application block, where it
// starts and ends) and image (label 0x2C) in order, and returns what `visit` made of them
// between the header and the trailer; none when the blocks cannot be followed.
template <class Visit> std::optional<QByteArray> rebuild(const QByteArray& data, Visit visit)
{
    if (data.size() < 13 || !(data.startsWith("GIF87a") || data.startsWith("GIF89a"))) return std::nullopt;
    qsizetype at = 13 + colourTableBytes(quint8(data[10]));
    QByteArray out = data.left(at);
    while (at < data.size()) {
        const quint8 kind = quint8(data[at]);
        if (kind == 0x3B) return out + char(0x3B);
        qsizetype end = 0;
        quint8 label = 0x2C;
        if (kind == 0x21) {
            if (at + 2 > data.size()) return std::nullopt;
            label = quint8(data[at + 1]);
            const std::optional<qsizetype> next = skipSubBlocks(data, at + 2);
            if (!next) return std::nullopt;
            end = *next;
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
        out += visit(label, label == 0xFF ? data.mid(at + 3, 11) : QByteArray(), at, end);
        at = end;
    }
    return std::nullopt;
}

} // namespace

namespace GifBlocks {

std::optional<QByteArray> pictureOnly(const QByteArray& data)
{
    // A frame's timing waits for the frame it belongs to, and goes with a block that goes.
    QByteArray control;
    return rebuild(data, [&](quint8 label, const QByteArray& application, qsizetype at, qsizetype end) {
        const QByteArray block = data.mid(at, end - at);
        if (label == 0xF9) {
            control = block;
            return QByteArray();
        }
        if (label == 0x2C) return std::exchange(control, QByteArray()) + block;
        if (label == 0x01) control.clear(); // text drawn over the picture, which no viewer shows
        const bool loop = label == 0xFF && (application == "NETSCAPE2.0" || application == "ANIMEXTS1.0");
        return loop ? block : QByteArray();
    });
}

std::optional<QByteArray> withoutLocation(const QByteArray& data, LocationRule& rule)
{
    static const QByteArray trailer = xmpTrailer();
    bool changed = false;
    const std::optional<QByteArray> out =
        rebuild(data, [&](quint8 label, const QByteArray& application, qsizetype at, qsizetype end) {
            const QByteArray block = data.mid(at, end - at);
            if (label == 0xFE) {
                QByteArray text; // the comment's sub-blocks, each after its length
                for (qsizetype i = 2; i < block.size() && block[i] != '\0'; i += 1 + quint8(block[i]))
                    text += block.mid(i + 1, quint8(block[i]));
                const bool location = rule.holdsLocation(QString::fromUtf8(text));
                changed = changed || location;
                return location ? QByteArray() : block;
            }
            if (label != 0xFF || application != xmpApplication) return block;
            const qsizetype packetAt = 14;
            const std::optional<QByteArray> kept =
                block.endsWith(trailer) && block.size() >= packetAt + trailer.size()
                    ? LocationBlocks::xmp(block.mid(packetAt, block.size() - packetAt - trailer.size()), rule)
                    : std::optional(QByteArray());
            if (!kept) return block;
            changed = true;
            return kept->isEmpty() ? QByteArray() : block.left(packetAt) + *kept + trailer;
        });
    if (!out) return std::nullopt;
    return changed ? *out : data;
}

} // namespace GifBlocks
