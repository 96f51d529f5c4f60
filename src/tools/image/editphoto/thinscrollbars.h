#pragma once

class QColor;
class QScrollArea;

// Scroll bars that read as quiet indicators: a narrow rounded handle of `handle` on a clear
// track, no arrows, over a transparent area that lets what is behind it show.
namespace ThinScrollBars {

void apply(QScrollArea& area, const QColor& handle);

} // namespace ThinScrollBars
