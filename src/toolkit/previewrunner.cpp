#include "toolkit/previewrunner.h"

#include "toolkit/pools.h"

PreviewRunner::PreviewRunner(QObject* parent) : PreviewRunner(Pools::preview(), parent) {}

PreviewRunner::PreviewRunner(QThreadPool& pool, QObject* parent) : QObject(parent), m_pool(pool) {}

void PreviewRunner::request(Render render)
{
    request<QImage>(std::move(render), [this](QImage image) { emit ready(image); });
}

void PreviewRunner::submit(std::function<void()> work, std::function<void()> deliver)
{
    const quint64 id = ++m_latest;
    Task task{std::move(work), std::move(deliver)};
    if (m_running) {
        m_waiting.emplace(id, std::move(task));
        return;
    }
    start(id, std::move(task));
}

void PreviewRunner::start(quint64 id, Task task)
{
    m_running = true;
    std::function<bool()> work = [work = std::move(task.work)] {
        work();
        return true;
    };
    Pools::deliver<bool>(m_pool, this, std::move(work),
                         [this, id, deliver = std::move(task.deliver)](bool) { finished(id, deliver); });
}

void PreviewRunner::finished(quint64 id, const std::function<void()>& deliver)
{
    m_running = false;
    if (id == m_latest) deliver();
    if (m_waiting) {
        auto [next, task] = std::move(*m_waiting);
        m_waiting.reset();
        start(next, std::move(task));
    }
}
