#pragma once

#include "toolkit/floatingpanel.h"

// The wheel's window. It bypasses the window manager: it is shown mid-drag and must appear
// exactly under the pointer at once.
class WheelPanel : public FloatingPanel
{
    Q_OBJECT
  public:
    explicit WheelPanel(QWidget* parent = nullptr);
};
