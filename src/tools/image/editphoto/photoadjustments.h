#pragma once

// The fifteen sliders of the Edit Photo tool. Every field is 0 where it leaves the picture as it
// is, so the default value is the identity; the ranges are the sliders' (percent unless told).
struct PhotoAdjustments
{
    double exposure = 0;    // EV, −3 … 3
    double brightness = 0;  // −100 … 100
    double contrast = 0;    // −100 … 100
    double highlights = 0;  // −100 … 100
    double shadows = 0;     // −100 … 100
    double whites = 0;      // −100 … 100
    double blacks = 0;      // −100 … 100
    double gamma = 0;       // −100 … 100
    double temperature = 0; // −100 … 100, warmer upward
    double tint = 0;        // −100 … 100, magenta upward
    double saturation = 0;  // −100 … 100
    double vibrance = 0;    // −100 … 100
    double sharpness = 0;   // 0 … 100
    double noise = 0;       // 0 … 100
    double vignette = 0;    // 0 … 100

    bool operator==(const PhotoAdjustments&) const = default;
};
