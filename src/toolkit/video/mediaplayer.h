#pragma once

#include "toolkit/video/videoplayer.h"

class QMediaPlayer;
class QVideoFrame;

// A VideoPlayer on the system's media framework, painting into no widget of its own: each frame
// comes out of a video sink as a picture, so a grab of the window shows it. The sound goes to
// the default output when there is one.
class MediaPlayer : public VideoPlayer
{
    Q_OBJECT
  public:
    explicit MediaPlayer(const QString& path, QObject* parent = nullptr);

    // Whether media can be played here at all: a display to show it on, the media framework's
    // plug-ins, and no request to show stills (TOLVANE_NO_PLAYER=1).
    static bool available();

    void play() override;
    void pause() override;
    void setPosition(double seconds) override;
    double position() const override;

  private:
    void received(const QVideoFrame& videoFrame);

    QMediaPlayer* m_player;
    bool m_told = false;
};
