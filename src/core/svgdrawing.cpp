#include "core/svgdrawing.h"

#include "core/stylesheet.h"

#include <QList>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <functional>
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
    if (!SvgDrawing::mayBe(bytes)) return a;
    const QByteArray inner = confinedAt(bytes, depth + 1);
    if (inner.isEmpty()) return std::nullopt;
    return QStringLiteral("data:image/svg+xml;base64,") + QString::fromLatin1(inner.toBase64());
}

QString replaced(const QString& text, const QRegularExpression& pattern,
                 const std::function<QString(const QRegularExpressionMatch&)>& transform)
{
    QString out;
    qsizetype done = 0;
    for (const QRegularExpressionMatch& match : pattern.globalMatch(text)) {
        out += QStringView(text).mid(done, match.capturedStart() - done);
        out += transform(match);
        done = match.capturedEnd();
    }
    out += QStringView(text).mid(done);
    return out;
}

// Style text with its imports gone and its url()s to elsewhere made "none".
QString confinedStyle(const QString& css)
{
    static const QRegularExpression url(QStringLiteral("url\\(\\s*(['\"]?)([^'\")]*)\\1\\s*\\)"),
                                        QRegularExpression::CaseInsensitiveOption);
    return replaced(StyleSheet::withoutImports(css), url, [](const QRegularExpressionMatch& m) {
        return isInside(m.capturedView(2)) ? m.captured(0) : QStringLiteral("none");
    });
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
    // Names are copied as written: renderers look attributes up by their prefixed names.
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

bool isRaster(const QByteArray& bytes)
{
    static const QList<QByteArray> magics{QByteArray("\x89PNG"),  QByteArray("\xFF\xD8\xFF"),
                                          QByteArray("GIF8"),     QByteArray("II*\0", 4),
                                          QByteArray("MM\0*", 4), QByteArray("BM")};
    for (const QByteArray& magic : magics)
        if (bytes.startsWith(magic)) return true;
    return bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP";
}

} // namespace

namespace SvgDrawing {

bool mayBe(const QByteArray& bytes)
{
    if (bytes.startsWith("\x1f\x8b")) return true;
    if (isRaster(bytes)) return false;
    // Readers look at the first few hundred bytes, in UTF-16 too when it has its mark.
    const QByteArray head = bytes.left(4096);
    QString text;
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF"))
        text = QStringDecoder(QStringDecoder::Utf16)(head);
    else
        text = QString::fromLatin1(head.startsWith("\xEF\xBB\xBF") ? head.mid(3) : head);
    const QString start = text.trimmed();
    for (const char* opening : {"<?xml", "<svg", "<!--", "<!DOCTYPE svg"})
        if (start.startsWith(QLatin1String(opening), Qt::CaseInsensitive)) return true;
    return text.contains(QLatin1String("<svg"), Qt::CaseInsensitive);
}

QByteArray confined(const QByteArray& drawing)
{
    return confinedAt(drawing, 0);
}

} // namespace SvgDrawing
