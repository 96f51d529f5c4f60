#include "engines/recognition/ocr.h"

#include "core/converterror.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPromise>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <dlfcn.h>
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

// This thread's engine, made at its first use and kept for the thread's life: making one
// costs more than recognising a page of little text. Throws when Tesseract or its English data
// is missing.
tesseract::TessBaseAPI& engine()
{
    thread_local std::unique_ptr<tesseract::TessBaseAPI> api;
    if (api) return *api;
    auto made = std::make_unique<tesseract::TessBaseAPI>();
    if (made->Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY) != 0)
        throw ConvertError::missingTool(
            QStringLiteral("Text recognition needs English language data. Install it with: sudo apt install "
                           "tesseract-ocr-eng"));
    made->SetVariable("debug_file", "/dev/null"); // its notes would garble the command line's output
    made->SetPageSegMode(tesseract::PSM_AUTO);
    api = std::move(made);
    return *api;
}

// Forgets the engine's image and results when a recognition ends, however it ends.
struct Cleared
{
    tesseract::TessBaseAPI& api;
    ~Cleared() { api.Clear(); }
};

// The lines Tesseract finds in the image.
QList<OCR::Line> recognizeLines(const QImage& image)
{
    if (image.isNull() || image.width() < 3 || image.height() < 3) return {};
    tesseract::TessBaseAPI& api = engine();
    const Cleared cleared{api};
    const QImage grey = greyOnWhite(image);
    api.SetImage(grey.constBits(), grey.width(), grey.height(), 1, int(grey.bytesPerLine()));
    api.SetSourceResolution(300);
    QList<OCR::Line> lines;
    if (api.Recognize(nullptr) != 0) return lines;
    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (!it) return lines;
    do {
        int left = 0, top = 0, right = 0, bottom = 0;
        if (!it->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom)) continue;
        const std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_TEXTLINE));
        lines << OCR::Line{OCR::normalized(QRectF(QPointF(left, top), QPointF(right, bottom)), image.size()),
                           QString::fromUtf8(text ? text.get() : "").trimmed()};
    } while (it->Next(tesseract::RIL_TEXTLINE));
    return lines;
}

// Tesseract keeps coordinates in 16 bits and refuses a picture with a longer side.
constexpr int tesseractSide = 32767;
// Pieces of a picture too long for Tesseract overlap by more than a tall line of text, so that
// every line lies whole in one of them.
constexpr int pieceOverlap = 2048;

// `length` cut into as few pieces as Tesseract takes, each overlapping the next; as [start, end).
QList<std::pair<int, int>> pieces(int length)
{
    if (length <= tesseractSide) return {{0, length}};
    const int count =
        (length - pieceOverlap + tesseractSide - pieceOverlap - 1) / (tesseractSide - pieceOverlap);
    QList<std::pair<int, int>> out;
    for (int i = 0; i < count; ++i) {
        const int start = int(qint64(length - tesseractSide) * i / (count - 1));
        out << std::pair{start, start + tesseractSide};
    }
    return out;
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

// Recognition's own threads, one per core, so that their engines outlive a single document.
QThreadPool& pool()
{
    static QThreadPool* const threads = [] {
        auto* p = new QThreadPool(QCoreApplication::instance());
        p->setObjectName(QStringLiteral("Recognition"));
        p->setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
        return p;
    }();
    return *threads;
}

} // namespace

namespace OCR {

QString recognize(const QImage& image)
{
    return readingOrder(recognizeLines(image));
}

QFuture<QString> recognizeLater(QImage image)
{
    auto promise = std::make_shared<QPromise<QString>>();
    QFuture<QString> future = promise->future();
    promise->start();
    pool().start([promise, image = std::move(image)] {
        keepToThisThread();
        QString text;
        try {
            text = recognize(image);
        } catch (const std::exception&) {
            // Without the engine there is no text, as for a page that has none.
        }
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
    const QSize size = image.size();
    QList<QRectF> found; // in pixels of the image, origin top left
    try {
        for (const auto& [left, right] : pieces(size.width()))
            for (const auto& [top, bottom] : pieces(size.height())) {
                const QRect piece(left, top, right - left, bottom - top);
                const QImage part = piece.size() == size ? image : image.copy(piece);
                for (const Line& line : recognizeLines(part))
                    if (!line.text.isEmpty())
                        found << QRectF(left + line.box.x() * piece.width(),
                                        top + (1 - line.box.bottom()) * piece.height(),
                                        line.box.width() * piece.width(), line.box.height() * piece.height());
            }
    } catch (const ConvertError&) {
        // Without the recognition engine there is nothing to find.
    }
    if (pieces(size.width()).size() * pieces(size.height()).size() > 1) found = merged(found);
    QList<QRectF> out;
    for (const QRectF& box : found)
        out << normalized(box, size);
    return out;
}

} // namespace OCR
