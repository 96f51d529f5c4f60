#include "engines/pdf/attachedfiles.h"

#include "engines/pdf/pdfdictionaries.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>

namespace {

// The data of the file `fileSpec` holds; empty when it can't be read.
std::string data(QPDFObjectHandle fileSpec)
{
    try {
        QPDFObjectHandle stream = QPDFFileSpecObjectHelper(fileSpec).getEmbeddedFileStream();
        if (!stream.isStream()) return {};
        const std::shared_ptr<Buffer> buffer = stream.getStreamData(qpdf_dl_all);
        return {reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize()};
    } catch (const std::exception&) {
        return {};
    }
}

// "notes.txt" as the `n`th of its name: "notes 2.txt".
std::string numbered(const std::string& name, int n)
{
    const size_t dot = name.rfind('.');
    const bool extension = dot != std::string::npos && dot > 0;
    return (extension ? name.substr(0, dot) : name) + " " + std::to_string(n) +
           (extension ? name.substr(dot) : std::string());
}

} // namespace

AttachedFiles::AttachedFiles(QPDF& out) : m_out(out), m_list(out) {}

void AttachedFiles::each(QPDF& pdf, const std::function<void(QPDFObjectHandle&)>& visit)
{
    for (QPDFObjectHandle& object : pdf.getAllObjects())
        eachDictionary(object, [&visit](QPDFObjectHandle& dictionary) {
            if (dictionary.hasKey("/EF")) visit(dictionary);
        });
}

void AttachedFiles::addListed(QPDF& source)
{
    QPDFEmbeddedFileDocumentHelper listed(source);
    for (const auto& [name, fileSpec] : listed.getEmbeddedFiles())
        add(source, fileSpec->getObjectHandle(), name);
}

void AttachedFiles::addEvery(QPDF& source)
{
    addListed(source);
    each(source, [this, &source](QPDFObjectHandle& fileSpec) {
        add(source, fileSpec, QPDFFileSpecObjectHelper(fileSpec).getFilename());
    });
}

bool AttachedFiles::add(QPDF& source, QPDFObjectHandle fileSpec, const std::string& name)
{
    if (!fileSpec.isDictionary()) return false;
    QPDFObjectHandle stream = QPDFFileSpecObjectHelper(fileSpec).getEmbeddedFileStream();
    if (!stream.isStream()) return false;
    // A file listed and also attached to a comment, or met again, is listed once.
    if (!m_added.insert({source.getUniqueId(), stream.getObjGen()}).second) return true;
    std::string key = name.empty() ? std::string("attached file") : name;
    std::string own;
    for (int n = 2; m_list.getEmbeddedFile(key); ++n) {
        if (own.empty()) own = data(fileSpec);
        if (!own.empty() && data(m_list.getEmbeddedFile(key)->getObjectHandle()) == own) return true;
        key = numbered(name.empty() ? std::string("attached file") : name, n);
    }
    if (!fileSpec.isIndirect()) fileSpec = source.makeIndirectObject(fileSpec);
    m_list.replaceEmbeddedFile(key, QPDFFileSpecObjectHelper(m_out.copyForeignObject(fileSpec)));
    return true;
}
