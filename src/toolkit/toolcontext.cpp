#include "toolkit/toolcontext.h"

#include "core/fmt.h"

#include <QFileInfo>

void ToolContext::close()
{
    if (m_window) m_window->close();
}

std::optional<QPointF> ToolContext::hudPoint() const
{
    if (!m_window || !m_window->isVisible()) return std::nullopt;
    const QRectF frame = m_window->frameGeometry();
    return QPointF(frame.x() + frame.width() / 2, frame.y() + frame.height() / 2 + 40);
}

void ToolContext::run(const QString& title, const std::optional<QStringList>& files, Jobs::FileWork work,
                      Jobs::Order order)
{
    const std::optional<QPointF> at = hudPoint();
    close();
    Jobs::run(title, files.value_or(m_urls), at, std::move(work), order);
}

void ToolContext::runOnce(const QString& title, const std::optional<QString>& detail, Jobs::WholeWork work)
{
    const std::optional<QPointF> at = hudPoint();
    close();
    qint64 bytes = 0;
    for (const QString& file : m_urls)
        bytes += Fmt::fileSize(file);
    const QString shown =
        detail.value_or(m_urls.isEmpty() ? QString() : QFileInfo(m_urls.first()).fileName());
    Jobs::runOnce(title, shown, bytes, at, std::move(work));
}
