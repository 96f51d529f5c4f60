#pragma once

#include "tools/image/collage/collagelayout.h"

// How a collage is made. Spacing is the gap between neighbours as a fraction of the output
// width (the outer margin is half of it); corners a fraction of the canvas's shorter side;
// background an index into the backdrop's solid colours; width the output's width in pixels.
struct CollageSettings
{
    CollageLayout layout = CollageLayout::grid;
    double spacing = 0.015;
    double corners = 0.02;
    int background = 0;
    double width = 2400;

    bool operator==(const CollageSettings&) const = default;
};
