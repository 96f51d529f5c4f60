#include "engines/metadata/coordinatetext.h"

#include <QRegularExpression>

namespace {

using Re = QRegularExpression;

const QString number = QStringLiteral(R"([-+]?\d{1,3}(?:[.,]\d+)?)");

bool matches(const Re& re, const QString& text)
{
    return re.match(text).hasMatch();
}

} // namespace

namespace CoordinateText {

bool holdsCoordinates(const QString& text)
{
    static const Re latitude(QStringLiteral(R"(\b(?:lat|latitude)\b\W{0,4})") + number,
                             Re::CaseInsensitiveOption);
    static const Re longitude(QStringLiteral(R"(\b(?:lon|lng|long|longitude)\b\W{0,4})") + number,
                              Re::CaseInsensitiveOption);
    static const Re gps(QStringLiteral(R"(\bGPS\W{0,4}[-+]?\d{1,3}\.\d+\s*,\s*[-+]?\d{1,3}\.\d+)"),
                        Re::CaseInsensitiveOption);
    static const Re decimalPair(
        QStringLiteral(R"((?<![\d.])[-+]?\d{1,3}\.\d{4,}\s*[,;/ ]\s*[-+]?\d{1,3}\.\d{4,}(?![\d.]))"));
    static const Re degrees(
        QStringLiteral(R"(\b\d{1,3}(?:[.,]\d+)?\s*(?:°|º|\bdeg\b)\s*(?:\d{1,2}(?:[.,]\d+)?\s*['′]\s*)?)"
                       R"((?:\d{1,2}(?:[.,]\d+)?\s*(?:"|″|'')\s*)?[NSEW]\b)"));
    static const Re iso6709(
        QStringLiteral(R"([-+]\d{2,6}(?:\.\d+)?[-+]\d{3,7}(?:\.\d+)?(?:[-+]\d+(?:\.\d+)?)?/)"));
    return (matches(latitude, text) && matches(longitude, text)) || matches(gps, text) ||
           matches(decimalPair, text) || matches(degrees, text) || matches(iso6709, text);
}

} // namespace CoordinateText
