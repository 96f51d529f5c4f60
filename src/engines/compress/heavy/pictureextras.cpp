#include "engines/compress/heavy/pictureextras.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/scratchfolder.h"
#include "engines/pdf/attachedfiles.h"
#include "engines/pdf/pdfoutlines.h"
#include "engines/pdf/qpdfio.h"

#include <QFileInfo>
#include <QSet>
#include <optional>
#include <poppler-form.h>
#include <poppler-qt6.h>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

namespace {

std::optional<double> number(QPDFObjectHandle value)
{
    double v = 0;
    return value.getValueAsNumber(v) ? std::optional<double>(v) : std::nullopt;
}

QPDFObjectHandle numberOrNull(std::optional<double> v)
{
    return v ? QPDFObjectHandle::newReal(*v, 3) : QPDFObjectHandle::newNull();
}

// Whether `annotation` is a comment: a note that holds words or opens a pop-up. Its look may be
// drawn into the page's picture, but not what it says.
bool isComment(QPDFObjectHandle annotation)
{
    if (!annotation.isDictionary()) return false;
    QPDFObjectHandle subtype = annotation.getKey("/Subtype");
    for (const char* other : {"/Link", "/Widget", "/Popup"})
        if (subtype.isNameAndEquals(other)) return false;
    QPDFObjectHandle contents = annotation.getKey("/Contents");
    return annotation.getKey("/Popup").isDictionary() ||
           (contents.isString() && !contents.getUTF8Value().empty());
}

QString counted(int count, const QString& one, const QString& several)
{
    return count == 1 ? one : several.arg(count);
}

} // namespace

PictureExtras::PictureExtras(const QString& source, const Poppler::Document& doc)
    : m_name(QFileInfo(source).fileName())
{
    try {
        QPDFIO::open(m_source, source);
        m_source.pushInheritedAttributesToPage();
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(m_source).getAllPages();
        for (size_t i = 0; i < pages.size(); ++i) {
            m_pageIndex[pages[i].getObjectHandle().getObjGen()] = int(i);
            m_links += int(pages[i].getAnnotations("/Link").size());
            for (QPDFAnnotationObjectHelper& annotation : pages[i].getAnnotations())
                m_comments += isComment(annotation.getObjectHandle());
        }
        m_fields = int(QPDFAcroFormDocumentHelper(m_source).getFormFields().size());
        bool files = false;
        AttachedFiles::each(m_source, [&files](QPDFObjectHandle&) { files = true; });
        m_carry = files || QPDFOutlineDocumentHelper(m_source).hasOutlines() || m_source.isEncrypted();
    } catch (const std::exception&) {
        findLost(doc);
    }
}

// What the copy would carry over or tell of, as Poppler finds it where qpdf could not read the
// source, from the start: qpdf may have failed part of the way through.
void PictureExtras::findLost(const Poppler::Document& doc)
{
    bool files = doc.hasEmbeddedFiles();
    m_links = m_comments = 0;
    QSet<QString> fields; // a field shown in several places is one field
    for (int i = 0; i < doc.numPages(); ++i) {
        const std::unique_ptr<Poppler::Page> page(doc.page(i));
        if (!page) continue;
        m_links += int(page->links().size());
        for (const std::unique_ptr<Poppler::FormField>& field : page->formFields())
            fields.insert(field->fullyQualifiedName());
        files = files || !page->annotations({Poppler::Annotation::AFileAttachment}).empty();
        for (const std::unique_ptr<Poppler::Annotation>& annotation : page->annotations())
            m_comments += annotation->subType() != Poppler::Annotation::ALink &&
                          annotation->subType() != Poppler::Annotation::AWidget &&
                          !annotation->contents().isEmpty();
    }
    m_fields = int(fields.size());
    if (files) m_lost << QStringLiteral("attached files");
    if (!doc.outline().isEmpty()) m_lost << QStringLiteral("bookmarks");
    if (doc.isEncrypted()) m_lost << QStringLiteral("owner’s restrictions");
}

PictureExtras::~PictureExtras() = default;

QString PictureExtras::picturesFile(const QString& destination)
{
    if (!m_carry) return destination;
    m_scratch = std::make_unique<ScratchFolder>();
    m_pictures = m_scratch->file(QStringLiteral("pictures.pdf"));
    return m_pictures;
}

void PictureExtras::finish(const QString& destination, const QList<int>& kept, Job& job)
{
    if (m_carry) {
        // Each source page's index in the copy.
        m_kept = kept;
        for (auto& [page, index] : m_pageIndex)
            index = int(kept.indexOf(index));
        QPDF pictures;
        QPDFIO::open(pictures, m_pictures);
        std::vector<QPDFObjectHandle> pages;
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pictures).getAllPages())
            pages.push_back(page.getObjectHandle());
        try {
            AttachedFiles files(pictures);
            files.addEvery(m_source);
        } catch (const std::exception&) {
            m_unread << QStringLiteral("The attached files");
        }
        try {
            PDFOutlines::append(m_source, pictures,
                                [this, &pages](QPDFObjectHandle dest) { return placed(dest, pages); });
        } catch (const std::exception&) {
            m_unread << QStringLiteral("The bookmarks");
        }
        try {
            QPDFIO::write(pictures, destination, m_source.isEncrypted() ? &m_source : nullptr);
        } catch (const ConvertError&) {
            throw;
        } catch (const std::exception& e) {
            throw ConvertError::failed(QStringLiteral("Couldn’t write the PDF"), QString::fromUtf8(e.what()));
        }
    }
    notes(job);
}

QPDFObjectHandle PictureExtras::placed(QPDFObjectHandle dest, const std::vector<QPDFObjectHandle>& pages)
{
    if (!dest.isArray() || dest.getArrayNItems() < 1) return QPDFObjectHandle::newNull();
    QPDFObjectHandle page = dest.getArrayItem(0);
    const auto found = page.isIndirect() ? m_pageIndex.find(page.getObjGen()) : m_pageIndex.end();
    const int index = page.isInteger()             ? int(m_kept.indexOf(page.getIntValueAsInt()))
                      : found != m_pageIndex.end() ? found->second
                                                   : -1;
    if (index < 0 || index >= int(pages.size())) return QPDFObjectHandle::newNull();
    QPDFObjectHandle out = QPDFObjectHandle::newArray();
    out.appendItem(pages[size_t(index)]);
    if (!dest.getArrayItem(1).isNameAndEquals("/XYZ") || page.isInteger()) {
        out.appendItem(QPDFObjectHandle::newName("/Fit"));
        return out;
    }
    // The picture of a page starts at the corner of its crop box and stands upright: the place
    // the bookmark shows, left and top, is moved and turned with it.
    QPDFPageObjectHelper source(page);
    const QPDFObjectHandle::Rectangle box = source.getCropBox().getArrayAsRectangle();
    QPDFObjectHandle rotate = page.getKey("/Rotate");
    const int turn = rotate.isInteger() ? ((rotate.getIntValueAsInt() % 360) + 360) % 360 : 0;
    const bool sideways = turn == 90 || turn == 270;
    const std::optional<double> left = number(dest.getArrayItem(2)), top = number(dest.getArrayItem(3));
    const std::optional<double> across = sideways ? top : left, down = sideways ? left : top;
    std::optional<double> x, y;
    if (across)
        x = turn == 0     ? *across - box.llx
            : turn == 90  ? *across - box.lly
            : turn == 180 ? box.urx - *across
                          : box.ury - *across;
    if (down)
        y = turn == 0     ? *down - box.lly
            : turn == 90  ? box.urx - *down
            : turn == 180 ? box.ury - *down
                          : *down - box.llx;
    out.appendItem(QPDFObjectHandle::newName("/XYZ"));
    out.appendItem(numberOrNull(x));
    out.appendItem(numberOrNull(y));
    out.appendItem(dest.getArrayNItems() > 4 ? QPDFObjectHandle::parse(dest.getArrayItem(4).unparseResolved())
                                             : QPDFObjectHandle::newNull());
    return out;
}

void PictureExtras::notes(Job& job) const
{
    if (!m_lost.isEmpty()) {
        const QString last = m_lost.last();
        const QString parts = m_lost.size() == 1
                                  ? last
                                  : m_lost.first(m_lost.size() - 1).join(QStringLiteral(", the ")) +
                                        QStringLiteral(" and the ") + last;
        job.addNote(QStringLiteral("The %1 of %2 were left out: the file is damaged, and they couldn’t be "
                                   "copied from it")
                        .arg(parts, m_name));
    }
    if (m_links > 0)
        job.addNote(counted(m_links, QStringLiteral("1 link was left out: page pictures can’t hold links"),
                            QStringLiteral("%1 links were left out: page pictures can’t hold links")));
    if (m_fields > 0)
        job.addNote(counted(
            m_fields,
            QStringLiteral("1 form field can no longer be filled in: page pictures can’t hold form fields"),
            QStringLiteral(
                "%1 form fields can no longer be filled in: page pictures can’t hold form fields")));
    if (m_comments > 0)
        job.addNote(counted(m_comments,
                            QStringLiteral("1 comment was left out: page pictures can’t hold comments"),
                            QStringLiteral("%1 comments were left out: page pictures can’t hold comments")));
    for (const QString& part : m_unread)
        job.addNote(QStringLiteral("%1 of %2 couldn’t be read and were left out").arg(part, m_name));
}
