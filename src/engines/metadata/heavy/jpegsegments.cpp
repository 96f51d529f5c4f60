#include "engines/metadata/heavy/jpegsegments.h"

namespace {

constexpr quint8 soi = 0xd8, eoi = 0xd9, sos = 0xda, tem = 0x01, app0 = 0xe0, app14 = 0xee, com = 0xfe;

bool isRestart(quint8 marker)
{
    return marker >= 0xd0 && marker <= 0xd7;
}

// APP0 (JFIF) and APP14 (Adobe, which says how the decoder turns colours) are read when decoding.
bool isTag(quint8 marker)
{
    return (marker > app0 && marker <= 0xef && marker != app14) || marker == com;
}

// The end of the entropy-coded data that starts at `at`: the first marker that is neither a
// stuffed zero, a restart nor a fill byte. None when the data runs out first.
std::optional<qsizetype> scanEnd(const QByteArray& data, qsizetype at)
{
    for (; at + 1 < data.size(); ++at) {
        if (quint8(data[at]) != 0xff) continue;
        const quint8 next = quint8(data[at + 1]);
        if (next == 0x00 || next == 0xff || isRestart(next)) continue;
        return at;
    }
    return std::nullopt;
}

} // namespace

namespace JpegSegments {

std::optional<QByteArray> withoutTags(const QByteArray& data)
{
    if (data.size() < 4 || quint8(data[0]) != 0xff || quint8(data[1]) != soi) return std::nullopt;
    QByteArray out = data.left(2);
    out.reserve(data.size());
    bool removed = false;
    qsizetype at = 2;
    while (true) {
        if (at + 1 >= data.size() || quint8(data[at]) != 0xff) return std::nullopt;
        const quint8 marker = quint8(data[at + 1]);
        if (marker == 0xff) { // fill byte before a marker
            ++at;
            continue;
        }
        if (marker == eoi) {
            out.append(data.constData() + at, 2);
            removed = removed || at + 2 < data.size();
            break;
        }
        if (marker == tem || isRestart(marker) || marker == soi || marker == 0x00) return std::nullopt;
        if (at + 3 >= data.size()) return std::nullopt;
        const qsizetype length = (quint8(data[at + 2]) << 8) | quint8(data[at + 3]);
        const qsizetype end = at + 2 + length;
        if (length < 2 || end > data.size()) return std::nullopt;
        if (isTag(marker))
            removed = true;
        else
            out.append(data.constData() + at, end - at);
        at = end;
        if (marker == sos) {
            // A file cut short in its last scan decodes as far as it goes, so it keeps what is there.
            const qsizetype scanned = scanEnd(data, at).value_or(data.size());
            out.append(data.constData() + at, scanned - at);
            if (scanned == data.size()) break;
            at = scanned;
        }
    }
    if (!removed) return std::nullopt;
    return out;
}

} // namespace JpegSegments
