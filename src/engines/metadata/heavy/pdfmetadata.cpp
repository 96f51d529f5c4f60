#include "engines/metadata/heavy/pdfmetadata.h"

#include "core/converterror.h"
#include "engines/metadata/heavy/pdfattachments.h"
#include "engines/metadata/heavy/pdfembedded.h"
#include "engines/pdf/pdfengine.h"
#include "engines/pdf/qpdfio.h"

#include <QFile>
#include <qpdf/QPDF.hh>

namespace {

const QList<MetaField>& pdfTable()
{
    static const QList<MetaField> table{{"Title", "Title", {}},
                                        {"Author", "Author", {}},
                                        {"Subject", "Subject", {}},
                                        {"Keywords", "Keywords", {}},
                                        {"Creator", "Creator", {}}};
    return table;
}

std::string name(const QString& key)
{
    return "/" + key.toStdString();
}

bool isTableKey(const QString& key)
{
    return std::any_of(pdfTable().begin(), pdfTable().end(),
                       [&](const MetaField& f) { return f.key == key; });
}

QStringList strip(QPDF& pdf)
{
    pdf.getTrailer().removeKey("/Info");
    PDFEmbedded::strip(pdf);
    return PDFAttachments::strip(pdf);
}

// The document information becomes the fields given and nothing else: producer, dates and any
// private entry go. The catalog's XMP, which readers show before it, would keep the old values.
void edit(QPDF& pdf, const QList<MetaField>& fields)
{
    QPDFObjectHandle info = QPDFObjectHandle::newDictionary();
    for (const MetaField& field : fields)
        if (!field.value.isEmpty() && isTableKey(field.key))
            info.replaceKey(name(field.key), QPDFObjectHandle::newUnicodeString(field.value.toStdString()));
    QPDFObjectHandle trailer = pdf.getTrailer();
    if (info.getKeys().empty())
        trailer.removeKey("/Info");
    else
        trailer.replaceKey("/Info", pdf.makeIndirectObject(info));
    pdf.getRoot().removeKey("/Metadata");
}

} // namespace

namespace MetadataEngine {

QList<MetaField> pdfFields(const QString& path, bool* read)
{
    if (read) *read = false;
    QList<MetaField> fields = pdfTable();
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(path).constData());
        QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
        if (info.isDictionary()) {
            for (MetaField& field : fields) {
                QPDFObjectHandle v = info.getKey(name(field.key));
                if (v.isString()) field.value = QString::fromStdString(v.getUTF8Value());
            }
        }
    } catch (const std::exception&) {
        return pdfTable();
    }
    if (read) *read = true;
    return fields;
}

QStringList writePDF(const QString& source, const QString& destination, const QList<MetaField>& fields,
                     bool strip)
{
    PDFEngine::open(source); // refuses a locked or unreadable file in the words every PDF tool uses
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(source).constData());
        QStringList notes;
        if (strip)
            notes = ::strip(pdf);
        else
            edit(pdf, fields);
        QPDFIO::write(pdf, destination);
        return notes;
    } catch (const ConvertError&) {
        throw;
    } catch (const std::exception& e) {
        throw ConvertError::failed(QStringLiteral("Couldn’t write the PDF"), QString::fromUtf8(e.what()));
    }
}

} // namespace MetadataEngine
