#pragma once

#include <QString>
#include <QTextDocument>
#include <memory>
#include <optional>

class Job;

namespace Doc {

struct ReadResult
{
    std::unique_ptr<QTextDocument> text;
    // The source's own HTML body, for sources that are or become HTML (md, html, epub).
    std::optional<QString> html;
};

// Reads a document file of the format `key` (md, txt, html, textClipping, pages, epub; every
// other key through LibreOffice: docx, doc, odt, rtfd, rtf). Markdown must be UTF-8; plain text
// and HTML are decoded by Doc::decodeText. Pictures of HTML and Markdown sources are looked up
// beside the source. `job` lets a cancel end LibreOffice. Throws ConvertError.
ReadResult read(const QString& path, const QString& key, Job* job);

// `html` as a document; pictures and style sheets are read only from `folder` and below, by
// relative address (see fileInside), or from data: addresses.
std::unique_ptr<QTextDocument> attributed(const QString& html, const QString& folder = QString());

// The page Markdown and book sources are shown as, and HTML results are written as: a fixed
// reading style, `title` escaped, `body` as it is.
QString standalonePage(const QString& title, const QString& body);

} // namespace Doc
