#include "engines/pdftext/pagetreecount.h"

#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <dlfcn.h>
#include <qpdf/DLL.h>
#include <qpdf/qpdf-c.h>

namespace {

// Every qpdf 11 carries this soname, so the functions of the header agree with the library opened.
static_assert(QPDF_MAJOR_VERSION == 11);
constexpr char fileName[] = "libqpdf.so.29";

// qpdf's C functions, looked up by name: its C++ classes can't be reached through dlsym.
struct QpdfC
{
    decltype(&qpdf_init) init = nullptr;
    decltype(&qpdf_cleanup) cleanup = nullptr;
    decltype(&qpdf_set_suppress_warnings) suppressWarnings = nullptr;
    decltype(&qpdf_read) read = nullptr;
    decltype(&qpdf_get_num_pages) pages = nullptr;
};

// qpdf's functions, loaded once for the process; none when the library or one of them is missing.
std::optional<QpdfC> load()
{
    void* library = ::dlopen(fileName, RTLD_LAZY | RTLD_LOCAL);
    if (!library) return std::nullopt;
    const auto find = [library]<typename F>(F& function, const char* name) {
        function = reinterpret_cast<F>(::dlsym(library, name));
        return function != nullptr;
    };
    QpdfC c;
    if (!find(c.init, "qpdf_init") || !find(c.cleanup, "qpdf_cleanup") ||
        !find(c.suppressWarnings, "qpdf_set_suppress_warnings") || !find(c.read, "qpdf_read") ||
        !find(c.pages, "qpdf_get_num_pages"))
        return std::nullopt;
    return c;
}

std::optional<int> count(const QByteArray& file)
{
    static const std::optional<QpdfC> c = load();
    if (!c) return std::nullopt;
    qpdf_data pdf = c->init();
    c->suppressWarnings(pdf, QPDF_TRUE);
    std::optional<int> pages;
    // Warnings are what qpdf mended as it read; the pages it finds are still the tree's.
    if ((c->read(pdf, file.constData(), nullptr) & QPDF_ERRORS) == 0)
        if (const int n = c->pages(pdf); n >= 0) pages = n;
    c->cleanup(&pdf);
    return pages;
}

} // namespace

namespace PDFEngine {

PageTreeCount::PageTreeCount(const QString& path)
    : m_pages(std::async(std::launch::async, count, QFile::encodeName(QFileInfo(path).absoluteFilePath())))
{
}

PageTreeCount::~PageTreeCount()
{
    m_pages.wait();
}

bool PageTreeCount::ready() const
{
    return m_pages.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

std::optional<int> PageTreeCount::pages() const
{
    return m_pages.get();
}

} // namespace PDFEngine
