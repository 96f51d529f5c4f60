#include "engines/media/waveheader.h"

#include <QFile>
#include <QtEndian>

namespace WaveHeader {

std::optional<Chunks> chunks(QFile& file)
{
    if (!file.seek(0)) return std::nullopt;
    const QByteArray riff = file.read(12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE") return std::nullopt;
    Chunks out;
    while (out.list.size() < 256) {
        const QByteArray head = file.read(8);
        if (head.size() < 8) {
            out.whole = head.isEmpty();
            break;
        }
        const quint32 size = qFromLittleEndian<quint32>(head.constData() + 4);
        out.list << Chunk{head.left(4), file.pos(), size};
        // A last chunk whose pad byte was left off still ends the file.
        const qint64 next = file.pos() + qint64(size) + (size & 1);
        if (next >= file.size() || !file.seek(next)) break;
    }
    return out;
}

std::optional<double> promisedSeconds(const QString& path)
{
    QFile file(path);
    const std::optional<Chunks> all = file.open(QIODevice::ReadOnly) ? chunks(file) : std::nullopt;
    if (!all) return std::nullopt;
    // "fmt " gives the rate, "data" the size.
    quint32 bytesPerSecond = 0;
    for (const Chunk& c : all->list) {
        if (c.id == "fmt ") {
            const QByteArray format = file.seek(c.at) ? file.read(12) : QByteArray();
            if (format.size() < 12) return std::nullopt;
            bytesPerSecond = qFromLittleEndian<quint32>(format.constData() + 8);
        } else if (c.id == "data") {
            if (bytesPerSecond == 0 || c.size == 0 || c.size == 0xFFFFFFFFu ||
                c.at + qint64(c.size) <= file.size())
                return std::nullopt;
            return double(c.size) / bytesPerSecond;
        }
    }
    return std::nullopt;
}

std::optional<Broadcast> broadcast(const QString& path)
{
    QFile file(path);
    const std::optional<Chunks> all = file.open(QIODevice::ReadOnly) ? chunks(file) : std::nullopt;
    if (!all) return std::nullopt;
    // The description, originator and its reference, the date, then the time and the reference.
    constexpr qint64 timeAt = 256 + 32 + 32 + 10, referenceAt = timeAt + 8, least = referenceAt + 8;
    for (const Chunk& c : all->list) {
        if (c.id != "bext") continue;
        const QByteArray bext = file.seek(c.at) ? file.read(least) : QByteArray();
        if (c.size < least || bext.size() < least) return std::nullopt;
        Broadcast b;
        b.originationTime = QString::fromLatin1(bext.mid(timeAt, 8)).remove(QChar(0)).trimmed();
        b.timeReference = qFromLittleEndian<quint64>(bext.constData() + referenceAt);
        return b;
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
