#include "engines/pdftext/pagetreecount.h"

#include "core/converterror.h"
#include "core/job.h"

#include <QFileInfo>

namespace PDFEngine {

PageTreeCount::PageTreeCount(const QString& path, Job& job) : m_listed(std::make_shared<int>(0))
{
    const std::optional<QString> qpdf = Shell::find(QStringLiteral("qpdf"));
    if (!qpdf) return;
    // qpdf lists every page it finds by walking the tree, each on a line "page <n>: <object>",
    // followed by its content streams on lines of their own. The file is named by its full path,
    // which no option starts like.
    Shell::Options options;
    options.job = &job;
    options.onLine = [listed = m_listed](const QString& line) {
        if (line.startsWith(QLatin1String("page "))) ++*listed;
    };
    try {
        m_qpdf.emplace(Shell::start(
            *qpdf, {QStringLiteral("--show-pages"), QFileInfo(path).absoluteFilePath()}, std::move(options)));
    } catch (const ConvertError& e) {
        if (e.isCancelled()) throw;
    }
}

PageTreeCount::~PageTreeCount() = default;

bool PageTreeCount::started() const
{
    return m_qpdf.has_value();
}

std::optional<int> PageTreeCount::pages()
{
    if (!m_qpdf) return m_pages;
    const Shell::Result result = m_qpdf->wait();
    m_qpdf.reset();
    // 3: qpdf mended what it read and said so; the pages it lists are still the tree's.
    if (result.status == 0 || result.status == 3) m_pages = *m_listed;
    return m_pages;
}

} // namespace PDFEngine
