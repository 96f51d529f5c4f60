#include "engines/pdf/pdfpages.h"

#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/output.h"
#include "engines/pdf/qpdfio.h"

#include <QFileInfo>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <exception>
#include <memory>
#include <set>

namespace {

// One opened source and the pages of it already copied.
struct Source
{
    QString name;
    QPDF pdf;
    std::vector<QPDFPageObjectHelper> pages;
    std::set<QPDFObjGen> copied;
};

// Opens `path` with every page carrying what it inherits from the page tree (its rotation
// among it), so that a page copied alone keeps its look.
std::unique_ptr<Source> openSource(const QString& path)
{
    InputCheck::refuseGone(path);
    InputCheck::refuseSpecial(path);
    auto source = std::make_unique<Source>();
    source->name = QFileInfo(path).fileName();
    QPDFIO::open(source->pdf, path);
    try {
        source->pdf.pushInheritedAttributesToPage();
        source->pages = QPDFPageDocumentHelper(source->pdf).getAllPages();
    } catch (const std::exception&) {
        throw ConvertError::failed(QStringLiteral("Couldn’t open ") + source->name);
    }
    return source;
}

// A new document with nothing in it, which outlives the sources' copies until it is written.
std::unique_ptr<QPDF> emptyDocument()
{
    auto out = std::make_unique<QPDF>();
    out->setSuppressWarnings(true);
    out->emptyPDF();
    return out;
}

int normalized(int degrees)
{
    return ((degrees % 360) + 360) % 360;
}

// Appends a copy of page `index` of `source` to `out`, turned `rotation` degrees beyond its own.
// A page copied before is copied again shallowly, since one page object can stand only once in
// a page tree; its annotations are then shared with the first copy. Each copy is given its own
// /Rotate, 0 included: a second copy starts from the first copy's dictionary, turn and all.
void appendPage(Source& source, int index, int rotation, QPDF& out)
{
    if (index < 0 || index >= int(source.pages.size()))
        throw ConvertError::failed(QStringLiteral("%1 has no page %2").arg(source.name).arg(index + 1));
    try {
        QPDFObjectHandle page = source.pages[size_t(index)].getObjectHandle();
        QPDFObjectHandle copy = out.copyForeignObject(page);
        const bool again = !source.copied.insert(page.getObjGen()).second;
        if (again) copy = out.makeIndirectObject(copy.shallowCopy());
        QPDFObjectHandle own = page.getKey("/Rotate");
        const int turned = normalized((own.isInteger() ? own.getIntValueAsInt() : 0) + rotation);
        copy.replaceKey("/Rotate", QPDFObjectHandle::newInteger(turned));
        // Form fields travel with their widgets, so a filled-in form keeps working.
        QPDFAcroFormDocumentHelper sourceForms(source.pdf);
        if (!again && sourceForms.hasAcroForm())
            QPDFAcroFormDocumentHelper(out).fixCopiedAnnotations(copy, page, sourceForms);
        // Added last: a page that fails on the way is never among the pages written.
        QPDFPageDocumentHelper(out).addPage(QPDFPageObjectHelper(copy), false);
    } catch (const std::exception&) {
        throw ConvertError::failed(
            QStringLiteral("Couldn’t read page %1 of %2").arg(index + 1).arg(source.name));
    }
}

// Writes `out` as `destination` through Output once it holds the `asked` pages; a document
// with no pages, or short of a page, is never written.
QString save(QPDF& out, size_t asked, const QString& destination, Job& job)
{
    if (asked == 0) throw ConvertError::failed(QStringLiteral("There are no pages to write"));
    const size_t written = QPDFPageDocumentHelper(out).getAllPages().size();
    if (written != asked)
        throw ConvertError::failed(
            QStringLiteral("Only %1 of the %2 pages could be copied").arg(written).arg(asked));
    return Output::write(
        destination,
        [&out](const QString& temporary) {
            try {
                QPDFIO::write(out, temporary);
            } catch (const ConvertError&) {
                throw;
            } catch (const std::exception&) {
                throw ConvertError::failed(QStringLiteral("Couldn’t write the PDF"));
            }
        },
        &job);
}

} // namespace

namespace PDFPages {

QStringList organize(const QString& source, const std::vector<PageChoice>& pages, Job& job,
                     const Progress& progress)
{
    const std::unique_ptr<Source> opened = openSource(source);
    const std::unique_ptr<QPDF> out = emptyDocument();
    const size_t n = pages.size();
    for (size_t k = 0; k < n; ++k) {
        job.throwIfCancelled();
        appendPage(*opened, pages[k].source, pages[k].rotation, *out);
        progress(0.8 * double(k + 1) / double(n));
    }
    QPDFIO::copyInfo(opened->pdf, *out);
    return {save(*out, n, Output::result(source, QStringLiteral(" Organized"), QStringLiteral("pdf")), job)};
}

QStringList merge(const QStringList& files, Job& job, const Progress& progress)
{
    if (files.isEmpty()) throw ConvertError::failed(QStringLiteral("No PDFs to merge"));
    // Every source stays open until the merged document is written: its pages refer to them.
    std::vector<std::unique_ptr<Source>> sources;
    const std::unique_ptr<QPDF> out = emptyDocument();
    size_t asked = 0;
    for (qsizetype k = 0; k < files.size(); ++k) {
        job.throwIfCancelled();
        sources.push_back(openSource(files[k]));
        Source& source = *sources.back();
        asked += source.pages.size();
        for (int i = 0; i < int(source.pages.size()); ++i)
            appendPage(source, i, 0, *out);
        progress(0.8 * double(k + 1) / double(files.size()));
    }
    return {save(*out, asked, Output::result(files.first(), QStringLiteral(" Merged"), QStringLiteral("pdf")),
                 job)};
}

} // namespace PDFPages
