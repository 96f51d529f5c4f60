#include "engines/pdf/pdfpages.h"

#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/output.h"
#include "engines/pdf/attachedfiles.h"
#include "engines/pdf/pagecopies.h"
#include "engines/pdf/qpdfio.h"

#include <QFileInfo>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <exception>
#include <memory>

namespace {

// The document being made, with its form and its list of attached files.
struct Made
{
    Made() : forms(emptied(pdf)), files(pdf) {}
    Made(const Made&) = delete;
    Made& operator=(const Made&) = delete;

    // `pdf` with nothing in it, quiet about what it repairs.
    static QPDF& emptied(QPDF& pdf)
    {
        pdf.setSuppressWarnings(true);
        pdf.emptyPDF();
        return pdf;
    }

    QPDF pdf;
    QPDFAcroFormDocumentHelper forms;
    AttachedFiles files;
};

// One opened source and the copies of its pages.
struct Source
{
    QString name;
    QPDF pdf;
    std::unique_ptr<PageCopies> copies;
};

// Opens `path` with every page carrying what it inherits from the page tree (its rotation
// among it), so that a page copied alone keeps its look, ready to be copied into `made`.
std::unique_ptr<Source> openSource(const QString& path, Made& made)
{
    InputCheck::refuseGone(path);
    InputCheck::refuseSpecial(path);
    auto source = std::make_unique<Source>();
    source->name = QFileInfo(path).fileName();
    QPDFIO::open(source->pdf, path);
    try {
        source->pdf.pushInheritedAttributesToPage();
        source->copies = std::make_unique<PageCopies>(source->pdf, made.pdf, made.forms);
    } catch (const std::exception&) {
        throw ConvertError::failed(QStringLiteral("Couldn’t open ") + source->name);
    }
    return source;
}

// Appends a copy of page `index` of `source` to `made`, turned `rotation` degrees beyond its own.
void appendPage(Source& source, int index, int rotation)
{
    if (index < 0 || index >= source.copies->pageCount())
        throw ConvertError::failed(QStringLiteral("%1 has no page %2").arg(source.name).arg(index + 1));
    try {
        source.copies->append(index, rotation);
    } catch (const std::exception&) {
        throw ConvertError::failed(
            QStringLiteral("Couldn’t read page %1 of %2").arg(index + 1).arg(source.name));
    }
}

// “A”, “B” and 3 more: bookmark titles as a note names them.
QString titles(const QStringList& names)
{
    QStringList quoted;
    for (const QString& name : names.mid(0, 3))
        quoted << QStringLiteral("“%1”").arg(name);
    if (names.size() > 3)
        return quoted.join(QStringLiteral(", ")) + QStringLiteral(" and %1 more").arg(names.size() - 3);
    const QString last = quoted.takeLast();
    return quoted.isEmpty() ? last : quoted.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

// Tells `job` what the copies could not keep: links and bookmarks to pages left out, and parts
// of a source that couldn't be read.
void noteLosses(const std::vector<std::unique_ptr<Source>>& sources, Job& job)
{
    int links = 0;
    QStringList removed, emptied;
    for (const auto& source : sources) {
        links += source->copies->removedLinks();
        removed += source->copies->lostBookmarks().removed;
        emptied += source->copies->lostBookmarks().emptied;
    }
    if (links == 1) job.addNote(QStringLiteral("1 link led to a page left out and was removed"));
    if (links > 1) job.addNote(QStringLiteral("%1 links led to pages left out and were removed").arg(links));
    if (removed.size() == 1)
        job.addNote(
            QStringLiteral("The bookmark %1 led to a page left out and was removed").arg(titles(removed)));
    if (removed.size() > 1)
        job.addNote(
            QStringLiteral("The bookmarks %1 led to pages left out and were removed").arg(titles(removed)));
    if (emptied.size() == 1)
        job.addNote(QStringLiteral("The bookmark %1 led to a page left out: it now only holds the bookmarks "
                                   "under it")
                        .arg(titles(emptied)));
    if (emptied.size() > 1)
        job.addNote(QStringLiteral("The bookmarks %1 led to pages left out: they now only hold the bookmarks "
                                   "under them")
                        .arg(titles(emptied)));
    for (const auto& source : sources)
        for (const QString& part : source->copies->unread())
            job.addNote(
                QStringLiteral("%1 of %2 couldn’t be read and were left out").arg(part, source->name));
}

// The source whose restrictions a merged PDF carries: the first that has any. When the sources
// differ, `job` is told whose the result carries.
QPDF* restrictionsOf(const std::vector<std::unique_ptr<Source>>& sources, Job& job)
{
    Source* carrier = nullptr;
    int r = 0, p = 0;
    for (const auto& source : sources)
        if (!carrier && source->pdf.isEncrypted(r, p)) carrier = source.get();
    if (!carrier) return nullptr;
    QStringList others;
    bool uniform = true;
    for (const auto& source : sources) {
        int otherR = 0, otherP = 0;
        const bool encrypted = source->pdf.isEncrypted(otherR, otherP);
        if (encrypted && otherP != p) others << source->name;
        uniform = uniform && encrypted && otherP == p;
    }
    if (!uniform)
        job.addNote(QStringLiteral("The merged PDF carries the owner’s restrictions of %1%2")
                        .arg(carrier->name, others.isEmpty()
                                                ? QString()
                                                : QStringLiteral(", not those of ") + others.join(", ")));
    return &carrier->pdf;
}

// Writes `out` as `destination` through Output once it holds the `asked` pages, encrypted as
// `restrictions` when given; a document with no pages, or short of a page, is never written.
QString save(QPDF& out, size_t asked, const QString& destination, Job& job, QPDF* restrictions)
{
    if (asked == 0) throw ConvertError::failed(QStringLiteral("There are no pages to write"));
    const size_t written = QPDFPageDocumentHelper(out).getAllPages().size();
    if (written != asked)
        throw ConvertError::failed(
            QStringLiteral("Only %1 of the %2 pages could be copied").arg(written).arg(asked));
    return Output::write(
        destination,
        [&out, restrictions](const QString& temporary) {
            try {
                QPDFIO::write(out, temporary, restrictions);
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
    const auto made = std::make_unique<Made>();
    std::vector<std::unique_ptr<Source>> sources;
    sources.push_back(openSource(source, *made));
    Source& opened = *sources.front();
    const size_t n = pages.size();
    for (size_t k = 0; k < n; ++k) {
        job.throwIfCancelled();
        appendPage(opened, pages[k].source, pages[k].rotation);
        progress(0.8 * double(k + 1) / double(n));
    }
    opened.copies->finish(made->files);
    QPDFIO::copyInfo(opened.pdf, made->pdf);
    noteLosses(sources, job);
    // The owner's restrictions hold for every copy the file makes of itself.
    QPDF* restrictions = opened.pdf.isEncrypted() ? &opened.pdf : nullptr;
    return {save(made->pdf, n, Output::result(source, QStringLiteral(" Organized"), QStringLiteral("pdf")),
                 job, restrictions)};
}

QStringList merge(const QStringList& files, Job& job, const Progress& progress)
{
    if (files.isEmpty()) throw ConvertError::failed(QStringLiteral("No PDFs to merge"));
    // Every source stays open until the merged document is written: its pages refer to them.
    const auto made = std::make_unique<Made>();
    std::vector<std::unique_ptr<Source>> sources;
    size_t asked = 0;
    for (qsizetype k = 0; k < files.size(); ++k) {
        job.throwIfCancelled();
        sources.push_back(openSource(files[k], *made));
        Source& source = *sources.back();
        const int pages = source.copies->pageCount();
        asked += size_t(pages);
        for (int i = 0; i < pages; ++i)
            appendPage(source, i, 0);
        source.copies->finish(made->files);
        progress(0.8 * double(k + 1) / double(files.size()));
    }
    noteLosses(sources, job);
    QPDF* restrictions = restrictionsOf(sources, job);
    return {save(made->pdf, asked,
                 Output::result(files.first(), QStringLiteral(" Merged"), QStringLiteral("pdf")), job,
                 restrictions)};
}

} // namespace PDFPages
