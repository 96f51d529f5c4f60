#pragma once

#include "engines/pdf/pdfoutlines.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <set>
#include <vector>

class AttachedFiles;
class QPDF;
class QPDFAcroFormDocumentHelper;
class QPDFOutlineDocumentHelper;

// The pages of one PDF copied into a new one, in any order and any number of times, and then
// what leads to them and what they carry: the links and form fields on them, and the document's
// named destinations, bookmarks and attached files. Whatever leads to a page leads to its first
// copy; what leads only to pages left out is removed and counted.
class PageCopies
{
  public:
    // Starts copying from `source`, whose pages hold what they inherit. Its pages' annotations
    // are set aside until finish(), so that copying a page never copies a link to a page not
    // copied yet. `forms` is the form of `out`, shared by every source.
    PageCopies(QPDF& source, QPDF& out, QPDFAcroFormDocumentHelper& forms);
    ~PageCopies();

    int pageCount() const { return int(m_pages.size()); }

    // Appends a copy of page `index` (from 0) to `out`, turned `rotation` degrees beyond its own.
    // Throws qpdf's exception when the page can't be read.
    void append(int index, int rotation);

    // Gives each copy its own links, comments and form fields, and carries the named
    // destinations, bookmarks and attached files into `out` and `files`; files attached to
    // comments on pages left out join the list. Call once, after the last append.
    void finish(AttachedFiles& files);

    // What finish() could not keep.
    int removedLinks() const { return m_removedLinks; }
    const PDFOutlines::Lost& lostBookmarks() const { return m_lostBookmarks; }
    // The parts that couldn't be read, in a few words each ("The bookmarks").
    const QStringList& unread() const { return m_unread; }

  private:
    QPDFObjectHandle kept(QPDFObjectHandle dest) const;
    QPDFObjectHandle resolved(QPDFObjectHandle dest);
    QPDFObjectHandle placed(QPDFObjectHandle named);
    void annotate(size_t index, QPDFObjectHandle copy, QPDFAcroFormDocumentHelper& sourceForms);
    bool linkKept(QPDFObjectHandle link);
    void copyNames();
    void tryPart(const QString& what, const std::function<void()>& part);

    QPDF& m_source;
    QPDF& m_out;
    QPDFAcroFormDocumentHelper& m_forms;
    std::vector<QPDFPageObjectHelper> m_pages;
    std::vector<QPDFObjectHandle> m_annotations;         // set aside, by page
    std::vector<std::vector<QPDFObjectHandle>> m_copies; // by page, in the order made
    std::set<QPDFObjGen> m_copied;                       // every copy
    int m_removedLinks = 0;
    PDFOutlines::Lost m_lostBookmarks;
    QStringList m_unread;
    std::unique_ptr<QPDFOutlineDocumentHelper> m_names; // looks up the source's named destinations
};
