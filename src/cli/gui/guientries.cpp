#include "app/appmain.h"
#include "cli/cli.h"
#include "cli/gui/endwork.h"
#include "cli/gui/icon.h"
#include "cli/gui/renderhud.h"
#include "cli/gui/rendersettings.h"
#include "cli/gui/rendertool.h"
#include "cli/gui/renderwheel.h"
#include "cli/gui/selftest.h"
#include "cli/gui/tool.h"
#include "cli/guimodule.h"
#include "core/converterror.h"

#include <QApplication>

namespace CLI {

namespace {

QCoreApplication* makeApplication(bool widgets, int& argc, char** argv)
{
    if (widgets) return new QApplication(argc, argv);
    return new QGuiApplication(argc, argv);
}

int renderWheelCommand(const QStringList& rest)
{
    const std::optional<WheelMode> mode = wheelModeFromRaw(rest[0]);
    if (!mode) return usage();
    const QString out = path(rest[1]);
    QStringList files = rest.mid(2);
    const std::optional<int> highlight = takeHighlight(files);
    return printing([&] { return renderWheel(*mode, out, paths(files), highlight); });
}

int renderToolCommand(const QStringList& rest)
{
    const std::optional<ToolID> tool = toolIdFromRaw(rest[0]);
    if (!tool) return usage();
    try {
        const std::optional<QString> written = renderTool(*tool, path(rest[1]), paths(rest.mid(2)));
        if (!written) return 1; // no tool window: nothing to say
        print(*written);
        return 0;
    } catch (const std::exception& e) {
        print(QStringLiteral("error: ") + errorDescription(e));
        return 1;
    }
}

int renderSettingsCommand(const QStringList& rest)
{
    return printing([&] { return renderSettings(path(rest[0])); });
}

int renderHudCommand(const QStringList& rest)
{
    return printing([&] { return renderHud(path(rest[0])); });
}

int iconCommand(const QStringList& rest)
{
    const std::optional<double> size = iconSize(rest[1]);
    if (!size) return usage();
    return printing([&] { return renderIcon(path(rest[0]), *size); });
}

struct Command
{
    QStringView name;
    int (*run)(const QStringList& rest);
};

// The commands the command line hands to this module, by the name it gave them.
// clang-format off
const Command commands[] = {
    {u"--tool", tool},
    {u"--render-wheel", renderWheelCommand},
    {u"--render-tool", renderToolCommand},
    {u"--selftest", selfTest},
    {u"--render-settings", renderSettingsCommand},
    {u"--render-hud", renderHudCommand},
    {u"--icon", iconCommand},
};
// clang-format on

// How long the background work a command leaves gets to end once the command is done.
constexpr auto endLimit = std::chrono::seconds(10);

int command(QStringView name, const QStringList& rest)
{
    for (const Command& row : commands) {
        if (row.name != name) continue;
        const int status = row.run(rest);
        if (endBackgroundWork(endLimit)) return status;
        printError(QStringLiteral("some background work did not stop in time and was abandoned."));
        return status == 0 ? 1 : status;
    }
    return usage();
}

const GuiModule entries{
    .appMain = App::main,
    .makeApplication = makeApplication,
    .command = command,
};

} // namespace

} // namespace CLI

extern "C" __attribute__((visibility("default"))) const void* tolvane_gui_entries()
{
    return &CLI::entries;
}
