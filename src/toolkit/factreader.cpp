#include "toolkit/factreader.h"

#include "toolkit/pools.h"

FactReader::FactReader(QThreadPool& pool, QObject* parent)
    : ViewSource(parent), m_pool(pool), m_newest(std::make_shared<std::atomic<quint64>>(0))
{
}

FactReader::~FactReader()
{
    // Reads still under way stop at their next file.
    m_newest->store(0);
}

void FactReader::begin(std::function<void(const std::function<bool()>& wanted)> read,
                       std::function<void()> adopt)
{
    const quint64 id = ++m_requests;
    m_newest->store(id);
    Pools::deliver<bool>(
        m_pool, this,
        [read = std::move(read), newest = m_newest, id] {
            read([&newest, id] { return newest->load() == id; });
            return true;
        },
        [this, id, adopt = std::move(adopt)](bool) {
            if (m_newest->load() != id) return;
            adopt();
            const bool first = !m_settled;
            m_settled = true;
            emit published();
            if (first) emit settled();
        });
}
