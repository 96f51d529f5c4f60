#include "engines/image/jpegsegments.h"

#include <QtEndian>

namespace {

constexpr quint8 soi = 0xD8, eoi = 0xD9, sos = 0xDA, sof2 = 0xC2, tem = 0x01, app0 = 0xE0, app2 = 0xE2,
                 app14 = 0xEE, app15 = 0xEF;

// A JFIF segment without a thumbnail: marker, length, identifier, version, units, density and
// the thumbnail's size.
constexpr qsizetype jfifLength = 18;

bool isRestart(quint8 code)
{
    return code >= 0xD0 && code <= 0xD7;
}

// The segments that code the picture: frames (SOF0-15 but the reserved JPG), Huffman and
// arithmetic tables, quantization tables, scans, the restart interval, the line count, the
// hierarchical frame and its expansion.
bool codesThePicture(quint8 code)
{
    return (code >= 0xC0 && code <= 0xCF && code != 0xC8) || (code >= 0xDA && code <= 0xDF);
}

bool kept(quint8 code, const QByteArray& payload, JpegSegments::Keep keep)
{
    if (code == app2 && payload.startsWith(QByteArrayLiteral("MPF\0"))) return false;
    if (keep == JpegSegments::Keep::tags) return true;
    if (codesThePicture(code)) return true;
    if (code < app0 || code > app15) return false; // comments, JPEG extensions, reserved codes
    const bool profile = code == app2 && payload.startsWith(QByteArrayLiteral("ICC_PROFILE\0"));
    return (code == app0 && payload.startsWith(QByteArrayLiteral("JFIF\0"))) ||
           (profile && keep == JpegSegments::Keep::decoding) ||
           (code == app14 && payload.startsWith("Adobe"));
}

// Where the entropy-coded data that starts at `at` ends: the next marker that is neither a
// stuffed zero nor a restart; the end of `data` when it is cut short.
qsizetype scanEnd(const QByteArray& data, qsizetype at)
{
    while (true) {
        at = data.indexOf('\xFF', at);
        if (at < 0 || at + 1 >= data.size()) return data.size();
        const quint8 next = quint8(data[at + 1]);
        if (next == 0x00 || isRestart(next))
            at += 2;
        else if (next == 0xFF)
            ++at; // fill before a marker
        else
            return at;
    }
}

enum class Walk { ended, cutShort, broken };

// Follows the segments of the first picture of `data` from its start marker, handing each
// segment (marker and payload, or the entropy-coded data after a scan header, with code 0) to
// `visit`; stops at the picture's end marker, which is visited too.
template <class Visit> Walk walk(const QByteArray& data, Visit visit)
{
    if (data.size() < 4 || quint8(data[0]) != 0xFF || quint8(data[1]) != soi) return Walk::broken;
    qsizetype at = 2;
    while (at < data.size()) {
        if (quint8(data[at]) != 0xFF) return Walk::broken;
        while (at + 1 < data.size() && quint8(data[at + 1]) == 0xFF)
            ++at;
        if (at + 1 >= data.size()) return Walk::broken;
        const quint8 code = quint8(data[at + 1]);
        if (code == eoi) {
            visit(code, at, at + 2);
            return Walk::ended;
        }
        if (code == soi || code == 0x00) return Walk::broken;
        if (isRestart(code) || code == tem) { // markers without a length
            visit(code, at, at + 2);
            at += 2;
            continue;
        }
        if (at + 4 > data.size()) return Walk::broken;
        const qsizetype length = qFromBigEndian<quint16>(data.constData() + at + 2);
        const qsizetype end = at + 2 + length;
        if (length < 2 || end > data.size()) return Walk::broken;
        visit(code, at, end);
        at = end;
        if (code == sos) {
            const qsizetype scan = scanEnd(data, at);
            visit(quint8(0), at, scan);
            at = scan;
        }
    }
    return Walk::cutShort;
}

} // namespace

namespace JpegSegments {

std::optional<QByteArray> firstPicture(const QByteArray& data, Keep keep)
{
    QByteArray out = data.left(2);
    out.reserve(data.size());
    const Walk ending = walk(data, [&](quint8 code, qsizetype from, qsizetype to) {
        const bool segment = code != 0 && code != eoi && !isRestart(code) && code != tem;
        if (segment && !kept(code, data.mid(from + 4, std::min<qsizetype>(to - from - 4, 12)), keep)) return;
        // JFIF's own thumbnail, an old copy of the picture, stays only where tags do.
        if (code == app0 && keep != Keep::tags && to - from > jfifLength &&
            data.mid(from + 4, 5) == QByteArrayLiteral("JFIF\0"))
            out += data.mid(from, 2) + QByteArray("\0\x10", 2) + data.mid(from + 4, jfifLength - 6) +
                   QByteArray(2, '\0');
        else
            out += data.mid(from, to - from);
    });
    if (ending == Walk::broken) return std::nullopt;
    return out;
}

std::optional<QList<Segment>> segments(const QByteArray& data)
{
    QList<Segment> out;
    const Walk ending = walk(data, [&](quint8 code, qsizetype from, qsizetype to) {
        out << Segment{code, from, to};
    });
    if (ending == Walk::broken) return std::nullopt;
    return out;
}

Cut cut(const QByteArray& data)
{
    bool progressive = false, scanned = false;
    const Walk ending = walk(data, [&](quint8 code, qsizetype, qsizetype) {
        if (code == sof2) progressive = true;
        if (code == sos) scanned = true;
    });
    // Cut before any scan, nothing of the picture can be decoded, and decoding says so itself.
    if (ending != Walk::cutShort || !scanned) return Cut::whole;
    return progressive ? Cut::detail : Cut::lowerPart;
}

} // namespace JpegSegments
