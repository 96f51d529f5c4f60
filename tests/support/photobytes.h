#pragma once

// Photos as other writers lay them out, made from a test's own files, and a search of a file's
// bytes that sees into its compressed and hexadecimal parts.

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QtEndian>
#include <zlib.h>

// Inserts a multi-picture index after the first picture's Exif and appends `second` behind the
// first picture's end, as phones write them.
inline QByteArray withSecondPicture(QByteArray first, const QByteArray& second)
{
    qsizetype at = 2;
    while (quint8(first[at + 1]) != 0xE1)
        at += 2 + qFromBigEndian<quint16>(first.constData() + at + 2);
    at += 2 + qFromBigEndian<quint16>(first.constData() + at + 2);
    QByteArray index("MPF\0MM\0*\0\0\0\x08\0\x03", 14);
    const auto u16 = [&](quint16 v) { index.append(char(v >> 8)).append(char(v)); };
    const auto u32 = [&](quint32 v) { u16(v >> 16), u16(v & 0xFFFF); };
    u16(0xB000), u16(7), u32(4), index.append("0100");
    u16(0xB001), u16(4), u32(1), u32(2);
    u16(0xB002), u16(7), u32(32), u32(8 + 2 + 3 * 12 + 4);
    u32(0);
    const quint32 firstSize = quint32(first.size() + 4 + index.size() + 32);
    const quint32 secondAt = firstSize - quint32(at + 8); // from the index's byte order mark
    u32(0x20030000), u32(firstSize), u32(0), u32(0);
    u32(0x00010001), u32(quint32(second.size())), u32(secondAt), u32(0);
    QByteArray segment("\xFF\xE2", 2);
    segment.append(char((index.size() + 2) >> 8)).append(char(index.size() + 2)).append(index);
    return first.insert(at, segment) + second;
}

// A TIFF whose page 2 is `pageTwo` left where it is and whose page 1, an 8 × 8 grey ramp, is
// appended, so that page 2 keeps the Exif and GPS directories exiftool gave it.
inline QByteArray withPageBefore(QByteArray pageTwo)
{
    const bool little = pageTwo.startsWith("II");
    const auto put = [&](QByteArray& to, quint32 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            to.append(char(little ? v >> (8 * i) : v >> (8 * (bytes - 1 - i))));
    };
    if (pageTwo.size() % 2) pageTwo.append('\0');
    const quint32 pixels = quint32(pageTwo.size());
    for (int i = 0; i < 64; ++i)
        pageTwo.append(char(i * 4));
    QByteArray ifd;
    put(ifd, 9, 2);
    const quint32 entries[][3] = {{256, 3, 8},      {257, 3, 8}, {258, 3, 8}, {259, 3, 1}, {262, 3, 1},
                                  {273, 4, pixels}, {277, 3, 1}, {278, 3, 8}, {279, 4, 64}};
    for (const auto& [tag, type, value] : entries) {
        put(ifd, tag, 2), put(ifd, type, 2), put(ifd, 1, 4);
        type == 3 ? (put(ifd, value, 2), put(ifd, 0, 2)) : put(ifd, value, 4);
    }
    ifd.append(pageTwo.mid(4, 4)); // then the first page of before
    QByteArray first;
    put(first, quint32(pageTwo.size()), 4);
    pageTwo.replace(4, 4, first);
    return pageTwo + ifd;
}

// Lays a HEIC of heif-enc's out anew as other writers do: the media data before the meta box,
// item numbers and offsets of eight bytes (location box version 2), and each item's bytes in two
// extents stored in the reverse order.
inline const char* const heifRelayOut = R"py(
import struct, sys
src = open(sys.argv[1], 'rb').read()
def boxes(d):
    out, at = [], 0
    while at < len(d):
        size, kind = struct.unpack('>I4s', d[at:at + 8])
        out.append((kind, d[at:at + size]))
        at += size
    return out
def box(kind, payload): return struct.pack('>I4s', 8 + len(payload), kind) + payload
top = dict(boxes(src))
children = boxes(top[b'meta'][12:])
iloc = dict(children)[b'iloc']
version = iloc[8]
assert version < 2 and iloc[12:14] == bytes.fromhex('4440'), 'heif-enc lays its items out so'
count, at = struct.unpack('>H', iloc[14:16])[0], 16
media_start = len(top[b'ftyp']) + 8
media, entries = b'', struct.pack('>BBBBBBI', 2, 0, 0, 0, 0x84, 0x40, count)
for _ in range(count):
    item, method = struct.unpack('>HH', iloc[at:at + 4]) if version else (struct.unpack('>H', iloc[at:at + 2])[0], 0)
    at += 2 + 2 * version
    base, extents = struct.unpack('>2xIH', iloc[at:at + 8])
    at += 8
    parts = [struct.unpack('>II', iloc[at + 8 * e:at + 8 * e + 8]) for e in range(extents)]
    at += 8 * extents
    if method == 1:
        entries += struct.pack('>IHHIH', item, 1, 0, base, extents)
        entries += b''.join(struct.pack('>QI', o, n) for o, n in parts)
        continue
    data = b''.join(src[base + o:base + o + n] for o, n in parts)
    half = len(data) // 2
    entries += struct.pack('>IHHIH', item, 0, 0, media_start, 2)
    # the second half first, so that only the order of the extents joins them
    entries += struct.pack('>QI', len(media) + len(data) - half, half)
    entries += struct.pack('>QI', len(media), len(data) - half)
    media += data[half:] + data[:half]
meta = top[b'meta'][8:12] + b''.join(box(b'iloc', entries) if k == b'iloc' else b for k, b in children)
open(sys.argv[2], 'wb').write(top[b'ftyp'] + box(b'mdat', media) + box(b'meta', meta))
)py";

// The bytes of a file and what they hide from a plain search: every zlib stream in them inflated
// (PNG text and profiles, compressed strips) and every long run of hexadecimal digits decoded
// (raw profiles), so that a value is found whatever part of the file holds it.
inline QList<QByteArray> readable(const QByteArray& bytes)
{
    QList<QByteArray> out{bytes};
    for (qsizetype at = 0; at + 2 < bytes.size(); ++at) {
        const quint8 method = quint8(bytes[at]); // deflate, and a window size zlib knows
        if ((method & 0x0F) != 8 || method > 0x78 || (method << 8 | quint8(bytes[at + 1])) % 31 != 0)
            continue;
        z_stream z{};
        QByteArray inflated(1 << 20, Qt::Uninitialized);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData() + at));
        z.avail_in = uInt(bytes.size() - at);
        z.next_out = reinterpret_cast<Bytef*>(inflated.data());
        z.avail_out = uInt(inflated.size());
        if (inflateInit(&z) != Z_OK) continue;
        inflate(&z, Z_FINISH);
        if (z.total_out > 0) out << inflated.left(qsizetype(z.total_out));
        inflateEnd(&z);
    }
    static const QRegularExpression hex("[0-9a-fA-F\\s]{32,}");
    for (qsizetype i = 0, n = out.size(); i < n; ++i)
        for (const QRegularExpressionMatch& m : hex.globalMatch(QString::fromLatin1(out[i])))
            out << QByteArray::fromHex(m.captured().toLatin1());
    return out;
}

// `photo` with a part of its own kind that no reader knows, holding a name and a place.
inline QByteArray withUnknownPart(QByteArray photo, const QString& ext)
{
    const QByteArray secret = "Ann Smith was in Marseille";
    QByteArray size(4, '\0');
    if (ext == "jpg") // after the start: JFIF with a 3 × 3 thumbnail, an APP5 and a JPEG extension segment
        return photo.insert(2, QByteArray("\xFF\xE0\0\x2B"
                                          "JFIF\0\x01\x02\0\0\x01\0\x01\x03\x03",
                                          18) +
                                   secret + "!" + QByteArray("\xFF\xE5\0\x1C", 4) + secret +
                                   QByteArray("\xFF\xF3\0\x1C", 4) + secret);
    // webp: a chunk of a kind of its own at the end
    qToLittleEndian(quint32(secret.size()), size.data());
    photo += "ZZZZ" + size + secret;
    qToLittleEndian(quint32(photo.size() - 8), photo.data() + 4);
    return photo;
}
