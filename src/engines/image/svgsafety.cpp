#include "engines/image/svgsafety.h"

#include "engines/text/regex.h"

#include <QBuffer>
#include <QImageReader>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <optional>
#include <utility>

namespace {

// A drawing in a data: address in a drawing in …: deeper than this is refused.
constexpr int maxNesting = 4;

QByteArray confinedAt(const QByteArray& bytes, int depth);

bool isInside(QStringView address)
{
    const QStringView a = address.trimmed();
    return a.startsWith(QLatin1Char('#')) || a.startsWith(QLatin1String("data:"), Qt::CaseInsensitive);
}

// A data: address whose picture is itself confined; none when that picture is refused.
std::optional<QString> confinedData(const QString& address, int depth)
{
    const QString a = address.trimmed();
    const qsizetype comma = a.indexOf(QLatin1Char(','));
    if (comma < 0) return a;
    const bool base64 = a.left(comma).endsWith(QLatin1String(";base64"), Qt::CaseInsensitive);
    const QByteArray payload = QByteArray::fromPercentEncoding(a.mid(comma + 1).toLatin1());
    const QByteArray bytes = base64 ? QByteArray::fromBase64(payload) : payload;
    if (!Svg::recognizes(bytes)) return a;
    const QByteArray inner = confinedAt(bytes, depth + 1);
    if (inner.isEmpty()) return std::nullopt;
    return QStringLiteral("data:image/svg+xml;base64,") + QString::fromLatin1(inner.toBase64());
}

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

// Style text without its @import rules, in every spelling a style sheet reader takes: any case,
// escaped letters, comments or a string or url() as the target.
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

// Style text with its imports gone and its url()s to elsewhere made "none".
QString confinedStyle(const QString& css)
{
    return Regex::replace(
        withoutImports(css), QStringLiteral("(?i)url\\(\\s*(['\"]?)([^'\")]*)\\1\\s*\\)"),
        [](const QStringList& g) { return isInside(g[2]) ? g[0] : QStringLiteral("none"); });
}

bool isLink(const QString& name)
{
    return name == QLatin1String("href") || name.endsWith(QLatin1String(":href"));
}

// The element's attributes made to stand alone; none when it links out of the drawing, so that
// the element is left out whole. A hyperlink (`a`) only loses its address: it loads nothing,
// and what it holds is part of the drawing.
std::optional<QXmlStreamAttributes> confinedAttributes(const QXmlStreamReader& in, int depth)
{
    const QXmlStreamAttributes attributes = in.attributes();
    const bool hyperlink = in.name() == QLatin1String("a");
    QXmlStreamAttributes out;
    for (const QXmlStreamAttribute& attribute : attributes) {
        const QString name = attribute.qualifiedName().toString();
        QString value = attribute.value().toString();
        if (isLink(name)) {
            if (!isInside(value) && hyperlink) continue;
            if (!isInside(value)) return std::nullopt;
            if (value.trimmed().startsWith(QLatin1String("data:"), Qt::CaseInsensitive)) {
                const auto data = confinedData(value, depth);
                if (!data) return std::nullopt;
                value = *data;
            }
        } else if (value.contains(QLatin1String("url("), Qt::CaseInsensitive) ||
                   value.contains(QLatin1Char('@'))) {
            value = confinedStyle(value);
        }
        out.append(name, value);
    }
    return out;
}

QByteArray confinedAt(const QByteArray& bytes, int depth)
{
    if (depth > maxNesting || bytes.startsWith("\x1f\x8b")) return {};
    QXmlStreamReader in(bytes);
    // Names are copied as written: the renderer looks attributes up by their prefixed names.
    in.setNamespaceProcessing(false);
    QByteArray result;
    QXmlStreamWriter out(&result);
    int styleDepth = 0;
    // Style text is confined whole up to the next tag written: pieces split by comments, CDATA
    // sections, entities or elements left out join up again in what is written.
    QString styleText;
    const auto writeStyle = [&] {
        if (!styleText.isEmpty()) out.writeCharacters(confinedStyle(std::exchange(styleText, {})));
    };
    while (!in.atEnd()) {
        switch (in.readNext()) {
        case QXmlStreamReader::StartDocument:
            out.writeStartDocument();
            break;
        case QXmlStreamReader::StartElement:
            if (const auto attributes = confinedAttributes(in, depth)) {
                if (styleDepth > 0 || in.name() == QLatin1String("style")) ++styleDepth;
                writeStyle();
                out.writeStartElement(in.qualifiedName().toString());
                out.writeAttributes(*attributes);
            } else {
                in.skipCurrentElement();
            }
            break;
        case QXmlStreamReader::EndElement:
            if (styleDepth > 0) --styleDepth;
            writeStyle();
            out.writeEndElement();
            break;
        case QXmlStreamReader::Characters:
            if (styleDepth > 0)
                styleText += in.text();
            else if (in.isCDATA())
                out.writeCDATA(in.text().toString());
            else
                out.writeCharacters(in.text().toString());
            break;
        case QXmlStreamReader::EndDocument:
            out.writeEndDocument();
            break;
        default: // the document type, processing instructions, comments, unknown entities
            break;
        }
    }
    if (in.hasError()) return {};
    return result;
}

} // namespace

namespace Svg {

bool recognizes(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader(&buffer).format();
    return format == "svg" || format == "svgz";
}

QByteArray confined(const QByteArray& bytes)
{
    return recognizes(bytes) ? confinedAt(bytes, 0) : bytes;
}

} // namespace Svg
