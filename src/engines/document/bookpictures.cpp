#include "engines/document/bookpictures.h"

#include "engines/document/pictures.h"
#include "engines/text/regex.h"

#include <QHash>

namespace {

// The text of an attribute value with the references HTML writers use for quotes and markup.
QString attributeText(QString value)
{
    return value.replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&#39;"), QLatin1String("'"))
        .replace(QLatin1String("&apos;"), QLatin1String("'"))
        .replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
}

} // namespace

namespace Doc {

BookBody bookBody(const QString& html, const QTextDocument& document)
{
    BookBody out;
    QHash<QString, QString> hrefs; // picture name → its file in the book, empty when unavailable
    const QString source = QStringLiteral("(?i)(\\ssrc\\s*=\\s*)(\"[^\"]*\"|'[^']*'|[^\\s>]+)");
    out.html = Regex::replace(html, QStringLiteral("(?is)<img\\b[^>]*>"), [&](const QStringList& tag) {
        const auto found = Regex::groups(tag[0], source);
        if (!found) return QString();
        QString value = found->at(2);
        if (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\'')))
            value = value.mid(1, value.size() - 2);
        const QString name = attributeText(value);
        auto href = hrefs.constFind(name);
        if (href == hrefs.cend()) {
            const auto picture = Doc::picture(document, name);
            QString file;
            if (picture) {
                file = QStringLiteral("images/picture%1.%2")
                           .arg(out.pictures.size() + 1)
                           .arg(picture->extension);
                out.pictures.append({file, picture->mimeType, picture->bytes});
            }
            href = hrefs.insert(name, file);
        }
        if (href->isEmpty()) return QString();
        // Other renditions would name pictures the book lacks.
        const QString single =
            Regex::replace(tag[0], QStringLiteral("(?i)\\ssrcset\\s*=\\s*(\"[^\"]*\"|'[^']*'|[^\\s>]+)"),
                           [](const QStringList&) { return QString(); });
        return Regex::replace(single, source, [&](const QStringList& g) {
            return g[1] + QLatin1Char('"') + *href + QLatin1Char('"');
        });
    });
    return out;
}

} // namespace Doc
