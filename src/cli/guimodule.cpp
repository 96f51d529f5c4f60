#include "cli/guimodule.h"

#include "cli/cli.h"
#include "core/converterror.h"

namespace CLI {

int appMain(int argc, char** argv)
{
    const GuiModule* module = nullptr;
    try {
        module = &Modules::entries<GuiModule>();
    } catch (const std::exception& e) {
        const QString details = errorDetails(e);
        printError(QStringLiteral("Tolvane: ") + errorDescription(e) +
                   (details.isEmpty() ? QString() : QStringLiteral(": ") + details));
        return 1;
    }
    return module->appMain(argc, argv);
}

} // namespace CLI
