#include "engines/pdf/pagecopies.h"

#include "engines/pdf/attachedfiles.h"

#include <map>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFNameTreeObjectHelper.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

namespace {

int normalized(int degrees)
{
    return ((degrees % 360) + 360) % 360;
}

std::string numbered(const std::string& name, int n)
{
    return name + "-" + std::to_string(n);
}

bool isA(QPDFObjectHandle annotation, const char* subtype)
{
    return annotation.isDictionary() && annotation.getKey("/Subtype").isNameAndEquals(subtype);
}

// The table of named destinations of `out` in the catalog, made when it has none.
QPDFObjectHandle destsTable(QPDF& out)
{
    QPDFObjectHandle table = out.getRoot().getKey("/Dests");
    if (table.isDictionary()) return table;
    return out.getRoot().replaceKeyAndGetNew("/Dests",
                                             out.makeIndirectObject(QPDFObjectHandle::newDictionary()));
}

// The name tree of named destinations of `out`, made when it has none.
QPDFObjectHandle destsTree(QPDF& out)
{
    QPDFObjectHandle names = out.getRoot().getKey("/Names");
    if (!names.isDictionary())
        names = out.getRoot().replaceKeyAndGetNew("/Names",
                                                  out.makeIndirectObject(QPDFObjectHandle::newDictionary()));
    QPDFObjectHandle tree = names.getKey("/Dests");
    if (tree.isDictionary()) return tree;
    return names.replaceKeyAndGetNew("/Dests", QPDFNameTreeObjectHelper::newEmpty(out).getObjectHandle());
}

} // namespace

PageCopies::PageCopies(QPDF& source, QPDF& out, QPDFAcroFormDocumentHelper& forms)
    : m_source(source), m_out(out), m_forms(forms), m_pages(QPDFPageDocumentHelper(source).getAllPages())
{
    m_annotations.resize(m_pages.size());
    m_copies.resize(m_pages.size());
    for (size_t i = 0; i < m_pages.size(); ++i) {
        QPDFObjectHandle page = m_pages[i].getObjectHandle();
        m_annotations[i] = page.getKey("/Annots");
        page.removeKey("/Annots");
    }
}

PageCopies::~PageCopies() = default;

void PageCopies::append(int index, int rotation)
{
    QPDFObjectHandle page = m_pages[size_t(index)].getObjectHandle();
    QPDFObjectHandle copy = m_out.copyForeignObject(page);
    // One page object can stand only once in a page tree: a page copied before is copied again
    // shallowly. Each copy is given its own /Rotate, 0 included: a second copy starts from the
    // first copy's dictionary, turn and all.
    if (!m_copies[size_t(index)].empty()) copy = m_out.makeIndirectObject(copy.shallowCopy());
    QPDFObjectHandle own = page.getKey("/Rotate");
    const int turned = normalized((own.isInteger() ? own.getIntValueAsInt() : 0) + rotation);
    copy.replaceKey("/Rotate", QPDFObjectHandle::newInteger(turned));
    // Added last: a page that fails on the way is never among the pages written.
    QPDFPageDocumentHelper(m_out).addPage(QPDFPageObjectHelper(copy), false);
    m_copies[size_t(index)].push_back(copy);
    m_copied.insert(copy.getObjGen());
}

void PageCopies::finish(AttachedFiles& files)
{
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (!m_annotations[i].isNull()) m_pages[i].getObjectHandle().replaceKey("/Annots", m_annotations[i]);
    m_names = std::make_unique<QPDFOutlineDocumentHelper>(m_source);
    QPDFAcroFormDocumentHelper sourceForms(m_source);
    for (size_t i = 0; i < m_pages.size(); ++i)
        for (QPDFObjectHandle& copy : m_copies[i])
            tryPart(QStringLiteral("The links, comments and form fields of page %1").arg(i + 1),
                    [&] { annotate(i, copy, sourceForms); });
    tryPart(QStringLiteral("The named destinations"), [this] { copyNames(); });
    tryPart(QStringLiteral("The bookmarks"), [this] {
        m_lostBookmarks = PDFOutlines::append(m_source, m_out, [this](QPDFObjectHandle dest) {
            return kept(PDFOutlines::copied(m_source, m_out, dest));
        });
    });
    tryPart(QStringLiteral("The attached files"), [this, &files] {
        files.addListed(m_source);
        // A file attached to a comment on a page left out stays in the document's list.
        for (size_t i = 0; i < m_pages.size(); ++i) {
            if (!m_copies[i].empty() || !m_annotations[i].isArray()) continue;
            for (QPDFObjectHandle& annotation : m_annotations[i].getArrayAsVector()) {
                if (!isA(annotation, "/FileAttachment")) continue;
                QPDFObjectHandle fileSpec = annotation.getKey("/FS");
                if (fileSpec.isDictionary())
                    files.add(m_source, fileSpec, QPDFFileSpecObjectHelper(fileSpec).getFilename());
            }
        }
    });
}

void PageCopies::annotate(size_t index, QPDFObjectHandle copy, QPDFAcroFormDocumentHelper& sourceForms)
{
    QPDFObjectHandle page = m_pages[index].getObjectHandle();
    // Each copy gets annotations and form fields of its own; fields met twice are renamed.
    m_forms.fixCopiedAnnotations(copy, page, sourceForms);
    QPDFObjectHandle made = copy.getKey("/Annots");
    if (!made.isArray()) return;
    // Annotations that point at each other (a comment and its pop-up, a reply) point at the
    // copies on this page, not at the first copies qpdf made on the way.
    std::map<QPDFObjGen, QPDFObjectHandle> copyOf;
    std::vector<QPDFObjectHandle> from;
    for (QPDFObjectHandle& annotation : m_annotations[index].getArrayAsVector())
        if (!annotation.isStream()) from.push_back(annotation);
    const std::vector<QPDFObjectHandle> annotations = made.getArrayAsVector();
    if (from.size() == annotations.size())
        for (size_t k = 0; k < from.size(); ++k)
            if (from[k].isIndirect()) copyOf[m_out.copyForeignObject(from[k]).getObjGen()] = annotations[k];
    std::vector<QPDFObjectHandle> keep;
    for (QPDFObjectHandle annotation : annotations) {
        if (!annotation.isDictionary()) continue;
        if (annotation.hasKey("/P")) annotation.replaceKey("/P", copy);
        for (const char* key : {"/Popup", "/Parent", "/IRT"}) {
            QPDFObjectHandle other = annotation.getKey(key);
            const auto found = other.isIndirect() ? copyOf.find(other.getObjGen()) : copyOf.end();
            if (found != copyOf.end()) annotation.replaceKey(key, found->second);
        }
        if (isA(annotation, "/Link") && !linkKept(annotation)) {
            ++m_removedLinks;
            continue;
        }
        keep.push_back(annotation);
    }
    copy.replaceKey("/Annots", QPDFObjectHandle::newArray(keep));
}

bool PageCopies::linkKept(QPDFObjectHandle link)
{
    QPDFObjectHandle holder = link;
    const char* key = "/Dest";
    if (!link.hasKey("/Dest")) {
        QPDFObjectHandle action = link.getKey("/A");
        // A link that opens a web address, another file or a menu command leads nowhere here.
        if (!action.isDictionary() || !action.getKey("/S").isNameAndEquals("/GoTo")) return true;
        holder = action;
        key = "/D";
    }
    // Named destinations are written out, so that a name met in two merged files can't lead
    // into the other one.
    QPDFObjectHandle target = resolved(holder.getKey(key));
    if (target.isNull()) return false;
    holder.replaceKey(key, target);
    return true;
}

QPDFObjectHandle PageCopies::resolved(QPDFObjectHandle dest)
{
    if (dest.isName() || dest.isString()) {
        QPDFObjectHandle named = PDFOutlines::viewOf(m_names->resolveNamedDest(dest));
        if (!named.isArray()) return QPDFObjectHandle::newNull();
        dest = PDFOutlines::copied(m_source, m_out, named);
    }
    return kept(dest);
}

QPDFObjectHandle PageCopies::kept(QPDFObjectHandle dest) const
{
    if (!dest.isArray() || dest.getArrayNItems() < 1) return QPDFObjectHandle::newNull();
    QPDFObjectHandle page = dest.getArrayItem(0);
    // Some writers give a page number where the page belongs.
    if (page.isInteger()) {
        const long long index = page.getIntValue();
        if (index < 0 || index >= (long long)m_copies.size() || m_copies[size_t(index)].empty())
            return QPDFObjectHandle::newNull();
        QPDFObjectHandle own = dest.shallowCopy();
        own.setArrayItem(0, m_copies[size_t(index)].front());
        return own;
    }
    return page.isIndirect() && m_copied.count(page.getObjGen()) ? dest : QPDFObjectHandle::newNull();
}

QPDFObjectHandle PageCopies::placed(QPDFObjectHandle named)
{
    return kept(PDFOutlines::copied(m_source, m_out, PDFOutlines::viewOf(named)));
}

void PageCopies::copyNames()
{
    // Names already taken by an earlier source get a number: each still leads into its own file.
    QPDFObjectHandle dests = m_source.getRoot().getKey("/Dests");
    if (dests.isDictionary()) {
        QPDFObjectHandle table = destsTable(m_out);
        for (const std::string& key : dests.getKeys()) {
            QPDFObjectHandle target = placed(dests.getKey(key));
            if (target.isNull()) continue;
            std::string name = key;
            for (int n = 2; table.hasKey(name); ++n)
                name = numbered(key, n);
            table.replaceKey(name, target);
        }
    }
    QPDFObjectHandle names = m_source.getRoot().getKey("/Names");
    QPDFObjectHandle tree = names.isDictionary() ? names.getKey("/Dests") : QPDFObjectHandle::newNull();
    if (!tree.isDictionary()) return;
    QPDFNameTreeObjectHelper to(destsTree(m_out), m_out);
    for (const auto& [key, value] : QPDFNameTreeObjectHelper(tree, m_source)) {
        QPDFObjectHandle target = placed(value);
        if (target.isNull()) continue;
        std::string name = key;
        for (int n = 2; to.hasName(name); ++n)
            name = numbered(key, n);
        to.insert(name, target);
    }
}

void PageCopies::tryPart(const QString& what, const std::function<void()>& part)
{
    try {
        part();
    } catch (const std::exception&) {
        if (!m_unread.contains(what)) m_unread << what;
    }
}
