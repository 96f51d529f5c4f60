#include "engines/pdf/pagecheck.h"

#include "engines/image/jpegcheck.h"
#include "engines/pdf/fontcheck.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <QSet>
#include <poppler-qt6.h>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <vector>
#include <zlib.h>

namespace {

// Forms drawn inside forms are followed this deep, and no deeper.
constexpr int maxDepth = 12;

QByteArray bytes(const std::shared_ptr<Buffer>& buffer)
{
    return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()), qsizetype(buffer->getSize()));
}

quint64 key(QPDFObjectHandle& object)
{
    const QPDFObjGen id = object.getObjGen();
    return (quint64(quint32(id.getObj())) << 32) | quint32(id.getGen());
}

// The embedded TrueType program of a font dictionary (of its descendant for a composite font).
QPDFObjectHandle trueTypeProgram(QPDFObjectHandle font)
{
    if (!font.isDictionary()) return {};
    if (font.getKey("/Subtype").isNameAndEquals("/Type0")) {
        QPDFObjectHandle descendants = font.getKey("/DescendantFonts");
        if (!descendants.isArray() || descendants.getArrayNItems() < 1) return {};
        font = descendants.getArrayItem(0);
        if (!font.isDictionary()) return {};
    }
    QPDFObjectHandle descriptor = font.getKey("/FontDescriptor");
    return descriptor.isDictionary() ? descriptor.getKey("/FontFile2") : QPDFObjectHandle();
}

bool isJpeg(QPDFObjectHandle& image)
{
    QPDFObjectHandle filter = image.getDict().getKey("/Filter");
    if (filter.isArray() && filter.getArrayNItems() == 1) filter = filter.getArrayItem(0);
    return filter.isNameAndEquals("/DCTDecode");
}

enum class Kind { font, jpeg, flate };

bool isFlate(QPDFObjectHandle& image)
{
    QPDFObjectHandle filter = image.getDict().getKey("/Filter");
    if (filter.isArray() && filter.getArrayNItems() == 1) filter = filter.getArrayItem(0);
    return filter.isNameAndEquals("/FlateDecode");
}

// Whether Flate data inflate to their end. qpdf and Poppler both take what comes out before
// zlib gives up (on a wrong check sum, say) and go on without a word.
bool inflatesWhole(const QByteArray& data)
{
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = uInt(data.size());
    std::vector<Bytef> out(1 << 16);
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = out.data();
        z.avail_out = uInt(out.size());
        result = inflate(&z, Z_NO_FLUSH);
    }
    inflateEnd(&z);
    return result == Z_STREAM_END;
}

} // namespace

struct PageCheck::Impl
{
    QPDF pdf;
    bool read = false;                   // whether qpdf could read the file and its page tree
    bool tree = false;                   // whether the catalog names a page tree
    std::vector<QPDFObjectHandle> pages; // the page objects the tree names, in order
    QList<std::optional<int>> shown;     // by page: Poppler's index
    QHash<quint64, bool> whole;          // by font program or picture object: whether it reads whole

    void readTree(const QString& path)
    {
        pdf.setSuppressWarnings(true);
        try {
            pdf.processFile(QFile::encodeName(path).constData());
            tree = pdf.getRoot().getKey("/Pages").isDictionary();
            pages = pdf.getAllPages();
            read = true;
        } catch (const std::exception&) {
            pages.clear();
        }
    }

    // Whether the font program or picture `object` reads whole, once per object.
    bool readsWhole(QPDFObjectHandle object, Kind kind)
    {
        const bool indirect = object.isIndirect();
        if (indirect && whole.contains(key(object))) return whole.value(key(object));
        bool read = false;
        try {
            read = kind == Kind::jpeg ? JpegCheck::whole(bytes(object.getRawStreamData()))
                   : kind == Kind::font
                       ? FontCheck::trueTypeWhole(bytes(object.getStreamData(qpdf_dl_generalized)))
                       : inflatesWhole(bytes(object.getRawStreamData()));
        } catch (const std::exception&) {
            read = false; // data that can't be read or inflated
        }
        if (indirect) whole.insert(key(object), read);
        return read;
    }

    // Whether anything `resources` name, or the resources of the forms and patterns they name,
    // is damaged; `seen` keeps a form that draws itself from being followed round.
    bool damaged(QPDFObjectHandle resources, QSet<quint64>& seen, int depth)
    {
        if (!resources.isDictionary() || depth > maxDepth) return false;
        QPDFObjectHandle fonts = resources.getKey("/Font");
        if (fonts.isDictionary())
            for (auto& [name, font] : fonts.ditems()) {
                QPDFObjectHandle program = trueTypeProgram(font);
                if (program.isStream() && !readsWhole(program, Kind::font)) return true;
            }
        for (const char* kind : {"/XObject", "/Pattern"}) {
            QPDFObjectHandle named = resources.getKey(kind);
            if (!named.isDictionary()) continue;
            for (auto& [name, object] : named.ditems()) {
                if (!object.isStream()) continue;
                if (object.isImage(false) && (isJpeg(object) || isFlate(object)) &&
                    !readsWhole(object, isJpeg(object) ? Kind::jpeg : Kind::flate))
                    return true;
                if (object.isIndirect() && seen.contains(key(object))) continue;
                if (object.isIndirect()) seen.insert(key(object));
                if (damaged(object.getDict().getKey("/Resources"), seen, depth + 1)) return true;
            }
        }
        return false;
    }

    // Where Poppler can't reach a page whose object is missing, it leaves it out and moves the
    // later pages up; its pages are then the readable ones of the tree, in order. Where the two
    // readers see the tree otherwise, Poppler's own order is taken, and pages past those it
    // reads are missing.
    void mapPages(const Poppler::Document& doc)
    {
        const int count = doc.numPages();
        QList<int> sound;
        for (int i = 0; read && i < int(pages.size()); ++i)
            if (pages[size_t(i)].isDictionary()) sound.append(i);
        for (int i = 0; i < count; ++i)
            shown.append(i);
        // Poppler reads as many pages as the tree's count says, even where the tree holds more.
        while (shown.size() < qsizetype(pages.size()))
            shown.append(std::nullopt);
        if (int(pages.size()) != count || sound.size() == count) return;
        QList<int> readable;
        for (int i = 0; i < count; ++i)
            if (std::unique_ptr<Poppler::Page>(doc.page(i))) readable.append(i);
        if (readable.size() != sound.size()) return;
        shown.fill(std::nullopt);
        for (qsizetype k = 0; k < sound.size(); ++k)
            shown[sound[k]] = readable[k];
    }
};

PageCheck::PageCheck(const QString& pdf, const Poppler::Document& doc) : d(std::make_unique<Impl>())
{
    d->readTree(pdf);
    d->mapPages(doc);
}

PageCheck::~PageCheck() = default;

int PageCheck::count() const
{
    return int(d->shown.size());
}

bool PageCheck::lost() const
{
    return d->shown.isEmpty() && !(d->read && d->tree && d->pages.empty());
}

std::optional<int> PageCheck::shown(int index) const
{
    return d->shown.value(index);
}

bool PageCheck::drawsDamage(int index)
{
    // Pages are matched with qpdf's only where both readers find as many.
    if (!d->read || index < 0 || index >= count() || d->pages.size() != size_t(count())) return false;
    try {
        QPDFObjectHandle page = d->pages[size_t(index)];
        if (!page.isDictionary()) return false;
        QSet<quint64> seen;
        return d->damaged(QPDFPageObjectHelper(page).getAttribute("/Resources", false), seen, 0);
    } catch (const std::exception&) {
        return false; // what qpdf can't follow, Poppler complains of as it draws
    }
}
