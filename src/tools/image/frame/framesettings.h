#pragma once

#include "tools/image/frame/frameratio.h"
#include "tools/image/shared/backdrop.h"

// How a picture is framed. Padding is a fraction of the picture's longer side on every side,
// corners a fraction of its shorter side, shadow a strength from 0 (none) to 1.
struct FrameSettings
{
    Backdrop backdrop = Backdrop::gradient(0);
    double padding = 0.1;
    double corners = 0.03;
    double shadow = 0.4;
    FrameRatio ratio = FrameRatio::auto_;

    bool operator==(const FrameSettings&) const = default;
};
