#include "engines/pdftext/pdftextmodule.h"

#include "core/filecategory.h"
#include "core/job.h"
#include "core/output.h"
#include "engines/heavyengines.h"
#include "engines/pdftext/pdftext.h"
#include "engines/pdftext/readerrors.h"
#include "engines/pdftext/textlayer.h"

#include <algorithm>

namespace {

QStringList convertToText(const QString& source, Job& job, const Progress& progress)
{
    const PDFEngine::TextLayer layer(source);
    const int count = layer.pageCount();
    // A document without pages may be one whose page tree is lost, which the heavy conversion
    // tells apart and refuses.
    if (count == 0)
        return Modules::entries<HeavyEngines>().convert(FileCategory::pdf, source, QStringLiteral("txt"), job,
                                                        progress);
    QStringList pages;
    pages.reserve(count);
    for (int i = 0; i < count; ++i) {
        job.throwIfCancelled();
        const PDFEngine::ReadErrors errors;
        QString text = layer.text(i);
        // A damaged page is told of by the heavy conversion, which also renders what it can.
        if (!PDFText::hasText(text) || errors.count() > 0) {
            // That conversion reports this document's pages again from the first: progress
            // holds where it is until that passes it.
            const double reached = double(i) / count;
            return Modules::entries<HeavyEngines>().convert(
                FileCategory::pdf, source, QStringLiteral("txt"), job,
                [&](double p) { progress(std::max(p, reached)); });
        }
        pages.append(std::move(text));
        progress(double(i + 1) / count);
    }
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
