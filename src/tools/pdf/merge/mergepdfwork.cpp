#include "tools/pdf/merge/mergepdfwork.h"

#include "engines/heavyengines.h"

#include <QDir>

namespace MergePDFWork {

QStringList merge(const QStringList& files, Job& job, const Progress& progress)
{
    return Modules::entries<HeavyEngines>().mergePDFs(files, job, progress);
}

QStringList selfCheck(const QString& samples, Job& job)
{
    const QString sample = QDir(samples).filePath(QStringLiteral("sample.pdf"));
    return merge({sample, sample}, job, [](double) {});
}

} // namespace MergePDFWork
