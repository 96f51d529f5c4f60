#include "engines/heavy/pdfconvert.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/output.h"
#include "core/settings.h"
#include "engines/document/docxwriter.h"
#include "engines/package/epub.h"
#include "engines/package/ooxml.h"
#include "engines/pdf/blocks.h"
#include "engines/pdf/damagedpages.h"
#include "engines/pdf/layouttext.h"
#include "engines/pdf/pageimages.h"
#include "engines/pdf/pdfengine.h"
#include "engines/pdftext/pdftext.h"
#include "engines/pdftext/textlayer.h"
#include "engines/text/regex.h"

#include <QFile>
#include <QTextDocument>

namespace PDFEngine {

namespace {

// Picture slides: the longer side at this many pixels, unless that passes the resolution cap.
constexpr double slideLongSide = 2400;
constexpr double slideMaxDPI = 220;

void writeUtf8(const QString& path, const QString& text)
{
    Output::writeFile(path, text.toUtf8());
}

QString pageTexts(const QString& source, const Poppler::Document& doc, Job& job, const Progress& progress)
{
    const TextLayer layer(source);
    return texts(
               source, doc, [&](PageIndex p) { return layer.text(p.shown); }, job, progress)
        .values()
        .join(QStringLiteral("\n\n"));
}

QList<EPUB::Chapter> chapters(const QList<Block>& blocks, const QString& base)
{
    QList<EPUB::Chapter> chapters;
    QString title = base;
    QList<Block> current;
    for (const Block& block : blocks) {
        if (block.kind == Block::Kind::heading && block.level == 1) {
            if (!current.isEmpty()) chapters.append({title, html(current)});
            current.clear();
            title = block.text;
        }
        current.append(block);
    }
    // A document without any text still makes a book of one empty chapter.
    if (!current.isEmpty() || chapters.isEmpty()) chapters.append({title, html(current)});
    return chapters;
}

struct Slides
{
    QList<QByteArray> pictures; // PNG
    QSizeF size{960, 540};      // of the first page, in points
};

Slides slides(const QString& source, const Poppler::Document& doc, Job& job, const Progress& progress)
{
    Slides deck;
    DamagedPages damage(source, DamagedPages::Kind::pictures, source, doc);
    const int count = damage.count();
    for (int i = 0; i < count; ++i) {
        job.throwIfCancelled();
        const std::unique_ptr<Poppler::Page> page = damage.page(doc, i);
        if (!page) continue;
        const QSizeF size = page->pageSizeF(); // the crop box, turned with the page
        if (deck.pictures.isEmpty()) deck.size = size;
        const double dpi = std::min(slideLongSide / std::max(size.width(), size.height()) * 72, slideMaxDPI);
        const QImage picture = damage.rendered(*page, i, dpi);
        deck.pictures.append(pngData(picture));
        progress(double(i + 1) / count * 0.9);
    }
    damage.report(job);
    return deck;
}

QString trimBlanks(const QString& text)
{
    qsizetype start = 0, end = text.size();
    while (start < end && (text.at(start) == u' ' || text.at(start) == u'\t'))
        ++start;
    while (end > start && (text.at(end - 1) == u' ' || text.at(end - 1) == u'\t'))
        --end;
    return text.mid(start, end - start);
}

// A row per line with text: cells between tabs when there are any, else between runs of two or
// more spaces.
QList<QStringList> rows(const QString& text)
{
    QList<QStringList> result;
    for (const QString& line : PDFText::lines(text)) {
        const QString t = trimBlanks(line);
        if (t.isEmpty()) continue;
        const QStringList tabbed = line.split(QLatin1Char('\t'));
        result.append(tabbed.size() >= 2 ? tabbed : t.split(Regex::compiled(QStringLiteral(" {2,}"))));
    }
    return result;
}

QList<Sheet> sheets(const QString& source, const Poppler::Document& doc, Job& job, const Progress& progress)
{
    const LayoutText layout(source);
    const QMap<int, QString> pages = texts(
        source, doc, [&](PageIndex p) { return layout.page(p.shown).value_or(QString()); }, job, progress);
    QList<Sheet> book;
    for (auto it = pages.cbegin(); it != pages.cend(); ++it)
        book.append({QStringLiteral("Page %1").arg(it.key() + 1), rows(it.value())});
    return book;
}

QList<Block> documentBlocks(const QString& source, const Poppler::Document& doc, Job& job,
                            const Progress& progress)
{
    const TextLayer layer(source);
    return blocks(source, doc, layer, job, progress);
}

} // namespace

QStringList convert(const QString& source, const QString& target, Job& job, const Progress& progress)
{
    const std::unique_ptr<Poppler::Document> doc = open(source);
    const QString base = Output::baseName(source);
    const QString destination = Output::result(source, {}, target);
    const auto write = [&](const std::function<void(const QString&)>& producer) {
        return QStringList{Output::write(destination, producer, &job)};
    };

    if (target == QLatin1String("jpg") || target == QLatin1String("png"))
        return Doc::writePageImages(source, source, target, Settings::shared().pdfDPI(), job, progress);
    if (target == QLatin1String("txt")) {
        const QString text = pageTexts(source, *doc, job, progress);
        return write([&](const QString& path) { writeUtf8(path, text); });
    }
    if (target == QLatin1String("md")) {
        const QString text = markdown(documentBlocks(source, *doc, job, progress));
        return write([&](const QString& path) { writeUtf8(path, text); });
    }
    if (target == QLatin1String("docx")) {
        QTextDocument document;
        attributed(documentBlocks(source, *doc, job, progress), document);
        return write([&](const QString& path) { Doc::writeDOCX(document, path); });
    }
    if (target == QLatin1String("epub")) {
        const QList<EPUB::Chapter> book = chapters(documentBlocks(source, *doc, job, progress), base);
        return write([&](const QString& path) { EPUB::write(base, book, path); });
    }
    if (target == QLatin1String("pptx")) {
        const Slides deck = slides(source, *doc, job, progress);
        return write([&](const QString& path) { OOXML::writePPTX(deck.pictures, deck.size, path); });
    }
    if (target == QLatin1String("xlsx")) {
        const QList<Sheet> book = sheets(source, *doc, job, progress);
        return write([&](const QString& path) { OOXML::writeXLSX(book, path); });
    }
    // No writer of Pages documents exists here, so "pages" is refused with the rest.
    throw ConvertError::unsupported(QStringLiteral("Can’t make %1 from a PDF").arg(target.toUpper()));
}

} // namespace PDFEngine
