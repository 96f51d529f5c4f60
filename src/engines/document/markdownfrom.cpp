#include "engines/document/markdownfrom.h"

#include "engines/document/fontsize.h"
#include "engines/text/blanks.h"
#include "engines/text/regex.h"

#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

namespace {

// A typed bullet; a hyphen or dash needs a space after it, so "-42" stays a number.
const QString bulletPattern = QStringLiteral("^(?:[•◦▪●‣]\\s*|[–-]\\s+)(.*)");
const QString orderedMarkerPattern = QStringLiteral("^\\d{1,9}[.)]");

bool isLineBreak(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator;
}

// `text` with a backslash before a block marker at its start ("#", "-", "1." …), so that text
// the document holds is never read back as a heading, list item, quote, rule or fence.
QString escapedLineStart(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && Blanks::isBlank(text.at(i)))
        ++i;
    if (i == text.size()) return text;
    QString escaped = text;
    if (QStringLiteral("#-+*>_`~").contains(text.at(i)))
        escaped.insert(i, QLatin1Char('\\'));
    else if (const auto marker = Regex::groups(text.mid(i, 11), orderedMarkerPattern))
        escaped.insert(i + marker->at(0).size() - 1, QLatin1Char('\\'));
    return escaped;
}

bool isMarked(const QTextCharFormat& format)
{
    return format.fontWeight() >= QFont::Bold || format.fontItalic() ||
           (format.isAnchor() && !format.anchorHref().isEmpty());
}

// One run of text with its marks: bold, italic and a link around the text between its spaces.
QString markedRun(const QString& text, const QTextCharFormat& format)
{
    if (text.trimmed().isEmpty()) return text;
    qsizetype start = 0, end = text.size();
    while (text.at(start).isSpace())
        ++start;
    while (text.at(end - 1).isSpace())
        --end;
    QString core = text.mid(start, end - start);
    if (format.fontWeight() >= QFont::Bold) core = QLatin1String("**") + core + QLatin1String("**");
    if (format.fontItalic()) core = QLatin1Char('*') + core + QLatin1Char('*');
    if (format.isAnchor() && !format.anchorHref().isEmpty())
        core = QLatin1Char('[') + core + QLatin1String("](") + format.anchorHref() + QLatin1Char(')');
    return text.left(start) + core + text.mid(end);
}

QString markedText(const QTextBlock& block)
{
    QString marked;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat format = it.fragment().charFormat();
        if (format.isImageFormat()) continue; // a picture's placeholder is no text
        // The line's first words are escaped unless a mark of ours opens it.
        const bool opensLine = Blanks::trimmed(marked).isEmpty();
        const QString text = it.fragment().text();
        marked += markedRun(opensLine && !isMarked(format) ? escapedLineStart(text) : text, format);
    }
    while (!marked.isEmpty() && isLineBreak(marked.back()))
        marked.chop(1);
    return Blanks::trimmed(marked);
}

// "# " to "###### " for a heading, by its level or else by its size against the body size.
QString headingMarker(const QTextBlock& block, const QString& t, double body)
{
    if (const int level = block.blockFormat().headingLevel(); level > 0)
        return QString(qMin(level, 6), QLatin1Char('#')) + QLatin1Char(' ');
    const QTextCharFormat format =
        block.begin().atEnd() ? block.charFormat() : block.begin().fragment().charFormat();
    const double size = Doc::pointSize(format, *block.document());
    if (size >= 1.6 * body) return QStringLiteral("# ");
    if (size >= 1.3 * body) return QStringLiteral("## ");
    if (size >= 1.12 * body && format.fontWeight() >= QFont::Bold && t.size() < 120)
        return QStringLiteral("### ");
    return {};
}

bool isBulleted(const QTextList& list)
{
    const QTextListFormat::Style style = list.format().style();
    return style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle ||
           style == QTextListFormat::ListSquare;
}

// No blank line first and never two in a row; trimmed, with one final line feed.
QString joined(const QStringList& lines)
{
    QStringList kept;
    for (const QString& line : lines)
        if (!line.isEmpty() || (!kept.isEmpty() && !kept.last().isEmpty())) kept.append(line);
    return kept.join(QLatin1Char('\n')).trimmed() + QLatin1Char('\n');
}

} // namespace

namespace Markdown {

QString from(const QTextDocument& document)
{
    const double body = Doc::bodyFontSize(document);
    QStringList lines;
    bool inList = false;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString text = block.text().remove(QChar::ObjectReplacementCharacter);
        while (!text.isEmpty() && isLineBreak(text.back()))
            text.chop(1);
        const QString t = Blanks::trimmed(text);
        // List items follow each other line by line; every other block stands between blank
        // lines, else a reader joins neighbouring paragraphs into one.
        const QTextList* list = block.textList();
        const auto bullet = list ? std::nullopt : Regex::groups(t, bulletPattern);
        const QString marker = t.isEmpty() ? QString() : headingMarker(block, t, body);
        const bool item = !t.isEmpty() && marker.isEmpty() && (list || bullet);
        if (!item && inList) lines.append(QString());
        inList = item;
        if (t.isEmpty()) {
            lines.append(QString());
        } else if (!marker.isEmpty()) {
            lines << marker + t << QString();
        } else if (list) {
            lines.append((isBulleted(*list) ? QLatin1String("- ") : QLatin1String("1. ")) +
                         markedText(block));
        } else if (bullet) {
            lines.append(QLatin1String("- ") + escapedLineStart(bullet->at(1)));
        } else {
            lines << markedText(block) << QString();
        }
    }
    return joined(lines);
}

} // namespace Markdown
