#include "engines/converter.h"

#include "core/catalog.h"
#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/modules.h"
#include "core/wheelitem.h"
#include "engines/archive/archiveengine.h"
#include "engines/heavyengines.h"
#include "engines/media/mediaengine.h"
#include "engines/pdftext/pdftextmodule.h"
#include "engines/subtitle/subtitleengine.h"

#include <QFileInfo>

namespace Converter {

bool isHeavy(FileCategory category, const QString& target)
{
    if (category == FileCategory::pdf && target == QLatin1String("txt")) return false;
    switch (category) {
    case FileCategory::audio:
    case FileCategory::video:
    case FileCategory::subtitle:
    case FileCategory::archive:
        return false;
    case FileCategory::image:
    case FileCategory::pdf:
    case FileCategory::document:
    case FileCategory::epub:
    case FileCategory::text:
    case FileCategory::slides:
    case FileCategory::spreadsheet:
        break;
    }
    return true;
}

QStringList convert(const QString& source, const QString& target, Job& job, const Progress& progress)
{
    const auto unknown = [] {
        return ConvertError::unsupported(QStringLiteral("Tolvane doesn’t know this kind of file"));
    };
    const QString name = QFileInfo(source).fileName();
    InputCheck::refuseGone(source);
    // Before any program opens it: reading a pipe or a device never ends.
    InputCheck::refuseSpecial(source);
    const auto key = Catalog::format(source);
    if (!key) throw unknown();
    const auto category = Catalog::category(*key);
    if (!category) throw unknown();
    if (*key == target) return {};
    if (!Catalog::conversions(*key).contains(target))
        throw ConvertError::unsupported(
            QStringLiteral("%1 can’t be converted to %2").arg(name, WheelItem::format(target).title()));
    // Before any program or unpacker is handed it: noise under an office name is no document.
    InputCheck::refuseMislabelled(source, *key);

    switch (*category) {
    case FileCategory::audio:
    case FileCategory::video:
        return MediaEngine::convert(source, target, job, progress);
    case FileCategory::pdf:
        if (target == QLatin1String("txt"))
            return Modules::entries<PDFTextModule>().convertToText(source, job, progress);
        [[fallthrough]];
    case FileCategory::image:
    case FileCategory::document:
    case FileCategory::epub:
    case FileCategory::text:
    case FileCategory::slides:
    case FileCategory::spreadsheet:
        return Modules::entries<HeavyEngines>().convert(*category, source, target, job, progress);
    case FileCategory::subtitle:
        return SubtitleEngine::convert(source, target, job, progress);
    case FileCategory::archive:
        return ArchiveEngine::convert(source, target, job, progress);
    }
    throw unknown();
}

} // namespace Converter
