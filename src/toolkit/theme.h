#pragma once

#include <QColor>
#include <QLinearGradient>
#include <QRectF>

// The shared colours of every window and panel.
namespace Theme {

QColor orange();  // accent
QColor ink();     // main text and icons
QColor inkSoft(); // secondary text
QColor section(); // section titles
QColor field();   // input-field fill
QColor track();   // inactive tracks and switches that are off
// The warm background wash, from the top centre of `rect` to its bottom-right corner.
QLinearGradient wash(const QRectF& rect);

} // namespace Theme
