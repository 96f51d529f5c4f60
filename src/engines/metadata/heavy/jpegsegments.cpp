#include "engines/metadata/heavy/jpegsegments.h"

#include <QtEndian>

namespace {

constexpr quint8 soi = 0xD8, eoi = 0xD9, sos = 0xDA, tem = 0x01, app0 = 0xE0, app2 = 0xE2, app14 = 0xEE,
                 app15 = 0xEF, com = 0xFE;

bool isRestart(quint8 code)
{
    return code >= 0xD0 && code <= 0xD7;
}

bool kept(quint8 code, const QByteArray& payload, JpegSegments::Keep keep)
{
    if (code == app2 && payload.startsWith(QByteArrayLiteral("MPF\0"))) return false;
    if (keep == JpegSegments::Keep::tags) return true;
    if (code == com) return false;
    if (code < app0 || code > app15) return true;
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

} // namespace

namespace JpegSegments {

std::optional<QByteArray> firstPicture(const QByteArray& data, Keep keep)
{
    if (data.size() < 4 || quint8(data[0]) != 0xFF || quint8(data[1]) != soi) return std::nullopt;
    QByteArray out = data.left(2);
    out.reserve(data.size());
    qsizetype at = 2;
    while (at < data.size()) {
        if (quint8(data[at]) != 0xFF) return std::nullopt;
        while (at + 1 < data.size() && quint8(data[at + 1]) == 0xFF)
            ++at;
        if (at + 1 >= data.size()) return std::nullopt;
        const quint8 code = quint8(data[at + 1]);
        if (code == eoi) return out + data.mid(at, 2);
        if (code == soi || code == 0x00) return std::nullopt;
        if (isRestart(code) || code == tem) { // markers without a length
            out += data.mid(at, 2);
            at += 2;
            continue;
        }
        if (at + 4 > data.size()) return std::nullopt;
        const qsizetype length = qFromBigEndian<quint16>(data.constData() + at + 2);
        const qsizetype end = at + 2 + length;
        if (length < 2 || end > data.size()) return std::nullopt;
        if (kept(code, data.mid(at + 4, std::min<qsizetype>(length - 2, 12)), keep))
            out += data.mid(at, end - at);
        at = end;
        if (code == sos) {
            const qsizetype scan = scanEnd(data, at);
            out += data.mid(at, scan - at);
            at = scan;
        }
    }
    return out;
}

} // namespace JpegSegments
