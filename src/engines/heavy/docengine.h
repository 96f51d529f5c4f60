#pragma once

#include "core/progress.h"

#include <QString>
#include <QStringList>
#include <functional>

class Job;

namespace Doc {

// Converts the document `source` (a document, book or text format) into
// `target`: docx, pdf, txt, md, html, epub, or page images png and jpg. Results go beside the
// source (or to the output folder) under a free name and are returned. Progress: 0.3 once read,
// then for page images 0.4 + 0.6 × the share of pages written. Throws ConvertError: unsupported
// "Can’t make <TARGET> from this document" for any other target, cancelled, or the reader's or
// writer's failure; nothing is left behind on failure.
QStringList convert(const QString& source, const QString& target, Job& job, const Progress& progress);

// The HTML body of plain text: each part between blank lines ("\n\n") a paragraph, escaped,
// its line feeds as line breaks; paragraphs joined by line feeds.
QString plainTextBody(const QString& text);

} // namespace Doc
