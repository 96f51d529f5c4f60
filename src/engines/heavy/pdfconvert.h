#pragma once

#include "core/progress.h"

#include <QString>
#include <QStringList>
#include <functional>

class Job;

namespace PDFEngine {

// Converts the PDF `source` into `target`: jpg or png page images, txt (the pages' text), md,
// docx or epub (headings, paragraphs and bullets rebuilt from the text; a chapter per level-1
// heading), pptx (a picture slide per page) or xlsx (a sheet per page, table columns as cells).
// Scanned pages are read by text recognition. Results are named after the source in its output
// folder under a free name; nothing is left behind on failure or cancel. Throws ConvertError:
// the refusals of `open`, "Can’t make <TARGET> from a PDF" for any other target.
QStringList convert(const QString& source, const QString& target, Job& job, const Progress& progress);

} // namespace PDFEngine
