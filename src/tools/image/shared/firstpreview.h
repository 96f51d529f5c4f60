#pragma once

#include "toolkit/viewsource.h"

// A window's first rendered preview, as a source of the view: the window shows its files as
// they will stay once that rendering has arrived, or once it is known that none will come.
class FirstPreview : public ViewSource
{
    Q_OBJECT
  public:
    using ViewSource::ViewSource;

    bool isSettled() const override { return m_settled; }
    // Settles it the first time; later calls change nothing.
    void arrived();

  private:
    bool m_settled = false;
};
