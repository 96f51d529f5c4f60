#include "cli/guimodule.h"

#include "cli/cli.h"
#include "core/converterror.h"
#include "core/modules.h"

namespace CLI {

const GuiModule& gui()
{
    return *static_cast<const GuiModule*>(Modules::entries(Modules::Module::gui));
}

int appMain(int argc, char** argv)
{
    const GuiModule* module = nullptr;
    try {
        module = &gui();
    } catch (const std::exception& e) {
        const QString details = errorDetails(e);
        printError(QStringLiteral("Tolvane: ") + errorDescription(e) +
                   (details.isEmpty() ? QString() : QStringLiteral(": ") + details));
        return 1;
    }
    return module->appMain(argc, argv);
}

} // namespace CLI
