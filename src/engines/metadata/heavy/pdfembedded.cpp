#include "engines/metadata/heavy/pdfembedded.h"

#include "engines/metadata/heavy/jpegsegments.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

namespace {

// Drops the private keys of `object` and of the dictionaries written inside it; indirect
// objects are reached on their own.
void dropPrivateKeys(QPDFObjectHandle object)
{
    if (object.isStream()) object = object.getDict();
    if (object.isDictionary()) {
        for (const char* key : {"/Metadata", "/PieceInfo", "/LastModified"})
            object.removeKey(key);
        for (const std::string& key : object.getKeys()) {
            QPDFObjectHandle value = object.getKey(key);
            if (!value.isIndirect()) dropPrivateKeys(value);
        }
    } else if (object.isArray()) {
        for (QPDFObjectHandle& item : object.getArrayAsVector())
            if (!item.isIndirect()) dropPrivateKeys(item);
    }
}

// A widget's /T names its form field, which the form needs; on other annotations it is the author.
void dropAuthorAndDates(QPDFObjectHandle annotation)
{
    if (!annotation.isDictionary()) return;
    annotation.removeKey("/M");
    annotation.removeKey("/CreationDate");
    if (!annotation.getKey("/Subtype").isNameAndEquals("/Widget")) annotation.removeKey("/T");
}

void stripAnnotations(QPDF& pdf)
{
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        QPDFObjectHandle annots = page.getObjectHandle().getKey("/Annots");
        if (!annots.isArray()) continue;
        for (QPDFObjectHandle& annotation : annots.getArrayAsVector()) {
            dropAuthorAndDates(annotation);
            if (annotation.isDictionary()) dropAuthorAndDates(annotation.getKey("/Popup"));
        }
    }
}

// The filters of a stream as a list of names; empty when they are not names.
std::vector<std::string> filterNames(QPDFObjectHandle filter)
{
    std::vector<std::string> names;
    if (filter.isName()) return {filter.getName()};
    if (!filter.isArray()) return {};
    for (QPDFObjectHandle& item : filter.getArrayAsVector()) {
        if (!item.isName()) return {};
        names.push_back(item.getName());
    }
    return names;
}

// The JPEG bytes of a picture stored as /DCTDecode, after any filters before it (a JPEG kept
// Flate-compressed, for one) are undone; none when that cannot be done without loss.
std::optional<QByteArray> storedJpeg(QPDF& pdf, QPDFObjectHandle stream, const std::vector<std::string>& filters)
{
    QPDFObjectHandle dict = stream.getDict();
    const std::shared_ptr<Buffer> raw = stream.getRawStreamData();
    std::string bytes(reinterpret_cast<const char*>(raw->getBuffer()), raw->getSize());
    if (filters.size() > 1) {
        QPDFObjectHandle before = QPDFObjectHandle::newArray();
        QPDFObjectHandle beforeParms = QPDFObjectHandle::newArray();
        QPDFObjectHandle parms = dict.getKey("/DecodeParms");
        for (size_t i = 0; i + 1 < filters.size(); ++i) {
            before.appendItem(QPDFObjectHandle::newName(filters[i]));
            beforeParms.appendItem(parms.isArray() && int(i) < parms.getArrayNItems() ? parms.getArrayItem(int(i))
                                                                                     : QPDFObjectHandle::newNull());
        }
        // A stream of our own, never referenced, so the writer leaves it out.
        QPDFObjectHandle inner = QPDFObjectHandle::newStream(&pdf);
        inner.replaceStreamData(bytes, before, beforeParms);
        try {
            const std::shared_ptr<Buffer> decoded = inner.getStreamData(qpdf_dl_specialized);
            bytes.assign(reinterpret_cast<const char*>(decoded->getBuffer()), decoded->getSize());
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

void stripJpeg(QPDF& pdf, QPDFObjectHandle stream)
{
    QPDFObjectHandle dict = stream.getDict();
    if (dict.hasKey("/F")) return; // its data lives in another file
    const std::vector<std::string> filters = filterNames(dict.getKey("/Filter"));
    if (filters.empty() || filters.back() != "/DCTDecode") return;
    const std::optional<QByteArray> jpeg = storedJpeg(pdf, stream, filters);
    if (!jpeg) return;
    const std::optional<QByteArray> bare = JpegSegments::withoutTags(*jpeg);
    if (!bare) return;
    QPDFObjectHandle parms = dict.getKey("/DecodeParms");
    if (parms.isArray())
        parms = parms.getArrayNItems() > 0 ? parms.getArrayItem(parms.getArrayNItems() - 1)
                                         : QPDFObjectHandle::newNull();
    stream.replaceStreamData(bare->toStdString(), QPDFObjectHandle::newName("/DCTDecode"),
                             parms.isDictionary() ? parms : QPDFObjectHandle::newNull());
}

} // namespace

namespace PDFEmbedded {

void strip(QPDF& pdf)
{
    for (QPDFObjectHandle& object : pdf.getAllObjects()) {
        dropPrivateKeys(object);
        if (object.isStream()) stripJpeg(pdf, object);
    }
    stripAnnotations(pdf);
}

} // namespace PDFEmbedded
