#include "engines/pdftext/pdftext.h"

#include <QTextBoundaryFinder>

namespace PDFText {

bool isWhitespace(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

bool isNewline(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

QString trimmed(const QString& text, bool newlines)
{
    const auto strip = [newlines](QChar c) { return isWhitespace(c) || (newlines && isNewline(c)); };
    qsizetype start = 0, end = text.size();
    while (start < end && strip(text.at(start)))
        ++start;
    while (end > start && strip(text.at(end - 1)))
        --end;
    return text.mid(start, end - start);
}

qsizetype characterCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

QStringList lines(const QString& text)
{
    QStringList result;
    if (text.isEmpty()) return result;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isNewline(text.at(i))) continue;
        result.append(text.mid(start, i - start));
        start = i + 1;
    }
    result.append(text.mid(start));
    return result;
}

bool hasText(const QString& text)
{
    const auto strip = [](QChar c) { return isWhitespace(c) || isNewline(c); };
    qsizetype start = 0, end = text.size();
    while (start < end && strip(text.at(start)))
        ++start;
    while (end > start && strip(text.at(end - 1)))
        --end;
    const QStringView t = QStringView(text).mid(start, end - start);
    if (t.size() < 4) return false;
    // Grapheme breaks look only backwards, so a break inside a prefix is a break of the whole text
    // (the prefix's own end is not): a page's text need not be segmented beyond its first few.
    const auto graphemes = [](QStringView part, bool whole) {
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, part);
        int count = 0;
        for (qsizetype at = 0; count < 4 && (at = finder.toNextBoundary()) > 0;)
            count += whole || at < part.size();
        return count;
    };
    constexpr qsizetype prefix = 64;
    return (t.size() > prefix && graphemes(t.first(prefix), false) == 4) || graphemes(t, true) == 4;
}

} // namespace PDFText
