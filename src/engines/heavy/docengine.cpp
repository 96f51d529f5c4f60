#include "engines/heavy/docengine.h"

#include "core/catalog.h"
#include "core/converterror.h"
#include "core/job.h"
#include "core/libreoffice/iwork.h"
#include "core/output.h"
#include "core/scratchfolder.h"
#include "core/xml.h"
#include "engines/document/bookpictures.h"
#include "engines/document/docxwriter.h"
#include "engines/document/htmlwriter.h"
#include "engines/document/markdownfrom.h"
#include "engines/document/pdfwriter.h"
#include "engines/document/plaintext.h"
#include "engines/document/reader.h"
#include "engines/package/epub.h"
#include "engines/pdf/pageimages.h"
#include "engines/text/markdown.h"

namespace {

const QStringList targets{"docx", "pdf", "txt", "md", "html", "epub", "png", "jpg"};
constexpr double pageImageDPI = 200;

struct Source
{
    QString path, key, base;
    Doc::ReadResult read;

    // Markdown of the document; plain text stays as it is.
    QString markdown() const
    {
        return key == QLatin1String("txt") ? Doc::plainString(*read.text) : Markdown::from(*read.text);
    }

    QString html() const
    {
        if (read.html) return Doc::standalonePage(base, *read.html);
        return Doc::standalonePage(base, Doc::plainTextBody(Doc::plainString(*read.text)));
    }
};

QStringList pageImages(Source& source, const QString& target, Job& job, const Progress& progress)
{
    const ScratchFolder scratch;
    const QString pdf = scratch.file(QStringLiteral("pages.pdf"));
    Doc::writePDF(*source.read.text, pdf, source.base, &job);
    return Doc::writePageImages(pdf, source.path, target, pageImageDPI, job,
                                [&](double f) { progress(0.4 + 0.6 * f); });
}

void write(Source& source, const QString& target, const QString& temporary, Job& job)
{
    if (target == QLatin1String("docx")) {
        Doc::writeDOCX(*source.read.text, temporary);
    } else if (target == QLatin1String("pdf")) {
        Doc::writePDF(*source.read.text, temporary, source.base, &job);
    } else if (target == QLatin1String("txt")) {
        Doc::writeUTF8(Doc::plainString(*source.read.text), temporary);
    } else if (target == QLatin1String("md")) {
        Doc::writeUTF8(source.markdown(), temporary);
    } else if (target == QLatin1String("html")) {
        if (source.read.html || source.key == QLatin1String("txt"))
            Doc::writeUTF8(source.html(), temporary);
        else
            Doc::writeHTML(*source.read.text, source.base, temporary);
    } else if (target == QLatin1String("epub")) {
        const QString body = source.read.html ? *source.read.html : Markdown::html(source.markdown());
        const Doc::BookBody book = Doc::bookBody(body, *source.read.text);
        EPUB::write(source.base, {{source.base, book.html}}, temporary, book.pictures);
    }
}

} // namespace

namespace Doc {

QString plainTextBody(const QString& text)
{
    QStringList paragraphs;
    for (const QString& piece : text.split(QLatin1String("\n\n")))
        paragraphs << QLatin1String("<p>") +
                          xmlEscaped(piece).replace(QLatin1Char('\n'), QLatin1String("<br/>")) +
                          QLatin1String("</p>");
    return paragraphs.join(QLatin1Char('\n'));
}

QStringList convert(const QString& source, const QString& target, Job& job, const Progress& progress)
{
    const QString key = Catalog::format(source).value_or(QString());
    if (!targets.contains(target))
        throw ConvertError::unsupported(
            QStringLiteral("Can’t make %1 from this document").arg(target.toUpper()));
    const QString base = Output::baseName(source);
    // LibreOffice lays out a Pages document as it was designed; reading it first would lose that.
    if (key == QLatin1String("pages") && target == QLatin1String("pdf"))
        return {Output::write(
            Output::result(source, {}, target),
            [&](const QString& temporary) {
                IWork::export_(IWork::App::pages, source, temporary, QStringLiteral("PDF"), std::nullopt,
                               &job);
            },
            &job)};

    Source doc{source, key, base, read(source, key, &job)};
    progress(0.3);
    job.throwIfCancelled();
    if (target == QLatin1String("png") || target == QLatin1String("jpg"))
        return pageImages(doc, target, job, progress);
    return {Output::write(
        Output::result(source, {}, target),
        [&](const QString& temporary) { write(doc, target, temporary, job); }, &job)};
}

} // namespace Doc
