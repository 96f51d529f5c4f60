#pragma once

#include <QList>
#include <QString>
#include <optional>

// How a redaction hides an area, for pictures and videos alike. The raw values are also the
// labels the redaction windows show.
enum class RedactStyle { black, white, blur, pixelate };

// Every style, in the order the windows offer them.
QList<RedactStyle> allRedactStyles();
QString rawValue(RedactStyle style);
// The style whose raw value is exactly `raw` (case counts), nothing for any other text.
std::optional<RedactStyle> redactStyleFromRaw(const QString& raw);
