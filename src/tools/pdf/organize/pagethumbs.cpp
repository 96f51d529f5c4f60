#include "tools/pdf/organize/pagethumbs.h"

#include "core/converterror.h"
#include "engines/heavyengines.h"
#include "toolkit/pools.h"

#include <QCoreApplication>
#include <QMutex>
#include <QPointer>
#include <algorithm>
#include <atomic>

// What the loader's work and the window share: the stop flag, and what waits to be handed over.
struct PageThumbs::Shared
{
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    QMutex lock;
    std::optional<int> count;
    std::optional<QString> error;
    QHash<int, QImage> pending;
    bool finished = false;
    bool posted = false; // a hand-over is queued and hasn't run yet
};

namespace {

// Queues one hand-over to `receiver` on the main thread unless one is queued already; call with
// the lock held.
void post(PageThumbs::Shared& shared, const QPointer<PageThumbs>& receiver,
          const std::function<void()>& takeOver)
{
    if (shared.posted) return;
    shared.posted = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [receiver, takeOver] {
            if (receiver) takeOver();
        },
        Qt::QueuedConnection);
}

} // namespace

PageThumbs::PageThumbs(const QString& path, QSize box, QObject* parent)
    : ViewSource(parent), m_shared(std::make_shared<Shared>())
{
    const QPointer<PageThumbs> receiver(this);
    const std::function<void()> takeOver = [receiver] { receiver->takeOver(); };
    Pools::loader().start([shared = m_shared, receiver, takeOver, path, box] {
        const HeavyEngines& engines = Modules::entries<HeavyEngines>();
        std::optional<int> count;
        std::optional<QString> error;
        try {
            count = engines.pdfPageCount(path);
        } catch (const ConvertError& e) {
            error = e.message();
        } catch (const std::exception&) {
            error = QStringLiteral("Couldn’t open the PDF");
        }
        {
            const QMutexLocker locker(&shared->lock);
            shared->count = count;
            shared->error = error;
            post(*shared, receiver, takeOver);
        }
        if (count && !shared->stop)
            engines.pdfThumbnails(path, box, [&](int page, const QImage& picture) {
                const QMutexLocker locker(&shared->lock);
                shared->pending.insert(page, picture);
                post(*shared, receiver, takeOver);
                return !shared->stop.load();
            });
        const QMutexLocker locker(&shared->lock);
        shared->finished = true;
        post(*shared, receiver, takeOver);
        shared->done = true; // after the last hand-over is queued
    });
}

PageThumbs::~PageThumbs()
{
    stop();
}

bool PageThumbs::isDone() const
{
    return m_shared->done;
}

void PageThumbs::stop()
{
    m_shared->stop = true;
}

void PageThumbs::takeOver()
{
    QHash<int, QImage> pending;
    std::optional<int> count;
    std::optional<QString> error;
    bool finished = false;
    {
        const QMutexLocker locker(&m_shared->lock);
        pending.swap(m_shared->pending);
        count = m_shared->count;
        error = m_shared->error;
        finished = m_shared->finished;
        m_shared->posted = false;
    }
    m_finished = finished;
    if (!m_count && !m_error && (count || error)) {
        m_count = count;
        m_error = error;
        emit counted();
    }
    if (!pending.isEmpty()) {
        m_pictures.insert(pending);
        emit picturesChanged();
    }
    settleIfReady();
}

void PageThumbs::settleIfReady()
{
    if (m_settled) return;
    const bool firstScreenIn = m_count && m_pictures.size() >= std::min(*m_count, firstScreen);
    if (!m_error && !firstScreenIn && !m_finished) return;
    m_settled = true;
    emit settled();
}
