#include "toolkit/toolview.h"

ToolView::ToolView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(context, name(context->tool()), parent)
{
}

ToolView::ToolView(std::shared_ptr<ToolContext> context, const QString& title, QWidget* parent)
    : FramedView(title, parent), m_context(std::move(context))
{
}
