#include "toolkit/toolview.h"

#include "toolkit/toolchrome.h"
#include "toolkit/viewsource.h"

#include <QVBoxLayout>
#include <algorithm>

ToolView::ToolView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : QWidget(parent), m_context(std::move(context)), m_chrome(new ToolChrome(name(m_context->tool())))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_chrome);
    connect(m_chrome, &ToolChrome::closeRequested, this, [this] { this->context().close(); });
}

QWidget* ToolView::body() const
{
    return m_chrome->content();
}

QHBoxLayout* ToolView::footer() const
{
    return m_chrome->footer();
}

bool ToolView::isSettled() const
{
    return m_settled;
}

void ToolView::addSource(ViewSource* source)
{
    m_sources << source;
    m_settled = m_settled && source->isSettled();
    connect(source, &ViewSource::settled, this, &ToolView::sourceSettled);
}

// Settled once, when the last of the sources settles.
void ToolView::sourceSettled()
{
    if (m_settled) return;
    m_settled =
        std::all_of(m_sources.cbegin(), m_sources.cend(), [](const ViewSource* s) { return s->isSettled(); });
    if (m_settled) emit settled();
}

void ToolView::windowClosed()
{
    if (m_closed) return;
    m_closed = true;
    emit closed();
}
