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

} // namespace WaveHeader
