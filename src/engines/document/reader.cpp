#include "engines/document/reader.h"

#include "core/converterror.h"
#include "core/output.h"
#include "core/textfile.h"
#include "core/xml.h"
#include "engines/document/clipping.h"
#include "engines/document/confineddocument.h"
#include "engines/document/officereader.h"
#include "engines/document/plaintext.h"
#include "engines/document/textdecoding.h"
#include "engines/package/epub.h"
#include "engines/text/markdown.h"
#include "engines/text/regex.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QLatin1String pageStart("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>");
const QLatin1String pageStyle(
    "</title>\n<style>\nbody{font:16px/1.55 "
    "-apple-system,Helvetica,Arial,sans-serif;max-width:46em;margin:2em "
    "auto;padding:0 1em;color:#222}\nh1,h2,h3{line-height:1.25}pre{background:#f5f5f5;padding:12px;border-"
    "radius:8px;overflow:auto}\ncode{font-family:Menlo,monospace;font-size:.92em}table{border-collapse:"
    "collapse}"
    "\ntd,th{border:1px solid #ccc;padding:4px 8px}blockquote{border-left:3px solid "
    "#ddd;margin-left:0;padding-left:1em;color:#555}\nimg{max-width:100%}\n</style></head><body>\n");
const QLatin1String pageEnd("\n</body></html>");

QString folderOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

// Qt's style sheets read lengths in px, em and ex only and take any other unit for nothing, so
// word processors' inches and points are turned into pixels of 1/96 inch first. Font sizes,
// which Qt does read in points (and keeps fractional there), stay as they are.
QString pixelLengths(const QString& css)
{
    const auto lengths = [](const QStringList& g) {
        const QString unit = g[2].toLower();
        const double perUnit = unit == QLatin1String("in")   ? 96
                               : unit == QLatin1String("cm") ? 96 / 2.54
                               : unit == QLatin1String("mm") ? 96 / 25.4
                               : unit == QLatin1String("pt") ? 96.0 / 72
                                                             : 16;
        return QString::number(g[1].toDouble() * perUnit, 'g', 6) + QLatin1String("px");
    };
    return Regex::replace(css, QStringLiteral("([\\w-]+)(\\s*:\\s*)([^;{}]*)"), [&](const QStringList& g) {
        if (g[1].toLower().startsWith(QLatin1String("font"))) return g[0];
        return g[1] + g[2] +
               Regex::replace(g[3], QStringLiteral("(?i)(\\d*\\.?\\d+)(in|cm|mm|pt|pc)\\b"), lengths);
    });
}

QString withPixelLengths(const QString& html)
{
    const auto inner = [](const QStringList& g) { return g[1] + pixelLengths(g[2]) + g[3]; };
    QString out = Regex::replace(html, QStringLiteral("(?is)(<style[^>]*>)(.*?)(</style>)"), inner);
    out = Regex::replace(out, QStringLiteral("(?i)(\\sstyle\\s*=\\s*\")([^\"]*)(\")"), inner);
    return Regex::replace(out, QStringLiteral("(?i)(\\sstyle\\s*=\\s*')([^']*)(')"), inner);
}

Doc::ReadResult markdown(const QString& path)
{
    const std::optional<QString> text = Doc::decodeUTF8(TextFile::bytes(path));
    if (!text)
        throw ConvertError::failed(
            QStringLiteral("Couldn’t read “%1”: it isn’t UTF-8 text").arg(QFileInfo(path).fileName()));
    const QString fragment = Markdown::html(*text);
    return {Doc::attributed(Doc::standalonePage(Output::baseName(path), fragment), folderOf(path)), fragment};
}

Doc::ReadResult html(const QString& path)
{
    const QString text = Doc::decodeText(TextFile::bytes(path), true);
    const auto body = Regex::groups(text, QStringLiteral("(?is)<body[^>]*>(.*)</body>"));
    return {Doc::attributed(text, folderOf(path)), body ? body->at(1) : text};
}

Doc::ReadResult book(const QString& path)
{
    const QString chapters = EPUB::readHTML(path);
    return {Doc::attributed(Doc::standalonePage(Output::baseName(path), chapters)), chapters};
}

} // namespace

namespace Doc {

QString standalonePage(const QString& title, const QString& body)
{
    return pageStart + xmlEscaped(title) + pageStyle + body + pageEnd;
}

std::unique_ptr<QTextDocument> attributed(const QString& html, const QString& folder)
{
    auto document = std::make_unique<ConfinedDocument>(folder);
    // Text without a size of its own has a browser's 12 pt, whatever the desktop's font.
    QFont font = document->defaultFont();
    font.setPointSizeF(12);
    document->setDefaultFont(font);
    document->setHtml(withPixelLengths(html));
    leaveOutMissingPictures(*document);
    return document;
}

ReadResult read(const QString& path, const QString& key, Job* job)
{
    if (key == QLatin1String("md")) return markdown(path);
    if (key == QLatin1String("txt"))
        return {plainAttributed(unixLineEnds(decodeText(TextFile::bytes(path), false))), {}};
    if (key == QLatin1String("html")) return html(path);
    if (key == QLatin1String("textClipping")) return {plainAttributed(unixLineEnds(clippingText(path))), {}};
    if (key == QLatin1String("epub")) return book(path);
    return {readThroughOffice(path, job), {}};
}

} // namespace Doc
