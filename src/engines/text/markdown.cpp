#include "engines/text/markdown.h"

#include "core/xml.h"
#include "engines/text/blanks.h"
#include "engines/text/regex.h"

#include <QStringList>

namespace {

// Each level of block quote is one level of recursion; a line of many ">" must not exhaust the
// stack.
constexpr int maxQuoteDepth = 32;

// Stands in for a code span (or a private-use character of the text itself) between the first
// and the last inline step, so that nothing in it is escaped twice or formatted.
constexpr QChar placeholderMark(0xE000);

const QString headingPattern = QStringLiteral("^(#{1,6})\\s+(.*?)\\s*#*$");
const QString rulePattern = QStringLiteral("^([-*_])(\\s*\\1){2,}$");
const QString separatorPattern = QStringLiteral("^\\|?(\\s*:?-+:?\\s*\\|)+\\s*:?-*:?\\s*\\|?$");
const QString unorderedPattern = QStringLiteral("^[-*+]\\s+(.*)");
const QString orderedPattern = QStringLiteral("^\\d+[.)]\\s+(.*)");
const QString taskPattern = QStringLiteral("^\\[([ xX])\\]\\s+(.*)");

// A code span, a placeholder character of the text, or a backslash escape of ASCII punctuation.
const QString codeSpanPattern = QStringLiteral("`([^`]+)`|\\x{E000}|\\\\([!-/:-@\\[-`{-~])");
const QString imagePattern = QStringLiteral("!\\[([^\\]]*)\\]\\(([^)\\s]+)[^)]*\\)");
const QString linkPattern = QStringLiteral("\\[([^\\]]+)\\]\\(([^)\\s]+)[^)]*\\)");
const QString strongPattern = QStringLiteral("\\*\\*(.+?)\\*\\*|__(.+?)__");
const QString emphasisPattern =
    QStringLiteral("(?<![\\w*])\\*(?!\\s)(.+?)(?<!\\s)\\*(?!\\*)|(?<![\\w_])_(?!\\s)(.+?)(?<!\\s)_(?!\\w)");
const QString strikePattern = QStringLiteral("~~(.+?)~~");
const QString placeholderPattern = QStringLiteral("\\x{E000}([0-9]+)\\x{E000}");

QString firstNonEmpty(const QStringList& groups)
{
    return groups.at(1).isEmpty() ? groups.at(2) : groups.at(1);
}

// The cells of a table row: one leading and one trailing "|" dropped, split at every "|".
QStringList tableCells(const QString& line)
{
    QString t = Blanks::trimmed(line);
    if (t.startsWith(QLatin1Char('|'))) t.remove(0, 1);
    if (t.endsWith(QLatin1Char('|'))) t.chop(1);
    QStringList cells = t.split(QLatin1Char('|'));
    for (QString& cell : cells)
        cell = Blanks::trimmed(cell);
    return cells;
}

QString tableRow(const QString& line, const QString& tag)
{
    QString row = QStringLiteral("<tr>");
    for (const QString& cell : tableCells(line))
        row += QLatin1Char('<') + tag + QLatin1Char('>') + Markdown::inlineHtml(cell) + QLatin1String("</") +
               tag + QLatin1Char('>');
    return row + QLatin1String("</tr>");
}

// One pass over the lines of a document or of a block quote, building its HTML blocks.
class BlockWriter
{
  public:
    BlockWriter(const QStringList& lines, int depth) : m_lines(lines), m_depth(depth) {}

    QString run()
    {
        while (m_next < m_lines.size())
            step(Blanks::trimmed(m_lines.at(m_next)));
        flush();
        return m_blocks.join(QLatin1Char('\n'));
    }

  private:
    // Tests the line at m_next in order; the first test that holds decides.
    void step(const QString& t)
    {
        if (t.isEmpty()) {
            flush();
            ++m_next;
        } else if (t.startsWith(QLatin1String("```")) || t.startsWith(QLatin1String("~~~"))) {
            fence(t.left(3));
        } else if (const auto heading =
                       t.startsWith(QLatin1Char('#')) ? Regex::groups(t, headingPattern) : std::nullopt) {
            const QString level = QString::number(heading->at(1).size());
            add(QLatin1String("<h") + level + QLatin1Char('>') + Markdown::inlineHtml(heading->at(2)) +
                QLatin1String("</h") + level + QLatin1Char('>'));
            ++m_next;
        } else if (QStringLiteral("-*_").contains(t.at(0)) && Regex::groups(t, rulePattern)) {
            add(QStringLiteral("<hr/>"));
            ++m_next;
        } else if (t.startsWith(QLatin1Char('>')) && m_depth < maxQuoteDepth) {
            quote();
        } else if (t.startsWith(QLatin1Char('|')) && m_next + 1 < m_lines.size() &&
                   Regex::groups(Blanks::trimmed(m_lines.at(m_next + 1)), separatorPattern)) {
            table();
        } else if (Regex::groups(t, unorderedPattern)) {
            list(false);
        } else if (Regex::groups(t, orderedPattern)) {
            list(true);
        } else {
            m_paragraph.append(t);
            ++m_next;
        }
    }

    void flush()
    {
        if (m_paragraph.isEmpty()) return;
        m_blocks.append(QLatin1String("<p>") + Markdown::inlineHtml(m_paragraph.join(QLatin1Char(' '))) +
                        QLatin1String("</p>"));
        m_paragraph.clear();
    }

    void add(const QString& block)
    {
        flush();
        m_blocks.append(block);
    }

    // Every following line is code, indentation kept, up to a line opening with the same fence.
    void fence(const QString& marker)
    {
        flush();
        QStringList code;
        for (++m_next; m_next < m_lines.size(); ++m_next) {
            if (Blanks::trimmed(m_lines.at(m_next)).startsWith(marker)) {
                ++m_next;
                break;
            }
            code.append(m_lines.at(m_next));
        }
        add(QLatin1String("<pre><code>") + xmlEscaped(code.join(QLatin1Char('\n'))) +
            QLatin1String("</code></pre>"));
    }

    void quote()
    {
        flush();
        QStringList inner;
        for (; m_next < m_lines.size(); ++m_next) {
            const QString t = Blanks::trimmed(m_lines.at(m_next));
            if (!t.startsWith(QLatin1Char('>'))) break;
            inner.append(Blanks::trimmed(t.mid(1)));
        }
        add(QLatin1String("<blockquote>") + BlockWriter(inner, m_depth + 1).run() +
            QLatin1String("</blockquote>"));
    }

    void table()
    {
        flush();
        QString html = QStringLiteral("<table>") + tableRow(m_lines.at(m_next), QStringLiteral("th"));
        for (m_next += 2; m_next < m_lines.size(); ++m_next) {
            if (!Blanks::trimmed(m_lines.at(m_next)).startsWith(QLatin1Char('|'))) break;
            html += tableRow(m_lines.at(m_next), QStringLiteral("td"));
        }
        add(html + QLatin1String("</table>"));
    }

    void list(bool ordered)
    {
        flush();
        QStringList items;
        for (; m_next < m_lines.size(); ++m_next) {
            const QString& line = m_lines.at(m_next);
            const QString t = Blanks::trimmed(line);
            if (const auto item = Regex::groups(t, ordered ? orderedPattern : unorderedPattern)) {
                items.append(ordered ? item->at(1) : taskItem(item->at(1)));
            } else if (t.isEmpty() || items.isEmpty() || !line.startsWith(QLatin1String("  "))) {
                break;
            } else {
                items.last() += QLatin1Char(' ') + t;
            }
        }
        const QString tag = ordered ? QStringLiteral("ol") : QStringLiteral("ul");
        QString html = QLatin1Char('<') + tag + QLatin1Char('>');
        for (const QString& item : items)
            html += QLatin1String("<li>") + Markdown::inlineHtml(item) + QLatin1String("</li>");
        add(html + QLatin1String("</") + tag + QLatin1Char('>'));
    }

    static QString taskItem(const QString& item)
    {
        const auto task = Regex::groups(item, taskPattern);
        if (!task) return item;
        return (task->at(1) == QLatin1String(" ") ? QStringLiteral("☐ ") : QStringLiteral("☑ ")) +
               task->at(2);
    }

    const QStringList& m_lines;
    const int m_depth;
    qsizetype m_next = 0;
    QStringList m_blocks;
    QStringList m_paragraph;
};

} // namespace

namespace Markdown {

QString html(const QString& markdown)
{
    QString text = markdown;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return BlockWriter(text.split(QLatin1Char('\n')), 0).run();
}

QString inlineHtml(const QString& text)
{
    // Code spans are kept aside first and put back last; so are escaped characters, which stay
    // literal, and any private-use placeholder character of the text itself, which then comes
    // back unchanged.
    QStringList kept;
    QString s = text;
    if (s.contains(QLatin1Char('`')) || s.contains(placeholderMark) || s.contains(QLatin1Char('\\')))
        s = Regex::replace(s, codeSpanPattern, [&](const QStringList& g) {
            kept.append(!g.at(1).isEmpty()
                            ? QLatin1String("<code>") + xmlEscaped(g.at(1)) + QLatin1String("</code>")
                        : !g.at(2).isEmpty() ? xmlEscaped(g.at(2))
                                             : g.at(0));
            return placeholderMark + QString::number(kept.size() - 1) + placeholderMark;
        });
    s = xmlEscaped(s);
    if (s.contains(QLatin1String("![")))
        s = Regex::replace(s, imagePattern, [](const QStringList& g) {
            return QLatin1String("<img alt=\"") + g.at(1) + QLatin1String("\" src=\"") + g.at(2) +
                   QLatin1String("\"/>");
        });
    if (s.contains(QLatin1Char('[')))
        s = Regex::replace(s, linkPattern, [](const QStringList& g) {
            return QLatin1String("<a href=\"") + g.at(2) + QLatin1String("\">") + g.at(1) +
                   QLatin1String("</a>");
        });
    if (s.contains(QLatin1String("**")) || s.contains(QLatin1String("__")))
        s = Regex::replace(s, strongPattern, [](const QStringList& g) {
            return QLatin1String("<strong>") + firstNonEmpty(g) + QLatin1String("</strong>");
        });
    if (s.contains(QLatin1Char('*')) || s.contains(QLatin1Char('_')))
        s = Regex::replace(s, emphasisPattern, [](const QStringList& g) {
            return QLatin1String("<em>") + firstNonEmpty(g) + QLatin1String("</em>");
        });
    if (s.contains(QLatin1String("~~")))
        s = Regex::replace(s, strikePattern, [](const QStringList& g) {
            return QLatin1String("<del>") + g.at(1) + QLatin1String("</del>");
        });
    if (!kept.isEmpty())
        s = Regex::replace(s, placeholderPattern, [&](const QStringList& g) {
            bool ok = false;
            const qsizetype index = g.at(1).toLongLong(&ok);
            return ok && index < kept.size() ? kept.at(index) : g.at(0);
        });
    return s;
}

} // namespace Markdown
