#include "engines/instant/instanttools.h"

#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/output.h"
#include "core/stagingfolder.h"
#include "engines/pdf/damagedpages.h"
#include "engines/pdf/pdfengine.h"
#include "engines/pdf/qpdfio.h"

#include <QDir>
#include <QFileInfo>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <exception>

namespace {

// Drawing the pages to find the damaged ones takes this share of the progress.
constexpr double checkShare = 0.5;

// A new document holding only `page`, written to the new file `path`.
void writePage(QPDF& source, QPDFAcroFormDocumentHelper& sourceForms, QPDFPageObjectHelper& page,
               const QString& path)
{
    QPDF out;
    out.setSuppressWarnings(true);
    out.emptyPDF();
    QPDFPageDocumentHelper(out).addPage(page, false);
    // Form fields travel with their widgets, so a filled-in form keeps working page by page.
    if (sourceForms.hasAcroForm()) {
        QPDFAcroFormDocumentHelper forms(out);
        QPDFPageObjectHelper copied = QPDFPageDocumentHelper(out).getAllPages().back();
        forms.fixCopiedAnnotations(copied.getObjectHandle(), page.getObjectHandle(), sourceForms);
    }
    QPDFIO::copyInfo(source, out);
    QPDFIO::write(out, path);
}

} // namespace

namespace InstantTools {

QString pageFileName(const QString& base, int number)
{
    return QStringLiteral("%1 Page %2.pdf").arg(base).arg(number, 3, 10, QLatin1Char('0'));
}

QStringList splitPDF(const QString& source, Job& job, const Progress& progress)
{
    InputCheck::refuseGone(source);
    InputCheck::refuseSpecial(source);
    QPDF pdf;
    QPDFIO::open(pdf, source);
    // The pages are read as a copy holds them, and their damage told as the conversions tell it:
    // a page the page tree names but that can't be read is left out and named, and a file
    // without a page that can be read is refused.
    const std::unique_ptr<Poppler::Document> doc = PDFEngine::open(source);
    DamagedPages damage(source, DamagedPages::Kind::pictures, source, *doc);
    damage.drawEvery(*doc, source, job, [&](double done) { progress(done * checkShare); });
    const QString base = Output::baseName(source);
    const QString destination = Output::result(source, QStringLiteral(" Pages"), std::nullopt);
    StagingFolder staging(destination);

    QPDFAcroFormDocumentHelper forms(pdf);
    std::vector<QPDFPageObjectHelper> pages;
    try {
        pages = QPDFPageDocumentHelper(pdf).getAllPages();
    } catch (const std::exception&) {
        throw ConvertError::failed(QStringLiteral("Couldn’t open ") + QFileInfo(source).fileName());
    }
    const int count = damage.count();
    for (int i = 0; i < count; ++i) {
        job.throwIfCancelled();
        if (size_t(i) >= pages.size() || !pages[size_t(i)].getObjectHandle().isDictionary() ||
            damage.isMissing(i)) {
            damage.addMissing(i);
            continue;
        }
        const QString path = QDir(staging.path()).filePath(pageFileName(base, i + 1));
        try {
            writePage(pdf, forms, pages[size_t(i)], path);
        } catch (const ConvertError&) {
            throw;
        } catch (const std::exception&) {
            throw ConvertError::failed(QStringLiteral("Couldn’t write page %1").arg(i + 1));
        }
        progress(checkShare + double(i + 1) / count * (1 - checkShare));
    }
    damage.report(job);
    job.throwIfCancelled();
    return {staging.commit()};
}

} // namespace InstantTools
