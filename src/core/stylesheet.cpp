#include "core/stylesheet.h"

#include <algorithm>

namespace {

bool isHex(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

// The name of the at-rule whose "@" is at `at`, read as a CSS tokenizer reads it (escapes such as
// "\69" or "\i" stand for their character), lower-cased; `end` becomes where the name ends.
QString atRuleName(const QString& css, qsizetype at, qsizetype& end)
{
    QString name;
    qsizetype i = at + 1;
    while (i < css.size()) {
        const QChar c = css[i];
        if (c == QLatin1Char('\\') && i + 1 < css.size() && css[i + 1] != QLatin1Char('\n')) {
            qsizetype hex = i + 1;
            while (hex < css.size() && hex < i + 7 && isHex(css[hex]))
                ++hex;
            if (hex > i + 1) {
                name += QChar(char16_t(std::min(css.mid(i + 1, hex - i - 1).toUInt(nullptr, 16), 0xFFFDu)));
                i = hex < css.size() && css[hex].isSpace() ? hex + 1 : hex;
            } else {
                name += css[i + 1];
                i += 2;
            }
        } else if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') ||
                   c.unicode() > 0x7F) {
            name += c;
            ++i;
        } else {
            break;
        }
    }
    end = i;
    return name.toLower();
}

// Where the comment or string that starts at `i` ends (one past it), or `i` when none starts there.
qsizetype pastCommentOrString(const QString& css, qsizetype i)
{
    if (css.mid(i, 2) == QLatin1String("/*")) {
        const qsizetype close = css.indexOf(QLatin1String("*/"), i + 2);
        return close < 0 ? css.size() : close + 2;
    }
    const QChar quote = css[i];
    if (quote != QLatin1Char('"') && quote != QLatin1Char('\'')) return i;
    for (qsizetype j = i + 1; j < css.size(); ++j) {
        if (css[j] == QLatin1Char('\\'))
            ++j;
        else if (css[j] == quote || css[j] == QLatin1Char('\n'))
            return j + 1;
    }
    return css.size();
}

// Where the at-rule whose prelude starts at `i` ends: past its ";" or its block, outside strings,
// comments and brackets, or before the end of a block around it; the end of the text when
// nothing closes it.
qsizetype pastAtRule(const QString& css, qsizetype i)
{
    int depth = 0;
    while (i < css.size()) {
        if (const qsizetype past = pastCommentOrString(css, i); past != i) {
            i = past;
            continue;
        }
        const QChar c = css[i];
        if (c == QLatin1Char('\\')) {
            i += 2;
            continue;
        }
        if (depth == 0 && c == QLatin1Char(';')) return i + 1;
        if (depth == 0 && c == QLatin1Char('}')) return i; // the end of the block around the rule
        if (c == QLatin1Char('(') || c == QLatin1Char('[') || c == QLatin1Char('{')) ++depth;
        if ((c == QLatin1Char(')') || c == QLatin1Char(']') || c == QLatin1Char('}')) && --depth == 0 &&
            c == QLatin1Char('}'))
            return i + 1;
        ++i;
    }
    return css.size();
}

} // namespace

namespace StyleSheet {

QString withoutImports(const QString& css)
{
    QString out;
    qsizetype i = 0;
    while (i < css.size()) {
        if (const qsizetype past = pastCommentOrString(css, i); past != i) {
            out += QStringView(css).sliced(i, past - i);
            i = past;
        } else if (css[i] == QLatin1Char('\\') && i + 1 < css.size()) {
            out += QStringView(css).sliced(i, 2);
            i += 2;
        } else if (qsizetype end = 0;
                   css[i] == QLatin1Char('@') && atRuleName(css, i, end) == QLatin1String("import")) {
            i = pastAtRule(css, end);
        } else {
            out += css[i++];
        }
    }
    return out;
}

} // namespace StyleSheet
