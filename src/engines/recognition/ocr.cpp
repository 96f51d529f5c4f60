#include "engines/recognition/ocr.h"

#include "core/converterror.h"
#include "engines/recognition/enginecache.h"
#include "engines/recognition/textsearch.h"

#include <QMap>
#include <QPainter>
#include <QPromise>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <QTransform>
#include <algorithm>
#include <atomic>
#include <dlfcn.h>
#include <functional>
#include <leptonica/allheaders.h>
#include <memory>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

namespace {

// The picture as Tesseract reads it best: grey, anything transparent on white.
QImage greyOnWhite(const QImage& image)
{
    if (!image.hasAlphaChannel()) return image.convertToFormat(QImage::Format_Grayscale8);
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    painter.end();
    return flat.convertToFormat(QImage::Format_Grayscale8);
}

// How Tesseract parts ink from paper in a grey picture: one threshold for the whole picture,
// or one for every neighbourhood, which takes as ink only what is darker than around it.
enum class Threshold { global = 0, local = 2 };

// The lines Tesseract finds in a grey picture.
QList<OCR::Line> recognizeGrey(const QImage& grey, Threshold threshold = Threshold::global)
{
    if (grey.isNull() || grey.width() < 3 || grey.height() < 3) return {};
    const EngineCache::Lease lease;
    tesseract::TessBaseAPI& api = lease.api();
    api.SetImage(grey.constBits(), grey.width(), grey.height(), 1, int(grey.bytesPerLine()));
    api.SetSourceResolution(300);
    api.SetVariable("thresholding_method", threshold == Threshold::local ? "2" : "0");
    QList<OCR::Line> lines;
    if (api.Recognize(nullptr) != 0) return lines;
    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (!it) return lines;
    do {
        int left = 0, top = 0, right = 0, bottom = 0;
        if (!it->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom)) continue;
        const std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_TEXTLINE));
        lines << OCR::Line{OCR::normalized(QRectF(QPointF(left, top), QPointF(right, bottom)), grey.size()),
                           QString::fromUtf8(text ? text.get() : "").trimmed()};
    } while (it->Next(tesseract::RIL_TEXTLINE));
    return lines;
}

// Tesseract spreads a page over a few OpenMP threads of its own. With a page on every core that
// only adds threads that spin waiting for each other: on recognition's threads each page keeps
// to its thread. A Tesseract built without OpenMP has nothing to set.
void keepToThisThread()
{
    thread_local bool set = false;
    if (set) return;
    set = true;
    using SetMaxActiveLevels = void (*)(int);
    if (const auto setLevels =
            reinterpret_cast<SetMaxActiveLevels>(::dlsym(RTLD_DEFAULT, "omp_set_max_active_levels")))
        setLevels(0);
}

// Recognition's own threads, one per core. Not owned by the application: the pool is first asked
// for on whichever thread reads first, where it could not be the application's child.
QThreadPool& pool()
{
    static QThreadPool* const threads = [] {
        auto* p = new QThreadPool;
        p->setObjectName(QStringLiteral("Recognition"));
        p->setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
        return p;
    }();
    return *threads;
}

// Calls `work` for every index below `count`, on recognition's threads and on this one, and
// returns once all calls have ended. This thread takes its share, so that nothing waits on a
// pool that is busy, even when this thread is one of its own.
void forEach(int count, const std::function<void(int)>& work)
{
    struct Shared
    {
        std::function<void(int)> work;
        int count;
        std::atomic<int> next{0};
        QSemaphore ended;
    };
    const auto shared = std::make_shared<Shared>();
    shared->work = work;
    shared->count = count;
    // A helper that starts after all is taken finds nothing left and never calls `work`.
    const auto take = [shared] {
        keepToThisThread();
        for (int i = shared->next++; i < shared->count; i = shared->next++) {
            shared->work(i);
            shared->ended.release();
        }
    };
    for (int i = 1; i < std::min(count, pool().maxThreadCount()); ++i)
        pool().start(take);
    take();
    shared->ended.acquire(count);
}

// A picture read again for its text is also read shrunk to this longer side, where its writing
// is too tall for Tesseract as it is.
constexpr int fallbackSide = 1600;

// Writing has sharp edges: a grey picture with fewer than a few dozen steps of a tenth of the
// grey scale between neighbouring pixels holds none (a clear sky, a plain wall, a gradient).
bool mayHoldWriting(const QImage& grey)
{
    constexpr int step = 24;
    constexpr int enough = 64;
    int edges = 0;
    for (int y = 0; y + 1 < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        const uchar* next = grey.constScanLine(y + 1);
        for (int x = 0; x + 1 < grey.width(); ++x)
            if ((std::abs(row[x] - row[x + 1]) >= step || std::abs(row[x] - next[x]) >= step) &&
                ++edges >= enough)
                return true;
    }
    return false;
}

// The boxes of the lines of text in a grey picture, in its pixels (origin top left), read
// turned by `angle` degrees clockwise. Nothing when recognition cannot run.
QList<QRectF> linesIn(const QImage& part, int angle)
{
    if (!mayHoldWriting(part)) return {};
    const QTransform turn = QImage::trueMatrix(QTransform().rotate(angle), part.width(), part.height());
    QImage picture = angle ? part.transformed(turn) : part;
    QList<QRectF> out;
    const auto read = [&] {
        for (const OCR::Line& line : recognizeGrey(picture, Threshold::local))
            if (!line.text.isEmpty()) {
                const QRectF box(line.box.x() * picture.width(), (1 - line.box.bottom()) * picture.height(),
                                 line.box.width() * picture.width(), line.box.height() * picture.height());
                out << turn.inverted().mapRect(box);
            }
    };
    // One threshold for a whole picture with little writing on a gradient splits the ground
    // itself and loses the writing on one side of it. Each neighbourhood gets a threshold of its
    // own instead, which takes only what is darker than around it: the picture is read so for
    // dark writing, and inverted for light writing.
    try {
        read();
        picture.invertPixels();
        read();
    } catch (const ConvertError&) {
        // Without the recognition engine there is nothing to find.
    }
    return out;
}

} // namespace

namespace OCR {

QString recognize(const QImage& image)
{
    const QImage grey = greyOnWhite(image);
    QString text = readingOrder(recognizeGrey(grey));
    if (!text.isEmpty() || !mayHoldWriting(grey)) return text;
    // One threshold for a whole photo can take its ground for ink and lose a clear caption in it:
    // a photo in which nothing was read is read again as the text search reads it, with a
    // threshold for every neighbourhood, for dark writing and then for light, and in a copy
    // shrunk for writing too tall to be read as it is.
    QList<QImage> sizes{grey};
    if (std::max(grey.width(), grey.height()) > fallbackSide)
        sizes << grey.scaled(fallbackSide, fallbackSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    for (QImage picture : sizes)
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1) picture.invertPixels();
            text = readingOrder(recognizeGrey(picture, Threshold::local));
            if (!text.isEmpty()) return text;
        }
    return text;
}

QFuture<QString> recognizeLater(QImage image)
{
    auto promise = std::make_shared<QPromise<QString>>();
    QFuture<QString> future = promise->future();
    promise->start();
    // Held from now, so that the engines stay between the pages of a document queued one by one.
    auto work = std::make_shared<EngineCache::Work>();
    pool().start([promise, image = std::move(image), work]() mutable {
        keepToThisThread();
        QString text;
        try {
            text = recognize(image);
        } catch (const std::exception&) {
            // Without the engine there is no text, as for a page that has none.
        }
        work.reset();
        promise->addResult(text);
        promise->finish();
    });
    return future;
}

int parallelism()
{
    return pool().maxThreadCount();
}

QList<QRectF> textBoxes(const QImage& image)
{
    if (image.isNull()) return {};
    const EngineCache::Work work;
    const QImage grey = greyOnWhite(image);
    const QList<TextSearch::Run> runs = TextSearch::runs(grey.size());
    QMap<double, QImage> shrunk;
    for (const TextSearch::Run& run : runs)
        if (!shrunk.contains(run.shrink))
            shrunk.insert(run.shrink, run.shrink == 1
                                          ? grey
                                          : grey.scaled(TextSearch::shrunk(grey.size(), run.shrink),
                                                        Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    const QMap<double, QImage>& levels = shrunk; // only read from here on, by several threads
    // Each run is read upright and turned so that lines running down, or up, stand upright.
    const QList<int> angles{0, -90, 90};
    QList<QList<QRectF>> found(runs.size() * angles.size()); // in pixels of the image, origin top left
    forEach(int(found.size()), [&](int i) {
        const TextSearch::Run& run = runs[i / angles.size()];
        const QImage level = levels.value(run.shrink);
        const double sx = double(grey.width()) / level.width(), sy = double(grey.height()) / level.height();
        for (const QRectF& box :
             linesIn(run.area == level.rect() ? level : level.copy(run.area), angles[i % angles.size()]))
            found[i] << QRectF((run.area.x() + box.x()) * sx, (run.area.y() + box.y()) * sy, box.width() * sx,
                               box.height() * sy);
    });
    QList<QRectF> all;
    for (const QList<QRectF>& boxes : found)
        all << boxes;
    QList<QRectF> out;
    for (const QRectF& box : mergedLines(all))
        out << normalized(box, grey.size());
    return out;
}

} // namespace OCR
