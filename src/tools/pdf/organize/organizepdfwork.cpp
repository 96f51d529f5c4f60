#include "tools/pdf/organize/organizepdfwork.h"

#include "engines/heavyengines.h"

#include <QDir>
#include <algorithm>

namespace OrganizePDFWork {

QStringList organize(const QString& file, const std::vector<PageChoice>& pages, Job& job,
                     const Progress& progress)
{
    return Modules::entries<HeavyEngines>().organizePDF(file, pages, job, progress);
}

QStringList selfCheck(const QString& samples, Job& job)
{
    const QString sample = QDir(samples).filePath(QStringLiteral("sample.pdf"));
    // Of a one-page sample, that page twice: a copy is as much the tool's work as a move.
    const int last = Modules::entries<HeavyEngines>().pdfPageCount(sample) - 1;
    return organize(sample, {{std::max(last, 0), 0}, {0, 90}}, job, [](double) {});
}

} // namespace OrganizePDFWork
