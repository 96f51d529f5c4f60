#include "engines/pdf/qpdfio.h"

#include "core/checkedfile.h"
#include "core/converterror.h"

#include <QFile>
#include <QFileInfo>

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>

namespace {

// The end of qpdf's output: a new file whose every write is checked.
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

} // namespace

namespace QPDFIO {

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

void copyInfo(QPDF& source, QPDF& out)
{
    QPDFObjectHandle info = source.getTrailer().getKey("/Info");
    if (!info.isDictionary()) return;
    if (!info.isIndirect()) info = source.makeIndirectObject(info);
    out.getTrailer().replaceKey("/Info", out.copyForeignObject(info));
}

void write(QPDF& pdf, const QString& path, QPDF* restrictions)
{
    CheckedPipeline file(path);
    QPDFWriter writer(pdf);
    writer.setOutputPipeline(&file);
    if (restrictions) writer.copyEncryptionParameters(*restrictions);
    writer.write();
    file.close();
}

} // namespace QPDFIO
