#include "engines/document/htmlwriter.h"

#include "core/converterror.h"
#include "core/output.h"
#include "core/xml.h"
#include "engines/document/pictures.h"
#include "engines/text/regex.h"

#include <QFile>
#include <QFileInfo>
#include <QTextDocument>

namespace Doc {

void writeHTML(const QTextDocument& document, const QString& title, const QString& path)
{
    // Qt gives a list item whose paragraph has a character format of its own two style
    // attributes, and browsers read only the first; they become one.
    QString html = Regex::replace(
        document.toHtml(), QStringLiteral("(<li\\b[^>]*?) style=\"([^\"]*)\" style=\"([^\"]*)\""),
        [](const QStringList& g) {
            return g[1] + QLatin1String(" style=\"") + g[2] + g[3] + QLatin1Char('"');
        });
    // Qt writes the document's own title unescaped; ours replaces it.
    const QString own = document.metaInformation(QTextDocument::DocumentTitle);
    if (!own.isEmpty()) {
        const QString tag = QLatin1String("<title>") + own + QLatin1String("</title>");
        if (const qsizetype at = html.indexOf(tag); at >= 0) html.remove(at, tag.size());
    }
    const qsizetype head = html.indexOf(QLatin1String("<head>"));
    const QString titleTag = QLatin1String("<title>") + xmlEscaped(title) + QLatin1String("</title>");
    if (head >= 0)
        html.insert(head + 6, titleTag);
    else
        html.prepend(titleTag);
    for (const Picture& picture : pictures(document)) {
        const QString source = QLatin1String("src=\"") + picture.name.toHtmlEscaped() + QLatin1Char('"');
        html.replace(source, QLatin1String("src=\"data:") + picture.mimeType + QLatin1String(";base64,") +
                                 QString::fromLatin1(picture.bytes.toBase64()) + QLatin1Char('"'));
    }
    writeUTF8(html, path);
}

void writeUTF8(const QString& text, const QString& path)
{
    Output::writeFile(path, text.toUtf8());
}

} // namespace Doc
