#pragma once

#include "core/modules.h"

#include <QString>
#include <QStringList>
#include <functional>

class Job;

// The text of PDF pages, read without Qt Gui or the heavy families: a module of its own, so that
// a PDF with text becomes plain text at little more than the cost of reading it.
struct PDFTextModule
{
    static constexpr Modules::Module module = Modules::Module::pdfText;

    // PDF → txt, with the same result, refusals and progress as the heavy module's conversion;
    // a document without pages, with a page that has no text, with one Poppler could not read
    // whole, or whose page tree holds more pages than it counts (or can't be counted: qpdf is
    // missing), is handed to that conversion whole, since its pages are rendered and recognised
    // and its damage told.
    QStringList (*convertToText)(const QString& source, Job& job,
                                 const std::function<void(double)>& progress);
};
