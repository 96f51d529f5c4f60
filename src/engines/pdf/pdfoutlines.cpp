#include "engines/pdf/pdfoutlines.h"

#include <optional>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <vector>

namespace {

// A bookmark made in the new document, with how many bookmarks under it show when it is open.
struct Made
{
    QPDFObjectHandle item;
    int shown = 0;
    bool open = false;
};

class Builder
{
  public:
    Builder(QPDF& source, QPDF& out, const PDFOutlines::Destination& destination)
        : m_source(source), m_out(out), m_destination(destination)
    {
    }

    std::optional<Made> make(QPDFOutlineObjectHelper& bookmark)
    {
        std::vector<Made> kids;
        for (QPDFOutlineObjectHelper& kid : bookmark.getKids())
            if (std::optional<Made> made = make(kid)) kids.push_back(*made);
        QPDFObjectHandle own = bookmark.getObjectHandle();
        QPDFObjectHandle action = own.getKey("/A");
        const bool toPage =
            own.hasKey("/Dest") || (action.isDictionary() && action.getKey("/S").isNameAndEquals("/GoTo"));
        const QString title = QString::fromStdString(bookmark.getTitle());
        QPDFObjectHandle target = QPDFObjectHandle::newNull();
        if (toPage) {
            QPDFObjectHandle dest = PDFOutlines::viewOf(bookmark.getDest());
            if (dest.isArray()) target = m_destination(dest);
            if (dest.isArray() && target.isNull()) (kids.empty() ? lost.removed : lost.emptied) << title;
            if (target.isNull() && kids.empty()) return std::nullopt;
        }
        QPDFObjectHandle item = m_out.makeIndirectObject(QPDFObjectHandle::newDictionary());
        item.replaceKey("/Title", QPDFObjectHandle::newString(own.getKey("/Title").isString()
                                                                  ? own.getKey("/Title").getStringValue()
                                                                  : std::string()));
        if (!target.isNull())
            item.replaceKey("/Dest", target);
        else if (!toPage && action.isDictionary())
            item.replaceKey("/A", PDFOutlines::copied(m_source, m_out, action));
        for (const char* key : {"/C", "/F"})
            if (own.hasKey(key))
                item.replaceKey(key, QPDFObjectHandle::parse(own.getKey(key).unparseResolved()));
        Made made{item, chain(item, kids), bookmark.getCount() > 0};
        if (!kids.empty())
            item.replaceKey("/Count", QPDFObjectHandle::newInteger(made.open ? made.shown : -made.shown));
        return made;
    }

    // Hangs `kids` under `parent` after the children it has; returns how many of them and of
    // theirs show while `parent` is open.
    static int chain(QPDFObjectHandle parent, const std::vector<Made>& kids)
    {
        QPDFObjectHandle last = parent.getKey("/Last");
        int shown = 0;
        for (Made kid : kids) {
            kid.item.replaceKey("/Parent", parent);
            if (last.isDictionary()) {
                last.replaceKey("/Next", kid.item);
                kid.item.replaceKey("/Prev", last);
            } else {
                parent.replaceKey("/First", kid.item);
            }
            last = kid.item;
            shown += 1 + (kid.open ? kid.shown : 0);
        }
        if (!kids.empty()) parent.replaceKey("/Last", last);
        return shown;
    }

    PDFOutlines::Lost lost;

  private:
    QPDF& m_source;
    QPDF& m_out;
    const PDFOutlines::Destination& m_destination;
};

} // namespace

namespace PDFOutlines {

QPDFObjectHandle viewOf(QPDFObjectHandle named)
{
    return named.isDictionary() ? named.getKey("/D") : named;
}

QPDFObjectHandle copied(QPDF& source, QPDF& out, QPDFObjectHandle value)
{
    if (value.isIndirect()) return out.copyForeignObject(value);
    if (value.isScalar()) return QPDFObjectHandle::parse(value.unparse());
    // Copied through an indirect object of its own, and written back in place as it was.
    return out.copyForeignObject(source.makeIndirectObject(value)).shallowCopy();
}

Lost append(QPDF& source, QPDF& out, const Destination& destination)
{
    QPDFOutlineDocumentHelper outlines(source);
    if (!outlines.hasOutlines()) return {};
    Builder builder(source, out, destination);
    std::vector<Made> top;
    for (QPDFOutlineObjectHelper& bookmark : outlines.getTopLevelOutlines())
        if (std::optional<Made> made = builder.make(bookmark)) top.push_back(*made);
    if (top.empty()) return builder.lost;
    QPDFObjectHandle root = out.getRoot().getKey("/Outlines");
    if (!root.isDictionary()) {
        root = out.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Outlines >>"));
        out.getRoot().replaceKey("/Outlines", root);
    }
    const int before = root.getKey("/Count").isInteger() ? root.getKey("/Count").getIntValueAsInt() : 0;
    root.replaceKey("/Count", QPDFObjectHandle::newInteger(before + Builder::chain(root, top)));
    return builder.lost;
}

} // namespace PDFOutlines
