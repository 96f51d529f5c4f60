#pragma once

#include "toolkit/floatingpanel.h"

class FloatShelf;
class ShelfView;

// The float shelf's window: a floating panel that the window manager places and that stays up
// while the user works elsewhere, holding the shelf's view.
class ShelfPanel : public FloatingPanel
{
    Q_OBJECT
  public:
    explicit ShelfPanel(FloatShelf& shelf);

    ShelfView* view() const { return m_view; }
    // Moves and sizes the panel to `frame` (global coordinates).
    void place(const QRect& frame);

  private:
    ShelfView* m_view;
};
