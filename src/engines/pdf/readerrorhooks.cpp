#include "engines/pdf/readerrorhooks.h"

#include "engines/pdftext/readerrors.h"

#include <mutex>
#include <poppler-qt6.h>
#include <poppler/cpp/poppler-global.h>

namespace PDFEngine {

void hookReadErrors()
{
    static std::once_flag once;
    // Poppler keeps one callback for the whole process, set by whichever front end opens the
    // first document; each front end then hands the complaint to its own hook on the same thread.
    std::call_once(once, [] {
        Poppler::setDebugErrorFunction(
            [](const QString& message, const QVariant&) { ReadErrors::add(message); }, {});
        poppler::set_debug_error_function(
            [](const std::string& message, void*) { ReadErrors::add(QString::fromStdString(message)); },
            nullptr);
    });
}

} // namespace PDFEngine
