#include "toolkit/toolview.h"

ToolView::ToolView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : FramedView(name(context->tool()), parent), m_context(std::move(context))
{
}
