#pragma once

#include <QWidget>

// The wheel's window: frameless, above everything, transparent outside the drawing, and never
// focused or activated, so the application the user drags from keeps the focus.
class WheelPanel : public QWidget
{
    Q_OBJECT
public:
    explicit WheelPanel(QWidget* parent = nullptr);
};
