#include "tools/image/editphoto/adjustmentrows.h"

#include <cmath>

namespace AdjustmentRows {

namespace {

using A = PhotoAdjustments;

const Row rows[] = {
    {"Light", "Exposure", &A::exposure, -3, 3, 0.01, exposureText},
    {nullptr, "Brightness", &A::brightness, -100, 100, 1, signedText},
    {nullptr, "Contrast", &A::contrast, -100, 100, 1, signedText},
    {nullptr, "Highlights", &A::highlights, -100, 100, 1, signedText},
    {nullptr, "Shadows", &A::shadows, -100, 100, 1, signedText},
    {nullptr, "Whites", &A::whites, -100, 100, 1, signedText},
    {nullptr, "Blacks", &A::blacks, -100, 100, 1, signedText},
    {nullptr, "Gamma", &A::gamma, -100, 100, 1, signedText},
    {"Color", "Temperature", &A::temperature, -100, 100, 1, signedText},
    {nullptr, "Tint", &A::tint, -100, 100, 1, signedText},
    {nullptr, "Saturation", &A::saturation, -100, 100, 1, signedText},
    {nullptr, "Vibrance", &A::vibrance, -100, 100, 1, signedText},
    {"Detail", "Sharpness", &A::sharpness, 0, 100, 1, signedText},
    {nullptr, "Noise", &A::noise, 0, 100, 1, signedText},
    {"Effects", "Vignette", &A::vignette, 0, 100, 1, signedText},
};

} // namespace

std::span<const Row> all()
{
    return rows;
}

// asprintf formats in the C locale, so a decimal point whatever the user's language.
QString signedText(double value)
{
    if (std::round(value) == 0) return QStringLiteral("+0");
    return QString::asprintf("%+.0f", value);
}

QString exposureText(double value)
{
    return QString::asprintf("%.2f EV", std::round(value * 100) == 0 ? 0.0 : value); // never "-0.00"
}

} // namespace AdjustmentRows
