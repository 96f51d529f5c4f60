#include "core/memorybudget.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

// What all the jobs together may hold whole of the documents they read: enough to make a part of
// 64 MiB harmless, well short of what a desktop can spare.
constexpr qint64 sharedCapacity = qint64(384) << 20;
// What the pictures and pages converted at the same time may hold: a 12-megapixel photo and its
// copies take about 100 MiB, so a batch of them still runs side by side, while one A0 page at
// 300 dpi (about 1.1 GB with Poppler's copy) runs alone.
constexpr qint64 picturesCapacity = qint64(1) << 30;

} // namespace

MemoryBudget::Share::~Share()
{
    release();
}

MemoryBudget::Share::Share(Share&& other) noexcept
    : m_budget(std::exchange(other.m_budget, nullptr)), m_size(std::exchange(other.m_size, 0))
{
}

MemoryBudget::Share& MemoryBudget::Share::operator=(Share&& other) noexcept
{
    if (this != &other) {
        release();
        m_budget = std::exchange(other.m_budget, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

void MemoryBudget::Share::release()
{
    if (m_budget) m_budget->give(m_size);
    m_budget = nullptr;
    m_size = 0;
}

MemoryBudget::MemoryBudget(qint64 capacity) : m_capacity(capacity) {}

MemoryBudget& MemoryBudget::shared()
{
    static MemoryBudget budget(sharedCapacity);
    return budget;
}

MemoryBudget& MemoryBudget::pictures()
{
    static MemoryBudget budget(picturesCapacity);
    return budget;
}

qint64 MemoryBudget::inUse() const
{
    const std::lock_guard lock(m_mutex);
    return m_inUse;
}

qint64 MemoryBudget::peak() const
{
    const std::lock_guard lock(m_mutex);
    return m_peak;
}

std::optional<MemoryBudget::Share> MemoryBudget::tryTake(qint64 bytes)
{
    bytes = std::max<qint64>(bytes, 0);
    const std::lock_guard lock(m_mutex);
    if (bytes > m_capacity - m_inUse) return std::nullopt;
    m_inUse += bytes;
    m_peak = std::max(m_peak, m_inUse);
    return Share(this, bytes);
}

std::optional<MemoryBudget::Share> MemoryBudget::take(qint64 bytes, const std::function<bool()>& stop)
{
    bytes = std::max<qint64>(bytes, 0);
    if (bytes > m_capacity) return std::nullopt;
    std::unique_lock lock(m_mutex);
    // A cancel sets a flag and wakes nobody, so the wait looks at it now and then.
    while (
        !m_freed.wait_for(lock, std::chrono::milliseconds(50), [&] { return bytes <= m_capacity - m_inUse; }))
        if (stop && stop()) return std::nullopt;
    m_inUse += bytes;
    m_peak = std::max(m_peak, m_inUse);
    return Share(this, bytes);
}

void MemoryBudget::give(qint64 bytes)
{
    {
        const std::lock_guard lock(m_mutex);
        m_inUse -= bytes;
    }
    m_freed.notify_all();
}
