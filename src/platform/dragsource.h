#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

// What the desktop tells about a drag in any application: the drag selection's change count,
// the dragged files, the left pointer button, the modifier keys and Esc. Main thread only.
class DragSource : public QObject
{
    Q_OBJECT
  public:
    using FilesHandler = std::function<void(const QStringList& paths)>;

    // The X11 watcher when the application runs on an X display that answers, else none.
    static std::unique_ptr<DragSource> system();

    // The files of the drag this application runs itself, from its start to its end (none
    // otherwise). requestFiles() answers with them: the application's own drag source hands its
    // list over only for the time of its latest pointer message, which any change to one of its
    // windows (a fading panel) moves to a time no watcher learns.
    static void setOwnDrag(const std::optional<QStringList>& files);
    static std::optional<QStringList> ownDrag();

    // Moves by one each time the drag selection changes hands.
    virtual quint64 changeCount() = 0;
    // Asks for the local paths of the files being dragged without waiting for the answer.
    // `done` is called once, later, from the event loop (never from inside this call), with no
    // paths for a drag of anything but files or a source that does not answer in time. It is
    // not called once the source is destroyed.
    virtual void requestFiles(FilesHandler done) = 0;
    // Whether the left (logical first) pointer button is down.
    virtual bool buttonDown() = 0;
    // The modifier state as the window system reports it; ModifierMasks names the bits.
    virtual unsigned modifiers() = 0;
    virtual bool escDown() = 0;

  signals:
    // The left button went down in any window of the screen, this application's included.
    void buttonPressed();
    // A key went down or up while the left button is down; modifiers() and escDown() already
    // tell the new state. Emitted from the event loop, never from inside a call on the source.
    void keysChanged();

  protected:
    using QObject::QObject;
};
