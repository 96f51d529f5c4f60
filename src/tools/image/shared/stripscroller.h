#pragma once

#include <QScrollArea>

// A row of chips wider than its place, scrolled sideways without scroll bars. A mouse has only
// a vertical wheel here, so vertical wheel steps scroll it sideways.
class StripScroller : public QScrollArea
{
    Q_OBJECT
  public:
    explicit StripScroller(QWidget* content, QWidget* parent = nullptr);

  protected:
    void wheelEvent(QWheelEvent* event) override;
};
