#include "engines/media/id3frames.h"

#include "core/output.h"

#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <unistd.h>
#include <vector>

namespace {

constexpr qsizetype header = 10; // of the tag and of each frame

quint32 syncsafe(const QByteArray& b, qsizetype at)
{
    quint32 v = 0;
    for (qsizetype i = at; i < at + 4; ++i)
        v = v << 7 | (uchar(b[i]) & 0x7f);
    return v;
}

quint32 bigEndian(const QByteArray& b, qsizetype at)
{
    return qFromBigEndian<quint32>(b.constData() + at);
}

QByteArray sizeBytes(quint32 size, bool syncsafeSize)
{
    QByteArray b(4, '\0');
    for (int i = 3; i >= 0; --i) {
        b[i] = char(syncsafeSize ? size & 0x7f : size & 0xff);
        size >>= syncsafeSize ? 7 : 8;
    }
    return b;
}

// ID3's text encodings: 0 Latin-1, 1 UTF-16 with a byte-order mark, 2 UTF-16BE, 3 UTF-8.
bool wide(char encoding)
{
    return encoding == 1 || encoding == 2;
}

// Where the string that starts at `from` ends (its terminator), or -1.
qsizetype terminator(const QByteArray& data, qsizetype from, char encoding)
{
    if (!wide(encoding)) return data.indexOf('\0', from);
    for (qsizetype i = from; i + 1 < data.size(); i += 2)
        if (data[i] == 0 && data[i + 1] == 0) return i;
    return -1;
}

QString decoded(QByteArrayView bytes, char encoding)
{
    switch (encoding) {
    case 0:
        return QString::fromLatin1(bytes);
    case 3:
        return QString::fromUtf8(bytes);
    default: {
        QStringDecoder decoder(encoding == 2 ? QStringConverter::Utf16BE : QStringConverter::Utf16,
                               QStringConverter::Flag::ConvertInitialBom);
        QString text = decoder(bytes);
        if (text.startsWith(QChar::ByteOrderMark)) text.remove(0, 1);
        return text;
    }
    }
}

struct Frame
{
    QByteArray id;
    QByteArray bytes; // the whole frame, its header included
};

// A TXXX frame's data moved into a COMM or USLT frame: the same encoding, `language`, an empty
// description and the same text, without its closing terminator.
std::optional<QByteArray> moved(const QByteArray& data, const QByteArray& language)
{
    const char encoding = data[0];
    if (encoding < 0 || encoding > 3) return std::nullopt;
    const qsizetype end = terminator(data, 1, encoding);
    if (end < 0) return std::nullopt;
    const qsizetype width = wide(encoding) ? 2 : 1;
    QByteArray text = data.mid(end + width);
    if (text.endsWith(QByteArray(width, '\0'))) text.chop(width);
    return QByteArray(1, encoding) + language + QByteArray(width, '\0') + text;
}

// What a TXXX frame's description makes it: "COMM" or "USLT" with the language, or nothing.
std::optional<std::pair<QByteArray, QByteArray>> kindOf(const QByteArray& data)
{
    const char encoding = data.isEmpty() ? -1 : data[0];
    if (encoding < 0 || encoding > 3) return std::nullopt;
    const qsizetype end = terminator(data, 1, encoding);
    if (end < 0) return std::nullopt;
    const QString description = decoded(QByteArrayView(data).sliced(1, end - 1), encoding);
    if (description.compare(QLatin1String("comment"), Qt::CaseInsensitive) == 0)
        return std::pair{QByteArray("COMM"), QByteArray("eng")};
    static const QRegularExpression lyrics(QStringLiteral("^(?:uslt|unsyncedlyrics|lyrics(?:-([a-z]{3}))?)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = lyrics.match(description);
    if (!m.hasMatch()) return std::nullopt;
    return std::pair{QByteArray("USLT"),
                     m.hasCaptured(1) ? m.captured(1).toLower().toLatin1() : QByteArray("eng")};
}

} // namespace

namespace Id3Frames {

std::optional<QByteArray> mended(const QByteArray& tag)
{
    if (tag.size() < header || !tag.startsWith("ID3")) return std::nullopt;
    const int version = tag[3];
    // Unsynchronised, with an extended header or a footer: left as they are.
    if ((version != 3 && version != 4) || (uchar(tag[5]) & 0xd0) != 0) return std::nullopt;
    const qsizetype end = header + syncsafe(tag, 6);
    if (end != tag.size()) return std::nullopt;
    const bool syncsafeFrames = version == 4;
    // Compressed, encrypted or grouped, unsynchronised or with a data length: not to be rewritten.
    const uchar untouchable = version == 4 ? 0x4f : 0xe0;

    std::vector<Frame> frames;
    qsizetype at = header;
    while (at + header <= end && tag[at] != 0) {
        const QByteArray id = tag.mid(at, 4);
        for (const char c : id)
            if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return std::nullopt;
        const qsizetype size = syncsafeFrames ? syncsafe(tag, at + 4) : bigEndian(tag, at + 4);
        if (size > end - at - header) return std::nullopt;
        frames.push_back({id, tag.mid(at, header + size)});
        at += header + size;
    }
    // What follows the frames is padding, all zeros.
    for (qsizetype i = at; i < end; ++i)
        if (tag[i] != 0) return std::nullopt;

    bool haveComment = false, haveLyrics = false;
    for (const Frame& f : frames) {
        haveComment = haveComment || f.id == "COMM";
        haveLyrics = haveLyrics || f.id == "USLT";
    }
    bool changed = false;
    for (Frame& f : frames) {
        if (f.id != "TXXX" || (uchar(f.bytes[9]) & untouchable) != 0) continue;
        const QByteArray data = f.bytes.mid(header);
        const auto kind = kindOf(data);
        if (!kind || (kind->first == "COMM" ? haveComment : haveLyrics)) continue;
        const std::optional<QByteArray> into = moved(data, kind->second);
        if (!into) continue;
        f.bytes = kind->first + sizeBytes(quint32(into->size()), syncsafeFrames) + f.bytes.mid(8, 2) + *into;
        (kind->first == "COMM" ? haveComment : haveLyrics) = true;
        changed = true;
    }
    if (!changed) return std::nullopt;
    QByteArray out = tag.left(header);
    for (const Frame& f : frames)
        out += f.bytes;
    if (out.size() > tag.size()) return std::nullopt;
    return out.leftJustified(tag.size(), '\0');
}

void mendFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) throw Output::writeFailure(errno);
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    const auto readAt = [fd](qint64 offset, qsizetype size) {
        QByteArray b(size, '\0');
        qsizetype got = 0;
        while (got < size) {
            const ssize_t n = ::pread(fd, b.data() + got, size_t(size - got), offset + got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) throw Output::writeFailure(errno);
            if (n == 0) break;
            got += n;
        }
        b.truncate(got);
        return b;
    };
    // Mends the tag of `size` bytes at `offset`, when it is one.
    const auto mendAt = [&](qint64 offset, qsizetype size) {
        const QByteArray start = readAt(offset, header);
        if (start.size() < header || !start.startsWith("ID3")) return;
        const qsizetype length = header + syncsafe(start, 6);
        if (length > size) return;
        const std::optional<QByteArray> tag = mended(readAt(offset, length));
        if (!tag) return;
        qsizetype put = 0;
        while (put < tag->size()) {
            const ssize_t n = ::pwrite(fd, tag->constData() + put, size_t(tag->size() - put), offset + put);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw Output::writeFailure(n < 0 ? errno : ENOSPC);
            put += n;
        }
    };
    const QByteArray start = readAt(0, 12);
    if (start.startsWith("ID3")) {
        mendAt(0, std::numeric_limits<qsizetype>::max());
    } else if (start.startsWith("FORM") && (start.mid(8, 4) == "AIFF" || start.mid(8, 4) == "AIFC")) {
        const qint64 fileEnd = ::lseek(fd, 0, SEEK_END);
        for (qint64 at = 12; at + 8 <= fileEnd;) {
            const QByteArray chunk = readAt(at, 8);
            if (chunk.size() < 8) break;
            const qint64 size = bigEndian(chunk, 4);
            if (chunk.startsWith("ID3 ") || chunk.startsWith("id3 ")) {
                mendAt(at + 8, qsizetype(std::min(size, fileEnd - at - 8)));
                break;
            }
            at += 8 + size + (size & 1);
        }
    }
}

} // namespace Id3Frames
