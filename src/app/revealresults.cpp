#include "app/revealresults.h"

#include "app/toast.h"
#include "core/shell.h"
#include "platform/desktop.h"

#include <memory>
#include <utility>

namespace RevealResults {

void inFileManager(const QStringList& paths, std::function<void(const QString& why)> failed)
{
    Desktop::reveal(paths, Shell::find, std::move(failed));
}

Jobs::Revealer revealer(Reveal reveal, Warn warn)
{
    auto warned = std::make_shared<bool>(false);
    return [reveal = std::move(reveal), warn = std::move(warn), warned](const QStringList& paths) {
        reveal(paths, [warn, warned](const QString& why) {
            if (std::exchange(*warned, true)) return;
            warn(QStringLiteral("Couldn’t show the results"), why);
        });
    };
}

Jobs::Revealer revealer()
{
    return revealer(inFileManager,
                    [](const QString& title, const QString& detail) { Toast::warn(title, detail); });
}

} // namespace RevealResults
