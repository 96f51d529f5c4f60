#include "engines/sheet/sheet.h"

#include "engines/text/regex.h"

std::optional<QString> Sheet::number(const QString& cell)
{
    qsizetype start = 0, end = cell.size();
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (start < end && blank(cell.at(start)))
        ++start;
    while (end > start && blank(cell.at(end - 1)))
        --end;
    const QString trimmed = cell.mid(start, end - start);
    if (trimmed.isEmpty() || trimmed.size() >= 20) return std::nullopt;
    if (trimmed.startsWith(QLatin1Char('0')) && trimmed.size() > 1 &&
        !trimmed.startsWith(QLatin1String("0.")))
        return std::nullopt;
    // ASCII digits only, as other scripts' digits are no value a spreadsheet reads; \z, as "$"
    // would also accept a final line feed.
    if (!Regex::groups(trimmed, QStringLiteral("^-?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][-+]?[0-9]+)?\\z")))
        return std::nullopt;
    return trimmed;
}
