#include "app/feedback.h"

#include "core/settings.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QPointer>
#include <QSoundEffect>
#include <QTemporaryFile>
#include <QUrl>
#include <cmath>
#include <numbers>

namespace Feedback {

namespace {

// A bright 70 ms tick: two partials under a fast exponential decay, as 16-bit mono WAV.
QByteArray tickWav()
{
    constexpr int rate = 44100;
    constexpr int samples = rate * 70 / 1000;
    QByteArray pcm;
    pcm.reserve(samples * 2);
    for (int i = 0; i < samples; ++i) {
        const double t = double(i) / rate;
        const double envelope = std::min(1.0, t / 0.002) * std::exp(-t / 0.014);
        const double wave =
            0.7 * std::sin(2 * std::numbers::pi * 2900 * t) + 0.3 * std::sin(2 * std::numbers::pi * 4350 * t);
        const qint16 value = qint16(std::lround(wave * envelope * 30000));
        pcm.append(char(value & 0xff)).append(char((value >> 8) & 0xff));
    }

    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + pcm.size());
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(pcm.size());
    out.writeRawData(pcm.constData(), int(pcm.size()));
    return wav;
}

// Created on first use; none when the sound file cannot be written. Both belong to the
// application object, so that the file goes with it however the application ends.
QSoundEffect* sound()
{
    static QPointer<QSoundEffect> effect;
    static QPointer<QCoreApplication> madeFor;
    if (madeFor == QCoreApplication::instance()) return effect;
    madeFor = QCoreApplication::instance();

    auto* file =
        new QTemporaryFile(QDir::tempPath() + QStringLiteral("/tolvane-tick-XXXXXX.wav"), madeFor.data());
    if (!file->open() || file->write(tickWav()) < 0 || !file->flush()) {
        delete file;
        return effect = nullptr;
    }
    effect = new QSoundEffect(madeFor.data());
    effect->setSource(QUrl::fromLocalFile(file->fileName()));
    effect->setVolume(0.22f);
    return effect;
}

} // namespace

void tick()
{
    if (!Settings::shared().highlightSound() || !QCoreApplication::instance()) return;
    if (QSoundEffect* effect = sound()) {
        effect->stop();
        effect->play();
    }
}

} // namespace Feedback
