#include "engines/media/waveheader.h"

#include <QFile>
#include <QtEndian>

namespace WaveHeader {

std::optional<double> promisedSeconds(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray riff = file.read(12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE") return std::nullopt;
    quint32 bytesPerSecond = 0;
    // The chunks in order: "fmt " gives the rate, "data" the size; a few others may come between.
    for (int chunks = 0; chunks < 64; ++chunks) {
        const QByteArray head = file.read(8);
        if (head.size() < 8) return std::nullopt;
        const quint32 size = qFromLittleEndian<quint32>(head.constData() + 4);
        const qint64 next = file.pos() + qint64(size) + (size & 1);
        if (head.startsWith("fmt ")) {
            const QByteArray format = file.read(12);
            if (format.size() < 12) return std::nullopt;
            bytesPerSecond = qFromLittleEndian<quint32>(format.constData() + 8);
        } else if (head.startsWith("data")) {
            if (bytesPerSecond == 0 || size == 0 || size == 0xFFFFFFFFu ||
                file.pos() + qint64(size) <= file.size())
                return std::nullopt;
            return double(size) / bytesPerSecond;
        }
        if (next >= file.size() || !file.seek(next)) return std::nullopt;
    }
    return std::nullopt;
}

std::optional<Broadcast> broadcast(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray riff = file.read(12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE") return std::nullopt;
    // The description, originator and its reference, the date, then the time and the reference.
    constexpr qint64 timeAt = 256 + 32 + 32 + 10, referenceAt = timeAt + 8, least = referenceAt + 8;
    for (int chunks = 0; chunks < 64; ++chunks) {
        const QByteArray head = file.read(8);
        if (head.size() < 8) return std::nullopt;
        const quint32 size = qFromLittleEndian<quint32>(head.constData() + 4);
        const qint64 next = file.pos() + qint64(size) + (size & 1);
        if (head.startsWith("bext")) {
            const QByteArray bext = file.read(least);
            if (size < least || bext.size() < least) return std::nullopt;
            Broadcast b;
            b.originationTime = QString::fromLatin1(bext.mid(timeAt, 8)).remove(QChar(0)).trimmed();
            b.timeReference = qFromLittleEndian<quint64>(bext.constData() + referenceAt);
            return b;
        }
        if (next >= file.size() || !file.seek(next)) return std::nullopt;
    }
    return std::nullopt;
}

QStringList keptBroadcast(const QString& source, quint64 skipped)
{
    const std::optional<Broadcast> b = broadcast(source);
    if (!b) return {};
    QStringList args{QStringLiteral("-write_bext"), QStringLiteral("1")};
    if (!b->originationTime.isEmpty())
        args << QStringLiteral("-metadata") << QStringLiteral("origination_time=") + b->originationTime;
    return args << QStringLiteral("-metadata")
                << QStringLiteral("time_reference=%1").arg(b->timeReference + skipped);
}

} // namespace WaveHeader
