#include "engines/pdftext/readerrors.h"

#include <mutex>

// glib's headers use Qt's keyword macros as member names.
#pragma push_macro("signals")
#undef signals
#include <glib.h>
#pragma pop_macro("signals")

namespace {

thread_local quint64 complaints = 0;

} // namespace

namespace PDFEngine {

ReadErrors::ReadErrors() : m_start(complaints) {}

quint64 ReadErrors::count() const
{
    return complaints - m_start;
}

void ReadErrors::add()
{
    ++complaints;
}

void ReadErrors::hookGlib()
{
    static std::once_flag once;
    // The GLib front end logs each complaint in its own domain, on the thread that met it.
    std::call_once(once, [] {
        g_log_set_handler(
            "Poppler", G_LOG_LEVEL_INFO,
            [](const gchar*, GLogLevelFlags, const gchar*, gpointer) { ReadErrors::add(); }, nullptr);
    });
}

} // namespace PDFEngine
