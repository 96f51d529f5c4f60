#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <functional>

// Small pictures of files: the desktop's thumbnail cache when it holds a fresh one, else our
// own (images scaled while decoding, a PDF's first page, a frame of a video).
namespace Thumbnailer {

// Blocks; any thread. A picture that fits a `size` pixels square, or a null image when none can
// be made (the caller shows the file's icon).
QImage make(const QString& path, int size);

// make() on the loader pool; `done` runs on the main thread, and not at all once the receiver
// is gone. Call on the main thread.
void request(const QString& path, int size, QObject* receiver, std::function<void(const QImage&)> done);

// Where the freedesktop thumbnail cache keeps the picture of `path` ("normal" is 128 pixels,
// "large" 256).
QString cachePath(const QString& path, bool large);

} // namespace Thumbnailer
