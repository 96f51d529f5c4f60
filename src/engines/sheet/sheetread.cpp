#include "engines/sheet/sheetengine.h"

#include "core/converterror.h"
#include "core/libreoffice/iwork.h"
#include "core/output.h"
#include "core/scratchfolder.h"
#include "core/textfile.h"

namespace {

QList<Sheet> readDelimited(const QString& path, QChar separator)
{
    return {Sheet{Output::baseName(path), SheetEngine::parseDelimited(TextFile::read(path), separator)}};
}

// Older and foreign workbooks are turned into XLSX by the office bridge first.
QList<Sheet> readThroughOffice(const QString& path, Job* job)
{
    const ScratchFolder folder;
    const QString exported = folder.file(QStringLiteral("export.xlsx"));
    IWork::export_(IWork::App::numbers, path, exported, QStringLiteral("Microsoft Excel"), std::nullopt, job);
    return SheetEngine::readXLSX(exported);
}

} // namespace

namespace SheetEngine {

QList<Sheet> read(const QString& path, const QString& format, Job* job)
{
    if (format == QLatin1String("csv")) return readDelimited(path, QLatin1Char(','));
    if (format == QLatin1String("tsv")) return readDelimited(path, QLatin1Char('\t'));
    if (format == QLatin1String("xlsx")) return readXLSX(path);
    if (format == QLatin1String("ods")) return readODS(path);
    if (format == QLatin1String("xls") || format == QLatin1String("numbers"))
        return readThroughOffice(path, job);
    throw ConvertError::unsupported(QStringLiteral("Can’t read %1 spreadsheets").arg(format.toUpper()));
}

} // namespace SheetEngine
