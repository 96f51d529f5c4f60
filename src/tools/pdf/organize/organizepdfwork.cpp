#include "tools/pdf/organize/organizepdfwork.h"

#include "engines/heavyengines.h"

#include <QDir>

namespace OrganizePDFWork {

QStringList organize(const QString& file, const std::vector<PageChoice>& pages, Job& job,
                     const Progress& progress)
{
    return Modules::entries<HeavyEngines>().organizePDF(file, pages, job, progress);
}

QStringList selfCheck(const QString& samples, Job& job)
{
    return organize(QDir(samples).filePath(QStringLiteral("sample.pdf")), {{2, 0}, {0, 90}}, job,
                    [](double) {});
}

} // namespace OrganizePDFWork
