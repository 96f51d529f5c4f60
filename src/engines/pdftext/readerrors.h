#pragma once

#include <QStringView>
#include <QtGlobal>

namespace PDFEngine {

// Poppler's complaints about what it reads that tell of page content lost (a content stream it
// can't decode, a drawing that breaks off), counted on the thread that meets them. Poppler tells
// them to one process-wide callback; each thread keeps its own count, so conversions side by
// side never mix theirs.
class ReadErrors
{
  public:
    // Starts counting the calling thread's complaints; read it on the same thread.
    ReadErrors();
    // How many complaints that lose content this thread met since the start.
    quint64 count() const;

    // Any thread: Poppler's complaint `message`, met on the calling thread, is counted when it
    // loses content. Poppler's front ends' hooks call it.
    static void add(QStringView message);
    // Whether a complaint tells of content lost: a stream that can't be decoded, an operator
    // that can't be carried out, an object that is missing or of the wrong kind, a font, picture
    // or drawing that fails to load. Complaints about what lies over the page or beside it
    // (annotations, form fields, links, bookmarks, the file's index of pages for fast viewing,
    // document information) are not.
    static bool losesContent(QStringView message);
    // Sends the complaints of Poppler's GLib front end here, from then on. Idempotent.
    static void hookGlib();

  private:
    quint64 m_start;
};

} // namespace PDFEngine
