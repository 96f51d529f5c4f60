#include "core/redactstyle.h"

QList<RedactStyle> allRedactStyles()
{
    return {RedactStyle::black, RedactStyle::white, RedactStyle::blur, RedactStyle::pixelate};
}

QString rawValue(RedactStyle style)
{
    switch (style) {
    case RedactStyle::black:
        return QStringLiteral("Black");
    case RedactStyle::white:
        return QStringLiteral("White");
    case RedactStyle::blur:
        return QStringLiteral("Blur");
    case RedactStyle::pixelate:
        return QStringLiteral("Pixelate");
    }
    return {};
}

std::optional<RedactStyle> redactStyleFromRaw(const QString& raw)
{
    for (RedactStyle style : allRedactStyles())
        if (rawValue(style) == raw) return style;
    return std::nullopt;
}
