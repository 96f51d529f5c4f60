#pragma once

#include <QtGlobal>

namespace PDFEngine {

// Poppler's complaints about what it reads (a content stream it can't decode, a drawing that
// breaks off), counted on the thread that meets them. Poppler tells them to one process-wide
// callback; each thread keeps its own count, so conversions side by side never mix theirs.
class ReadErrors
{
  public:
    // Starts counting the calling thread's complaints; read it on the same thread.
    ReadErrors();
    // How many complaints this thread met since the start.
    quint64 count() const;

    // Any thread: one complaint met on the calling thread. Poppler's front ends' hooks call it.
    static void add();
    // Sends the complaints of Poppler's GLib front end here, from then on. Idempotent.
    static void hookGlib();

  private:
    quint64 m_start;
};

} // namespace PDFEngine
