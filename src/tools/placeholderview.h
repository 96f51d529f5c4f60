#pragma once

#include "toolkit/toolview.h"

// The window of a tool whose view is not built yet: its frame and title, saying so.
class PlaceholderView : public ToolView
{
    Q_OBJECT
  public:
    explicit PlaceholderView(std::shared_ptr<ToolContext> context, QWidget* parent = nullptr);
};
