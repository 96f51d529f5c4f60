#pragma once

#include <QString>

// Markdown's notion of blank: spaces and tabs only (not the other Unicode spaces QString trims).
namespace Blanks {

inline bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// The text without spaces and tabs at either end.
inline QString trimmed(const QString& text)
{
    qsizetype start = 0, end = text.size();
    while (start < end && isBlank(text.at(start)))
        ++start;
    while (end > start && isBlank(text.at(end - 1)))
        --end;
    return start == 0 && end == text.size() ? text : text.mid(start, end - start);
}

} // namespace Blanks
