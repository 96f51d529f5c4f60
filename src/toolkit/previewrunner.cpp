#include "toolkit/previewrunner.h"

#include "toolkit/pools.h"

PreviewRunner::PreviewRunner(QObject* parent) : PreviewRunner(Pools::preview(), parent) {}

PreviewRunner::PreviewRunner(QThreadPool& pool, QObject* parent) : QObject(parent), m_pool(pool) {}

void PreviewRunner::request(Render render)
{
    const quint64 id = ++m_latest;
    if (m_running) {
        m_waiting.emplace(id, std::move(render));
        return;
    }
    start(id, std::move(render));
}

void PreviewRunner::start(quint64 id, Render render)
{
    m_running = true;
    // A render that throws counts as one that gave no image.
    std::function<QImage()> guarded = [render = std::move(render)] {
        try {
            return render();
        } catch (...) {
            return QImage();
        }
    };
    Pools::deliver<QImage>(m_pool, this, std::move(guarded),
                           [this, id](QImage image) { finished(id, image); });
}

void PreviewRunner::finished(quint64 id, const QImage& image)
{
    m_running = false;
    if (id == m_latest) emit ready(image);
    if (m_waiting) {
        auto [next, render] = std::move(*m_waiting);
        m_waiting.reset();
        start(next, std::move(render));
    }
}
