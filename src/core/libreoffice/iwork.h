#pragma once

#include "core/scratchfolder.h"

#include <QString>
#include <chrono>
#include <optional>

class Job;

// The bridge to office documents of Pages, Keynote and Numbers (and the older Word, Excel and
// PowerPoint formats): one headless LibreOffice run per exchange, each with a private profile,
// so that exchanges never meet each other or the user's own LibreOffice.
namespace IWork {

enum class App { pages, keynote, numbers };

// The longest one exchange may take before its processes are killed.
inline constexpr std::chrono::milliseconds exchangeTimeLimit = std::chrono::minutes(10);

// "Pages", "Keynote" or "Numbers".
QString appName(App app);

// True when a LibreOffice program is found; the answer is the same for every app.
bool isInstalled(App app);

// Converts `input` into `output`, which must not exist yet (a temporary path from
// Output::write). `format` is the export format's name ("PDF", "Microsoft Word",
// "Microsoft PowerPoint", "Microsoft Excel"); without one the output's own extension decides.
// `properties` is accepted for the callers' sake and not used. Throws ConvertError: missingTool
// without LibreOffice, unsupported for a format it cannot write, cancelled when `job` is
// cancelled, failed otherwise, also when `timeLimit` passes.
void export_(App app, const QString& input, const QString& output, const std::optional<QString>& format,
             const std::optional<QString>& properties, Job* job,
             std::chrono::milliseconds timeLimit = exchangeTimeLimit);

// Runs LibreOffice's `--convert-to filter` on a private copy of `input` (see OfficeCopy::make;
// links to other files and the network left out) with a profile that follows no links, and
// returns the private folder it wrote into, with everything it wrote there (a page and its
// pictures, say). Throws ConvertError like
// export_, except that an empty folder is the caller's to judge.
ScratchFolder convertInto(const QString& input, const QString& filter, Job* job,
                          std::chrono::milliseconds timeLimit = exchangeTimeLimit);

} // namespace IWork
