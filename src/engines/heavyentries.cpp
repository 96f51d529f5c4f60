#include "engines/heavyengines.h"

#include "engines/docengine.h"
#include "engines/image/imageengine.h"
#include "engines/pdfconvert.h"
#include "engines/sheet/sheetengine.h"
#include "engines/slides/slidesengine.h"

#include <QGuiApplication>

namespace {

QStringList convert(FileCategory category, const QString& source, const QString& target, Job& job,
                    const Progress& progress)
{
    switch (category) {
    case FileCategory::image:
        return ImageEngine::convert(source, target, job, progress);
    case FileCategory::pdf:
        return PDFEngine::convert(source, target, job, progress);
    case FileCategory::document:
    case FileCategory::epub:
    case FileCategory::text:
        return Doc::convert(source, target, job, progress);
    case FileCategory::slides:
        return SlidesEngine::convert(source, target, job, progress);
    case FileCategory::spreadsheet:
        return SheetEngine::convert(source, target, job, progress);
    case FileCategory::audio:
    case FileCategory::video:
    case FileCategory::subtitle:
    case FileCategory::archive:
        break;
    }
    return {};
}

QCoreApplication* makeGuiApplication(int& argc, char** argv)
{
    return new QGuiApplication(argc, argv);
}

const HeavyEngines entries{convert, makeGuiApplication};

} // namespace

extern "C" __attribute__((visibility("default"))) const void* tolvane_engines_heavy_entries()
{
    return &entries;
}
