#include "engines/metadata/heavy/pdfembedded.h"

#include "engines/image/jpegsegments.h"
#include "engines/pdf/pdfdictionaries.h"

#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

namespace {

// Drops the private keys of `object` and of the dictionaries written inside it.
void dropPrivateKeys(QPDFObjectHandle object)
{
    eachDictionary(object, [](QPDFObjectHandle& dictionary) {
        for (const char* key : {"/Metadata", "/PieceInfo", "/LastModified"})
            dictionary.removeKey(key);
    });
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

// Gives pictures their JPEG without tags as the file is written, one at a time, from a copy of
// each that still reads the original data; filtering them all up front would hold every
// picture of a scanned book in memory at once.
class TagFilter : public QPDFObjectHandle::StreamDataProvider
{
  public:
    TagFilter() { m_scratch.emptyPDF(); }

    // The JPEG of `stream` without its tags, after any filters before /DCTDecode (a JPEG kept
    // Flate-compressed, say) are undone; none when that cannot be done without loss, or when
    // there is nothing to remove.
    std::optional<QByteArray> bare(QPDFObjectHandle stream, const std::vector<std::string>& filters)
    {
        const std::shared_ptr<Buffer> raw = stream.getRawStreamData();
        QByteArray jpeg(reinterpret_cast<const char*>(raw->getBuffer()), qsizetype(raw->getSize()));
        if (filters.size() > 1) {
            QPDFObjectHandle before = QPDFObjectHandle::newArray();
            QPDFObjectHandle beforeParms = QPDFObjectHandle::newArray();
            QPDFObjectHandle parms = stream.getDict().getKey("/DecodeParms");
            for (size_t i = 0; i + 1 < filters.size(); ++i) {
                before.appendItem(QPDFObjectHandle::newName(filters[i]));
                beforeParms.appendItem(parms.isArray() && int(i) < parms.getArrayNItems()
                                           ? parms.getArrayItem(int(i))
                                           : QPDFObjectHandle::newNull());
            }
            QPDFObjectHandle inner = QPDFObjectHandle::newStream(&m_scratch);
            inner.replaceStreamData(jpeg.toStdString(), before, beforeParms);
            try {
                const std::shared_ptr<Buffer> decoded = inner.getStreamData(qpdf_dl_specialized);
                jpeg = QByteArray(reinterpret_cast<const char*>(decoded->getBuffer()),
                                  qsizetype(decoded->getSize()));
            } catch (const std::exception&) {
                return std::nullopt;
            }
        }
        std::optional<QByteArray> bare = JpegSegments::firstPicture(jpeg, JpegSegments::Keep::drawing);
        if (!bare || bare->size() == jpeg.size()) return std::nullopt; // nothing to remove
        return bare;
    }

    void add(QPDFObjGen stream, QPDFObjectHandle copy, std::vector<std::string> filters)
    {
        m_streams.emplace(stream, std::make_pair(copy, std::move(filters)));
    }

    void provideStreamData(QPDFObjGen const& stream, Pipeline* pipeline) override
    {
        const auto& [copy, filters] = m_streams.at(stream);
        const std::optional<QByteArray> jpeg = bare(copy, filters);
        if (!jpeg) throw std::runtime_error("a picture could not be read a second time");
        pipeline->write(reinterpret_cast<const unsigned char*>(jpeg->constData()), size_t(jpeg->size()));
        pipeline->finish();
    }

  private:
    QPDF m_scratch; // where filters are undone, away from the document being written
    std::map<QPDFObjGen, std::pair<QPDFObjectHandle, std::vector<std::string>>> m_streams;
};

void stripJpeg(const std::shared_ptr<TagFilter>& filter, QPDFObjectHandle stream)
{
    QPDFObjectHandle dict = stream.getDict();
    if (dict.hasKey("/F")) return; // its data lives in another file
    std::vector<std::string> filters = filterNames(dict.getKey("/Filter"));
    if (filters.empty() || filters.back() != "/DCTDecode" || !filter->bare(stream, filters)) return;
    QPDFObjectHandle parms = dict.getKey("/DecodeParms");
    if (parms.isArray())
        parms = parms.getArrayNItems() > 0 ? parms.getArrayItem(parms.getArrayNItems() - 1)
                                           : QPDFObjectHandle::newNull();
    filter->add(stream.getObjGen(), stream.copyStream(), std::move(filters));
    stream.replaceStreamData(filter, QPDFObjectHandle::newName("/DCTDecode"),
                             parms.isDictionary() ? parms : QPDFObjectHandle::newNull());
}

} // namespace

namespace PDFEmbedded {

void strip(QPDF& pdf)
{
    const auto filter = std::make_shared<TagFilter>();
    for (QPDFObjectHandle& object : pdf.getAllObjects()) {
        dropPrivateKeys(object);
        if (object.isStream()) stripJpeg(filter, object);
    }
    stripAnnotations(pdf);
}

} // namespace PDFEmbedded
