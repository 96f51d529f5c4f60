#include "engines/instant/instanttools.h"

#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/output.h"
#include "core/stagingfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>

namespace {

// Opens the PDF for reading its pages. qpdf's warnings about repaired files are not shown: a
// file it can read is good enough to split.
void open(QPDF& pdf, const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    pdf.setSuppressWarnings(true);
    try {
        pdf.processFile(QFile::encodeName(path).constData());
    } catch (const QPDFExc& e) {
        if (e.getErrorCode() == qpdf_e_password)
            throw ConvertError::failed(name + QStringLiteral(" is password-protected"));
        throw ConvertError::failed(QStringLiteral("Couldn’t open ") + name);
    } catch (const std::exception&) {
        throw ConvertError::failed(QStringLiteral("Couldn’t open ") + name);
    }
}

// The source's document information (title, author and the like), copied into `out`.
void copyInfo(QPDF& source, QPDF& out)
{
    QPDFObjectHandle info = source.getTrailer().getKey("/Info");
    if (!info.isDictionary()) return;
    if (!info.isIndirect()) info = source.makeIndirectObject(info);
    out.getTrailer().replaceKey("/Info", out.copyForeignObject(info));
}

// A new document holding only `page`, written to `path`.
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
    copyInfo(source, out);
    QPDFWriter writer(out, QFile::encodeName(path).constData());
    writer.write();
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
    open(pdf, source);
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
    const int count = int(pages.size());
    for (int i = 0; i < count; ++i) {
        job.throwIfCancelled();
        const QString path = QDir(staging.path()).filePath(pageFileName(base, i + 1));
        try {
            writePage(pdf, forms, pages[size_t(i)], path);
        } catch (const std::exception&) {
            throw ConvertError::failed(QStringLiteral("Couldn’t write page %1").arg(i + 1));
        }
        progress(double(i + 1) / count);
    }
    job.throwIfCancelled();
    return {staging.commit()};
}

} // namespace InstantTools
