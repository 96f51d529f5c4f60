#include "engines/media/timecode.h"

#include <QRegularExpression>
#include <cmath>

namespace {

constexpr qint64 day = 24 * 3600;

// Frame numbers dropped each minute but every tenth by drop-frame timecode: 2 at 30 a second,
// 4 at 60.
qint64 dropped(qint64 base)
{
    return std::llround(base / 15.0);
}

} // namespace

namespace Timecode {

std::optional<QString> of(const QList<Media::Stream>& streams)
{
    for (const Media::Stream& s : streams)
        if (s.kind == Media::Stream::Kind::video && !s.cover) {
            if (!s.timecode.isEmpty()) return s.timecode;
            break;
        }
    for (const Media::Stream& s : streams)
        if (!s.timecode.isEmpty()) return s.timecode;
    return std::nullopt;
}

bool heldBy(const QString& ext)
{
    static const QStringList containers{QStringLiteral("mov"), QStringLiteral("mp4"), QStringLiteral("m4v"),
                                        QStringLiteral("mkv"), QStringLiteral("webm")};
    return containers.contains(ext);
}

std::optional<QString> advanced(const QString& timecode, double fps, qint64 frames)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^(\d\d):(\d\d):(\d\d)([:;.,])(\d\d)$)"));
    const QRegularExpressionMatch m = pattern.match(timecode.trimmed());
    const qint64 base = std::llround(fps);
    if (!m.hasMatch() || !std::isfinite(fps) || base <= 0) return std::nullopt;
    const qint64 h = m.captured(1).toLongLong(), min = m.captured(2).toLongLong(),
                 s = m.captured(3).toLongLong(), f = m.captured(5).toLongLong();
    // ffmpeg writes ";" or "." before the frames of drop-frame timecode, which only rates near
    // 30000/1001 and its multiples have.
    const QString separator = m.captured(4);
    const bool drop = (separator == QLatin1String(";") || separator == QLatin1String(".")) && base % 30 == 0;
    const qint64 skip = drop ? dropped(base) : 0;
    const qint64 minutes = 60 * h + min;
    qint64 n = (3600 * h + 60 * min + s) * base + f - skip * (minutes - minutes / 10);
    const qint64 perDay = day * base - skip * (24 * 60 - 24 * 6);
    n = ((n + frames) % perDay + perDay) % perDay;
    if (drop) {
        // Back to the numbers shown: the dropped ones are skipped over.
        const qint64 perTen = 600 * base - 9 * skip, perMinute = 60 * base - skip;
        const qint64 tens = n / perTen, rest = n % perTen;
        n += 9 * skip * tens + (rest < skip ? 0 : skip * ((rest - skip) / perMinute));
    }
    const qint64 seconds = n / base;
    return QStringLiteral("%1:%2:%3%4%5")
        .arg(seconds / 3600 % 24, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        .arg(separator)
        .arg(n % base, 2, 10, QLatin1Char('0'));
}

} // namespace Timecode
