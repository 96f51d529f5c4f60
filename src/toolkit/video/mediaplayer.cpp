#include "toolkit/video/mediaplayer.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QGuiApplication>
#include <QLibrary>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <cmath>

namespace {

// Whether the media framework has the elements the player is built from. Qt's player on it
// crashes while it is being made when one is missing (a desktop without the base plug-ins), so
// it is asked first, through the framework's own registry.
bool frameworkComplete()
{
    static const bool complete = [] {
        QLibrary library(QStringLiteral("gstreamer-1.0"), 0);
        using Init = int (*)(int*, char***, void**);
        using Find = void* (*)(const char*);
        using Unref = void (*)(void*);
        const auto init = reinterpret_cast<Init>(library.resolve("gst_init_check"));
        const auto find = reinterpret_cast<Find>(library.resolve("gst_element_factory_find"));
        const auto unref = reinterpret_cast<Unref>(library.resolve("gst_object_unref"));
        if (!init || !find || !unref || !init(nullptr, nullptr, nullptr)) return false;
        for (const char* element : {"uridecodebin", "decodebin", "videoconvert", "videoscale", "audioconvert",
                                    "audioresample", "volume", "queue", "input-selector"}) {
            void* factory = find(element);
            if (!factory) return false;
            unref(factory);
        }
        return true;
    }();
    return complete;
}

} // namespace

MediaPlayer::MediaPlayer(const QString& path, QObject* parent)
    : VideoPlayer(parent), m_player(new QMediaPlayer(this))
{
    auto* sink = new QVideoSink(this);
    m_player->setVideoSink(sink);
    // Without an output device an audio output only reports errors.
    if (!QMediaDevices::audioOutputs().isEmpty()) m_player->setAudioOutput(new QAudioOutput(this));
    connect(sink, &QVideoSink::videoFrameChanged, this, &MediaPlayer::received);
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::EndOfMedia) emit ended();
        if (m_told) return;
        if (status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia) {
            m_told = true;
            emit playable();
        } else if (status == QMediaPlayer::InvalidMedia) {
            m_told = true;
            emit failed();
        }
    });
    connect(m_player, &QMediaPlayer::errorOccurred, this, [this] {
        if (m_told) return;
        m_told = true;
        emit failed();
    });
    m_player->setSource(QUrl::fromLocalFile(path));
}

bool MediaPlayer::available()
{
    if (qEnvironmentVariableIntValue("TOLVANE_NO_PLAYER") == 1) return false;
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal") &&
           frameworkComplete();
}

void MediaPlayer::play()
{
    m_player->play();
}

void MediaPlayer::pause()
{
    m_player->pause();
}

void MediaPlayer::setPosition(double seconds)
{
    // Up to the next millisecond: one below would show the frame before one that starts there.
    m_player->setPosition(qint64(std::ceil(seconds * 1000 - 1e-6)));
}

double MediaPlayer::position() const
{
    return double(m_player->position()) / 1000;
}

void MediaPlayer::received(const QVideoFrame& videoFrame)
{
    // Already turned upright as the file asks (a portrait phone clip is stored on its side).
    const QImage picture = videoFrame.toImage();
    if (!picture.isNull()) emit frame(picture);
}
