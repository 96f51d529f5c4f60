#include "engines/instant/instanttools.h"

#include "core/checkedfile.h"
#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/output.h"
#include "core/stagingfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <qpdf/Pipeline.hh>
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

// The end of qpdf's output: a new file whose every write is checked. qpdf's own file writer
// loses the failure of its last flush, which on a full disk leaves an empty page as success.
class CheckedPipeline : public Pipeline
{
  public:
    explicit CheckedPipeline(const QString& path)
        : Pipeline("checked file", nullptr), m_file(path, CheckedFile::Existing::refuse)
    {
    }

    void write(unsigned char const* data, size_t length) override
    {
        // A refused write throws the failure it met.
        if (m_file.write(reinterpret_cast<const char*>(data), qint64(length)) != qint64(length))
            m_file.finish();
    }

    // qpdf finishes its output after every stream it writes, not only at the end.
    void finish() override {}

    // Puts out the rest and closes the file, once the writer is done; throws the first failure.
    void close() { m_file.finish(); }

  private:
    CheckedFile m_file;
};

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
    copyInfo(source, out);
    CheckedPipeline file(path);
    QPDFWriter writer(out);
    writer.setOutputPipeline(&file);
    writer.write();
    file.close();
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
        } catch (const ConvertError&) {
            throw;
        } catch (const std::exception&) {
            throw ConvertError::failed(QStringLiteral("Couldn’t write page %1").arg(i + 1));
        }
        progress(double(i + 1) / count);
    }
    job.throwIfCancelled();
    return {staging.commit()};
}

} // namespace InstantTools
