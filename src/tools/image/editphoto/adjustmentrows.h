#pragma once

#include "tools/image/editphoto/photoadjustments.h"

#include <QString>
#include <span>

// The Edit Photo window's sliders, in their order, each under the section title it opens.
namespace AdjustmentRows {

struct Row
{
    const char* section; // the title above the row, or null
    const char* label;
    double PhotoAdjustments::*field;
    double lo, hi, step;
    QString (*format)(double value);
};

std::span<const Row> all();

// The text of a whole-number slider: "+0" for anything that rounds to 0, else "+25", "-40".
QString signedText(double value);
// The exposure's text: "0.50 EV", "-1.25 EV".
QString exposureText(double value);

} // namespace AdjustmentRows
