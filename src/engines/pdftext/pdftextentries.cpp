#include "engines/pdftext/pdftextmodule.h"

#include "core/filecategory.h"
#include "core/job.h"
#include "core/output.h"
#include "engines/heavyengines.h"
#include "engines/pdftext/pagetreecount.h"
#include "engines/pdftext/pdftext.h"
#include "engines/pdftext/readerrors.h"
#include "engines/pdftext/textlayer.h"

#include <algorithm>

namespace {

// The heavy conversion of `source`, handed over once `read` of the document's `count` pages have
// been read here. That conversion reports the document's pages again from the first: progress
// holds where it is until that passes it.
QStringList handOver(const QString& source, Job& job, const Progress& progress, int read, int count)
{
    const double reached = double(read) / count;
    return Modules::entries<HeavyEngines>().convert(FileCategory::pdf, source, QStringLiteral("txt"), job,
                                                    [&](double p) { progress(std::max(p, reached)); });
}

QStringList convertToText(const QString& source, Job& job, const Progress& progress)
{
    // Poppler shows only the pages a page tree counts, however many it holds; the heavy conversion
    // names the others as pages that could not be read. They are counted as the text is read.
    PDFEngine::PageTreeCount tree(source, job);
    const PDFEngine::TextLayer layer(source);
    const int count = layer.pageCount();
    // A document without pages may be one whose page tree is lost, which the heavy conversion
    // tells apart and refuses; one whose pages can't be counted here is counted there.
    if (count == 0 || !tree.started())
        return Modules::entries<HeavyEngines>().convert(FileCategory::pdf, source, QStringLiteral("txt"), job,
                                                        progress);
    QStringList pages;
    pages.reserve(count);
    for (int i = 0; i < count; ++i) {
        job.throwIfCancelled();
        const PDFEngine::ReadErrors errors;
        QString text = layer.text(i);
        // A damaged page is told of by the heavy conversion, which also renders what it can.
        if (!PDFText::hasText(text) || errors.count() > 0) return handOver(source, job, progress, i, count);
        pages.append(std::move(text));
        progress(double(i + 1) / count);
    }
    if (tree.pages().value_or(0) > count) return handOver(source, job, progress, count, count);
    const QByteArray bytes = pages.join(QStringLiteral("\n\n")).toUtf8();
    const QString destination = Output::result(source, {}, QStringLiteral("txt"));
    return {Output::write(
        destination, [&](const QString& path) { Output::writeFile(path, bytes); }, &job)};
}

const PDFTextModule entries{.convertToText = convertToText};

} // namespace

extern "C" __attribute__((visibility("default"))) const void* tolvane_pdftext_entries()
{
    return &entries;
}
