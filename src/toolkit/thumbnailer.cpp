#include "toolkit/thumbnailer.h"

#include "core/catalog.h"
#include "engines/heavyengines.h"
#include "toolkit/pools.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>

namespace {

// The cached picture, when it was made from the file as it is now.
QImage cached(const QString& path, int size)
{
    const qint64 mtime = QFileInfo(path).lastModified().toSecsSinceEpoch();
    for (const bool large : {size > 128, size <= 128}) {
        QImage image(Thumbnailer::cachePath(path, large));
        if (!image.isNull() && image.text(QStringLiteral("Thumb::MTime")).toLongLong() == mtime) return image;
    }
    return {};
}

QImage scaledImage(const QString& path, int size)
{
    QImageReader reader(path);
    // A drawing is read without what it names outside itself.
    QBuffer drawing;
    if (reader.format().startsWith("svg")) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return {};
        drawing.setData(Modules::entries<HeavyEngines>().confinedSvg(file.readAll()));
        drawing.open(QIODevice::ReadOnly);
        reader.setDevice(&drawing);
        reader.setFormat("svg");
    }
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (full.isValid()) reader.setScaledSize(full.scaled(size, size, Qt::KeepAspectRatio).expandedTo({1, 1}));
    return reader.read();
}

QImage fitted(const QImage& image, int size)
{
    if (image.isNull() || (image.width() <= size && image.height() <= size)) return image;
    return image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace

namespace Thumbnailer {

QString cachePath(const QString& path, bool large)
{
    const QByteArray uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded();
    const QString name = QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex());
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           (large ? QStringLiteral("/thumbnails/large/") : QStringLiteral("/thumbnails/normal/")) + name +
           QStringLiteral(".png");
}

QImage make(const QString& path, int size)
{
    if (size <= 0 || !QFileInfo(path).isFile()) return {};
    if (const QImage image = cached(path, size); !image.isNull()) return fitted(image, size);
    const auto key = Catalog::format(path);
    const auto category = key ? Catalog::category(*key) : std::nullopt;
    try {
        if (category == FileCategory::image) return scaledImage(path, size);
        const HeavyEngines& engines = Modules::entries<HeavyEngines>();
        if (category == FileCategory::pdf) return fitted(engines.pdfFirstPage(path, size), size);
        if (category == FileCategory::video) {
            const QImage later = engines.videoFrame(path, 1.0, size); // past a black first frame
            return later.isNull() ? engines.videoFrame(path, 0, size) : later;
        }
    } catch (const std::exception&) {
        // The engines' module could not be loaded: the file's icon stands in.
    }
    return {};
}

void request(const QString& path, int size, QObject* receiver, std::function<void(const QImage&)> done)
{
    Pools::deliver<QImage>(
        Pools::loader(), receiver, [path, size] { return make(path, size); },
        [done = std::move(done)](QImage image) { done(image); });
}

} // namespace Thumbnailer
