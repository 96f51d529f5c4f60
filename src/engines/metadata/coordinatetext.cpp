#include "engines/metadata/coordinatetext.h"

#include <QRegularExpression>
#include <QStringList>
#include <cmath>

namespace {

using Re = QRegularExpression;

// Degrees, with minutes and seconds as they are written by hand and by readers.
const QString degrees =
    QStringLiteral(R"(\d{1,3}(?:\.\d+)?\s*(?:°|º|deg\b)(?:\s*\d{1,2}(?:\.\d+)?\s*(?:'|′|’))?)"
                   R"((?:\s*\d{1,2}(?:\.\d+)?\s*(?:"|″|”|''))?)");
const QString hemisphere = QStringLiteral(R"((?:North|South|East|West|[NSEW])\b)");
// A latitude and a longitude, each with its hemisphere and no degree sign ("43 12N 5 27E").
const QString lettered = QStringLiteral(R"(\d{1,2}(?:[.,]\d+)?(?:[ ,]\d{1,2}(?:\.\d+)?){0,2}\s?[NS]\b[\s,;]*)"
                                        R"(\d{1,3}(?:[.,]\d+)?(?:[ ,]\d{1,2}(?:\.\d+)?){0,2}\s?[EW]\b)");
const QString number = QStringLiteral(R"([-+]?\d{1,3}(?:[.,]\d+)?)");

const Re& coordinatePattern()
{
    static const Re pattern(
        QStringList{
            // Degrees and a hemisphere, or two degrees in a row.
            degrees + R"(\s*)" + hemisphere,
            R"(\b[NSEW]\s*)" + degrees,
            degrees + R"(\s*[,;/]?\s*[-+]?)" + degrees,
            QStringLiteral(R"((?<![\w.])(?:)") + lettered + QStringLiteral(")"),
            // XMP's degrees and minutes with the hemisphere last.
            QStringLiteral(R"((?<![\w.])\d{1,3},\d{1,2}(?:\.\d+|,\d{1,2}(?:\.\d+)?)[NSEW]\b)"),
            // A latitude or longitude called by its name.
            QStringLiteral(R"(\b(?:lat|latitude|lon|lng|long|longitude)\b\s*[:=]\s*[-+]?\d{1,3}\.\d+)"),
            // A GPS reading as drones' telemetry writes it: "GPS (5.3778, 43.2917, 19)".
            QStringLiteral(R"(\bGPS\W{0,4}[-+]?\d{1,3}\.\d+\s*,\s*[-+]?\d{1,3}\.\d+)"),
            // ISO 6709: signed degrees (or degrees and minutes, and seconds) run together, ended by
            // a slash unless they have decimals.
            QStringLiteral(R"((?<![\w.+-])[+-]\d{2}(?:\d{2}){0,2}(?:\.\d+)?[+-]\d{3}(?:\d{2}){0,2}(?:\.\d+)?)"
                           R"((?:[+-]\d+(?:\.\d+)?)?(?:CRS[\w:]+)?/)"),
            QStringLiteral(R"((?<![\w.+-])[+-]\d{2}(?:\d{2}){0,2}\.\d+[+-]\d{3}(?:\d{2}){0,2}\.\d+)"),
        }
            .join(QLatin1Char('|')),
        Re::CaseInsensitiveOption | Re::UseUnicodePropertiesOption);
    return pattern;
}

// Two decimal degrees in a row, each with three decimals or more, within their ranges.
bool decimalPair(QStringView text)
{
    static const Re pair(
        QStringLiteral(R"((?<![\w.])([-+]?\d{1,2}\.\d{3,})\s*[,;]\s*([-+]?\d{1,3}\.\d{3,})(?![\w.]))"));
    for (auto it = pair.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (std::abs(m.capturedView(1).toDouble()) <= 90 && std::abs(m.capturedView(2).toDouble()) <= 180)
            return true;
    }
    return false;
}

// A latitude and a longitude both named, with or without a colon: "lat 43.29 lon 5.37".
bool namedPair(QStringView text)
{
    static const Re latitude(QStringLiteral(R"(\b(?:lat|latitude)\b\W{0,4})") + number,
                             Re::CaseInsensitiveOption);
    static const Re longitude(QStringLiteral(R"(\b(?:lon|lng|long|longitude)\b\W{0,4})") + number,
                              Re::CaseInsensitiveOption);
    return latitude.match(text).hasMatch() && longitude.match(text).hasMatch();
}

} // namespace

namespace CoordinateText {

bool holdsCoordinates(QStringView text)
{
    return decimalPair(text) || namedPair(text) || coordinatePattern().match(text).hasMatch();
}

} // namespace CoordinateText
