#include "engines/media/flaccuesheet.h"

#include "core/output.h"

#include <QFile>
#include <QList>
#include <QtEndian>
#include <algorithm>
#include <cerrno>

namespace {

constexpr int cueSheetType = 5;
constexpr int paddingType = 1;
// The catalog number, lead-in, flags and reserved bytes before the count of tracks.
constexpr qsizetype headSize = 395;
// A track: offset, number, ISRC, flags and reserved bytes, count of index points.
constexpr qsizetype trackSize = 36;
constexpr qsizetype indexSize = 12;
// The lead-out track of a disc, and of any other recording.
constexpr uchar discLeadOut = 170, otherLeadOut = 255;

struct Index
{
    qint64 offset = 0; // from the track's offset
    QByteArray rest;   // number and reserved bytes
};

struct Track
{
    qint64 offset = 0;
    QByteArray rest; // number, ISRC, flags and reserved bytes, without the count of index points
    QList<Index> indexes;
};

quint64 be64(const char* p)
{
    return qFromBigEndian<quint64>(p);
}

QByteArray be64Bytes(qint64 v)
{
    QByteArray b(8, '\0');
    qToBigEndian<quint64>(quint64(v), b.data());
    return b;
}

// A metadata block's header: its type, whether it is the last, and its size in 24 bits.
QByteArray blockHeader(int type, bool last, qint64 size)
{
    QByteArray b(4, '\0');
    b[0] = char(type | (last ? 0x80 : 0));
    b[1] = char((size >> 16) & 0xff);
    b[2] = char((size >> 8) & 0xff);
    b[3] = char(size & 0xff);
    return b;
}

// The metadata blocks of a FLAC file: each block's type, its place after its header and its size.
struct Block
{
    int type = 0;
    bool last = false;
    qint64 at = 0;
    qint64 size = 0;
};

QList<Block> blocks(QFile& file)
{
    QList<Block> out;
    QByteArray start = file.read(10);
    qint64 at = 0;
    // Some taggers put an ID3 tag before the FLAC stream.
    if (start.size() == 10 && start.startsWith("ID3")) {
        at = 10 + ((qint64(start[6] & 0x7f) << 21) | (qint64(start[7] & 0x7f) << 14) |
                   (qint64(start[8] & 0x7f) << 7) | qint64(start[9] & 0x7f));
        if (!file.seek(at)) return {};
        start = file.read(4);
    }
    if (!start.startsWith("fLaC")) return {};
    at += 4;
    for (int n = 0; n < 128; ++n) {
        if (!file.seek(at)) return {};
        const QByteArray head = file.read(4);
        if (head.size() < 4) return {};
        Block b;
        b.last = (uchar(head[0]) & 0x80) != 0;
        b.type = uchar(head[0]) & 0x7f;
        b.at = at + 4;
        b.size = (qint64(uchar(head[1])) << 16) | (qint64(uchar(head[2])) << 8) | uchar(head[3]);
        if (b.at + b.size > file.size()) return {};
        out << b;
        if (b.last) return out;
        at = b.at + b.size;
    }
    return {};
}

std::optional<QList<Track>> tracksOf(const QByteArray& body)
{
    if (body.size() < headSize + 1) return std::nullopt;
    const int count = uchar(body[headSize]);
    QList<Track> tracks;
    qsizetype at = headSize + 1;
    for (int t = 0; t < count; ++t) {
        if (at + trackSize > body.size()) return std::nullopt;
        Track track;
        track.offset = qint64(be64(body.constData() + at));
        track.rest = body.mid(at + 8, trackSize - 9);
        const int indexes = uchar(body[at + trackSize - 1]);
        at += trackSize;
        for (int i = 0; i < indexes; ++i) {
            if (at + indexSize > body.size()) return std::nullopt;
            track.indexes << Index{qint64(be64(body.constData() + at)), body.mid(at + 8, 4)};
            at += indexSize;
        }
        tracks << track;
    }
    if (tracks.isEmpty()) return std::nullopt;
    return tracks;
}

} // namespace

namespace FlacCueSheet {

std::optional<QByteArray> read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    for (const Block& b : blocks(file))
        if (b.type == cueSheetType && file.seek(b.at)) {
            const QByteArray body = file.read(b.size);
            if (body.size() == b.size) return body;
        }
    return std::nullopt;
}

std::optional<QByteArray> cut(const QByteArray& body, qint64 from, qint64 to)
{
    const std::optional<QList<Track>> all = tracksOf(body);
    if (!all || to <= from) return std::nullopt;
    const QList<Track>& tracks = *all;
    const Track& leadOut = tracks.last();
    if (from <= 0 && to >= leadOut.offset) return body;
    to = std::min(to, leadOut.offset);
    if (to <= from) return std::nullopt;
    QList<Track> kept;
    for (qsizetype t = 0; t + 1 < tracks.size(); ++t) {
        const Track& track = tracks[t];
        if (tracks[t + 1].offset <= from || track.offset >= to) continue;
        Track moved = track;
        moved.offset = std::max<qint64>(0, track.offset - from);
        // The index points before the cut fall together at its start: the last of them stands for it.
        moved.indexes.clear();
        for (qsizetype i = 0; i < track.indexes.size(); ++i) {
            const qint64 at = track.offset + track.indexes[i].offset;
            const bool passed =
                i + 1 < track.indexes.size() && track.offset + track.indexes[i + 1].offset <= from;
            if (passed || at >= to) continue;
            moved.indexes << Index{std::max<qint64>(0, at - from) - moved.offset, track.indexes[i].rest};
        }
        if (moved.indexes.isEmpty()) continue;
        kept << moved;
    }
    if (kept.isEmpty()) return std::nullopt;
    Track end = leadOut;
    end.offset = to - from;
    // Offsets cut anywhere are no longer on a disc's frames: the sheet no longer describes a disc.
    end.rest[0] = char(uchar(end.rest[0]) == discLeadOut ? otherLeadOut : uchar(end.rest[0]));
    kept << end;
    QByteArray out = body.left(headSize);
    out.replace(128, 8, be64Bytes(0));
    out[136] = char(uchar(out[136]) & 0x7f);
    out += char(kept.size());
    for (const Track& track : kept) {
        out += be64Bytes(track.offset) + track.rest + char(track.indexes.size());
        for (const Index& i : track.indexes)
            out += be64Bytes(i.offset) + i.rest;
    }
    return out;
}

int room(const QByteArray& body)
{
    return int(body.size()) + 4;
}

bool write(const QString& path, const QByteArray& body)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) throw Output::writeFailure(EACCES);
    const QList<Block> all = blocks(file);
    if (std::any_of(all.begin(), all.end(), [](const Block& b) { return b.type == cueSheetType; }))
        return false;
    const auto padding = std::find_if(all.rbegin(), all.rend(), [&](const Block& b) {
        return b.type == paddingType && b.size >= room(body);
    });
    if (padding == all.rend()) return false;
    // The cue sheet's header and body, then a shorter padding block over the rest.
    const qint64 rest = padding->size - room(body);
    const QByteArray bytes =
        blockHeader(cueSheetType, false, body.size()) + body + blockHeader(paddingType, padding->last, rest);
    if (!file.seek(padding->at - 4) || file.write(bytes) != bytes.size() || !file.flush())
        throw Output::writeFailure(EIO);
    return true;
}

} // namespace FlacCueSheet
