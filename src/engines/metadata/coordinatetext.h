#pragma once

#include <QStringView>

// Coordinates written out as text, as a drone's telemetry subtitles, a caption or a note give them.
namespace CoordinateText {

// Whether `text` holds a position: two decimal degrees within their ranges ("48.85837, 2.294481"),
// degrees with a degree sign or a hemisphere ("48°51'30\"N, 2°17'40\"E", "43 12N 5 27E", XMP's
// "48,51.5022N"), a latitude or longitude given by name ("lat: 48.8584", "lat 43.29 lon 5.37"), a
// GPS reading ("GPS(5.3778,43.2917,19)") or an ISO 6709 point ("+48.8584+002.2945/"). A plain
// number, a list of numbers or a date holds none.
bool holdsCoordinates(QStringView text);

} // namespace CoordinateText
