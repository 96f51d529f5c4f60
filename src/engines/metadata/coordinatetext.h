#pragma once

#include <QString>

// Coordinates written out as text, as a drone's telemetry subtitles, a caption or a note give them.
namespace CoordinateText {

// Whether `text` holds a position: a latitude and a longitude named as such ("latitude: 43.2917",
// "lat 43.29 lon 5.37"), a GPS pair ("GPS(5.3778,43.2917,19)"), a pair of decimal degrees of four
// places or more ("43.2917, 5.3778"), degrees with a hemisphere (43°17'30"N, "43 deg 17' N") or
// an ISO 6709 point ("+43.2917+005.3778/").
bool holdsCoordinates(const QString& text);

} // namespace CoordinateText
