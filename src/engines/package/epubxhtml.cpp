#include "engines/package/epub.h"

#include "engines/text/htmlentities.h"
#include "engines/text/regex.h"

#include <QSet>
#include <QStringList>

namespace {

const QSet<QString> voidElements{"area",  "base", "br",   "col",   "embed",  "hr",    "img",
                                 "input", "link", "meta", "param", "source", "track", "wbr"};
// Left out with everything inside them: a chapter body has no head, and nothing inert.
const QSet<QString> droppedElements{"head", "template"};
// Left out as tags, their content kept: the chapter supplies its own.
const QSet<QString> droppedTags{"html", "body", "base", "link", "meta"};
// Their content is text up to their end tag, never markup; scripts and titles are left out.
const QSet<QString> rawTextElements{"style", "textarea", "xmp", "script", "title"};
const QSet<QString> droppedText{"script", "title"};
// A start tag of these ends an open paragraph, as in a browser.
const QSet<QString> closesParagraph{
    "address", "article", "aside", "blockquote", "center",     "details", "dialog",  "dir",   "div",
    "dl",      "dd",      "dt",    "fieldset",   "figcaption", "figure",  "footer",  "form",  "h1",
    "h2",      "h3",      "h4",    "h5",         "h6",         "header",  "hgroup",  "hr",    "li",
    "main",    "menu",    "nav",   "ol",         "p",          "pre",     "section", "table", "ul"};
// Searching the open elements for one to close stops at these.
const QSet<QString> scopeLimits{"table", "td", "th", "caption", "button", "object", "template"};

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// Text or an attribute value as XML: named entities become numeric references, references to
// characters XML cannot hold become U+FFFD, bare "&", "<" and ">" are escaped (and '"' in a
// value), and characters XML cannot hold are dropped.
QString xmlText(const QString& raw, bool attribute)
{
    QString s = Regex::replace(raw, QStringLiteral("&([A-Za-z][A-Za-z0-9]*);"), [](const QStringList& g) {
        static const QStringList xmlNames{"amp", "lt", "gt", "quot", "apos"};
        if (xmlNames.contains(g.at(1))) return g.at(0);
        const auto code = HtmlEntities::codePoint(g.at(1));
        return code ? QLatin1String("&#") + QString::number(quint32(*code)) + QLatin1Char(';') : g.at(0);
    });
    s = Regex::replace(s, QStringLiteral("&#([0-9]{1,10}|[xX][0-9a-fA-F]{1,8});"), [](const QStringList& g) {
        bool ok = false;
        const qulonglong code = g.at(1).startsWith(QLatin1Char('x'), Qt::CaseInsensitive)
                                    ? g.at(1).mid(1).toULongLong(&ok, 16)
                                    : g.at(1).toULongLong(&ok, 10);
        return ok && code <= 0x10FFFF && isXmlChar(char32_t(code)) ? g.at(0) : QStringLiteral("&#65533;");
    });
    s = Regex::replace(s, QStringLiteral("&(?!(amp|lt|gt|quot|apos|#[0-9]+|#[xX][0-9a-fA-F]+);)"),
                       [](const QStringList&) { return QStringLiteral("&amp;"); });
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
            out += c;
            out += s.at(++i);
        } else if (c == u'<') {
            out += QLatin1String("&lt;");
        } else if (c == u'>') {
            out += QLatin1String("&gt;");
        } else if (c == u'"' && attribute) {
            out += QLatin1String("&quot;");
        } else if (!c.isSurrogate() && isXmlChar(c.unicode())) {
            out += c;
        }
    }
    return out;
}

bool isNameStart(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// A name XHTML can carry without a namespace of its own ("o:p" and the like have none here).
bool isPlainName(const QString& name, bool attribute)
{
    static const QString element = QStringLiteral("^[a-z][a-z0-9-]*$");
    static const QString attr = QStringLiteral("^([a-z_][a-z0-9_.-]*|epub:type|xml:lang)$");
    return name != QLatin1String("xmlns") && Regex::groups(name, attribute ? attr : element).has_value();
}

struct Tag
{
    QString name;
    QList<std::pair<QString, QString>> attributes;
    bool end = false, selfClosing = false;
};

// Tokenises HTML as a browser would, and keeps an XHTML serialisation of what it has read with
// the elements still open; ending tags close what they name and what lies within.
class Serialiser
{
  public:
    explicit Serialiser(const QString& html) : m_in(html) {}

    QString run()
    {
        while (m_at < m_in.size()) {
            const qsizetype lt = m_in.indexOf(QLatin1Char('<'), m_at);
            const qsizetype stop = lt < 0 ? m_in.size() : lt;
            if (stop > m_at) text(m_in.mid(m_at, stop - m_at));
            m_at = stop;
            if (m_at < m_in.size()) markup();
        }
        while (!m_open.isEmpty())
            closeTop();
        return m_out;
    }

  private:
    void text(const QString& raw)
    {
        if (m_dropped.isEmpty()) m_out += xmlText(raw, false);
    }

    // At a "<": a tag, a comment or declaration (left out), or a plain "<" of the text.
    void markup()
    {
        const QStringView rest = QStringView(m_in).mid(m_at);
        if (rest.startsWith(QLatin1String("<!--"))) {
            const qsizetype end = m_in.indexOf(QLatin1String("-->"), m_at + 4);
            m_at = end < 0 ? m_in.size() : end + 3;
        } else if (rest.startsWith(QLatin1String("<!")) || rest.startsWith(QLatin1String("<?"))) {
            const qsizetype end = m_in.indexOf(QLatin1Char('>'), m_at);
            m_at = end < 0 ? m_in.size() : end + 1;
        } else if (rest.size() > 1 && (isNameStart(rest.at(1)) ||
                                       (rest.size() > 2 && rest.at(1) == u'/' && isNameStart(rest.at(2))))) {
            element(readTag());
        } else {
            text(QStringLiteral("<"));
            ++m_at;
        }
    }

    Tag readTag()
    {
        Tag tag;
        ++m_at; // "<"
        if (m_in.at(m_at) == u'/') {
            tag.end = true;
            ++m_at;
        }
        tag.name = readUntil(QStringLiteral(" \t\n\r\f/>")).toLower();
        for (;;) {
            skipSpace();
            if (m_at >= m_in.size()) break;
            const QChar c = m_in.at(m_at);
            if (c == u'>') {
                ++m_at;
                break;
            }
            if (c == u'/') {
                ++m_at;
                tag.selfClosing = m_at < m_in.size() && m_in.at(m_at) == u'>';
                continue;
            }
            QString name = readUntil(QStringLiteral(" \t\n\r\f/>=")).toLower();
            if (name.isEmpty()) name = m_in.at(m_at++); // a stray "=" is a name of its own
            skipSpace();
            QString value;
            if (m_at < m_in.size() && m_in.at(m_at) == u'=') {
                ++m_at;
                skipSpace();
                value = readValue();
            }
            const bool known = std::any_of(tag.attributes.cbegin(), tag.attributes.cend(),
                                           [&](const auto& a) { return a.first == name; });
            if (!known && isPlainName(name, true)) tag.attributes.append({name, value});
        }
        return tag;
    }

    QString readValue()
    {
        if (m_at >= m_in.size()) return {};
        const QChar quote = m_in.at(m_at);
        if (quote != u'"' && quote != u'\'') return readUntil(QStringLiteral(" \t\n\r\f>"));
        const qsizetype end = m_in.indexOf(quote, m_at + 1);
        const qsizetype stop = end < 0 ? m_in.size() : end;
        const QString value = m_in.mid(m_at + 1, stop - m_at - 1);
        m_at = end < 0 ? m_in.size() : end + 1;
        return value;
    }

    QString readUntil(const QString& stops)
    {
        const qsizetype start = m_at;
        while (m_at < m_in.size() && !stops.contains(m_in.at(m_at)))
            ++m_at;
        return m_in.mid(start, m_at - start);
    }

    void skipSpace()
    {
        while (m_at < m_in.size() && QStringLiteral(" \t\n\r\f").contains(m_in.at(m_at)))
            ++m_at;
    }

    void element(const Tag& tag)
    {
        if (!isPlainName(tag.name, false)) return; // the content stays, the tag goes
        if (tag.end) return endTag(tag.name);
        if (tag.name == QLatin1String("body")) m_dropped.clear(); // a head left open ends here
        if (droppedTags.contains(tag.name)) return;
        if (rawTextElements.contains(tag.name) && !tag.selfClosing) return rawText(tag);
        if (droppedElements.contains(tag.name) || !m_dropped.isEmpty()) {
            if (!tag.selfClosing && !voidElements.contains(tag.name) && droppedElements.contains(tag.name))
                m_dropped.append(tag.name);
            return;
        }
        startTag(tag);
        if (voidElements.contains(tag.name) || tag.selfClosing) {
            m_out += QLatin1String(" />");
            return;
        }
        m_out += QLatin1Char('>');
        m_open.append(tag.name);
    }

    // Writes "<name" and the attributes; the caller ends the tag.
    void startTag(const Tag& tag)
    {
        impliedEnds(tag.name);
        m_out += QLatin1Char('<') + tag.name;
        for (const auto& [name, value] : tag.attributes)
            m_out += QLatin1Char(' ') + name + QLatin1String("=\"") + xmlText(value, true) + QLatin1Char('"');
    }

    // Everything up to the element's end tag is its text.
    void rawText(const Tag& tag)
    {
        const QString end = QLatin1String("</") + tag.name;
        qsizetype close = m_in.indexOf(end, m_at, Qt::CaseInsensitive);
        while (close >= 0 && close + end.size() < m_in.size() &&
               !QStringLiteral(" \t\n\r\f/>").contains(m_in.at(close + end.size())))
            close = m_in.indexOf(end, close + 1, Qt::CaseInsensitive);
        const qsizetype stop = close < 0 ? m_in.size() : close;
        const QString content = m_in.mid(m_at, stop - m_at);
        m_at = stop;
        if (close >= 0) readTag(); // the end tag
        if (!m_dropped.isEmpty() || droppedText.contains(tag.name)) return;
        startTag(tag);
        m_out +=
            QLatin1Char('>') + xmlText(content, false) + QLatin1String("</") + tag.name + QLatin1Char('>');
    }

    void endTag(const QString& name)
    {
        if (!m_dropped.isEmpty()) {
            if (m_dropped.last() == name) m_dropped.removeLast();
            return;
        }
        if (m_open.contains(name))
            while (m_open.last() != name)
                closeTop();
        if (!m_open.isEmpty() && m_open.last() == name) closeTop();
    }

    // What a browser closes before an element opens: an open paragraph before a block, the
    // previous item before a list item, cell or row.
    void impliedEnds(const QString& name)
    {
        if (closesParagraph.contains(name)) closeWithin(QStringLiteral("p"), {});
        if (name == QLatin1String("li")) closeWithin(name, {"ul", "ol", "menu", "dir"});
        if (name == QLatin1String("dd") || name == QLatin1String("dt")) {
            closeWithin(QStringLiteral("dd"), {"dl"});
            closeWithin(QStringLiteral("dt"), {"dl"});
        }
        const bool section = name == QLatin1String("thead") || name == QLatin1String("tbody") ||
                             name == QLatin1String("tfoot");
        const bool row = section || name == QLatin1String("tr");
        if (row || name == QLatin1String("td") || name == QLatin1String("th")) {
            closeWithin(QStringLiteral("td"), {"tr"});
            closeWithin(QStringLiteral("th"), {"tr"});
        }
        if (row) closeWithin(QStringLiteral("tr"), {"thead", "tbody", "tfoot"});
        if (section)
            for (const QString open : {"thead", "tbody", "tfoot"})
                closeWithin(open, {});
    }

    // Closes the innermost open `name` and what it holds, unless a limit lies in between.
    void closeWithin(const QString& name, const QSet<QString>& limits)
    {
        for (qsizetype i = m_open.size() - 1; i >= 0; --i) {
            const QString& open = m_open.at(i);
            if (open == name) {
                while (m_open.size() > i)
                    closeTop();
                return;
            }
            if (limits.contains(open) || scopeLimits.contains(open)) return;
        }
    }

    void closeTop() { m_out += QLatin1String("</") + m_open.takeLast() + QLatin1Char('>'); }

    const QString& m_in;
    qsizetype m_at = 0;
    QString m_out;
    QStringList m_open;    // elements written open, innermost last
    QStringList m_dropped; // elements being left out with their content, innermost last
};

} // namespace

namespace EPUB {

QString xhtml(const QString& html)
{
    return Serialiser(html).run();
}

} // namespace EPUB
