#pragma once

#include "core/filecategory.h"
#include "core/progress.h"

#include <QString>
#include <QStringList>
#include <functional>

class Job;
class QCoreApplication;

// The engine families with heavy libraries (images and their codecs, recognition, PDF,
// documents, slides, spreadsheets) as one shared module, loaded when a conversion first needs it.
struct HeavyEngines
{
    // Converter::convert for the categories the module holds.
    QStringList (*convert)(FileCategory category, const QString& source, const QString& target, Job& job,
                           const Progress& progress);
    // A QGuiApplication, for work that lays out or paints text.
    QCoreApplication* (*makeGuiApplication)(int& argc, char** argv);
};

namespace Converter {

// True when converting a file of this category into `target` runs in the heavy module from the
// start: a PDF's text goes there only when a page has none.
bool isHeavy(FileCategory category, const QString& target);

// The module's entries, loaded on first call; throws ConvertError when it cannot be loaded.
const HeavyEngines& heavyEngines();

} // namespace Converter
