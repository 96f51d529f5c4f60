#include "app/wheelpanel.h"

WheelPanel::WheelPanel(QWidget* parent) : FloatingPanel(QSize(320, 320), true, parent) {}
