#pragma once

#include <QImage>
#include <QObject>

// What a video window plays its file with. Whether the file can be played is learnt after
// creation: playable() or failed() says so, once. Positions are in seconds. Main thread only.
class VideoPlayer : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;

    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void setPosition(double seconds) = 0;
    virtual double position() const = 0;

  signals:
    // The media loaded and can be played.
    void playable();
    // It cannot be played (no decoder, no plug-in, a broken file): the window shows stills.
    void failed();
    // Playback reached the end of the media by itself.
    void ended();
    // A new picture, upright as the file asks it to be shown.
    void frame(const QImage& picture);
};
