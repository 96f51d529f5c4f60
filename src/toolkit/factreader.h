#pragma once

#include "toolkit/viewsource.h"

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <memory>

class QThreadPool;

// The untyped half of FileFacts<T>: one request at a time read on a pool, its outcome taken over
// on the main thread all at once. A newer request supersedes an older one, whose outcome is then
// dropped; a reader that is destroyed takes over nothing more. It settles when its first request
// is published and stays settled. Main thread only.
class FactReader : public ViewSource
{
    Q_OBJECT
  public:
    ~FactReader() override;

    bool isSettled() const override { return m_settled; }

  signals:
    // Every fact of the newest request has arrived.
    void published();

  protected:
    FactReader(QThreadPool& pool, QObject* parent);

    // Runs `read` on the pool, then `adopt` and published() on the main thread, unless another
    // request began or this reader is gone by then. `read` may stop early once `wanted` says no.
    void begin(std::function<void(const std::function<bool()>& wanted)> read, std::function<void()> adopt);

  private:
    QThreadPool& m_pool;
    // The newest request's number, shared with the reads under way; 0 once this reader is gone.
    std::shared_ptr<std::atomic<quint64>> m_newest;
    quint64 m_requests = 0;
    bool m_settled = false;
};
