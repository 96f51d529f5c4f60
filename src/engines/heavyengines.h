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

// True when converting a file of this category runs in the heavy module.
bool isHeavy(FileCategory category);

// The module's entries, loaded on first call; throws ConvertError when it cannot be loaded.
const HeavyEngines& heavyEngines();

} // namespace Converter
