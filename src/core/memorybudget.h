#pragma once

#include <QtGlobal>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

// Memory that work running at the same time shares out, so that together it stays bounded: what
// one piece of work holds is taken from the budget first and given back when its share goes.
class MemoryBudget
{
  public:
    // Bytes of the budget one holder has taken; given back when it goes, however the work ends.
    class Share
    {
      public:
        Share() = default;
        ~Share();
        Share(Share&& other) noexcept;
        Share& operator=(Share&& other) noexcept;
        Share(const Share&) = delete;
        Share& operator=(const Share&) = delete;

        qint64 size() const { return m_size; }

      private:
        friend class MemoryBudget;
        Share(MemoryBudget* budget, qint64 size) : m_budget(budget), m_size(size) {}
        void release();

        MemoryBudget* m_budget = nullptr;
        qint64 m_size = 0;
    };

    explicit MemoryBudget(qint64 capacity);
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    // The budget of the whole process for the parts of documents held whole (office copies).
    static MemoryBudget& shared();
    // The budget of the whole process for decoded pictures and rendered pages, which are far
    // larger than any part a document holds whole and must not crowd those out.
    static MemoryBudget& pictures();

    qint64 capacity() const { return m_capacity; }
    // Bytes held now, and the most ever held at once.
    qint64 inUse() const;
    qint64 peak() const;

    // `bytes` when they are free now, or nothing.
    std::optional<Share> tryTake(qint64 bytes);
    // `bytes`, waiting until others give enough back; nothing, at once, when they are more than
    // the whole budget, and nothing as soon as `stop` (asked while waiting) says so. A caller that
    // waits must hold no other share, or two could wait forever.
    std::optional<Share> take(qint64 bytes, const std::function<bool()>& stop = {});

  private:
    void give(qint64 bytes);

    const qint64 m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_freed;
    qint64 m_inUse = 0;
    qint64 m_peak = 0;
};
