#include "engines/recognition/enginecache.h"

#include "core/converterror.h"
#include "core/freedmemory.h"

#include <QMutex>
#include <tesseract/baseapi.h>
#include <vector>

namespace {

using Engine = std::unique_ptr<tesseract::TessBaseAPI>;

struct Shelf
{
    QMutex lock;
    std::vector<Engine> idle;
    int works = 0;
    int engines = 0;
};

Shelf& shelf()
{
    static Shelf* const s = new Shelf; // never destroyed: leases may end as the program does
    return *s;
}

Engine made()
{
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    if (api->Init(nullptr, "eng", tesseract::OEM_LSTM_ONLY) != 0)
        throw ConvertError::missingTool(
            QStringLiteral("Text recognition needs English language data. Install it with: sudo apt install "
                           "tesseract-ocr-eng"));
    api->SetVariable("debug_file", "/dev/null"); // its notes would garble the command line's output
    api->SetPageSegMode(tesseract::PSM_AUTO);
    return api;
}

} // namespace

namespace EngineCache {

Work::Work()
{
    Shelf& s = shelf();
    const QMutexLocker locked(&s.lock);
    ++s.works;
}

Work::~Work()
{
    Shelf& s = shelf();
    std::vector<Engine> gone;
    {
        const QMutexLocker locked(&s.lock);
        if (--s.works > 0) return;
        gone.swap(s.idle);
        s.engines -= int(gone.size());
    }
    if (gone.empty()) return;
    gone.clear();
    // What the engines and the readings held lies freed in the readers' arenas. The last work
    // ends on a worker thread, where walking the heap holds up no window.
    FreedMemory::giveBack();
}

Lease::Lease()
{
    Shelf& s = shelf();
    {
        const QMutexLocker locked(&s.lock);
        if (!s.idle.empty()) {
            m_api = std::move(s.idle.back());
            s.idle.pop_back();
            return;
        }
    }
    m_api = made();
    const QMutexLocker locked(&s.lock);
    ++s.engines;
}

Lease::~Lease()
{
    m_api->Clear();
    Shelf& s = shelf();
    {
        const QMutexLocker locked(&s.lock);
        if (s.works > 0) {
            s.idle.push_back(std::move(m_api));
            return;
        }
        --s.engines;
    }
    m_api.reset();
}

int engines()
{
    Shelf& s = shelf();
    const QMutexLocker locked(&s.lock);
    return s.engines;
}

} // namespace EngineCache
